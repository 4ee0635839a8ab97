// From a word read under the pointer to a tooltip: the cached glance or translation when there is
// one, otherwise the in-context glance and the plain word translation side by side (the glance wins
// whenever it yields), a short memo of words that failed, and a note for every outcome.

#include "Features/Coordinator/HoverGates.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Models/LanguageCatalog.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Translation/TranslationStore.h"
#include "Shared/Text/TextUtils.h"

namespace Lumivox {

namespace {

const QString translateStage = QStringLiteral("translate");

QCoro::Task<HoverTextController::WordTranslation> alreadyTranslated(HoverTextController::WordTranslation translation)
{
    co_return translation;
}

// A glance is made of what a translation service sent: none of its control characters is shown or
// kept. One whose meaning was nothing else is no glance.
std::optional<Glance> withoutControls(std::optional<Glance> glance)
{
    if (!glance)
        return glance;
    glance->meaning = Text::withoutControls(glance->meaning);
    if (glance->meaning.trimmed().isEmpty())
        return std::nullopt;
    if (glance->grammar)
        glance->grammar->text = Text::withoutControls(glance->grammar->text);
    if (glance->base)
        glance->base = Text::withoutControls(*glance->base);
    if (glance->sentence) {
        StyledText sentence;
        for (const StyledText::Run &run : glance->sentence->runs())
            sentence.append(Text::withoutControls(glance->sentence->text(run)), run.attributes);
        glance->sentence = std::move(sentence);
    }
    return glance;
}

} // namespace

QString HoverTextController::cacheKey(const QString &word, const QString &target, const std::optional<QString> &source)
{
    return target + u':' + source.value_or(QStringLiteral("auto")) + u':' + word.toLower();
}

std::optional<QString> HoverTextController::wordLanguage(const std::optional<QString> &sentence, const QString &target)
{
    if (!sentence)
        return std::nullopt;
    const std::optional<QString> detected = GlanceTranslator::sourceLanguage(*sentence);
    if (!detected || detected->isEmpty() || *detected == target.toLower())
        return std::nullopt;
    return detected;
}

bool HoverTextController::translatesOnDevice(const Language &language, const std::optional<QString> &source)
{
    // A word of no known language is read as English, and the target's own flag says whether English
    // reaches it.
    return source ? LanguageCatalog::translatesOnDevice(*source, language.id) : language.isAppleSupported();
}

QString HoverTextController::translationPair(const std::optional<QString> &source, const QString &target)
{
    const QString english = QStringLiteral("en");
    if (!source && target.toLower() == english)
        return target;
    return source.value_or(english) + QStringLiteral("\u2192") + target;
}

QCoro::Task<HoverTextController::WordTranslation>
HoverTextController::translateWord(QString word, Language language, QString target, std::optional<QString> source,
                                   bool hasGoogleKey, TranslationBackends backends)
{
    WordTranslation result;
    if (translatesOnDevice(language, source) && backends.onDevice) {
        auto job = backends.onDevice(word, target, source);
        TranslationAttempt attempt = co_await job;
        if (attempt.text)
            attempt.text = Text::withoutControls(*attempt.text);
        if (attempt.text && !attempt.text->isEmpty())
            co_return WordTranslation {attempt.text, {}};
        result.failures.push_back(std::move(attempt));
    }
    if (hasGoogleKey && backends.google) {
        auto job = backends.google(word, target, source);
        TranslationAttempt attempt = co_await job;
        if (attempt.text)
            attempt.text = Text::withoutControls(*attempt.text);
        // A success drops an earlier on-device failure: the user got a meaning.
        if (attempt.text && !attempt.text->isEmpty())
            co_return WordTranslation {attempt.text, {}};
        result.failures.push_back(std::move(attempt));
    }
    co_return result;
}

void HoverTextController::rememberFailedTranslation(const QString &key)
{
    const Clock::Instant now = m_deps.clock->now();
    auto &memo = m_hover.failedTranslations;
    std::erase_if(memo, [&](const auto &entry) { return entry.second <= now; });
    if (memo.size() >= failedTranslationMemoLimit)
        memo.clear();
    memo[key] = now + HoverState::failedTranslationRetryDelay;
}

QCoro::Task<HoverTextController::WordTranslation>
HoverTextController::wordTranslationTask(QPointer<HoverTextController> self, QString word, Language language,
                                         QString target, std::optional<QString> source, bool hasGoogleKey, QString key,
                                         TranslationBackends backends)
{
    auto job = translateWord(word, language, target, source, hasGoogleKey, std::move(backends));
    WordTranslation result = co_await job;
    // Stored even when nobody shows it any more, so that the next hover over the word is served at once.
    if (self) {
        if (result.text)
            self->m_deps.translationCache->set(*result.text, key);
        else if (hasGoogleKey)
            self->rememberFailedTranslation(key);
    }
    co_return result;
}

void HoverTextController::applyRecognition(const QString &readWord, const std::optional<QString> &readContext,
                                           std::optional<qsizetype> readOffset, QPointF point, std::int64_t generation,
                                           const QString &origin, const HoverTiming &timing, const QString &fallbackWhy)
{
    // The text another program showed enters here: its control characters go before anything shows
    // it, keeps it or sends it on, and the word's place moves back by what went before it.
    const QString word = Text::withoutControls(readWord);
    std::optional<QString> context;
    std::optional<qsizetype> wordOffset = readOffset;
    if (readContext) {
        context = Text::withoutControls(*readContext);
        if (readOffset)
            wordOffset = Text::offsetWithoutControls(*readContext, *context, *readOffset);
    }
    const QString shownAs = fallbackWhy.isEmpty() ? origin : origin + QStringLiteral(" after ") + fallbackWhy;
    if (word.isEmpty())
        return;
    if (m_hover.recognizedText == word && m_hover.translatedText)
        return;
    m_hover.lastHitLocation = point;
    m_hover.recognizedText = word;
    m_hover.currentContext = context;
    m_hover.currentWordOffset = wordOffset;
    m_hover.contextFromAccessibility = origin == QLatin1String("accessibility");
    m_hover.lastWordFiltered = false;
    m_hover.lastTranslationForCopy = word;
    setCanCopyLastTranslation(true);

    // A word alone on its line, or in a sentence no glance can come of (its language unknown, or the
    // target's), has no glance to wait for: its own translation, cached by the word, is served at
    // once the next time.
    const QString target = m_targetLanguage;
    const bool googleKey = hasGoogleKey();
    GlanceTranslator *glances =
        context && m_deps.glanceTranslator && m_deps.glanceTranslator->canGlance(word, *context, target, googleKey)
        ? m_deps.glanceTranslator
        : nullptr;
    if (glances) {
        const auto taken = glances->take(word, *context, target, wordOffset);
        if (const std::optional<Glance> glance = withoutControls(taken ? std::optional(taken->glance) : std::nullopt)) {
            showGlance(*glance, point, true);
            note(DiagnosticReason::shown,
                 {.detail = shownAs + (taken->wasReadAhead ? QStringLiteral(" read ahead") : QStringLiteral(" cached")),
                  .tally = AppTally::Update::shown(QStringLiteral("cache")),
                  .word = word,
                  .meaning = glance->meaning,
                  .timing = timing});
            return;
        }
    }

    const Language language = currentLanguage();
    std::optional<GlanceTask> glance;
    bool joinedReadAhead = false;
    std::optional<QString> source;
    if (glances) {
        joinedReadAhead = glances->isReadingAhead(word, *context, target, wordOffset);
        glance = glances->start(word, *context, target, googleKey, wordOffset, false);
    }
    if (context && m_deps.glanceTranslator)
        source = wordLanguage(context, target);

    const QString key = cacheKey(word, target, source);
    std::optional<QString> cached = m_deps.translationCache->value(key);
    // Stored by an earlier version, maybe as the service sent it.
    if (cached)
        cached = Text::withoutControls(*cached);
    // A damaged store can hold an empty text; it is a miss, not a blank tooltip.
    if (cached && cached->trimmed().isEmpty())
        cached.reset();
    if (cached && !glance) {
        m_hover.translatedText = cached;
        m_hover.lastTranslationForCopy = cached;
        showMeaning(*cached, point, true);
        note(DiagnosticReason::shown,
             {.detail = shownAs + QStringLiteral(" cached"),
              .tally = AppTally::Update::shown(QStringLiteral("cache")),
              .word = word,
              .meaning = *cached,
              .timing = timing});
        return;
    }

    std::optional<QCoro::Task<WordTranslation>> translation;
    const auto memo = m_hover.failedTranslations.find(key);
    if (cached) {
        translation.emplace(alreadyTranslated(WordTranslation {cached, {}}));
    } else if (memo != m_hover.failedTranslations.end() && memo->second > m_deps.clock->now()) {
        note(DiagnosticReason::translationCooldown, {.timing = timing});
    } else if (!translatesOnDevice(language, source) && !googleKey) {
        note(DiagnosticReason::googleKeyMissing,
             {.detail = translationPair(source, target),
              .tally = AppTally::Update::translation(QStringLiteral("google key missing ") + target),
              .timing = timing});
    } else {
        m_hover.failedTranslations.erase(key);
        translation.emplace(wordTranslationTask(QPointer<HoverTextController>(this), word, language, target, source,
                                                googleKey, key, m_deps.translation));
    }
    if (!glance && !translation)
        return;

    showLoading(point);
    TranslationJob job {generation, timing, std::move(glance), point, joinedReadAhead, origin, shownAs, word, target};
    const std::stop_token stop = m_hover.translateTask.start();
    [[maybe_unused]] auto task =
        translationTask(QPointer<HoverTextController>(this), std::move(job), std::move(translation), stop);
}

bool HoverTextController::mayShowTranslation(std::int64_t generation, const std::stop_token &stop)
{
    if (stop.stop_requested() || m_hover.translateGeneration != generation)
        return false;
    // The user let go of the key or left the word while the meaning was on its way.
    const bool held = isHoldKeyPressed();
    const bool placed = m_hover.lastWordRect || m_hover.lastWordPoint;
    if (!held
        || (placed
            && !HoverGates::isOnWord(m_hover.lastWordRect, m_hover.lastWordPoint, m_deps.input->mouseLocation()))) {
        clearOverlay();
        note(held ? DiagnosticReason::pointerMoved : DiagnosticReason::holdKeyNotPressed,
             {.detail = QStringLiteral("before the meaning came")});
        return false;
    }
    return true;
}

QCoro::Task<> HoverTextController::translationTask(QPointer<HoverTextController> self, TranslationJob job,
                                                   std::optional<QCoro::Task<WordTranslation>> translation,
                                                   std::stop_token stop)
{
    if (!self)
        co_return;
    const std::shared_ptr<Clock> clock = self->m_deps.clock;
    const auto end = [&] {
        if (self && self->m_hover.translateGeneration == job.generation)
            self->m_hover.translateTask.finished();
    };

    if (job.glance) {
        const GlanceTask pending = *job.glance;
        std::optional<Glance> arrived = co_await pending;
        const std::optional<Glance> glance = withoutControls(std::move(arrived));
        if (glance) {
            job.timing.mark(translateStage, clock->now());
            if (self && self->mayShowTranslation(job.generation, stop)) {
                self->showGlance(*glance, job.point, true);
                self->note(
                    DiagnosticReason::shown,
                    {.detail = job.shownAs + (job.joinedReadAhead ? QStringLiteral(" joined read ahead") : QString()),
                     .tally = AppTally::Update::shown(job.origin),
                     .word = job.word,
                     .meaning = glance->meaning,
                     .timing = job.timing});
            }
            end();
            co_return;
        }
    }

    WordTranslation result;
    if (translation) {
        QCoro::Task<WordTranslation> &pending = *translation;
        result = co_await pending;
    }
    job.timing.mark(translateStage, clock->now());
    if (!self || !self->mayShowTranslation(job.generation, stop)) {
        end();
        co_return;
    }
    if (result.text && !result.text->isEmpty()) {
        self->m_hover.translatedText = result.text;
        self->m_hover.lastTranslationForCopy = result.text;
        self->setCanCopyLastTranslation(true);
        self->showMeaning(*result.text, job.point, true);
        self->note(DiagnosticReason::shown,
                   {.detail = job.shownAs,
                    .tally = AppTally::Update::shown(job.origin),
                    .word = job.word,
                    .meaning = *result.text,
                    .timing = job.timing});
        end();
        co_return;
    }
    // Nothing to show: the loading tooltip goes, the word stays read so that resting on it does not
    // ask again.
    self->m_deps.overlay->hide();
    self->deactivateTooltipKeys();
    if (result.failures.empty()) {
        self->note(DiagnosticReason::translationEmpty,
                   {.detail = job.target,
                    .tally = AppTally::Update::translation(QStringLiteral("empty ") + job.target),
                    .word = job.word,
                    .timing = job.timing});
    }
    for (const TranslationAttempt &attempt : result.failures) {
        const DiagnosticReason reason = attempt.failure.value_or(DiagnosticReason::translationEmpty);
        QStringList parts;
        if (attempt.failure)
            parts.append(DiagnosticReasons::label(*attempt.failure));
        if (!attempt.detail.isEmpty())
            parts.append(attempt.detail);
        self->note(reason,
                   {.detail = attempt.detail,
                    .tally = AppTally::Update::translation(parts.join(u' ')),
                    .word = job.word,
                    .timing = job.timing});
    }
    end();
}

} // namespace Lumivox
