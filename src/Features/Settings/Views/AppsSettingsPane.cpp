#include "Features/Settings/Views/AppsSettingsPane.h"

#include "Features/Design/Styling.h"
#include "Features/Design/Symbols.h"
#include "Features/Settings/Views/SettingsStyle.h"
#include "Features/Settings/Views/SettingsWidgets.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

// A row: checkbox, 20-point icon, the name as the desktop gives it, and "Running" when it was.
class AppRowDelegate final : public QStyledItemDelegate
{
public:
    AppRowDelegate(const Appearance &appearance, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_appearance(appearance)
    { }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.decorationSize = QSize(20, 20);
        // An application that names no icon gets the generic one, so that the names stay in line.
        if (opt.icon.isNull()) {
            opt.icon = Symbols::icon(QStringLiteral("app"), QPalette::PlaceholderText);
            opt.features |= QStyleOptionViewItem::HasDecoration;
        }
        const bool running = index.data(AppsSettingsModel::IsRunningRole).toBool();
        const QString name = opt.text;
        opt.text.clear();
        const QWidget *widget = option.widget;
        const QStyle *style = widget ? widget->style() : nullptr;
        if (!style)
            return;
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        painter->save();
        painter->setPen(opt.palette.color(opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled,
                                          QPalette::Text));
        const QFontMetrics metrics(opt.font);
        const QString elided = metrics.elidedText(name, Qt::ElideRight, textRect.width() - 70);
        painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, elided);
        if (running) {
            painter->setFont(captionFont());
            painter->setPen(Brand::secondaryText().resolved(m_appearance.scheme()));
            const QRect after = textRect.adjusted(metrics.horizontalAdvance(elided) + 8, 0, 0, 0);
            painter->drawText(after, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Running"));
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index).expandedTo(QSize(0, 28));
    }

private:
    const Appearance &m_appearance;
};

} // namespace

AppsSettingsPane::AppsSettingsPane(HoverTextController &controller, AppsSettingsModel::Sources sources,
                                   const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_model(new AppsSettingsModel(controller, std::move(sources), this))
    , m_search(new QLineEdit)
    , m_filter(new QWidget)
    , m_list(new QListView)
    , m_empty(plainLabel(AppsSettingsModel::emptyText()))
{
    setObjectName(QStringLiteral("apps"));
    windowBackground(this);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(18);

    auto *scope = new SettingsCard(appearance);
    auto *choices = new QWidget;
    auto *radios = new QVBoxLayout(choices);
    radios->setContentsMargins(0, 0, 0, 0);
    auto *all = new QRadioButton(QStringLiteral("All apps"));
    all->setObjectName(QStringLiteral("apps.all"));
    auto *selected = new QRadioButton(QStringLiteral("Only selected apps"));
    selected->setObjectName(QStringLiteral("apps.onlySelected"));
    radios->addWidget(all);
    radios->addWidget(selected);
    bindProperty(&controller, "limitToSelectedApps", selected, "checked");
    all->setChecked(!controller.limitToSelectedApps());
    scope->addRow(QStringLiteral("Translate in"), {}, choices);
    column->addWidget(formSection({}, scope));

    // Header: search and filter; then the list.
    auto *list = new SettingsCard(appearance);
    auto *header = new QWidget;
    auto *headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(0, 10, 0, 6);
    m_search->setObjectName(QStringLiteral("apps.search"));
    m_search->setPlaceholderText(QStringLiteral("Search"));
    m_search->setAccessibleName(QStringLiteral("Search"));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textChanged, m_model, &AppsSettingsModel::setQuery);
    headerRow->addWidget(m_search, 1);
    auto *segments = new QHBoxLayout(m_filter);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    auto *group = new QButtonGroup(m_filter);
    group->setExclusive(true);
    for (AppsSettingsModel::AppFilter filter : AppsSettingsModel::filters()) {
        auto *segment = new QPushButton(AppsSettingsModel::title(filter), m_filter);
        segment->setObjectName(QStringLiteral("apps.filter.") + AppsSettingsModel::title(filter).toLower());
        segment->setCheckable(true);
        segment->setChecked(filter == m_model->filter());
        group->addButton(segment);
        segments->addWidget(segment);
        connect(segment, &QPushButton::clicked, m_model, [this, filter] { m_model->setFilter(filter); });
    }
    m_filter->setAccessibleName(QStringLiteral("Show"));
    headerRow->addWidget(m_filter);
    list->addWidget(header);

    auto *listArea = new QWidget;
    auto *stack = new QStackedLayout(listArea);
    m_list->setObjectName(QStringLiteral("apps.list"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new AppRowDelegate(appearance, m_list));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setIconSize(QSize(20, 20));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setAutoFillBackground(false);
    m_empty->setObjectName(QStringLiteral("apps.empty"));
    m_empty->setAlignment(Qt::AlignCenter);
    tone(m_empty, Brand::secondaryText(), appearance);
    stack->addWidget(m_list);
    stack->addWidget(m_empty);
    list->addWidget(listArea);
    column->addWidget(formSection({}, list), 1);

    connect(m_model, &AppsSettingsModel::isListEnabledChanged, this, &AppsSettingsPane::showEnabled);
    connect(m_model, &QAbstractItemModel::modelReset, this, &AppsSettingsPane::showEmpty);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &AppsSettingsPane::showEmpty);
    showEnabled();
    showEmpty();
}

void AppsSettingsPane::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // After the pane has painted once: the first showing reads the installed applications.
    QTimer::singleShot(0, m_model, &AppsSettingsModel::appear);
}

void AppsSettingsPane::showEnabled()
{
    const bool enabled = m_model->isListEnabled();
    m_search->setEnabled(enabled);
    m_filter->setEnabled(enabled);
    m_list->setEnabled(enabled);
    if (!enabled) {
        // "All apps" stays chosen in the radio group while the limit is off.
        if (auto *all = findChild<QRadioButton *>(QStringLiteral("apps.all")))
            all->setChecked(true);
    }
}

void AppsSettingsPane::showEmpty()
{
    auto *stack = static_cast<QStackedLayout *>(m_list->parentWidget()->layout());
    const bool empty = m_model->hasLoaded() && m_model->rowCount() == 0;
    stack->setCurrentWidget(empty ? static_cast<QWidget *>(m_empty) : m_list);
}

} // namespace Lumivox
