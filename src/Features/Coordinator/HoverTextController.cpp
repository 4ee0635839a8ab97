#include "Features/Coordinator/HoverTextController.h"

#include "Features/Coordinator/HoverSources.h"
#include "Features/Coordinator/MenuTracking.h"
#include "Features/Coordinator/TooltipKeys.h"
#include "Features/LanguagePicker/LanguagePickerModel.h"
#include "Models/FontCatalog.h"
#include "Models/LanguageCatalog.h"
#include "Services/Detection/AccessibilityWorker.h"
#include "Services/Detection/MouseTracker.h"
#include "Services/Detection/ScreenCaptureService.h"
#include "Services/Translation/TranslationStore.h"
#include "Services/Words/ReviewReminder.h"
#include "Services/Words/WordBook.h"
#include "Shared/Async/BoundedWait.h"
#include "Shared/Platform/GlobalHotKey.h"
#include "Shared/Platform/KeychainStorage.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>

#include <atomic>

namespace Lumivox {

namespace {

Q_LOGGING_CATEGORY(lcHover, "app.lumivox.Hover")

// Runs to its end by itself, holding the service so that it may outlive the coordinator; a failed
// fetch only means that the next capture fetches again.
QCoro::Task<> refreshCaptureCache(std::shared_ptr<ScreenCaptureService> service, std::shared_ptr<int> running)
{
    ++*running;
    auto refresh = service->refreshCache();
    co_await refresh;
    --*running;
}

} // namespace

HoverTextController::HoverTextController(Dependencies dependencies, QObject *parent)
    : QObject(parent)
    , m_deps(std::move(dependencies))
{
    // Settings first, then the services; nothing starts yet.
    const CoordinatorSettings stored = CoordinatorSettings::read(*m_deps.defaults);
    m_skipNonWords = stored.skipNonWords;
    m_targetLanguage = stored.targetLanguage;
    m_recentLanguages = stored.recentLanguages;
    m_fontSize = stored.fontSize;
    m_holdKey = stored.holdKey;
    m_limitToSelectedApps = stored.limitToSelectedApps;
    m_allowedAppIDs = stored.allowedAppIDs;

    m_mouseTracker = std::make_unique<MouseTracker>(m_deps.input, m_deps.clock);
    m_screenCapture = std::make_shared<ScreenCaptureService>(m_deps.capture, m_deps.clock);
    m_accessibility = std::make_shared<AccessibilityWorker>();
    m_sources =
        m_deps.sources ? m_deps.sources : std::make_shared<PlatformHoverSources>(m_accessibility, m_screenCapture);
    m_tooltipKeys = std::make_unique<TooltipKeys>(m_deps.clock);
    m_tooltipKeys->onSave = [this] { toggleSaveHoveredWord(); };
    m_tooltipKeys->onCopy = [this] { copyHoveredMeaning(); };

    CoordinatorSettings::migrateLegacyKeys(*m_deps.defaults, m_skipNonWords);

    if (const auto active = m_deps.windowList->activeWindow()) {
        m_currentFrontmostAppID = active->applicationID;
        m_frontmostPID = active->pid;
    }

    // What the desktop tells: another application or desktop in front, our own menus, becoming the
    // active application, the onboarding window closing, the program ending.
    m_desktopMonitor = m_deps.input->addDesktopMonitor(
        [self = QPointer<HoverTextController>(this)](const Native::DesktopEvent &event) {
            if (!self)
                return;
            if (event.type == Native::DesktopEvent::Type::activeWindowChanged)
                self->applicationActivated(self->m_deps.windowList->activeWindow());
            else
                self->activeDesktopChanged();
        });
    if (qGuiApp) {
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                checkPermission();
        });
    }
    // Only Done finishes onboarding: a guide closed by its title bar opens again at the next start.
    // The poll that ran for the guide stops at once if nothing is missing any more.
    connect(m_deps.windows.get(), &CoordinatorWindows::onboardingClosed, this, [this] {
        if (!m_deps.hostingTests)
            checkPermission();
    });
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { applicationWillTerminate(); });
    m_menuTracking = std::make_unique<MenuTracking>();
    connect(m_menuTracking.get(), &MenuTracking::began, this, &HoverTextController::menuTrackingBegan);
    connect(m_menuTracking.get(), &MenuTracking::ended, this, &HoverTextController::menuTrackingEnded);

    connect(m_mouseTracker.get(), &MouseTracker::positionChanged, this, &HoverTextController::handleMovement);
    connect(m_mouseTracker.get(), &MouseTracker::pointerRested, this, &HoverTextController::handleHoverStillness);
    connect(m_mouseTracker.get(), &MouseTracker::modifiersChanged, this, &HoverTextController::handleModifierChange);
    connect(m_deps.picker.get(), &CoordinatorPicker::chosen, this, &HoverTextController::chooseLanguageFromPicker);
    connect(m_deps.picker.get(), &CoordinatorPicker::cancelled, this, [this] { m_deps.picker->dismiss(); });
    connect(m_deps.picker.get(), &CoordinatorPicker::dismissed, this, &HoverTextController::hideDockIconAfterPicker);
    // The keyring answers after start, and after the key screen changed the key: the picker's locks
    // follow without waiting for its next showing.
    connect(&KeychainStorage::announcer(), &KeychainStorage::Announcer::answerCached, this,
            [this](const QString &key, const QString &service) {
                if (key == KeychainStorage::googleAPIKeyAccount && service == KeychainStorage::licenseService)
                    m_deps.picker->setHasGoogleKey(hasGoogleKey());
            });
    if (m_deps.appWindows) {
        connect(m_deps.appWindows.get(), &AppWindows::windowBecameKey, this, &HoverTextController::windowBecameKey);
        // On the next turn, once the closed window is really gone from the list.
        connect(
            m_deps.appWindows.get(), &AppWindows::windowClosed, this,
            [this] {
                updateDockIconPolicy();
                returnToMenuBar();
            },
            Qt::QueuedConnection);
    }

    if (m_deps.hostingTests)
        return;

    m_languagePickerHotKey = GlobalHotKey::create(pickerHotKeyCode, pickerHotKeyModifiers, [self = QPointer(this)] {
        if (self)
            self->toggleLanguagePicker();
    });
    checkPermission();
    warmUp();
    if (ReviewReminder *reminder = m_deps.reviewReminder.get(); reminder && m_deps.wordBook) {
        // Rebuilt from scratch at every change of saved words or due dates, and once now.
        connect(m_deps.wordBook, &WordBook::reviewChanged, this, [this] {
            m_deps.reviewReminder->update(*m_deps.wordBook, Date::fromWallTime(m_deps.clock->wallNow()));
        });
        connect(reminder, &ReviewReminder::clicked, this,
                [this] { m_deps.windows->showReview(*m_deps.wordBook, std::nullopt); });
        reminder->update(*m_deps.wordBook, Date::fromWallTime(m_deps.clock->wallNow()));
    }
    if (!m_deps.defaults->boolValue(CoordinatorSettings::hasCompletedOnboardingKey)) {
        // After the constructor has returned, so that whoever made the coordinator holds it first.
        QMetaObject::invokeMethod(
            this, [this] { openOnboarding(); }, Qt::QueuedConnection);
    }
}

