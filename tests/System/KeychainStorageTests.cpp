// The keychain against the real Secret Service of the private session: gnome-keyring with an unlocked
// "login" keyring. secret-tool (another client of the same service) checks what really got stored.

#include "Native/Secrets/Secrets.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Support/TestSupport.h"

#include <QProcess>
#include <QUuid>

#include <gtest/gtest.h>

using namespace Lumivox;
using Status = Native::Secrets::Status;

// These tests need no display, and the xcb platform's keymap set-up trips the sanitizer's strict
// string checks inside libxkbcommon; run the test program's application object off-screen.
[[maybe_unused]] static const bool offscreenPlatform =
    qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qputenv("QT_QPA_PLATFORM", "offscreen");

namespace {

struct ToolResult
{
    int exitCode = -1;
    QByteArray output;
};

ToolResult secretTool(const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(QStringLiteral("secret-tool"), arguments);
    if (!process.waitForStarted(5000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(10000)) {
        process.kill();
        return {};
    }
    return {process.exitCode(), process.readAllStandardOutput()};
}

class RealKeychain : public ::testing::Test
{
protected:
    const QString service = QStringLiteral("app.lumivox.test");
    // A fresh account per test: the storage's cache lives as long as the process.
    const QString account = QStringLiteral("key-") + QUuid::createUuid().toString(QUuid::WithoutBraces);

    ToolResult lookup() const
    {
        return secretTool(
            {QStringLiteral("lookup"), QStringLiteral("service"), service, QStringLiteral("account"), account});
    }
    int itemCount() const
    {
        const auto found = secretTool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("service"),
                                       service, QStringLiteral("account"), account});
        return int(found.output.count("\nlabel = ")) + (found.output.startsWith("label = ") ? 1 : 0);
    }
    void storeWithTool(const QByteArray &bytes) const
    {
        ASSERT_EQ(secretTool({QStringLiteral("store"), QStringLiteral("--label=other tool"), QStringLiteral("service"),
                              service, QStringLiteral("account"), account},
                             bytes)
                      .exitCode,
                  0);
    }
    KeychainStorage::ReadResult load() const { return Testing::await(KeychainStorage::load(account, service)); }
    KeychainStorage::WriteResult save(const QString &value) const
    {
        return Testing::await(KeychainStorage::save(account, value, service));
    }
};

} // namespace

TEST_F(RealKeychain, SavedKeysLandInTheKeyringAsOneItem)
{
    const auto first = save(QStringLiteral("AIza-first"));
    ASSERT_TRUE(first) << first.failure->detail.toStdString();
    EXPECT_EQ(lookup().output, "AIza-first");
    ASSERT_TRUE(save(QStringLiteral("AIza-second ✓")));
    EXPECT_EQ(lookup().output, QStringLiteral("AIza-second ✓").toUtf8());
    EXPECT_EQ(itemCount(), 1);
    EXPECT_EQ(KeychainStorage::get(account, service), QStringLiteral("AIza-second ✓"));
}

TEST_F(RealKeychain, ReadsAndOverwritesAnItemAnotherToolStored)
{
    storeWithTool("from-tool");
    const auto read = load();
    EXPECT_FALSE(read.failure);
    EXPECT_EQ(read.value, QStringLiteral("from-tool"));

    ASSERT_TRUE(save(QStringLiteral("ours")));
    EXPECT_EQ(itemCount(), 1);
    EXPECT_EQ(lookup().output, "ours");
}

TEST_F(RealKeychain, AMissingItemReadsAsNoKey)
{
    const auto missing = load();
    EXPECT_EQ(missing.value, std::nullopt);
    EXPECT_FALSE(missing.failure);
}

TEST_F(RealKeychain, BytesThatAreNotTextReadAsNoKey)
{
    storeWithTool(QByteArray("\xff\xfe\x01", 3));
    const auto garbled = load();
    EXPECT_EQ(garbled.value, std::nullopt);
    EXPECT_FALSE(garbled.failure);
}

TEST_F(RealKeychain, RemovingDeletesTheItemAndAMissingOneIsFine)
{
    ASSERT_TRUE(save(QStringLiteral("doomed")));
    const auto removed = Testing::await(KeychainStorage::remove(account, service));
    ASSERT_TRUE(removed) << removed.failure->detail.toStdString();
    EXPECT_EQ(lookup().exitCode, 1);
    EXPECT_EQ(KeychainStorage::get(account, service), std::nullopt);
    EXPECT_TRUE(Testing::await(KeychainStorage::remove(account, service)));
}

TEST_F(RealKeychain, TheBackendReportsEachOutcome)
{
    auto secrets = Native::Secrets::makeDefault();
    EXPECT_EQ(secrets->read(service, account, std::chrono::seconds(5)).status, Status::notFound);
    const QByteArray bytes("bytes\0inside", 12);
    const auto written = secrets->write(service, account, QStringLiteral("label"), bytes, std::chrono::seconds(5));
    EXPECT_TRUE(written.succeeded()) << written.message.toStdString();
    const auto read = secrets->read(service, account, std::chrono::seconds(5));
    EXPECT_EQ(read.status, Status::success);
    EXPECT_EQ(read.data, bytes);
    EXPECT_TRUE(secrets->remove(service, account, std::chrono::seconds(5)).succeeded());
    EXPECT_EQ(secrets->read(service, account, std::chrono::seconds(5)).status, Status::notFound);
}
