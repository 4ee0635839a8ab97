#pragma once

// Reads a word aloud in a voice of its language. Without a voice for it the engine's default voice
// speaks; without an engine nothing happens, and whenAvailabilityKnown() says so beforehand, so the
// window can tell the user. Main thread.

#include <QString>

#include <functional>
#include <optional>

class QObject;

namespace Lumivox::Pronouncer {

/// Cuts off whatever is being spoken, then speaks the word.
void speak(const QString &word, const std::optional<QString> &language);

/// Tells whether words can be read aloud at all: `answer` runs on the main thread while `context`
/// lives, at once when that is known already. The speech service is asked once per run.
void whenAvailabilityKnown(QObject *context, std::function<void(bool available)> answer);

} // namespace Lumivox::Pronouncer
