#pragma once

// Stand-ins for the tooltip panel, the language picker and the coordinator's windows in a build that
// does not have them yet: nothing is on screen, and asking for one says so in the log.

#include "Features/Coordinator/CoordinatorOverlay.h"
#include "Features/Coordinator/CoordinatorPicker.h"
#include "Features/Coordinator/CoordinatorWindows.h"

namespace Lumivox::App {

class AbsentOverlay final : public CoordinatorOverlay
{
public:
    bool isVisible() const override { return false; }
    void hide() override { }
    void setFont(const QString &, double) override { }
};

class AbsentPicker final : public CoordinatorPicker
{
public:
    bool isVisible() const override { return false; }
    void prepare(const QString &, const QStringList &, bool) override { }
    bool isLocked(const Language &) const override { return false; }
    void show(QPointF near) override;
    void dismiss() override { }
};

class AbsentWindows final : public CoordinatorWindows
{
public:
    void showOnboarding() override;
    bool isOnboardingVisible() const override { return false; }
    void openSettings() override;
    void showPermissionHelp(Permission permission) override;
    void showWords(WordBook &, std::function<void(std::optional<QUuid>)>) override;
    void showReview(WordBook &, std::optional<QUuid>) override;
    void showKeepPrompt(WordBook &, const TooltipKeyLabels &) override;
};

} // namespace Lumivox::App
