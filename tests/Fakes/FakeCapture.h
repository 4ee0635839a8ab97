#pragma once

// A screen-capture backend that hands out scripted content and plain images, and records what it
// was asked. A test can hold content fetches open to see how concurrent callers share them.

#include "Native/Capture/ScreenCapture.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace Lumivox::Testing {

class FakeCapture final : public Native::ScreenCapture
{
public:
    struct DisplayCall
    {
        Native::DisplayFilter filter;
        Native::CaptureConfiguration configuration;
    };
    struct WindowCall
    {
        Native::CaptureWindow window;
        Native::CaptureConfiguration configuration;
    };

    void setContent(Native::ShareableContent content)
    {
        std::lock_guard lock(m_mutex);
        m_content = std::move(content);
    }
    void setContentFailure(std::optional<Native::CaptureFailure> failure)
    {
        std::lock_guard lock(m_mutex);
        m_contentFailure = std::move(failure);
    }
    void setDisplayFailure(std::optional<Native::CaptureFailure> failure)
    {
        std::lock_guard lock(m_mutex);
        m_displayFailure = std::move(failure);
    }
    void setWindowFailure(std::optional<Native::CaptureFailure> failure)
    {
        std::lock_guard lock(m_mutex);
        m_windowFailure = std::move(failure);
    }

    /// While held, content fetches wait until released.
    void holdFetches()
    {
        std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void releaseFetches()
    {
        {
            std::lock_guard lock(m_mutex);
            m_held = false;
        }
        m_wake.notify_all();
    }

    int fetchCount() const
    {
        std::lock_guard lock(m_mutex);
        return m_fetches;
    }
    int waitingFetches() const
    {
        std::lock_guard lock(m_mutex);
        return m_waiting;
    }
    std::vector<DisplayCall> displayCalls() const
    {
        std::lock_guard lock(m_mutex);
        return m_displayCalls;
    }
    std::vector<WindowCall> windowCalls() const
    {
        std::lock_guard lock(m_mutex);
        return m_windowCalls;
    }

    bool hasScreenRecordingPermission() override { return screenRecordingGranted.load(); }

    /// What the permission check answers (false: as under Wayland).
    std::atomic<bool> screenRecordingGranted {true};

    Native::ContentReply shareableContent(bool, bool) override
    {
        std::unique_lock lock(m_mutex);
        ++m_fetches;
        ++m_waiting;
        m_wake.wait(lock, [this] { return !m_held; });
        --m_waiting;
        if (m_contentFailure)
            return *m_contentFailure;
        return m_content;
    }

    Native::ImageReply captureDisplay(const Native::DisplayFilter &filter,
                                      const Native::CaptureConfiguration &configuration) override
    {
        std::lock_guard lock(m_mutex);
        m_displayCalls.push_back({filter, configuration});
        if (m_displayFailure)
            return *m_displayFailure;
        return image(configuration.outputSize, Qt::white);
    }

    Native::ImageReply captureWindow(const Native::CaptureWindow &window,
                                     const Native::CaptureConfiguration &configuration) override
    {
        std::lock_guard lock(m_mutex);
        m_windowCalls.push_back({window, configuration});
        if (m_windowFailure)
            return *m_windowFailure;
        return image(configuration.outputSize, Qt::gray);
    }

private:
    static QImage image(QSize size, Qt::GlobalColor colour)
    {
        QImage out(size, QImage::Format_RGB32);
        out.fill(colour);
        return out;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    Native::ShareableContent m_content;
    std::optional<Native::CaptureFailure> m_contentFailure;
    std::optional<Native::CaptureFailure> m_displayFailure;
    std::optional<Native::CaptureFailure> m_windowFailure;
    bool m_held = false;
    int m_fetches = 0;
    int m_waiting = 0;
    std::vector<DisplayCall> m_displayCalls;
    std::vector<WindowCall> m_windowCalls;
};

} // namespace Lumivox::Testing
