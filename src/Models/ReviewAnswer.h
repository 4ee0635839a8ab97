#pragma once

namespace Lumivox {

/// The user's answer to one review of a saved word, in the order the review offers them.
enum class ReviewAnswer { again, hard, gotIt };

} // namespace Lumivox
