#pragma once

// The coordinator's windows in this build: Settings through its owner, the rest through the
// stand-ins until their windows exist.

#include "App/AbsentViews.h"
#include "Features/Shell/SettingsWindowOwner.h"

namespace Lumivox::App {

class ShellWindows final : public CoordinatorWindows
{
public:
    explicit ShellWindows(std::shared_ptr<SettingsWindowOwner> settings)
        : m_settings(std::move(settings))
    { }

    void showOnboarding() override { m_absent.showOnboarding(); }
    bool isOnboardingVisible() const override { return m_absent.isOnboardingVisible(); }
    void closeOnboarding() override { m_absent.closeOnboarding(); }
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
    AbsentWindows m_absent;
};

} // namespace Lumivox::App
