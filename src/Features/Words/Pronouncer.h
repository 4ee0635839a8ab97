#pragma once

// Reads a word aloud in a voice of its language. Without a voice for it the engine's default voice
// speaks; without an engine nothing happens and nothing is reported. Main thread.

#include <QString>

#include <optional>

namespace Lumivox::Pronouncer {

/// Cuts off whatever is being spoken, then speaks the word.
void speak(const QString &word, const std::optional<QString> &language);

} // namespace Lumivox::Pronouncer
