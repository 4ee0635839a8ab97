#include "App/CompositionRoot.h"

#include "App/AbsentViews.h"
#include "App/AppWindows.h"
#include "App/CoordinatorPanels.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Features/Design/Appearance.h"
#include "Features/LanguagePicker/Views/LanguagePickerPanel.h"
#include "Features/Overlay/OverlayPanel.h"
#include "Features/Shell/SettingsWindowOwner.h"
#include "Native/Accessibility/Accessibility.h"
#include "Native/Capture/ScreenCapture.h"
#include "Native/Input/Input.h"
#include "Native/Services.h"
#include "Native/Session/LoginItem.h"
#include "Native/Windows/WindowList.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Services/Words/WordBook.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Preferences/PreferenceStore.h"

#include <QCoreApplication>

namespace Lumivox {

namespace {

std::unique_ptr<HoverTextController> makeHoverController(CompositionRoot &root)
{
    HoverTextController::Dependencies d;
    d.defaults = root.preferences;
    d.wordBook = &root.wordBook;
    d.translationCache = &root.translationCache;
    d.clock = Clock::system();
    d.input = root.platform.get<Native::Input>();
    d.windowList = root.platform.get<Native::WindowList>();
    d.accessibility = root.platform.get<Native::Accessibility>();
    d.capture = root.platform.get<Native::ScreenCapture>();
    d.loginItem = Native::LoginItem::autostartEntry(Native::LoginItem::userAutostartFolder(),
                                                    QCoreApplication::applicationFilePath(),
                                                    AppIdentity::bundleID().value_or(AppIdentity::appID));
    d.overlay = std::make_shared<App::TooltipOverlay>(*root.tooltipPanel);
    d.picker = std::make_shared<App::PickerPanel>(*root.languagePicker);
    d.windows = std::make_shared<App::AppWindows>(root.settingsWindow);
    d.prepareOnDeviceSession = [&engine = root.onDeviceTranslation](const QString &source, const QString &target) {
        engine.prepareSession(source, target);
    };
    d.flushDiagnostics = [&log = root.diagnosticLog](std::chrono::milliseconds limit) {
        return log.flushBeforeQuit(limit);
    };
    d.hostingTests = AppIdentity::isHostingTests();
    return std::make_unique<HoverTextController>(std::move(d));
}

} // namespace

CompositionRoot::CompositionRoot(Native::Services &platform)
    : platform(platform)
    , preferences(PreferenceStore::standard())
    , diagnosticLog(DiagnosticLog::shared())
    , appearance(Appearance::shared())
    , onDeviceTranslation(AppleTranslateService::shared())
    , glanceTranslator(GlanceTranslator::shared(onDeviceTranslation))
    , wordBook(WordBook::shared(preferences))
    , translationCache(preferences, translationCacheLimit, translationCacheSaveDelay)
    , settingsWindow(std::make_shared<SettingsWindowOwner>())
    , tooltipPanel(std::make_unique<OverlayPanel>())
    , languagePicker(std::make_unique<LanguagePickerPanel>(appearance))
    , hoverController(makeHoverController(*this))
{
    // No quit hook here: the coordinator writes the cache, the word book and the diagnostics at
    // quit, in that order, on the one path every way of ending takes.
}

CompositionRoot::~CompositionRoot() = default;

bool CompositionRoot::quit()
{
    const bool written = hoverController->applicationWillTerminate();
    QCoreApplication::quit();
    return written;
}

} // namespace Lumivox
