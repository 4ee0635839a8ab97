#pragma once

// What the settings window needs from the rest of the program beyond the coordinator: the updater
// (General's automatic-check switch, About's check button), the program's presence on the desktop
// (whether it is in its hidden state after Ctrl+Q, and going back to the tray when the last window
// closes), and the diagnostic report. The application wires the real ones; tests pass fakes.

#include <QObject>

namespace Lumivox {

class SettingsUpdater : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool canCheckForUpdates() const = 0;
    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool checks) = 0;
    /// Checks now and brings the updater's own windows forward.
    virtual void checkForUpdates() = 0;

signals:
    void canCheckForUpdatesChanged();
};

class SettingsPresence
{
public:
    virtual ~SettingsPresence() = default;

    /// Ctrl+Q hid the program's windows; nothing is brought forward until the user reopens it.
    virtual bool isHiddenByUser() const = 0;
    /// A window of ours is now on screen.
    virtual void windowShown() = 0;
    /// No window of ours is left on screen: the program goes back to living in the tray.
    virtual void returnToTray() = 0;
};

} // namespace Lumivox
