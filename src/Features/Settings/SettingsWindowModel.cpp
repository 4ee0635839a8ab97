#include "Features/Settings/SettingsWindowModel.h"

#include <algorithm>

namespace Lumivox {

SettingsWindowModel::SettingsWindowModel(HoverTextController &controller, std::shared_ptr<SettingsPresence> presence,
                                         QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_presence(std::move(presence))
{
    connect(&m_controller, &HoverTextController::selectedSettingsTabChanged, this,
            &SettingsWindowModel::currentIndexChanged);
    connect(&m_controller, &HoverTextController::showsGoogleKeyScreenChanged, this,
            &SettingsWindowModel::showsGoogleKeyScreenChanged);
}

QString SettingsWindowModel::title(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("General");
    case SettingsTab::appearance:
        return QStringLiteral("Appearance");
    case SettingsTab::apps:
        return QStringLiteral("Apps");
    case SettingsTab::words:
        return QStringLiteral("Words");
    case SettingsTab::about:
        return QStringLiteral("About");
    }
    return {};
}

int SettingsWindowModel::height(SettingsTab tab, bool keyScreen)
{
    switch (tab) {
    case SettingsTab::general:
        return keyScreen ? 460 : 640;
    case SettingsTab::appearance:
        return 360;
    case SettingsTab::apps:
        return 520;
    case SettingsTab::words:
        return 520;
    case SettingsTab::about:
        return 400;
    }
    return 0;
}

int SettingsWindowModel::currentIndex() const
{
    const auto &tabs = SettingsTabs::allCases();
    return int(std::ranges::find(tabs, currentTab()) - tabs.begin());
}

void SettingsWindowModel::setCurrentIndex(int index)
{
    const auto &tabs = SettingsTabs::allCases();
    if (index >= 0 && index < int(tabs.size()))
        m_controller.setSelectedSettingsTab(tabs[size_t(index)]);
}

bool SettingsWindowModel::mayBringToFront() const
{
    return !(m_presence && m_presence->isHiddenByUser()) && !m_controller.isLanguagePickerVisible();
}

void SettingsWindowModel::windowShown()
{
    if (m_presence)
        m_presence->windowShown();
}

void SettingsWindowModel::windowClosed(bool otherWindowsVisible)
{
    if (otherWindowsVisible || m_controller.isLanguagePickerVisible() || m_controller.isMenuTracking())
        return;
    if (m_presence)
        m_presence->returnToTray();
}

} // namespace Lumivox
