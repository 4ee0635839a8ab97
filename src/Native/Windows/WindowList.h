#pragma once

// The desktop's windows and applications, as the window server knows them.
// Rectangles are in Quartz coordinates: points, origin at the top-left corner of the primary
// screen, y downwards (device pixels are converted in the backend).

#include <QRectF>
#include <QString>

#include <cstdint>
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

class WindowList
{
public:
    virtual ~WindowList() = default;

    /// On-screen windows front to back, desktop elements excluded.
    virtual std::vector<WindowInfo> windows() = 0;

    /// The application id of a process by the identity rule (desktop-file id without ".desktop",
    /// else the executable name); absent when the process is gone.
    virtual std::optional<QString> applicationID(std::int32_t pid) = 0;

    /// The number of the topmost window at a point (Quartz), or 0 when there is none.
    virtual std::uint32_t topmostWindowNumber(QPointF quartzPoint) = 0;

    static std::shared_ptr<WindowList> makeDefault();
};

} // namespace Lumivox::Native
