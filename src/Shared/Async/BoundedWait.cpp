#include "Shared/Async/BoundedWait.h"

#include <future>
#include <memory>
#include <thread>

namespace Lumivox {

bool runWithin(std::chrono::milliseconds limit, std::function<void()> job)
{
    // The promise lives with the thread, so an overrunning job still has it when it finishes.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread worker([done, job = std::move(job)] {
        job();
        done->set_value();
    });
    if (finished.wait_for(limit) == std::future_status::ready) {
        worker.join();
        return true;
    }
    worker.detach();
    return false;
}

} // namespace Lumivox
