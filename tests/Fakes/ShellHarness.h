#pragma once

// The application shell over fakes: one coordinator (in a test host unless asked otherwise, so that
// it opens no window by itself), its word book, the update state over a fake updater, and the tray
// menu model.

#include "Fakes/FakeAccessibility.h"
#include "Fakes/FakeCapture.h"
#include "Fakes/FakeCoordinatorViews.h"
#include "Fakes/FakeHotKeys.h"
#include "Fakes/FakeInput.h"
#include "Fakes/FakeUpdater.h"
#include "Fakes/FakeWindowList.h"
#include "Fakes/FakeWordBookEnvironment.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Features/Shell/TrayMenuModel.h"
#include "Features/Shell/UpdateNotifier.h"
#include "Native/Services.h"
#include "Services/Translation/TranslationStore.h"

namespace Lumivox::Testing {

class ShellHarness : public WordBookEnvironment
{
public:
    std::shared_ptr<FakeAccessibility> accessibility = std::make_shared<FakeAccessibility>();
    std::shared_ptr<FakeCapture> capture = std::make_shared<FakeCapture>();
    std::shared_ptr<FakeWindows> windows = std::make_shared<FakeWindows>();
    std::shared_ptr<FakeHotKeys> hotKeys = std::make_shared<FakeHotKeys>();
    Native::ScopedOverride<Native::HotKeys> hotKeyOverride {hotKeys};
    Native::ScopedOverride<Native::Accessibility> accessibilityOverride {accessibility};
    std::unique_ptr<WordBook> book = makeBook();
    TranslationStore translationCache {defaults, 3000, 2.0, clock};
    std::unique_ptr<HoverTextController> controller;
    UpdateNotifier notifier;
    FakeUpdater updater;
    int quits = 0;
    std::unique_ptr<TrayMenuModel> menu;

    explicit ShellHarness(bool hostingTests = true)
    {
        HoverTextController::Dependencies d;
        d.defaults = defaults;
        d.wordBook = book.get();
        d.translationCache = &translationCache;
        d.clock = clock;
        d.input = std::make_shared<FakeInput>();
        d.windowList = std::make_shared<FakeWindowList>();
        d.accessibility = accessibility;
        d.capture = capture;
        d.loginItem = Native::LoginItem::autostartEntry(path(QStringLiteral("autostart")), QStringLiteral("/bin/true"),
                                                        QStringLiteral("app.lumivox"));
        d.overlay = std::make_shared<FakeOverlay>();
        d.picker = std::make_shared<FakePicker>();
        d.windows = windows;
        d.prepareOnDeviceSession = [](const QString &, const QString &) {};
        d.flushDiagnostics = [](std::chrono::milliseconds) { return true; };
        d.hostingTests = hostingTests;
        controller = std::make_unique<HoverTextController>(std::move(d));
        notifier.track(updater);
        menu = std::make_unique<TrayMenuModel>(
            TrayMenuModel::Dependencies {controller.get(), &notifier, &updater, clock, [this] { ++quits; }});
    }
};

} // namespace Lumivox::Testing
