// The pointer tracker over the real X11 input backend. Moves and keys are made with XTest, which
// goes through the server's input path and so produces raw events (a warp would not).
//
// Qt runs with a device pixel ratio of 10 here, so a 29-pixel move is 2.9 points and a 30-pixel
// one is 3.0: the threshold is checked in points, through the backend's own conversion. A reported
// point stands inside the pixel the pointer is on.

#include "Native/Input/Input.h"
#include "Native/Services.h"
#include "Services/Detection/MouseTracker.h"
#include "Support/TestSupport.h"
#include "Support/XTestInjector.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cmath>
#include <vector>

using namespace Lumivox;

namespace {

constexpr double ratio = 10.0;

// Before main() builds the application object, which reads it.
const bool scaled = [] {
    qputenv("QT_SCALE_FACTOR", QByteArray::number(ratio));
    return true;
}();

struct Recorder
{
    std::vector<QPointF> moves;
    std::vector<QPointF> stills;
    std::vector<std::pair<Native::ModifierFlags, QPointF>> modifiers;
    QElapsedTimer clock;
    std::vector<qint64> stillAt;

    void attach(MouseTracker &tracker)
    {
        clock.start();
        QObject::connect(&tracker, &MouseTracker::positionChanged, [this](QPointF p) { moves.push_back(p); });
        QObject::connect(&tracker, &MouseTracker::pointerRested, [this](QPointF p) {
            stills.push_back(p);
            stillAt.push_back(clock.nsecsElapsed());
        });
        QObject::connect(&tracker, &MouseTracker::modifiersChanged,
                         [this](Native::ModifierFlags f, QPointF p) { modifiers.emplace_back(f, p); });
    }
};

void settle(std::chrono::milliseconds time)
{
    Testing::spinUntil([] { return false; }, time);
}

class PointerTracking : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scaled);
        ASSERT_TRUE(injector.ok()) << "no X display in the test session";
        injector.moveTo(500, 400);
        settle(std::chrono::milliseconds(50));
        recorder.attach(tracker);
        tracker.start();
        // The backend's first events are the proof that raw input is being delivered at all.
    }

    // The pixel a reported point stands on: the point lies inside it, in bottom-left points.
    QPoint pixelOf(QPointF point) const
    {
        return QPoint(int(std::floor(point.x() * ratio)),
                      int(std::floor(injector.screenHeightPixels() - point.y() * ratio)));
    }

    Testing::XTestInjector injector;
    MouseTracker tracker;
    Recorder recorder;
};

} // namespace

TEST_F(PointerTracking, ReportsMovesOfThreePointsOrMoreInBottomLeftPoints)
{
    EXPECT_EQ(pixelOf(tracker.lastLocation()), QPoint(500, 400));

    injector.moveTo(529, 400); // 2.9 points
    settle(std::chrono::milliseconds(300));
    EXPECT_TRUE(recorder.moves.empty());
    EXPECT_TRUE(recorder.stills.empty()) << "a move under the threshold must not arm the stillness timer";

    injector.moveTo(530, 400); // 3.0 points from the last reported location
    ASSERT_TRUE(Testing::spinUntil([&] { return !recorder.moves.empty(); })) << "no move was reported";
    EXPECT_EQ(pixelOf(recorder.moves.front()), QPoint(530, 400));
    EXPECT_EQ(tracker.lastLocation(), recorder.moves.front());

    // Downwards on the screen is downwards in y here too.
    injector.moveTo(530, 450);
    ASSERT_TRUE(Testing::spinUntil([&] { return recorder.moves.size() >= 2; }));
    EXPECT_EQ(pixelOf(recorder.moves.back()), QPoint(530, 450));
}

TEST_F(PointerTracking, ABurstOfMovesGivesOneStillnessAfterTheLast)
{
    qint64 lastMoveAt = 0;
    for (int i = 1; i <= 10; ++i) {
        injector.moveTo(500 + 40 * i, 400);
        lastMoveAt = recorder.clock.nsecsElapsed();
        settle(std::chrono::milliseconds(30));
    }
    ASSERT_TRUE(Testing::spinUntil([&] { return !recorder.stills.empty(); })) << "no stillness was reported";
    settle(std::chrono::milliseconds(400));
    EXPECT_EQ(recorder.stills.size(), 1u);
    EXPECT_GE(recorder.moves.size(), 2u);
    const double delay = (recorder.stillAt.front() - lastMoveAt) / 1e9;
    // The delay itself is the tracker's contract; the upper bound only allows for a loaded machine.
    EXPECT_GE(delay, MouseTracker::stillDelay - 0.005);
    EXPECT_LT(delay, 0.6);
    RecordProperty("stillnessDelayMs", static_cast<int>(delay * 1000));
    EXPECT_EQ(pixelOf(recorder.stills.front()), QPoint(900, 400));

    // A modifier change while the pointer rests neither reports stillness again nor moves anything.
    const QPointF rested = tracker.lastLocation();
    injector.key(XK_Shift_L, true);
    injector.key(XK_Shift_L, false);
    settle(std::chrono::milliseconds(300));
    EXPECT_EQ(recorder.stills.size(), 1u);
    EXPECT_EQ(tracker.lastLocation(), rested);
}

