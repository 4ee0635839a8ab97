#pragma once

// The hover coordinator: the one object that holds the user's settings, follows the desktop (the
// pointer, the hold key, the active application, the open menus, the permissions) and runs the
// hover pipeline from a still pointer to a tooltip. Every window, menu and pane reads and writes it.
//
// It is made once by the application and lives until the process ends. Everything it works with
// comes in through its constructor, so tests build it over fakes and drive it with a fake clock.
//
// Observation: each property below has a NOTIFY signal that fires only when the value changes; a
// setter's side effects (writing its preference key, clearing the tooltip, registering the login
// item …) run on every assignment, also of the value already held. Computed values (menuBarState,
// statusTitle, triggerMode, currentLanguage, currentFont, hasAnyPermission) notify when the value
// they compute changes.
//
// The stages of a hover (gating, lookup, translation, presentation, bookkeeping, keys, read-ahead)
// live beside this file and share HoverState; this class orchestrates them. Main thread only.

#include "Features/Coordinator/CoordinatorOverlay.h"
#include "Features/Coordinator/CoordinatorPicker.h"
#include "Features/Coordinator/CoordinatorSettings.h"
#include "Features/Coordinator/CoordinatorWindows.h"
#include "Features/Coordinator/HoverState.h"
#include "Features/Coordinator/MenuBarState.h"
#include "Features/Coordinator/SettingsTab.h"
#include "Models/Language.h"
#include "Models/TriggerMode.h"
#include "Native/Accessibility/Accessibility.h"
#include "Native/Capture/ScreenCapture.h"
#include "Native/Input/Input.h"
#include "Native/Session/LoginItem.h"
#include "Native/Windows/WindowList.h"
#include "Shared/Async/Clock.h"
#include "Shared/Preferences/PreferenceStore.h"

#include <QCoroTask>
#include <QObject>
#include <QPointF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace Lumivox {

class AccessibilityWorker;
class GlobalHotKey;
class MenuTracking;
class MouseTracker;
class ScreenCaptureService;
class TranslationStore;
class WordBook;

