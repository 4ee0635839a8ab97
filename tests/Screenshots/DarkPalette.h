#pragma once

// The dark desktop palette the screenshot programs draw their dark pass in.

#include <QColor>
#include <QPalette>

namespace Lumivox::Testing {

inline QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2E));
    p.setColor(QPalette::WindowText, QColor(0xEC, 0xEC, 0xEE));
    p.setColor(QPalette::Base, QColor(0x1F, 0x1F, 0x22));
    p.setColor(QPalette::AlternateBase, QColor(0x2B, 0x2B, 0x2E));
    p.setColor(QPalette::Text, QColor(0xEC, 0xEC, 0xEE));
    p.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3E));
    p.setColor(QPalette::ButtonText, QColor(0xEC, 0xEC, 0xEE));
    p.setColor(QPalette::Highlight, QColor(0x3D, 0x8B, 0xFF));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(0x8E, 0x8E, 0x93));
    p.setColor(QPalette::ToolTipBase, QColor(0x3A, 0x3A, 0x3E));
    p.setColor(QPalette::ToolTipText, QColor(0xEC, 0xEC, 0xEE));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6E, 0x6E, 0x73));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6E, 0x6E, 0x73));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6E, 0x6E, 0x73));
    return p;
}

} // namespace Lumivox::Testing
