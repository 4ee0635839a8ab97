#include "Features/Design/Styling.h"

#include "Features/Design/Brand.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QWidget>

namespace Lumivox {

namespace {

// Paints behind a widget's content from its own paint event: the filter runs inside that event,
// after the widget's background and before its content.
class Backdrop : public QObject
{
public:
    Backdrop(QWidget *view, const QMargins &padding, const Appearance &appearance)
        : QObject(view)
        , m_view(view)
        , m_appearance(&appearance)
    {
        // Added once per widget: applying again finds this backdrop (backdrop<T>) instead of padding twice.
        view->setContentsMargins(view->contentsMargins() + padding);
        view->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_view && event->type() == QEvent::Paint) {
            QPainter painter(m_view);
            painter.setRenderHint(QPainter::Antialiasing);
            paint(painter, QRectF(m_view->rect()));
        }
        return QObject::eventFilter(watched, event);
    }

    virtual void paint(QPainter &painter, const QRectF &bounds) = 0;

    // A widget that outlives the program's appearance (at exit) paints in the light scheme.
    ColorScheme scheme() const { return m_appearance ? m_appearance->scheme() : ColorScheme::light; }

    QWidget *m_view;
    QPointer<const Appearance> m_appearance;
};

class HoveredWordBackdrop final : public Backdrop
{
public:
    HoveredWordBackdrop(QWidget *view, const Appearance &appearance)
        : Backdrop(view, QMargins(2, 0, 2, 0), appearance)
    { }

    void setHovered(bool hovered)
    {
        if (hovered == m_hovered)
            return;
        m_hovered = hovered;
        m_view->update();
    }

protected:
    void paint(QPainter &painter, const QRectF &bounds) override
    {
        QColor fill = Brand::highlighter().resolved(scheme());
        fill.setAlphaF(fill.alphaF() * (m_hovered ? 1.0f : 0.0f));
        if (fill.alpha() == 0)
            return;
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(bounds, 3, 3);
    }

private:
    bool m_hovered = false;
};

class PreviewSurfaceBackdrop final : public Backdrop
{
public:
    PreviewSurfaceBackdrop(QWidget *view, const Appearance &appearance)
        : Backdrop(view, QMargins(10, 10, 10, 10), appearance)
    { }

protected:
    void paint(QPainter &painter, const QRectF &bounds) override
    {
        // The quinary fill: the primary label colour (which Brand::ignored() carries at 8 %) at 5 %.
        QColor fill = Brand::ignored().resolved(scheme());
        fill.setAlphaF(fill.alphaF() / 0.08f * 0.05f);
        const QRectF outline = bounds.adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(QPen(Brand::rule().resolved(scheme()), 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(outline, 10, 10);
    }
};

template<class T>
T *backdrop(QWidget *view, const Appearance &appearance)
{
    for (QObject *child : view->children()) {
        if (T *existing = dynamic_cast<T *>(child))
            return existing;
    }
    return new T(view, appearance);
}

void fillWithTextBackground(QWidget *widget)
{
    widget->setBackgroundRole(QPalette::Base);
    widget->setAutoFillBackground(true);
}

} // namespace

void brandLabel(QWidget *view)
{
    if (view)
        view->setFont(Brand::label());
}

void hoveredWord(QWidget *view, bool hovered, const Appearance &appearance)
{
    if (view)
        backdrop<HoveredWordBackdrop>(view, appearance)->setHovered(hovered);
}

void previewSurface(QWidget *view, const Appearance &appearance)
{
    if (view)
        backdrop<PreviewSurfaceBackdrop>(view, appearance);
}

void windowBackground(QWidget *view)
{
    if (!view)
        return;
    fillWithTextBackground(view);
    if (auto *scrollArea = qobject_cast<QAbstractScrollArea *>(view))
        fillWithTextBackground(scrollArea->viewport());
}

void whiteGroupedForm(QWidget *form)
{
    if (!form)
        return;
    windowBackground(form);
    if (auto *scrollArea = qobject_cast<QAbstractScrollArea *>(form))
        scrollArea->setFrameShape(QFrame::NoFrame);
    if (auto *scrollArea = qobject_cast<QScrollArea *>(form); scrollArea && scrollArea->widget())
        scrollArea->widget()->setAutoFillBackground(false);
}

} // namespace Lumivox
