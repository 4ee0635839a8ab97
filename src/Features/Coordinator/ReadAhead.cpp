// Read-ahead: while the user reads along a sentence, the next few words' glances are computed on this
// computer so that their tooltips come from the glance cache. It gives way to everything the user
// does: a new glance replaces it, and before each word it stops when the hover has moved on.

#include "Features/Coordinator/HoverTextController.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Shared/Text/TextUtils.h"

#include <QCoreApplication>
#include <QCoroFuture>
#include <QLoggingCategory>
#include <QtConcurrent>

namespace Lumivox {

namespace {

Q_LOGGING_CATEGORY(lcReadAhead, "app.lumivox.Hover")

// The search may run the name tagger; it must never hold up a hovered word's own work.
constexpr int utilityPriority = 0;

struct Plan
{
    std::optional<QString> source;
    std::vector<ReadAhead::Word> words;
};

Plan plan(const std::function<std::optional<QString>(const QString &, const QString &)> &sourceOf,
          const QString &sentence, const QString &target, qsizetype offset, bool skipNonWords)
{
    Plan out;
    out.source = sourceOf ? sourceOf(sentence, target) : std::nullopt;
    if (!sourceOf) {
        const std::optional<QString> detected = GlanceTranslator::sourceLanguage(sentence);
        if (ReadAhead::isOnDevice(detected, target))
            out.source = detected;
    }
    if (!out.source)
        return out;
    out.words = ReadAhead::words(offset, sentence, HoverTextController::readAheadWordLimit, skipNonWords);
    return out;
}

} // namespace

void HoverTextController::cancelReadAhead()
{
    m_hover.readAheadTask.cancel();
}

void HoverTextController::scheduleReadAhead()
{
    cancelReadAhead();
    if (!m_hover.currentLookup || !m_hover.currentContext || !m_hover.currentWordOffset)
        return;
    const ReadAhead::Spot spot {*m_hover.currentContext, *m_hover.currentWordOffset};
    // Remembered whatever the decision, so that in the `always` mode the next rest can tell a move
    // along the sentence from a first look at it.
    const std::optional<ReadAhead::Spot> previous = std::exchange(m_hover.lastGlanceSpot, spot);
    if (!ReadAhead::shouldStart(m_hover.contextFromAccessibility, triggerMode() == TriggerMode::always, spot, previous))
        return;
    ReadAheadJob job {m_hover.currentLookup->id, spot.sentence, m_targetLanguage, spot.offset, m_skipNonWords};
    const std::stop_token stop = m_hover.readAheadTask.start();
    [[maybe_unused]] auto task = readAheadTask(QPointer<HoverTextController>(this), std::move(job), stop);
}

bool HoverTextController::mayReadAheadNextWord(const ReadAheadJob &job, const std::stop_token &stop) const
{
    // A cleared tooltip has no recognised word, so clearing ends read-ahead here without cancelling it.
    return !stop.stop_requested() && m_isEnabled && isHoldKeyPressed() && m_hover.recognizedText
        && m_hover.currentContext == job.sentence && !m_hover.captureTask.isPresent()
        && !m_hover.translateTask.isPresent();
}

QCoro::Task<> HoverTextController::readAheadTask(QPointer<HoverTextController> self, ReadAheadJob job,
                                                 std::stop_token stop)
{
    const std::shared_ptr<Clock> clock = self->m_deps.clock;
    co_await clock->sleep(readAheadPause, QCoreApplication::instance());
    if (!self || stop.stop_requested() || !self->m_hover.currentLookup
        || self->m_hover.currentLookup->id != job.lookupID || !self->m_isEnabled)
        co_return;

    GlanceTranslator *glances = self->m_deps.glanceTranslator;
    if (!glances)
        co_return;
    QFuture<Plan> searching = QtConcurrent::task([sourceOf = self->m_deps.readAheadSource, job] {
                                  return plan(sourceOf, job.sentence, job.target, job.wordOffset, job.skipNonWords);
                              })
                                  .withPriority(utilityPriority)
                                  .spawn();
    const Plan found = co_await searching;
    if (!self || stop.stop_requested() || !found.source || found.words.empty())
        co_return;
    const bool hasModel = co_await self->hasModelForReadAhead(*found.source, job.target);
    if (!hasModel)
        co_return;

    for (const ReadAhead::Word &word : found.words) {
        if (!self || !self->mayReadAheadNextWord(job, stop))
            co_return;
        if (glances->cached(word.text, job.sentence, job.target, word.offset))
            continue;
        // Never with the user's Google key: reading ahead must cost the user nothing.
        const GlanceTask pending = glances->start(word.text, job.sentence, job.target, false, word.offset, true);
        co_await pending;
    }
    if (self && !stop.stop_requested()) {
        self->m_hover.readAheadTask.finished();
        qCDebug(lcReadAhead) << "read ahead:" << found.words.size() << "words";
    }
}

QCoro::Task<bool> HoverTextController::hasModelForReadAhead(QString source, QString target)
{
    const QString lowerTarget = Text::lowercased(target);
    const QString key = source + u'>' + lowerTarget;
    const Clock::Instant now = m_deps.clock->now();
    if (const auto known = m_hover.readAheadModels.find(key); known != m_hover.readAheadModels.end()) {
        if (known->second.installed || now - known->second.at < missingModelMemoLife)
            co_return known->second.installed;
    }
    QPointer<HoverTextController> self(this);
    const std::shared_ptr<Clock> clock = m_deps.clock;
    bool installed = false;
    if (const auto ask = m_deps.isOnDeviceModelInstalled)
        installed = co_await ask(source, lowerTarget);
    if (self)
        self->m_hover.readAheadModels.insert_or_assign(key, HoverState::ModelCheck {installed, clock->now()});
    co_return installed;
}

} // namespace Lumivox
