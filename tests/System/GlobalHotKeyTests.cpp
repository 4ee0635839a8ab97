// Global hot keys: the dispatch rules over a fake service, then real key grabs on the private X
// display with key presses sent through XTest (xdotool).

#include "Fakes/FakeHotKeys.h"
#include "Native/Services.h"
#include "Shared/Platform/GlobalHotKey.h"
#include "Support/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <set>

using namespace Lumivox;
using Native::HotKeyEventResult;
using Native::HotKeyModifier::command;
using Native::HotKeyModifier::control;
using Native::HotKeyModifier::option;
using Native::HotKeyModifier::shift;

namespace {

// The hot keys talk to the display over a connection of their own; the test needs no Qt windows,
// and Qt's own display connection would trip the address sanitizer inside the keyboard library it
// loads. Set before the shared test main builds the application.
const bool qtWithoutWindows = [] { return qputenv("QT_QPA_PLATFORM", "offscreen"); }();

// Carbon virtual key codes.
constexpr std::uint32_t keyS = 0x01;
constexpr std::uint32_t keyD = 0x02;
constexpr std::uint32_t keyC = 0x08;
constexpr std::uint32_t keyL = 0x25;

class FakeService : public ::testing::Test
{
protected:
    std::shared_ptr<Testing::FakeHotKeys> keys = std::make_shared<Testing::FakeHotKeys>();
    Native::ScopedOverride<Native::HotKeys> override {keys};
};

} // namespace

TEST_F(FakeService, EachObjectRunsOnlyForItsOwnIdentifier)
{
    int saves = 0;
    int copies = 0;
    auto save = GlobalHotKey::create(keyS, option, [&] { ++saves; });
    auto copy = GlobalHotKey::create(keyC, option, [&] { ++copies; });
    ASSERT_TRUE(save && copy);
    EXPECT_EQ(keys->handlerCount(), 2u);

    keys->press(keyS, option);
    keys->press(keyS, option);
    keys->press(keyC, option);
    EXPECT_EQ(saves, 2);
    EXPECT_EQ(copies, 1);

    // Presses of another signature, or of a number nobody holds, are left to other handlers.
    EXPECT_EQ(keys->deliver({0x41424344, save->id()}), HotKeyEventResult::notHandled);
    EXPECT_EQ(keys->deliver({GlobalHotKey::signature, copy->id() + 100}), HotKeyEventResult::notHandled);
    EXPECT_EQ(keys->deliver({GlobalHotKey::signature, save->id()}), HotKeyEventResult::handled);
    EXPECT_EQ(saves, 3);
    EXPECT_EQ(copies, 1);
}

TEST_F(FakeService, FailedCreationLeavesNothingBehind)
{
    keys->takenElsewhere.insert({keyL, command});
    EXPECT_FALSE(GlobalHotKey::create(keyL, command, [] {}));
    EXPECT_EQ(keys->handlerCount(), 0u);
    EXPECT_EQ(keys->registrationCount(), 0u);

    keys->failHandlerInstall = true;
    EXPECT_FALSE(GlobalHotKey::create(keyS, control, [] {}));
    EXPECT_EQ(keys->registrationCount(), 0u);
}

TEST_F(FakeService, ReleaseEndsTheShortcutAndIdentifiersAreNeverReused)
{
    int runs = 0;
    std::set<std::uint32_t> ids;
    auto first = GlobalHotKey::create(keyS, control, [&] { ++runs; });
    ASSERT_TRUE(first);
    ids.insert(first->id());

    first->unregister();
    first->unregister(); // harmless twice
    EXPECT_FALSE(keys->press(keyS, control));
    EXPECT_EQ(keys->handlerCount(), 0u);
    first.reset();

    for (int i = 0; i < 5; ++i) {
        auto again = GlobalHotKey::create(keyS, control, [&] { ++runs; });
        ASSERT_TRUE(again);
        EXPECT_TRUE(ids.insert(again->id()).second);
        EXPECT_TRUE(keys->press(keyS, control));
    }
    EXPECT_EQ(runs, 5);
    EXPECT_EQ(keys->registrationCount(), 0u);
}

TEST_F(FakeService, AnActionMayReleaseTheKeysItBelongsTo)
{
    // A tooltip key that closes the tooltip releases itself and its sibling from inside the press.
    std::unique_ptr<GlobalHotKey> save;
    std::unique_ptr<GlobalHotKey> copy;
    int runs = 0;
    save = GlobalHotKey::create(keyS, control, [&] {
        ++runs;
        save.reset();
        copy.reset();
    });
    copy = GlobalHotKey::create(keyC, control, [&] { ++runs; });
    ASSERT_TRUE(save && copy);
    keys->press(keyS, control);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(keys->handlerCount(), 0u);
    EXPECT_FALSE(keys->press(keyC, control));
}

namespace {

void sendKeys(const QString &keys)
{
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}), 0)
        << "xdotool " << keys.toStdString();
}

bool lockIsOn(const QString &name)
{
    QProcess xset;
    xset.start(QStringLiteral("xset"), {QStringLiteral("q")});
    if (!xset.waitForFinished(5000))
        return false;
    const QString out = QString::fromLocal8Bit(xset.readAllStandardOutput());
    const qsizetype at = out.indexOf(name + QLatin1Char(':'));
    return at >= 0 && out.mid(at, 40).simplified().startsWith(name + QStringLiteral(": on"));
}