TEST_F(PointerTracking, ModifierPressesAreReportedWithTheirFlags)
{
    struct Case
    {
        Testing::XTestInjector::KeySymbol key;
        Native::ModifierFlags flag;
    };
    const Case cases[] = {{XK_Alt_L, Native::Modifier::option},
                          {XK_Super_L, Native::Modifier::command},
                          {XK_Control_L, Native::Modifier::control},
                          {XK_Shift_L, Native::Modifier::shift}};
    const Native::ModifierFlags holdKeys =
        Native::Modifier::option | Native::Modifier::command | Native::Modifier::control | Native::Modifier::shift;
    for (const Case &c : cases) {
        recorder.modifiers.clear();
        injector.key(c.key, true);
        ASSERT_TRUE(Testing::spinUntil([&] { return !recorder.modifiers.empty(); })) << "no change for key " << c.key;
        EXPECT_EQ(recorder.modifiers.back().first & holdKeys, c.flag);
        EXPECT_EQ(Native::service<Native::Input>()->currentEventFlags() & holdKeys, c.flag);

        // The release arrives twice from some sources; it is one change.
        injector.key(c.key, false);
        injector.key(c.key, false);
        ASSERT_TRUE(Testing::spinUntil([&] { return recorder.modifiers.size() >= 2; }));
        settle(std::chrono::milliseconds(100));
        EXPECT_EQ(recorder.modifiers.size(), 2u);
        EXPECT_EQ(recorder.modifiers.back().first & holdKeys, 0u);
    }

    // Two held together.
    recorder.modifiers.clear();
    injector.key(XK_Alt_L, true);
    injector.key(XK_Shift_L, true);
    ASSERT_TRUE(Testing::spinUntil([&] {
        return !recorder.modifiers.empty()
            && (recorder.modifiers.back().first & holdKeys) == (Native::Modifier::option | Native::Modifier::shift);
    }));
    injector.key(XK_Shift_L, false);
    injector.key(XK_Alt_L, false);
    ASSERT_TRUE(Testing::spinUntil([&] { return (recorder.modifiers.back().first & holdKeys) == 0; }));

    // None of that was typing, and neither is the key that masks a held modifier.
    const auto input = Native::service<Native::Input>();
    input->sendMaskingKey();
    settle(std::chrono::milliseconds(150));
    EXPECT_GT(input->secondsSinceLastKeyPress(), 1e6);

    // Nor is a letter key mapped to Ctrl, told by what it types now.
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d);
    const KeyCode q = XKeysymToKeycode(d, XK_q);
    int perCode = 0;
    KeySym *saved = XGetKeyboardMapping(d, q, 1, &perCode);
    KeySym control = XK_Control_R;
    XChangeKeyboardMapping(d, q, 1, &control, 1);
    XSync(d, False);
    XTestFakeKeyEvent(d, q, True, CurrentTime);
    XTestFakeKeyEvent(d, q, False, CurrentTime);
    XSync(d, False);
    settle(std::chrono::milliseconds(150));
    EXPECT_GT(input->secondsSinceLastKeyPress(), 1e6);
    XChangeKeyboardMapping(d, q, perCode, saved, 1);
    XFree(saved);
    XSync(d, False);
    XTestFakeKeyEvent(d, q, True, CurrentTime);
    XTestFakeKeyEvent(d, q, False, CurrentTime);
    XSync(d, False);
    EXPECT_TRUE(Testing::spinUntil([&] { return input->secondsSinceLastKeyPress() < 2.0; })) << "q types again";
    XCloseDisplay(d);

    // A plain key is not a modifier change, but it is typing.
    recorder.modifiers.clear();
    injector.key(XK_a, true);
    injector.key(XK_a, false);
    settle(std::chrono::milliseconds(150));
    EXPECT_TRUE(recorder.modifiers.empty());
    EXPECT_LT(Native::service<Native::Input>()->secondsSinceLastKeyPress(), 2.0);
}

TEST_F(PointerTracking, NothingIsReportedAfterStop)
{
    injector.moveTo(600, 400);
    ASSERT_TRUE(Testing::spinUntil([&] { return !recorder.moves.empty(); }));
    // Stopped before the stillness falls due: it never comes.
    tracker.stop();
    injector.moveTo(700, 400);
    injector.key(XK_Alt_L, true);
    injector.key(XK_Alt_L, false);
    settle(std::chrono::milliseconds(400));
    EXPECT_EQ(recorder.moves.size(), 1u);
    EXPECT_TRUE(recorder.stills.empty());
    EXPECT_TRUE(recorder.modifiers.empty());

    // And a restart picks up from where the pointer is.
    tracker.start();
    EXPECT_EQ(pixelOf(tracker.lastLocation()), QPoint(700, 400));
}
