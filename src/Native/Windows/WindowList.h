#pragma once

// The desktop's windows and applications, as the window server knows them.
// Rectangles are in Quartz coordinates: points, origin at the top-left corner of the primary
// screen, y downwards (device pixels are converted in the backend). A window's bounds are what the
// user sees of it: a window manager's frame (title bar, borders) counts as part of the window it
// decorates, so a point on a title bar never falls through to the window behind. Where monitors
// have different scales a window across them has no one rectangle in points: the backend decides
// which windows hold a point (on X11 in the server's pixels), and gives the bounds of those as seen
// from the point's monitor (its points carried on past its edges).

#include "Native/Geometry/Containment.h"

#include <QPointF>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Lumivox::Native {

/// One on-screen window. Fields the server could not tell are absent.
struct WindowInfo
{
    std::optional<std::uint32_t> windowID;
    std::optional<std::int32_t> pid;
    std::optional<int> layer;
    std::optional<double> alpha;
    std::optional<QRectF> bounds;
    QString ownerName;
    QString title;
};

/// The window the user works in, as the window manager names it.
struct ActiveWindow
{
    std::uint32_t windowID = 0;
    /// Absent when no process can be told for it.
    std::optional<std::int32_t> pid;
    /// By the identity rule of applicationID(); absent when no process can be told.
    std::optional<QString> applicationID;
};

class WindowList
{
public:
    virtual ~WindowList() = default;

    /// On-screen windows front to back, desktop elements excluded.
    virtual std::vector<WindowInfo> windows() = 0;

    /// The windows of windows() that hold the point, front to back, with their bounds seen from
    /// the point's monitor (they contain the point, containsHalfOpen). A backend may answer this far
    /// more cheaply than the whole list, which matters on every hover, and may leave `title` and
    /// `ownerName` empty: no hover reads them.
    virtual std::vector<WindowInfo> windowsAt(QPointF quartzPoint)
    {
        std::vector<WindowInfo> out;
        for (WindowInfo &w : windows()) {
            if (w.bounds && containsHalfOpen(*w.bounds, quartzPoint))
                out.push_back(std::move(w));
        }
        return out;
    }

    /// The first window of windowsAt() that `accept` takes, or nothing. A backend may stop reading
    /// the desktop as soon as it has one, which on a hover is nearly always the topmost window.
    virtual std::optional<WindowInfo> frontmostWindowAt(QPointF quartzPoint,
                                                        const std::function<bool(const WindowInfo &)> &accept)
    {
        for (WindowInfo &w : windowsAt(quartzPoint)) {
            if (accept(w))
                return std::move(w);
        }
        return std::nullopt;
    }

    /// The application id of a process by the identity rule (desktop-file id without ".desktop",
    /// else the executable name); absent when the process is gone.
    virtual std::optional<QString> applicationID(std::int32_t pid) = 0;

    /// The name a process gives itself (its command name); absent when the process is gone or the
    /// backend cannot tell.
    virtual std::optional<QString> processName(std::int32_t pid)
    {
        (void)pid;
        return std::nullopt;
    }

    /// The active window (the window manager's _NET_ACTIVE_WINDOW on X11); nothing when there is
    /// none (the desktop itself is focused, no window manager keeps one, Wayland).
    virtual std::optional<ActiveWindow> activeWindow() { return std::nullopt; }

    /// The number of the topmost window at a point (Quartz), or 0 when there is none.
    virtual std::uint32_t topmostWindowNumber(QPointF quartzPoint) = 0;

    static std::shared_ptr<WindowList> makeDefault();
    /// Without a display: no windows; application ids from the process alone.
    static std::shared_ptr<WindowList> makeUnavailable();
};

} // namespace Lumivox::Native
