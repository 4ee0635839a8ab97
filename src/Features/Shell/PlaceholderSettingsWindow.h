#pragma once

// A stand-in for the Settings window in a build that does not have it yet: a titled window that
// says where the settings will be, so that opening Settings (from the tray, a second launch or the
// About row) always shows something and the program is never unreachable.

#include <QWidget>

namespace Lumivox {

class PlaceholderSettingsWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit PlaceholderSettingsWindow(QWidget *parent = nullptr);
};

} // namespace Lumivox
