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
    Native::Speech::VoiceChoice choose;
    if (language && !language->trimmed().isEmpty()) {
        choose = [code = language->trimmed()](const std::vector<QLocale> &available) {
            return voiceLocale(available, code);
        };
    }
    speech->say(word, std::move(choose));
}

} // namespace Lumivox::Pronouncer
