#include "Features/Words/Pronouncer.h"

#include "Native/Services.h"
#include "Native/Session/Speech.h"

namespace Lumivox::Pronouncer {

namespace {

// A voice of the code's language, preferring one of the code's own region ("pt-BR" before "pt-PT").
std::optional<QLocale> voiceLocale(const std::vector<QLocale> &locales, const QString &code)
{
    const QLocale wanted(code);
    if (wanted.language() == QLocale::C || wanted.language() == QLocale::AnyLanguage)
        return std::nullopt;
    std::optional<QLocale> sameLanguage;
    for (const QLocale &locale : locales) {
        if (locale.language() != wanted.language())
            continue;
        if (locale.territory() == wanted.territory())
            return locale;
        if (!sameLanguage)
            sameLanguage = locale;
    }
    return sameLanguage;
}

} // namespace

void speak(const QString &word, const std::optional<QString> &language)
{
    const auto speech = Native::service<Native::Speech>();
    speech->stop();
    std::optional<QLocale> locale;
    if (language && !language->trimmed().isEmpty())
        locale = voiceLocale(speech->locales(), language->trimmed());
    speech->say(word, locale);
}

} // namespace Lumivox::Pronouncer
