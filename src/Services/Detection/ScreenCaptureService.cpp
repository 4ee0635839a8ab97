#include "Services/Detection/ScreenCaptureService.h"

#include "Native/Geometry/Containment.h"
#include "Native/Services.h"
#include "Shared/Platform/AppIdentity.h"

#include <QCoroFuture>
#include <QLoggingCategory>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace Lumivox {

namespace {

Q_LOGGING_CATEGORY(lcScreenCapture, "app.lumivox.Capture")

constexpr double minimumSide = 20;

bool capturesWindowDirectly(const std::optional<QString> &bundleIdentifier)
{
    // Chrome draws its pages where other windows often overlap them; its own window is cleaner.
    return bundleIdentifier
        && (*bundleIdentifier == QLatin1String("com.google.Chrome")
            || bundleIdentifier->contains(QLatin1String("Chrome")));
}

QSize outputPixelSize(const QRectF &crop, QSizeF displayPoints, QSize displayPixels)
{
    const double scaleX = displayPoints.width() > 0 ? displayPixels.width() / displayPoints.width() : 2.0;
    const double scaleY = displayPoints.height() > 0 ? displayPixels.height() / displayPoints.height() : 2.0;
    const int width = static_cast<int>(std::lround(crop.width() * scaleX));
    const int height = static_cast<int>(std::lround(crop.height() * scaleY));
    return QSize(std::max(width, 1), std::max(height, 1));
}

/// `size` centred on `localPoint`, cut to a frame of `bounds` at the origin.
QRectF centredCrop(QPointF localPoint, QSizeF size, QSizeF bounds)
{
    const QRectF wanted(localPoint.x() - size.width() / 2, localPoint.y() - size.height() / 2, size.width(),
                        size.height());
    return wanted & QRectF(QPointF(0, 0), bounds);
}

bool tooSmall(const QRectF &crop)
{
    return crop.isEmpty() || crop.width() < minimumSide || crop.height() < minimumSide;
}

// The strip in the display's own points; it goes as far as the display reaches (see
// Native::CaptureDisplay::reach), else to the display's edges.
QRectF cropRect(QPointF point, QSizeF size, const Native::CaptureDisplay &display)
{
    const QPointF origin = display.frame.topLeft();
    const QRectF wanted(point.x() - origin.x() - size.width() / 2, point.y() - origin.y() - size.height() / 2,
                        size.width(), size.height());
    const QRectF within = display.reach.isEmpty() ? display.frame : display.reach;
    return wanted & within.translated(-origin);
}

// How wide a piece of a window's right end is read beside a strip: a terminal's last few cells and
// what stands beside them, a scroll bar and the padding around it.
constexpr double windowEndWidth = 64;

QRectF globalRect(const QRectF &local, QPointF origin)
{
    return local.translated(origin);
}

ScreenCaptureService::CaptureError toError(const Native::CaptureFailure &failure)
{
    return {failure.domain, failure.code, failure.message};
}

} // namespace

ScreenCaptureService::ScreenCaptureService(std::shared_ptr<Native::ScreenCapture> backend, std::shared_ptr<Clock> clock)
    : m_backend(backend ? std::move(backend) : Native::service<Native::ScreenCapture>())
    , m_clock(std::move(clock))
    , m_executor(QStringLiteral("app.lumivox.capture"))
{ }

ScreenCaptureService::~ScreenCaptureService() = default;

QCoro::Task<ScreenCaptureService::Outcome>
ScreenCaptureService::captureRegion(QPointF point, std::optional<WindowLookup::Hit> window, QSizeF size)
{
    if (window && (AppIdentity::isCurrentApp(static_cast<pid_t>(window->pid)) || window->isSystemOverlay()))
        co_return Outcome::miss();

    auto fetch = shareableContent();
    const Native::ContentReply reply = co_await fetch;
    if (const auto *failure = std::get_if<Native::CaptureFailure>(&reply))
        co_return Outcome::failed(toError(*failure));
    const Native::ShareableContent &content = std::get<Native::ShareableContent>(reply);

    // Jobs are named, never temporaries of a co_await expression: GCC 12 destroys those twice.
    auto capture = m_executor.run(
        [this, content, point, window, size] { return captureWithContent(content, point, window, size); });
    co_return co_await capture;
}

