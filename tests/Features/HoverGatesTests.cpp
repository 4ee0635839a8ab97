// The hover's front door without a hover: which gate answers a move or a resting pointer when
// several would refuse at once, whether the tooltip goes before the note, and where the word's
// tolerance rectangle and the panels end.

#include "Features/Coordinator/HoverGates.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::HoverGates;

namespace {

// x 100..140, y 200..210; grown by the tolerance to x 98..142, y 192..218.
const QRectF word(100, 200, 40, 10);
const QPointF onWord(120, 205);
const QPointF offWord(160, 205);

// Everything allows a lookup and a word is already on screen.
Situation ready()
{
    Situation s;
    s.hasAnyPermission = true;
    s.isEnabled = true;
    s.holdKeyPressed = true;
    s.lastWordRect = word;
    s.hasRecognizedText = true;
    s.shownOrPending = true;
    return s;
}

using Change = void (*)(Situation &);

} // namespace

TEST(HoverGates, ToleranceRectangleCountsLeftAndBottomEdgesInside)
{
    EXPECT_EQ(toleranceRect(word), QRectF(98, 192, 44, 26));
    const struct
    {
        QPointF point;
        bool on;
    } cases[] = {
        {{98, 192}, true},   {{97.99, 205}, false},  {{142, 205}, false}, {{141.99, 217.99}, true},
        {{120, 218}, false}, {{120, 191.99}, false}, {{99, 195}, true},   {{141, 215}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.point.x() << ", " << c.point.y());
        EXPECT_EQ(isOnWord(word, c.point), c.on);
    }
}

TEST(HoverGates, PanelsOnEveryEdgeReachOnePointIntoTheVisibleFrame)
{
    // Panels on all four edges: 40 pt at the bottom, 30 pt at the top, 50 pt left, 20 pt right
    // (bottom-left origin, so the bottom panel is y < 40).
    const ScreenInfo screen {QRectF(0, 0, 1920, 1080), QRectF(50, 40, 1850, 1010)};
    const struct
    {
        QPointF point;
        bool inPanel;
    } cases[] = {
        {{960, 540}, false},  {{960, 1049}, true}, {{960, 1048.99}, false}, {{960, 1079}, true},
        {{960, 40.99}, true}, {{960, 41}, false},  {{960, 0}, true},        {{50.99, 540}, true},
        {{51, 540}, false},   {{10, 540}, true},   {{1899, 540}, true},     {{1898.99, 540}, false},
        {{1910, 540}, true},  {{10, 10}, true},    {{960, 1080}, true},     {{2500, 540}, false},
        {{960, -300}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.point.x() << ", " << c.point.y());
        EXPECT_EQ(isPointInMenuBar(c.point, screen), c.inPanel);
    }
    EXPECT_FALSE(isPointInMenuBar({960, 1079}, std::nullopt));
}

TEST(HoverGates, MoveGatesInOrder)
{
    const struct
    {
        const char *name;
        Change change;
        QPointF point;
        MoveAction action;
    } cases[] = {
        {"on the word", [](Situation &) {}, onWord, MoveAction::none},
        {"off the word", [](Situation &) {}, offWord, MoveAction::clear},
        {"no word read yet", [](Situation &s) { s.lastWordRect.reset(); }, offWord, MoveAction::cancelOnly},
        {"no permission outranks everything",
         [](Situation &s) {
             s.hasAnyPermission = false;
             s.frontProtected = true;
         },
         offWord, MoveAction::none},
        {"disabled outranks everything",
         [](Situation &s) {
             s.isEnabled = false;
             s.frontProtected = true;
         },
         offWord, MoveAction::none},
        {"menu tracking clears what is shown", [](Situation &s) { s.isMenuTracking = true; }, onWord,
         MoveAction::clear},
        {"menu bar clears what is shown", [](Situation &s) { s.inMenuBar = true; }, onWord, MoveAction::clear},
        {"own window clears what is shown", [](Situation &s) { s.inOwnWindow = true; }, onWord, MoveAction::clear},
        {"released hold key clears what is shown", [](Situation &s) { s.holdKeyPressed = false; }, onWord,
         MoveAction::clear},
        {"released hold key with nothing shown, before protected content",
         [](Situation &s) {
             s.holdKeyPressed = false;
             s.shownOrPending = false;
             s.frontProtected = true;
             s.lastWordRect.reset();
         },
         offWord, MoveAction::none},
        {"menu tracking with nothing shown",
         [](Situation &s) {
             s.isMenuTracking = true;
             s.shownOrPending = false;
         },
         offWord, MoveAction::none},
        {"protected content clears even with nothing shown, also on the word",
         [](Situation &s) {
             s.frontProtected = true;
             s.shownOrPending = false;
         },
         onWord, MoveAction::clear},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Situation s = ready();
        c.change(s);
        EXPECT_EQ(onMove(s, c.point), c.action);
    }
}

