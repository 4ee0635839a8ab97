// The windows the coordinator opens and brings forward, and the tray state that follows them: the
// program comes forward while one of its standard windows is shown and goes back to the tray when
// the last one closes.

#include "Features/Coordinator/HoverTextController.h"
#include "Features/Shell/AppDelegate.h"
#include "Services/Words/WordBook.h"

#include <QPointer>

#include <array>

namespace Lumivox {

namespace {

const QString welcomeTitle = QStringLiteral("Welcome to Lumivox");
const QString wordsWindowPrefix = QStringLiteral("lumivox.words");

// A window that opens is often not yet mapped, or not yet focusable, when it is asked to come
// forward; asking again over the next few frames brings it forward whichever moment it is ready.
constexpr std::array<std::chrono::milliseconds, 4> focusRetries {
    std::chrono::milliseconds(30), std::chrono::milliseconds(80), std::chrono::milliseconds(180),
    std::chrono::milliseconds(350)};
constexpr double keepWordsAfterOnboarding = 0.6;

bool isStandard(const AppWindow &window)
{
    return !window.isTooltipPanel && window.hasTitleBar;
}

bool isShown(const AppWindow &window)
{
    return window.isVisible || window.isMinimized;
}

} // namespace

bool HoverTextController::shouldFocusVisibleWindow(const AppWindow &window)
{
    return isStandard(window) && window.title != welcomeTitle && isShown(window);
}

bool HoverTextController::shouldFocusWindowInSettings(const AppWindow &window)
{
    return isStandard(window) && window.title != welcomeTitle && !window.identifier.startsWith(wordsWindowPrefix);
}

bool HoverTextController::hasVisibleStandardWindows() const
{
    if (!m_deps.appWindows)
        return false;
    for (const AppWindow &window : m_deps.appWindows->windows()) {
        if (isStandard(window) && isShown(window))
            return true;
    }
    return false;
}

bool HoverTextController::windowsSentAway() const
{
    // The application delegate sets it when Ctrl+Q sends the windows away; it is the one record.
    return AppDelegate::dockIconSuppressed;
}

void HoverTextController::bringBackWindows()
{
    AppDelegate::dockIconSuppressed = false;
}

void HoverTextController::setPolicy(ActivationPolicy policy)
{
    if (m_deps.appWindows && m_deps.appWindows->policy() != policy)
        m_deps.appWindows->setPolicy(policy);
}

void HoverTextController::updateDockIconPolicy(std::optional<quintptr> excluding)
{
    if (m_deps.hostingTests || !m_deps.appWindows)
        return;
    bool hasVisibleWindows = false;
    for (const AppWindow &window : m_deps.appWindows->windows()) {
        if (window.handle != excluding && isStandard(window) && isShown(window))
            hasVisibleWindows = true;
    }
    if (wantsDockIcon(hasVisibleWindows, windowsSentAway())) {
        if (m_deps.appWindows->policy() != ActivationPolicy::regular) {
            m_deps.appWindows->setPolicy(ActivationPolicy::regular);
            m_deps.appWindows->activateApplication();
        }
    } else {
        setPolicy(ActivationPolicy::accessory);
    }
}

void HoverTextController::windowBecameKey(quintptr handle)
{
    if (!m_deps.appWindows || isLanguagePickerVisible())
        return;
    for (const AppWindow &window : m_deps.appWindows->windows()) {
        if (window.handle != handle)
            continue;
        if (window.isLanguagePicker)
            return;
        if (windowsSentAway() && shouldFocusVisibleWindow(window)) {
            m_deps.appWindows->orderOut(handle);
            m_deps.appWindows->setPolicy(ActivationPolicy::accessory);
            return;
        }
    }
    updateDockIconPolicy();
}

void HoverTextController::returnToMenuBar()
{
    if (m_isMenuTracking || isLanguagePickerVisible() || !m_deps.appWindows)
        return;
    const bool shown = hasVisibleStandardWindows();
    if (shouldHideDockIcon(shown))
        hideDockIcon();
    if (shouldReturnToMenuBar(shown, m_deps.appWindows->isApplicationActive()))
        m_deps.appWindows->hideApplication();
}

void HoverTextController::hideDockIcon()
{
    if (!isLanguagePickerVisible())
        setPolicy(ActivationPolicy::accessory);
}

void HoverTextController::hideDockIconAfterPicker()
{
    if (!hasVisibleStandardWindows())
        setPolicy(ActivationPolicy::accessory);
}

void HoverTextController::scheduleFocusRetries(void (HoverTextController::*focus)())
{
    for (const auto delay : focusRetries) {
        m_deps.clock->schedule(delay, this, [this, focus] {
            if (!windowsSentAway() && !isLanguagePickerVisible())
                (this->*focus)();
        });
    }
}

void HoverTextController::openSettings()
{
    if (m_deps.hostingTests)
        return;
    bringBackWindows();
    setPolicy(ActivationPolicy::regular);
    m_deps.windows->openSettings();
    focusSettingsWindow();
    scheduleFocusRetries(&HoverTextController::focusSettingsWindow);
}

void HoverTextController::openGeneralSettings()
{
    setSelectedSettingsTab(SettingsTab::general);
    openSettings();
}

void HoverTextController::openWordsSettings()
{
    setSelectedSettingsTab(SettingsTab::words);
    openSettings();
}

void HoverTextController::focusSettingsWindow()
{
    bringForward(&HoverTextController::shouldFocusWindowInSettings);
}

void HoverTextController::bringForward(bool (*accept)(const AppWindow &))
{
    if (!m_deps.appWindows || windowsSentAway() || isLanguagePickerVisible())
        return;
    setPolicy(ActivationPolicy::regular);
    for (const AppWindow &window : m_deps.appWindows->windows()) {
        if (!accept(window))
            continue;
        if (window.isMinimized)
            m_deps.appWindows->restore(window.handle);
        m_deps.appWindows->orderFront(window.handle);
        m_deps.appWindows->makeKeyAndOrderFront(window.handle);
    }
    m_deps.appWindows->activateApplication();
}

void HoverTextController::showAboutPanel()
{
    if (m_deps.hostingTests || !m_deps.appWindows)
        return;
    bringBackWindows();
    setPolicy(ActivationPolicy::regular);
    m_deps.appWindows->showAboutPanel();
    focusVisibleTitledWindows();
    scheduleFocusRetries(&HoverTextController::focusVisibleTitledWindows);
}

void HoverTextController::focusVisibleTitledWindows()
{
    bringForward(&HoverTextController::shouldFocusVisibleWindow);
}

void HoverTextController::openOnboarding()
{
    if (m_deps.hostingTests)
        return;
    bringBackWindows();
    setPolicy(ActivationPolicy::regular);
    // The window restarts at its first step unless it is on screen, and comes forward.
    m_deps.windows->showOnboarding();
    if (m_deps.appWindows)
        m_deps.appWindows->activateApplication();
    // Keeps the poll running while the window is on screen.
    checkPermission();
}

void HoverTextController::completeOnboarding()
{
    m_deps.defaults->set(CoordinatorSettings::hasCompletedOnboardingKey, true);
    m_deps.windows->closeOnboarding();
    updateDockIconPolicy();
    askAboutKeepingWords(keepWordsAfterOnboarding);
}

void HoverTextController::openWords()
{
    if (m_deps.hostingTests)
        return;
    m_deps.windows->showWords(*m_deps.wordBook, [self = QPointer(this)](std::optional<QUuid> id) {
        if (self)
            self->openReview(id);
    });
}

void HoverTextController::openReview(std::optional<QUuid> id)
{
    if (!m_deps.hostingTests)
        m_deps.windows->showReview(*m_deps.wordBook, id);
}

void HoverTextController::askAboutKeepingWords(double seconds)
{
    if (m_deps.hostingTests || m_deps.wordBook->hasAskedAboutHistory())
        return;
    const auto delay = std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(seconds));
    // The answer to an earlier question may have come in meanwhile.
    m_deps.clock->schedule(delay, this, [this] {
        if (!m_deps.wordBook->hasAskedAboutHistory())
            m_deps.windows->showKeepPrompt(*m_deps.wordBook, triggerMode().tooltipKeyLabels());
    });
}

void HoverTextController::copyLastTranslation()
{
    // The first text present decides: an empty last translation copies nothing.
    std::optional<QString> text = m_hover.lastTranslationForCopy;
    if (!text)
        text = m_hover.translatedText;
    if (!text)
        text = m_hover.recognizedText;
    if (text && !text->isEmpty())
        copyToClipboard(*text);
}

} // namespace Lumivox
