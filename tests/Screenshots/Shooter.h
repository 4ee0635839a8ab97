#pragma once

// What the screenshot programs share: the dark desktop palette of their dark pass, and the camera
// that shows a window, lets it settle and writes it to a PNG file.

#include "Support/LayoutCheck.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QPalette>
#include <QStyle>
#include <QWidget>

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

/// Writes <folder>/<prefix><name>[-dark].png.
class Shooter
{
public:
    explicit Shooter(QString folder, QString prefix = QString())
        : m_folder(std::move(folder))
        , m_prefix(std::move(prefix))
    { }
    bool shoot(QWidget *window, const QString &name)
    {
        window->show();
        window->raise();
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents();
        const QString path = QDir(m_folder).filePath(m_prefix + name + m_suffix + QStringLiteral(".png"));
        // What the picture shows cut off, said beside it (the widget test of every window fails on it).
        for (const QString &problem : layoutProblems(window))
            qWarning("%s: %s", qPrintable(path), qPrintable(problem));
        const bool ok = window->grab().save(path);
        if (!ok)
            qWarning("could not write %s", qPrintable(path));
        m_ok = m_ok && ok;
        return ok;
    }
    void setDark(bool dark)
    {
        QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
        m_suffix = dark ? QStringLiteral("-dark") : QString();
    }
    bool ok() const { return m_ok; }

private:
    QString m_folder;
    QString m_prefix;
    QString m_suffix;
    bool m_ok = true;
};

} // namespace Lumivox::Testing
