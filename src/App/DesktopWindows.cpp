#include "App/DesktopWindows.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QWidget>

namespace Lumivox::App {

namespace {

Q_LOGGING_CATEGORY(lcWindows, "app.lumivox.Windows")

const QString pickerName = QStringLiteral("languagePicker.panel");

// Only windows the program still has: a handle of a window that has gone finds nothing.
QWidget *widget(quintptr handle)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (reinterpret_cast<quintptr>(w) == handle)
            return w;
    }
    return nullptr;
}

bool isTitled(const QWidget *w)
{
    const Qt::WindowType type = w->windowType();
    return (type == Qt::Window || type == Qt::Dialog) && !w->windowFlags().testFlag(Qt::FramelessWindowHint);
}

} // namespace

DesktopWindows::DesktopWindows(QObject *parent)
    : AppWindows(parent)
{
    if (qApp)
        qApp->installEventFilter(this);
}

std::vector<AppWindow> DesktopWindows::windows() const
{
    std::vector<AppWindow> out;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        AppWindow window;
        window.handle = reinterpret_cast<quintptr>(w);
        window.title = w->windowTitle();
        window.identifier = w->objectName();
        window.isTooltipPanel = w->windowType() == Qt::ToolTip;
        window.isLanguagePicker = w->objectName() == pickerName;
        window.hasTitleBar = isTitled(w);
        window.isMinimized = w->isMinimized();
        window.isVisible = w->isVisible() && !window.isMinimized;
        out.push_back(std::move(window));
    }
    return out;
}

void DesktopWindows::restore(quintptr handle)
{
    if (QWidget *w = widget(handle))
        w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
}

void DesktopWindows::orderFront(quintptr handle)
{
    if (QWidget *w = widget(handle)) {
        w->show();
        w->raise();
    }
}

void DesktopWindows::makeKeyAndOrderFront(quintptr handle)
{
    if (QWidget *w = widget(handle)) {
        w->show();
        w->raise();
        w->activateWindow();
    }
}

void DesktopWindows::orderOut(quintptr handle)
{
    if (QWidget *w = widget(handle))
        w->hide();
}

void DesktopWindows::setPolicy(ActivationPolicy policy)
{
    m_policy = policy;
    qCDebug(lcWindows) << (policy == ActivationPolicy::regular ? "in front" : "back in the tray");
}

bool DesktopWindows::isApplicationActive() const
{
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void DesktopWindows::activateApplication()
{
    // The windows brought forward were activated one by one; there is nothing else to activate.
}

void DesktopWindows::hideApplication()
{
    // Called once no standard window is shown: the tray icon is all that is left on screen.
}

void DesktopWindows::showAboutPanel()
{
    auto *about = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("About Lumivox"),
                                  QStringLiteral("Lumivox %1\nTranslates the word under the pointer.")
                                      .arg(QCoreApplication::applicationVersion()),
                                  QMessageBox::Ok);
    about->setObjectName(QStringLiteral("aboutPanel"));
    about->setTextFormat(Qt::PlainText);
    // The program's icon beside its name, as a desktop's standard About box shows it.
    if (const QIcon icon = QApplication::windowIcon(); !icon.isNull())
        about->setIconPixmap(icon.pixmap(QSize(64, 64), about->devicePixelRatioF()));
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->show();
}

bool DesktopWindows::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::WindowActivate && type != QEvent::Close && type != QEvent::Hide)
        return false;
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || !w->isWindow() || w->windowType() == Qt::ToolTip)
        return false;
    if (type == QEvent::WindowActivate) {
        // Which of our windows the desktop activates and closes, for whoever follows the log (the
        // system tests wait for these lines).
        qCDebug(lcWindows).noquote() << "window active:" << w->objectName();
        emit windowBecameKey(reinterpret_cast<quintptr>(w));
    } else {
        if (type == QEvent::Close)
            qCDebug(lcWindows).noquote() << "window closed:" << w->objectName();
        emit windowClosed(reinterpret_cast<quintptr>(w));
    }
    return false;
}

} // namespace Lumivox::App
