#pragma once

// The program's long-lived objects, built once at start in the order they depend on each other and
// handed by reference to whatever needs them. This is the one place that calls the shared()
// accessors: the hover coordinator and every window take their collaborators from here, in their
// constructors, so that tests can build them over fakes instead.

#include "Models/LanguageCatalog.h"
#include "Services/Translation/TranslationStore.h"

#include <QString>

#include <chrono>
#include <memory>
#include <set>

namespace Lumivox {

namespace Native {
class Notifications;
class Services;
} // namespace Native

class AppleTranslateService;
class Appearance;
class DiagnosticLog;
class GlanceTranslator;
class HoverTextController;
class LanguagePickerPanel;
class OnboardingWindowOwner;
class OverlayPanel;
class PreferenceStore;
class ReviewReminder;
class SettingsWindowOwner;
class WordBook;

class CompositionRoot
{
public:
    /// How many translations the persistent translation cache keeps, and how long it waits before
    /// writing a change.
    static constexpr int translationCacheLimit = 3000;
    static constexpr double translationCacheSaveDelay = 2.0;

    /// Builds everything over the platform services of `platform`. Main thread, after the
    /// application object exists (the appearance and the quit hooks attach to it).
    explicit CompositionRoot(Native::Services &platform);
    ~CompositionRoot();
    CompositionRoot(const CompositionRoot &) = delete;
    CompositionRoot &operator=(const CompositionRoot &) = delete;

    /// How long the notice of writes that failed at the end waits for the notification service.
    static constexpr std::chrono::milliseconds endNoticeLimit {2000};

    /// What the program writes before it ends, whoever asks: the coordinator writes what is pending
    /// (each save waited for a bounded time). False when a save failed or did not finish in time;
    /// a save that failed has then been told, on the terminal and by a notification the service has
    /// taken. The caller may end the process without waiting for that disk again.
    bool writePending();

    Native::Services &platform;
    /// The language pairs this computer translates on the device, found once through the platform
    /// layer and handed to the language catalogue before anything below reads it.
    const std::set<LanguageCatalog::OnDevicePair> onDevicePairs;
    /// The user's preference store; shared because the objects keeping state in it hold it.
    const std::shared_ptr<PreferenceStore> preferences;
    DiagnosticLog &diagnosticLog;
    Appearance &appearance;
    AppleTranslateService &onDeviceTranslation;
    GlanceTranslator &glanceTranslator;
    WordBook &wordBook;
    TranslationStore translationCache;
    /// Makes the Settings window on first use; the coordinator opens it through its windows.
    const std::shared_ptr<SettingsWindowOwner> settingsWindow;
    /// Makes the first-run window when the coordinator asks for it.
    const std::shared_ptr<OnboardingWindowOwner> onboardingWindow;
    /// The tooltip's window and the floating language picker, which the coordinator shows and hides.
    const std::unique_ptr<OverlayPanel> tooltipPanel;
    const std::unique_ptr<LanguagePickerPanel> languagePicker;
    /// The desktop's notification service, shared by the review reminder and the notices at start.
    const std::shared_ptr<Native::Notifications> notifications;
    /// The reminder of words due for review; none in a test host.
    const std::shared_ptr<ReviewReminder> reviewReminder;
    /// The one hover coordinator; made last, so that it goes first.
    const std::unique_ptr<HoverTextController> hoverController;
};

} // namespace Lumivox