TEST(HoverGates, StillnessGatesInOrderAndOnlyPointerPlaceRefusalsClearFirst)
{
    using Kind = StillnessVerdict::Kind;
    const auto refused = [](DiagnosticReason reason, bool clearFirst) {
        return StillnessVerdict {Kind::refused, reason, clearFirst};
    };
    const StillnessVerdict silent {Kind::silent, DiagnosticReason::shown, false};
    const struct
    {
        const char *name;
        Change change;
        QPointF point;
        StillnessVerdict verdict;
    } cases[] = {
        {"off the word, idle", [](Situation &) {}, offWord, StillnessVerdict {}},
        {"no permission",
         [](Situation &s) {
             s.hasAnyPermission = false;
             s.isEnabled = false;
         },
         offWord, refused(DiagnosticReason::noPermission, false)},
        {"disabled",
         [](Situation &s) {
             s.isEnabled = false;
             s.holdKeyPressed = false;
         },
         offWord, refused(DiagnosticReason::disabled, false)},
        {"hold key released",
         [](Situation &s) {
             s.holdKeyPressed = false;
             s.isMenuTracking = true;
         },
         offWord, refused(DiagnosticReason::holdKeyNotPressed, false)},
        {"menu tracking",
         [](Situation &s) {
             s.isMenuTracking = true;
             s.inMenuBar = true;
         },
         offWord, refused(DiagnosticReason::menuTracking, true)},
        {"menu bar",
         [](Situation &s) {
             s.inMenuBar = true;
             s.inOwnWindow = true;
         },
         offWord, refused(DiagnosticReason::menuBar, true)},
        {"own window",
         [](Situation &s) {
             s.inOwnWindow = true;
             s.frontProtected = true;
         },
         offWord, refused(DiagnosticReason::ownWindow, true)},
        {"protected content, even on the shown word", [](Situation &s) { s.frontProtected = true; }, onWord,
         refused(DiagnosticReason::drmProtected, false)},
        {"resting on the shown word while busy", [](Situation &s) { s.busy = true; }, onWord, silent},
        {"resting on a filtered word",
         [](Situation &s) {
             s.hasRecognizedText = false;
             s.lastWordFiltered = true;
         },
         onWord, silent},
        {"on a rectangle with neither text nor a filtered word",
         [](Situation &s) {
             s.hasRecognizedText = false;
             s.busy = true;
         },
         onWord, refused(DiagnosticReason::busy, false)},
        {"off the word while busy", [](Situation &s) { s.busy = true; }, offWord,
         refused(DiagnosticReason::busy, false)},
        {"no word rectangle while busy",
         [](Situation &s) {
             s.lastWordRect.reset();
             s.busy = true;
         },
         onWord, refused(DiagnosticReason::busy, false)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Situation s = ready();
        c.change(s);
        EXPECT_EQ(onStillness(s, c.point), c.verdict);
    }
}
