#pragma once

// The desktop's speech service, to read a word aloud. Without a speech engine every call does
// nothing: speaking is a convenience, never an error the user has to see. GUI thread only.

#include <QLocale>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace Lumivox::Native {

class Speech
{
public:
    virtual ~Speech() = default;

    /// The locales the installed voices speak; empty without an engine.
    virtual std::vector<QLocale> locales() = 0;
    /// Starts speaking and returns at once, in a voice of the locale, or the engine's default voice
    /// when none is given.
    virtual void say(const QString &text, const std::optional<QLocale> &locale) = 0;
    /// Stops at once whatever is being spoken.
    virtual void stop() = 0;

    static std::shared_ptr<Speech> makeDefault();
};

} // namespace Lumivox::Native
