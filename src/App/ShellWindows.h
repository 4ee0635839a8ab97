#pragma once

// The coordinator's windows: Settings, onboarding and the Words windows through their owners.

#include "Features/Coordinator/CoordinatorWindows.h"
#include "Features/Onboarding/OnboardingWindowOwner.h"
#include "Features/Shell/SettingsWindowOwner.h"
#include "Features/Words/WordsWindows.h"

namespace Lumivox::App {

class ShellWindows final : public CoordinatorWindows
{
public:
    ShellWindows(std::shared_ptr<SettingsWindowOwner> settings, std::shared_ptr<OnboardingWindowOwner> onboarding,
                 std::shared_ptr<WordsWindows> words)
        : m_settings(std::move(settings))
        , m_onboarding(std::move(onboarding))
        , m_words(std::move(words))
    {
        connect(m_onboarding.get(), &OnboardingWindowOwner::closed, this, &CoordinatorWindows::onboardingClosed);
    }

    void showOnboarding() override { m_onboarding->show(); }
    bool isOnboardingVisible() const override { return m_onboarding->isVisible(); }
    void closeOnboarding() override { m_onboarding->close(); }
    void openSettings() override { m_settings->show(); }
    /// The desktop has no settings page to send the user to: a dialog says what to do on it.
    void showPermissionHelp(Permission permission) override;
    void showReportNotice(const DiagnosticReport::Delivery &delivery) override;
    void showWords(WordBook &book, std::function<void(std::optional<QUuid>)> openReview) override
    {
        m_words->showWords(book, std::move(openReview));
    }
    void showReview(WordBook &book, std::optional<QUuid> only) override { m_words->showReview(book, only); }
    void showKeepPrompt(WordBook &book, const TooltipKeyLabels &keys) override { m_words->showKeepPrompt(book, keys); }
    void storeFrames() override { m_words->storeFrame(); }

private:
    std::shared_ptr<SettingsWindowOwner> m_settings;
    std::shared_ptr<OnboardingWindowOwner> m_onboarding;
    std::shared_ptr<WordsWindows> m_words;
};

} // namespace Lumivox::App
