#pragma once

// A stored sentence with the word marked, and a stored translation with the meaning marked, as the
// Words windows show them. The texts come from other programs, so the rich text made here is built
// from escaped pieces only: a captured "<img src=…>" shows as those characters and loads nothing.

#include "Models/StyledText.h"

#include <QColor>
#include <QString>

#include <optional>

namespace Lumivox::WordHighlight {

/// The sentence with the word strongly emphasised where it stands at the offset, else at its first
/// whole-word occurrence; unmarked when it is not there.
StyledText sentence(const QString &sentence, const QString &word, std::optional<qint64> offset);

/// The translation with the first case-insensitive occurrence of the meaning strongly emphasised.
StyledText translation(const QString &translation, const QString &meaning);

/// Rich text of the styled text: every character escaped, strongly emphasised runs in bold, drawn on
/// `markBackground` when that colour is valid.
QString html(const StyledText &text, const QColor &markBackground = QColor());

} // namespace Lumivox::WordHighlight
