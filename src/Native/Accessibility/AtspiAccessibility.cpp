// The accessibility interface on Linux: AT-SPI2 through libatspi.
//
// The backend is split along its seams, all in this folder: AtspiSession (the process-wide libatspi
// state, its lock and its private main context), AtspiRequests (single requests bounded by the
// session's timeout), AtspiRoles (the role table), AtspiTextFrame (text read from an element and
// the conversion between its offsets and UTF-16) and AtspiElement (the elements handed out). This
// file holds the entry points: trust, and the system-wide and application elements.

#include "Native/Accessibility/Accessibility.h"
#include "Native/Accessibility/AtspiElement.h"
#include "Native/Accessibility/AtspiSession.h"
#include "Native/X11/X11Connection.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <mutex>

#include <X11/Xlib.h>
#include <unistd.h>

namespace Lumivox::Native {

namespace {

using namespace std::chrono_literals;
using Atspi::AtspiElement;
using Atspi::Clock;
using Atspi::Session;

constexpr auto trustCacheLifetime = 1s;

// Where the pointer is, in root pixels.
std::optional<QPointF> pointerPixel()
{
    const auto pointer = X11::rootPointer(X11::display());
    if (!pointer || !pointer->onDefaultScreen)
        return std::nullopt;
    return QPointF(pointer->x, pointer->y);
}

class AtspiAccessibility final : public Accessibility
{
public:
    bool isProcessTrusted() override
    {
        {
            std::lock_guard lock(m_trustMutex);
            if (m_trustExpires && Clock::now() < *m_trustExpires)
                return m_trusted;
        }
        QDBusMessage get =
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 150);
        const bool trusted = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            && reply.arguments().first().value<QDBusVariant>().variant().toBool();
        std::lock_guard lock(m_trustMutex);
        m_trusted = trusted;
        m_trustExpires = Clock::now() + trustCacheLifetime;
        return trusted;
    }

    void requestTrust() override
    {
        QDBusMessage set =
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
        set << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled")
            << QVariant::fromValue(QDBusVariant(true));
        const QDBusMessage reply = QDBusConnection::sessionBus().call(set, QDBus::Block, 1000);
        if (reply.type() != QDBusMessage::ReplyMessage)
            qCWarning(lcAccessibility) << "could not enable accessibility:" << reply.errorMessage();
        std::lock_guard lock(m_trustMutex);
        m_trustExpires.reset();
    }

    AXElement systemWideElement(AXWindowLocator locator) override
    {
        return AtspiElement::systemWide(std::move(locator));
    }

    AXElement applicationElement(std::int32_t pid) override
    {
        if (pid <= 0)
            return nullptr;
        if (pid == getpid())
            return AtspiElement::processOnly(pid);
        std::lock_guard lock(Session::instance().mutex);
        Session &session = Session::instance();
        if (!session.ready())
            return AtspiElement::processOnly(pid);
        session.drain();
        // An application is read for the hover where the pointer rests: its boxes are seen from there.
        if (AtspiAccessible *app = session.application(pid))
            return AtspiElement::wrap(app, pid, AtspiElement::coordinatesFor(pid, pointerPixel()));
        return AtspiElement::processOnly(pid);
    }

private:
    std::mutex m_trustMutex;
    bool m_trusted = false;
    std::optional<Clock::time_point> m_trustExpires;
};

} // namespace

std::shared_ptr<Accessibility> Accessibility::makeDefault()
{
    return std::make_shared<AtspiAccessibility>();
}

} // namespace Lumivox::Native
