// The review through the real program in the private session: a word book with two due words, the
// tray menu's "Review 2 Words" opens the Review window, Space and 3 answer the first card and the
// answer reaches Words.json, and closing and opening the review again brings back the same window.

#include "Fakes/WordsFixture.h"
#include "Support/RunningLumivox.h"
#include "Support/XTestInjector.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <functional>
#include <optional>
#include <thread>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

std::optional<TreeWindow> titled(Display *d, qint64 pid, const QByteArray &title)
{
    for (const TreeWindow &w : windowsInTree(d, pid)) {
        if (w.title == title)
            return w;
    }
    return std::nullopt;
}

} // namespace

TEST(ReviewWindow, TheTraysReviewAnswersWithTheKeysAndReopensTheSameWindow)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d) << "the private session has no display";
    QProcess trayer;
    ASSERT_TRUE(startTrayPanel(d, trayer)) << "trayer is missing (scripts/install-deps.sh installs it) or took no tray";

    // Two words due an hour ago, one due next week.
    const QString folder = qEnvironmentVariable("LUMIVOX_APP_ID", QStringLiteral("app.lumivox"));
    QString wordsFile;
    std::vector<SavedWord> words;
    RunningLumivox app([&](const QString &dataHome) {
        const Date now = Date::fromDateTime(QDateTime::currentDateTimeUtc());
        for (const char *text : {"river", "stone", "cloud"}) {
            words.push_back(makeSaved({.word = QString::fromUtf8(text),
                                       .meaning = QString::fromUtf8(text) + QStringLiteral(" (es)"),
                                       .date = plusSeconds(now, -86400),
                                       .sentence = QStringLiteral("The %1 was there.").arg(QString::fromUtf8(text))}));
        }
        words[0].review.due = plusSeconds(now, -3600);
        words[1].review.due = plusSeconds(now, -1800);
        words[2].review.due = plusSeconds(now, 7 * 86400);
        QDir().mkpath(dataHome + u'/' + folder);
        wordsFile = dataHome + u'/' + folder + QStringLiteral("/Words.json");
        ASSERT_TRUE(WordBookStorage::write(words, wordsFile).ok());
    });
    ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();
    const QByteArray before = WordBookEnvironment::contents(wordsFile);
    ASSERT_FALSE(before.isEmpty());
    const qint64 pid = app.process.processId();
    const QRect icon = trayIconOf(d, pid);
    ASSERT_FALSE(icon.isEmpty()) << "the tray icon did not show";

    // "Review 2 Words", the second enabled item after the switch or the permission request, opens
    // the review of the two due words.
    ASSERT_TRUE(chooseInTrayMenu(d, icon, pid, 2)) << "the tray menu did not open";
    std::optional<TreeWindow> review;
    ASSERT_TRUE(spinUntil([&] { return (review = titled(d, pid, "Review")).has_value(); }, 10s)) << "no Review window";
    EXPECT_GE(review->frame.width(), 600);
    // No window manager here: the keyboard focus is handed over by hand, and held once it stays.
    ASSERT_TRUE(spinUntil(
        [&] {
            XSetInputFocus(d, review->window, RevertToParent, CurrentTime);
            XSync(d, False);
            std::this_thread::sleep_for(300ms);
            Window focus = 0;
            int revert = 0;
            XGetInputFocus(d, &focus, &revert);
            return focus == review->window;
        },
        10s))
        << "the Review window did not keep the keyboard focus";
    tapKey(d, "space");
    // "3" does nothing until the meaning shows, and nothing on the next card's question: it is
    // pressed until the answer is saved (a few seconds after the change), and answers exactly once.
    QByteArray after;
    spinUntil(
        [&] {
            tapKey(d, "3");
            std::this_thread::sleep_for(500ms);
            after = WordBookEnvironment::contents(wordsFile);
            return !after.isEmpty() && after != before;
        },
        20s);
    ASSERT_NE(after, before) << "the answer did not reach Words.json";
    const QJsonArray saved = QJsonDocument::fromJson(after).object().value(QStringLiteral("saved")).toArray();
    int answered = 0;
    for (const QJsonValue &value : saved) {
        if (value.toObject().value(QStringLiteral("review")).toObject().value(QStringLiteral("streak")).toInt() == 1)
            ++answered;
    }
    EXPECT_EQ(answered, 1) << after.toStdString();

    // Closed as a window manager closes it, then opened again from the tray: the same window.
    XEvent close {};
    close.xclient.type = ClientMessage;
    close.xclient.window = review->window;
    close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, review->window, False, NoEventMask, &close);
    XFlush(d);
    ASSERT_TRUE(spinUntil([&] { return !titled(d, pid, "Review"); }, 10s)) << "the Review window did not close";
    ASSERT_TRUE(chooseInTrayMenu(d, icon, pid, 2)) << "the tray menu did not open again";
    std::optional<TreeWindow> again;
    ASSERT_TRUE(spinUntil([&] { return (again = titled(d, pid, "Review")).has_value(); }, 10s))
        << "the review did not open again";
    // Qt gives a closed window a new native window when it is shown again; the window itself, with
    // its place, is the one that was closed.
    EXPECT_EQ(again->frame.topLeft(), review->frame.topLeft()) << "the same window, where it was";

    trayer.kill();
    trayer.waitForFinished(5000);
    XCloseDisplay(d);
}
