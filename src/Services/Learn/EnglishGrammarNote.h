#pragma once

// The one-line grammar note the tooltip shows for an English word in its sentence: the part of speech
// and, where it helps, the form and its dictionary form ("past of go", "plural of child").
//
// Pure rules over the tokens; only the adjective probe (and the short form, which tokenizes) runs the
// tagger, so call these off the UI thread. Safe on any thread.

#include "Services/Learn/EnglishGrammar.h"

#include <QHashFunctions>
#include <QString>

#include <optional>
#include <vector>

namespace Lumivox::EnglishGrammar {

struct Line
{
    QString tag; // "verb", "phrasal verb", "noun", "adjective", "adverb" or "determiner"
    QString text; // may be empty
    bool operator==(const Line &) const = default;
};

inline size_t qHash(const Line &line, size_t seed = 0)
{
    return qHashMulti(seed, line.tag, line.text);
}

/// The note for the token that overlaps `covering` (both UTF-16 ranges of `sentence`). Without a
/// covering range the word's first whole-word occurrence in the sentence is used. No note for a word
/// no token covers, for determiners, numbers, pronouns and the like.
std::optional<Line> line(const QString &word, const QString &sentence, const std::vector<Token> &tokens,
                         std::optional<Range> covering);

/// Tokenizes the sentence and takes the word's first whole-word occurrence.
std::optional<Line> line(const QString &word, const QString &sentence);

/// The dictionary form of the token that overlaps `covering`, lower-cased; irregular pasts and
/// participles map to their verb even where the tagger read them otherwise.
std::optional<QString> baseForm(const QString &word, const QString &sentence, const std::vector<Token> &tokens,
                                Range covering);

} // namespace Lumivox::EnglishGrammar
