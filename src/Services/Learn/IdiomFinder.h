#pragma once

// Finds a known English idiom around the hovered word and explains it twice: a generic meaning, and
// the whole sentence with the idiom replaced by that meaning in the sentence's person and tense
// ("He finally spilled the beans." -> "He finally revealed the secret."), which translates far better
// than the idiom itself.
//
// Pure and safe on any thread; only the overload without tokens runs the tagger (keep it off the UI
// thread). For English sentences only; callers decide that.

#include "Services/Learn/EnglishGrammar.h"
#include "Services/Learn/IdiomTable.h"

#include <QString>

#include <optional>
#include <vector>

namespace Lumivox::IdiomFinder {

struct Match
{
    QString idiom; // "pull one's leg"
    QString meaning; // "joke with someone"
    EnglishGrammar::Range range; // from the first matched word's start to the last one's end
    QString rewritten; // "Don't joke with me."
    bool operator==(const Match &) const = default;
};

/// The idiom that covers `coveringRange` (any idiom, without one), longest idiom first, leftmost
/// first among equals. `tokens` are the sentence's tokens; ranges are UTF-16 ranges of `sentence`.
std::optional<Match> find(const QString &sentence, std::optional<EnglishGrammar::Range> coveringRange,
                          const std::vector<EnglishGrammar::Token> &tokens);

/// Tokenizes the sentence first.
std::optional<Match> find(const QString &sentence, std::optional<EnglishGrammar::Range> coveringRange = std::nullopt);

} // namespace Lumivox::IdiomFinder
