#include "Features/Coordinator/HoverSources.h"

namespace Lumivox {

PlatformHoverSources::PlatformHoverSources(std::shared_ptr<AccessibilityWorker> accessibility,
                                           std::shared_ptr<ScreenCaptureService> capture)
    : m_accessibility(std::move(accessibility))
    , m_capture(std::move(capture))
{ }

// Each coroutine holds the service it awaits, so a hover that outlives the coordinator still ends
// cleanly. Calls are named before they are awaited (GCC 12 and temporaries in co_await).

QCoro::Task<std::optional<WindowLookup::Hit>> PlatformHoverSources::window(QPointF quartzPoint)
{
    const auto worker = m_accessibility;
    auto job = worker->window(quartzPoint);
    co_return co_await job;
}

QCoro::Task<> PlatformHoverSources::requestWebAccessibility(std::int32_t pid)
{
    const auto worker = m_accessibility;
    auto job = worker->requestWebAccessibility(pid);
    co_await job;
}

QCoro::Task<AccessibilityWorker::Lookup> PlatformHoverSources::lookupWord(QPointF quartzPoint,
                                                                          std::optional<double> primaryMaxY,
                                                                          bool skipNonWords, std::stop_token stop)
{
    const auto worker = m_accessibility;
    auto job = worker->lookupWord(quartzPoint, primaryMaxY, skipNonWords, stop);
    co_return co_await job;
}

QCoro::Task<AccessibilityWorker::Lookup>
PlatformHoverSources::lookupWordInProcess(std::int32_t pid, QPointF quartzPoint, std::optional<double> primaryMaxY,
                                          bool hitTestAgain, bool skipNonWords, std::stop_token stop)
{
    const auto worker = m_accessibility;
    auto job = worker->lookupWordInProcess(pid, quartzPoint, primaryMaxY, hitTestAgain, skipNonWords, stop);
    co_return co_await job;
}

QCoro::Task<ScreenCaptureService::Outcome>
PlatformHoverSources::captureRegion(QPointF quartzPoint, std::optional<WindowLookup::Hit> window, QSizeF size)
{
    const auto capture = m_capture;
    auto job = capture->captureRegion(quartzPoint, std::move(window), size);
    co_return co_await job;
}

QCoro::Task<std::optional<RecognizedHit>>
PlatformHoverSources::recognizeWord(ScreenCaptureService::CaptureResult capture)
{
    auto job = TextRecognizer::recognizeWord(std::move(capture));
    co_return co_await job;
}

QCoro::Task<std::optional<QString>> PlatformHoverSources::windowTitle(QPointF quartzPoint)
{
    const auto worker = m_accessibility;
    auto job = worker->windowTitle(quartzPoint);
    co_return co_await job;
}

} // namespace Lumivox