void ScreenCaptureService::invalidateCache()
{
    m_executor.post([this] { invalidateOnExecutor(); });
}

QCoro::Task<> ScreenCaptureService::refreshCache()
{
    invalidateCache();
    auto fetch = shareableContent();
    co_await fetch; // a failure only means the next capture fetches again
}

QCoro::Task<Native::ContentReply> ScreenCaptureService::shareableContent()
{
    auto askForTicket = m_executor.run([this] { return contentTicket(); });
    ContentTicket ticket = co_await askForTicket;
    if (ticket.cached)
        co_return std::move(*ticket.cached);

    // Awaited here, not on the executor, so that an invalidation can run while the fetch does.
    Native::ContentReply reply = co_await ticket.fetch.future;
    auto store = m_executor.run([this, ticket, reply] { storeFetched(ticket.fetch, ticket.generation, reply); });
    co_await store;
    co_return reply;
}

ScreenCaptureService::ContentTicket ScreenCaptureService::contentTicket()
{
    ContentTicket ticket;
    ticket.generation = m_contentGeneration;
    if (m_cachedContent && m_cacheDate && m_clock->now() - *m_cacheDate < cacheTTL) {
        ticket.cached = m_cachedContent;
        return ticket;
    }
    if (!m_pendingContent) {
        auto backend = m_backend;
        m_pendingContent = ContentFetch {
            ++m_fetchCount, QtConcurrent::run([backend] { return backend->shareableContent(false, true); })};
    }
    ticket.fetch = *m_pendingContent;
    return ticket;
}

void ScreenCaptureService::storeFetched(const ContentFetch &fetch, quint64 generation,
                                        const Native::ContentReply &reply)
{
    if (const auto *content = std::get_if<Native::ShareableContent>(&reply)) {
        // A fetch started before an invalidation may describe windows that are gone: not kept.
        if (generation == m_contentGeneration) {
            m_pendingContent.reset();
            m_cachedContent = *content;
            m_cacheDate = m_clock->now();
        }
        return;
    }
    if (m_pendingContent && m_pendingContent->id == fetch.id)
        m_pendingContent.reset();
}

void ScreenCaptureService::invalidateOnExecutor()
{
    ++m_contentGeneration;
    m_cachedContent.reset();
    m_cacheDate.reset();
    m_pendingContent.reset(); // a fetch already running still answers its waiters
}

