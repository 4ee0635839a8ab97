#include "Services/Translation/AppleTranslateService.h"

#include "Models/LanguageCatalog.h"
#include "Native/Services.h"
#include "Services/Translation/SourceLanguage.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Text/TextUtils.h"

#include <QLoggingCategory>

#include <utility>

Q_LOGGING_CATEGORY(lcOnDevice, "app.lumivox.Translation")

namespace Lumivox {

using namespace std::chrono_literals;

namespace {

constexpr auto sessionWaitLimit = 8s;
constexpr auto keepAliveInterval = 3600s;

const QString arrow = QStringLiteral("\u2192");

Native::MarkedPassage passage(const StyledText &text)
{
    Native::MarkedPassage result {text.text(), {}};
    for (const TextRange &range : text.stronglyEmphasizedRanges())
        result.marks.push_back({range.location, range.length});
    return result;
}

StyledText styled(const Native::MarkedPassage &passage)
{
    StyledText result(passage.text);
    for (const auto &mark : passage.marks) {
        result.setInlinePresentationIntent(TextRange {mark.location, mark.length},
                                           InlinePresentationIntent(InlinePresentationIntent::stronglyEmphasized));
    }
    return result;
}

Native::TranslationResult<StyledText> styled(const Native::TranslationResult<Native::MarkedPassage> &result)
{
    if (!result.ok())
        return Native::TranslationResult<StyledText>::failure(*result.error);
    return Native::TranslationResult<StyledText>::success(styled(*result.value));
}

// A language some on-device pair starts or ends at, by its exact code: one in another case ("EN") is
// reported as unsupported, not translated.
bool isOnDeviceCode(const QString &code)
{
    return code == Text::lowercased(code) && LanguageCatalog::isRouteLanguage(code);
}

} // namespace

// ---------------------------------------------------------------------------------------------------

OnDeviceSession::OnDeviceSession(std::shared_ptr<Native::TranslationSession> session)
    : m_session(std::move(session))
    , m_worker(std::make_shared<SerialExecutor>(QStringLiteral("app.lumivox.translate.") + m_session->source()
                                                + QLatin1Char('-') + m_session->target()))
{ }

QCoro::Task<Native::TranslationResult<QString>> OnDeviceSession::translate(QString text,
                                                                           std::optional<Native::WordContext> context)
{
    // The frame keeps the worker and the session alive until the job has answered.
    auto worker = m_worker;
    auto session = m_session;
    // Bound to a name first: GCC 12 destroys a by-value lambda inside a co_await expression twice.
    auto job = worker->run([session, text, context] {
        return context ? session->translateWord(text, context) : session->translate(text);
    });
    auto result = co_await job;
    co_return result;
}

QCoro::Task<Native::TranslationResult<StyledText>> OnDeviceSession::translate(StyledText text)
{
    auto worker = m_worker;
    auto session = m_session;
    const Native::MarkedPassage request = passage(text);
    auto job = worker->run([session, request] { return session->translate(request); });
    const auto result = co_await job;
    co_return styled(result);
}

void OnDeviceSession::prepareInBackground()
{
    if (m_prepareRequested.exchange(true))
        return;
    m_worker->post([session = m_session] {
        if (!session->prepare())
            qCWarning(lcOnDevice) << "could not start" << session->source() << "to" << session->target();
    });
}

// ---------------------------------------------------------------------------------------------------

// Plays the part of the hidden view whose translation task hands out sessions: whenever the engine
// publishes a configuration, the action for the previous one is cancelled and, when the platform has a
// session for the new pair, that session is started and handed over.
class AppleTranslationEngine::SessionHost : public QObject
{
public:
    explicit SessionHost(AppleTranslationEngine *engine)
        : m_engine(engine)
    {
        // Queued, like the framework's own task: the hand-over never runs inside prepareSession.
        connect(engine, &AppleTranslationEngine::configurationChanged, this, &SessionHost::serve, Qt::QueuedConnection);
    }

    ~SessionHost() override { cancelRunning(); }

private:
    void cancelRunning()
    {
        if (auto running = std::exchange(m_running, std::nullopt))
            running->request_stop();
    }

