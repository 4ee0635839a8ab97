#pragma once

// The coordinator's windows in this build: Settings and the Words windows through their owners,
// the rest through the stand-ins until their windows exist.

#include "App/AbsentViews.h"
#include "Features/Shell/SettingsWindowOwner.h"
#include "Features/Words/WordsWindows.h"

namespace Lumivox::App {

class ShellWindows final : public CoordinatorWindows
{
public:
    ShellWindows(std::shared_ptr<SettingsWindowOwner> settings, std::shared_ptr<WordsWindows> words)
        : m_settings(std::move(settings))
        , m_words(std::move(words))
    { }

    void showOnboarding() override { m_absent.showOnboarding(); }
    bool isOnboardingVisible() const override { return m_absent.isOnboardingVisible(); }
    void closeOnboarding() override { m_absent.closeOnboarding(); }
    void openSettings() override { m_settings->show(); }
    void showPermissionHelp(Permission permission) override { m_absent.showPermissionHelp(permission); }
    void showWords(WordBook &book, std::function<void(std::optional<QUuid>)> openReview) override
    {
        m_words->showWords(book, std::move(openReview));
    }
    void showReview(WordBook &book, std::optional<QUuid> only) override { m_words->showReview(book, only); }
    void showKeepPrompt(WordBook &book, const TooltipKeyLabels &keys) override { m_words->showKeepPrompt(book, keys); }

private:
    std::shared_ptr<SettingsWindowOwner> m_settings;
    std::shared_ptr<WordsWindows> m_words;
    AbsentWindows m_absent;
};

} // namespace Lumivox::App
