#pragma once

// On-device translation of words, phrases and marked sentences for the language pairs the device has
// models for. The hover coordinator wants a TranslationAttempt that says why a translation failed; the
// glance translator wants plain results or nothing.
//
// Everything here lives on the main thread. The platform sessions block while their engine works, so
// each pair's requests run on a worker of their own and are awaited; the main thread never waits.

#include "Models/StyledText.h"
#include "Native/Language/LanguageRecognizer.h"
#include "Native/Translation/Translator.h"
#include "Shared/Async/Clock.h"
#include "Shared/Async/SerialExecutor.h"
#include "Shared/Diagnostics/DiagnosticReason.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QUuid>

#include <atomic>
#include <coroutine>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>

namespace Lumivox {

/// One language pair's session as the engine uses it: the platform session, with its blocking calls
/// run one at a time on the pair's own worker thread.
class OnDeviceSession
{
public:
    explicit OnDeviceSession(std::shared_ptr<Native::TranslationSession> session);

    QString source() const { return m_session->source(); }
    QString target() const { return m_session->target(); }

    /// A word met in a sentence (`context`) is translated in the part of speech it has there.
    QCoro::Task<Native::TranslationResult<QString>>
    translate(QString text, std::optional<Native::WordContext> context = std::nullopt);
    /// Marks are the runs with strong emphasis; they come back on the words they were on.
    QCoro::Task<Native::TranslationResult<StyledText>> translate(StyledText text);

    /// Starts the engine behind the session on the worker, once; returns at once.
    void prepareInBackground();

private:
    std::shared_ptr<Native::TranslationSession> m_session;
    std::shared_ptr<SerialExecutor> m_worker;
    std::atomic<bool> m_prepareRequested {false};
};

/// The worker behind AppleTranslateService: sessions per pair, the installed-model cache, and the
/// hand-over of a session from the session host to callers that wait for it. It must outlive every
/// task it has started.
class AppleTranslationEngine : public QObject
{
    Q_OBJECT

public:
    /// The pair the session host should serve.
    struct Configuration
    {
        QString source;
        QString target;
        bool operator==(const Configuration &) const = default;
    };

    struct Dependencies
    {
        std::shared_ptr<Native::Translator> translator;
        std::shared_ptr<Native::LanguageRecognizer> recognizer;
        std::shared_ptr<Clock> clock;
        /// Whether the engine runs its own session host. Tests that hand sessions over themselves turn
        /// it off.
        bool hostsSessions = true;

        static Dependencies platform();
    };

    explicit AppleTranslationEngine(Dependencies dependencies = Dependencies::platform());
    ~AppleTranslationEngine() override;

    /// Publishes the pair (lower-cased, trimmed) for the session host, unless it is already the current one.
    void prepareSession(const QString &source, const QString &target);

    /// Installed pairs are remembered for the life of the process; a missing one is asked again each time.
    bool isModelInstalled(const QString &source, const QString &target);
    bool checkModelInstalled(const QString &source, const QString &target);

    QCoro::Task<TranslationAttempt> translateExplained(QString text, QString targetLanguage,
                                                       std::optional<QString> source,
                                                       std::optional<Native::WordContext> context = std::nullopt);
    QCoro::Task<std::optional<QString>> translateDirect(QString text, QString source, QString target,
                                                        std::optional<Native::WordContext> context = std::nullopt);
    QCoro::Task<std::optional<StyledText>> translateMarked(StyledText text, QString source, QString target);
    /// Loads a model early by translating one sample word.
    QCoro::Task<> warmUpDirect(QString target);

    /// The on-device code of the text's language, or none (always for one word of the Latin script).
    std::optional<QString> detectSourceLanguage(const QString &text);
    /// The recogniser's answer for any text, one word included, as an on-device code.
    std::optional<QString> recognizedLanguage(const QString &text);

    /// The pair's session, made on first use and kept; null when the platform has none for the pair.
    std::shared_ptr<OnDeviceSession> directSession(const QString &source, const QString &target);
    /// A session only for an on-device pair whose model is installed.
    std::shared_ptr<OnDeviceSession> readySession(const QString &source, const QString &target);

    /// The active session when it serves the pair; otherwise waits up to 8 s for the host to hand one
    /// over. A session for another pair is never returned.
    QCoro::Task<std::shared_ptr<OnDeviceSession>> getOrWaitSession(QString source, QString target);

    /// The session host's action: makes the session active, releases every waiter with it, and keeps it
    /// active until `cancelled` is requested.
    QCoro::Task<> handleSession(std::shared_ptr<OnDeviceSession> session, std::stop_token cancelled);

    const std::optional<Configuration> &configuration() const { return m_configuration; }
    const std::shared_ptr<OnDeviceSession> &activeSession() const { return m_activeSession; }
    std::size_t waiterCount() const { return m_sessionWaiters.size(); }

Q_SIGNALS:
    void configurationChanged();

private:
    class SessionHost;
    struct Waiter
    {
        std::coroutine_handle<> handle;
        std::shared_ptr<OnDeviceSession> *received = nullptr;
    };
    struct WaiterAwaitable;
    struct CancellableSleep;

    QCoro::Task<> waitUntilCancelled(std::stop_token cancelled);
    void resumeWaiter(const QUuid &id, std::shared_ptr<OnDeviceSession> session);
    void setupHost();

    std::optional<Configuration> m_configuration;
    std::optional<QString> m_currentSourceLanguage;
    std::optional<QString> m_currentTargetLanguage;
    std::unique_ptr<SessionHost> m_host;
    std::shared_ptr<OnDeviceSession> m_activeSession;
    std::map<QUuid, Waiter> m_sessionWaiters;
    std::map<QString, std::shared_ptr<OnDeviceSession>> m_directSessions;
    std::set<QString> m_installedPairs;
    std::shared_ptr<Native::Translator> m_translator;
    std::shared_ptr<Native::LanguageRecognizer> m_sourceRecognizer;
    std::shared_ptr<Clock> m_clock;
};

/// The public face of on-device translation: one shared instance on the main thread, whose engine is
/// made on first use.
class AppleTranslateService
{
public:
    /// The program's instance; the composition root hands it to whatever translates on the device.
    static AppleTranslateService &shared();

    /// Tests make their own over fakes.
    explicit AppleTranslateService(std::function<AppleTranslationEngine::Dependencies()> dependencies =
                                       AppleTranslationEngine::Dependencies::platform);

    void prepareSession(const QString &source, const QString &target);
    QCoro::Task<bool> isInstalled(QString source, QString targetLanguage);
    /// Never throws: every failure is a TranslationAttempt with its reason and detail. A word alone
    /// gives its dictionary sense, in the part of speech it has in `context` when that is known.
    QCoro::Task<TranslationAttempt> translateExplained(QString text, QString targetLanguage,
                                                       std::optional<QString> source = std::nullopt,
                                                       std::optional<Native::WordContext> context = std::nullopt);
    QCoro::Task<std::optional<QString>> translate(QString text, QString source, QString target,
                                                  std::optional<Native::WordContext> context = std::nullopt);
    QCoro::Task<std::optional<StyledText>> translateMarked(StyledText text, QString source, QString target);
    QCoro::Task<> warmUpDirect(QString target);

private:
    AppleTranslationEngine &engine();

    std::function<AppleTranslationEngine::Dependencies()> m_dependencies;
    std::unique_ptr<AppleTranslationEngine> m_engine;
};

} // namespace Lumivox