    void serve()
    {
        cancelRunning();
        const auto configuration = m_engine->configuration();
        if (!configuration)
            return;
        auto session = m_engine->directSession(configuration->source, configuration->target);
        if (!session)
            return; // nothing arrives; waiters give up after their time limit
        session->prepareInBackground();
        m_running.emplace();
        m_engine->handleSession(std::move(session), m_running->get_token());
    }

    AppleTranslationEngine *m_engine;
    std::optional<std::stop_source> m_running;
};

struct AppleTranslationEngine::WaiterAwaitable
{
    AppleTranslationEngine *engine;
    QUuid id;
    std::shared_ptr<OnDeviceSession> received;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) { engine->m_sessionWaiters[id] = Waiter {handle, &received}; }
    std::shared_ptr<OnDeviceSession> await_resume() { return std::move(received); }
};

// Sleeps on the engine's clock until the delay passes or the token is cancelled; gives true when
// cancelled. Exactly one of the two resumes the coroutine.
struct AppleTranslationEngine::CancellableSleep
{
    struct State
    {
        std::coroutine_handle<> handle;
        bool done = false;
        bool cancelled = false;
        TimerHandle timer;
    };

    Clock *clock;
    QObject *context;
    Clock::Duration delay;
    std::stop_token token;
    std::shared_ptr<State> state = std::make_shared<State>();
    std::shared_ptr<std::stop_callback<std::function<void()>>> onStop;

    bool await_ready() const noexcept { return token.stop_requested(); }

    void await_suspend(std::coroutine_handle<> handle)
    {
        state->handle = handle;
        std::weak_ptr<State> weak = state;
        state->timer = clock->schedule(delay, context, [weak] {
            auto s = weak.lock();
            if (!s || s->done)
                return;
            s->done = true;
            const auto resume = s->handle;
            s.reset();
            resume.resume();
        });
        onStop = std::make_shared<std::stop_callback<std::function<void()>>>(token, [weak] {
            auto s = weak.lock();
            if (!s || s->done)
                return;
            s->done = true;
            s->cancelled = true;
            s->timer.cancel();
            const auto resume = s->handle;
            s.reset();
            // Resuming ends this sleep's frame, and with it this callback: nothing may
            // follow the resume.
            resume.resume();
        });
    }

    bool await_resume() const { return state->cancelled || token.stop_requested(); }
};

AppleTranslationEngine::Dependencies AppleTranslationEngine::Dependencies::platform()
{
    return Dependencies {Native::service<Native::Translator>(), Native::service<Native::LanguageRecognizer>(),
                         Clock::system(), true};
}

AppleTranslationEngine::AppleTranslationEngine(Dependencies dependencies)
    : m_translator(std::move(dependencies.translator))
    , m_sourceRecognizer(std::move(dependencies.recognizer))
    , m_clock(dependencies.clock ? std::move(dependencies.clock) : Clock::system())
{
    if (dependencies.hostsSessions)
        setupHost();
}

AppleTranslationEngine::~AppleTranslationEngine()
{
    // Ending the host's action first lets it finish while the engine's fields still exist.
    m_host.reset();
}

void AppleTranslationEngine::setupHost()
{
    if (!m_host)
        m_host = std::make_unique<SessionHost>(this);
}

void AppleTranslationEngine::prepareSession(const QString &source, const QString &target)
{
    const QString from = Text::trimmed(Text::lowercased(source));
    const QString to = Text::trimmed(Text::lowercased(target));
    if (m_currentSourceLanguage == from && m_currentTargetLanguage == to)
        return;
    m_currentSourceLanguage = from;
    m_currentTargetLanguage = to;
    m_activeSession.reset();
    m_configuration = Configuration {from, to};
    Q_EMIT configurationChanged();
}

bool AppleTranslationEngine::isModelInstalled(const QString &source, const QString &target)
{
    const QString key = source + QLatin1Char('>') + target;
    if (m_installedPairs.count(key) > 0)
        return true;
    if (!checkModelInstalled(source, target))
        return false;
    m_installedPairs.insert(key);
    return true;
}

