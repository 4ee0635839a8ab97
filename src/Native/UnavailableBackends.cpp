// The stand-ins the registry builds when there is no X display to use (no display at all, a
// Wayland session, or LUMIVOX_PLATFORM=null): each answers the way its X11 backend answers when the
// display cannot be reached, without trying to reach it, so every caller takes its usual "not
// available" path.

#include "Native/Accessibility/Accessibility.h"
#include "Native/Capture/ScreenCapture.h"
#include "Native/Input/HotKeys.h"
#include "Native/Input/Input.h"
#include "Native/Windows/ProcessIdentity.h"
#include "Native/Windows/WindowList.h"
#include "Native/X11/X11Connection.h"

namespace Lumivox::Native {

namespace {

class UnavailableInput final : public Input
{
public:
    QPointF mouseLocation() override { return {}; }
    ModifierFlags currentEventFlags() override { return 0; }
    // Far longer than any "recently typed" window, as for a desktop where nobody has typed.
    double secondsSinceLastKeyPress() override { return 1.0e9; }
    std::unique_ptr<InputMonitor> addMonitor(std::function<void(const InputEvent &)>) override { return nullptr; }
};

class UnavailableHotKeys final : public HotKeys
{
public:
    // Handlers are kept as usual so that installing and removing them stays symmetric for callers;
    // no press ever reaches them.
    std::optional<HotKeyHandlerRef> installHandler(HotKeyHandler handler) override
    {
        if (!handler)
            return std::nullopt;
        return m_handlers.install(std::move(handler));
    }
    void removeHandler(HotKeyHandlerRef handler) override { m_handlers.remove(handler); }
    std::optional<HotKeyRef> registerHotKey(std::uint32_t, std::uint32_t, HotKeyID) override { return std::nullopt; }
    void unregisterHotKey(HotKeyRef) override { }

private:
    HotKeyHandlerChain m_handlers;
};

class UnavailableWindowList final : public WindowList
{
public:
    std::vector<WindowInfo> windows() override { return {}; }
    std::vector<WindowInfo> windowsAt(QPointF) override { return {}; }
    std::optional<WindowInfo> frontmostWindowAt(QPointF, const std::function<bool(const WindowInfo &)> &) override
    {
        return std::nullopt;
    }
    // A process still tells who it is without the window server.
    std::optional<QString> applicationID(std::int32_t pid) override { return ProcessIdentity::applicationID(pid); }
    std::uint32_t topmostWindowNumber(QPointF) override { return 0; }
};

class UnavailableScreenCapture final : public ScreenCapture
{
public:
    bool hasScreenRecordingPermission() override { return false; }
    ContentReply shareableContent(bool, bool) override { return failure(); }
    ImageReply captureDisplay(const DisplayFilter &, const CaptureConfiguration &) override { return failure(); }
    ImageReply captureWindow(const CaptureWindow &, const CaptureConfiguration &) override { return failure(); }

private:
    // The same failure the X11 backend reports, so the diagnostics read alike.
    static CaptureFailure failure()
    {
        if (X11::isWaylandSession()) {
            return {CaptureFailureCode::domain, CaptureFailureCode::notPermitted,
                    QStringLiteral("the screen cannot be read in a Wayland session")};
        }
        return {CaptureFailureCode::domain, CaptureFailureCode::noDisplay, QStringLiteral("no X display")};
    }
};

class UnavailableAccessibility final : public Accessibility
{
public:
    bool isProcessTrusted() override { return false; }
    void requestTrust() override { }
    AXElement systemWideElement(AXWindowLocator) override { return nullptr; }
    AXElement applicationElement(std::int32_t) override { return nullptr; }
};

} // namespace

std::shared_ptr<Input> Input::makeUnavailable()
{
    return std::make_shared<UnavailableInput>();
}

std::shared_ptr<HotKeys> HotKeys::makeUnavailable()
{
    return std::make_shared<UnavailableHotKeys>();
}

std::shared_ptr<WindowList> WindowList::makeUnavailable()
{
    return std::make_shared<UnavailableWindowList>();
}

std::shared_ptr<ScreenCapture> ScreenCapture::makeUnavailable()
{
    return std::make_shared<UnavailableScreenCapture>();
}

std::shared_ptr<Accessibility> Accessibility::makeUnavailable()
{
    return std::make_shared<UnavailableAccessibility>();
}

} // namespace Lumivox::Native
