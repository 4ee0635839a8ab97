#include "Features/Words/Views/WordsSidebarView.h"

#include "Features/Design/Brand.h"
#include "Features/Design/Symbols.h"
#include "Features/Words/AppIcons.h"
#include "Features/Words/Views/WordsStyle.h"
#include "Features/Words/WordsModel.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace Lumivox {

namespace {

using Kind = WordsSidebarModel::Kind;

constexpr int rowHeight = 30;
constexpr int headerHeight = 34;
constexpr int iconSize = 16;
constexpr int sideMargin = 10;

class SidebarDelegate final : public QStyledItemDelegate
{
public:
    SidebarDelegate(const Appearance &appearance, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_appearance(appearance)
    { }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const auto kind = Kind(index.data(WordsSidebarModel::KindRole).toInt());
        return {option.rect.width(), kind == Kind::header ? headerHeight : rowHeight};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const ColorScheme scheme = m_appearance.scheme();
        const QColor secondary = Brand::secondaryText().resolved(scheme);
        const auto kind = Kind(index.data(WordsSidebarModel::KindRole).toInt());
        const QString title = index.data(Qt::DisplayRole).toString();
        const QRectF rect = QRectF(option.rect).adjusted(6, 1, -6, -1);

        if (kind == Kind::header) {
            QFont font = Brand::label();
            // The design's 11 is in pixels.
            font.setPointSizeF(11 * 0.75);
            font.setCapitalization(QFont::AllUppercase);
            font.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
            painter->setFont(font);
            painter->setPen(secondary);
            painter->drawText(rect.adjusted(sideMargin - 6, 0, 0, -4), Qt::AlignLeft | Qt::AlignBottom, title);
            painter->restore();
            return;
        }

        const bool selected = option.state & QStyle::State_Selected;
        const bool hovered = (option.state & QStyle::State_MouseOver) && !selected;
        if (selected || hovered) {
            QColor fill = Brand::accent().resolved(scheme);
            fill.setAlphaF(selected ? (option.state & QStyle::State_HasFocus ? 0.28f : 0.2f) : 0.08f);
            painter->setPen(Qt::NoPen);
            painter->setBrush(fill);
            painter->drawRoundedRect(rect, 6, 6);
        }
        const QRectF iconRect(rect.left() + sideMargin - 4, rect.center().y() - iconSize / 2.0, iconSize, iconSize);
        const QString symbol = index.data(WordsSidebarModel::SymbolRole).toString();
        if (!symbol.isEmpty()) {
            Symbols::paint(*painter, iconRect, symbol, Brand::accent().resolved(scheme));
        } else {
            const QIcon icon = AppIcons::icon(index.data(WordsSidebarModel::AppIDRole).toString());
            if (!icon.isNull())
                icon.paint(painter, iconRect.toRect());
            else
                Symbols::paint(*painter, iconRect, QStringLiteral("app"), secondary);
        }

        qreal right = rect.right() - 6;
        const qint64 badge = index.data(WordsSidebarModel::BadgeRole).toLongLong();
        if (badge > 0) {
            QFont font = WordsStyle::caption(option.font);
            painter->setFont(font);
            const QString number = QString::number(badge);
            const qreal width = qMax<qreal>(20, QFontMetricsF(font).horizontalAdvance(number) + 12);
            const QRectF pill(right - width, rect.center().y() - 9, width, 18);
            const QColor fill = Brand::separator().resolved(scheme);
            painter->setPen(Qt::NoPen);
            painter->setBrush(fill);
            painter->drawRoundedRect(pill, 9, 9);
            painter->setPen(secondary);
            painter->drawText(pill, Qt::AlignCenter, number);
            right = pill.left() - 6;
        }

        painter->setFont(option.font);
        painter->setPen(Brand::primaryText().resolved(scheme));
        const QRectF textRect(iconRect.right() + 8, rect.top(), right - iconRect.right() - 8, rect.height());
        const QString elided =
            QFontMetricsF(option.font).elidedText(title, Qt::ElideRight, qMax<qreal>(0, textRect.width()));
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, elided);
        painter->restore();
    }

private:
    const Appearance &m_appearance;
};

} // namespace

WordsSidebarView::WordsSidebarView(WordsModel *model, const Appearance &appearance, QWidget *parent)
    : QListView(parent)
    , m_model(model)
{
    setObjectName(QStringLiteral("wordsSidebar"));
    setAccessibleName(QStringLiteral("Sections"));
    setModel(model->sidebar());
    setItemDelegate(new SidebarDelegate(appearance, this));
    connect(&appearance, &Appearance::isDarkChanged, viewport(), qOverload<>(&QWidget::update));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
    setSpacing(0);

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (m_showing || !current.isValid())
            return;
        if (const auto section = m_model->sidebar()->section(current.row()))
            m_model->setSection(*section);
    });
    connect(this, &QListView::clicked, this, [this](const QModelIndex &index) {
        if (m_model->sidebar()->kind(index.row()) != Kind::review)
            return;
        m_model->openDueReview();
        // A click on the row may have cleared the highlight; the section listed has not changed.
        showSection();
    });
    connect(model->sidebar(), &QAbstractItemModel::modelReset, this, &WordsSidebarView::showSection);
    connect(model, &WordsModel::sectionChanged, this, &WordsSidebarView::showSection);
    showSection();
}

void WordsSidebarView::keyPressEvent(QKeyEvent *event)
{
    // Keyboard users reach the Review row too (it is focusable though never selected).
    const bool opens = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space;
    if (opens && currentIndex().isValid() && m_model->sidebar()->kind(currentIndex().row()) == Kind::review) {
        m_model->openDueReview();
        return;
    }
    QListView::keyPressEvent(event);
}

void WordsSidebarView::showSection()
{
    m_showing = true;
    if (const auto row = m_model->sidebar()->row(m_model->section())) {
        const QModelIndex index = model()->index(*row, 0);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    } else {
        selectionModel()->clearSelection();
    }
    m_showing = false;
}

} // namespace Lumivox
