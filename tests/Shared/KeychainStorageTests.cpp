#include "Fakes/FakeSecrets.h"
#include "Native/Services.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Lumivox;
using Status = Native::Secrets::Status;

namespace {

// The cache lives as long as the process, so every test uses a service of its own.
class KeychainStorageTest : public ::testing::Test
{
protected:
    std::shared_ptr<Testing::FakeSecrets> secrets = std::make_shared<Testing::FakeSecrets>();
    Native::ScopedOverride<Native::Secrets> fake {secrets};
    const QString service = QStringLiteral("test.%1").arg(
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    const QString account = QStringLiteral("googleTranslateAPIKey");

    KeychainStorage::ReadResult load() { return Testing::await(KeychainStorage::load(account, service)); }
    KeychainStorage::WriteResult save(const QString &value)
    {
        return Testing::await(KeychainStorage::save(account, value, service));
    }
    KeychainStorage::WriteResult remove() { return Testing::await(KeychainStorage::remove(account, service)); }
};

} // namespace

TEST_F(KeychainStorageTest, AMissingItemIsAskedForOnce)
{
    const auto first = load();
    EXPECT_EQ(first.value, std::nullopt);
    EXPECT_FALSE(first.failure);
    EXPECT_EQ(KeychainStorage::get(account, service), std::nullopt);
    EXPECT_EQ(load().value, std::nullopt);
    EXPECT_EQ(secrets->readsOf(service), 1);
}

TEST_F(KeychainStorageTest, SaveAndRemoveKeepTheCacheCurrentWithoutReading)
{
    ASSERT_TRUE(save(QStringLiteral("key-1")));
    EXPECT_EQ(KeychainStorage::get(account, service), QStringLiteral("key-1"));
    ASSERT_TRUE(save(QStringLiteral("key-2 ünïcode")));
    EXPECT_EQ(KeychainStorage::get(account, service), QStringLiteral("key-2 ünïcode"));
    EXPECT_EQ(secrets->item(service, account), QStringLiteral("key-2 ünïcode").toUtf8());
    ASSERT_TRUE(remove());
    EXPECT_EQ(KeychainStorage::get(account, service), std::nullopt);
    EXPECT_TRUE(remove()) << "removing a missing item succeeds";
    EXPECT_EQ(secrets->readsOf(service), 0);
}

TEST_F(KeychainStorageTest, BytesThatAreNotUTF8ReadAsNoKeyAndThatIsFinal)
{
    secrets->put(service, account, QByteArray("\xff\xfe key", 6));
    EXPECT_EQ(load().value, std::nullopt);
    EXPECT_EQ(load().value, std::nullopt);
    EXPECT_EQ(secrets->readsOf(service), 1);
}

TEST_F(KeychainStorageTest, FailedReadsAreNotCachedAndSayWhy)
{
    secrets->put(service, account, "key");
    secrets->failWith(Status::locked);
    const auto locked = load();
    EXPECT_EQ(locked.value, std::nullopt);
    ASSERT_TRUE(locked.failure);
    EXPECT_EQ(locked.failure->status, Status::locked);
    EXPECT_FALSE(locked.failure->detail.isEmpty());

    secrets->failWith(std::nullopt);
    EXPECT_EQ(load().value, QStringLiteral("key"));
    EXPECT_EQ(secrets->readsOf(service), 2);
}

TEST_F(KeychainStorageTest, FailedWritesLeaveTheCacheAlone)
{
    ASSERT_TRUE(save(QStringLiteral("old")));
    secrets->failWith(Status::noService);
    const auto saved = save(QStringLiteral("new"));
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.failure->status, Status::noService);
    EXPECT_FALSE(remove());
    EXPECT_EQ(KeychainStorage::get(account, service), QStringLiteral("old"));
}

TEST_F(KeychainStorageTest, TextThatCannotBeEncodedIsNotStored)
{
    const QString loneSurrogate = QStringLiteral("key") + QChar(0xD800);
    EXPECT_FALSE(save(loneSurrogate));
    EXPECT_EQ(secrets->writes.load(), 0);
}

TEST_F(KeychainStorageTest, TheUIThreadNeverWaitsForTheStore)
{
    secrets->put(service, account, "key");
    secrets->holdCalls();
    // The store stays blocked while get() runs; a get() that waited for it would only come back
    // when the watchdog lets the store go, long after any scheduling delay.
    std::atomic<bool> gotBack {false};
    std::atomic<bool> releasedByWatchdog {false};
    std::thread watchdog([&] {
        for (int i = 0; i < 300 && !gotBack.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!gotBack.load()) {
            releasedByWatchdog = true;
            secrets->releaseCalls();
        }
    });
    EXPECT_EQ(KeychainStorage::get(account, service), std::nullopt);
    EXPECT_EQ(KeychainStorage::get(account, service), std::nullopt);
    gotBack = true;
    watchdog.join();
    EXPECT_FALSE(releasedByWatchdog.load()) << "get waited for the store";
    secrets->releaseCalls();

    // The read started in the background fills the cache; every miss shared it.
    EXPECT_TRUE(Testing::spinUntil([&] { return KeychainStorage::get(account, service).has_value(); },
                                   std::chrono::seconds(30)));
    EXPECT_EQ(secrets->readsOf(service), 1);
}

TEST_F(KeychainStorageTest, OtherThreadsWaitForTheRead)
{
    secrets->put(service, account, "key");
    std::optional<QString> seen;
    std::thread worker([&] { seen = KeychainStorage::get(account, service); });
    worker.join();
    EXPECT_EQ(seen, QStringLiteral("key"));
}
