#pragma once

// The settings window: which tab shows (the coordinator's selected tab, both ways), whether the
// General tab holds the Google key screen, each tab's height in the fixed-width window, and when
// the window may come to the front and when closing it sends the program back to the tray.

#include "Features/Coordinator/HoverTextController.h"
#include "Features/Settings/SettingsServices.h"

#include <QObject>

#include <memory>

namespace Lumivox {

class SettingsWindowModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)
    Q_PROPERTY(bool showsGoogleKeyScreen READ showsGoogleKeyScreen NOTIFY showsGoogleKeyScreenChanged)

public:
    static constexpr int width = 520;

    SettingsWindowModel(HoverTextController &controller, std::shared_ptr<SettingsPresence> presence,
                        QObject *parent = nullptr);

    static QString title(SettingsTab tab);
    /// The height of a tab's content; the General tab's while it holds the key screen differs.
    static int height(SettingsTab tab, bool keyScreen);

    /// The tab's position in the window, in the tabs' order.
    int currentIndex() const;
    void setCurrentIndex(int index);
    SettingsTab currentTab() const { return m_controller.selectedSettingsTab(); }
    int currentHeight() const { return height(currentTab(), showsGoogleKeyScreen()); }

    bool showsGoogleKeyScreen() const { return m_controller.showsGoogleKeyScreen(); }
    /// The key screen's back button.
    void closeGoogleKeyScreen() { m_controller.setShowsGoogleKeyScreen(false); }

    /// Whether the window may take the front now: not while the program is hidden by Ctrl+Q, nor
    /// while the floating language picker is open (it holds the keyboard).
    bool mayBringToFront() const;

    void windowShown();
    /// The window has closed; `otherWindowsVisible` tells whether another window of ours (Words,
    /// onboarding…) is still on screen. Without one, the program returns to the tray, unless the
    /// picker is open.
    void windowClosed(bool otherWindowsVisible);

signals:
    void currentIndexChanged();
    void showsGoogleKeyScreenChanged();

private:
    HoverTextController &m_controller;
    std::shared_ptr<SettingsPresence> m_presence;
};

} // namespace Lumivox
