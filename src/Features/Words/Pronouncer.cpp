#include "Features/Words/Pronouncer.h"

#include "Native/Services.h"
#include "Native/Session/Speech.h"

#include <QCoreApplication>
#include <QPointer>

#include <utility>
#include <vector>

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

// The answer of the service asked last, with whoever waits for it. Main thread.
struct Availability
{
    const Native::Speech *askedOf = nullptr;
    std::optional<bool> known;
    std::vector<std::pair<QPointer<QObject>, std::function<void(bool)>>> waiting;
};

Availability &availability()
{
    static Availability state;
    return state;
}

} // namespace

void whenAvailabilityKnown(QObject *context, std::function<void(bool)> answer)
{
    const auto speech = Native::service<Native::Speech>();
    Availability &state = availability();
    // A service put in place later (a test's) is asked afresh.
    if (state.askedOf != speech.get()) {
        state = Availability {};
        state.askedOf = speech.get();
        speech->checkAvailable([asked = speech.get()](bool available) {
            QMetaObject::invokeMethod(qApp, [asked, available] {
                Availability &now = availability();
                if (now.askedOf != asked)
                    return;
                now.known = available;
                for (auto &[waiter, call] : std::exchange(now.waiting, {})) {
                    if (waiter)
                        call(available);
                }
            });
        });
    }
    if (state.known) {
        answer(*state.known);
        return;
    }
    state.waiting.emplace_back(context, std::move(answer));
}

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
