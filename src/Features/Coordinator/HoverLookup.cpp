// The lookup task of one hover: the window under the pointer, the applications we must not or may
// not read, the accessibility read with its in-process retry, and the screen-text fallback. Every
// path ends in a translation or in exactly one diagnostic note, except when a newer hover or a
// clearing of the tooltip overtook it: then it ends silently.

#include "Features/Coordinator/HoverGates.h"
#include "Features/Coordinator/HoverSources.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Services/Detection/AccessibilityTextService.h"
#include "Services/Filtering/WordFilter.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Platform/ScreenGeometry.h"

#include <QCoreApplication>

namespace Lumivox {

namespace {

using namespace std::chrono_literals;

/// How long a process asked just now for its accessibility tree gets to build it before the retry.
constexpr auto webAccessibilityPause = 250ms;
/// The strip captured around the pointer.
constexpr QSizeF captureSize {640, 80};
/// The pointer may drift this far (squared points) between the stillness and the capture.
constexpr double pointerDriftLimitSquared = 256;

const QString accessibilitySource = QStringLiteral("accessibility");
const QString ocrSource = QStringLiteral("ocr");

} // namespace

void HoverTextController::rememberWebAccessibilityRequest(std::int32_t pid)
{
    const Clock::Instant now = m_deps.clock->now();
    auto &requests = m_hover.webAccessibilityRequests;
    if (requests.size() > 128)
        std::erase_if(requests, [&](const auto &entry) { return entry.second <= now - 600s; });
    requests[pid] = now;
}

void HoverTextController::rememberWordPlace(const QRectF &read, QPointF readAt)
{
    // A word's box is in the points of the pointer's screen, carried on past its edges: the part of a
    // word across a monitor border that lies on another screen is where another scale would put it,
    // so only the part on the pointer's screen places the word.
    const std::optional<ScreenInfo> screen = ScreenGeometry::screen(readAt);
    const QRectF bounds = screen && !read.isEmpty() ? read & screen->frame : read;
    // A word without a box is not placed by an empty rectangle (one at the screen's corner would
    // send the next move off it): the pointer's drift from where it was read decides instead.
    if (bounds.isEmpty()) {
        m_hover.lastWordRect.reset();
        m_hover.lastWordPoint = readAt;
    } else {
        m_hover.lastWordRect = bounds;
        m_hover.lastWordPoint.reset();
    }
}

void HoverTextController::startLookup(QPointF point)
{
    const std::optional<double> primaryMaxY = ScreenGeometry::primaryScreenMaxY();
    LookupRequest request;
    request.quartzPoint = ScreenGeometry::cgPoint(point, primaryMaxY);
    request.primaryMaxY = primaryMaxY;
    request.skipNonWords = m_skipNonWords;
    request.generation = ++m_hover.translateGeneration;
    request.start = m_deps.clock->now();
    request.point = point;
    const std::stop_token stop = m_hover.captureTask.start();
    [[maybe_unused]] auto task = lookupTask(QPointer<HoverTextController>(this), request, stop);
}

QCoro::Task<> HoverTextController::lookupTask(QPointer<HoverTextController> self, LookupRequest request,
                                              std::stop_token stop)
{
    if (!self)
        co_return;
    // Held by the task: they outlive a coordinator that goes away in the middle of a read.
    const std::shared_ptr<HoverSources> sources = self->m_sources;
    const std::shared_ptr<Clock> clock = self->m_deps.clock;
    const std::int64_t generation = request.generation;
    HoverTiming timing(request.start);
    const auto isCurrent = [&] {
        return self && !stop.stop_requested() && self->m_hover.translateGeneration == generation;
    };
    // Only the hover that is still current lets go of the slot: a newer one owns it otherwise.
    const auto end = [&] {
        if (self && self->m_hover.translateGeneration == generation)
            self->m_hover.captureTask.finished();
    };
    if (stop.stop_requested()) {
        end();
        co_return;
    }

    auto windowJob = sources->window(request.quartzPoint);
    const std::optional<WindowLookup::Hit> hit = co_await windowJob;
    timing.mark(QStringLiteral("window"), clock->now());
    if (!isCurrent()) {
        end();
        co_return;
    }
    if (hit && hit->pid == AppIdentity::currentProcessID()) {
        self->clearOverlay();
        self->note(DiagnosticReason::ownProcess);
        end();
        co_return;
    }
    const std::optional<QString> appID =
        hit && hit->bundleIdentifier ? hit->bundleIdentifier : self->m_currentFrontmostAppID;
    self->m_hover.lastHoveredAppID = appID;
    self->m_hover.lastHoveredWindow = hit;
    if (AppIdentity::isDRMProtected(self->m_currentFrontmostAppID) || AppIdentity::isDRMProtected(appID)) {
        self->note(DiagnosticReason::drmProtected, {.detail = appID.value_or(QString())});
        end();
        co_return;
    }
    if (self->m_limitToSelectedApps && (!appID || !self->m_allowedAppIDs.contains(*appID))) {
        self->clearOverlay();
        self->note(DiagnosticReason::appNotAllowed, {.detail = appID.value_or(QStringLiteral("unknown"))});
        end();
        co_return;
    }

    const std::int32_t pid = hit ? hit->pid : 0;
    bool askedForWeb = false;
    if (hit && !self->m_hover.webAccessibilityRequests.contains(pid)) {
        self->rememberWebAccessibilityRequest(pid);
        // Awaited, so that its cost is its own stage and not the read's.
        auto webJob = sources->requestWebAccessibility(pid);
        co_await webJob;
        timing.mark(QStringLiteral("webax"), clock->now());
        askedForWeb = true;
        if (!isCurrent()) {
            end();
            co_return;
        }
    }

    auto axJob = sources->lookupWord(request.quartzPoint, request.primaryMaxY, request.skipNonWords, stop);
    AccessibilityWorker::Lookup outcome = co_await axJob;
    timing.mark(QStringLiteral("ax"), clock->now());
    if (!isCurrent()) {
        end();
        co_return;
    }

    const auto *firstMiss = outcome.result.missResult();
    if (firstMiss && hit && AccessibilityTextService::isContainerRole(firstMiss->role)) {
        if (askedForWeb) {
            // A cancelled pause is no error: the currency test right after it decides.
            co_await clock->sleep(webAccessibilityPause, QCoreApplication::instance());
            if (!isCurrent()) {
                end();
                co_return;
            }
        } else {
            const auto asked = self->m_hover.webAccessibilityRequests.find(pid);
            if (asked != self->m_hover.webAccessibilityRequests.end()
                && clock->now() - asked->second >= HoverState::webAccessibilityRepeat) {
                self->rememberWebAccessibilityRequest(pid);
                // Not awaited: the retry reads at once and asks again next time.
                [[maybe_unused]] auto request = sources->requestWebAccessibility(pid);
            }
        }
        auto retryJob = sources->lookupWordInProcess(pid, request.quartzPoint, request.primaryMaxY, askedForWeb,
                                                     request.skipNonWords, stop);
        AccessibilityWorker::Lookup retried = co_await retryJob;
        // A retry that found nothing new keeps the first answer, unless the process was asked just now.
        if (!(retried.result.missResult() && !askedForWeb))
            outcome = std::move(retried);
        timing.mark(QStringLiteral("retry"), clock->now());
    }
    if (!isCurrent()) {
        end();
        co_return;
    }

    if (const auto *found = outcome.result.hitResult()) {
        self->rememberWordPlace(found->bounds, request.point);
        if (outcome.isTranslatable) {
            // An element that gave the word but no text around it has no sentence to read it in.
            const std::optional<QString> context =
                found->fullText.isEmpty() ? std::nullopt : std::optional<QString>(found->fullText);
            self->applyRecognition(found->word, context, found->wordOffset, request.point, generation,
                                   accessibilitySource, timing);
        } else {
            self->m_hover.lastWordFiltered = true;
            self->note(DiagnosticReason::wordFiltered,
                       {.detail = accessibilitySource,
                        .tally = AppTally::Update::filtered(),
                        .word = found->word,
                        .timing = timing});
        }
        end();
        co_return;
    }
    if (outcome.result.isOwnProcess() || outcome.result.isSuppressed()) {
        self->clearOverlay();
        self->note(outcome.result.isOwnProcess() ? DiagnosticReason::ownProcess
                                                 : DiagnosticReason::accessibilitySuppressed,
                   {.timing = timing});
        end();
        co_return;
    }

    const AccessibilityTextService::LookupResult::Miss miss = *outcome.result.missResult();
    QString webLabel;
    if (miss.pid) {
        if (!self->m_hover.webAccessibilityRequests.contains(*miss.pid)) {
            self->rememberWebAccessibilityRequest(*miss.pid);
            [[maybe_unused]] auto request = sources->requestWebAccessibility(*miss.pid);
            webLabel = QStringLiteral("first");
        } else {
            webLabel =
                askedForWeb && hit && hit->pid == *miss.pid ? QStringLiteral("first") : QStringLiteral("already");
        }
    }
    const QString role = miss.role.value_or(QString());
    const QString snippet = miss.snippet.value_or(QString());
    // Why the accessibility read gave way (offsets not believed), for every note of the fallback.
    const QString why = miss.reason.value_or(QString());
    const auto missNote = [&](DiagnosticReason reason, const QString &stage, const QString &detail = {}) {
        self->note(reason,
                   {.detail = detail.isEmpty() ? why : detail,
                    .tally = AppTally::Update::axMiss(stage, role, webLabel),
                    .word = snippet,
                    .role = role,
                    .timing = timing});
    };

    if (!self->m_hasScreenRecordingPermission) {
        self->clearOverlay();
        missNote(DiagnosticReason::noScreenRecording, QStringLiteral("no screen capture"));
        end();
        co_return;
    }

    if (const auto last = self->m_hover.lastOCRAt) {
        const Clock::Duration since = clock->now() - *last;
        if (since < HoverState::ocrInterval) {
            co_await clock->sleep(HoverState::ocrInterval - since, QCoreApplication::instance());
            timing.mark(QStringLiteral("wait"), clock->now());
            if (!isCurrent()) {
                end();
                co_return;
            }
        }
    }
    self->m_hover.lastOCRAt = clock->now();

    auto captureJob = sources->captureRegion(request.quartzPoint, hit, captureSize);
    ScreenCaptureService::Outcome captured = co_await captureJob;
    timing.mark(QStringLiteral("capture"), clock->now());
    if (captured.error) {
        // Recorded even for a hover overtaken meanwhile: a failing capture is worth knowing about.
        if (self) {
            missNote(DiagnosticReason::captureFailed, QStringLiteral("capture failed"),
                     DiagnosticLog::errorDetail(captured.error->errorInfo()));
            if (isCurrent())
                self->clearOverlay();
        }
        end();
        co_return;
    }
    if (!captured.result) {
        if (isCurrent()) {
            self->clearOverlay();
            missNote(DiagnosticReason::captureEmpty, QStringLiteral("capture empty"));
        }
        end();
        co_return;
    }
    if (!self || stop.stop_requested()) {
        end();
        co_return;
    }
    const QPointF now = self->m_deps.input->mouseLocation();
    const QPointF drift = now - request.point;
    if (QPointF::dotProduct(drift, drift) > pointerDriftLimitSquared) {
        self->note(DiagnosticReason::pointerMoved, {.tally = AppTally::Update::pointerMoved(), .timing = timing});
        end();
        co_return;
    }

    const QRectF cropRect = captured.result->cropRect;
    auto ocrJob = sources->recognizeWord(std::move(*captured.result));
    const std::optional<RecognizedHit> recognized = co_await ocrJob;
    timing.mark(QStringLiteral("ocr"), clock->now());
    if (!isCurrent()) {
        end();
        co_return;
    }
    if (!recognized) {
        self->clearOverlay();
        missNote(DiagnosticReason::ocrMiss, QStringLiteral("unreadable"));
        end();
        co_return;
    }
    const QRectF rect = ScreenGeometry::cocoaRect(cropRect, recognized->visionBox, ScreenGeometry::primaryScreenMaxY());
    self->rememberWordPlace(rect, request.point);
    if (request.skipNonWords && !WordFilter::evaluate(recognized->text, recognized->context).isTranslatable()) {
        self->m_hover.lastWordFiltered = true;
        self->note(
            DiagnosticReason::wordFiltered,
            {.detail = ocrSource, .tally = AppTally::Update::filtered(), .word = recognized->text, .timing = timing});
        end();
        co_return;
    }
    self->applyRecognition(recognized->text, recognized->context, recognized->wordOffset, request.point, generation,
                           ocrSource, timing, why);
    end();
}

} // namespace Lumivox
