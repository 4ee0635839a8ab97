#pragma once

// Text read from an element, and the conversion between the application's offsets and UTF-16.
//
// AT-SPI offsets count code points, except in Qt applications, which count UTF-16 units; the rest
// of the program counts UTF-16 units. An element keeps the text it has read (all of it when short,
// a stretch around the pointer when long) and converts through it, so offsets handed out and taken
// back agree within one lookup.

#include <QString>
#include <QStringView>

#include <optional>

namespace Lumivox::Native::Atspi {

struct TextFrame
{
    bool ready = false;
    // The application counts UTF-16 units (Qt) rather than characters.
    bool utf16 = false;
    // The element's text length, and the stretch of it held in `text`, in the application's units.
    qint64 count = 0;
    qint64 start = 0;
    qint64 length = 0;
    QString text;

    bool whole() const { return start == 0 && length == count; }
    qint64 end() const { return start + length; }

    // Outside the held stretch every character is taken as one UTF-16 unit: the result is not the
    // absolute UTF-16 offset there, but offsets handed out and taken back still agree.
    qint64 toUtf16(qint64 offset) const;
    qint64 fromUtf16(qint64 u) const;
    qint64 utf16Count() const { return toUtf16(count); }
    /// The length of `s` in the application's units.
    qint64 units(QStringView s) const;

    /// The held text between two UTF-16 offsets, or nothing when they leave the held stretch.
    std::optional<QString> utf16Slice(qint64 from, qint64 to) const;
    /// The same between two offsets in the application's units.
    std::optional<QString> slice(qint64 from, qint64 to) const;

    /// Whether an element's offsets count UTF-16 units. Its whole text, when read, tells by which
    /// unit its character count measures it; a long text read only in part leaves it to what the
    /// application's toolkit counts. Absent when neither tells, or when the count fits neither
    /// unit: a guessed unit reads a word beside the one under the pointer.
    static std::optional<bool> countsUtf16(qint64 count, std::optional<QStringView> wholeText,
                                           std::optional<bool> toolkitCountsUtf16);
};

} // namespace Lumivox::Native::Atspi
