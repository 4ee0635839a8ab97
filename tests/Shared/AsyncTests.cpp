#include "Fakes/FakeClock.h"
#include "Shared/Async/SerialExecutor.h"
#include "Support/TestSupport.h"

#include <QCoroTask>
#include <QObject>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Lumivox;

TEST(SerialExecutor, RunsJobsOneAtATimeInOrder)
{
    SerialExecutor executor(QStringLiteral("app.lumivox.test"));
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<int> overlap{0};
    for (int i = 0; i < 50; ++i) {
        executor.post([&, i] {
            if (running.fetch_add(1) != 0)
                overlap.fetch_add(1);
            order.push_back(i);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            running.fetch_sub(1);
        });
    }
    executor.drain();
    EXPECT_EQ(overlap.load(), 0);
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[i], i);
}

TEST(SerialExecutor, AwaitResumesOnTheCallersThread)
{
    SerialExecutor executor(QStringLiteral("app.lumivox.test"));
    const auto caller = std::this_thread::get_id();
    auto task = [&]() -> QCoro::Task<std::pair<bool, bool>> {
        const bool onWorker = co_await executor.run([&] { return executor.isCurrent(); });
        co_return std::pair{onWorker, std::this_thread::get_id() == caller};
    };
    const auto [onWorker, backHome] = Testing::await(task());
    EXPECT_TRUE(onWorker);
    EXPECT_TRUE(backHome);
}

TEST(SerialExecutor, RunBlockingFromTheWorkerDoesNotDeadlock)
{
    SerialExecutor executor(QStringLiteral("app.lumivox.test"));
    const int value = executor.runBlocking([&] { return executor.runBlocking([] { return 7; }); });
    EXPECT_EQ(value, 7);
}

TEST(FakeClock, RunsDueCallsInOrderAndSkipsCancelled)
{
    Testing::FakeClock clock;
    QObject context;
    std::vector<int> fired;
    clock.schedule(std::chrono::milliseconds(200), &context, [&] { fired.push_back(2); });
    clock.schedule(std::chrono::milliseconds(100), &context, [&] { fired.push_back(1); });
    auto handle = clock.schedule(std::chrono::milliseconds(150), &context, [&] { fired.push_back(99); });
    handle.cancel();
    clock.advance(std::chrono::milliseconds(150));
    EXPECT_EQ(fired, std::vector<int>{1});
    clock.advance(std::chrono::milliseconds(50));
    EXPECT_EQ(fired, (std::vector<int>{1, 2}));
}

TEST(SystemClock, ScheduledCallRunsOnContextThreadAndCancelStopsIt)
{
    auto clock = Clock::system();
    QObject context;
    bool ran = false;
    bool cancelledRan = false;
    clock->schedule(std::chrono::milliseconds(10), &context, [&] { ran = true; });
    clock->schedule(std::chrono::milliseconds(5), &context, [&] { cancelledRan = true; }).cancel();
    EXPECT_TRUE(Testing::spinUntil([&] { return ran; }));
    EXPECT_FALSE(cancelledRan);
}

TEST(SerialExecutor, NamedJobWithOwningCapturesIsDestroyedOnce)
{
    SerialExecutor executor(QStringLiteral("app.lumivox.test"));
    auto shared = std::make_shared<QString>(QStringLiteral("a text long enough to live on the heap"));
    auto task = [&]() -> QCoro::Task<qsizetype> {
        auto job = executor.run([shared] { return shared->size(); });
        co_return co_await job;
    };
    EXPECT_EQ(Testing::await(task()), shared->size());
    EXPECT_EQ(shared.use_count(), 1);
}