HoverTextController::~HoverTextController()
{
    stopPermissionPolling();
    m_hover.captureTask.cancel();
    m_hover.translateTask.cancel();
    m_hover.readAheadTask.cancel();
    m_hover.keyClaimTask.cancel();
}

const QSet<QString> &HoverTextController::controlKeyApps()
{
    // The ids our identity rule gives them: their .desktop file names (for foot and footclient,
    // launched from a shell, the executable name is the same). Ptyxis is listed under both ids it
    // has shipped with, Rio under its own package's and its Flathub one; WezTerm, Ghostty, Ptyxis,
    // Warp, Hyper and Rio are not packaged by Debian 12, so theirs are the ids of their own .desktop
    // files.
    static const QSet<QString> apps {
        QStringLiteral("org.gnome.Terminal"),
        QStringLiteral("org.gnome.Console"),
        QStringLiteral("org.gnome.Ptyxis"),
        QStringLiteral("app.devsuite.Ptyxis"),
        QStringLiteral("org.kde.konsole"),
        QStringLiteral("xfce4-terminal"),
        QStringLiteral("kitty"),
        QStringLiteral("foot"),
        QStringLiteral("footclient"),
        QStringLiteral("Alacritty"),
        QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("dev.warp.Warp"),
        QStringLiteral("hyper"),
        QStringLiteral("rio"),
        QStringLiteral("com.rioterm.Rio"),
        QStringLiteral("debian-xterm"),
        QStringLiteral("debian-uxterm"),
        QStringLiteral("terminator"),
        QStringLiteral("com.gexperts.Tilix"),
        QStringLiteral("cool-retro-term"),
        QStringLiteral("emacs"),
    };
    return apps;
}

