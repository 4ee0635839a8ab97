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

#include "Features/Coordinator/AppWindows.h"
#include "Features/Coordinator/CoordinatorOverlay.h"
#include "Features/Coordinator/CoordinatorPicker.h"
#include "Features/Coordinator/CoordinatorSettings.h"
#include "Features/Coordinator/CoordinatorWindows.h"
#include "Features/Coordinator/HoverGates.h"
#include "Features/Coordinator/HoverState.h"
#include "Features/Coordinator/MenuBarState.h"
#include "Features/Coordinator/SettingsTab.h"
#include "Models/Language.h"
#include "Models/TriggerMode.h"
#include "Native/Accessibility/Accessibility.h"
#include "Native/Capture/ScreenCapture.h"
#include "Native/Input/Input.h"
#include "Native/Session/LoginItem.h"
#include "Native/Session/MailHandOff.h"
#include "Native/Windows/WindowList.h"
#include "Services/Learn/GlanceTask.h"
#include "Shared/Async/Clock.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Diagnostics/DiagnosticReport.h"
#include "Shared/Diagnostics/HoverTiming.h"
#include "Shared/Preferences/PreferenceStore.h"

#include <QCoroTask>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QMenu;

namespace Lumivox {

class AccessibilityWorker;
class GlanceTranslator;
class HoverSources;
class GlobalHotKey;
class MenuTracking;
class MouseTracker;
class ReviewReminder;
class ScreenCaptureService;
class TooltipKeys;
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
    /// A word's translation by one back-end; every failure is an attempt with its reason.
    using WordTranslator =
        std::function<QCoro::Task<TranslationAttempt>(QString word, QString target, std::optional<QString> source)>;
    /// The back-ends of a plain word translation, in the order they are tried.
    struct TranslationBackends
    {
        /// On this computer; tried for the languages it translates.
        WordTranslator onDevice;
        /// Google with the stored key; tried when a key is stored.
        WordTranslator google;
    };

