#pragma once

// A screen-capture backend that hands out scripted content and plain images, and records what it
// was asked. A test can hold content fetches open to see how concurrent callers share them.

#include "Fakes/Guarded.h"
#include "Native/Capture/ScreenCapture.h"

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

    void setContent(Native::ShareableContent content) { m_content.set(std::move(content)); }
    void setContentFailure(std::optional<Native::CaptureFailure> failure) { m_contentFailure.set(std::move(failure)); }
    void setDisplayFailure(std::optional<Native::CaptureFailure> failure) { m_displayFailure.set(std::move(failure)); }
    void setWindowFailure(std::optional<Native::CaptureFailure> failure) { m_windowFailure.set(std::move(failure)); }

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
    std::vector<DisplayCall> displayCalls() const { return m_displayCalls.get(); }
    std::vector<WindowCall> windowCalls() const { return m_windowCalls.get(); }

    bool hasScreenRecordingPermission() override { return true; }

    Native::ContentReply shareableContent(bool, bool) override
    {
        {
            std::unique_lock lock(m_mutex);
            ++m_fetches;
            ++m_waiting;
            m_wake.wait(lock, [this] { return !m_held; });
            --m_waiting;
        }
        if (auto failure = m_contentFailure.get())
            return *failure;
        return m_content.get();
    }

    Native::ImageReply captureDisplay(const Native::DisplayFilter &filter,
                                      const Native::CaptureConfiguration &configuration) override
    {
        m_displayCalls.with([&](std::vector<DisplayCall> &calls) { calls.push_back({filter, configuration}); });
        if (auto failure = m_displayFailure.get())
            return *failure;
        return image(configuration.outputSize, Qt::white);
    }

    Native::ImageReply captureWindow(const Native::CaptureWindow &window,
                                     const Native::CaptureConfiguration &configuration) override
    {
        m_windowCalls.with([&](std::vector<WindowCall> &calls) { calls.push_back({window, configuration}); });
        if (auto failure = m_windowFailure.get())
            return *failure;
        return image(configuration.outputSize, Qt::gray);
    }

private:
    static QImage image(QSize size, Qt::GlobalColor colour)
    {
        QImage out(size, QImage::Format_RGB32);
        out.fill(colour);
        return out;
    }

    Guarded<Native::ShareableContent> m_content;
    Guarded<std::optional<Native::CaptureFailure>> m_contentFailure;
    Guarded<std::optional<Native::CaptureFailure>> m_displayFailure;
    Guarded<std::optional<Native::CaptureFailure>> m_windowFailure;
    Guarded<std::vector<DisplayCall>> m_displayCalls;
    Guarded<std::vector<WindowCall>> m_windowCalls;
    // Held fetches and their counts.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_held = false;
    int m_fetches = 0;
    int m_waiting = 0;
};

} // namespace Lumivox::Testing
