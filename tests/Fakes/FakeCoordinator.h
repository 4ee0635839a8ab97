#pragma once

// A hover coordinator over fakes, for the tests, screenshots and benchmarks of the windows that sit
// on it: no display services, no hot key, a fake clock and a word book in a temporary folder.

#include "Fakes/FakeAccessibility.h"
#include "Fakes/FakeCapture.h"
#include "Fakes/FakeCoordinatorViews.h"
#include "Fakes/FakeHotKeys.h"
#include "Fakes/FakeInput.h"
#include "Fakes/FakeWindowList.h"
#include "Fakes/FakeWordBookEnvironment.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Features/Settings/SettingsServices.h"
#include "Native/Services.h"
#include "Services/Translation/TranslationStore.h"

namespace Lumivox::Testing {

class CoordinatorOverFakes : public WordBookEnvironment
{
public:
    std::shared_ptr<FakeInput> input = std::make_shared<FakeInput>();
    std::shared_ptr<FakeWindowList> windowList = std::make_shared<FakeWindowList>();
    std::shared_ptr<FakeAccessibility> accessibility = std::make_shared<FakeAccessibility>();
    std::shared_ptr<FakeCapture> capture = std::make_shared<FakeCapture>();
    std::shared_ptr<Native::LoginItem> loginItem = Native::LoginItem::autostartEntry(
        path(QStringLiteral("autostart")), QStringLiteral("/usr/bin/lumivox"), QStringLiteral("app.lumivox"));
    std::shared_ptr<FakeOverlay> overlay = std::make_shared<FakeOverlay>();
    std::shared_ptr<FakePicker> picker = std::make_shared<FakePicker>();
    std::shared_ptr<FakeWindows> windows = std::make_shared<FakeWindows>();
    std::shared_ptr<FakeHotKeys> hotKeys = std::make_shared<FakeHotKeys>();
    Native::ScopedOverride<Native::HotKeys> hotKeyOverride {hotKeys};
    Native::ScopedOverride<Native::Accessibility> accessibilityOverride {accessibility};
    std::unique_ptr<WordBook> book = makeBook();
    std::unique_ptr<TranslationStore> cache = std::make_unique<TranslationStore>(defaults, 3000, 2.0, clock);
    std::unique_ptr<HoverTextController> controller = make();

    std::unique_ptr<HoverTextController> make()
    {
        HoverTextController::Dependencies d;
        d.defaults = defaults;
        d.wordBook = book.get();
        d.translationCache = cache.get();
        d.clock = clock;
        d.input = input;
        d.windowList = windowList;
        d.accessibility = accessibility;
        d.capture = capture;
        d.loginItem = loginItem;
        d.overlay = overlay;
        d.picker = picker;
        d.windows = windows;
        d.flushDiagnostics = [](std::chrono::milliseconds) { return true; };
        d.hostingTests = true;
        return std::make_unique<HoverTextController>(std::move(d));
    }

    /// Sets what the desktop grants and lets the coordinator read it.
    void grant(bool accessibilityGranted, bool screenRecordingGranted)
    {
        accessibility->trusted = accessibilityGranted;
        capture->screenRecordingGranted = screenRecordingGranted;
        controller->checkPermission();
    }
};

class FakeUpdater final : public SettingsUpdater
{
public:
    bool canCheckForUpdates() const override { return canCheck; }
    bool automaticallyChecksForUpdates() const override { return automatic; }
    void setAutomaticallyChecksForUpdates(bool checks) override
    {
        automatic = checks;
        writes.push_back(checks);
    }
    void checkForUpdates() override { ++checks; }

    void setCanCheck(bool can)
    {
        canCheck = can;
        emit canCheckForUpdatesChanged();
    }

    bool canCheck = true;
    bool automatic = false;
    std::vector<bool> writes;
    int checks = 0;
};

class FakePresence final : public SettingsPresence
{
public:
    bool isHiddenByUser() const override { return hiddenByUser; }
    void windowShown() override { ++shown; }
    void returnToTray() override { ++returnedToTray; }

    bool hiddenByUser = false;
    int shown = 0;
    int returnedToTray = 0;
};

} // namespace Lumivox::Testing
