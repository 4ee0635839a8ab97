#pragma once

// English sentence analysis for the grammar note and the idiom matcher: tagged tokens and the word
// tables. For English text only; callers decide that.
//
// tokens() and isAdjective() run the tagger, which blocks (about a millisecond once warm), so call
// them off the UI thread. Both may run on any thread, concurrently.

#include "Services/Learn/EnglishGrammarTables.h"

#include <QString>

#include <optional>
#include <vector>

namespace Lumivox::EnglishGrammar {

/// A UTF-16 range of a sentence.
struct Range
{
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end() const { return start + length; }
    bool operator==(const Range &) const = default;
};

struct Token
{
    QString text; // exactly the sentence's characters in `range`
    Range range;
    std::optional<QString> cls; // lexical class: "Noun", "Verb", "Adjective", "Adverb", "Determiner", …
    std::optional<QString> lemma;
    bool operator==(const Token &) const = default;
};

/// The sentence's words in order, punctuation and white space left out. Empty on a build machine.
std::vector<Token> tokens(const QString &sentence);

/// Whether the word can stand as a predicative adjective ("It is very <word>.").
bool isAdjective(const QString &word);

} // namespace Lumivox::EnglishGrammar
