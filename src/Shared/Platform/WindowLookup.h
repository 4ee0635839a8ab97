#pragma once

// The on-screen window under a screen point, its process and that process's application id.

#include "Shared/Async/Clock.h"

#include <QPointF>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <set>

namespace Lumivox {

namespace WindowLookup {

struct Hit
{
    std::uint32_t windowID = 0;
    std::int32_t pid = 0;
    long layer = 0;
    std::optional<QString> bundleIdentifier;
    /// The window's bounds (Quartz points) as seen from the point it was found at: on that point's
    /// monitor where it is, past its edges at that monitor's scale.
    std::optional<QRectF> frame;

    bool isSystemOverlay() const { return layer > 19; }
    bool operator==(const Hit &) const = default;
};

/// The window under a point in Quartz coordinates (top-left origin). Any thread.
std::optional<Hit> window(QPointF quartzPoint);

/// The application id of a process, cached for 30 s per process. Any thread.
std::optional<QString> bundleIdentifier(std::int32_t pid);

/// The ids of the applications that have a window on screen. Any thread.
std::set<QString> runningBundleIDs();

/// Empties the application-id cache and makes it read time from `clock` (tests).
void resetBundleIDCache(std::shared_ptr<Clock> clock = Clock::system());
/// Entries in the application-id cache, expired ones included (tests).
std::size_t bundleIDCacheCount();

} // namespace WindowLookup

} // namespace Lumivox
