// Speech over Qt TextToSpeech's speech-dispatcher engine, on a thread of its own: making the engine
// connects to speech-dispatcher and may start it, which takes up to a second, and a failed
// connection is tried again on every call.

#include "Native/Session/Speech.h"

#include <QLoggingCategory>
#include <QTextToSpeech>
#include <QThread>

Q_LOGGING_CATEGORY(lcSpeech, "app.lumivox.Speech")

namespace Lumivox::Native {

namespace {

class QtSpeech final : public Speech
{
public:
    QtSpeech()
    {
        m_thread.setObjectName(QStringLiteral("app.lumivox.speech"));
        m_context = new QObject;
        m_context->moveToThread(&m_thread);
        m_thread.start();
    }

    ~QtSpeech() override
    {
        // The engine is a QObject of the speech thread and goes with it.
        QMetaObject::invokeMethod(
            m_context,
            [this] {
                delete m_engine;
                m_engine = nullptr;
                delete m_context;
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    void say(const QString &text, VoiceChoice chooseVoice) override
    {
        if (text.isEmpty())
            return;
        QMetaObject::invokeMethod(m_context, [this, text, chooseVoice = std::move(chooseVoice)] {
            QTextToSpeech *speech = engine();
            if (!speech)
                return;
            std::optional<QLocale> locale;
            if (chooseVoice) {
                const QList<QLocale> available = speech->availableLocales();
                locale = chooseVoice({available.begin(), available.end()});
            }
            speech->setLocale(locale.value_or(m_defaultLocale));
            speech->say(text);
        });
    }

    void stop() override
    {
        QMetaObject::invokeMethod(m_context, [this] {
            if (m_engine)
                m_engine->stop(QTextToSpeech::BoundaryHint::Immediate);
        });
    }

private:
    // Speech thread only.
    QTextToSpeech *engine()
    {
        if (m_triedEngine)
            return m_engine;
        m_triedEngine = true;
        if (!QTextToSpeech::availableEngines().contains(QStringLiteral("speechd"))) {
            qCInfo(lcSpeech) << "no speech engine: words are not read aloud";
            return nullptr;
        }
        auto *speech = new QTextToSpeech(QStringLiteral("speechd"));
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

    QThread m_thread;
    QObject *m_context = nullptr;
    bool m_triedEngine = false;
    QTextToSpeech *m_engine = nullptr;
    QLocale m_defaultLocale;
};

} // namespace

std::shared_ptr<Speech> Speech::makeDefault()
{
    return std::make_shared<QtSpeech>();
}

} // namespace Lumivox::Native
