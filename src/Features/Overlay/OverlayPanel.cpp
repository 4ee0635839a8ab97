#include "Features/Overlay/OverlayPanel.h"

namespace Lumivox {

OverlayPanel::OverlayPanel(QWidget *parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("lumivox.tooltip"));
}

} // namespace Lumivox
