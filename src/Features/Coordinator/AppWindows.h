#pragma once

// The program's own top-level windows as the tray-state rules see them, and the few things those
// rules do with them. The program lives in the tray: while none of its standard windows is shown it
// keeps out of the way (the "accessory" state); opening one brings the program forward ("regular").
// The desktop has no application-wide switch for that, so the state is kept here and the Linux side
// does the nearest real thing: raising, restoring and activating windows.

#include <QObject>
#include <QString>

#include <vector>

namespace Lumivox {

/// One top-level window of the program.
struct AppWindow
{
    /// Tells the window apart for the operations below; stable while the window lives.
    quintptr handle = 0;
    QString title;
    /// The window's object name; the Words windows' begin with "lumivox.words".
    QString identifier;
    bool isTooltipPanel = false;
    bool isLanguagePicker = false;
    bool hasTitleBar = false;
    bool isVisible = false;
    bool isMinimized = false;
};

enum class ActivationPolicy { accessory, regular };

class AppWindows : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    /// In the application's order.
    virtual std::vector<AppWindow> windows() const = 0;
    virtual void restore(quintptr window) = 0;
    /// Shows the window above the others, whether or not the program is active.
    virtual void orderFront(quintptr window) = 0;
    /// Gives the window the keyboard focus and raises it.
    virtual void makeKeyAndOrderFront(quintptr window) = 0;
    virtual void orderOut(quintptr window) = 0;

    virtual ActivationPolicy policy() const = 0;
    virtual void setPolicy(ActivationPolicy policy) = 0;
    virtual bool isApplicationActive() const = 0;
    virtual void activateApplication() = 0;
    virtual void hideApplication() = 0;
    virtual void showAboutPanel() = 0;

signals:
    /// A window of the program got the keyboard focus.
    void windowBecameKey(quintptr window);
    /// A window of the program was closed or hidden.
    void windowClosed(quintptr window);
};

} // namespace Lumivox