// Observed state

void HoverTextController::setSelectedSettingsTab(SettingsTab tab)
{
    if (std::exchange(m_selectedSettingsTab, tab) != tab)
        emit selectedSettingsTabChanged();
}

void HoverTextController::setEnabled(bool enabled)
{
    const Derived before = derived(false);
    if (std::exchange(m_isEnabled, enabled) != enabled)
        emit isEnabledChanged();
    publishDerived(before, false);
    applyEnabledState();
}

void HoverTextController::setSkipNonWords(bool skip)
{
    if (std::exchange(m_skipNonWords, skip) != skip)
        emit skipNonWordsChanged();
    m_deps.defaults->set(CoordinatorSettings::skipNonWordsKey, skip);
}

void HoverTextController::setCanCopyLastTranslation(bool can)
{
    if (std::exchange(m_canCopyLastTranslation, can) != can)
        emit canCopyLastTranslationChanged();
}

void HoverTextController::setTargetLanguage(const QString &code)
{
    const Derived before = derived(true);
    if (std::exchange(m_targetLanguage, code) != code)
        emit targetLanguageChanged();
    m_deps.defaults->set(CoordinatorSettings::targetLanguageKey, code);
    setRecentLanguages(LanguagePickerModel::recents(m_recentLanguages, code));
    cancelReadAhead();
    clearOverlay();
    if (currentLanguage().isAppleSupported() && m_deps.prepareOnDeviceSession)
        m_deps.prepareOnDeviceSession(QStringLiteral("en"), code);
    publishDerived(before, true);
}

void HoverTextController::setRecentLanguages(const QStringList &list)
{
    if (std::exchange(m_recentLanguages, list) != list)
        emit recentLanguagesChanged();
    m_deps.defaults->set(CoordinatorSettings::recentLanguagesKey, list);
}

void HoverTextController::setFontSize(double size)
{
    if (std::exchange(m_fontSize, size) != size)
        emit fontSizeChanged();
    m_deps.defaults->set(CoordinatorSettings::fontSizeKey, size);
    refreshOverlay();
}

void HoverTextController::setLaunchAtLogin(bool launch)
{
    if (std::exchange(m_launchAtLogin, launch) != launch)
        emit launchAtLoginChanged();
    applyLaunchAtLogin();
}

void HoverTextController::setHoldKey(const QString &rawValue)
{
    const Derived before = derived(false);
    if (std::exchange(m_holdKey, rawValue) != rawValue)
        emit holdKeyChanged();
    m_deps.defaults->set(CoordinatorSettings::holdKeyKey, rawValue);
    publishDerived(before, false);
}

void HoverTextController::setLimitToSelectedApps(bool limit)
{
    if (std::exchange(m_limitToSelectedApps, limit) != limit)
        emit limitToSelectedAppsChanged();
    m_deps.defaults->set(CoordinatorSettings::limitToSelectedAppsKey, limit);
}

