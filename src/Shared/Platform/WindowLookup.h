#pragma once

// The on-screen window under a screen point, its process and that process's application id.

#include <QPointF>
#include <QString>

#include <cstdint>
#include <optional>

namespace Lumivox {

namespace WindowLookup {

struct Hit
{
    std::uint32_t windowID = 0;
    std::int32_t pid = 0;
    long layer = 0;
    std::optional<QString> bundleIdentifier;

    bool isSystemOverlay() const { return layer > 19; }
    bool operator==(const Hit &) const = default;
};

/// The window under a point in Quartz coordinates (top-left origin). Any thread.
std::optional<Hit> window(QPointF quartzPoint);

/// The application id of a process, cached for 30 s per process. Any thread.
std::optional<QString> bundleIdentifier(std::int32_t pid);

} // namespace WindowLookup

} // namespace Lumivox
