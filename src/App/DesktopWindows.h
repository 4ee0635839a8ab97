#pragma once

// The program's top-level windows on the Linux desktop, for the coordinator's tray-state rules. X11
// has no application-wide "regular" or "accessory" state: the state is recorded, and bringing the
// program forward means raising and activating its windows.

#include "Features/Coordinator/AppWindows.h"

namespace Lumivox::App {

class DesktopWindows final : public AppWindows
{
public:
    explicit DesktopWindows(QObject *parent = nullptr);

    std::vector<AppWindow> windows() const override;
    void restore(quintptr window) override;
    void orderFront(quintptr window) override;
    void makeKeyAndOrderFront(quintptr window) override;
    void orderOut(quintptr window) override;

    ActivationPolicy policy() const override { return m_policy; }
    void setPolicy(ActivationPolicy policy) override;
    bool isApplicationActive() const override;
    void activateApplication() override;
    void hideApplication() override;
    void showAboutPanel() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ActivationPolicy m_policy = ActivationPolicy::accessory;
};

} // namespace Lumivox::App
