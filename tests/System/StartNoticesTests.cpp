// The real program in the private session, whose panel has no tray (no trayer runs): a start by the
// user opens Settings (with the program's icon) and a start at login opens nothing, and either tells
// the user once, by a notification that the session's daemon (dunst) takes, how to reach Lumivox; a
// word list, a diagnostics file and lines of a history it cannot read are kept aside and named in a
// notification of its own.

#include "Services/Words/WordBookStorage.h"
#include "Support/NotificationWatch.h"
#include "Support/RunningLumivox.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>

#include <X11/Xlib.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

// What dunst holds: shown, waiting to be shown, and already gone to its history.
int dunstCount()
{
    int total = 0;
    for (const char *which : {"displayed", "waiting", "history"}) {
        QProcess ctl;
        ctl.start(QStringLiteral("dunstctl"), {QStringLiteral("count"), QString::fromLatin1(which)});
        if (!ctl.waitForFinished(5000))
            return -1;
        total += QString::fromUtf8(ctl.readAllStandardOutput()).trimmed().toInt();
    }
    return total;
}

const QString noTray = QStringLiteral("Your panel has no tray");

// The largest side among the images of a window's _NET_WM_ICON (width, height, pixels, …).
unsigned long largestIconSide(Display *d, unsigned long window)
{
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *value = nullptr;
    if (XGetWindowProperty(d, window, XInternAtom(d, "_NET_WM_ICON", False), 0, 1 << 22, False, AnyPropertyType, &type,
                           &format, &items, &after, &value)
            != Success
        || !value)
        return 0;
    const auto *data = reinterpret_cast<const unsigned long *>(value);
    unsigned long largest = 0;
    for (unsigned long i = 0; i + 2 <= items && data[i] > 0 && data[i + 1] > 0;) {
        largest = std::max(largest, data[i]);
        i += 2 + data[i] * data[i + 1];
    }
    XFree(value);
    return largest;
}

struct DisplayConnection
{
    Display *display = XOpenDisplay(nullptr);
    ~DisplayConnection()
    {
        if (display)
            XCloseDisplay(display);
    }
};

} // namespace

TEST(StartNotices, AStartByTheUserWithoutATrayOpensSettingsAndNotifiesOnce)
{
    DisplayConnection x;
    ASSERT_TRUE(x.display);
    NotificationWatch watch;
    ASSERT_TRUE(watch.started()) << "dbus-monitor did not start";
    const int before = dunstCount();
    ASSERT_GE(before, 0) << "dunstctl did not answer";

    RunningLumivox app(RunningLumivox::everydayPreferences, QStringList {});
    ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();
    unsigned long settings = 0;
    EXPECT_TRUE(spinUntil(
        [&] { return (settings = windowTitled(x.display, app.process.processId(), "Lumivox Settings")) != 0; }, 20s))
        << "Settings did not open";
    // The program's icon, for the window list and Alt+Tab, in sizes up to a large one.
    EXPECT_GE(largestIconSide(x.display, settings), 128u);
    ASSERT_TRUE(spinUntil([&] { return watch.callsContaining(noTray).size() == 1; }, 20s)) << app.log.toStdString();
    EXPECT_TRUE(spinUntil([&] { return dunstCount() == before + 1; }, 10s)) << "dunst did not take it";
    spinUntil([] { return false; }, 1500ms);
    EXPECT_EQ(watch.calls().size(), 1) << watch.calls().join(QStringLiteral("---\n")).toStdString();
}

// At login nothing opens; every file that cannot be read is kept aside and named at once, and the
// missing tray is told once a panel starting beside the program has had time to take its icon.
TEST(StartNotices, AStartAtLoginOpensNoWindowButTellsOfTheKeptFilesAndTheTray)
{
    DisplayConnection x;
    ASSERT_TRUE(x.display);
    NotificationWatch watch;
    ASSERT_TRUE(watch.started()) << "dbus-monitor did not start";
    QString folder;
    RunningLumivox app(RunningLumivox::everydayPreferences, QStringList {QStringLiteral("--autostart")},
                       [&](const QString &dataHome) {
                           folder = dataHome + QStringLiteral("/app.lumivox");
                           QDir().mkpath(folder);
                           WordBookEnvironment::put(folder + u'/' + WordBookStorage::savedFileName,
                                                    R"({"version":1,"saved":[{"word":)");
                           // One look-up cut short among whole ones.
                           const QByteArray whole = WordRecords::encode(lookup(QStringLiteral("house"), Date {}));
                           WordBookEnvironment::put(folder + u'/' + WordBookStorage::historyFileName,
                                                    whole + "\n{\"id\":\"7A2\n" + whole + "\n");
                           QDir().mkpath(dataHome + QStringLiteral("/Lumivox"));
                           WordBookEnvironment::put(dataHome + QStringLiteral("/Lumivox/diagnostics.json"), "{");
                       });
    ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();
    const QString keptLine = QStringLiteral("Words.json is kept as");
    ASSERT_TRUE(spinUntil([&] { return !watch.callsContaining(keptLine).isEmpty(); }, 20s))
        << watch.calls().join(QStringLiteral("---\n")).toStdString();
    const QString notice = watch.callsContaining(keptLine).value(0);
    // Each file under the name it was kept as.
    for (const auto &[where, pattern] :
         {std::pair {folder, QStringLiteral("Words-unreadable-*.json")},
          std::pair {folder, QStringLiteral("History-unreadable-*.jsonl")},
          std::pair {app.data.path() + QStringLiteral("/Lumivox"), QStringLiteral("diagnostics-unreadable-*.json")}}) {
        const QStringList kept = QDir(where).entryList({pattern}, QDir::Files);
        ASSERT_EQ(kept.size(), 1) << QDir(where).entryList().join(u' ').toStdString();
        EXPECT_TRUE(notice.contains(kept.first())) << notice.toStdString();
    }
    EXPECT_TRUE(notice.contains(QStringLiteral("Lumivox kept 3 files it could not read"))) << notice.toStdString();

    ASSERT_TRUE(spinUntil([&] { return watch.callsContaining(noTray).size() == 1; }, 30s)) << app.log.toStdString();
    EXPECT_EQ(watch.calls().size(), 2) << "each told once";
    EXPECT_TRUE(windowsOf(x.display, app.process.processId()).empty()) << "a window opened at login";
}
