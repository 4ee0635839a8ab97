#include "Native/Text/Utf16.h"

#include <algorithm>

namespace Lumivox::Text {

qsizetype utf16Offset(QStringView text, qsizetype codePointOffset)
{
    qsizetype i = 0;
    for (qsizetype cp = 0; cp < codePointOffset && i < text.size(); ++cp)
        nextScalar(text, i);
    return i;
}

qsizetype codePointOffset(QStringView text, qsizetype utf16Offset)
{
    qsizetype i = 0;
    qsizetype cp = 0;
    const qsizetype limit = std::min(utf16Offset, text.size());
    while (i < limit) {
        nextScalar(text, i);
        ++cp;
    }
    return cp;
}

qsizetype codePointCount(QStringView text)
{
    return codePointOffset(text, text.size());
}

QString withValidSurrogates(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isSurrogatePairAt(text, i)) {
            out.append(text[i]);
            out.append(text[++i]);
        } else if (text[i].isSurrogate()) {
            out.append(QChar(QChar::ReplacementCharacter));
        } else {
            out.append(text[i]);
        }
    }
    return out;
}

void forEachScalar(QStringView text, const std::function<void(char32_t)> &visit)
{
    for (qsizetype i = 0; i < text.size();)
        visit(nextScalar(text, i));
}

} // namespace Lumivox::Text
