#pragma once

// The first-run guide's window: four pages in a stack (how it works, the word filter, the
// permissions, the defaults), fading from one to the next unless the desktop asks for less motion,
// and a footer with the step dots, Back and Continue (Done on the last page). Return presses the
// footer's main button. Every control writes to the coordinator at once; closing the window by its
// title bar leaves the guide unfinished. Main thread.

#include "Features/Design/Appearance.h"
#include "Features/Onboarding/OnboardingModel.h"

#include <QWidget>

#include <array>

class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class QVariantAnimation;

namespace Lumivox {

class HoverDemo;
class MiniStep;
class PageDots;
class PermissionRowView;
class WordFilterDemo;

class OnboardingWindow final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int contentWidth = 540;
    static constexpr int contentHeight = 480;

    OnboardingWindow(HoverTextController &controller, std::shared_ptr<Native::MotionPreference> motion,
                     std::shared_ptr<Clock> clock, const Appearance &appearance, QWidget *parent = nullptr);
    ~OnboardingWindow() override;

    OnboardingModel *model() const { return m_model; }
    QStackedWidget *pages() const { return m_pages; }
    HoverDemo *hoverDemo() const { return m_hoverDemo; }
    WordFilterDemo *wordFilterDemo() const { return m_filterDemo; }
    PermissionRowView *accessibilityRow() const { return m_accessibility; }
    PermissionRowView *screenRow() const { return m_screen; }
    QPushButton *backButton() const { return m_back; }
    QPushButton *primaryButton() const { return m_primary; }
    PageDots *pageDots() const { return m_dots; }
    /// Whether a page is fading in.
    bool isFading() const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *howItWorksPage(const Appearance &appearance);
    QWidget *wordFilterPage(const Appearance &appearance);
    QWidget *permissionsPage(const Appearance &appearance);
    QWidget *readyPage(const Appearance &appearance);
    QWidget *stepHeader(const QString &title, const QString &message, const Appearance &appearance);
    /// The lower three pages: the step header at the top, padded like the forms below it.
    QVBoxLayout *headedPage(QWidget *page, const char *name, const QString &title, const QString &message, int spacing,
                            const Appearance &appearance);
    void showStep();
    void showDemoPhase(bool animated);
    void showPermissions();
    void applyScheme();

    const Appearance &m_appearance;
    OnboardingModel *m_model;
    QStackedWidget *m_pages;
    std::vector<QLabel *> m_stepLabels;
    HoverDemo *m_hoverDemo = nullptr;
    std::array<MiniStep *, 3> m_miniSteps {};
    WordFilterDemo *m_filterDemo = nullptr;
    PermissionRowView *m_accessibility = nullptr;
    PermissionRowView *m_screen = nullptr;
    PageDots *m_dots;
    QPushButton *m_back;
    QPushButton *m_primary;
    QVariantAnimation *m_fade;
};

} // namespace Lumivox