bool AppleTranslationEngine::checkModelInstalled(const QString &source, const QString &target)
{
    if (AppIdentity::isRunningInCI() || !m_translator)
        return false;
    return m_translator->availability(source, target) == Native::Translator::Availability::installed;
}

std::optional<QString> AppleTranslationEngine::detectSourceLanguage(const QString &text)
{
    if (!SourceLanguage::mayRecognize(text))
        return std::nullopt;
    return recognizedLanguage(text);
}

std::optional<QString> AppleTranslationEngine::recognizedLanguage(const QString &text)
{
    if (!m_sourceRecognizer)
        return std::nullopt;
    const auto dominant = m_sourceRecognizer->dominantLanguage(text);
    if (!dominant)
        return std::nullopt;
    return LanguageCatalog::appleCode(*dominant);
}

std::shared_ptr<OnDeviceSession> AppleTranslationEngine::directSession(const QString &source, const QString &target)
{
    const QString key = source + arrow + target;
    if (auto it = m_directSessions.find(key); it != m_directSessions.end())
        return it->second;
    auto platformSession = m_translator ? m_translator->session(source, target) : nullptr;
    if (!platformSession)
        return nullptr;
    auto session = std::make_shared<OnDeviceSession>(std::move(platformSession));
    m_directSessions.emplace(key, session);
    return session;
}

std::shared_ptr<OnDeviceSession> AppleTranslationEngine::readySession(const QString &source, const QString &target)
{
    const QString from = Text::lowercased(source);
    const QString to = Text::lowercased(target);
    if (!LanguageCatalog::translatesOnDevice(from, to) || !isModelInstalled(from, to))
        return nullptr;
    return directSession(from, to);
}

namespace {

// The checks before an explained translation, kept out of the coroutine so that its frame holds
// nothing but what crosses the wait.
struct ExplainedPlan
{
    std::optional<TranslationAttempt> failure;
    std::shared_ptr<OnDeviceSession> session;
    QString text;
    QString pair;
    QString target;
    /// For a word whose language is not known: the recogniser's guess, asked only when the first
    /// pair does not translate it (a pair's session, once made, is kept with its worker thread).
    std::optional<QString> guess;
};

// A pair's session when the pair is on the device and installed; the failure that says why not
// otherwise.
std::optional<TranslationAttempt> sessionFor(AppleTranslationEngine &engine, const QString &from, const QString &target,
                                             std::shared_ptr<OnDeviceSession> &session)
{
    const QString pair = from + arrow + target;
    if (from == target)
        return TranslationAttempt::failed(DiagnosticReason::sourceIsTarget, pair);
    if (!engine.isModelInstalled(from, target))
        return TranslationAttempt::failed(DiagnosticReason::appleModelMissing, pair);
    session = engine.directSession(from, target);
    if (!session)
        return TranslationAttempt::failed(DiagnosticReason::appleSessionMissing, pair);
    return std::nullopt;
}

ExplainedPlan planExplained(AppleTranslationEngine &engine, const QString &text, const QString &targetLanguage,
                            const std::optional<QString> &source)
{
    ExplainedPlan plan;
    plan.text = Text::trimmed(text);
    if (plan.text.isEmpty()) {
        plan.failure = TranslationAttempt::failed(DiagnosticReason::translationEmpty, QString());
        return plan;
    }
    const QString target = Text::trimmed(Text::lowercased(targetLanguage));
    if (!isOnDeviceCode(target)) {
        plan.failure =
            TranslationAttempt::failed(DiagnosticReason::appleFailed, QStringLiteral("unsupported ") + target);
        return plan;
    }
    if (source && !isOnDeviceCode(*source)) {
        plan.failure =
            TranslationAttempt::failed(DiagnosticReason::appleFailed, QStringLiteral("unsupported source ") + *source);
        return plan;
    }
    const QString english = QStringLiteral("en");
    QString from = english;
    std::optional<QString> guess;
    if (source) {
        from = *source;
    } else if (SourceLanguage::mayRecognize(plan.text)) {
        from = engine.detectSourceLanguage(plan.text).value_or(english);
    } else {
        // One word, whose recognised language is a guess: English first, whose analyser knows its own
        // words ("heavy" read as Czech is English), then the guess for a word English does not know
        // ("château"), or at once when the target is English ("siempre").
        guess = engine.recognizedLanguage(plan.text);
        if (guess && (*guess == english || *guess == target || !isOnDeviceCode(*guess)))
            guess.reset();
        if (guess && target == english)
            from = *std::exchange(guess, std::nullopt);
    }
    plan.target = target;
    plan.pair = from + arrow + target;
    plan.failure = sessionFor(engine, from, target, plan.session);
    if (plan.failure && guess && !sessionFor(engine, *guess, target, plan.session)) {
        plan.failure.reset();
        plan.pair = *guess + arrow + target;
        guess.reset();
    }
    plan.guess = std::move(guess);
    return plan;
}

TranslationAttempt explainedResult(const Native::TranslationResult<QString> &result, const QString &pair)
{
    if (!result.ok()) {
        const ErrorInfo error {result.error->domain, result.error->code};
        return TranslationAttempt::failed(DiagnosticReason::appleFailed,
                                          pair + QLatin1Char(' ') + DiagnosticLog::errorDetail(error));
    }
    const QString translated = Text::trimmed(*result.value);
    if (translated.isEmpty())
        return TranslationAttempt::failed(DiagnosticReason::appleFailed, QStringLiteral("empty ") + pair);
    return TranslationAttempt::success(translated);
}

std::optional<QString> directResult(const Native::TranslationResult<QString> &result)
{
    if (!result.ok())
        return std::nullopt;
    QString translated = Text::trimmed(*result.value);
    if (translated.isEmpty())
        return std::nullopt;
    return translated;
}

struct WarmUpSample
{
    QString source;
    QString word;
};

std::vector<WarmUpSample> warmUpSamples(const QString &target)
{
    if (target == QLatin1String("en")) {
        return {{QStringLiteral("es"), QStringLiteral("Hola")},
                {QStringLiteral("fr"), QStringLiteral("Bonjour")},
                {QStringLiteral("de"), QStringLiteral("Hallo")}};
    }
    return {{QStringLiteral("en"), QStringLiteral("Hello")}};
}

} // namespace

