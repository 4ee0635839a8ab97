#include "Features/LanguagePicker/Views/LanguagePickerView.h"

#include "Features/Design/Appearance.h"
#include "Features/Design/Brand.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

using Tone = LanguagePickerListModel::Tone;

// The design's sizes are points, which on this desktop are logical pixels, so fonts are sized in
// pixels too: a point size would grow with the font DPI and no longer fit the 300-point panel.
QFont pixelFont(int pixels, QFont::Weight weight = QFont::Normal)
{
    QFont f = QApplication::font();
    f.setPixelSize(pixels);
    f.setWeight(weight);
    return f;
}

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

const Color &surface()
{
    static const Color color(0xFFFFFF, 0x1E1E1E);
    return color;
}

const Color &primaryText()
{
    static const Color color([](ColorScheme scheme) {
        return scheme == ColorScheme::dark ? QColor(255, 255, 255, 217) : QColor(0, 0, 0, 217);
    });
    return color;
}

const Color &secondaryText()
{
    static const Color color([](ColorScheme scheme) {
        return scheme == ColorScheme::dark ? QColor(255, 255, 255, 140) : QColor(0, 0, 0, 128);
    });
    return color;
}

QColor accent()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Highlight);
}

// Small symbols are drawn as paths: no icon theme can be assumed on the desktop.
void drawCheckmark(QPainter &p, const QRectF &box, const QColor &color)
{
    QPainterPath path;
    path.moveTo(box.left() + box.width() * 0.12, box.center().y() + box.height() * 0.02);
    path.lineTo(box.left() + box.width() * 0.40, box.bottom() - box.height() * 0.18);
    path.lineTo(box.right() - box.width() * 0.08, box.top() + box.height() * 0.16);
    p.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void drawLock(QPainter &p, const QRectF &box, const QColor &color)
{
    const QRectF body(box.left() + box.width() * 0.1, box.top() + box.height() * 0.45, box.width() * 0.8,
                      box.height() * 0.55);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(body, 1.5, 1.5);
    const QRectF shackle(box.left() + box.width() * 0.27, box.top(), box.width() * 0.46, box.height() * 0.8);
    p.setPen(QPen(color, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawArc(shackle, 0, 180 * 16);
    p.drawLine(QPointF(shackle.left(), shackle.center().y()), QPointF(shackle.left(), body.top()));
    p.drawLine(QPointF(shackle.right(), shackle.center().y()), QPointF(shackle.right(), body.top()));
}

class MagnifierIcon final : public QWidget
{
public:
    MagnifierIcon(const Appearance &appearance, QWidget *parent)
        : QWidget(parent)
        , m_appearance(appearance)
    {
        setFixedSize(15, 15);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(secondaryText().resolved(m_appearance.scheme()), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.drawLine(QPointF(9.2, 9.2), QPointF(13.5, 13.5));
    }

private:
    const Appearance &m_appearance;
};

class Divider final : public QWidget
{
public:
    Divider(const Appearance &appearance, QWidget *parent)
        : QWidget(parent)
        , m_appearance(appearance)
    {
        setFixedHeight(1);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(rect(), Brand::rule().resolved(m_appearance.scheme()));
    }

private:
    const Appearance &m_appearance;
};

// The list's content sits 6 points in from every side of its area.
class PaddedList final : public QListView
{
public:
    explicit PaddedList(QWidget *parent)
        : QListView(parent)
    {
        setViewportMargins(6, 6, 6, 6);
    }
};

class RowDelegate final : public QStyledItemDelegate
{
public:
    RowDelegate(const Appearance &appearance, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_appearance(appearance)
    { }

    static constexpr int rowSpacing = 1;
    static constexpr int rowPaddingX = 8;
    static constexpr int rowPaddingY = 4;
    static constexpr int markSpacing = 8;
    static constexpr int checkColumn = 12;
    static constexpr int headerPaddingX = 10;

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        if (index.data(LanguagePickerListModel::IsHeaderRole).toBool()) {
            const int top = index.data(LanguagePickerListModel::IsFirstHeaderRole).toBool() ? 4 : 10;
            return {0, top + QFontMetrics(pixelFont(10, QFont::DemiBold)).height() + 3};
        }
        return {0, rowPaddingY * 2 + QFontMetrics(pixelFont(13)).height() + rowSpacing};
    }

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        if (index.data(LanguagePickerListModel::IsHeaderRole).toBool())
            paintHeader(*p, option.rect, index);
        else
            paintRow(*p, option.rect, index);
        p->restore();
    }

private:
    void paintHeader(QPainter &p, const QRect &rect, const QModelIndex &index) const
    {
        const QFont f = pixelFont(10, QFont::DemiBold);
        const QRect text = rect.adjusted(headerPaddingX, 0, -headerPaddingX, -3);
        p.setFont(f);
        p.setPen(secondaryText().resolved(m_appearance.scheme()));
        p.drawText(text, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine,
                   QFontMetrics(f).elidedText(index.data().toString(), Qt::ElideRight, text.width()));
    }

    void paintRow(QPainter &p, const QRect &rect, const QModelIndex &index) const
    {
        const bool selected = index.data(LanguagePickerListModel::IsSelectedRole).toBool();
        const bool locked = index.data(LanguagePickerListModel::IsLockedRole).toBool();
        const bool current = index.data(LanguagePickerListModel::IsCurrentRole).toBool();
        const auto tone = index.data(LanguagePickerListModel::ToneRole).value<Tone>();
        const QColor foreground = tone == Tone::onAccent ? QColor(Qt::white)
            : tone == Tone::secondary                    ? secondaryText().resolved(m_appearance.scheme())
                                                         : primaryText().resolved(m_appearance.scheme());

        const QRectF box = QRectF(rect).adjusted(0, 0, 0, -rowSpacing);
        if (selected) {
            p.setPen(Qt::NoPen);
            p.setBrush(accent());
            p.drawRoundedRect(box, 6, 6);
        }
        const QRectF content = box.adjusted(rowPaddingX, rowPaddingY, -rowPaddingX, -rowPaddingY);
        const qreal midY = content.center().y();

        // The check column keeps its width on every row, so the names line up.
        if (current)
            drawCheckmark(p, QRectF(content.left() + 1, midY - 4.5, 9, 9), foreground);
        qreal left = content.left() + checkColumn + markSpacing;

        // Marks on the right first: the names take what is left.
        qreal right = content.right();
        if (selected) {
            const QFont f = pixelFont(11);
            const QString sign = QStringLiteral("\u23CE");
            const qreal w = QFontMetricsF(f).horizontalAdvance(sign);
            p.setFont(f);
            p.setPen(withAlpha(Qt::white, 0.7));
            p.drawText(QRectF(right - w, content.top(), w, content.height()), Qt::AlignCenter, sign);
            right -= w + markSpacing;
        }
        if (locked) {
            const QColor color = selected ? withAlpha(Qt::white, 0.8) : secondaryText().resolved(m_appearance.scheme());
            drawLock(p, QRectF(right - 9, midY - 5.5, 9, 10), color);
            right -= 9;
        }
        right -= markSpacing; // the spacer's least width

        const QFont f = pixelFont(13);
        const QFontMetricsF metrics(f);
        p.setFont(f);
        const QString name = index.data(Qt::DisplayRole).toString();
        const QString nameShown = metrics.elidedText(name, Qt::ElideRight, std::max<qreal>(0, right - left));
        p.setPen(foreground);
        p.drawText(QRectF(left, content.top(), right - left, content.height()),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, nameShown);
        left += metrics.horizontalAdvance(nameShown) + markSpacing;

        const QString native = index.data(LanguagePickerListModel::NativeNameRole).toString();
        if (!native.isEmpty() && nameShown == name && left < right) {
            p.setPen(selected ? withAlpha(Qt::white, 0.7) : secondaryText().resolved(m_appearance.scheme()));
            // Scripts with tall marks (the bracket of Burmese ြ) reach above and below a Latin line;
            // clipped to it, their ends would be cut off and leave a stray bar. The row's padding
            // has room for them.
            p.drawText(QRectF(left, content.top(), right - left, content.height()),
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                       metrics.elidedText(native, Qt::ElideRight, right - left));
        }
    }

    const Appearance &m_appearance;
};

} // namespace

LanguagePickerView::LanguagePickerView(LanguagePickerModel *model, Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_appearance(appearance)
    , m_model(model)
    , m_listModel(new LanguagePickerListModel(model, this))
{
    setObjectName(QStringLiteral("languagePicker.view"));
    setFixedWidth(width);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(14, 11, 14, 11);
    searchRow->setSpacing(8);
    searchRow->addWidget(new MagnifierIcon(m_appearance, this), 0, Qt::AlignVCenter);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("languagePicker.search"));
    m_search->setPlaceholderText(QStringLiteral("Translate to…"));
    m_search->setFont(pixelFont(15));
    m_search->setFrame(false);
    m_search->setClearButtonEnabled(false);
    m_search->setAccessibleName(QStringLiteral("Search languages"));
    searchRow->addWidget(m_search, 1, Qt::AlignVCenter);
    column->addLayout(searchRow);
    column->addWidget(new Divider(m_appearance, this));

    auto *listArea = new QWidget(this);
    listArea->setFixedHeight(listHeight);
    auto *listStack = new QVBoxLayout(listArea);
    listStack->setContentsMargins(0, 0, 0, 0);
    listStack->setSpacing(0);
    m_list = new PaddedList(listArea);
    m_list->setObjectName(QStringLiteral("languagePicker.list"));
    m_list->setModel(m_listModel);
    m_list->setItemDelegate(new RowDelegate(m_appearance, m_list));
    m_list->setFrameShape(QFrame::NoFrame);
    // The search field keeps the keyboard; the list only takes clicks.
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setUniformItemSizes(false);
    m_list->setAutoFillBackground(false);
    m_list->viewport()->setAutoFillBackground(false);
    // A slim bar without arrows, as pop-up lists have; the list is short enough to need no more.
    m_list->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 7px; margin: 2px 1px 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 110); border-radius: 3px; min-height: 28px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    listStack->addWidget(m_list);
    m_empty = new QLabel(QStringLiteral("No languages match"), listArea);
    m_empty->setObjectName(QStringLiteral("languagePicker.empty"));
    m_empty->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_empty->setContentsMargins(0, 24, 0, 0);
    m_empty->setFont(pixelFont(13));
    m_empty->setTextFormat(Qt::PlainText);
    listStack->addWidget(m_empty);
    column->addWidget(listArea);
    column->addWidget(new Divider(m_appearance, this));

    m_hint = new QLabel(QStringLiteral("type to search · ↑↓ move · ⏎ choose · esc"), this);
    m_hint->setObjectName(QStringLiteral("languagePicker.hint"));
    m_hint->setFont(pixelFont(11));
    m_hint->setTextFormat(Qt::PlainText);
    m_hint->setContentsMargins(14, 7, 14, 7);
    column->addWidget(m_hint);

    connect(m_search, &QLineEdit::textChanged, m_model, &LanguagePickerModel::setQuery);
    connect(m_model, &LanguagePickerModel::queryChanged, this, [this](const QString &query) {
        if (m_search->text() != query)
            m_search->setText(query);
    });
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex &index) {
        // A click chooses the row it lands on, highlighted or not.
        const int row = index.data(LanguagePickerListModel::RowRole).toInt();
        const auto rows = m_model->rows();
        if (row >= 0 && row < int(rows.size()))
            m_model->choose(rows[size_t(row)]);
    });
    connect(m_model, &LanguagePickerModel::presentationCountChanged, this, &LanguagePickerView::present);
    connect(m_model, &LanguagePickerModel::selectedIndexChanged, this,
            [this] { scrollToSelection(QAbstractItemView::EnsureVisible); });
    connect(m_model, &LanguagePickerModel::sectionsChanged, this, &LanguagePickerView::rowsChanged);
    connect(&m_appearance, &Appearance::isDarkChanged, this, &LanguagePickerView::applyScheme);

    m_search->setText(m_model->query());
    rowsChanged();
    applyScheme();
    setFocusProxy(m_search);
}