void HoverTextController::setAllowedAppIDs(const QSet<QString> &ids)
{
    if (std::exchange(m_allowedAppIDs, ids) != ids)
        emit allowedAppIDsChanged();
    m_deps.defaults->set(CoordinatorSettings::allowedAppIDsKey, CoordinatorSettings::sortedList(ids));
}

void HoverTextController::setShowsGoogleKeyScreen(bool shows)
{
    if (std::exchange(m_showsGoogleKeyScreen, shows) != shows)
        emit showsGoogleKeyScreenChanged();
}

void HoverTextController::setPermissions(bool accessibility, bool screenRecording)
{
    const Derived before = derived(false);
    if (std::exchange(m_hasAccessibilityPermission, accessibility) != accessibility)
        emit hasAccessibilityPermissionChanged();
    if (std::exchange(m_hasScreenRecordingPermission, screenRecording) != screenRecording)
        emit hasScreenRecordingPermissionChanged();
    publishDerived(before, false);
}

// Computed state

MenuBarState HoverTextController::menuBarState() const
{
    // Screen text alone does not count: without accessibility most hovers find nothing.
    if (!m_hasAccessibilityPermission)
        return MenuBarState::needsPermission;
    return m_isEnabled ? MenuBarState::on : MenuBarState::off;
}

QString HoverTextController::statusTitle() const
{
    switch (menuBarState()) {
    case MenuBarState::on:
        return QStringLiteral("Lumivox is on");
    case MenuBarState::off:
        return QStringLiteral("Lumivox is off");
    case MenuBarState::needsPermission:
        return QStringLiteral("Lumivox needs permission");
    }
    return {};
}

void HoverTextController::setTriggerMode(TriggerMode mode)
{
    setHoldKey(mode.rawValue());
}

Language HoverTextController::currentLanguage() const
{
    if (auto language = LanguageCatalog::language(m_targetLanguage))
        return *language;
    return LanguageCatalog::allLanguages().front();
}

QStringList HoverTextController::availableFontsForCurrentLanguage() const
{
    const Language language = currentLanguage();
    return FontCatalog::fonts(language.sampleScript, language.preferredFonts);
}

bool HoverTextController::hasGoogleKey() const
{
    const auto key = KeychainStorage::get(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService);
    return key && !key->trimmed().isEmpty();
}

bool HoverTextController::isLanguagePickerVisible() const
{
    return m_deps.picker->isVisible();
}

bool HoverTextController::isTracking() const
{
    return m_mouseTracker->isRunning();
}

HoverTextController::Derived HoverTextController::derived(bool withFont) const
{
    // The font is looked up only where it may change: the first look-up builds the font catalogue.
    return {hasAnyPermission(), menuBarState(), triggerMode(), currentLanguage().id,
            withFont ? currentFont() : QString()};
}

void HoverTextController::publishDerived(const Derived &before, bool withFont)
{
    const Derived after = derived(withFont);
    if (before.hasAnyPermission != after.hasAnyPermission)
        emit hasAnyPermissionChanged();
    if (before.menuBarState != after.menuBarState) {
        emit menuBarStateChanged();
        emit statusTitleChanged();
    }
    if (before.triggerMode != after.triggerMode)
        emit triggerModeChanged();
    if (before.languageID != after.languageID)
        emit currentLanguageChanged();
    if (before.font != after.font) // both empty unless asked for
        emit currentFontChanged();
}

// Fonts

QString HoverTextController::font(const QString &code) const
{
    return CoordinatorSettings::font(*m_deps.defaults, code);
}

void HoverTextController::setFont(const QString &name, const QString &code)
{
    const bool current = code == m_targetLanguage;
    const QString before = current ? currentFont() : QString();
    CoordinatorSettings::setFont(*m_deps.defaults, name, code);
    if (!current)
        return;
    refreshOverlay();
    if (currentFont() != before)
        emit currentFontChanged();
}

