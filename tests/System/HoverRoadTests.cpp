// The whole road of a hover with the real program in the private session: Alt held over a word of
// our GTK window shows a tooltip of ours beside the pointer and records the Spanish meaning read
// through accessibility; over a window that only paints its text the word comes from screen text;
// letting go of Alt takes the tooltip away.

#include "Support/RunningLumivox.h"
#include "Support/XTestInjector.h"

#include <QElapsedTimer>
#include <QLineF>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

TEST(HoverRoad, AltOverAWordShowsItsMeaningThroughAccessibilityOrScreenTextAndLettingGoHidesIt)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d) << "the private session has no display";
    XTestInjector pointer;
    ASSERT_TRUE(pointer.ok());
    RunningLumivox app;
    ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();

    FixtureProcess gtk;
    ASSERT_TRUE(gtk.start(QStringLiteral("gtk_text_fixture"), {QStringLiteral("--at"), "40", "40"}));
    const QRect pineapple = wordBox(gtk, "view:pineapple");
    ASSERT_FALSE(pineapple.isEmpty());

    // Accessibility: the tooltip comes on screen beside the pointer.
    ASSERT_TRUE(app.moveAndRest(pointer, pineapple.center())) << app.logText();
    pointer.key(XK_Alt_L, true);
    QElapsedTimer shown;
    shown.start();
    ASSERT_TRUE(spinUntil([&] { return !windowsOf(d, app.process.processId()).empty(); }, 10s))
        << app.log.toStdString();
    // How fast is the benchmark's business: a sanitizer build on a loaded machine takes seconds here.
    RecordProperty("shownAfterMs", int(shown.elapsed()));
    const QRect tooltip = windowsOf(d, app.process.processId()).front();
    EXPECT_LT(QLineF(tooltip.center(), pineapple.center()).length(), 250)
        << "tooltip at " << tooltip.x() << "," << tooltip.y();
    const auto ax = app.event(QStringLiteral("pineapple"));
    ASSERT_TRUE(ax) << app.log.toStdString();
    EXPECT_EQ(ax->value("reason").toString(), QStringLiteral("shown"));
    EXPECT_TRUE(ax->value("source").toString().startsWith(QStringLiteral("accessibility")));
    const QString meaning = ax->value("meaning").toString();
    EXPECT_FALSE(meaning.isEmpty());
    EXPECT_NE(meaning, QStringLiteral("pineapple")) << "a Spanish meaning, not the word";

    // Letting go of Alt takes the tooltip away.
    pointer.key(XK_Alt_L, false);
    EXPECT_TRUE(spinUntil([&] { return windowsOf(d, app.process.processId()).empty(); }, 10s));
    gtk.stop();

    // A window that paints its text: the word comes from screen text.
    FixtureProcess painted;
    ASSERT_TRUE(painted.start(QStringLiteral("ocr_fixture"), {"60", "60", "900", "200"}));
    QPoint quick;
    for (const QByteArray &line : painted.lines()) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() >= 4 && parts[0] == "word" && parts[1] == "quick")
            quick = QPoint(parts[2].toInt(), parts[3].toInt());
    }
    ASSERT_FALSE(quick.isNull());
    ASSERT_TRUE(app.moveAndRest(pointer, quick)) << app.logText();
    pointer.key(XK_Alt_L, true);
    const auto ocr = app.event(QStringLiteral("quick"));
    pointer.key(XK_Alt_L, false);
    ASSERT_TRUE(ocr) << app.log.toStdString();
    EXPECT_EQ(ocr->value("reason").toString(), QStringLiteral("shown"));
    EXPECT_TRUE(ocr->value("source").toString().startsWith(QStringLiteral("ocr")));
    XCloseDisplay(d);
}
