#pragma once

// The front door of the hover: what a pointer move, a modifier change and a resting pointer may do,
// decided from a snapshot of the coordinator's state. Pure functions, so that the order of the gates
// and the edges of the word's rectangle are plain to test; the coordinator gathers the snapshot,
// acts on the verdict and records its note.
//
// Points and rectangles are bottom-left-origin screen coordinates.

#include "Shared/Diagnostics/DiagnosticReason.h"
#include "Shared/Platform/ScreenGeometry.h"

#include <QPointF>
#include <QRectF>

#include <optional>

namespace Lumivox::HoverGates {

/// The word's rectangle grown by 2 pt left and right and 8 pt up and down: the pointer may wander
/// that far off a word without losing its tooltip.
QRectF toleranceRect(const QRectF &word);
/// The pointer is still on the word: inside its tolerance rectangle, the left and bottom edges
/// counting as inside and the right and top edges as outside.
bool isOnWord(const QRectF &word, QPointF point);
/// A word read without a rectangle (its application gave the offset but no box) keeps the pointer
/// while it stays this close (points) to where the word was read.
constexpr double boxlessDrift = 16;
/// The pointer is still on the word read last: by its rectangle where it has one, else by the drift
/// from where it was read. False when neither is known.
bool isOnWord(const std::optional<QRectF> &word, const std::optional<QPointF> &readAt, QPointF point);
/// The top panel of the screen holding the point: the strip above its visible frame, down to 1 pt
/// below the visible frame's top edge. False without a screen.
bool isPointInMenuBar(QPointF point, const std::optional<ScreenInfo> &screen);

/// What the gates look at, read by the coordinator at the moment of the event.
struct Situation
{
    bool hasAnyPermission = false;
    bool isEnabled = false;
    bool holdKeyPressed = false;
    bool isMenuTracking = false;
    bool inMenuBar = false;
    bool inOwnWindow = false;
    /// The front application shows protected content.
    bool frontProtected = false;
    std::optional<QRectF> lastWordRect;
    /// Where a word without a rectangle was read.
    std::optional<QPointF> lastWordPoint;
    bool hasRecognizedText = false;
    bool lastWordFiltered = false;
    /// A lookup or a translation runs.
    bool busy = false;
    /// The tooltip is visible, or a word is kept, or work runs.
    bool shownOrPending = false;
};

/// What a move does to the tooltip.
enum class MoveAction {
    none,
    /// Discard the hover and hide the tooltip.
    clear,
    /// No word was read yet: stop the pending lookup, leave the tooltip.
    cancelOnly,
};
MoveAction onMove(const Situation &situation, QPointF point);
/// Why a move that clears hid the tooltip, for its note: the gate that failed, else the pointer
/// having left the word.
DiagnosticReason hideReason(const Situation &situation);

struct StillnessVerdict
{
    enum class Kind {
        /// Start a lookup.
        proceed,
        /// The pointer rests on the word already read: nothing to do, nothing to record.
        silent,
        refused,
    };
    Kind kind = Kind::proceed;
    /// For `refused`: why, for the diagnostics.
    DiagnosticReason reason = DiagnosticReason::shown;
    /// For `refused`: the tooltip goes before the note is made.
    bool clearFirst = false;

    bool operator==(const StillnessVerdict &) const = default;
};
/// The gates in their fixed order; the first that fails decides.
StillnessVerdict onStillness(const Situation &situation, QPointF point);

} // namespace Lumivox::HoverGates
