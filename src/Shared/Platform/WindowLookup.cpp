#include "Shared/Platform/WindowLookup.h"

#include "Native/Services.h"
#include "Native/Windows/WindowList.h"
#include "Shared/Platform/AppIdentity.h"

#include <chrono>
#include <mutex>
#include <unordered_map>

namespace Lumivox::WindowLookup {

namespace {

struct CachedBundleID
{
    QString identifier;
    std::chrono::steady_clock::time_point expires;
};

std::mutex cacheLock;
std::unordered_map<std::int32_t, CachedBundleID> &bundleIDs()
{
    static std::unordered_map<std::int32_t, CachedBundleID> cache;
    return cache;
}

bool contains(const QRectF &r, QPointF p)
{
    return p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom();
}

} // namespace

std::optional<Hit> window(QPointF point)
{
    const auto list = Native::service<Native::WindowList>()->windows();
    for (const Native::WindowInfo &w : list) {
        if (!w.bounds || !contains(*w.bounds, point))
            continue;
        if (w.alpha && *w.alpha <= 0)
            continue;
        if (!w.pid || !w.windowID)
            continue;
        return Hit {*w.windowID, *w.pid, w.layer.value_or(0), bundleIdentifier(*w.pid)};
    }
    return std::nullopt;
}

std::optional<QString> bundleIdentifier(std::int32_t pid)
{
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(cacheLock);
        auto &cache = bundleIDs();
        if (auto it = cache.find(pid); it != cache.end() && it->second.expires > now)
            return it->second.identifier;
    }
    // Asked outside the lock: it reads /proc and the window server.
    std::optional<QString> identifier = AppIdentity::isCurrentApp(static_cast<pid_t>(pid))
        ? AppIdentity::bundleID()
        : Native::service<Native::WindowList>()->applicationID(pid);
    if (!identifier)
        return std::nullopt;
    std::lock_guard lock(cacheLock);
    auto &cache = bundleIDs();
    if (cache.size() > 128) {
        std::erase_if(cache, [&](const auto &entry) { return entry.second.expires <= now; });
    }
    cache[pid] = CachedBundleID {*identifier, now + std::chrono::seconds(30)};
    return identifier;
}

} // namespace Lumivox::WindowLookup
