#pragma once

// The five frames of the first page's demonstration, in the order they loop: nothing held, the key
// going down, the pointer arriving on the word with its tooltip, reading it, the key let go. Each
// frame says how long it lasts and what the picture and the three mini steps show in it.

#include <array>
#include <chrono>
#include <optional>

namespace Lumivox {

enum class DemoPhase { idle, holding, pointing, reading, released };

namespace Demo {

inline constexpr std::array<DemoPhase, 5> allPhases {DemoPhase::idle, DemoPhase::holding, DemoPhase::pointing,
                                                     DemoPhase::reading, DemoPhase::released};

/// The frame after `phase`; after the last comes the first again.
DemoPhase next(DemoPhase phase);
std::chrono::milliseconds duration(DemoPhase phase);
bool isKeyDown(DemoPhase phase);
bool isPointing(DemoPhase phase);
bool showsTranslation(DemoPhase phase);
/// Which mini step (1 to 3) the frame highlights, none while nothing happens.
std::optional<int> activeStep(DemoPhase phase);

} // namespace Demo

} // namespace Lumivox
