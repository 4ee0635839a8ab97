#include "Services/Translation/SourceLanguage.h"

#include "Shared/Text/TextUtils.h"

#include <QList>

#include <unicode/uscript.h>

namespace Lumivox::SourceLanguage {

namespace {

bool isLatin(QStringView text)
{
    bool latin = false;
    for (const uint c : text.toUcs4()) {
        UErrorCode status = U_ZERO_ERROR;
        const UScriptCode script = uscript_getScript(static_cast<UChar32>(c), &status);
        if (U_FAILURE(status))
            return false;
        if (script == USCRIPT_LATIN)
            latin = true;
        else if (script != USCRIPT_COMMON && script != USCRIPT_INHERITED)
            return false;
    }
    return latin;
}

} // namespace

bool mayRecognize(QStringView text)
{
    const std::vector<Text::Segment> words = Text::words(text);
    return words.size() != 1 || !isLatin(text);
}

} // namespace Lumivox::SourceLanguage