void LanguagePickerView::applyScheme()
{
    QPalette palette = this->palette();
    const QColor primary = primaryText().resolved(m_appearance.scheme());
    const QColor secondary = secondaryText().resolved(m_appearance.scheme());
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, surface().resolved(m_appearance.scheme()));
        palette.setColor(group, QPalette::Base, Qt::transparent);
        palette.setColor(group, QPalette::Text, primary);
        palette.setColor(group, QPalette::WindowText, primary);
        palette.setColor(group, QPalette::PlaceholderText, secondary);
        palette.setColor(group, QPalette::Highlight, accent());
    }
    setPalette(palette);
    QPalette muted = palette;
    for (auto group : {QPalette::Active, QPalette::Inactive})
        muted.setColor(group, QPalette::WindowText, secondary);
    m_empty->setPalette(muted);
    m_hint->setPalette(muted);
    update();
}

QSize LanguagePickerView::sizeHint() const
{
    return {width, QWidget::sizeHint().height()};
}

void LanguagePickerView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // The border is drawn inside the shape, so half its width is inset.
    const QRectF shape = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    p.setPen(QPen(Brand::rule().resolved(m_appearance.scheme()), 0.5));
    p.setBrush(surface().resolved(m_appearance.scheme()));
    p.drawRoundedRect(shape, cornerRadius, cornerRadius);
}

void LanguagePickerView::present()
{
    m_search->setFocus(Qt::OtherFocusReason);
    scrollToSelection(QAbstractItemView::PositionAtCenter);
}

void LanguagePickerView::scrollToSelection(int hint)
{
    const QModelIndex index = m_listModel->indexOfRow(m_model->selectedIndex());
    if (!index.isValid())
        return;
    // The first row of a section scrolls its header in with it.
    const QModelIndex above = index.siblingAtRow(index.row() - 1);
    if (hint == QAbstractItemView::EnsureVisible && above.isValid()
        && above.data(LanguagePickerListModel::IsHeaderRole).toBool())
        m_list->scrollTo(above, QAbstractItemView::EnsureVisible);
    m_list->scrollTo(index, QAbstractItemView::ScrollHint(hint));
}

void LanguagePickerView::rowsChanged()
{
    const bool empty = m_model->rows().empty();
    m_empty->setVisible(empty);
    m_list->setVisible(!empty);
    // A new search may leave the highlight's index as it was while its language changed.
    scrollToSelection(QAbstractItemView::EnsureVisible);
}

} // namespace Lumivox
