#include "Native/Accessibility/AtspiTextFrame.h"

#include "Native/Text/Utf16.h"

namespace Lumivox::Native::Atspi {

qint64 TextFrame::toUtf16(qint64 offset) const
{
    if (utf16 || offset <= start)
        return offset;
    if (offset <= end())
        return start + Text::utf16Offset(text, offset - start);
    return start + text.size() + (offset - end());
}

qint64 TextFrame::fromUtf16(qint64 u) const
{
    if (utf16 || u <= start)
        return u;
    if (u <= start + text.size())
        return start + Text::codePointOffset(text, qsizetype(u - start));
    return end() + (u - start - text.size());
}

qint64 TextFrame::units(QStringView s) const
{
    return utf16 ? s.size() : Text::codePointCount(s);
}

std::optional<QString> TextFrame::utf16Slice(qint64 from, qint64 to) const
{
    if (from < start || to > start + text.size() || from > to)
        return std::nullopt;
    return text.mid(from - start, to - from);
}

std::optional<QString> TextFrame::slice(qint64 from, qint64 to) const
{
    if (from < start || to > end() || from > to)
        return std::nullopt;
    return utf16Slice(toUtf16(from), toUtf16(to));
}

std::optional<bool> TextFrame::countsUtf16(qint64 count, std::optional<QStringView> wholeText,
                                           std::optional<bool> toolkitCountsUtf16)
{
    if (!wholeText)
        return toolkitCountsUtf16;
    const bool codePoints = Text::codePointCount(*wholeText) == count;
    const bool units = wholeText->size() == count;
    if (codePoints && units)
        return toolkitCountsUtf16.value_or(false); // no pairs: both units agree
    if (codePoints != units)
        return units;
    return std::nullopt;
}

} // namespace Lumivox::Native::Atspi
