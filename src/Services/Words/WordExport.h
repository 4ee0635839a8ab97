#pragma once

// The texts of a word export: a CSV table for spreadsheets, or a tab-separated text that Anki
// imports as one card per saved word. Pure functions; the caller picks the file and writes the text
// as UTF-8.

#include "Models/WordRecords.h"

#include <QString>
#include <QTimeZone>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace Lumivox::WordExport {

enum class Format { csv, anki };

inline constexpr std::array<Format, 2> allFormats {Format::csv, Format::anki};

/// "CSV" or "Anki", for the export menus.
QString title(Format format);

/// A language's display name from its code ("" for "").
using LanguageName = std::function<QString(const QString &code)>;

QString text(const std::vector<SavedWord> &words, Format format, const LanguageName &languageName);

/// Header and one row per word; cells quoted only where needed; rows end with CR LF. The "Saved" day
/// is the word's day in `zone` (the user's zone by default).
QString csv(const std::vector<SavedWord> &words, const LanguageName &languageName,
            const QTimeZone &zone = QTimeZone::systemTimeZone());

/// Anki's file headers, then one card per word: the sentence with the word in bold (or the word
/// alone) on the front, meanings, grammar and translation on the back.
QString anki(const std::vector<SavedWord> &words);

/// The sentence as HTML with the word in bold. The word is found at the UTF-16 offset when it stands
/// there exactly, else as the first whole word of the sentence equal to it; not found, the sentence
/// comes back escaped without bold.
QString highlighted(const QString &word, const QString &sentence, std::optional<qint64> offset);

} // namespace Lumivox::WordExport
