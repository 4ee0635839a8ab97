// The review reminder against a notification server of our own on a private bus: what it schedules,
// when it shows it, and what a click on it does. The time rule is checked on its own in UTC.

#include "Fakes/FakeWordBookEnvironment.h"
#include "Native/Session/Notifications.h"
#include "Services/Words/ReviewReminder.h"
#include "Services/Words/WordBook.h"
#include "Support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QVariantMap>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

// Answers as the desktop's notification daemons do, and remembers what it was asked to show.
class FakeNotificationServer final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown
    {
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };
    std::vector<Shown> shown;

public slots:
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int)
    {
        shown.push_back({summary, body, actions, hints});
        return static_cast<uint>(shown.size()) + 40;
    }
};

// A session bus of the test's own, with no services to start on demand.
class PrivateBus
{
public:
    PrivateBus()
    {
        config.open();
        config.write(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>)");
        config.flush();
        daemon.start(QStringLiteral("dbus-daemon"),
                     QStringList {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                                  QStringLiteral("--print-address=1")});
        if (daemon.waitForReadyRead(5000))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-notification-server"));
        daemon.terminate();
        daemon.waitForFinished(3000);
    }
    QTemporaryFile config;
    QProcess daemon;
    QString address;
};

class ReviewReminderTest : public ::testing::Test, public WordBookEnvironment
{
public:
    PrivateBus bus;
    FakeNotificationServer server;

    // The server's own connection; the reminder talks over another, as another program would.
    bool startServer()
    {
        QDBusConnection connection =
            QDBusConnection::connectToBus(bus.address, QStringLiteral("fake-notification-server"));
        return connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                         QDBusConnection::ExportAllSlots)
            && connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    void click(uint id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"),
                                                         QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        QDBusConnection(QStringLiteral("fake-notification-server")).send(signal);
    }
    Date now() const { return Date::fromWallTime(clock->wallNow()); }
};

} // namespace

TEST(ReviewReminderTime, ACivilHourAtLeastAnHourAfterNow)
{
    const Calendar utc(QTimeZone::utc());
    struct Row
    {
        const char *name;
        Date due;
        Date now;
        Date expected;
    };
    const std::vector<Row> rows {
        {"due long ago: an hour from now", utcDate(2027, 1, 1), utcDate(2027, 3, 2, 10, 15),
         utcDate(2027, 3, 2, 11, 15)},
        {"due later today", utcDate(2027, 3, 2, 14, 30), utcDate(2027, 3, 2, 10), utcDate(2027, 3, 2, 14, 30)},
        {"early morning waits for nine", utcDate(2027, 3, 2, 5, 40), utcDate(2027, 3, 1, 22), utcDate(2027, 3, 2, 9)},
        {"one second before nine", utcDate(2027, 3, 2, 8, 59, 59), utcDate(2027, 3, 2, 1), utcDate(2027, 3, 2, 9)},
        {"the last minute of the day's hours", utcDate(2027, 3, 2, 19, 59), utcDate(2027, 3, 2, 10),
         utcDate(2027, 3, 2, 19, 59)},
        {"evening waits for the next morning", utcDate(2027, 3, 2, 20), utcDate(2027, 3, 2, 10),
         utcDate(2027, 3, 3, 9)},
        {"late at night, an hour from now is tomorrow's small hours", utcDate(2027, 1, 1), utcDate(2027, 3, 2, 23, 30),
         utcDate(2027, 3, 3, 9)},
        {"across a year's end", utcDate(2027, 12, 31, 21), utcDate(2027, 12, 31, 8), utcDate(2028, 1, 1, 9)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ReviewReminder::reminderDate(row.due, row.now, utc).toDateTime(), row.expected.toDateTime());
    }
}

TEST_F(ReviewReminderTest, OneReminderAtItsWholeMinuteReplacedOrDroppedWithTheQueueAndAClickOpensTheReview)
{
    ASSERT_FALSE(bus.address.isEmpty()) << "the private bus did not start";
    ReviewReminder reminder(Native::Notifications::overDBus(bus.address), clock);
    EXPECT_FALSE(Testing::await(reminder.requestPermission())) << "no service: no permission";
    ASSERT_TRUE(startServer());
    EXPECT_TRUE(Testing::await(reminder.requestPermission()));

    const std::unique_ptr<WordBook> book = makeBook();
    book->setRemindsToReview(true);
    reminder.update(*book, now());
    EXPECT_FALSE(reminder.pending()) << "nothing saved, nothing due";
    clock->advance(30s); // off the whole minute
    book->save(lookup(QStringLiteral("river"), now()), now());
    ASSERT_TRUE(book->nextDue());
    reminder.update(*book, now());
    reminder.update(*book, now()); // replaced, not added
    ASSERT_TRUE(reminder.pending());
    const Date at = *reminder.pending();
    EXPECT_EQ(std::fmod(at.secondsSinceReferenceDate + Date::referenceDateUnixSeconds, 60.0), 0.0);
    EXPECT_GE(at.secondsSinceReferenceDate, now().secondsSinceReferenceDate + ReviewReminder::leadSeconds - 60);

    // The wall clock jumps (a suspend): the minute check sees the time has come.
    clock->setWallNow(at.wallTime() - 1s);
    clock->advance(1min);
    ASSERT_TRUE(spinUntil([&] { return !server.shown.empty(); }));
    clock->advance(1h);
    QCoreApplication::processEvents();
    ASSERT_EQ(server.shown.size(), 1u);
    EXPECT_EQ(server.shown[0].summary, QStringLiteral("Words to review"));
    EXPECT_EQ(server.shown[0].body, QStringLiteral("Your saved words are ready. It takes about a minute."));
    EXPECT_TRUE(server.shown[0].actions.contains(QStringLiteral("default")));
    EXPECT_FALSE(reminder.pending());

    QSignalSpy clicked(&reminder, &ReviewReminder::clicked);
    click(999); // someone else's notification
    click(41);
    ASSERT_TRUE(spinUntil([&] { return clicked.count() > 0; }));
    EXPECT_EQ(clicked.count(), 1);

    // Switched off: the pending reminder goes and nothing more is shown.
    reminder.update(*book, now());
    EXPECT_TRUE(reminder.pending());
    book->setRemindsToReview(false);
    reminder.update(*book, now());
    EXPECT_FALSE(reminder.pending());
    clock->advance(48h);
    QCoreApplication::processEvents();
    EXPECT_EQ(server.shown.size(), 1u);
}

#include "ReviewReminderTests.moc"
