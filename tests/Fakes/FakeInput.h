#pragma once

// Desktop input that a test drives by hand: it sets where the pointer is and which modifiers are
// held, and sends events to whatever monitors are installed.

#include "Fakes/Guarded.h"
#include "Native/Input/Input.h"

#include <QPointF>

#include <atomic>
#include <map>
#include <mutex>

namespace Lumivox::Testing {

class FakeInput final : public Native::Input
{
public:
    QPointF mouseLocation() override
    {
        ++m_locationReads;
        return m_location.get();
    }
    Native::ModifierFlags currentEventFlags() override { return m_flags.get(); }
    double secondsSinceLastKeyPress() override { return m_secondsSinceKeyPress.get(); }
    void sendMaskingKey() override { ++m_maskingKeys; }

    std::unique_ptr<Native::InputMonitor> addMonitor(std::function<void(const Native::InputEvent &)> handler) override
    {
        std::lock_guard lock(m_mutex);
        ++m_monitorsAdded;
        if (!m_monitorsAvailable)
            return nullptr;
        const int id = m_nextID++;
        m_handlers.emplace(id, std::move(handler));
        return std::make_unique<Monitor>(this, id);
    }

    std::unique_ptr<Native::InputMonitor>
    addDesktopMonitor(std::function<void(const Native::DesktopEvent &)> handler) override
    {
        std::lock_guard lock(m_mutex);
        if (!m_monitorsAvailable)
            return nullptr;
        const int id = m_nextID++;
        m_desktopHandlers.emplace(id, std::move(handler));
        return std::make_unique<Monitor>(this, id);
    }

    /// Tells the desktop monitors that the active window or the desktop changed.
    void sendDesktop(Native::DesktopEvent::Type type)
    {
        std::map<int, std::function<void(const Native::DesktopEvent &)>> handlers;
        {
            std::lock_guard lock(m_mutex);
            handlers = m_desktopHandlers;
        }
        for (auto &[id, handler] : handlers)
            handler(Native::DesktopEvent {type});
    }

    void setLocation(QPointF location) { m_location.set(location); }
    void setFlags(Native::ModifierFlags flags) { m_flags.set(flags); }
    void setSecondsSinceLastKeyPress(double seconds) { m_secondsSinceKeyPress.set(seconds); }
    /// As if no monitor could be installed (no display, Wayland).
    void setMonitorsAvailable(bool available)
    {
        std::lock_guard lock(m_mutex);
        m_monitorsAvailable = available;
    }

    /// Moves the pointer and tells the monitors.
    void moveTo(QPointF location)
    {
        setLocation(location);
        send(Native::InputEvent {Native::InputEvent::Type::mouseMoved, m_flags.get()});
    }
    /// Changes the held modifiers and tells the monitors.
    void changeFlags(Native::ModifierFlags flags)
    {
        setFlags(flags);
        send(Native::InputEvent {Native::InputEvent::Type::flagsChanged, flags});
    }
    void send(const Native::InputEvent &event)
    {
        std::map<int, std::function<void(const Native::InputEvent &)>> handlers;
        {
            std::lock_guard lock(m_mutex);
            handlers = m_handlers;
        }
        for (auto &[id, handler] : handlers)
            handler(event);
    }

    int monitorsAdded() const
    {
        std::lock_guard lock(m_mutex);
        return m_monitorsAdded;
    }
    int activeMonitors() const
    {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(m_handlers.size());
    }
    int locationReads() const { return m_locationReads; }
    /// How many masking keys were sent.
    int maskingKeys() const { return m_maskingKeys; }

private:
    class Monitor final : public Native::InputMonitor
    {
    public:
        Monitor(FakeInput *input, int id)
            : m_input(input)
            , m_id(id)
        { }
        ~Monitor() override
        {
            std::lock_guard lock(m_input->m_mutex);
            m_input->m_handlers.erase(m_id);
            m_input->m_desktopHandlers.erase(m_id);
        }

    private:
        FakeInput *m_input;
        int m_id;
    };

    Guarded<QPointF> m_location;
    Guarded<Native::ModifierFlags> m_flags;
    Guarded<double> m_secondsSinceKeyPress {1.0e9};
    std::atomic<int> m_locationReads {0};
    std::atomic<int> m_maskingKeys {0};
    // The monitors and what governs their installation.
    mutable std::mutex m_mutex;
    bool m_monitorsAvailable = true;
    std::map<int, std::function<void(const Native::InputEvent &)>> m_handlers;
    std::map<int, std::function<void(const Native::DesktopEvent &)>> m_desktopHandlers;
    int m_nextID = 1;
    int m_monitorsAdded = 0;
};

} // namespace Lumivox::Testing