QCoro::Task<TranslationAttempt> AppleTranslationEngine::translateExplained(QString text, QString targetLanguage,
                                                                           std::optional<QString> source,
                                                                           std::optional<Native::WordContext> context)
{
    const ExplainedPlan plan = planExplained(*this, text, targetLanguage, source);
    if (plan.failure)
        co_return *plan.failure;
    const auto result = co_await plan.session->translate(plan.text, context);
    TranslationAttempt attempt = explainedResult(result, plan.pair);
    std::shared_ptr<OnDeviceSession> fallback;
    if (!attempt.text && plan.guess && !sessionFor(*this, *plan.guess, plan.target, fallback)) {
        const auto second = co_await fallback->translate(plan.text, std::move(context));
        if (TranslationAttempt other = explainedResult(second, *plan.guess + arrow + plan.target); other.text)
            attempt = std::move(other);
    }
    co_return attempt;
}

QCoro::Task<std::optional<QString>> AppleTranslationEngine::translateDirect(QString text, QString source,
                                                                            QString target,
                                                                            std::optional<Native::WordContext> context)
{
    const auto session = readySession(source, target);
    if (!session)
        co_return std::nullopt;
    const auto result = co_await session->translate(text, std::move(context));
    co_return directResult(result);
}

QCoro::Task<std::optional<StyledText>> AppleTranslationEngine::translateMarked(StyledText text, QString source,
                                                                               QString target)
{
    const auto session = readySession(source, target);
    if (!session)
        co_return std::nullopt;
    auto result = co_await session->translate(std::move(text));
    co_return std::move(result.value);
}

QCoro::Task<> AppleTranslationEngine::warmUpDirect(QString target)
{
    const QString to = Text::lowercased(target);
    const std::vector<WarmUpSample> samples = warmUpSamples(to);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const QString from = Text::lowercased(samples[i].source);
        if (!LanguageCatalog::translatesOnDevice(from, to) || !isModelInstalled(from, to))
            continue;
        const auto session = directSession(from, to);
        if (!session)
            continue;
        const auto result = co_await session->translate(samples[i].word);
        if (directResult(result))
            co_return;
    }
}

