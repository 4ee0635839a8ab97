// The real program in the desktop's colour scheme, as the settings portal of the private session
// states it: the Words window's sidebar, list and detail, the Words settings pane's key cap and the
// tray menu each take background and text from one scheme, after a live switch, from the start, and
// from a start whose first question to the portal went unanswered. Measured on the pixels on screen: a text is readable
// when enough of its pixels stand far from the background in lightness. With LUMIVOX_SCREENSHOTS_DIR set, the pictures
// measured are written there.

#include "Fakes/WordsFixture.h"
#include "Features/Design/Brand.h"
#include "Support/DesktopScheme.h"
#include "Support/RunningLumivox.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusVariant>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <csignal>
#include <map>
#include <optional>
#include <thread>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

QImage grab(const QRect &frame)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
        .toImage();
}

void keep(const QImage &image, const QString &name)
{
    const QString folder = qEnvironmentVariable("LUMIVOX_SCREENSHOTS_DIR");
    if (!folder.isEmpty())
        image.save(folder + QStringLiteral("/system-") + name + QStringLiteral(".png"));
}

// One part of a picture: the lightness of its commonest colour (its background) and how many of its
// pixels stand at least 100 from it (text in the primary or secondary tone does, in either scheme;
// light text on a light surface, or dark on a dark one, does not).
struct Reading
{
    int background = -1;
    int ink = 0;
};

Reading read(const QImage &image, const QRect &area)
{
    std::map<QRgb, int> counts;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000u];
    }
    if (counts.empty())
        return {};
    const auto commonest = std::max_element(counts.begin(), counts.end(),
                                            [](const auto &a, const auto &b) { return a.second < b.second; });
    Reading reading;
    reading.background = QColor(commonest->first).lightness();
    for (const auto &[colour, count] : counts) {
        if (std::abs(QColor(colour).lightness() - reading.background) >= 100)
            reading.ink += count;
    }
    return reading;
}

// Readable in `dark` or light: the background in the scheme, and text standing out of it.
::testing::AssertionResult readable(const QImage &image, const QRect &area, bool dark, const char *part)
{
    const Reading r = read(image, area);
    const bool inScheme = dark ? r.background >= 0 && r.background < 90 : r.background > 170;
    if (inScheme && r.ink >= 25)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << part << " in the " << (dark ? "dark" : "light")
                                         << " scheme: background lightness " << r.background << ", " << r.ink
                                         << " pixels of readable ink";
}

std::optional<TreeWindow> windowOf(Display *d, qint64 pid, const std::function<bool(const QRect &)> &accept)
{
    for (const TreeWindow &window : windowsInTree(d, pid)) {
        if (accept(window.frame))
            return window;
    }
    return std::nullopt;
}

std::optional<QRect> frameOf(Display *d, qint64 pid, const std::function<bool(const QRect &)> &accept)
{
    const auto window = windowOf(d, pid, accept);
    return window ? std::optional<QRect>(window->frame) : std::nullopt;
}

// The key cap of the Words settings pane: a small face in the control colour with its letter on it.
// Every such face (the empty boxes of check boxes are faces too, with nothing on them) that holds
// a mark must hold readable ink; false when no face holds a mark at all (the pane is not on show).
::testing::AssertionResult keyCapReadable(const QImage &image, const QColor &face)
{
    const QRgb target = face.rgb();
    std::vector<bool> seen(size_t(image.width()) * size_t(image.height()), false);
    int caps = 0;
    for (int y0 = 0; y0 < image.height(); ++y0) {
        for (int x0 = 0; x0 < image.width(); ++x0) {
            if (seen[size_t(y0) * image.width() + x0] || (image.pixel(x0, y0) | 0xFF000000u) != target)
                continue;
            // The face's extent, by a flood fill over its colour.
            QRect box(x0, y0, 1, 1);
            std::vector<QPoint> todo {{x0, y0}};
            seen[size_t(y0) * image.width() + x0] = true;
            while (!todo.empty()) {
                const QPoint p = todo.back();
                todo.pop_back();
                box |= QRect(p, QSize(1, 1));
                for (const QPoint next : {p + QPoint(1, 0), p - QPoint(1, 0), p + QPoint(0, 1), p - QPoint(0, 1)}) {
                    if (!image.rect().contains(next))
                        continue;
                    const size_t at = size_t(next.y()) * image.width() + next.x();
                    if (!seen[at] && (image.pixel(next) | 0xFF000000u) == target) {
                        seen[at] = true;
                        todo.push_back(next);
                    }
                }
            }
            // A cap is about a line of text high; larger faces are tiles behind symbols.
            if (box.width() < 12 || box.height() < 12 || box.width() > 28 || box.height() > 28)
                continue;
            int marks = 0;
            for (int y = box.top() + 2; y <= box.bottom() - 2; ++y) {
                for (int x = box.left() + 2; x <= box.right() - 2; ++x) {
                    if (std::abs(QColor(image.pixel(x, y)).lightness() - face.lightness()) >= 20)
                        ++marks;
                }
            }
            if (marks == 0)
                continue;
            ++caps;
            const Reading r = read(image, box.adjusted(2, 2, -2, -2));
            if (r.ink < 10) {
                return ::testing::AssertionFailure() << "the key cap at " << box.x() << "," << box.y() << ": " << marks
                                                     << " pixels of its letter, " << r.ink << " of them readable";
            }
        }
    }
    if (caps == 0)
        return ::testing::AssertionFailure() << "no key cap in the control colour";
    return ::testing::AssertionSuccess();
}

