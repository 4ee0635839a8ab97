#include "Features/Words/Views/EmptyMessageView.h"

#include "Features/Design/Symbols.h"
#include "Features/Words/Views/WordsStyle.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

constexpr int symbolSize = 40;

} // namespace

EmptyMessageView::EmptyMessageView(QString symbol, QWidget *parent)
    : QWidget(parent)
    , m_symbol(std::move(symbol))
    , m_icon(new QLabel(this))
    , m_title(WordsStyle::plainLabel(QString(), this))
    , m_detail(WordsStyle::plainLabel(QString(), this))
{
    m_title->setObjectName(QStringLiteral("emptyTitle"));
    m_detail->setObjectName(QStringLiteral("emptyDetail"));
    m_icon->setAlignment(Qt::AlignCenter);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_detail->setAlignment(Qt::AlignCenter);
    m_detail->setWordWrap(true);
    m_detail->setMaximumWidth(320);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(8);
    layout->addStretch(1);
    layout->addWidget(m_icon, 0, Qt::AlignHCenter);
    layout->addSpacing(4);
    layout->addWidget(m_title, 0, Qt::AlignHCenter);
    layout->addWidget(m_detail, 0, Qt::AlignHCenter);
    layout->addStretch(1);
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
    WordsStyle::makeSecondary(m_detail);

    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(QSize(symbolSize, symbolSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    Symbols::paint(painter, QRectF(0, 0, symbolSize, symbolSize), m_symbol, WordsStyle::tertiary(palette()));
    painter.end();
    m_icon->setPixmap(pixmap);
}

} // namespace Lumivox