ScreenCaptureService::Outcome ScreenCaptureService::captureWithContent(const Native::ShareableContent &content,
                                                                       QPointF point,
                                                                       const std::optional<WindowLookup::Hit> &window,
                                                                       QSizeF size)
{
    const auto display =
        std::find_if(content.displays.begin(), content.displays.end(),
                     [&](const Native::CaptureDisplay &d) { return Native::containsHalfOpen(d.frame, point); });
    if (display == content.displays.end()) {
        // The content may be stale (a display was added or moved).
        invalidateOnExecutor();
        return Outcome::miss();
    }

    const QRectF crop = cropRect(point, size, *display);
    if (tooSmall(crop)) {
        invalidateOnExecutor();
        return Outcome::miss();
    }
    const QSize output = outputPixelSize(crop, display->frame.size(), QSize(display->pixelWidth, display->pixelHeight));

    const auto listed = window
        ? std::find_if(content.windows.begin(), content.windows.end(),
                       [&](const Native::CaptureWindow &w) { return w.windowID == window->windowID; })
        : content.windows.end();
    // The window as the lookup saw it from the point is in the strip's own points; the content's
    // frame, which goes through the monitor that holds the window's centre, is only a stand-in.
    std::optional<Native::CaptureWindow> target;
    if (listed != content.windows.end()) {
        target = *listed;
        if (window->frame)
            target->frame = *window->frame;
    }
    std::optional<QRectF> windowFrame;
    if (target)
        windowFrame = target->frame;

    if (window && capturesWindowDirectly(window->bundleIdentifier)) {
        if (target) {
            std::optional<CaptureError> error;
            if (auto result = captureWindow(*target, point, *display, size, error)) {
                result->windowFrame = windowFrame;
                return Outcome::captured(std::move(*result));
            }
            if (error)
                qCDebug(lcScreenCapture) << "window capture failed, capturing the display:" << error->message;
        }
    }

    Native::DisplayFilter filter;
    filter.display = *display;
    for (const Native::CaptureApplication &app : content.applications) {
        if (AppIdentity::isCurrentApp(static_cast<pid_t>(app.pid)) || AppIdentity::isCurrentApp(app.bundleIdentifier)
            || AppIdentity::isDRMProtected(app.bundleIdentifier))
            filter.excludedApplicationPIDs.push_back(app.pid);
    }
    const Native::CaptureConfiguration configuration {crop, output, false};
    Native::ImageReply reply = m_backend->captureDisplay(filter, configuration);
    if (auto *failure = std::get_if<Native::CaptureFailure>(&reply)) {
        invalidateOnExecutor();
        return Outcome::failed(toError(*failure));
    }
    const QRectF globalCrop = globalRect(crop, display->frame.topLeft());
    std::optional<Pixels> windowEnd;
    if (windowFrame)
        windowEnd = captureWindowEnd(filter, globalCrop, *windowFrame);
    return Outcome::captured(
        {std::move(std::get<QImage>(reply)), globalCrop, point, windowFrame, std::move(windowEnd)});
}

std::optional<ScreenCaptureService::Pixels> ScreenCaptureService::captureWindowEnd(const Native::DisplayFilter &filter,
                                                                                   const QRectF &crop,
                                                                                   const QRectF &windowFrame)
{
    if (!(windowFrame.left() >= crop.left() && windowFrame.right() > crop.right()))
        return std::nullopt;
    const Native::CaptureDisplay &display = filter.display;
    const QRectF wanted(windowFrame.right() - windowEndWidth, crop.top(), windowEndWidth, crop.height());
    const QRectF end = wanted & (display.reach.isEmpty() ? display.frame : display.reach);
    if (end != wanted)
        return std::nullopt; // off the desktop: what is there cannot be told
    const QRectF source = end.translated(-display.frame.topLeft());
    const QSize output = outputPixelSize(source, display.frame.size(), QSize(display.pixelWidth, display.pixelHeight));
    Native::ImageReply reply = m_backend->captureDisplay(filter, {source, output, false});
    if (auto *image = std::get_if<QImage>(&reply))
        return Pixels {std::move(*image), end};
    return std::nullopt;
}

std::optional<ScreenCaptureService::CaptureResult>
ScreenCaptureService::captureWindow(const Native::CaptureWindow &window, QPointF mouse,
                                    const Native::CaptureDisplay &display, QSizeF size,
                                    std::optional<CaptureError> &error)
{
    const QRectF crop = centredCrop(mouse - window.frame.topLeft(), size, window.frame.size());
    if (tooSmall(crop))
        return std::nullopt;
    const QSize output = outputPixelSize(crop, display.frame.size(), QSize(display.pixelWidth, display.pixelHeight));
    Native::ImageReply reply = m_backend->captureWindow(window, {crop, output, false});
    if (auto *failure = std::get_if<Native::CaptureFailure>(&reply)) {
        error = toError(*failure);
        return std::nullopt;
    }
    return CaptureResult {std::move(std::get<QImage>(reply)), globalRect(crop, window.frame.topLeft()), mouse};
}

} // namespace Lumivox
