#pragma once

// Whether the program starts by itself when the user logs in. On Linux this is the XDG autostart
// entry $XDG_CONFIG_HOME/autostart/<app id>.desktop: the program starts at login while that file
// exists and does not say Hidden=true (which is how desktops record "turned off" for an entry).

#include <QString>

#include <memory>

namespace Lumivox::Native {

class LoginItem
{
public:
    virtual ~LoginItem() = default;

    /// Whether the program is registered to start at login.
    virtual bool isEnabled() = 0;

    /// Registers or removes the program. False when the desktop's entry could not be changed; the
    /// reason is logged and the registration is left as it was.
    virtual bool setEnabled(bool enabled) = 0;

    /// The autostart entry `<appID>.desktop` in `folder` that starts `executable --autostart`.
    static std::shared_ptr<LoginItem> autostartEntry(QString folder, QString executable, QString appID);
    /// $XDG_CONFIG_HOME/autostart
    static QString userAutostartFolder();
};

} // namespace Lumivox::Native
