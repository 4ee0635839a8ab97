#pragma once

// The coordinator's tooltip panel, language picker and windows without a screen: they remember what
// they were asked and show or hide as told.

#include "Features/Coordinator/CoordinatorOverlay.h"
#include "Features/Coordinator/CoordinatorPicker.h"
#include "Features/Coordinator/CoordinatorWindows.h"

#include <vector>

namespace Lumivox::Testing {

class FakeOverlay final : public CoordinatorOverlay
{
public:
    bool isVisible() const override { return visible; }
    void display(const TooltipContent &content, QPointF near) override
    {
        shown.emplace_back(content, near);
        visible = true;
    }
    void hide() override
    {
        ++hides;
        visible = false;
    }
    void setFont(const QString &family, double pointSize) override { fonts.emplace_back(family, pointSize); }

    bool visible = false;
    int hides = 0;
    std::vector<std::pair<TooltipContent, QPointF>> shown;
    std::vector<std::pair<QString, double>> fonts;
};

class FakePicker final : public CoordinatorPicker
{
public:
    struct Preparation
    {
        QString currentID;
        QStringList recentIDs;
        bool hasGoogleKey = false;
    };

    bool isVisible() const override { return visible; }
    void prepare(const QString &currentID, const QStringList &recentIDs, bool hasGoogleKey) override
    {
        preparations.push_back({currentID, recentIDs, hasGoogleKey});
    }
    bool isLocked(const Language &language) const override { return language.requiresGoogleKey(); }
    void show(QPointF near) override
    {
        shownAt.push_back(near);
        visible = true;
    }
    void dismiss() override
    {
        ++dismissals;
        visible = false;
    }

    bool visible = false;
    int dismissals = 0;
    std::vector<Preparation> preparations;
    std::vector<QPointF> shownAt;
};

class FakeWindows final : public CoordinatorWindows
{
public:
    void showOnboarding() override
    {
        ++onboardingShown;
        onboardingVisible = true;
    }
    bool isOnboardingVisible() const override { return onboardingVisible; }
    void openSettings() override { ++settingsOpened; }
    void showPermissionHelp(Permission permission) override { help.push_back(permission); }
    void showWords(WordBook &, std::function<void(std::optional<QUuid>)>) override { }
    void showReview(WordBook &, std::optional<QUuid>) override { }
    void showKeepPrompt(WordBook &, const TooltipKeyLabels &) override { }

    /// The user closes the onboarding window.
    void closeOnboarding()
    {
        onboardingVisible = false;
        emit onboardingClosed();
    }

    bool onboardingVisible = false;
    int onboardingShown = 0;
    int settingsOpened = 0;
    std::vector<Permission> help;
};

} // namespace Lumivox::Testing
