#include "Shared/Platform/WindowLookup.h"

#include "Native/Services.h"
#include "Native/Windows/WindowList.h"
#include "Shared/Platform/AppIdentity.h"

#include <chrono>
#include <mutex>
#include <unordered_map>

namespace Lumivox::WindowLookup {

namespace {

constexpr std::size_t pruneAbove = 128;
constexpr auto lifetime = std::chrono::seconds(30);

struct CachedBundleID
{
    QString identifier;
    Clock::Instant expires;
};

// Guards only the map and the clock pointer; never held while the window server or /proc is asked.
std::mutex cacheLock;

struct Cache
{
    std::unordered_map<std::int32_t, CachedBundleID> entries;
    std::shared_ptr<Clock> clock = Clock::system();
};

Cache &cache()
{
    static Cache instance;
    return instance;
}

} // namespace

std::optional<Hit> window(QPointF point)
{
    // The first window under the point that is seen and complete; the backend can stop reading the
    // desktop once it has it. Which windows hold the point is the backend's to say: a window across
    // monitors of different scales is tested where no conversion can split it.
    const auto w = Native::service<Native::WindowList>()->frontmostWindowAt(point, [&](const Native::WindowInfo &w) {
        if (!w.bounds)
            return false;
        // Written so that a NaN alpha counts as not visible, like any other alpha that is not above 0.
        if (w.alpha && !(*w.alpha > 0))
            return false;
        return w.pid.has_value() && w.windowID.has_value();
    });
    if (!w)
        return std::nullopt;
    return Hit {*w->windowID, *w->pid, w->layer.value_or(0), bundleIdentifier(*w->pid), w->bounds};
}

std::optional<QString> bundleIdentifier(std::int32_t pid)
{
    Clock::Instant now;
    {
        std::lock_guard lock(cacheLock);
        now = cache().clock->now();
        auto &entries = cache().entries;
        if (auto it = entries.find(pid); it != entries.end() && it->second.expires > now)
            return it->second.identifier;
    }
    // Our own process is known by our app id, not by the executable's name.
    std::optional<QString> identifier = AppIdentity::isCurrentApp(static_cast<pid_t>(pid))
        ? AppIdentity::bundleID()
        : Native::service<Native::WindowList>()->applicationID(pid);
    if (!identifier)
        return std::nullopt;
    std::lock_guard lock(cacheLock);
    auto &entries = cache().entries;
    if (entries.size() > pruneAbove)
        std::erase_if(entries, [&](const auto &entry) { return !(entry.second.expires > now); });
    entries[pid] = CachedBundleID {*identifier, now + lifetime};
    return identifier;
}

std::set<QString> runningBundleIDs()
{
    std::set<QString> ids;
    std::set<std::int32_t> asked;
    for (const Native::WindowInfo &window : Native::service<Native::WindowList>()->windows()) {
        if (!window.pid || *window.pid <= 0 || !asked.insert(*window.pid).second)
            continue;
        if (auto id = bundleIdentifier(*window.pid); id && !id->isEmpty())
            ids.insert(*id);
    }
    return ids;
}

void resetBundleIDCache(std::shared_ptr<Clock> clock)
{
    std::lock_guard lock(cacheLock);
    cache().entries.clear();
    cache().clock = clock ? std::move(clock) : Clock::system();
}

std::size_t bundleIDCacheCount()
{
    std::lock_guard lock(cacheLock);
    return cache().entries.size();
}

} // namespace Lumivox::WindowLookup
