#pragma once

// Captures a small strip of the screen around the pointer for text recognition, when the
// accessibility interface gave no word. The list of what can be captured is slow to fetch, so it is
// kept for 30 s and shared by concurrent captures; the hover coordinator invalidates or refreshes it
// when the set of windows may have changed.
//
// An actor: its cache lives on its own serial executor. Coroutines that await it resume on their
// own thread (which must run an event loop).
// Coordinates are Quartz (points, origin at the top-left of the primary screen, y downwards).

#include "Native/Capture/ScreenCapture.h"
#include "Shared/Async/Clock.h"
#include "Shared/Async/SerialExecutor.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Platform/WindowLookup.h"

#include <QCoroTask>
#include <QFuture>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <memory>
#include <optional>

namespace Lumivox {

class ScreenCaptureService
{
public:
    /// Pixels and where they were read from (global points).
    struct Pixels
    {
        QImage image;
        QRectF rect;
    };

    struct CaptureResult
    {
        QImage image;
        QRectF cropRect; // the captured rectangle, global points
        QPointF mouse; // as passed in
        /// The frame of the window the capture was asked for, global points, where it is known.
        std::optional<QRectF> windowFrame;
        /// Where the strip takes in the window's left edge but not its right one: the window's right
        /// end beside the strip, as high as it. A terminal breaks a long line at its last column, so
        /// a word at a row's start is the rest of one where the row above runs on to there.
        std::optional<Pixels> windowEnd;
    };

    struct CaptureError
    {
        QString domain;
        long long code = 0;
        QString message;

        ErrorInfo errorInfo() const { return ErrorInfo {domain, code}; }
    };

    /// A capture, a miss (nothing to capture there) or a failure.
    struct Outcome
    {
        std::optional<CaptureResult> result;
        std::optional<CaptureError> error;

        bool isMiss() const { return !result && !error; }
        static Outcome miss() { return {}; }
        static Outcome captured(CaptureResult r) { return {std::move(r), std::nullopt}; }
        static Outcome failed(CaptureError e) { return {std::nullopt, std::move(e)}; }
    };

    explicit ScreenCaptureService(std::shared_ptr<Native::ScreenCapture> backend = nullptr,
                                  std::shared_ptr<Clock> clock = Clock::system());
    ~ScreenCaptureService();

    ScreenCaptureService(const ScreenCaptureService &) = delete;
    ScreenCaptureService &operator=(const ScreenCaptureService &) = delete;

    /// Captures `size` points centred on `point`, across the borders of monitors as far as the
    /// desktop goes (global points are then those of the point's display, carried on past its
    /// edges). `window` is the window under the point, when known: our own windows and system
    /// overlays are never captured.
    QCoro::Task<Outcome> captureRegion(QPointF point, std::optional<WindowLookup::Hit> window, QSizeF size);

    /// Forgets the cached and pending content. Takes effect before any later call.
    void invalidateCache();

    /// Invalidates, then fetches the content anew; a failure is ignored.
    QCoro::Task<> refreshCache();

    /// Lifetime of the cached content.
    static constexpr std::chrono::seconds cacheTTL {30};

private:
    struct ContentFetch
    {
        quint64 id = 0;
        QFuture<Native::ContentReply> future;
    };

    // What a caller of shareableContent() needs next: the cached content, or a fetch to await.
    struct ContentTicket
    {
        std::optional<Native::ShareableContent> cached;
        ContentFetch fetch;
        quint64 generation = 0;
    };

    QCoro::Task<Native::ContentReply> shareableContent();
    ContentTicket contentTicket(); // on the executor
    void storeFetched(const ContentFetch &fetch, quint64 generation,
                      const Native::ContentReply &reply); // on the executor
    void invalidateOnExecutor();

    Outcome captureWithContent(const Native::ShareableContent &content, QPointF point,
                               const std::optional<WindowLookup::Hit> &window, QSizeF size); // on the executor
    std::optional<CaptureResult> captureWindow(const Native::CaptureWindow &window, QPointF mouse,
                                               const Native::CaptureDisplay &display, QSizeF size,
                                               std::optional<CaptureError> &error);
    std::optional<Pixels> captureWindowEnd(const Native::DisplayFilter &filter, const QRectF &crop,
                                           const QRectF &windowFrame); // on the executor

    std::shared_ptr<Native::ScreenCapture> m_backend;
    std::shared_ptr<Clock> m_clock;

    // Executor state.
    std::optional<Native::ShareableContent> m_cachedContent;
    std::optional<Clock::Instant> m_cacheDate;
    quint64 m_contentGeneration = 0;
    std::optional<ContentFetch> m_pendingContent;
    quint64 m_fetchCount = 0;

    SerialExecutor m_executor; // last: its thread stops before the state above goes
};

} // namespace Lumivox
