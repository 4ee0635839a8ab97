#pragma once

// Whether the desktop asks programs to keep motion down (GNOME's "enable-animations" switch, which
// the settings portal publishes). A program that animates for show, not for meaning, should hold
// still when it is set. Main thread.

#include <QObject>

#include <chrono>
#include <memory>

namespace Lumivox::Native {

class MotionPreference : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool reducesMotion READ reducesMotion NOTIFY reducesMotionChanged)

public:
    using QObject::QObject;

    /// False until the desktop says otherwise, and false when nothing answers: motion is the
    /// desktop's default.
    virtual bool reducesMotion() const = 0;

    /// Follows the settings portal on the session bus; `timeout` bounds the first question.
    static std::shared_ptr<MotionPreference> overPortal(std::chrono::milliseconds timeout = std::chrono::seconds(1));
    static std::shared_ptr<MotionPreference> makeDefault() { return overPortal(); }

signals:
    void reducesMotionChanged(bool reducesMotion);
};

} // namespace Lumivox::Native
