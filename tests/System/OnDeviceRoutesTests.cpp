// What a new user without a Google key meets with the real program and the Apertium pairs the
// project installs: French and Italian, which English reaches through Spanish, translate English
// words and sentences on this computer; Russian, which English reaches on no route, is locked in the
// picker (choosing it opens the key screen) and a hover says which pair needs the key.

#include "Support/RunningLumivox.h"
#include "Support/XTestInjector.h"

#include <QJsonObject>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

bool targetIs(RunningLumivox &app, const char *code)
{
    return spinUntil(
        [&] {
            return WordBookEnvironment::contents(app.preferencesPath())
                .contains(QByteArray(R"("translateTarget": ")") + code + '"');
        },
        10s);
}

} // namespace

TEST(OnDeviceRoutes, FrenchAndItalianReachEnglishThroughSpanishAndRussianAsksForTheKey)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d) << "the private session has no display";
    XTestInjector keys;
    ASSERT_TRUE(keys.ok());
    RunningLumivox app(QByteArray(RunningLumivox::everydayPreferences).replace(R"("es")", R"("fr")"));
    ASSERT_TRUE(app.waitUntilIdle()) << app.logText();

    // A word alone on its line and a word in a sentence, read through accessibility.
    FixtureProcess alone;
    ASSERT_TRUE(alone.start(QStringLiteral("gtk_text_fixture"), {"--at", "40", "40", "--text", "house"}));
    FixtureProcess sentence;
    ASSERT_TRUE(sentence.start(QStringLiteral("gtk_text_fixture"),
                               {"--at", "40", "420", "--text", "I saw a red car in the street."}));
    const QRect house = wordBox(alone, "view:house");
    const QRect red = wordBox(sentence, "view:red");
    ASSERT_FALSE(house.isEmpty() || red.isEmpty());

    // Hovers `box`, saves what shows with Alt+S and lets go.
    const auto hoverAndSave = [&](const QRect &box) {
        ASSERT_TRUE(app.moveAndRest(keys, box.center())) << app.logText();
        keys.key(XK_Alt_L, true);
        ASSERT_TRUE(app.waitForLog("tooltip keys armed", 30s)) << app.logText();
        keys.tap(XK_s);
        ASSERT_TRUE(app.waitForLog("the word shown was saved", 10s)) << app.logText();
        keys.key(XK_Alt_L, false);
    };

    // French, the word alone: its dictionary sense through Spanish, shown and kept.
    hoverAndSave(house);
    const auto french = app.event(QStringLiteral("house"));
    ASSERT_TRUE(french) << app.logText();
    EXPECT_EQ(french->value("reason").toString().toStdString(), "shown");
    EXPECT_EQ(french->value("meaning").toString().toStdString(), "maison");
    EXPECT_TRUE(spinUntil([&] { return app.savedWords().contains("\"maison\""); }, 15s))
        << app.savedWords().toStdString();

    // Opens the picker with its hot key (the tooltip gone first) and chooses what `typed` finds.
    const auto pick = [&](const char *typed) {
        keys.moveTo(700, 300);
        ASSERT_TRUE(spinUntil([&] { return windowsOf(d, app.process.processId()).empty(); }, 10s));
        keys.chord({XK_Super_L, XK_Alt_L, XK_l}, 150ms);
        // Shown, with the keyboard held for the typing.
        ASSERT_TRUE(spinUntil(
            [&] { return !windowsOf(d, app.process.processId()).empty() && keyboardIsHeld(d) && pointerIsHeld(d); },
            10s))
            << app.logText();
        keys.type(typed);
        keys.tap(XK_Return);
    };

    // Italian, open in the picker: chosen by typing, and no key screen.
    pick("ital");
    ASSERT_TRUE(targetIs(app, "it")) << WordBookEnvironment::contents(app.preferencesPath()).toStdString();
    EXPECT_EQ(windowTitled(d, app.process.processId(), "Lumivox Settings"), 0u);

    // The word in its sentence: the meaning comes from the marked sentence translated through
    // Spanish, which is kept with the word.
    hoverAndSave(red);
    const auto italian = app.event(QStringLiteral("red"));
    ASSERT_TRUE(italian) << app.logText();
    EXPECT_EQ(italian->value("reason").toString().toStdString(), "shown");
    EXPECT_EQ(italian->value("meaning").toString().toStdString(), "rossa");
    EXPECT_TRUE(spinUntil([&] { return app.savedWords().contains("macchina rossa"); }, 15s))
        << app.savedWords().toStdString();

    // Russian is locked: choosing it opens the key screen, and a hover says which pair needs the key.
    pick("russ");
    ASSERT_TRUE(targetIs(app, "ru"));
    EXPECT_TRUE(spinUntil([&] { return windowTitled(d, app.process.processId(), "Lumivox Settings") != 0; }, 15s))
        << "choosing a locked language opens the key screen";
    // A word beside the key screen.
    FixtureProcess beside;
    ASSERT_TRUE(
        beside.start(QStringLiteral("gtk_text_fixture"), {"--at", "640", "420", "--text", "The river is long."}));
    const QRect river = wordBox(beside, "view:river");
    ASSERT_FALSE(river.isEmpty());
    ASSERT_TRUE(app.moveAndRest(keys, river.center())) << app.logText();
    keys.key(XK_Alt_L, true);
    const auto missing = app.eventWhere(
        [](const QJsonObject &e) { return e.value("reason").toString() == QStringLiteral("googleKeyMissing"); });
    keys.key(XK_Alt_L, false);
    ASSERT_TRUE(missing) << app.logText();
    EXPECT_EQ(missing->value("source").toString(), QStringLiteral("en\u2192ru"));
    XCloseDisplay(d);
}

TEST(OnDeviceRoutes, ItalianMeaningOfAWordInItsSentenceIsTheBareWord)
{
    XTestInjector keys;
    ASSERT_TRUE(keys.ok());
    RunningLumivox app(QByteArray(RunningLumivox::everydayPreferences).replace(R"("es")", R"("it")"));
    ASSERT_TRUE(app.waitUntilIdle()) << app.logText();
    FixtureProcess sentence;
    ASSERT_TRUE(
        sentence.start(QStringLiteral("gtk_text_fixture"), {"--at", "40", "40", "--text", "The house is big."}));
    const QRect house = wordBox(sentence, "view:house");
    ASSERT_FALSE(house.isEmpty());

    // The second pair joins "la" to the word ("La casa"); the meaning shown and kept is the word.
    ASSERT_TRUE(app.moveAndRest(keys, house.center())) << app.logText();
    keys.key(XK_Alt_L, true);
    ASSERT_TRUE(app.waitForLog("tooltip keys armed", 30s)) << app.logText();
    keys.tap(XK_s);
    ASSERT_TRUE(app.waitForLog("the word shown was saved", 10s)) << app.logText();
    keys.key(XK_Alt_L, false);
    const auto shown = app.event(QStringLiteral("house"));
    ASSERT_TRUE(shown) << app.logText();
    EXPECT_EQ(shown->value("reason").toString().toStdString(), "shown");
    EXPECT_EQ(shown->value("meaning").toString().toStdString(), "casa");
    EXPECT_TRUE(spinUntil([&] { return app.savedWords().contains("\"casa\""); }, 15s))
        << app.savedWords().toStdString();
    EXPECT_FALSE(app.savedWords().contains("\"La casa\"")) << app.savedWords().toStdString();
}
