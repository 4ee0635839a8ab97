#pragma once

// Where a hover's lookup reads from: the window list and the accessibility interface (one serial
// worker), the screen capture and text recognition. Each read runs off the UI thread and is awaited;
// the lookup stages see only this interface, so that tests script every answer and its moment.

#include "Services/Detection/AccessibilityWorker.h"
#include "Services/Detection/ScreenCaptureService.h"
#include "Services/Detection/TextRecognizer.h"

#include <QCoroTask>

#include <memory>

namespace Lumivox {

class HoverSources
{
public:
    virtual ~HoverSources() = default;

    /// The window under a top-left-origin point.
    virtual QCoro::Task<std::optional<WindowLookup::Hit>> window(QPointF quartzPoint) = 0;
    /// Asks a process to build its accessibility tree; done once asked (its outcome is not
    /// observed). Awaited where the lookup depends on it, else left to run by itself.
    virtual QCoro::Task<> requestWebAccessibility(std::int32_t pid) = 0;
    virtual QCoro::Task<AccessibilityWorker::Lookup> lookupWord(QPointF quartzPoint, std::optional<double> primaryMaxY,
                                                                bool skipNonWords, std::stop_token stop) = 0;
    virtual QCoro::Task<AccessibilityWorker::Lookup> lookupWordInProcess(std::int32_t pid, QPointF quartzPoint,
                                                                         std::optional<double> primaryMaxY,
                                                                         bool hitTestAgain, bool skipNonWords,
                                                                         std::stop_token stop) = 0;
    virtual QCoro::Task<ScreenCaptureService::Outcome>
    captureRegion(QPointF quartzPoint, std::optional<WindowLookup::Hit> window, QSizeF size) = 0;
    virtual QCoro::Task<std::optional<RecognizedHit>> recognizeWord(ScreenCaptureService::CaptureResult capture) = 0;
    /// The title of the window under a top-left-origin point, through accessibility.
    virtual QCoro::Task<std::optional<QString>> windowTitle(QPointF quartzPoint) = 0;
};

/// The desktop's own: the coordinator's accessibility worker and capture service, and the recogniser.
class PlatformHoverSources final : public HoverSources
{
public:
    PlatformHoverSources(std::shared_ptr<AccessibilityWorker> accessibility,
                         std::shared_ptr<ScreenCaptureService> capture);

    QCoro::Task<std::optional<WindowLookup::Hit>> window(QPointF quartzPoint) override;
    QCoro::Task<> requestWebAccessibility(std::int32_t pid) override;
    QCoro::Task<AccessibilityWorker::Lookup> lookupWord(QPointF quartzPoint, std::optional<double> primaryMaxY,
                                                        bool skipNonWords, std::stop_token stop) override;
    QCoro::Task<AccessibilityWorker::Lookup> lookupWordInProcess(std::int32_t pid, QPointF quartzPoint,
                                                                 std::optional<double> primaryMaxY, bool hitTestAgain,
                                                                 bool skipNonWords, std::stop_token stop) override;
    QCoro::Task<ScreenCaptureService::Outcome>
    captureRegion(QPointF quartzPoint, std::optional<WindowLookup::Hit> window, QSizeF size) override;
    QCoro::Task<std::optional<RecognizedHit>> recognizeWord(ScreenCaptureService::CaptureResult capture) override;
    QCoro::Task<std::optional<QString>> windowTitle(QPointF quartzPoint) override;

private:
    std::shared_ptr<AccessibilityWorker> m_accessibility;
    std::shared_ptr<ScreenCaptureService> m_capture;
};

} // namespace Lumivox
