#pragma once

// UTF-16 code units, code points and surrogate pairs. QString counts code units; the accessibility
// bus, ICU's scalar walks and the language tools count code points, and text from other programs
// may hold unpaired surrogates. These helpers sit on the ground floor so that the platform backends
// and the text utilities above them convert the same way.
//
// Throughout, an unpaired surrogate (a high one not followed by a low one, or a low one on its own)
// counts as one code point and is handed on as it is; only withValidSurrogates() replaces it.

#include <QChar>
#include <QString>
#include <QStringView>

#include <functional>

namespace Lumivox::Text {

/// Whether a high surrogate at `i` is followed by a low one.
inline bool isSurrogatePairAt(QStringView text, qsizetype i)
{
    return i >= 0 && i + 1 < text.size() && QChar::isHighSurrogate(text[i].unicode())
        && QChar::isLowSurrogate(text[i + 1].unicode());
}

/// Whether `offset` lies between the two halves of a surrogate pair, where no text may be cut.
inline bool splitsSurrogatePair(QStringView text, qsizetype offset)
{
    return offset > 0 && isSurrogatePairAt(text, offset - 1);
}

/// The code point that starts at `i` (which must be inside the text), and in `width` its length
/// in code units: 2 for a pair, else 1.
inline char32_t scalarAt(QStringView text, qsizetype i, qsizetype *width = nullptr)
{
    const bool pair = isSurrogatePairAt(text, i);
    if (width)
        *width = pair ? 2 : 1;
    return pair ? QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode()) : char32_t(text[i].unicode());
}

/// The code point at `i`, moving `i` past it.
inline char32_t nextScalar(QStringView text, qsizetype &i)
{
    qsizetype width = 1;
    const char32_t c = scalarAt(text, i, &width);
    i += width;
    return c;
}

/// The code point that ends at `end` (which must be above 0), moving `end` back to its start.
inline char32_t previousScalar(QStringView text, qsizetype &end)
{
    end -= splitsSurrogatePair(text, end - 1) ? 2 : 1;
    return scalarAt(text, end);
}

/// The code-unit offset of a code-point offset. Past the end clamps to the text's size.
qsizetype utf16Offset(QStringView text, qsizetype codePointOffset);

/// The code-point offset of a code-unit offset. Past the end clamps to the text's code-point count;
/// an offset inside a pair counts the whole pair.
qsizetype codePointOffset(QStringView text, qsizetype utf16Offset);

qsizetype codePointCount(QStringView text);

/// The text with every unpaired surrogate replaced by U+FFFD, so that ICU and other libraries see
/// valid UTF-16. The length does not change, so offsets into the text stay valid.
QString withValidSurrogates(QStringView text);

/// Calls the visitor with each code point in order.
void forEachScalar(QStringView text, const std::function<void(char32_t)> &visit);

} // namespace Lumivox::Text