// Brings the window forward and gives it the keyboard (no window manager here does), waiting until
// the focus stays.
bool focus(Display *d, unsigned long window)
{
    return spinUntil(
        [&] {
            XRaiseWindow(d, window);
            XSetInputFocus(d, window, RevertToParent, CurrentTime);
            XSync(d, False);
            std::this_thread::sleep_for(300ms);
            Window focused = 0;
            int revert = 0;
            XGetInputFocus(d, &focused, &revert);
            return focused == window;
        },
        10s);
}

void pressWithControl(Display *d, const char *key)
{
    const KeyCode control = XKeysymToKeycode(d, XStringToKeysym("Control_L"));
    XTestFakeKeyEvent(d, control, True, CurrentTime);
    tapKey(d, key);
    XTestFakeKeyEvent(d, control, False, CurrentTime);
    XFlush(d);
}

void closeWindow(Display *d, unsigned long window)
{
    XEvent close {};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, window, False, NoEventMask, &close);
    XFlush(d);
}

std::optional<TreeWindow> titled(Display *d, qint64 pid, const QByteArray &title)
{
    for (const TreeWindow &w : windowsInTree(d, pid)) {
        if (w.title == title)
            return w;
    }
    return std::nullopt;
}

bool isWordsWindow(const QRect &frame)
{
    return frame.width() >= 800 && frame.height() >= 500;
}

bool isMenu(const QRect &frame)
{
    return frame.height() > 200 && frame.width() < 400;
}

// The book on show: saved words and a history, so that every part of the window holds text.
void prepareBook(const QString &dataHome)
{
    const Date now = Date::fromDateTime(QDateTime::currentDateTimeUtc());
    std::vector<SavedWord> saved;
    std::deque<WordLookup> history;
    for (const char *text : {"river", "stone", "cloud", "harbour"}) {
        const LookupFields fields {.word = QString::fromUtf8(text),
                                   .meaning = QString::fromUtf8(text) + QStringLiteral(" (es)"),
                                   .date = plusSeconds(now, -86400),
                                   .target = QStringLiteral("es"),
                                   .sentence = QStringLiteral("The %1 was there.").arg(QString::fromUtf8(text)),
                                   .grammarTag = QStringLiteral("Noun")};
        SavedWord word = makeSaved(fields);
        word.review.due = plusSeconds(now, 7 * 86400);
        saved.push_back(word);
        history.push_back(makeLookup(fields));
    }
    const QString folder = dataHome + u'/' + qEnvironmentVariable("LUMIVOX_APP_ID", QStringLiteral("app.lumivox"));
    QDir().mkpath(folder);
    ASSERT_TRUE(WordBookStorage::write(saved, folder + QStringLiteral("/Words.json")).ok());
    ASSERT_TRUE(WordBookStorage::rewrite(history, folder + QStringLiteral("/History.jsonl")).ok());
}

const QString portalName = QStringLiteral("org.freedesktop.portal.Desktop");

// Holds the settings portal's name and answers no question: the program's first questions go
// unanswered past their wait, as when a busy machine is slow to start the portal they start.
class SilentPortal final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    bool take()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        return bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
                                  QDBusConnection::ExportAllSlots)
            && bus.registerService(portalName);
    }
    void release()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(portalName);
        bus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
    }

    QStringList asked;

public slots:
    QDBusVariant Read(const QString &group, const QString &key, const QDBusMessage &message)
    {
        asked << group + u' ' + key;
        message.setDelayedReply(true);
        return {};
    }
};

// Ends the session's portal if an earlier test started it, so that the next question starts it
// again; false when its name stays taken.
bool stopPortal()
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    if (!bus->isServiceRegistered(portalName).value())
        return true;
    const QDBusReply<uint> pid = bus->servicePid(portalName);
    if (!pid.isValid() || ::kill(pid_t(pid.value()), SIGTERM) != 0)
        return false;
    return spinUntil([&] { return !bus->isServiceRegistered(portalName).value(); }, 20s);
}

