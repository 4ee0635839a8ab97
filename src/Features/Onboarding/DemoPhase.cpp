#include "Features/Onboarding/DemoPhase.h"

#include <algorithm>

namespace Lumivox::Demo {

using namespace std::chrono_literals;

DemoPhase next(DemoPhase phase)
{
    const auto *at = std::find(allPhases.begin(), allPhases.end(), phase);
    const auto *following = at + 1;
    return following == allPhases.end() ? allPhases.front() : *following;
}

std::chrono::milliseconds duration(DemoPhase phase)
{
    switch (phase) {
    case DemoPhase::idle:
        return 1100ms;
    case DemoPhase::holding:
    case DemoPhase::pointing:
        return 900ms;
    case DemoPhase::reading:
        return 1600ms;
    case DemoPhase::released:
        return 1200ms;
    }
    return 1000ms;
}

bool isKeyDown(DemoPhase phase)
{
    return phase == DemoPhase::holding || phase == DemoPhase::pointing || phase == DemoPhase::reading;
}

bool isPointing(DemoPhase phase)
{
    return phase == DemoPhase::pointing || phase == DemoPhase::reading || phase == DemoPhase::released;
}

bool showsTranslation(DemoPhase phase)
{
    return phase == DemoPhase::pointing || phase == DemoPhase::reading;
}

std::optional<int> activeStep(DemoPhase phase)
{
    switch (phase) {
    case DemoPhase::idle:
        return std::nullopt;
    case DemoPhase::holding:
        return 1;
    case DemoPhase::pointing:
        return 2;
    case DemoPhase::reading:
    case DemoPhase::released:
        return 3;
    }
    return std::nullopt;
}

} // namespace Lumivox::Demo