class HoverTextController final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(
        bool hasScreenRecordingPermission READ hasScreenRecordingPermission NOTIFY hasScreenRecordingPermissionChanged)
    Q_PROPERTY(bool hasAccessibilityPermission READ hasAccessibilityPermission NOTIFY hasAccessibilityPermissionChanged)
    Q_PROPERTY(bool hasAnyPermission READ hasAnyPermission NOTIFY hasAnyPermissionChanged)
    Q_PROPERTY(Lumivox::SettingsTab selectedSettingsTab READ selectedSettingsTab WRITE setSelectedSettingsTab NOTIFY
                   selectedSettingsTabChanged)
    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setEnabled NOTIFY isEnabledChanged)
    Q_PROPERTY(bool skipNonWords READ skipNonWords WRITE setSkipNonWords NOTIFY skipNonWordsChanged)
    Q_PROPERTY(bool canCopyLastTranslation READ canCopyLastTranslation WRITE setCanCopyLastTranslation NOTIFY
                   canCopyLastTranslationChanged)
    Q_PROPERTY(QString targetLanguage READ targetLanguage WRITE setTargetLanguage NOTIFY targetLanguageChanged)
    Q_PROPERTY(QStringList recentLanguages READ recentLanguages NOTIFY recentLanguagesChanged)
    Q_PROPERTY(double fontSize READ fontSize WRITE setFontSize NOTIFY fontSizeChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(QString holdKey READ holdKey WRITE setHoldKey NOTIFY holdKeyChanged)
    Q_PROPERTY(bool limitToSelectedApps READ limitToSelectedApps WRITE setLimitToSelectedApps NOTIFY
                   limitToSelectedAppsChanged)
    Q_PROPERTY(QSet<QString> allowedAppIDs READ allowedAppIDs WRITE setAllowedAppIDs NOTIFY allowedAppIDsChanged)
    Q_PROPERTY(bool showsGoogleKeyScreen READ showsGoogleKeyScreen WRITE setShowsGoogleKeyScreen NOTIFY
                   showsGoogleKeyScreenChanged)
    Q_PROPERTY(Lumivox::MenuBarState menuBarState READ menuBarState NOTIFY menuBarStateChanged)
    Q_PROPERTY(QString statusTitle READ statusTitle NOTIFY statusTitleChanged)
    Q_PROPERTY(Lumivox::TriggerMode triggerMode READ triggerMode WRITE setTriggerMode NOTIFY triggerModeChanged)
    Q_PROPERTY(Lumivox::Language currentLanguage READ currentLanguage NOTIFY currentLanguageChanged)
    Q_PROPERTY(QString currentFont READ currentFont NOTIFY currentFontChanged)

public:
    /// What the coordinator works with. The application passes the platform's; tests pass fakes.
    struct Dependencies
    {
        std::shared_ptr<PreferenceStore> defaults;
        WordBook *wordBook = nullptr;
        /// The translations kept across launches, written at quit before the word book.
        TranslationStore *translationCache = nullptr;
        std::shared_ptr<Clock> clock;
        std::shared_ptr<Native::Input> input;
        std::shared_ptr<Native::WindowList> windowList;
        std::shared_ptr<Native::Accessibility> accessibility;
        std::shared_ptr<Native::ScreenCapture> capture;
        std::shared_ptr<Native::LoginItem> loginItem;
        std::shared_ptr<CoordinatorOverlay> overlay;
        std::shared_ptr<CoordinatorPicker> picker;
        std::shared_ptr<CoordinatorWindows> windows;
        /// Asks the on-device engine to get a session from `source` to `target` ready.
        std::function<void(const QString &source, const QString &target)> prepareOnDeviceSession;
        /// Writes the diagnostics file; true when it finished within the limit.
        std::function<bool(std::chrono::milliseconds)> flushDiagnostics;
        /// In a test host the coordinator registers no hot key, checks no permission and opens no
        /// window; it is built with its services, observers and callbacks all the same.
        bool hostingTests = false;
    };

    /// The language picker's hot key: Super+Alt+L (Ctrl+Alt+L locks the screen on common desktops).
    static constexpr std::uint32_t pickerHotKeyCode = 37; // L
    static constexpr std::uint32_t pickerHotKeyModifiers = 256 + 2048; // Super, Alt
    /// How often the permissions are checked again while one is missing or onboarding is on screen.
    static constexpr std::chrono::seconds permissionPollInterval {2};
    /// How long each pending save may take at quit before the program ends without it.
    static constexpr std::chrono::milliseconds terminationFlushLimit {2000};

    explicit HoverTextController(Dependencies dependencies, QObject *parent = nullptr);
    ~HoverTextController() override;

    /// Applications in which Ctrl combinations belong to the application itself (terminals and
    /// Emacs), by the app ids the desktop gives them, so the tooltip's save and copy keys leave
    /// them alone there unless the hold key is Alt.
    static const QSet<QString> &controlKeyApps();

    // Observed state.
    bool hasScreenRecordingPermission() const { return m_hasScreenRecordingPermission; }
    bool hasAccessibilityPermission() const { return m_hasAccessibilityPermission; }
    bool hasAnyPermission() const { return m_hasAccessibilityPermission || m_hasScreenRecordingPermission; }
    SettingsTab selectedSettingsTab() const { return m_selectedSettingsTab; }
    void setSelectedSettingsTab(SettingsTab tab);
    bool isEnabled() const { return m_isEnabled; }
    void setEnabled(bool enabled);
    bool skipNonWords() const { return m_skipNonWords; }
    void setSkipNonWords(bool skip);
    bool canCopyLastTranslation() const { return m_canCopyLastTranslation; }
    void setCanCopyLastTranslation(bool can);
    QString targetLanguage() const { return m_targetLanguage; }
    void setTargetLanguage(const QString &code);
    /// Newest first, at most four once a target language has been set.
    QStringList recentLanguages() const { return m_recentLanguages; }
    double fontSize() const { return m_fontSize; }
    void setFontSize(double size);
    bool launchAtLogin() const { return m_launchAtLogin; }
    void setLaunchAtLogin(bool launch);
    QString holdKey() const { return m_holdKey; }
    void setHoldKey(const QString &rawValue);
    bool limitToSelectedApps() const { return m_limitToSelectedApps; }
    void setLimitToSelectedApps(bool limit);
    QSet<QString> allowedAppIDs() const { return m_allowedAppIDs; }
    void setAllowedAppIDs(const QSet<QString> &ids);
    /// The settings window shows the Google key screen in its General tab while this is true.
    bool showsGoogleKeyScreen() const { return m_showsGoogleKeyScreen; }
    void setShowsGoogleKeyScreen(bool shows);

    // Computed state.
    MenuBarState menuBarState() const;
    QString statusTitle() const;
    /// The hold key; a stored value that names no mode reads as Alt (`option`).
    TriggerMode triggerMode() const { return TriggerMode::fromStored(m_holdKey); }
    void setTriggerMode(TriggerMode mode);
    /// The target language's row, or the table's first row for a code it does not know.
    Language currentLanguage() const;
    QString currentFont() const { return font(m_targetLanguage); }
    QStringList availableFontsForCurrentLanguage() const;
    /// The user's Google key is stored (and not blank); read afresh at every call.
    bool hasGoogleKey() const;
    bool isLanguagePickerVisible() const;
    /// The bundle identifier of the front application, as last announced by the desktop.
    std::optional<QString> currentFrontmostAppID() const { return m_currentFrontmostAppID; }
    bool isMenuTracking() const { return m_isMenuTracking; }
    /// The pointer is being followed.
    bool isTracking() const;
    /// A refresh of the capture cache, started by a switch of applications or desktops, still runs.
    bool isRefreshingCaptureCache() const { return *m_captureRefreshes > 0; }
    const HoverState &hover() const { return m_hover; }
    /// For the coordinator's stages, which keep their state there.
    HoverState &hover() { return m_hover; }
    /// The translations kept across launches.
    TranslationStore &translationCache() { return *m_deps.translationCache; }
    /// The pointer and hold-key watcher that drives the hover.
    MouseTracker &mouseTracker() { return *m_mouseTracker; }

    // Fonts of the tooltip, per language.
    QString font(const QString &code) const;
    void setFont(const QString &name, const QString &code);

    // Commands.
    void toggleEnabled();
    /// Reads both permissions afresh and starts or stops following the pointer; keeps checking
    /// every 2 s while a permission is missing or onboarding is on screen.
    void checkPermission();
    /// Enables the accessibility bus; when that is not enough, tells the user how to grant it.
    void requestAccessibilityPermission();
    void requestScreenRecordingPermission();
    void openAccessibilitySettings();
    void openScreenRecordingSettings();
    /// Re-reads whether the program starts at login.
    void refreshLaunchAtLogin();
    /// The picker's hot key: closes an open picker, else clears the tooltip and opens the picker
    /// at the pointer.
    void toggleLanguagePicker();
    /// Opens Settings on the Google key screen.
    void openGoogleKeySettings();
    void openSettings();
    void openOnboarding();
    /// Discards the hover on screen: late results are dropped, running lookup work is cancelled,
    /// the remembered word and its texts are forgotten and the tooltip is hidden.
    void clearOverlay();

    // Commands of the tray menu and the application shell (CoordinatorCommands.cpp).
    /// The word book the coordinator works with; the tray menu counts its due words.
    WordBook &wordBook() const { return *m_deps.wordBook; }
    /// Opens the Words window (not in a test host).
    void openWords();
    /// Opens the review of one saved word, or of every due word (not in a test host).
    void openReview(std::optional<QUuid> only);
    /// After the delay, asks whether looked-up words are kept, unless the user has answered already.
    void askAboutKeepingWords(double afterSeconds);
    /// Puts the last translation (else the translated text, else the recognised word) on the
    /// clipboard as plain text; nothing when there is none.
    void copyLastTranslation();
    /// Mails the diagnostic report (attached, else as a mail link with the report on the clipboard).
    QCoro::Task<> emailDiagnosticReport();
    /// The program's About page: the About tab of Settings.
    void showAboutPanel();

    /// What the program does when it ends, however it ends: writes the translation cache, then the
    /// word book, then the diagnostics file, each waited for at most terminationFlushLimit. True when
    /// everything was written in time; runs once (later calls give the first answer).
    bool applicationWillTerminate();

signals:
    void hasScreenRecordingPermissionChanged();
    void hasAccessibilityPermissionChanged();
    void hasAnyPermissionChanged();
    void selectedSettingsTabChanged();
    void isEnabledChanged();
    void skipNonWordsChanged();
    void canCopyLastTranslationChanged();
    void targetLanguageChanged();
    void recentLanguagesChanged();
    void fontSizeChanged();
    void launchAtLoginChanged();
    void holdKeyChanged();
    void limitToSelectedAppsChanged();
    void allowedAppIDsChanged();
    void showsGoogleKeyScreenChanged();
    void menuBarStateChanged();
    void statusTitleChanged();
    void triggerModeChanged();
    void currentLanguageChanged();
    void currentFontChanged();

private:
    // The computed values, to notify exactly those that an assignment changed.
    struct Derived
    {
        bool hasAnyPermission;
        MenuBarState menuBarState;
        TriggerMode triggerMode;
        QString languageID;
        QString font;
    };
    Derived derived(bool withFont) const;
    void publishDerived(const Derived &before, bool withFont);

    void setPermissions(bool accessibility, bool screenRecording);
    void setRecentLanguages(const QStringList &recents);
    void applyEnabledState();
    void startTracking();
    void applyLaunchAtLogin();
    void refreshOverlay();
    void cancelInFlightWork();
    void cancelReadAhead();
    void invalidateCaptureCache();

    void startPermissionPolling();
    void stopPermissionPolling();
    TimerHandle schedulePermissionPoll();

    void applicationActivated(const std::optional<Native::ActiveWindow> &active);
    void activeDesktopChanged();
    void menuTrackingBegan();
    void menuTrackingEnded();
    void chooseLanguageFromPicker(const Language &language);

    void handleMovement(QPointF point);
    void handleHoverStillness(QPointF point);
    void handleModifierChange(Native::ModifierFlags flags, QPointF point);

    Dependencies m_deps;

    // Observed.
    bool m_hasScreenRecordingPermission = false;
    bool m_hasAccessibilityPermission = false;
    SettingsTab m_selectedSettingsTab = SettingsTab::general;
    bool m_isEnabled = true;
    bool m_skipNonWords = true;
    bool m_canCopyLastTranslation = false;
    QString m_targetLanguage;
    QStringList m_recentLanguages;
    double m_fontSize = 16.0;
    bool m_launchAtLogin = false;
    QString m_holdKey;
    bool m_limitToSelectedApps = false;
    QSet<QString> m_allowedAppIDs;
    bool m_showsGoogleKeyScreen = false;

    // Services.
    std::unique_ptr<MouseTracker> m_mouseTracker;
    std::shared_ptr<ScreenCaptureService> m_screenCapture;
    std::unique_ptr<AccessibilityWorker> m_accessibility;
    std::unique_ptr<GlobalHotKey> m_languagePickerHotKey;
    std::unique_ptr<MenuTracking> m_menuTracking;
    std::unique_ptr<Native::InputMonitor> m_desktopMonitor;

    HoverState m_hover;
    std::optional<TimerHandle> m_permissionPollTask;
    bool m_isMenuTracking = false;
    std::optional<QString> m_currentFrontmostAppID;
    // The process last announced in front, so that switching between its own windows is no switch.
    std::optional<std::int32_t> m_frontmostPID;
    std::optional<bool> m_terminationResult;
    std::shared_ptr<int> m_captureRefreshes = std::make_shared<int>(0);
};

} // namespace Lumivox
