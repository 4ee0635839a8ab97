#pragma once

// The tooltip's window: a floating, frameless tool window that never takes focus.

#include <QWidget>

namespace Lumivox {

class OverlayPanel : public QWidget
{
    Q_OBJECT
public:
    explicit OverlayPanel(QWidget *parent = nullptr);
};

} // namespace Lumivox
