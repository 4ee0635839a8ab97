#include "Shared/Diagnostics/DiagnosticLog.h"

#include "Shared/Text/TextUtils.h"

#include <unicode/uchar.h>

namespace Lumivox {

namespace {

// The platform's "alphanumerics" set: letters (L*), marks (M*) and numbers (N*).
bool isAlphanumeric(char32_t c)
{
    const auto mask = U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK;
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & mask) != 0;
}

bool isAllowedPunctuation(char32_t c)
{
    return c == U' ' || c == U'.' || c == U'_' || c == U'-' || c == U':' || c == U'/' || c == U'\u2192';
}

} // namespace

QString DiagnosticLog::sanitize(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    Text::forEachScalar(text, [&](char32_t c) {
        if (c > 0xFFFF || !QChar::isSurrogate(static_cast<char16_t>(c))) {
            if (isAlphanumeric(c) || isAllowedPunctuation(c))
                kept.append(QString::fromUcs4(&c, 1));
        }
    });
    return Text::graphemePrefix(kept, 80);
}

QString DiagnosticLog::errorDetail(const ErrorInfo &error)
{
    return sanitize(error.domain + QLatin1Char(' ') + QString::number(error.code));
}

} // namespace Lumivox