// Enabled state and login item

void HoverTextController::toggleEnabled()
{
    setEnabled(!m_isEnabled);
}

void HoverTextController::applyEnabledState()
{
    if (m_isEnabled && hasAnyPermission() && !m_isMenuTracking) {
        startTracking();
        return;
    }
    m_mouseTracker->stop();
    cancelReadAhead();
    clearOverlay();
}

void HoverTextController::startTracking()
{
    // Only when stopped: a restart would drop a stillness that is about to fire, and the permission
    // poll would do that every 2 s while a permission is missing.
    if (!m_mouseTracker->isRunning()) {
        // A release of the hold key while stopped went unseen.
        m_hover.holdMasked = false;
        m_mouseTracker->start();
    }
}

void HoverTextController::applyLaunchAtLogin()
{
    const bool registered = m_deps.loginItem->isEnabled();
    if (m_launchAtLogin == registered)
        return;
    // A failure leaves the switch showing what the desktop really does (the reason is logged).
    if (!m_deps.loginItem->setEnabled(m_launchAtLogin))
        setLaunchAtLogin(registered);
}

void HoverTextController::refreshLaunchAtLogin()
{
    setLaunchAtLogin(m_deps.loginItem->isEnabled());
}

// Permissions

void HoverTextController::checkPermission()
{
    const bool accessibility = m_deps.accessibility->isProcessTrusted();
    const bool screenRecording = m_deps.capture->hasScreenRecordingPermission();
    setPermissions(accessibility, screenRecording);
    if (hasAnyPermission()) {
        if (m_isEnabled && !m_isMenuTracking)
            startTracking();
    } else {
        m_mouseTracker->stop();
        clearOverlay();
    }
    if (m_deps.hostingTests)
        return;
    if (accessibility && screenRecording && !m_deps.windows->isOnboardingVisible())
        stopPermissionPolling();
    else
        startPermissionPolling();
}

void HoverTextController::startPermissionPolling()
{
    if (m_permissionPollTask)
        return;
    m_permissionPollTask = schedulePermissionPoll();
}

TimerHandle HoverTextController::schedulePermissionPoll()
{
    return m_deps.clock->schedule(permissionPollInterval, this, [this] {
        checkPermission();
        // The check stops the poll by cancelling it; otherwise it goes on.
        if (m_permissionPollTask)
            m_permissionPollTask = schedulePermissionPoll();
    });
}

void HoverTextController::stopPermissionPolling()
{
    if (m_permissionPollTask)
        m_permissionPollTask->cancel();
    m_permissionPollTask.reset();
}

void HoverTextController::requestAccessibilityPermission()
{
    m_deps.accessibility->requestTrust();
    if (!m_deps.accessibility->isProcessTrusted())
        openAccessibilitySettings();
    checkPermission();
}

void HoverTextController::requestScreenRecordingPermission()
{
    // Nothing to ask for on X11, where the screen can be read; under Wayland it cannot at all.
    if (!m_deps.capture->hasScreenRecordingPermission())
        openScreenRecordingSettings();
    checkPermission();
}

void HoverTextController::openAccessibilitySettings()
{
    m_deps.windows->showPermissionHelp(CoordinatorWindows::Permission::accessibility);
}

void HoverTextController::openScreenRecordingSettings()
{
    m_deps.windows->showPermissionHelp(CoordinatorWindows::Permission::screenRecording);
}

// Windows

void HoverTextController::openGoogleKeySettings()
{
    setSelectedSettingsTab(SettingsTab::general);
    setShowsGoogleKeyScreen(true);
    openSettings();
}

// Language picker

void HoverTextController::toggleLanguagePicker()
{
    if (m_deps.picker->isVisible()) {
        m_deps.picker->dismiss();
        return;
    }
    clearOverlay();
    m_deps.picker->prepare(m_targetLanguage, LanguagePickerModel::recents(m_recentLanguages, m_targetLanguage),
                           hasGoogleKey());
    m_deps.picker->show(m_deps.input->mouseLocation());
}

