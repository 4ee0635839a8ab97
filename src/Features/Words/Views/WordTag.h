#pragma once

// The small outlined label of a grammar tag beside a word, in the list rows, the word detail and the
// review card. Painted by the list's delegate directly, or placed as a widget.

#include "Features/Design/Appearance.h"

#include <QWidget>

class QPainter;

namespace Lumivox {

class WordTag : public QWidget
{
    Q_OBJECT
public:
    static constexpr qreal tagHeight = 16;

    WordTag(QString text, const Appearance &appearance, QWidget *parent = nullptr);

    const QString &text() const { return m_text; }
    QSize sizeHint() const override;

    static QFont font(const QFont &base);
    static qreal width(const QString &text, const QFont &base);
    /// Draws the tag with its top-left corner at `topLeft`, in the scheme's colours.
    static void paint(QPainter &painter, QPointF topLeft, const QString &text, const QFont &base, ColorScheme scheme);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    const Appearance &m_appearance;
};

} // namespace Lumivox
