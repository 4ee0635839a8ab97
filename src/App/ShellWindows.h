#pragma once

// The coordinator's windows in this build: Settings and onboarding through their owners, the rest
// through the stand-ins until their windows exist.

#include "App/AbsentViews.h"
#include "Features/Onboarding/OnboardingWindowOwner.h"
#include "Features/Shell/SettingsWindowOwner.h"

namespace Lumivox::App {

class ShellWindows final : public CoordinatorWindows
{
public:
    ShellWindows(std::shared_ptr<SettingsWindowOwner> settings, std::shared_ptr<OnboardingWindowOwner> onboarding)
        : m_settings(std::move(settings))
        , m_onboarding(std::move(onboarding))
    {
        connect(m_onboarding.get(), &OnboardingWindowOwner::closed, this, &CoordinatorWindows::onboardingClosed);
    }

    void showOnboarding() override { m_onboarding->show(); }
    bool isOnboardingVisible() const override { return m_onboarding->isVisible(); }
    void closeOnboarding() override { m_onboarding->close(); }
    void openSettings() override { m_settings->show(); }
    void showPermissionHelp(Permission permission) override { m_absent.showPermissionHelp(permission); }
    void showWords(WordBook &book, std::function<void(std::optional<QUuid>)> openReview) override
    {
        m_absent.showWords(book, std::move(openReview));
    }
    void showReview(WordBook &book, std::optional<QUuid> only) override { m_absent.showReview(book, only); }
    void showKeepPrompt(WordBook &book, const TooltipKeyLabels &keys) override { m_absent.showKeepPrompt(book, keys); }

private:
    std::shared_ptr<SettingsWindowOwner> m_settings;
    std::shared_ptr<OnboardingWindowOwner> m_onboarding;
    AbsentWindows m_absent;
};

} // namespace Lumivox::App
