// The tooltip's content states: loading, glance, meaning, and cleared. Each show hands the whole
// content to the panel; the coordinator's word state follows what is on screen.

#include "Features/Coordinator/HoverTextController.h"

namespace Lumivox {

void HoverTextController::display(const QString &text, const std::optional<Glance> &glance,
                                  const std::optional<WordStatus> &status, QPointF near, bool isLoading)
{
    // The font follows the target language, not the language of the word.
    m_deps.overlay->display(TooltipContent {text, glance, status, isLoading, currentFont(), m_fontSize}, near);
    maskHoldKey();
}

void HoverTextController::maskHoldKey()
{
    // A hold that brought up a tooltip must not end as a lone tap of its key: a lone Alt opens the
    // menu bar of the application with the keyboard, a lone Super the desktop's overview. Once per
    // hold and only while the key is still down; a tap with no hover stays the desktop's.
    const TriggerMode mode = triggerMode();
    if (m_hover.holdMasked || (mode != TriggerMode::option && mode != TriggerMode::command) || !isHoldKeyPressed())
        return;
    m_hover.holdMasked = true;
    m_deps.input->sendMaskingKey();
}

void HoverTextController::showLoading(QPointF near)
{
    m_hover.translatedText.reset();
    m_hover.currentGlance.reset();
    endLookup();
    display(QString(), std::nullopt, std::nullopt, near, true);
}

void HoverTextController::showGlance(const Glance &glance, QPointF near, bool isNew)
{
    m_hover.translatedText = glance.meaning;
    m_hover.currentGlance = glance;
    m_hover.lastTranslationForCopy = glance.meaning;
    setCanCopyLastTranslation(true);
    if (isNew)
        beginLookup(glance.meaning, glance);
    // After beginLookup, so that a new look-up is counted in the footer.
    display(glance.meaning, glance, wordStatus(), near, false);
    if (isNew) {
        claimTooltipKeys();
        scheduleReadAhead();
    } else if (!areTooltipKeysActive()) {
        claimTooltipKeys();
    }
}

void HoverTextController::showMeaning(const QString &text, QPointF near, bool isNew)
{
    m_hover.currentGlance.reset();
    if (isNew)
        beginLookup(text, std::nullopt);
    display(text, std::nullopt, wordStatus(), near, false);
    // A plain meaning has no sentence to read ahead in.
    if (isNew || !areTooltipKeysActive())
        claimTooltipKeys();
}

void HoverTextController::endLookup()
{
    m_hover.currentLookup.reset();
    m_hover.statusFlash.reset();
    m_hover.keyClaimTask.cancel();
    deactivateTooltipKeys();
}

void HoverTextController::refreshOverlay()
{
    // A loading tooltip is not redrawn: its content comes with the translation.
    if (m_hover.currentGlance)
        showGlance(*m_hover.currentGlance, m_hover.lastHitLocation, false);
    else if (m_hover.translatedText && !m_hover.translatedText->isEmpty())
        showMeaning(*m_hover.translatedText, m_hover.lastHitLocation, false);
}

} // namespace Lumivox
