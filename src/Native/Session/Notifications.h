#pragma once

// Desktop notifications through the freedesktop notification service. The service shows a
// notification at once and cannot schedule one, so whoever needs a notification at a given time
// keeps its own timer. GUI thread only; every answer arrives later through the event loop.

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace Lumivox::Native {

class Notifications
{
public:
    struct Notification
    {
        QString title;
        QString body;
        /// The desktop entry the service may take the name and icon from.
        QString desktopEntry;
        /// Offer the "default" action: the service reports a click on the notification.
        bool clickable = false;
    };

    virtual ~Notifications() = default;

    /// Whether a notification service answers; false when none runs or it refuses.
    virtual void checkAvailable(std::function<void(bool)> done) = 0;
    /// Shows the notification; `done` gets the service's id for it, none when it was refused.
    virtual void show(const Notification &notification, std::function<void(std::optional<std::uint32_t>)> done) = 0;
    /// Shows the notification and waits, at most `limit`, until the service has taken it, without
    /// running the event loop: for what the program tells as it ends, when no answer could come
    /// through the loop any more and the process is about to go. True when the service took it.
    virtual bool showBeforeEnd(const Notification &notification, std::chrono::milliseconds limit) = 0;
    /// Called with the id of a notification whose "default" action the user chose.
    virtual void setClickHandler(std::function<void(std::uint32_t id)> handler) = 0;

    /// On the session bus, or on the bus at `busAddress` when one is given (tests).
    static std::shared_ptr<Notifications> overDBus(const QString &busAddress = QString());
};

} // namespace Lumivox::Native
