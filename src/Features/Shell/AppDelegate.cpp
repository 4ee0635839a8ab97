#include "Features/Shell/AppDelegate.h"

#include "Features/Coordinator/CoordinatorSettings.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Features/Overlay/OverlayPanel.h"
#include "Features/Shell/UpdateNotifier.h"
#include "Shared/Preferences/PreferenceStore.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QTimer>
#include <QWidget>

Q_LOGGING_CATEGORY(lcDelegate, "app.lumivox.App")

namespace Lumivox {

AppDelegate::AppDelegate(Dependencies dependencies, QObject *parent)
    : QObject(parent)
    , m_deps(std::move(dependencies))
{
    if (!m_deps.windows)
        m_deps.windows = [] { return QApplication::topLevelWidgets(); };
    if (qApp)
        qApp->installEventFilter(this);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_deps.hostingTests)
        return;
    openSettingsIfNeeded();
}

bool AppDelegate::isLaunchedAtLoginOrService() const
{
    return m_deps.arguments.contains(QStringLiteral("--autostart"));
}

void AppDelegate::openSettingsIfNeeded()
{
    if (isLaunchedAtLoginOrService())
        return;
    // Until onboarding is done, the coordinator shows onboarding itself.
    if (!m_deps.defaults->boolValue(CoordinatorSettings::hasCompletedOnboardingKey))
        return;
    if (HoverTextController *controller = m_deps.controller) {
        controller->setSelectedSettingsTab(SettingsTab::general);
        controller->openSettings();
        controller->askAboutKeepingWords(1.0);
    }
}

bool AppDelegate::applicationShouldHandleReopen()
{
    if (shouldIgnoreReopen(dockIconSuppressed, ignoreReopenUntil, m_deps.clock->now()))
        return false;
    dockIconSuppressed = false;
    if (HoverTextController *controller = m_deps.controller) {
        if (m_deps.defaults->boolValue(CoordinatorSettings::hasCompletedOnboardingKey)) {
            controller->setSelectedSettingsTab(SettingsTab::general);
            controller->openSettings();
        } else {
            controller->openOnboarding();
        }
    }
    return true;
}

AppDelegate::TerminateReply AppDelegate::applicationShouldTerminate(const TerminateRequest &request)
{
    const auto sender = quitSenderPID(request.senderPID);
    if (shouldHideInsteadOfTerminating(request.event, isExplicitQuitRequested, sender, updateInstallInProgress,
                                       m_deps.ownPID)) {
        hideWindows();
        return TerminateReply::terminateCancel;
    }
    if (shouldClearUpdateInstallFlag(updateInstallInProgress, false))
        updateInstallInProgress = false;
    return TerminateReply::terminateNow;
}

void AppDelegate::terminate(const TerminateRequest &request)
{
    if (applicationShouldTerminate(request) == TerminateReply::terminateNow && m_deps.terminate)
        m_deps.terminate();
}

void AppDelegate::quitExplicitly()
{
    const auto endNow = [this] {
        isExplicitQuitRequested = true;
        terminate({});
    };
    if (UpdateNotifier::Action install = std::exchange(UpdateNotifier::installOnQuit(), nullptr)) {
        install();
        QTimer::singleShot(installOnQuitDelay, this, endNow);
        return;
    }
    endNow();
}

QWidgetList AppDelegate::standardWindows(const QWidgetList &among)
{
    QWidgetList standard;
    for (QWidget *window : among) {
        if (!window || !window->isWindow() || qobject_cast<OverlayPanel *>(window))
            continue;
        // Titled windows only: the tooltip, the picker panel and menus are not.
        const Qt::WindowType type = window->windowType();
        if ((type != Qt::Window && type != Qt::Dialog) || window->windowFlags().testFlag(Qt::FramelessWindowHint))
            continue;
        if (window->isVisible() || window->isMinimized())
            standard.append(window);
    }
    return standard;
}

void AppDelegate::hideWindows()
{
    noteDockIconHidden(m_deps.clock->now());
    for (QWidget *window : standardWindows(m_deps.windows()))
        window->close();
    qCInfo(lcDelegate) << "windows closed; Lumivox stays in the tray";
}

bool AppDelegate::shouldIgnoreReopen(bool suppressed, std::optional<Instant> ignoreUntil, Instant now)
{
    return suppressed && ignoreUntil && now < *ignoreUntil;
}

void AppDelegate::noteDockIconHidden(Instant now)
{
    dockIconSuppressed = true;
    ignoreReopenUntil = now + reopenGrace;
}

std::optional<qint64> AppDelegate::quitSenderPID(std::optional<qint64> reported)
{
    if (!reported || *reported <= 0)
        return std::nullopt;
    return reported;
}

bool AppDelegate::shouldHideInsteadOfTerminating(const std::optional<KeyPress> &event, bool explicitQuitRequested,
                                                 std::optional<qint64> quitSenderPID, bool updateInstallInProgress,
                                                 qint64 ownPID)
{
    if (explicitQuitRequested || updateInstallInProgress)
        return false;
    if (quitSenderPID && *quitSenderPID != ownPID)
        return false;
    return event && event->isKeyDown && event->modifiers.testFlag(Qt::ControlModifier)
        && event->charactersIgnoringModifiers.toLower() == u"q";
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    // Ctrl+Q in any of the program's windows is the desktop's quit key: it asks to end the program,
    // and the decision above turns it into a hide.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Q && key->modifiers().testFlag(Qt::ControlModifier)) {
            terminate({KeyPress {true, key->modifiers(), QStringLiteral("q")}, std::nullopt});
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace Lumivox
