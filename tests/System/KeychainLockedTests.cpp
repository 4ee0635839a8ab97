// The keychain when the keyring of the private session is locked. Reading must say so without asking
// for a password; saving asks (the desktop's password dialog appears on the session's display) and
// must give up at its time-out rather than wait for someone to type.

#include "Shared/Platform/KeychainStorage.h"
#include "Support/TestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Lumivox;
using Status = Native::Secrets::Status;

// These tests need no display, and the xcb platform's keymap set-up trips the sanitizer's strict
// string checks inside libxkbcommon; run the test program's application object off-screen.
[[maybe_unused]] static const bool offscreenPlatform =
    qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qputenv("QT_QPA_PLATFORM", "offscreen");

namespace {

int run(const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return -1;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(10000)) {
        process.kill();
        return -1;
    }
    return process.exitCode();
}

const QString service = QStringLiteral("app.lumivox.test");
const QString account = QStringLiteral("locked-key");

} // namespace

class LockedKeyring : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(run(QStringLiteral("secret-tool"),
                      {QStringLiteral("store"), QStringLiteral("--label=t"), QStringLiteral("service"), service,
                       QStringLiteral("account"), account},
                      "stored-before-locking"),
                  0);
        ASSERT_EQ(run(QStringLiteral("gdbus"),
                      {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                       QStringLiteral("org.freedesktop.secrets"), QStringLiteral("--object-path"),
                       QStringLiteral("/org/freedesktop/secrets"), QStringLiteral("--method"),
                       QStringLiteral("org.freedesktop.Secret.Service.Lock"),
                       QStringLiteral("['/org/freedesktop/secrets/collection/login']")}),
                  0)
            << "could not lock the session's keyring";
    }
};

TEST_F(LockedKeyring, ReadingSaysLockedWithoutAskingForAPassword)
{
    const auto read = Testing::await(KeychainStorage::load(account, service));
    EXPECT_EQ(read.value, std::nullopt);
    ASSERT_TRUE(read.failure);
    // A password dialog would have held the read until its time-out.
    EXPECT_EQ(read.failure->status, Status::locked) << read.failure->detail.toStdString();

    // Not cached: once unlocked, the key is found without a restart.
    EXPECT_EQ(KeychainStorage::get(account, service), std::nullopt);
}

TEST_F(LockedKeyring, SavingGivesUpAtItsTimeOutWhileTheUIKeepsRunning)
{
    KeychainStorage::setTimeouts({std::chrono::milliseconds(3000), std::chrono::milliseconds(1500)});
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(50);

    QElapsedTimer elapsed;
    elapsed.start();
    const auto saved = Testing::await(KeychainStorage::save(account, QStringLiteral("new-key"), service));
    const auto took = elapsed.elapsed();

    ASSERT_TRUE(saved.failure);
    EXPECT_EQ(saved.failure->status, Status::timedOut) << saved.failure->detail.toStdString();
    EXPECT_GE(took, 1500);
    // The event loop went on while the store waited for the password dialog.
    EXPECT_GE(ticks, 10);
    EXPECT_EQ(KeychainStorage::get(account, service), std::nullopt);
}
