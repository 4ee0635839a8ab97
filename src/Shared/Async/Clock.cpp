#include "Shared/Async/Clock.h"

#include <QPointer>
#include <QTimer>

namespace Lumivox {

namespace {

class SystemClock final : public Clock
{
public:
    Instant now() const override { return std::chrono::steady_clock::now(); }
    WallTime wallNow() const override { return std::chrono::system_clock::now(); }

    TimerHandle schedule(Duration delay, QObject *context, std::function<void()> fn) override
    {
        auto cancelled = std::make_shared<std::atomic<bool>>(false);
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(std::max(delay, Duration::zero()));
        QPointer<QObject> guard(context);
        // QTimer::singleShot with a context object runs the functor on that object's thread.
        QMetaObject::invokeMethod(
            context,
            [ms, guard, cancelled, fn = std::move(fn)]() mutable {
                if (!guard)
                    return;
                QTimer::singleShot(ms, Qt::PreciseTimer, guard.data(), [cancelled, fn = std::move(fn)] {
                    if (!cancelled->load())
                        fn();
                });
            },
            Qt::AutoConnection);
        return TimerHandle(cancelled);
    }
};

} // namespace

std::shared_ptr<Clock> Clock::system()
{
    static const std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
    return clock;
}

} // namespace Lumivox