    /// The services warmed up before the first hover; an empty step is skipped.
    struct WarmUpSteps
    {
        /// Opens the connection to Google for the target language (the stored key is read by the client).
        std::function<QCoro::Task<>(QString target)> google;
        /// Runs the grammar tagger once, off the UI thread.
        std::function<QCoro::Task<>()> tagger;
        /// Lets the on-device engine translate a sample into the target, when it has one for it.
        std::function<QCoro::Task<>(QString target)> onDevice;
        /// Loads the text-recognition model.
        std::function<QCoro::Task<>()> recognition;
    };

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
        /// Where hovers read words from; null: the desktop, through the coordinator's own
        /// accessibility worker and capture service.
        std::shared_ptr<HoverSources> sources;
        /// In-context meanings of words read with their sentence; null: plain translations only.
        GlanceTranslator *glanceTranslator = nullptr;
        TranslationBackends translation;
        /// Records one hover outcome (the application's diagnostic log); null records nothing.
        std::function<void(DiagnosticReason, DiagnosticLog::Note)> recordNote;
        /// Whether a point lies over one of our own windows; null: the test over this process's windows.
        std::function<bool(QPointF)> isPointInsideOwnWindow;
        /// The program's own windows and its tray state; null: no window is raised and no state kept.
        std::shared_ptr<AppWindows> appWindows;
        /// Whether the on-device model of a pair (source, lower-cased target) is installed; null: none is.
        std::function<QCoro::Task<bool>(QString source, QString target)> isOnDeviceModelInstalled;
        /// The source language of a sentence when read-ahead may translate it on this computer into the
        /// target; called off the UI thread. Null: language detection and the installed-pair test.
        std::function<std::optional<QString>(const QString &sentence, const QString &target)> readAheadSource;
        /// The services the warm-up touches before the first hover, in the order it touches them.
        WarmUpSteps warmUp;
        /// Where the diagnostic report's log comes from; null: an empty log.
        DiagnosticLog *diagnosticLog = nullptr;
        /// How the report reaches the user's mail program; null: the platform's.
        std::shared_ptr<Native::MailHandOff> mail;
        /// The reminder of words due for review; null: no reminder.
        std::shared_ptr<ReviewReminder> reviewReminder;
    };

    /// The result of one plain word translation: a text, or the failed attempts in their order.
    struct WordTranslation
    {
        std::optional<QString> text;
        std::vector<TranslationAttempt> failures;
    };

    /// What a stage tells about a hover's outcome besides its reason.
    struct HoverNote
    {
        QString detail;
        /// Given only where the stage knows better than the hover's own application.
        std::optional<QString> app;
        std::optional<AppTally::Update> tally;
        QString word;
        QString meaning;
        QString role;
        std::optional<HoverTiming> timing;
    };

    /// Read-ahead waits this long after a glance, so that a pointer moving on costs nothing.
    static constexpr std::chrono::milliseconds readAheadPause {250};
    static constexpr int readAheadWordLimit = 3;
    /// A missing on-device model is asked about again after this long; an installed one never.
    static constexpr std::chrono::seconds missingModelMemoLife {600};
    /// The warm-up starts this long after the coordinator, when the program has settled.
    static constexpr std::chrono::milliseconds warmUpDelay {500};

    /// Failed words remembered at most; the memo is emptied when it is full.
    static constexpr std::size_t failedTranslationMemoLimit = 200;

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

    /// The look-up record of the word `hover` shows with this meaning (and glance), as the word book
    /// keeps it.
    static WordLookup makeLookup(const HoverState &hover, const QString &meaning, const std::optional<Glance> &glance,
                                 const QString &target, std::optional<QString> appName, Date now);

    // The tooltip's save and copy keys.
    /// Whether the save and copy keys, with this Carbon mask, may be grabbed over this application.
    static bool mayClaimKeys(std::uint32_t modifiers, const std::optional<QString> &appID);
    /// Seconds since the user last typed, given the seconds since the last key press (`idle`): a key
    /// press within 0.3 s of our own key's last press was that press, and is no typing (infinity).
    static double secondsSinceTyping(std::optional<Clock::WallTime> ownPress, Clock::WallTime now, double idle);
    /// The save key: saves the word shown, or removes it when it is saved.
    void toggleSaveHoveredWord();
    /// The copy key: puts the translation shown on the clipboard.
    void copyHoveredMeaning();
    const TooltipKeys &tooltipKeys() const { return *m_tooltipKeys; }

    // The program's windows and tray state.
    static bool wantsDockIcon(bool hasVisibleWindows, bool suppressed) { return hasVisibleWindows && !suppressed; }
    static bool shouldHideDockIcon(bool hasVisibleStandardWindows) { return !hasVisibleStandardWindows; }
    static bool shouldReturnToMenuBar(bool hasVisibleStandardWindows, bool isActive)
    {
        return !hasVisibleStandardWindows && isActive;
    }
    /// A standard window (titled, not the tooltip) that is shown, minimised included, and is not the
    /// welcome window.
    static bool shouldFocusVisibleWindow(const AppWindow &window);
    /// The windows Settings brings forward: every titled window but the tooltip, the welcome window
    /// and the Words windows, shown or not.
    static bool shouldFocusWindowInSettings(const AppWindow &window);
    bool hasVisibleStandardWindows() const;
    /// Regular while a standard window other than `excluding` is shown and the windows were not sent
    /// away; accessory otherwise.
    void updateDockIconPolicy(std::optional<quintptr> excluding = std::nullopt);
    /// Back to the tray state once the last standard window has gone.
    void returnToMenuBar();
    /// The language picker went away.
    void hideDockIconAfterPicker();
    void openGeneralSettings();
    void openWordsSettings();
    void focusSettingsWindow();
    void showAboutPanel();
    void focusVisibleTitledWindows();
    /// The welcome window's last step: onboarding is done.
    void completeOnboarding();
    void openWords();
    void openReview(std::optional<QUuid> id);
    /// Asks, after `seconds`, whether looked-up words are to be kept, unless that was asked already.
    void askAboutKeepingWords(double seconds);
    /// The tray menu's copy: the last translation shown, else the shown one, else the word.
    void copyLastTranslation();

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
    /// Counts the menu as open between its aboutToShow and aboutToHide too: the tray menu, which a
    /// status-notifier panel draws itself, is never shown as a widget of ours.
    void followMenu(QMenu &menu);
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

    // The hover.
    /// The hold key is down now (read from the keyboard's state, not from an event); always true
    /// for the `always` mode.
    bool isHoldKeyPressed() const;
    /// The translation cache's key: the target as stored, the source or "auto", the word lower-cased.
    static QString cacheKey(const QString &word, const QString &target, const std::optional<QString> &source);
    /// The language of a word met in `sentence`; none without a sentence, when nothing is detected,
    /// or when it is the target itself.
    static std::optional<QString> wordLanguage(const std::optional<QString> &sentence, const QString &target);
    /// Whether this computer translates a word of `source` (none: not known) into the language.
    static bool translatesOnDevice(const Language &language, const std::optional<QString> &source);
    /// The pair a note names: source→target, the source English when not known.
    static QString translationPair(const std::optional<QString> &source, const QString &target);
    /// One plain translation: on this computer when a route joins its languages, then Google when a key
    /// is stored.
    static QCoro::Task<WordTranslation> translateWord(QString word, Language language, QString target,
                                                      std::optional<QString> source, bool hasGoogleKey,
                                                      TranslationBackends backends);
    /// Records one hover outcome. The application is the one given, else the one last hovered, else
    /// the front one; with a timing, its total and stages go along. Never waits.
    void note(DiagnosticReason reason, HoverNote details = {});
    /// The settings and permissions that head the diagnostic report.
    DiagnosticSnapshot diagnosticSnapshot() const;
    /// The whole diagnostic report: the log's entries, tallies and events under the snapshot.
    QCoro::Task<QString> diagnosticReportText();

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
    /// Mails the diagnostic report (attached, else on the clipboard with a mail link). A request while
    /// an earlier one is still being handed to the mail program does nothing.
    void emailDiagnosticReport();
    bool isSendingDiagnosticReport() const { return m_isSendingReport; }
    /// Forgets remembered translations and failures, stops read-ahead and clears the tooltip.
    void clearCache();
    /// Gets every engine ready before the first hover: one task, started after warmUpDelay, that
    /// follows a change of the target language made while it runs.
    void warmUp();

    /// Discards the hover on screen: late results are dropped, running lookup work is cancelled,
    /// the remembered word and its texts are forgotten and the tooltip is hidden.
    void clearOverlay();

    /// The word book the coordinator works with; the tray menu counts its due words.
    WordBook &wordBook() const { return *m_deps.wordBook; }

    /// What the program does when it ends, however it ends: writes the frames of the windows on
    /// screen and the translation cache with the preferences, then the word book, then the
    /// diagnostics file, and lets a key on its way reach the keyring, each waited for at most
    /// terminationFlushLimit. True when everything was written, and in time; runs once (later calls
    /// give the first answer).
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

    // Gating (HoverGating.cpp).
    void handleMovement(QPointF point);
    void handleHoverStillness(QPointF point);
    void handleModifierChange(Native::ModifierFlags flags, QPointF point);
    HoverGates::Situation situation(QPointF point) const;
    bool isShownOrPending() const;
    void startLookup(QPointF point);
    /// Where the word just read is, for the pointer-left test: its box, or the point it was read at.
    void rememberWordPlace(const QRectF &bounds, QPointF readAt);

    // Lookup (HoverLookup.cpp).
    struct LookupRequest
    {
        Clock::Instant start;
        std::int64_t generation = 0;
        /// The stillness point with a top-left origin, for the window list, accessibility and capture.
        QPointF quartzPoint;
        std::optional<double> primaryMaxY;
        bool skipNonWords = true;
        /// The stillness point with a bottom-left origin.
        QPointF point;
    };
    static QCoro::Task<> lookupTask(QPointer<HoverTextController> self, LookupRequest request, std::stop_token stop);
    void rememberWebAccessibilityRequest(std::int32_t pid);

    // Translation (HoverTranslation.cpp).
    struct TranslationJob
    {
        std::int64_t generation = 0;
        HoverTiming timing;
        std::optional<GlanceTask> glance;
        QPointF point;
        bool joinedReadAhead = false;
        /// "accessibility" or "ocr".
        QString origin;
        /// The origin as the notes give it: with why accessibility gave way, where it did.
        QString shownAs;
        QString word;
        QString target;
    };
    void applyRecognition(const QString &word, const std::optional<QString> &context,
                          std::optional<qsizetype> wordOffset, QPointF point, std::int64_t generation,
                          const QString &origin, const HoverTiming &timing, const QString &fallbackWhy = {});
    static QCoro::Task<WordTranslation> wordTranslationTask(QPointer<HoverTextController> self, QString word,
                                                            Language language, QString target,
                                                            std::optional<QString> source, bool hasGoogleKey,
                                                            QString key, TranslationBackends backends);
    static QCoro::Task<> translationTask(QPointer<HoverTextController> self, TranslationJob job,
                                         std::optional<QCoro::Task<WordTranslation>> translation, std::stop_token stop);
    bool mayShowTranslation(std::int64_t generation, const std::stop_token &stop);
    void rememberFailedTranslation(const QString &key);

    // Tooltip states (TooltipStates.cpp).
    void display(const QString &text, const std::optional<Glance> &glance, const std::optional<WordStatus> &status,
                 QPointF near, bool isLoading);
    void showLoading(QPointF near);
    void showGlance(const Glance &glance, QPointF near, bool isNew);
    void showMeaning(const QString &text, QPointF near, bool isNew);
    void endLookup();
    /// Sends the masking key once per hold of Alt or Super that showed a tooltip.
    void maskHoldKey();

    // Bookkeeping (HoverBookkeeping.cpp).
    void beginLookup(const QString &meaning, const std::optional<Glance> &glance);
    std::optional<WordStatus> wordStatus() const;
    void fetchTitle(const WordLookup &lookup);
    static QCoro::Task<> titleTask(QPointer<HoverTextController> self, std::shared_ptr<HoverSources> sources,
                                   QPointer<WordBook> book, WordLookup lookup, QPointF at);
    std::optional<QString> hoveredAppName() const;
    Date wallDate() const;

    // Tooltip keys (TooltipKeys.cpp).
    void claimTooltipKeys();
    bool areTooltipKeysActive() const;
    void deactivateTooltipKeys();
    static void copyToClipboard(const QString &text);

    // Windows (CoordinatorWindows.cpp).
    void windowBecameKey(quintptr window);
    void hideDockIcon();
    void setPolicy(ActivationPolicy policy);
    /// Ctrl+Q sent the windows away: those that come forward are sent away again until something is
    /// opened on purpose.
    bool windowsSentAway() const;
    /// Something is opened on purpose: windows may come forward again.
    void bringBackWindows();
    void scheduleFocusRetries(void (HoverTextController::*focus)());
    /// Restores, raises and activates the windows `accept` takes, and brings the program forward.
    void bringForward(bool (*accept)(const AppWindow &));

    // Read-ahead (ReadAhead.cpp).
    void scheduleReadAhead();
    struct ReadAheadJob
    {
        QUuid lookupID;
        QString sentence;
        QString target;
        qsizetype wordOffset = 0;
        bool skipNonWords = true;
    };
    static QCoro::Task<> readAheadTask(QPointer<HoverTextController> self, ReadAheadJob job, std::stop_token stop);
    bool mayReadAheadNextWord(const ReadAheadJob &job, const std::stop_token &stop) const;
    QCoro::Task<bool> hasModelForReadAhead(QString source, QString target);

    // Warm-up (WarmUp.cpp) and the report (HoverDiagnostics.cpp).
    static QCoro::Task<> warmUpTask(QPointer<HoverTextController> self);
    static QCoro::Task<> sendDiagnosticReport(QPointer<HoverTextController> self);

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
    std::shared_ptr<AccessibilityWorker> m_accessibility;
    std::shared_ptr<HoverSources> m_sources;
    std::unique_ptr<GlobalHotKey> m_languagePickerHotKey;
    std::unique_ptr<MenuTracking> m_menuTracking;
    std::unique_ptr<Native::InputMonitor> m_desktopMonitor;
    std::unique_ptr<TooltipKeys> m_tooltipKeys;

    HoverState m_hover;
    std::optional<TimerHandle> m_permissionPollTask;
    bool m_isMenuTracking = false;
    std::optional<QString> m_currentFrontmostAppID;
    // The process last announced in front, so that switching between its own windows is no switch.
    std::optional<std::int32_t> m_frontmostPID;
    std::optional<bool> m_terminationResult;
    bool m_isSendingReport = false;
    std::shared_ptr<int> m_captureRefreshes = std::make_shared<int>(0);
};

} // namespace Lumivox