QCoro::Task<std::shared_ptr<OnDeviceSession>> AppleTranslationEngine::getOrWaitSession(QString source, QString target)
{
    if (m_activeSession && m_currentTargetLanguage == target && m_currentSourceLanguage == source) {
        // A copy: QCoro moves from whatever lvalue it is given to co_return.
        auto active = m_activeSession;
        co_return active;
    }
    const QUuid id = QUuid::createUuid();
    // Scheduled on the engine, so it never fires once the engine is gone.
    const TimerHandle timeout = m_clock->schedule(sessionWaitLimit, this, [this, id] { resumeWaiter(id, nullptr); });
    WaiterAwaitable waiter {this, id, nullptr};
    auto received = co_await waiter;
    timeout.cancel();
    if (m_currentSourceLanguage == source && m_currentTargetLanguage == target)
        co_return received;
    co_return std::shared_ptr<OnDeviceSession>();
}

void AppleTranslationEngine::resumeWaiter(const QUuid &id, std::shared_ptr<OnDeviceSession> session)
{
    auto node = m_sessionWaiters.extract(id);
    if (node.empty())
        return;
    *node.mapped().received = std::move(session);
    node.mapped().handle.resume();
}

QCoro::Task<> AppleTranslationEngine::handleSession(std::shared_ptr<OnDeviceSession> session, std::stop_token cancelled)
{
    m_activeSession = session;
    auto waiters = std::exchange(m_sessionWaiters, {});
    for (auto &[id, waiter] : waiters) {
        *waiter.received = session;
        waiter.handle.resume();
    }
    co_await waitUntilCancelled(cancelled);
    if (m_activeSession == session)
        m_activeSession.reset();
}

QCoro::Task<> AppleTranslationEngine::waitUntilCancelled(std::stop_token cancelled)
{
    for (;;) {
        if (cancelled.stop_requested())
            co_return;
        CancellableSleep sleep {m_clock.get(), this, keepAliveInterval, cancelled};
        if (co_await sleep)
            co_return;
    }
}

// ---------------------------------------------------------------------------------------------------

AppleTranslateService &AppleTranslateService::shared()
{
    // Never destroyed: its workers and pipelines must not be torn down during static destruction,
    // after the event loop they resume on is gone. The pipelines end when the process closes their input.
    static AppleTranslateService *instance = new AppleTranslateService();
    return *instance;
}

AppleTranslateService::AppleTranslateService(std::function<AppleTranslationEngine::Dependencies()> dependencies)
    : m_dependencies(std::move(dependencies))
{ }

AppleTranslationEngine &AppleTranslateService::engine()
{
    if (!m_engine)
        m_engine = std::make_unique<AppleTranslationEngine>(m_dependencies());
    return *m_engine;
}

void AppleTranslateService::prepareSession(const QString &source, const QString &target)
{
    engine().prepareSession(source, target);
}

QCoro::Task<bool> AppleTranslateService::isInstalled(QString source, QString targetLanguage)
{
    co_return engine().isModelInstalled(source, targetLanguage);
}

QCoro::Task<TranslationAttempt> AppleTranslateService::translateExplained(QString text, QString targetLanguage,
                                                                          std::optional<QString> source,
                                                                          std::optional<Native::WordContext> context)
{
    co_return co_await engine().translateExplained(std::move(text), std::move(targetLanguage), std::move(source),
                                                   std::move(context));
}

QCoro::Task<std::optional<QString>> AppleTranslateService::translate(QString text, QString source, QString target,
                                                                     std::optional<Native::WordContext> context)
{
    co_return co_await engine().translateDirect(std::move(text), std::move(source), std::move(target),
                                                std::move(context));
}

QCoro::Task<std::optional<StyledText>> AppleTranslateService::translateMarked(StyledText text, QString source,
                                                                              QString target)
{
    co_return co_await engine().translateMarked(std::move(text), std::move(source), std::move(target));
}

QCoro::Task<> AppleTranslateService::warmUpDirect(QString target)
{
    co_await engine().warmUpDirect(std::move(target));
}

} // namespace Lumivox
