#pragma once

// Receives the notification service's ActionInvoked signal, which QtDBus delivers only to a slot.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

namespace Lumivox::Native {

class NotificationActions final : public QObject
{
    Q_OBJECT
public:
    /// Called with the id of a notification whose "default" action (a click on it) was chosen.
    std::function<void(std::uint32_t)> onClick;

public slots:
    void actionInvoked(uint id, const QString &action)
    {
        if (action == QLatin1String("default") && onClick)
            onClick(id);
    }
};

} // namespace Lumivox::Native
