#pragma once

// A window list a test sets up by hand: windows front to back, and the application id of each
// process. Counts the questions it is asked so that caching and short cuts can be checked. Any thread.

#include "Native/Windows/WindowList.h"

#include <map>
#include <mutex>

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
        std::lock_guard lock(m_mutex);
        ++m_listReads;
        return m_windows;
    }

    std::optional<QString> applicationID(std::int32_t pid) override
    {
        std::lock_guard lock(m_mutex);
        ++m_applicationIDQuestions;
        if (auto it = m_applicationIDs.find(pid); it != m_applicationIDs.end())
            return it->second;
        return std::nullopt;
    }

    std::uint32_t topmostWindowNumber(QPointF quartzPoint) override
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_topmostQuestions;
        }
        for (const Native::WindowInfo &w : windowsAt(quartzPoint)) {
            if (w.windowID)
                return *w.windowID;
        }
        return 0;
    }

    std::optional<Native::ActiveWindow> activeWindow() override
    {
        std::lock_guard lock(m_mutex);
        return m_active;
    }
    void setActiveWindow(std::optional<Native::ActiveWindow> active)
    {
        std::lock_guard lock(m_mutex);
        m_active = std::move(active);
    }

    /// Front to back.
    void setWindows(std::vector<Native::WindowInfo> windows)
    {
        std::lock_guard lock(m_mutex);
        m_windows = std::move(windows);
    }
    void setApplicationID(std::int32_t pid, std::optional<QString> id)
    {
        std::lock_guard lock(m_mutex);
        if (id)
            m_applicationIDs[pid] = *id;
        else
            m_applicationIDs.erase(pid);
    }

    int applicationIDQuestions() const
    {
        std::lock_guard lock(m_mutex);
        return m_applicationIDQuestions;
    }
    int listReads() const
    {
        std::lock_guard lock(m_mutex);
        return m_listReads;
    }
    int topmostQuestions() const
    {
        std::lock_guard lock(m_mutex);
        return m_topmostQuestions;
    }

private:
    std::optional<Native::ActiveWindow> m_active;
    mutable std::mutex m_mutex;
    std::vector<Native::WindowInfo> m_windows;
    std::map<std::int32_t, QString> m_applicationIDs;
    int m_applicationIDQuestions = 0;
    int m_listReads = 0;
    int m_topmostQuestions = 0;
};

} // namespace Lumivox::Testing
