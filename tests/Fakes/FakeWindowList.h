#pragma once

// A window list a test sets up by hand: windows front to back, and the application id of each
// process. Counts the questions it is asked so that caching and short cuts can be checked. Any thread.

#include "Fakes/Guarded.h"
#include "Native/Windows/WindowList.h"

#include <atomic>
#include <map>

namespace Lumivox::Testing {

class FakeWindowList final : public Native::WindowList
{
public:
    /// A plain window: on screen, opaque, layer 0.
    static Native::WindowInfo window(std::uint32_t id, std::int32_t pid, QRectF bounds)
    {
        Native::WindowInfo w;
        w.windowID = id;
        w.pid = pid;
        w.layer = 0;
        w.alpha = 1.0;
        w.bounds = bounds;
        return w;
    }

    std::vector<Native::WindowInfo> windows() override
    {
        ++m_listReads;
        return m_windows.get();
    }

    std::optional<QString> applicationID(std::int32_t pid) override
    {
        ++m_applicationIDQuestions;
        return m_applicationIDs.with([&](const std::map<std::int32_t, QString> &ids) -> std::optional<QString> {
            if (auto it = ids.find(pid); it != ids.end())
                return it->second;
            return std::nullopt;
        });
    }

    std::uint32_t topmostWindowNumber(QPointF quartzPoint) override
    {
        ++m_topmostQuestions;
        for (const Native::WindowInfo &w : windowsAt(quartzPoint)) {
            if (w.windowID)
                return *w.windowID;
        }
        return 0;
    }

    /// Front to back.
    void setWindows(std::vector<Native::WindowInfo> windows) { m_windows.set(std::move(windows)); }
    void setApplicationID(std::int32_t pid, std::optional<QString> id)
    {
        m_applicationIDs.with([&](std::map<std::int32_t, QString> &ids) {
            if (id)
                ids[pid] = *id;
            else
                ids.erase(pid);
        });
    }

    int applicationIDQuestions() const { return m_applicationIDQuestions; }
    int listReads() const { return m_listReads; }
    int topmostQuestions() const { return m_topmostQuestions; }

private:
    Guarded<std::vector<Native::WindowInfo>> m_windows;
    Guarded<std::map<std::int32_t, QString>> m_applicationIDs;
    std::atomic<int> m_applicationIDQuestions {0};
    std::atomic<int> m_listReads {0};
    std::atomic<int> m_topmostQuestions {0};
};

} // namespace Lumivox::Testing
