#pragma once

// Stand-ins for the coordinator's windows (onboarding, settings) in a build that does not have
// them yet: nothing is on screen, and asking for one says so in the log.

#include "Features/Coordinator/CoordinatorWindows.h"

namespace Lumivox::App {

class AbsentWindows final : public CoordinatorWindows
{
public:
    void showOnboarding() override;
    bool isOnboardingVisible() const override { return false; }
    void closeOnboarding() override { }
    void openSettings() override;
    void showPermissionHelp(Permission permission) override;
    // The Words windows have their owner; nothing stands in for them.
    void showWords(WordBook &, std::function<void(std::optional<QUuid>)>) override { }
    void showReview(WordBook &, std::optional<QUuid>) override { }
    void showKeepPrompt(WordBook &, const TooltipKeyLabels &) override { }
};

} // namespace Lumivox::App
