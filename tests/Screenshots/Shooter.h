#pragma once

// What the screenshot programs share: the program's palette for their dark pass, and the camera
// that shows a window, lets it settle and writes it to a PNG file.

#include "Features/Design/Appearance.h"
#include "Support/LayoutCheck.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QPalette>
#include <QStyle>
#include <QWidget>

namespace Lumivox::Testing {

/// The program's own dark palette, as it sets it for the whole application.
inline QPalette darkPalette()
{
    return Appearance::palette(ColorScheme::dark);
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
        QApplication::setPalette(Appearance::palette(dark ? ColorScheme::dark : ColorScheme::light));
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
