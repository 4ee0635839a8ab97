#include "Features/Coordinator/HoverGates.h"

#include "Native/Geometry/Containment.h"

namespace Lumivox::HoverGates {

QRectF toleranceRect(const QRectF &word)
{
    return word.adjusted(-2, -8, 2, 8);
}

bool isOnWord(const QRectF &word, QPointF point)
{
    return Native::containsHalfOpen(toleranceRect(word), point);
}

bool isOnWord(const std::optional<QRectF> &word, const std::optional<QPointF> &readAt, QPointF point)
{
    if (word)
        return isOnWord(*word, point);
    if (!readAt)
        return false;
    const QPointF drift = point - *readAt;
    return QPointF::dotProduct(drift, drift) <= boxlessDrift * boxlessDrift;
}

bool isPointInMenuBar(QPointF point, const std::optional<ScreenInfo> &screen)
{
    if (!screen)
        return false;
    // In bottom-left coordinates the visible frame's top edge is its largest y.
    return point.y() >= screen->visibleFrame.bottom() - 1;
}

MoveAction onMove(const Situation &s, QPointF point)
{
    if (!s.hasAnyPermission || !s.isEnabled)
        return MoveAction::none;
    if (s.isMenuTracking || s.inMenuBar || s.inOwnWindow || !s.holdKeyPressed)
        return s.shownOrPending ? MoveAction::clear : MoveAction::none;
    if (s.frontProtected)
        return MoveAction::clear;
    if (!s.lastWordRect && !s.lastWordPoint)
        return MoveAction::cancelOnly;
    return isOnWord(s.lastWordRect, s.lastWordPoint, point) ? MoveAction::none : MoveAction::clear;
}

DiagnosticReason hideReason(const Situation &s)
{
    if (s.isMenuTracking)
        return DiagnosticReason::menuTracking;
    if (s.inMenuBar)
        return DiagnosticReason::menuBar;
    if (s.inOwnWindow)
        return DiagnosticReason::ownWindow;
    if (!s.holdKeyPressed)
        return DiagnosticReason::holdKeyNotPressed;
    if (s.frontProtected)
        return DiagnosticReason::drmProtected;
    return DiagnosticReason::pointerMoved;
}

StillnessVerdict onStillness(const Situation &s, QPointF point)
{
    using Kind = StillnessVerdict::Kind;
    const auto refuse = [](DiagnosticReason reason, bool clearFirst) {
        return StillnessVerdict {Kind::refused, reason, clearFirst};
    };
    if (!s.hasAnyPermission)
        return refuse(DiagnosticReason::noPermission, false);
    if (!s.isEnabled)
        return refuse(DiagnosticReason::disabled, false);
    if (!s.holdKeyPressed)
        return refuse(DiagnosticReason::holdKeyNotPressed, false);
    if (s.isMenuTracking)
        return refuse(DiagnosticReason::menuTracking, true);
    if (s.inMenuBar)
        return refuse(DiagnosticReason::menuBar, true);
    if (s.inOwnWindow)
        return refuse(DiagnosticReason::ownWindow, true);
    if (s.frontProtected)
        return refuse(DiagnosticReason::drmProtected, false);
    // A filtered word is as sticky as a shown one, so resting on it does not read it again.
    if (isOnWord(s.lastWordRect, s.lastWordPoint, point) && (s.hasRecognizedText || s.lastWordFiltered))
        return {Kind::silent, DiagnosticReason::shown, false};
    if (s.busy)
        return refuse(DiagnosticReason::busy, false);
    return {};
}

} // namespace Lumivox::HoverGates
