#pragma once

// Waiting for blocking work at most so long: for the writes at quit, where a hung disk (a stale
// network mount, say) must not keep the program from ending.

#include <chrono>
#include <functional>

namespace Lumivox {

/// Runs `job` on a thread of its own and waits for it at most `limit`. True when it finished in
/// time. A job that overruns goes on by itself: it may only touch what lives until the process ends,
/// and the caller should end the process without waiting for it.
bool runWithin(std::chrono::milliseconds limit, std::function<void()> job);

} // namespace Lumivox
