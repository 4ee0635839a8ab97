#include "Services/Learn/ReadAhead.h"

#include "Models/LanguageCatalog.h"
#include "Native/Services.h"
#include "Native/Translation/Translator.h"
#include "Services/Detection/AccessibilityTextService.h"
#include "Services/Filtering/WordFilter.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Text/TextUtils.h"

namespace Lumivox::ReadAhead {

bool shouldStart(bool fromAccessibility, bool alwaysMode, const Spot &at, const std::optional<Spot> &previous)
{
    if (!fromAccessibility)
        return false;
    if (alwaysMode)
        return previous && previous->sentence == at.sentence && previous->offset != at.offset;
    return true;
}

bool isOnDevice(const std::optional<QString> &source, const QString &target)
{
    if (!source || !LanguageCatalog::translatesOnDevice(*source, target))
        return false;
    // Read-ahead only pays off when the pair's model is really there; a build machine has none.
    if (AppIdentity::isRunningInCI())
        return false;
    const auto translator = Native::service<Native::Translator>();
    return translator
        && translator->availability(Text::lowercased(*source), Text::lowercased(target))
        == Native::Translator::Availability::installed;
}

std::vector<Word> words(qsizetype offset, const QString &sentence, int limit, bool skipNonWords)
{
    std::vector<Word> out;
    // A limit of zero asks for nothing; counting only after an append would never reach it.
    if (limit <= 0 || offset < 0 || offset >= sentence.size())
        return out;
    // Same length as the sentence, so offsets stay valid; ICU and the taggers want paired surrogates.
    const QString text = Text::withValidSurrogates(sentence);
    const QStringView rest = QStringView(text).mid(offset);
    // Collected first: the single-word test and the word filter enumerate words themselves, and the
    // break iterators are shared per thread.
    for (const Text::Segment &segment : Text::words(rest)) {
        const qsizetype start = offset + segment.start;
        if (start <= offset)
            continue;
        const QString word = rest.mid(segment.start, segment.length).toString();
        // Only a word the accessibility look-up would itself take as one clean word.
        if (AccessibilityTextService::extractSingleWord(word) != word)
            continue;
        if (skipNonWords && !WordFilter::evaluate(word, text).isTranslatable())
            continue;
        out.push_back(Word {word, start});
        if (static_cast<int>(out.size()) >= limit)
            break;
    }
    return out;
}

} // namespace Lumivox::ReadAhead
