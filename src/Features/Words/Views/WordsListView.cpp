#include "Features/Words/Views/WordsListView.h"

#include "Features/Design/Brand.h"
#include "Features/Words/Views/EmptyMessageView.h"
#include "Features/Words/Views/WordTag.h"
#include "Features/Words/Views/WordsStyle.h"
#include "Features/Words/WordsModel.h"

#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace Lumivox {

namespace {

constexpr int rowHeight = 52;
constexpr qreal horizontalPadding = 12;

class WordRowDelegate final : public QStyledItemDelegate
{
public:
    WordRowDelegate(const Appearance &appearance, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_appearance(appearance)
    { }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return {option.rect.width(), rowHeight};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const ColorScheme scheme = m_appearance.scheme();
        const QRectF rect = QRectF(option.rect).adjusted(6, 2, -6, -2);
        if (option.state & QStyle::State_Selected) {
            QColor fill = Brand::accent().resolved(scheme);
            fill.setAlphaF(option.state & QStyle::State_HasFocus ? 0.28f : 0.2f);
            painter->setPen(Qt::NoPen);
            painter->setBrush(fill);
            painter->drawRoundedRect(rect, 6, 6);
        } else {
            // Hairlines between rows, as a plain list draws them.
            painter->setPen(QPen(Brand::separator().resolved(scheme), 1));
            painter->drawLine(QPointF(rect.left() + horizontalPadding, option.rect.bottom() + 0.5),
                              QPointF(rect.right() - horizontalPadding, option.rect.bottom() + 0.5));
        }

        const QRectF content = rect.adjusted(horizontalPadding, 6, -horizontalPadding, -6);
        const QFont dateFont = WordsStyle::caption(option.font);
        const QString date = index.data(WordsListModel::DateRole).toString();
        const qreal dateWidth = QFontMetricsF(dateFont).horizontalAdvance(date);
        const qreal textRight = content.right() - dateWidth - 8;

        QFont wordFont = option.font;
        wordFont.setWeight(QFont::DemiBold);
        const QFontMetricsF wordMetrics(wordFont);
        const QString tag = index.data(WordsListModel::TagRole).toString();
        const qreal tagWidth = tag.isEmpty() ? 0 : WordTag::width(tag, option.font) + 7;
        const qreal wordRoom = qMax<qreal>(0, textRight - content.left() - tagWidth);
        const QString word =
            wordMetrics.elidedText(index.data(WordsListModel::WordRole).toString(), Qt::ElideRight, wordRoom);
        const qreal firstLine = content.top() + wordMetrics.ascent();
        painter->setFont(wordFont);
        painter->setPen(Brand::primaryText().resolved(scheme));
        painter->drawText(QPointF(content.left(), firstLine), word);
        if (!tag.isEmpty()) {
            const qreal tagLeft = content.left() + wordMetrics.horizontalAdvance(word) + 7;
            const qreal tagTop = content.top() + (wordMetrics.height() - WordTag::tagHeight) / 2;
            WordTag::paint(*painter, QPointF(tagLeft, tagTop), tag, option.font, scheme);
        }

        painter->setFont(dateFont);
        painter->setPen(Brand::secondaryText().resolved(scheme));
        painter->drawText(QPointF(content.right() - dateWidth, firstLine), date);

        const QFont meaningFont = WordsStyle::callout(option.font);
        const QFontMetricsF meaningMetrics(meaningFont);
        const QString meanings = meaningMetrics.elidedText(index.data(WordsListModel::MeaningsRole).toString(),
                                                           Qt::ElideRight, qMax<qreal>(0, textRight - content.left()));
        painter->setFont(meaningFont);
        painter->drawText(QPointF(content.left(), firstLine + wordMetrics.descent() + 2 + meaningMetrics.ascent()),
                          meanings);
        painter->restore();
    }

private:
    const Appearance &m_appearance;
};

} // namespace

WordsListView::WordsListView(WordsModel *model, const Appearance &appearance, QWidget *parent)
    : QStackedWidget(parent)
    , m_model(model)
    , m_list(new QListView(this))
    , m_empty(new EmptyMessageView(QStringLiteral("bookmark"), appearance, this))
{
    setObjectName(QStringLiteral("wordsListColumn"));
    m_list->setObjectName(QStringLiteral("wordsList"));
    m_list->setAccessibleName(QStringLiteral("Words"));
    m_empty->setObjectName(QStringLiteral("wordsListEmpty"));
    m_list->setModel(model->list());
    m_list->setItemDelegate(new WordRowDelegate(appearance, m_list));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Scrolling follows the window's selection (showSelection), not every current row the view is
    // given back after its rows were made anew.
    m_list->setAutoScroll(false);
    addWidget(m_list);
    addWidget(m_empty);

    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (!m_showing && current.isValid())
            m_model->setSelection(m_model->list()->key(current.row()));
    });
    connect(&appearance, &Appearance::isDarkChanged, m_list->viewport(), qOverload<>(&QWidget::update));
    connect(model, &WordsModel::itemsChanged, this, &WordsListView::showItems);
    connect(model, &WordsModel::emptyMessageChanged, this, &WordsListView::showItems);
    connect(model, &WordsModel::selectionChanged, this, [this] { showSelection(true); });
    showItems();
}

void WordsListView::showItems()
{
    m_empty->setMessage(m_model->emptyTitle(), m_model->emptyDetail());
    setCurrentWidget(m_model->items().empty() ? static_cast<QWidget *>(m_empty) : m_list);
    // New rows keep the reader's place; only a new selection is scrolled to.
    showSelection(false);
}

void WordsListView::showSelection(bool scroll)
{
    m_showing = true;
    const auto row = m_model->selection() ? m_model->list()->row(*m_model->selection()) : std::nullopt;
    if (row) {
        const QModelIndex index = m_model->list()->index(*row, 0);
        if (m_list->selectionModel()->currentIndex() != index || !m_list->selectionModel()->isSelected(index))
            m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        if (scroll)
            m_list->scrollTo(index);
    } else {
        m_list->selectionModel()->clear();
    }
    m_showing = false;
}

} // namespace Lumivox