// The program over a book with words in it, a tray panel to hold its icon, and the ways to the
// parts that are measured.
class DarkScheme : public ::testing::Test
{
protected:
    void SetUp() override
    {
        d = XOpenDisplay(nullptr);
        ASSERT_TRUE(d) << "the private session has no display";
        ASSERT_TRUE(startTrayPanel(d, trayer))
            << "trayer is missing (scripts/install-deps.sh installs it) or took no tray";
    }
    void TearDown() override
    {
        setDesktopScheme("default");
        trayer.kill();
        trayer.waitForFinished(5000);
        if (d)
            XCloseDisplay(d);
    }

    // The Words window's columns: the sidebar at most 280 wide, the list from there at least 260;
    // the toolbar above them. Each part holds lines of text in the primary tone.
    void checkWords(const QRect &frame, bool dark, const QString &name)
    {
        // The window is measured once its repaint in the scheme has reached the screen.
        spinUntil(
            [&] {
                const QImage image = grab(frame);
                return readable(image, QRect(8, 60, 170, 220), dark, "the sidebar")
                    && readable(image, QRect(290, 60, 230, 300), dark, "the list")
                    && readable(image, QRect(740, 60, frame.width() - 760, 360), dark, "the detail");
            },
            10s);
        const QImage image = grab(frame);
        keep(image, name);
        EXPECT_TRUE(readable(image, QRect(8, 60, 170, 220), dark, "the sidebar"));
        EXPECT_TRUE(readable(image, QRect(290, 60, 230, 300), dark, "the list"));
        EXPECT_TRUE(readable(image, QRect(740, 60, frame.width() - 760, 360), dark, "the detail"));
    }
    // Opens the tray menu and measures it; it stays open.
    std::optional<QRect> checkOpenTrayMenu(RunningLumivox &app, const QRect &icon, bool dark, const QString &name)
    {
        const qint64 pid = app.process.processId();
        std::optional<QRect> menu;
        if (!openTrayMenu(d, icon, pid)
            || !spinUntil([&] { return (menu = frameOf(d, pid, isMenu)).has_value(); }, 10s)) {
            ADD_FAILURE() << "the tray menu did not open";
            return std::nullopt;
        }
        spinUntil([&] { return readable(grab(*menu), QRect(QPoint(), menu->size()), dark, "the tray menu"); });
        const QImage image = grab(*menu);
        keep(image, name);
        EXPECT_TRUE(readable(image, QRect(QPoint(), menu->size()), dark, "the tray menu"));
        return menu;
    }
    void checkTrayMenu(RunningLumivox &app, const QRect &icon, bool dark, const QString &name)
    {
        if (!checkOpenTrayMenu(app, icon, dark, name))
            return;
        tapKey(d, "Escape");
        EXPECT_TRUE(spinUntil([&] { return !frameOf(d, app.process.processId(), isMenu); }, 10s))
            << "the tray menu did not close";
    }
    void checkKeyCap(const TreeWindow &settings, const QString &name)
    {
        const QColor darkFace = Brand::controlBackground().resolved(ColorScheme::dark);
        spinUntil([&] { return bool(keyCapReadable(grab(settings.frame), darkFace)); }, 10s);
        const QImage image = grab(settings.frame);
        keep(image, name);
        EXPECT_TRUE(keyCapReadable(image, darkFace));
    }
    // Once Settings is open, its fourth tab is the Words pane.
    std::optional<TreeWindow> openWordsPane(RunningLumivox &app)
    {
        std::optional<TreeWindow> settings;
        spinUntil([&] { return (settings = titled(d, app.process.processId(), "Lumivox Settings")).has_value(); }, 20s);
        if (!settings)
            return settings;
        EXPECT_TRUE(focus(d, settings->window)) << "the Settings window did not keep the keyboard focus";
        for (int i = 0; i < 3; ++i)
            pressWithControl(d, "Tab");
        return settings;
    }
    std::optional<QRect> openWordsWindow(RunningLumivox &app, const QRect &icon)
    {
        const qint64 pid = app.process.processId();
        std::optional<QRect> words;
        // "Words…": the second enabled item, after the switch.
        if (chooseInTrayMenu(d, icon, pid, 2))
            spinUntil([&] { return (words = frameOf(d, pid, isWordsWindow)).has_value(); }, 10s);
        return words;
    }

    Display *d = nullptr;
    QProcess trayer;
};

} // namespace

