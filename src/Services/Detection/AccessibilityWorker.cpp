#include "Services/Detection/AccessibilityWorker.h"

#include "Services/Filtering/WordFilter.h"

namespace Lumivox {

AccessibilityWorker::AccessibilityWorker()
    : m_queue(QStringLiteral("app.lumivox.accessibility"))
{ }

AccessibilityWorker::Lookup AccessibilityWorker::judged(AccessibilityTextService::LookupResult result,
                                                        bool skipNonWords)
{
    const AccessibilityTextService::HitResult *hit = result.hitResult();
    bool translatable = false;
    if (hit) {
        translatable = !skipNonWords || WordFilter::evaluate(hit->word, hit->fullText).isTranslatable();
    }
    return Lookup {std::move(result), translatable};
}

// Every job below is named before it is awaited: GCC 12 destroys a lambda with owning captures
// twice when it is written inside the co_await expression.

QCoro::Task<std::optional<WindowLookup::Hit>> AccessibilityWorker::window(QPointF at)
{
    auto job = m_queue.run([at] { return WindowLookup::window(at); });
    co_return co_await job;
}

QCoro::Task<std::optional<QString>> AccessibilityWorker::windowTitle(QPointF at)
{
    auto job = m_queue.run([at] { return AccessibilityTextService::windowTitle(at); });
    co_return co_await job;
}

QCoro::Task<> AccessibilityWorker::requestWebAccessibility(std::int32_t pid)
{
    auto job = m_queue.run([pid] { AccessibilityTextService::requestWebAccessibility(pid); });
    co_await job;
}

QCoro::Task<AccessibilityWorker::Lookup> AccessibilityWorker::lookupWord(QPointF at, std::optional<double> primaryMaxY,
                                                                         bool skipNonWords, std::stop_token stop)
{
    auto job = m_queue.run([at, primaryMaxY, skipNonWords, stop] {
        return judged(AccessibilityTextService::lookupWord(at, primaryMaxY, stop), skipNonWords);
    });
    co_return co_await job;
}

QCoro::Task<AccessibilityWorker::Lookup> AccessibilityWorker::lookupWordInProcess(std::int32_t pid, QPointF at,
                                                                                  std::optional<double> primaryMaxY,
                                                                                  bool hitTestAgain, bool skipNonWords,
                                                                                  std::stop_token stop)
{
    auto job = m_queue.run([pid, at, primaryMaxY, hitTestAgain, skipNonWords, stop] {
        return judged(AccessibilityTextService::lookupWordInProcess(pid, at, primaryMaxY, hitTestAgain, stop),
                      skipNonWords);
    });
    co_return co_await job;
}

} // namespace Lumivox
