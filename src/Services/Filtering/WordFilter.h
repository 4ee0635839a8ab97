#pragma once

// Decides whether a word read under the pointer deserves a tooltip: not a number or a stray
// character, not a link, not a programming token, not a person's name.
//
// Callable from any thread. The name test may run the tagger, which blocks for about a millisecond
// (longer on first use), so keep it off the UI thread.

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace Lumivox {

struct WordEvaluation
{
    enum class Verdict : int {
        translatable = 0, // an ordinary word; show a tooltip
        personName = 1,
        code = 2, // a programming token
        link = 3, // a link that covers the whole word
        notAWord = 4, // too short, no letter, a number or a hexadecimal literal
    };

    QString word; // the input without leading and trailing white space
    Verdict verdict = Verdict::translatable;

    bool isTranslatable() const { return verdict == Verdict::translatable; }
    bool operator==(const WordEvaluation &) const = default;
};

namespace WordFilter {

/// `context` is the text around the word (a line or an element's whole text), when known.
WordEvaluation evaluate(const QString &word, const std::optional<QString> &context);

/// Substrings that make a word or its context look like code, in the order they are tested.
const QStringList &codeMarkers();
/// Words that are code wherever they stand (exact, case-sensitive).
const QSet<QString> &unambiguousCodeTokens();
/// Words that are code only when their context looks like code (exact, case-sensitive).
const QSet<QString> &ambiguousCodeKeywords();

} // namespace WordFilter

} // namespace Lumivox
