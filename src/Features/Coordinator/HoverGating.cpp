// What the pointer tracker's three events do: a move may end the hover on screen, a change of the
// hold key starts or ends one at once, and a resting pointer passes the gates and starts one lookup.

#include "Features/Coordinator/HoverGates.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Services/Detection/MouseTracker.h"
#include "Shared/Platform/AppIdentity.h"

#include <QLoggingCategory>

namespace Lumivox {

namespace {
Q_LOGGING_CATEGORY(lcGate, "app.lumivox.Hover")
}

bool HoverTextController::isHoldKeyPressed() const
{
    // The keys held now, never the event's: a release can arrive after the next move.
    return triggerMode().isSatisfied(m_mouseTracker->currentFlags());
}

bool HoverTextController::isShownOrPending() const
{
    return m_deps.overlay->isVisible() || m_hover.recognizedText || m_hover.captureTask.isPresent()
        || m_hover.translateTask.isPresent();
}

HoverGates::Situation HoverTextController::situation(QPointF point) const
{
    HoverGates::Situation s;
    s.hasAnyPermission = hasAnyPermission();
    s.isEnabled = m_isEnabled;
    s.holdKeyPressed = isHoldKeyPressed();
    s.isMenuTracking = m_isMenuTracking;
    s.inMenuBar = HoverGates::isPointInMenuBar(point, ScreenGeometry::screen(point));
    s.inOwnWindow = m_deps.isPointInsideOwnWindow ? m_deps.isPointInsideOwnWindow(point)
                                                  : AppIdentity::isPointInsideOwnWindow(point);
    s.frontProtected = AppIdentity::isDRMProtected(m_currentFrontmostAppID);
    s.lastWordRect = m_hover.lastWordRect;
    s.lastWordPoint = m_hover.lastWordPoint;
    s.hasRecognizedText = m_hover.recognizedText.has_value();
    s.lastWordFiltered = m_hover.lastWordFiltered;
    s.busy = m_hover.captureTask.isPresent() || m_hover.translateTask.isPresent();
    s.shownOrPending = isShownOrPending();
    return s;
}

void HoverTextController::handleMovement(QPointF point)
{
    if (!hasAnyPermission() || !m_isEnabled)
        return;
    const HoverGates::Situation s = situation(point);
    switch (HoverGates::onMove(s, point)) {
    case HoverGates::MoveAction::none:
        break;
    case HoverGates::MoveAction::clear:
        clearOverlay();
        // Every hide says why, so that a tooltip that flashed away can be told from one never shown.
        note(HoverGates::hideReason(s), {.detail = QStringLiteral("hidden on a move")});
        break;
    case HoverGates::MoveAction::cancelOnly:
        cancelInFlightWork();
        break;
    }
}

void HoverTextController::handleModifierChange(Native::ModifierFlags flags, QPointF point)
{
    qCDebug(lcGate).nospace() << "modifier change: flags 0x" << Qt::hex << flags << Qt::dec << " at " << point;
    if (!hasAnyPermission() || !m_isEnabled || triggerMode() == TriggerMode::always)
        return;
    if (isHoldKeyPressed()) {
        // Pressing the key is a deliberate request: the first capture does not wait its turn.
        m_hover.lastOCRAt.reset();
        handleHoverStillness(point);
        return;
    }
    if (isShownOrPending()) {
        clearOverlay();
        note(DiagnosticReason::holdKeyNotPressed, {.detail = QStringLiteral("hidden on release")});
    }
}

void HoverTextController::handleHoverStillness(QPointF point)
{
    qCDebug(lcGate) << "pointer rests at" << point;
    const HoverGates::StillnessVerdict verdict = HoverGates::onStillness(situation(point), point);
    switch (verdict.kind) {
    case HoverGates::StillnessVerdict::Kind::proceed:
        startLookup(point);
        return;
    case HoverGates::StillnessVerdict::Kind::silent:
        return;
    case HoverGates::StillnessVerdict::Kind::refused:
        break;
    }
    if (verdict.clearFirst)
        clearOverlay();
    QString detail;
    if (verdict.reason == DiagnosticReason::ownWindow && m_deps.overlay->frameContains(point))
        detail = QStringLiteral("overlay");
    else if (verdict.reason == DiagnosticReason::drmProtected)
        detail = m_currentFrontmostAppID.value_or(QString());
    note(verdict.reason, {.detail = detail});
}

} // namespace Lumivox
