#pragma once

// The desktop's speech service, to read a word aloud. Calls return at once: connecting to the
// service (which may first have to be started) and speaking happen on a thread of their own, so the
// window never waits for it. Without a speech engine nothing is spoken and nothing is reported:
// speaking is a convenience, never an error the user has to see.

#include <QLocale>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Lumivox::Native {

class Speech
{
public:
    /// Picks the voice's locale among those the installed voices speak; none: the default voice.
    /// Runs on the speech thread.
    using VoiceChoice = std::function<std::optional<QLocale>(const std::vector<QLocale> &available)>;

    virtual ~Speech() = default;

    /// Speaks the text after whatever was asked before.
    virtual void say(const QString &text, VoiceChoice chooseVoice) = 0;
    /// Cuts off whatever is being spoken.
    virtual void stop() = 0;
    /// Finds out whether anything can speak: a speech engine with at least one voice. `answer`
    /// runs once, on the speech thread (or at once); the first call may take a second or two, as
    /// the speech service may have to start.
    virtual void checkAvailable(std::function<void(bool available)> answer) = 0;

    static std::shared_ptr<Speech> makeDefault();
};

} // namespace Lumivox::Native