// Presses `keys`, then a sentinel combination, and waits for the sentinel: X delivers in order, so
// any effect of the first press has happened by then.
void pressAndSettle(const QString &keys, int &sentinelRuns)
{
    const int before = sentinelRuns;
    sendKeys(keys);
    sendKeys(QStringLiteral("ctrl+alt+l"));
    ASSERT_TRUE(Testing::spinUntil([&] { return sentinelRuns > before; })) << "the sentinel never arrived";
}

} // namespace

TEST(X11GlobalHotKey, TwoKeysEachGetOnlyTheirOwnPressesAlsoWithLocksOn)
{
    int saves = 0;
    int copies = 0;
    int sentinel = 0;
    auto save = GlobalHotKey::create(keyS, control | option, [&] { ++saves; });
    auto copy = GlobalHotKey::create(keyC, command | shift, [&] { ++copies; });
    auto mark = GlobalHotKey::create(keyL, control | option, [&] { ++sentinel; });
    ASSERT_TRUE(save && copy && mark) << "could not grab the keys on the test display";

    pressAndSettle(QStringLiteral("ctrl+alt+s"), sentinel);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(copies, 0);
    pressAndSettle(QStringLiteral("super+shift+c"), sentinel);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(copies, 1);
    // Other modifiers, or none, are not the combination.
    pressAndSettle(QStringLiteral("ctrl+s"), sentinel);
    pressAndSettle(QStringLiteral("ctrl+alt+shift+s"), sentinel);
    pressAndSettle(QStringLiteral("c"), sentinel);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(copies, 1);

    for (const QString &lock : {QStringLiteral("Num_Lock"), QStringLiteral("Caps_Lock")}) {
        const QString name =
            lock == QStringLiteral("Num_Lock") ? QStringLiteral("Num Lock") : QStringLiteral("Caps Lock");
        ASSERT_FALSE(lockIsOn(name));
        sendKeys(lock);
        ASSERT_TRUE(Testing::spinUntil([&] { return lockIsOn(name); })) << name.toStdString() << " did not turn on";
        pressAndSettle(QStringLiteral("ctrl+alt+s"), sentinel);
        pressAndSettle(QStringLiteral("super+shift+c"), sentinel);
        sendKeys(lock);
        ASSERT_TRUE(Testing::spinUntil([&] { return !lockIsOn(name); }));
    }
    EXPECT_EQ(saves, 3);
    EXPECT_EQ(copies, 3);
}

TEST(X11GlobalHotKey, AReleasedKeyNoLongerRuns)
{
    int saves = 0;
    int sentinel = 0;
    auto mark = GlobalHotKey::create(keyL, control | option, [&] { ++sentinel; });
    auto save = GlobalHotKey::create(keyS, control | option, [&] { ++saves; });
    ASSERT_TRUE(save && mark);
    pressAndSettle(QStringLiteral("ctrl+alt+s"), sentinel);
    ASSERT_EQ(saves, 1);

    save.reset();
    pressAndSettle(QStringLiteral("ctrl+alt+s"), sentinel);
    EXPECT_EQ(saves, 1);

    // The combination is free again for a new object.
    auto again = GlobalHotKey::create(keyS, control | option, [&] { saves += 10; });
    ASSERT_TRUE(again);
    pressAndSettle(QStringLiteral("ctrl+alt+s"), sentinel);
    EXPECT_EQ(saves, 11);
}

TEST(X11GlobalHotKey, ACombinationHeldElsewhereFailsAndLeavesNoGrab)
{
    int sentinel = 0;
    auto mark = GlobalHotKey::create(keyL, control | option, [&] { ++sentinel; });
    ASSERT_TRUE(mark);

    // Another client of the display (its own connection) holds Ctrl+Alt+D.
    const std::shared_ptr<Native::HotKeys> other = Native::HotKeys::makeDefault();
    int otherRuns = 0;
    ASSERT_TRUE(other->installHandler([&](Native::HotKeyID) {
        ++otherRuns;
        return HotKeyEventResult::handled;
    }));
    const auto held = other->registerHotKey(keyD, control | option, {0x4F544852, 1});
    ASSERT_TRUE(held);

    int ours = 0;
    EXPECT_FALSE(GlobalHotKey::create(keyD, control | option, [&] { ++ours; }));
    // The same combination twice in this program fails too.
    EXPECT_FALSE(GlobalHotKey::create(keyL, control | option, [] {}));

    // The other client still gets its presses: the failed attempt took nothing from it.
    sendKeys(QStringLiteral("ctrl+alt+d"));
    ASSERT_TRUE(Testing::spinUntil([&] { return otherRuns == 1; }));

    // Once it lets go, the combination can be ours, and only ours.
    other->unregisterHotKey(*held);
    auto mine = GlobalHotKey::create(keyD, control | option, [&] { ++ours; });
    ASSERT_TRUE(mine);
    pressAndSettle(QStringLiteral("ctrl+alt+d"), sentinel);
    EXPECT_EQ(ours, 1);
    EXPECT_EQ(otherRuns, 1);
}

TEST(X11GlobalHotKey, AWaylandSessionRefusesCleanly)
{
    // Even with an X display reachable (XWayland), global grabs would not see other clients' keys.
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    const std::shared_ptr<Native::HotKeys> service = Native::HotKeys::makeDefault();
    const auto refused = service->registerHotKey(keyS, control | option, {GlobalHotKey::signature, 9999});
    qunsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(refused);
}
