#include "Features/Words/Views/EmptyMessageView.h"

#include "Features/Design/Brand.h"
#include "Features/Design/Symbols.h"
#include "Features/Words/Views/WordsStyle.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

constexpr int symbolSize = 40;

} // namespace

EmptyMessageView::EmptyMessageView(QString symbol, const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_symbol(std::move(symbol))
    , m_appearance(appearance)
    , m_icon(new QLabel(this))
    , m_title(WordsStyle::plainLabel(QString()))
    , m_detail(WordsStyle::plainLabel(QString()))
{
    m_title->setObjectName(QStringLiteral("emptyTitle"));
    m_detail->setObjectName(QStringLiteral("emptyDetail"));
    m_icon->setAlignment(Qt::AlignCenter);
    m_title->setMinimumWidth(1);
    m_detail->setMinimumWidth(1);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_detail->setAlignment(Qt::AlignCenter);
    m_detail->setWordWrap(true);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    // A column of bounded width, centred by stretches rather than alignment flags: wrapped labels
    // then know their width and never clip a line.
    auto *box = new QWidget(this);
    box->setMaximumWidth(300);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(m_icon);
    column->addSpacing(4);
    column->addWidget(m_title);
    column->addWidget(m_detail);

    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(box, 100);
    row->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addStretch(1);
    layout->addLayout(row);
    layout->addStretch(1);
    connect(&appearance, &Appearance::isDarkChanged, this, &EmptyMessageView::restyle);
    restyle();
}

void EmptyMessageView::setMessage(const QString &title, const QString &detail)
{
    m_title->setText(title);
    m_detail->setText(detail);
    setAccessibleName(title);
    setAccessibleDescription(detail);
}

QString EmptyMessageView::title() const
{
    return m_title->text();
}

QString EmptyMessageView::detail() const
{
    return m_detail->text();
}

void EmptyMessageView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        restyle();
}

void EmptyMessageView::restyle()
{
    m_title->setFont(WordsStyle::sized(font(), font().pointSizeF() + 4, QFont::DemiBold));
    m_detail->setFont(font());
    WordsStyle::makeSecondary(m_detail, m_appearance.scheme());

    m_icon->setPixmap(Symbols::pixmap(m_symbol, symbolSize, Brand::tertiaryText().resolved(m_appearance.scheme()),
                                      devicePixelRatioF()));
}

} // namespace Lumivox
