#pragma once

// The texts of the tooltip and the rules that shape them: which part of a grammar line is
// emphasised, how wide the marked sentence's column is, the ordinal of the "saved" header, and
// the words of the footer. Pure functions of their arguments.

#include "Features/Overlay/WordStatus.h"
#include "Models/StyledText.h"
#include "Services/Learn/EnglishGrammarNote.h"

#include <QFont>
#include <QLocale>
#include <QString>

#include <optional>

namespace Lumivox::TooltipText {

/// The design's sizes are points of the screen (logical pixels); Qt sizes fonts in typographic
/// points of 1/72 inch at its logical 96 dots per inch.
QFont font(const QFont &family, double points, QFont::Weight weight = QFont::Normal);
/// The desktop's general font at `points`.
QFont systemFont(double points, QFont::Weight weight = QFont::Normal);

/// The size the tooltip's own font is drawn at: the given size, or the default 16 points for one
/// that cannot be drawn (not finite, not positive), and never more than 128 points, where glyphs
/// would be rasterised larger than any screen.
double usableFontSize(double points);
/// The named family at `points` (regular weight); the general font when the name is empty or no
/// installed family has it.
QFont overlayFont(const QString &fontName, double points);

/// The text of other programs, made safe to lay out as one plain paragraph: line breaks become
/// line separators, other control characters spaces, and anything past `maxLength` UTF-16 units
/// (never splitting a surrogate pair) is dropped; no column of the tooltip could show it anyway.
/// Every kept character keeps its offset, so styled ranges still apply.
QString plain(const QString &text, qsizetype maxLength = 2000);

/// The grammar line's text with one strongly emphasised range: for an idiom line, the idiom before
/// the first " = "; otherwise the base form after the last " of "; else none.
StyledText grammarText(const EnglishGrammar::Line &line);

/// The marked sentence's column: its plain characters measured on one line in the system font at
/// 12.5 points, semibold, rounded up to a whole point, plus 2, and at most 280 points.
double sentenceWidth(const StyledText &sentence);
constexpr double sentenceMaxWidth = 280;

/// "3rd" for 3 in English: the locale's ordinal form of a count, none when the locale has none.
std::optional<QString> ordinal(int n, const QLocale &locale = QLocale());
/// "· 3rd time you’ve met it" under a saved word met `met` times; none below 2 or without an ordinal.
std::optional<QString> metText(int met, const QLocale &locale = QLocale());

/// Whether the row is drawn as a footer: `keys`, `suggest` and `flash` are; `saved` is a header,
/// and `none` draws nothing.
bool hasFooter(const WordStatus::Row &row);

/// "Looked up 4 times".
QString lookedUpText(int lookups);
/// "· 1 word", "· 2 words".
QString wordCountText(int total);

} // namespace Lumivox::TooltipText
