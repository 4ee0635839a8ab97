// Speech over Qt TextToSpeech's speech-dispatcher engine. The engine is made on first use, not at
// start, since connecting may start the speech-dispatcher daemon.

#include "Native/Session/Speech.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QTextToSpeech>

Q_LOGGING_CATEGORY(lcSpeech, "app.lumivox.Speech")

namespace Lumivox::Native {

namespace {

class QtSpeech final : public Speech
{
public:
    std::vector<QLocale> locales() override
    {
        QTextToSpeech *speech = engine();
        if (!speech)
            return {};
        const QList<QLocale> available = speech->availableLocales();
        return {available.begin(), available.end()};
    }

    void say(const QString &text, const std::optional<QLocale> &locale) override
    {
        QTextToSpeech *speech = engine();
        if (!speech || text.isEmpty())
            return;
        speech->setLocale(locale.value_or(m_defaultLocale));
        speech->say(text);
    }

    void stop() override
    {
        if (m_engine)
            m_engine->stop(QTextToSpeech::BoundaryHint::Immediate);
    }

private:
    QTextToSpeech *engine()
    {
        if (m_triedEngine)
            return m_engine.data();
        m_triedEngine = true;
        if (!QTextToSpeech::availableEngines().contains(QStringLiteral("speechd"))) {
            qCInfo(lcSpeech) << "no speech engine: words are not read aloud";
            return nullptr;
        }
        // Owned by the application, so it is gone before the registry's statics are destroyed.
        auto *speech = new QTextToSpeech(QStringLiteral("speechd"), QCoreApplication::instance());
        if (speech->state() == QTextToSpeech::Error) {
            qCInfo(lcSpeech) << "the speech service is not available:" << speech->errorString();
            delete speech;
            return nullptr;
        }
        QObject::connect(speech, &QTextToSpeech::errorOccurred, speech,
                         [](QTextToSpeech::ErrorReason, const QString &message) {
                             qCInfo(lcSpeech) << "speaking failed:" << message;
                         });
        m_defaultLocale = speech->locale();
        m_engine = speech;
        return speech;
    }

    bool m_triedEngine = false;
    QPointer<QTextToSpeech> m_engine;
    QLocale m_defaultLocale;
};

} // namespace

std::shared_ptr<Speech> Speech::makeDefault()
{
    return std::make_shared<QtSpeech>();
}

} // namespace Lumivox::Native