void HoverTextController::chooseLanguageFromPicker(const Language &language)
{
    m_deps.picker->dismiss();
    const bool locked = m_deps.picker->isLocked(language);
    if (language.id != m_targetLanguage)
        setTargetLanguage(language.id);
    // The choice stands; the key screen lets the user make it work.
    if (locked)
        openGoogleKeySettings();
}

// The hover

void HoverTextController::clearOverlay()
{
    ++m_hover.translateGeneration;
    cancelInFlightWork();
    m_hover.recognizedText.reset();
    m_hover.translatedText.reset();
    m_hover.currentGlance.reset();
    m_hover.lastWordRect.reset();
    m_hover.lastWordPoint.reset();
    m_hover.lastWordFiltered = false;
    m_hover.lookupShownAt.reset();
    endLookup();
    m_deps.overlay->hide();
}

void HoverTextController::cancelInFlightWork()
{
    m_hover.captureTask.cancel();
    m_hover.translateTask.cancel();
}

void HoverTextController::invalidateCaptureCache()
{
    if (m_hasScreenRecordingPermission && m_isEnabled) {
        [[maybe_unused]] auto refresh = refreshCaptureCache(m_screenCapture, m_captureRefreshes);
    } else {
        m_screenCapture->invalidateCache();
    }
}

// The desktop

void HoverTextController::applicationActivated(const std::optional<Native::ActiveWindow> &active)
{
    if (!active)
        return; // nothing in front (the desktop itself): no application was activated
    // Another window of the application already in front is no switch of applications.
    if (active->pid && active->pid == m_frontmostPID)
        return;
    m_frontmostPID = active->pid;
    m_currentFrontmostAppID = active->applicationID;
    invalidateCaptureCache();
    if (m_limitToSelectedApps && active->applicationID && !m_allowedAppIDs.contains(*active->applicationID))
        clearOverlay();
}

void HoverTextController::activeDesktopChanged()
{
    clearOverlay();
    invalidateCaptureCache();
}

void HoverTextController::followMenu(QMenu &menu)
{
    m_menuTracking->follow(menu);
}

void HoverTextController::menuTrackingBegan()
{
    m_isMenuTracking = true;
    m_mouseTracker->stop();
    clearOverlay();
}

void HoverTextController::menuTrackingEnded()
{
    m_isMenuTracking = false;
    if (m_isEnabled && hasAnyPermission())
        startTracking();
}

// Termination

bool HoverTextController::applicationWillTerminate()
{
    if (m_terminationResult)
        return *m_terminationResult;
    bool written = true;
    const auto step = [&written](const char *what, bool inTime) {
        if (!inTime)
            qCWarning(lcHover) << "quitting without waiting longer for" << what;
        written = written && inTime;
    };
    // The windows' frames and the cache live in the preference store, whose file is written here.
    m_deps.windows->storeFrames();
    m_deps.translationCache->flush();
    // A write that failed counts as much as one that did not end in time. Shared: a write that
    // overruns finishes after this returns.
    const auto failed = std::make_shared<std::atomic<bool>>(false);
    step("the preference file", runWithin(terminationFlushLimit, [defaults = m_deps.defaults, failed] {
             if (!defaults->synchronize())
                 *failed = true;
         }));
    step("the word book", runWithin(terminationFlushLimit, [book = m_deps.wordBook, failed] {
             if (!book->flush())
                 *failed = true;
         }));
    if (!m_deps.hostingTests && m_deps.flushDiagnostics)
        step("the diagnostics file", m_deps.flushDiagnostics(terminationFlushLimit));
    // A key the user saved or removed just before has been on its way since: it reaches the keyring.
    step("the keyring", KeychainStorage::finishWrites(terminationFlushLimit));
    m_terminationResult = written && !*failed;
    return *m_terminationResult;
}

} // namespace Lumivox
