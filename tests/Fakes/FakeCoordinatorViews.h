#pragma once

// The coordinator's tooltip panel, language picker and windows without a screen: they remember what
// they were asked and show or hide as told.

#include "Features/Coordinator/AppWindows.h"
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
        if (onDisplay)
            onDisplay();
    }
    void hide() override
    {
        ++hides;
        visible = false;
    }
    void setFont(const QString &family, double pointSize) override { fonts.emplace_back(family, pointSize); }
    bool frameContains(QPointF) const override { return pointIsOnPanel; }
    /// Whether a point asked about lies on the panel (which may still be fading out).
    bool pointIsOnPanel = false;
    /// Runs after every display, while the coordinator is still inside it.
    std::function<void()> onDisplay;

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
    void setHasGoogleKey(bool hasGoogleKey) override { keyAnswers.push_back(hasGoogleKey); }
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
    /// What setHasGoogleKey() was told, in order.
    std::vector<bool> keyAnswers;
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
    void showReportNotice(const DiagnosticReport::Delivery &delivery) override { reportNotices.push_back(delivery); }
    void showWords(WordBook &, std::function<void(std::optional<QUuid>)> openReview) override
    {
        ++wordsShown;
        reviewFromWords = std::move(openReview);
    }
    void showReview(WordBook &, std::optional<QUuid> only) override { reviews.push_back(only); }
    void showKeepPrompt(WordBook &, const TooltipKeyLabels &keys) override { keepPrompts.push_back(keys); }

    /// The onboarding window closes, by the user or when onboarding is completed.
    void closeOnboarding() override
    {
        onboardingVisible = false;
        emit onboardingClosed();
    }

    bool onboardingVisible = false;
    int onboardingShown = 0;
    int settingsOpened = 0;
    std::vector<Permission> help;
    std::vector<DiagnosticReport::Delivery> reportNotices;
    int wordsShown = 0;
    std::function<void(std::optional<QUuid>)> reviewFromWords;
    std::vector<std::optional<QUuid>> reviews;
    std::vector<TooltipKeyLabels> keepPrompts;
};

/// The program's windows as a list the test edits; what was done to them is counted.
class FakeAppWindows final : public AppWindows
{
public:
    std::vector<AppWindow> windows() const override { return list; }
    void restore(quintptr window) override
    {
        restored.push_back(window);
        edit(window, [](AppWindow &w) {
            w.isMinimized = false;
            w.isVisible = true;
        });
    }
    void orderFront(quintptr window) override
    {
        raised.push_back(window);
        edit(window, [](AppWindow &w) { w.isVisible = true; });
    }
    void makeKeyAndOrderFront(quintptr window) override { orderFront(window); }
    void orderOut(quintptr window) override
    {
        orderedOut.push_back(window);
        edit(window, [](AppWindow &w) { w.isVisible = false; });
    }
    ActivationPolicy policy() const override { return currentPolicy; }
    void setPolicy(ActivationPolicy policy) override { currentPolicy = policy; }
    bool isApplicationActive() const override { return active; }
    void activateApplication() override
    {
        ++activations;
        active = true;
    }
    void hideApplication() override
    {
        ++hides;
        active = false;
    }
    void showAboutPanel() override { ++aboutShown; }
    bool windowsSentAway() const override { return sentAway; }
    void setWindowsSentAway(bool away) override { sentAway = away; }

    /// A titled window of ours.
    static AppWindow titled(quintptr handle, QString title, bool visible = true)
    {
        AppWindow w;
        w.handle = handle;
        w.title = std::move(title);
        w.hasTitleBar = true;
        w.isVisible = visible;
        return w;
    }
    /// The user closes a window: it leaves the list and the desktop says so.
    void close(quintptr window)
    {
        std::erase_if(list, [window](const AppWindow &w) { return w.handle == window; });
        emit windowClosed(window);
    }

    std::vector<AppWindow> list;
    ActivationPolicy currentPolicy = ActivationPolicy::accessory;
    bool active = false;
    bool sentAway = false;
    int activations = 0;
    int hides = 0;
    int aboutShown = 0;
    std::vector<quintptr> restored;
    std::vector<quintptr> raised;
    std::vector<quintptr> orderedOut;

private:
    template<typename F>
    void edit(quintptr window, F change)
    {
        for (AppWindow &w : list) {
            if (w.handle == window)
                change(w);
        }
    }
};

} // namespace Lumivox::Testing
