// The tooltip's save and copy keys: when they may be grabbed (not over terminals for Ctrl
// combinations, not while the user types, not in a tooltip's first moments) and what they do.

#include "Features/Coordinator/TooltipKeys.h"

#include "Features/Coordinator/HoverTextController.h"
#include "Services/Words/WordBook.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Lumivox {

namespace {

Q_LOGGING_CATEGORY(lcTooltipKeys, "app.lumivox.TooltipKeys")

// A tooltip's keys wait this long after it shows, so that the hold key's own combination pressed
// on the way in is not taken for a save.
constexpr double earliestArming = 0.35;
// Typing within this time means the user's keys are meant for the program in front.
constexpr double typingQuiet = 1.0;
// Our own grabbed press also reaches the desktop's key-press clock; within this distance the last
// key press was that one.
constexpr double ownPressTolerance = 0.3;
constexpr std::chrono::milliseconds claimSlack {20};
constexpr double keepWordsQuestionDelay = 1.2;

double secondsBetween(Clock::WallTime from, Clock::WallTime to)
{
    return std::chrono::duration<double>(to - from).count();
}

} // namespace

TooltipKeys::TooltipKeys(std::shared_ptr<Clock> clock)
    : m_clock(std::move(clock))
{ }

void TooltipKeys::activate(std::uint32_t modifiers)
{
    if (isActive() && m_modifiers == modifiers)
        return;
    deactivate();
    m_modifiers = modifiers;
    m_saveKey = grab(saveKeyCode, modifiers, true);
    m_copyKey = grab(copyKeyCode, modifiers, false);
    if (!m_saveKey || !m_copyKey)
        qCInfo(lcTooltipKeys) << "a tooltip key is held by another program; it stays unarmed";
    else
        qCDebug(lcTooltipKeys) << "tooltip keys armed";
}

std::unique_ptr<GlobalHotKey> TooltipKeys::grab(std::uint32_t keyCode, std::uint32_t modifiers, bool save)
{
    // The hot key lives inside this object, so its action never outlives it.
    return GlobalHotKey::create(keyCode, modifiers, [this, save] { pressed(save ? onSave : onCopy); });
}

void TooltipKeys::deactivate()
{
    m_saveKey.reset();
    m_copyKey.reset();
    m_modifiers.reset();
}

void TooltipKeys::pressed(const std::function<void()> &action)
{
    const Clock::Instant now = m_clock->now();
    if (m_lastPress && now - *m_lastPress < debounce)
        return;
    m_lastPress = now;
    m_lastPressDate = m_clock->wallNow();
    // A copy: the action may disarm the keys, and with them this object's closures stay intact.
    if (const std::function<void()> run = action)
        run();
}

// The coordinator's side

bool HoverTextController::mayClaimKeys(std::uint32_t modifiers, const std::optional<QString> &appID)
{
    // Alt combinations never clash with a terminal's own Ctrl keys.
    return modifiers == Native::HotKeyModifier::option || !appID || !controlKeyApps().contains(*appID);
}

double HoverTextController::secondsSinceTyping(std::optional<Clock::WallTime> ownPress, Clock::WallTime now,
                                               double idle)
{
    if (!ownPress)
        return idle;
    const Clock::WallTime lastKeyDown =
        now - std::chrono::duration_cast<Clock::WallTime::duration>(std::chrono::duration<double>(idle));
    if (std::abs(secondsBetween(*ownPress, lastKeyDown)) < ownPressTolerance)
        return std::numeric_limits<double>::infinity();
    return idle;
}

void HoverTextController::claimTooltipKeys()
{
    m_hover.keyClaimTask.cancel();
    const std::uint32_t mask = triggerMode().tooltipKeyModifiers();
    const auto &lookup = m_hover.currentLookup;
    if (!lookup || !mayClaimKeys(mask, lookup->appID)) {
        m_tooltipKeys->deactivate();
        return;
    }
    const double typing = secondsSinceTyping(m_tooltipKeys->lastPressDate(), m_deps.clock->wallNow(),
                                             m_deps.input->secondsSinceLastKeyPress());
    const double shown = m_hover.lookupShownAt ? m_hover.lookupShownAt->msecsTo(wallDate().toDateTime()) / 1000.0 : 0.0;
    const double delay = std::max(earliestArming - shown, typingQuiet - typing);
    if (delay <= 0) {
        m_tooltipKeys->activate(mask);
        return;
    }
    m_tooltipKeys->deactivate();
    // Every rule is weighed again when the wait is over; the claim may be put off once more.
    const std::stop_token stop = m_hover.keyClaimTask.start();
    const auto wait = std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(delay)) + claimSlack;
    m_deps.clock->schedule(wait, this, [this, stop, id = lookup->id] {
        if (stop.stop_requested())
            return;
        m_hover.keyClaimTask.finished();
        if (m_hover.currentLookup && m_hover.currentLookup->id == id && m_deps.overlay->isVisible())
            claimTooltipKeys();
    });
}

bool HoverTextController::areTooltipKeysActive() const
{
    return m_tooltipKeys->isActive();
}

void HoverTextController::deactivateTooltipKeys()
{
    m_tooltipKeys->deactivate();
}

void HoverTextController::toggleSaveHoveredWord()
{
    if (!m_deps.overlay->isVisible() || !m_hover.currentLookup)
        return;
    const WordLookup lookup = *m_hover.currentLookup;
    const SaveOutcome outcome = m_deps.wordBook->toggleSave(lookup, wallDate());
    qCDebug(lcTooltipKeys) << (outcome.kind == SaveOutcome::Kind::removed ? "the word shown was removed"
                                                                          : "the word shown was saved");
    if (outcome.kind == SaveOutcome::Kind::removed) {
        m_hover.statusFlash = WordStatus::Flash::removed();
    } else {
        m_hover.statusFlash = WordStatus::Flash::saved(static_cast<int>(outcome.total));
        if (!lookup.title && !m_deps.wordBook->isExcluded(lookup.appID))
            fetchTitle(lookup);
        askAboutKeepingWords(keepWordsQuestionDelay);
    }
    refreshOverlay();
}

void HoverTextController::copyHoveredMeaning()
{
    if (!m_deps.overlay->isVisible() || !m_hover.translatedText || m_hover.translatedText->isEmpty())
        return;
    copyToClipboard(*m_hover.translatedText);
    m_hover.statusFlash = WordStatus::Flash::copied();
    refreshOverlay();
}

void HoverTextController::copyToClipboard(const QString &text)
{
    // Plain text only: what was copied from a tooltip is pasted as words, never as markup.
    if (QClipboard *clipboard = qGuiApp ? QGuiApplication::clipboard() : nullptr) {
        clipboard->clear();
        clipboard->setText(text);
    }
}

} // namespace Lumivox
