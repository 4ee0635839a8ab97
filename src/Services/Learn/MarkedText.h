#pragma once

// The marking of words in a passage, carried across three forms: plain text with ranges, HTML with
// <b> marks (for the web translation service), and styled text whose marked runs carry strong
// emphasis (for the on-device translator and the Words windows). Pure functions, safe on any thread.

#include "Models/StyledText.h"

#include <QString>

#include <optional>
#include <vector>

namespace Lumivox::MarkedText {

/// The text escaped for HTML with every range wrapped in <b>…</b>. Ranges are taken by lower bound;
/// one that starts inside an earlier one is dropped, and so is one that lies outside the text.
QString html(const QString &text, const std::vector<TextRange> &marking);

/// The text with every range strongly emphasised; a range whose bounds are not positions of the text
/// is skipped.
StyledText attributed(const QString &text, const std::vector<TextRange> &marking);

/// Reads back HTML as translation services return it: <b> and </b> (any letter case) switch the mark,
/// other tags are dropped, entities are decoded, and an unclosed "<" is text.
StyledText attributedFromHTML(const QString &html);

/// The marked runs' texts, trimmed of white space and punctuation, joined with single spaces.
QString markedWords(const StyledText &text);

/// The text with only the first case-insensitive occurrence of the word marked (whole characters). The
/// input comes back unchanged, old marks included, when the word is empty or does not occur.
StyledText remarked(const StyledText &text, const QString &word);

/// The first case-insensitive, literal occurrence of the word, in UTF-16 units.
std::optional<TextRange> range(const QString &word, const QString &text);

/// The text with every inline presentation intent removed.
StyledText unmarked(const StyledText &text);

} // namespace Lumivox::MarkedText
