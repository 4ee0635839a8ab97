// The keychain on a session bus where no secret service exists or can be started: a bus of our own
// without service files. Every call must fail at once with a clear reason, never hang.

#include "Native/Secrets/Secrets.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Support/TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Lumivox;
using Status = Native::Secrets::Status;

// These tests need no display, and the xcb platform's keymap set-up trips the sanitizer's strict
// string checks inside libxkbcommon; run the test program's application object off-screen.
[[maybe_unused]] static const bool offscreenPlatform =
    qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qputenv("QT_QPA_PLATFORM", "offscreen");

class NoSecretService : public ::testing::Test
{
protected:
    static inline QTemporaryDir *dir = nullptr;
    static inline QProcess *bus = nullptr;

    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        const QString config = dir->filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                       .arg(dir->filePath(QStringLiteral("bus")))
                       .toUtf8());
        file.close();

        bus = new QProcess;
        bus->start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + config, QStringLiteral("--print-address=1"),
                    QStringLiteral("--nofork")});
        ASSERT_TRUE(bus->waitForStarted(5000)) << "dbus-daemon did not start";
        ASSERT_TRUE(Testing::spinUntil([] { return bus->canReadLine(); })) << "dbus-daemon printed no address";
        const QByteArray address = bus->readLine().trimmed();
        ASSERT_FALSE(address.isEmpty());
        // Read on the first use of the session bus by the secret store, which comes after this.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    }

    static void TearDownTestSuite()
    {
        if (bus) {
            bus->kill();
            bus->waitForFinished(5000);
        }
        delete bus;
        delete dir;
    }
};

TEST_F(NoSecretService, TheBackendSaysThereIsNoServiceAtOnce)
{
    auto secrets = Native::Secrets::makeDefault();
    for (const auto &outcome : {secrets->read(QStringLiteral("s"), QStringLiteral("a"), std::chrono::seconds(20)),
                                secrets->write(QStringLiteral("s"), QStringLiteral("a"), QStringLiteral("label"), "x",
                                               std::chrono::seconds(20)),
                                secrets->remove(QStringLiteral("s"), QStringLiteral("a"), std::chrono::seconds(20))}) {
        EXPECT_EQ(outcome.status, Status::noService) << outcome.message.toStdString();
        EXPECT_TRUE(outcome.message.contains(QStringLiteral("org.freedesktop.secrets")))
            << outcome.message.toStdString();
    }
}

TEST_F(NoSecretService, TheKeychainFailsWithADetailAndCachesNothing)
{
    const QString service = QStringLiteral("app.lumivox.license");
    const QString account = QStringLiteral("googleTranslateAPIKey");
    const auto read = Testing::await(KeychainStorage::load(account, service));
    EXPECT_EQ(read.value, std::nullopt);
    ASSERT_TRUE(read.failure);
    EXPECT_EQ(read.failure->status, Status::noService);
    EXPECT_TRUE(read.failure->detail.startsWith(QStringLiteral("no secret service: ")))
        << read.failure->detail.toStdString();

    const auto saved = Testing::await(KeychainStorage::save(account, QStringLiteral("key"), service));
    ASSERT_TRUE(saved.failure);
    EXPECT_EQ(saved.failure->status, Status::noService);
    EXPECT_EQ(KeychainStorage::get(account, service), std::nullopt);
}

// A session bus that goes away (a logout, a crashed bus) while the program lives: GLib would end the
// whole process from the connection it made for the secret service; for us it is an error value.
TEST_F(NoSecretService, ABusThatGoesAwayIsAnErrorNotTheEndOfTheProgram)
{
    auto secrets = Native::Secrets::makeDefault();
    const auto before = secrets->read(QStringLiteral("s"), QStringLiteral("a"), std::chrono::seconds(20));
    EXPECT_EQ(before.status, Status::noService);

    bus->kill();
    ASSERT_TRUE(bus->waitForFinished(5000));
    // Every call after the loss iterates the backend's context, where the dead connection reports its
    // closing; the process must still be here to see each answer.
    for (int i = 0; i < 5; ++i) {
        const auto after = secrets->read(QStringLiteral("s"), QStringLiteral("a"), std::chrono::seconds(20));
        EXPECT_NE(after.status, Status::success) << after.message.toStdString();
    }
}
