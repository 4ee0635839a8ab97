#include "Features/Settings/Views/SettingsWindow.h"

#include "Features/Design/Styling.h"
#include "Features/Settings/Views/AboutSettingsPane.h"
#include "Features/Settings/Views/AppearanceSettingsPane.h"
#include "Features/Settings/Views/AppsSettingsPane.h"
#include "Features/Settings/Views/GeneralSettingsPane.h"
#include "Features/Settings/Views/GoogleKeyView.h"
#include "Features/Settings/Views/SettingsStyle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHideEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace Lumivox {

SettingsWindow::SettingsWindow(Dependencies dependencies, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_deps(std::move(dependencies))
    , m_model(new SettingsWindowModel(*m_deps.controller, m_deps.presence, this))
    , m_tabs(new QTabWidget(this))
    , m_generalTab(new QStackedWidget)
    , m_wordsTab(new QStackedWidget)
{
    setObjectName(QStringLiteral("settings"));
    setWindowTitle(QStringLiteral("Lumivox Settings"));
    HoverTextController &controller = *m_deps.controller;
    const Appearance &appearance = *m_deps.appearance;

    m_general = new GeneralSettingsPane(controller, m_deps.updater, appearance);
    m_general->model()->setTrayCheck(m_deps.trayAvailable);
    m_generalTab->addWidget(m_general);
    m_appearancePane = new AppearanceSettingsPane(controller, appearance);
    m_apps =
        new AppsSettingsPane(controller, m_deps.apps.value_or(AppsSettingsModel::Sources::catalogue()), appearance);
    // The Words feature plugs its pane in here; until then the tab is empty.
    auto *wordsPlaceholder = new QWidget;
    windowBackground(wordsPlaceholder);
    m_wordsTab->addWidget(wordsPlaceholder);
    m_about = new AboutSettingsPane(new AboutSettingsModel(m_deps.updater, m_deps.reportProblem), appearance);

    QWidget *const contents[] = {m_generalTab, m_appearancePane, m_apps, m_wordsTab, m_about};
    for (size_t i = 0; i < SettingsTabs::allCases().size(); ++i)
        m_tabs->addTab(contents[i], SettingsWindowModel::title(SettingsTabs::allCases()[i]));
    m_tabs->setObjectName(QStringLiteral("settings.tabs"));
    m_tabs->tabBar()->setObjectName(QStringLiteral("settings.tabBar"));
    m_tabs->setDocumentMode(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 6, 0, 0);
    layout->addWidget(m_tabs);

    bindProperty(m_model, "currentIndex", m_tabs, "currentIndex");
    connect(m_model, &SettingsWindowModel::currentIndexChanged, this, &SettingsWindow::showTab);
    connect(m_model, &SettingsWindowModel::showsGoogleKeyScreenChanged, this, &SettingsWindow::showKeyScreen);
    connect(m_deps.appearance, &Appearance::isDarkChanged, this, &SettingsWindow::applyScheme);
    applyScheme();
    showKeyScreen();
}

SettingsWindow::~SettingsWindow() = default;

GoogleKeyView *SettingsWindow::googleKeyView() const
{
    return m_keyView.data();
}

void SettingsWindow::setWordsPane(QWidget *pane)
{
    while (m_wordsTab->count() > 0) {
        QWidget *old = m_wordsTab->widget(0);
        m_wordsTab->removeWidget(old);
        old->deleteLater();
    }
    m_wordsTab->addWidget(pane);
}

void SettingsWindow::applyScheme()
{
    setPalette(Appearance::palette(m_deps.appearance->scheme()));
    update();
}

QWidget *SettingsWindow::tabContent() const
{
    QWidget *page = m_tabs->currentWidget();
    if (auto *stack = qobject_cast<QStackedWidget *>(page))
        page = stack->currentWidget();
    if (!page)
        return nullptr;
    // A form pane scrolls its column; the column is what has to fit.
    if (auto *scroll = page->findChild<QScrollArea *>(QString(), Qt::FindDirectChildrenOnly);
        scroll && scroll->widget())
        return scroll->widget();
    return page;
}

void SettingsWindow::showTab()
{
    // Each tab has its designed height, and more when the desktop's fonts make its content taller:
    // a form that fits on the screen is never cut off at the bottom.
    int content = m_model->currentHeight();
    if (QWidget *page = tabContent()) {
        page->installEventFilter(this);
        const int needed = page->hasHeightForWidth() ? page->heightForWidth(SettingsWindowModel::width)
                                                     : page->minimumSizeHint().height();
        content = std::max(content, needed);
    }
    const int chrome = m_tabs->tabBar()->sizeHint().height() + 6;
    int height = content + chrome;
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        height = std::min(height, screen->availableGeometry().height() - frameAllowance);
    setFixedSize(SettingsWindowModel::width, height);
}

bool SettingsWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A pane whose content grew (the permission rows in place of "All set") gets the room at once.
    if (event->type() == QEvent::LayoutRequest && watched == tabContent())
        QTimer::singleShot(0, this, &SettingsWindow::showTab);
    return QWidget::eventFilter(watched, event);
}

void SettingsWindow::showKeyScreen()
{
    if (m_model->showsGoogleKeyScreen()) {
        // A fresh screen each time it is asked for: the field empty, the stored key read again. One
        // already on screen (the window closed and opened again) is kept as it is.
        if (!m_keyView) {
            m_keyView = new GoogleKeyView(*m_deps.appearance, [model = m_model] { model->closeGoogleKeyScreen(); });
            windowBackground(m_keyView);
            m_generalTab->addWidget(m_keyView);
        }
        m_generalTab->setCurrentWidget(m_keyView);
    } else {
        m_generalTab->setCurrentWidget(m_general);
        // Later: the back button that asked for this is still running.
        if (GoogleKeyView *old = m_keyView.data()) {
            m_keyView = nullptr;
            m_generalTab->removeWidget(old);
            old->deleteLater();
        }
    }
    showTab();
}

void SettingsWindow::present()
{
    showTab();
    show();
    bringToFront();
}

void SettingsWindow::bringToFront()
{
    if (!m_model->mayBringToFront())
        return;
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void SettingsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_model->windowShown();
    bringToFront();
}

void SettingsWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return; // minimised: still a window of ours
    // The window lives for the whole run: what "Review…" opened folds back for the next opening.
    m_general->model()->disappear();
    // After the hide has finished, so that the window no longer counts as visible.
    QTimer::singleShot(0, m_model, [self = QPointer<SettingsWindow>(this)] {
        if (self && !self->isVisible())
            self->m_model->windowClosed(self->otherWindowsVisible());
    });
}

bool SettingsWindow::otherWindowsVisible() const
{
    // Titled windows only: the tooltip, the picker and menus are never standard windows.
    for (const QWidget *window : QApplication::topLevelWidgets()) {
        if (window == this || !window->isWindow())
            continue;
        const Qt::WindowType type = window->windowType();
        if (type != Qt::Window && type != Qt::Dialog)
            continue;
        if (window->windowFlags().testFlag(Qt::FramelessWindowHint))
            continue;
        if (window->isVisible() || window->isMinimized())
            return true;
    }
    return false;
}

} // namespace Lumivox
