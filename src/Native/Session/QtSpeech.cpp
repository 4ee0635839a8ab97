// Speech over Qt TextToSpeech's speech-dispatcher engine, on a thread of its own: making the engine
// connects to speech-dispatcher and may start it, which takes up to a second, and a failed
// connection is tried again on every call.

#include "Native/Session/Speech.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QTextToSpeech>
#include <QThread>

Q_LOGGING_CATEGORY(lcSpeech, "app.lumivox.Speech")

namespace Lumivox::Native {

namespace {

// What the speech thread owns; reached only from that thread, through the lambdas queued to it.
struct Engine
{
    bool tried = false;
    QTextToSpeech *speech = nullptr;
    QLocale defaultLocale;

    QTextToSpeech *get()
    {
        if (tried)
            return speech;
        tried = true;
        if (!QTextToSpeech::availableEngines().contains(QStringLiteral("speechd"))) {
            qCInfo(lcSpeech) << "no speech engine: words are not read aloud";
            return nullptr;
        }
        auto *made = new QTextToSpeech(QStringLiteral("speechd"));
        // Under a locale no voice speaks (LANG=C) the engine reports an error yet speaks in any
        // voice it is given; only an engine without voices is no engine.
        if (made->state() == QTextToSpeech::Error && made->availableLocales().isEmpty()) {
            qCInfo(lcSpeech) << "the speech service is not available:" << made->errorString();
            delete made;
            return nullptr;
        }
        QObject::connect(made, &QTextToSpeech::errorOccurred, made,
                         [](QTextToSpeech::ErrorReason, const QString &message) {
                             qCInfo(lcSpeech) << "speaking failed:" << message;
                         });
        defaultLocale = made->locale();
        speech = made;
        return speech;
    }
};

class QtSpeech final : public Speech
{
public:
    QtSpeech()
        : m_thread(new QThread)
        , m_context(new QObject)
    {
        m_thread->setObjectName(QStringLiteral("app.lumivox.speech"));
        m_context->moveToThread(m_thread);
        m_thread->start();
    }

    ~QtSpeech() override
    {
        // The engine and its context go on their own thread, which then ends. A thread still inside
        // the engine's start (speech-dispatcher can take seconds to list its voices) is not waited
        // for long: quitting must not hang on it, and the process's end takes it along.
        QMetaObject::invokeMethod(m_context, [engine = m_engine, context = m_context] {
            delete engine->speech;
            engine->speech = nullptr;
            delete context;
            QThread::currentThread()->quit();
        });
        if (m_thread->wait(QDeadlineTimer(shutdownWait)))
            delete m_thread;
        else
            qCInfo(lcSpeech) << "the speech service is still starting; it ends with the program";
    }

    void say(const QString &text, VoiceChoice chooseVoice) override
    {
        if (text.isEmpty())
            return;
        QMetaObject::invokeMethod(m_context, [engine = m_engine, text, chooseVoice = std::move(chooseVoice)] {
            QTextToSpeech *speech = engine->get();
            if (!speech)
                return;
            std::optional<QLocale> locale;
            if (chooseVoice) {
                const QList<QLocale> available = speech->availableLocales();
                locale = chooseVoice({available.begin(), available.end()});
            }
            speech->setLocale(locale.value_or(engine->defaultLocale));
            speech->say(text);
        });
    }

    void checkAvailable(std::function<void(bool)> answer) override
    {
        QMetaObject::invokeMethod(
            m_context, [engine = m_engine, answer = std::move(answer)] { answer(engine->get() != nullptr); });
    }

    void stop() override
    {
        QMetaObject::invokeMethod(m_context, [engine = m_engine] {
            if (engine->speech)
                engine->speech->stop(QTextToSpeech::BoundaryHint::Immediate);
        });
    }

private:
    static constexpr std::chrono::seconds shutdownWait {3};

    QThread *m_thread;
    QObject *m_context;
    std::shared_ptr<Engine> m_engine = std::make_shared<Engine>();
};

} // namespace

std::shared_ptr<Speech> Speech::makeDefault()
{
    return std::make_shared<QtSpeech>();
}

} // namespace Lumivox::Native
