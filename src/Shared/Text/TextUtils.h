#pragma once

// UTF-16 text helpers over ICU. Every offset here is a UTF-16 code-unit offset into the QString,
// which is the unit the rest of the program exchanges text positions in. The code-point and
// surrogate helpers (utf16Offset, withValidSurrogates, forEachScalar …) come from Native/Text/Utf16.h
// in the same namespace, so that the platform backends below this layer share them.

#include "Native/Text/Utf16.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

namespace Lumivox::Text {

/// Unicode White_Space or a line/paragraph separator (the "whitespace and newlines" set).
bool isWhitespaceOrNewline(char32_t c);

/// Removes leading and trailing white space and newlines.
QString trimmed(QStringView text);

/// Locale-free (root) full case mapping, so "I" never becomes a dotless "ı".
QString lowercased(QStringView text);
QString uppercased(QStringView text);

/// The text as a search compares it: canonically decomposed, its non-spacing marks dropped and its
/// case folded (locale-free), so "É", "é" and "e" are one and "Straße" matches "strasse".
QString folded(QStringView text);

/// One segment found by a break iterator. `ruleStatus` is ICU's rule status of the boundary at
/// the segment's end (for words: none, number, letter, kana or ideograph).
struct Segment
{
    qsizetype start = 0;
    qsizetype length = 0;
    int ruleStatus = 0;
    qsizetype end() const { return start + length; }
    bool operator==(const Segment &) const = default;
};

/// True for a word segment that holds letters, numbers, kana or ideographs (not spaces or punctuation).
bool isWordLike(const Segment &segment);

/// The visitor returns false to stop the walk early.
using SegmentVisitor = std::function<bool(const Segment &)>;

void enumerateWords(QStringView text, const SegmentVisitor &visit);
void enumerateSentences(QStringView text, const SegmentVisitor &visit);
void enumerateGraphemes(QStringView text, const SegmentVisitor &visit);

/// All word-like segments (spaces and punctuation left out).
std::vector<Segment> words(QStringView text);
std::vector<Segment> sentences(QStringView text);

qsizetype graphemeCount(QStringView text);
/// The first `count` user-perceived characters of the text.
QString graphemePrefix(QStringView text, qsizetype count);

/// The characters never kept from text that another program or a translation service gave us: the
/// C0 controls except tab and line feed, DEL, the C1 controls, and the bidirectional embeddings,
/// overrides and isolates. They ring bells and drive terminals in a file someone looks at, and turn
/// a line around on screen.
bool isStrippedControl(char32_t c);

/// The text without those characters. Nothing takes their place, except that a carriage return (or
/// CR LF), a vertical tab, a form feed or a next-line control stays a line break, as a line feed.
/// Of an escape sequence only the ESC goes, and what follows it stays as the plain characters it
/// is. The text itself (shared, not copied) when there is nothing to remove.
QString withoutControls(const QString &text);
/// Where a place in `text` (a UTF-16 offset) is in `cleaned`, the text's `withoutControls`: moved back
/// by what was removed before it. A place outside the text stays where it is.
qsizetype offsetWithoutControls(const QString &text, const QString &cleaned, qsizetype offset);

/// The text without every code point `drop` names; the text itself when there is none.
QString withoutScalars(const QString &text, bool (*drop)(char32_t));

/// Decodes one level of the six HTML entities translation services put into plain text, in a fixed
/// order with "&amp;" last, so "&amp;lt;" becomes "&lt;" and is not decoded further.
QString htmlUnescaped(QStringView text);

} // namespace Lumivox::Text