// A first start on a dark desktop whose settings portal is slow to come up: the program's first
// question about the scheme goes unanswered, and the portal answers only once it has started. The
// program asks again and is dark all the same: the tray menu, Settings opened from it with its key,
// and the Words window.
TEST_F(DarkScheme, AStartBeforeThePortalAnswersComesUpDarkOnceItDoes)
{
    ASSERT_TRUE(stopPortal()) << "the settings portal of an earlier test did not end";
    ASSERT_TRUE(setDesktopScheme("prefer-dark"));
    SilentPortal silent;
    ASSERT_TRUE(silent.take()) << "the portal's name is taken";

    RunningLumivox app(QByteArray(RunningLumivox::everydayPreferences), prepareBook);
    ASSERT_TRUE(app.waitForLog("asking again for color-scheme", 30s)) << app.logText();
    EXPECT_TRUE(silent.asked.contains(QStringLiteral("org.freedesktop.appearance color-scheme")))
        << silent.asked.join(u',').toStdString();
    EXPECT_FALSE(app.log.contains("colour scheme: dark"));
    // The portal comes up in the silent one's place, and says dark.
    silent.release();
    const QDBusMessage answer = askPortalForScheme();
    ASSERT_EQ(answer.type(), QDBusMessage::ReplyMessage) << "the settings portal did not start";
    ASSERT_TRUE(app.waitForLog("colour scheme: dark", 60s)) << app.logText();

    const qint64 pid = app.process.processId();
    const QRect icon = trayIconOf(d, pid);
    ASSERT_FALSE(icon.isEmpty()) << "the tray icon did not show";
    ASSERT_TRUE(checkOpenTrayMenu(app, icon, true, QStringLiteral("tray-menu-dark-late")));
    // Settings by its key, while the menu is open.
    pressWithControl(d, "comma");
    EXPECT_TRUE(spinUntil([&] { return !frameOf(d, pid, isMenu); }, 10s)) << "the tray menu stayed open";
    const std::optional<TreeWindow> settings = openWordsPane(app);
    ASSERT_TRUE(settings) << "Ctrl+, in the tray menu did not open Settings";
    checkKeyCap(*settings, QStringLiteral("settings-words-dark-late"));
    const std::optional<QRect> words = openWordsWindow(app, icon);
    ASSERT_TRUE(words) << "no Words window";
    checkWords(*words, true, QStringLiteral("words-dark-late"));
}

TEST_F(DarkScheme, EveryPartOfTheWordsWindowAndTheMenusReadsInTheDesktopsScheme)
{
    ASSERT_EQ(askPortalForScheme().type(), QDBusMessage::ReplyMessage) << "the settings portal did not start";
    ASSERT_TRUE(setDesktopScheme("default"));

    {
        RunningLumivox app(QByteArray(RunningLumivox::everydayPreferences), QStringList(), prepareBook);
        ASSERT_TRUE(app.waitUntilIdle()) << app.logText();
        const qint64 pid = app.process.processId();
        const QRect icon = trayIconOf(d, pid);
        ASSERT_FALSE(icon.isEmpty()) << "the tray icon did not show";
        const std::optional<TreeWindow> settings = openWordsPane(app);
        ASSERT_TRUE(settings) << "Settings did not open";
        const std::optional<QRect> words = openWordsWindow(app, icon);
        ASSERT_TRUE(words) << "no Words window";
        checkWords(*words, false, QStringLiteral("words-light"));

        ASSERT_TRUE(setDesktopScheme("prefer-dark"));
        ASSERT_TRUE(app.waitForLog("colour scheme: dark", 10s)) << app.logText();
        checkWords(*words, true, QStringLiteral("words-dark-live"));
        checkTrayMenu(app, icon, true, QStringLiteral("tray-menu-dark-live"));
        // The Words window covers Settings until it closes.
        closeWindow(d, windowOf(d, pid, isWordsWindow).value_or(TreeWindow {}).window);
        ASSERT_TRUE(spinUntil([&] { return !frameOf(d, pid, isWordsWindow); }, 10s)) << "the Words window stayed";
        checkKeyCap(*settings, QStringLiteral("settings-words-dark-live"));
    }

    {
        // Started while the desktop prefers dark, the program opening Settings as a user's start does.
        RunningLumivox app(QByteArray(RunningLumivox::everydayPreferences), QStringList(), prepareBook);
        ASSERT_TRUE(app.waitUntilIdle()) << app.logText();
        const qint64 pid = app.process.processId();
        const QRect icon = trayIconOf(d, pid);
        ASSERT_FALSE(icon.isEmpty()) << "the tray icon did not show";
        const std::optional<TreeWindow> settings = openWordsPane(app);
        ASSERT_TRUE(settings) << "Settings did not open";
        checkKeyCap(*settings, QStringLiteral("settings-words-dark-start"));
        const std::optional<QRect> words = openWordsWindow(app, icon);
        ASSERT_TRUE(words) << "no Words window";
        checkWords(*words, true, QStringLiteral("words-dark-start"));
        checkTrayMenu(app, icon, true, QStringLiteral("tray-menu-dark-start"));
    }
}

#include "DarkSchemeTests.moc"
