#pragma once

// The settings window's tabs. The raw values are the case names; the coordinator holds the selected
// one so that opening Settings from anywhere (the tray, the picker, onboarding) lands on a tab.

#include <QString>

#include <array>
#include <optional>

namespace Lumivox {

enum class SettingsTab { general, appearance, apps, words, about };

namespace SettingsTabs {

inline const std::array<SettingsTab, 5> &allCases()
{
    static const std::array<SettingsTab, 5> cases {SettingsTab::general, SettingsTab::appearance, SettingsTab::apps,
                                                   SettingsTab::words, SettingsTab::about};
    return cases;
}

inline QString rawValue(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("general");
    case SettingsTab::appearance:
        return QStringLiteral("appearance");
    case SettingsTab::apps:
        return QStringLiteral("apps");
    case SettingsTab::words:
        return QStringLiteral("words");
    case SettingsTab::about:
        return QStringLiteral("about");
    }
    return {};
}

/// Exact match of a raw value; nothing for any other text.
inline std::optional<SettingsTab> fromRawValue(const QString &raw)
{
    for (SettingsTab tab : allCases()) {
        if (rawValue(tab) == raw)
            return tab;
    }
    return std::nullopt;
}

} // namespace SettingsTabs

} // namespace Lumivox
