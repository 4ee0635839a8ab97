// The tooltip's keys with the real program and real key presses in the private session: while a
// tooltip shows, Alt+S saves its word to Words.json and Alt+C puts its meaning on the clipboard, and
// neither reaches the focused window; once the tooltip is gone both reach it again.

#include "Support/FocusedWindow.h"
#include "Support/RunningLumivox.h"
#include "Support/XTestInjector.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

bool reported(FocusedWindow &window, const QByteArray &line)
{
    return window.lines().contains(line);
}

// The saved words, in whichever folder of the data home the program keeps its word book.
QByteArray savedWords(const QString &dataHome)
{
    for (const QString &folder : QDir(dataHome).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString file = dataHome + u'/' + folder + QStringLiteral("/Words.json");
        if (QFileInfo::exists(file))
            return WordBookEnvironment::contents(file);
    }
    return {};
}

} // namespace

TEST(TooltipKeys, AltSSavesAndAltCCopiesWhileTheTooltipShowsAndBothGoBackToTheFocusedWindowAfter)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d) << "the private session has no display";
    XTestInjector keys;
    ASSERT_TRUE(keys.ok());
    RunningLumivox app;
    ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();

    FixtureProcess gtk;
    ASSERT_TRUE(gtk.start(QStringLiteral("gtk_text_fixture"), {QStringLiteral("--at"), "40", "40"}));
    const QRect pineapple = wordBox(gtk, "view:pineapple");
    ASSERT_FALSE(pineapple.isEmpty());
    // Started last, so it has the keyboard focus; placed away from the word.
    FocusedWindow focused(QStringLiteral("700,500,300,200"));
    ASSERT_NE(focused.windowID(), 0u) << "the focused window did not start";
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));

    keys.moveTo(pineapple.center().x(), pineapple.center().y());
    QThread::msleep(300);
    keys.key(XK_Alt_L, true);
    ASSERT_TRUE(spinUntil([&] { return !windowsOf(d, app.process.processId()).empty(); }, 10s))
        << app.log.toStdString();
    const auto shown = app.event(QStringLiteral("pineapple"));
    ASSERT_TRUE(shown) << app.log.toStdString();
    const QString meaning = shown->value("meaning").toString();
    ASSERT_FALSE(meaning.isEmpty());
    // The Alt press itself is typing: the keys are grabbed a second after it.
    ASSERT_TRUE(app.waitForLog("tooltip keys armed", 10s)) << app.log.toStdString();

    keys.tap(XK_s);
    EXPECT_TRUE(spinUntil([&] { return savedWords(app.data.path()).contains("\"pineapple\""); }, 8s))
        << "Words.json: " << savedWords(app.data.path()).toStdString() << app.log.toStdString();
    // A second key within the shared debounce is ignored, so C is pressed until it has been heard
    // (copying again does no harm).
    EXPECT_TRUE(spinUntil(
        [&] {
            keys.tap(XK_c);
            QThread::msleep(300);
            return QGuiApplication::clipboard()->text() == meaning;
        },
        10s))
        << "clipboard: " << QGuiApplication::clipboard()->text().toStdString();
    EXPECT_FALSE(reported(focused, "key Alt+S")) << "a grabbed key never reaches the window in front";
    EXPECT_FALSE(reported(focused, "key Alt+C"));

    // The tooltip goes with Alt; over an empty spot the same keys are the focused window's again.
    keys.key(XK_Alt_L, false);
    ASSERT_TRUE(spinUntil([&] { return windowsOf(d, app.process.processId()).empty(); }, 10s));
    keys.moveTo(5, keys.screenHeightPixels() - 5);
    QThread::msleep(300);
    keys.key(XK_Alt_L, true);
    keys.tap(XK_s);
    keys.tap(XK_c);
    keys.key(XK_Alt_L, false);
    EXPECT_TRUE(spinUntil([&] { return reported(focused, "key Alt+S") && reported(focused, "key Alt+C"); }, 5s))
        << focused.lines().join('\n').toStdString();
    XCloseDisplay(d);
}
