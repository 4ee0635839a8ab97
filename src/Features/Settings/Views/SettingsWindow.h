#pragma once

// The settings window: five tabs (General, Appearance, Apps, Words, About) whose selection is the
// coordinator's selected tab, both ways; the General tab shows the Google key screen in place of
// its pane while the coordinator asks for it. 520 points wide, as high as the tab on show needs.
// Made once, on first use, and reused; closing it only hides it.

#include "Features/Design/Appearance.h"
#include "Features/Settings/AppsSettingsModel.h"
#include "Features/Settings/SettingsServices.h"
#include "Features/Settings/SettingsWindowModel.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QStackedWidget;
class QTabWidget;

namespace Lumivox {

class AboutSettingsPane;
class AppearanceSettingsPane;
class AppsSettingsPane;
class GeneralSettingsPane;
class GoogleKeyView;

class SettingsWindow final : public QWidget
{
    Q_OBJECT
public:
    struct Dependencies
    {
        HoverTextController *controller = nullptr;
        Appearance *appearance = nullptr;
        /// None: the update switch and button do nothing and the button stays disabled.
        SettingsUpdater *updater = nullptr;
        std::shared_ptr<SettingsPresence> presence;
        /// Mails the diagnostic report ("Report a Problem…").
        std::function<void()> reportProblem;
        /// Whether the panel has a tray for the program's icon (the General pane says when it has
        /// none); empty: it is taken to have one.
        std::function<bool()> trayAvailable;
        /// Where the Apps tab finds applications; empty: the installed-application catalogue.
        std::optional<AppsSettingsModel::Sources> apps;
    };

    explicit SettingsWindow(Dependencies dependencies, QWidget *parent = nullptr);
    ~SettingsWindow() override;

    SettingsWindowModel *model() const { return m_model; }
    QTabWidget *tabs() const { return m_tabs; }
    GeneralSettingsPane *generalPane() const { return m_general; }
    /// Only while the key screen shows.
    GoogleKeyView *googleKeyView() const;
    AppearanceSettingsPane *appearancePane() const { return m_appearancePane; }
    AppsSettingsPane *appsPane() const { return m_apps; }
    AboutSettingsPane *aboutPane() const { return m_about; }

    /// The Words tab's content, made by the Words feature.
    void setWordsPane(QWidget *pane);

    /// Shows the window on the selected tab and brings it to the front when it may.
    void present();
    /// Raises and activates the window, unless the program is hidden by the user or the language
    /// picker is open.
    void bringToFront();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    /// Room left on the screen for the window manager's title bar and frame.
    static constexpr int frameAllowance = 48;

    /// What the tab on show has to fit: a form's column, or the pane itself.
    QWidget *tabContent() const;
    void showTab();
    void showKeyScreen();
    void applyScheme();
    bool otherWindowsVisible() const;

    Dependencies m_deps;
    SettingsWindowModel *m_model;
    QTabWidget *m_tabs;
    QStackedWidget *m_generalTab;
    GeneralSettingsPane *m_general;
    QPointer<GoogleKeyView> m_keyView;
    AppearanceSettingsPane *m_appearancePane;
    AppsSettingsPane *m_apps;
    QStackedWidget *m_wordsTab;
    AboutSettingsPane *m_about;
};

} // namespace Lumivox
