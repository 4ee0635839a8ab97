#include "Features/Settings/Views/SettingsWidgets.h"

#include "Features/Design/Styling.h"

#include "Features/Design/Brand.h"
#include "Features/Design/Symbols.h"
#include "Features/Settings/Views/SettingsStyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

// The quinary fill: the primary text colour at 5 %.
QColor quinary(ColorScheme scheme)
{
    QColor c = Brand::primaryText().resolved(scheme);
    c.setAlphaF(0.05f);
    return c;
}

} // namespace

void paintDivider(QPainter &painter, const QRectF &line, const Appearance &appearance)
{
    painter.fillRect(line, Brand::separator().resolved(appearance.scheme()));
}

// Row

SettingsRow::SettingsRow(const QString &label, const QString &detail, QWidget *value, bool showsDivider,
                         const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_appearance(appearance)
    , m_label(plainLabel(label, this))
    , m_detail(plainLabel(detail, this))
    , m_showsDivider(showsDivider)
{
    m_detail->setFont(captionFont());
    m_detail->setWordWrap(true);
    m_detail->setVisible(!detail.isEmpty());
    m_label->setWordWrap(true);
    tone(m_detail, Brand::secondaryText(), appearance);

    auto *text = new QVBoxLayout;
    text->setSpacing(2);
    text->addWidget(m_label);
    text->addWidget(m_detail);
    m_lead = new QHBoxLayout;
    m_lead->setSpacing(10);
    m_lead->addLayout(text, 1);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 10, 0, 10);
    row->addLayout(m_lead, 1);
    if (value) {
        value->setParent(this);
        row->addWidget(value, 0, Qt::AlignRight | Qt::AlignVCenter);
        m_label->setBuddy(value);
    }
}

void SettingsRow::setDetail(const QString &detail)
{
    m_detail->setText(detail);
    m_detail->setVisible(!detail.isEmpty());
}

void SettingsRow::setLeading(QWidget *widget)
{
    m_lead->insertWidget(0, widget, 0, Qt::AlignVCenter);
}

void SettingsRow::paintEvent(QPaintEvent *)
{
    if (!m_showsDivider)
        return;
    QPainter painter(this);
    paintDivider(painter, QRectF(0, 0, width(), 1), m_appearance);
}

// Card

SettingsCard::SettingsCard(const Appearance &appearance, QWidget *parent)
    : QFrame(parent)
    , m_appearance(appearance)
    , m_rows(new QVBoxLayout(this))
{
    m_rows->setContentsMargins(14, 0, 14, 0);
    m_rows->setSpacing(0);
}

SettingsRow *SettingsCard::addRow(const QString &label, const QString &detail, QWidget *value)
{
    auto *row = new SettingsRow(label, detail, value, m_rows->count() > 0, m_appearance, this);
    m_rows->addWidget(row);
    return row;
}

void SettingsCard::addWidget(QWidget *widget)
{
    if (m_rows->count() > 0) {
        auto *rule = new QFrame(this);
        rule->setFixedHeight(1);
        m_rows->addWidget(rule);
    }
    m_rows->addWidget(widget);
}

void SettingsCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(quinary(m_appearance.scheme()));
    painter.drawRoundedRect(QRectF(rect()), 12, 12);
    // Dividers between content that is not a row.
    for (QObject *child : children()) {
        auto *rule = qobject_cast<QFrame *>(child);
        if (rule && rule->height() == 1 && rule->parent() == this)
            paintDivider(painter, QRectF(rule->geometry()), m_appearance);
    }
}

QVBoxLayout *formColumn(QWidget *pane)
{
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(18);
    auto *scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    whiteGroupedForm(scroll);
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    return column;
}

QCheckBox *switchBox(const char *name, QWidget *parent)
{
    auto *box = new QCheckBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QPushButton *button(const QString &title, const char *name)
{
    auto *b = new QPushButton(title);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QComboBox *picker(const char *name)
{
    auto *box = new QComboBox;
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QWidget *formSection(const QString &header, QWidget *card)
{
    auto *section = new QWidget;
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    if (!header.isEmpty()) {
        QLabel *title = plainLabel(header, section);
        QFont font = title->font();
        font.setBold(true);
        title->setFont(font);
        title->setContentsMargins(4, 0, 0, 0);
        layout->addWidget(title);
    }
    card->setParent(section);
    layout->addWidget(card);
    return section;
}

// Chip

LanguageChip::LanguageChip(const QString &text, bool isMuted, const Appearance &appearance, QWidget *parent)
    : QLabel(parent)
    , m_appearance(appearance)
{
    setTextFormat(Qt::PlainText);
    setText(text);
    setFont(captionFont());
    setContentsMargins(9, 3, 9, 3);
    tone(this, isMuted ? Brand::secondaryText() : Brand::primaryText(), appearance);
}

void LanguageChip::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(quinary(m_appearance.scheme()));
        const QRectF r(rect());
        painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    }
    QLabel::paintEvent(event);
}

// Primary button

PrimaryButton::PrimaryButton(const QString &title, const Appearance &appearance, QWidget *parent)
    : QPushButton(title, parent)
    , m_appearance(appearance)
    , m_spinner(new QTimer(this))
{
    setFixedSize(280, 32);
    setCursor(Qt::PointingHandCursor);
    m_spinner->setInterval(80);
    connect(m_spinner, &QTimer::timeout, this, [this] {
        m_phase = (m_phase + 1) % 8;
        update();
    });
}

void PrimaryButton::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    busy ? m_spinner->start() : m_spinner->stop();
    update();
}

void PrimaryButton::setDimmed(bool dimmed)
{
    if (dimmed == m_dimmed)
        return;
    m_dimmed = dimmed;
    setCursor(dimmed ? Qt::ArrowCursor : Qt::PointingHandCursor);
    setFocusPolicy(dimmed ? Qt::NoFocus : Qt::StrongFocus);
    update();
}

void PrimaryButton::mousePressEvent(QMouseEvent *event)
{
    if (m_dimmed || m_busy)
        return; // inert: the click falls through to nothing
    QPushButton::mousePressEvent(event);
}

void PrimaryButton::keyPressEvent(QKeyEvent *event)
{
    if (m_dimmed || m_busy)
        return;
    QPushButton::keyPressEvent(event);
}

void PrimaryButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_dimmed ? 0.45 : 1.0);
    QColor fill = Brand::accent().resolved(m_appearance.scheme());
    if (isDown())
        fill = fill.darker(115);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    if (m_busy) {
        const QPointF centre = r.center();
        for (int i = 0; i < 8; ++i) {
            QColor spoke(Qt::white);
            spoke.setAlphaF(float(0.25 + 0.75 * ((i + 8 - m_phase) % 8) / 7.0));
            painter.setPen(QPen(spoke, 2, Qt::SolidLine, Qt::RoundCap));
            painter.save();
            painter.translate(centre);
            painter.rotate(45.0 * i);
            painter.drawLine(QPointF(0, 4), QPointF(0, 7));
            painter.restore();
        }
        return;
    }
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(r, Qt::AlignCenter, text());
}

// Symbol

SymbolMark::SymbolMark(QString name, QColor color, int side, QWidget *parent)
    : QWidget(parent)
    , m_name(std::move(name))
    , m_color(color)
{
    setFixedSize(side, side);
}

void SymbolMark::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    Symbols::paint(painter, QRectF(rect()), m_name, m_color);
}

QColor grantedGreen()
{
    return QColor(0x34, 0xc7, 0x59);
}

// Key icon

GoogleKeyIcon::GoogleKeyIcon(const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_appearance(appearance)
{
    setFixedSize(sizeHint());
    setAccessibleName(QStringLiteral("Google Translate"));
}

void GoogleKeyIcon::setSaved(bool saved)
{
    if (std::exchange(m_saved, saved) != saved)
        update();
}

void GoogleKeyIcon::paintEvent(QPaintEvent *)
{
    const ColorScheme scheme = m_appearance.scheme();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(0, 0, 64, 64);
    p.setPen(Qt::NoPen);
    p.setBrush(quinary(scheme));
    p.drawRoundedRect(tile, 16, 16);

    // The globe: a circle, its meridian and two parallels, in the accent colour.
    const QColor tint = Brand::accent().resolved(scheme);
    p.setPen(QPen(tint, 2));
    p.setBrush(Qt::NoBrush);
    const QRectF globe(tile.center() - QPointF(15, 15), QSizeF(30, 30));
    p.drawEllipse(globe);
    p.drawEllipse(QRectF(globe.center() - QPointF(7, 15), QSizeF(14, 30)));
    p.drawLine(QPointF(globe.left(), globe.center().y()), QPointF(globe.right(), globe.center().y()));
    p.drawLine(QPointF(globe.left() + 4, globe.top() + 8), QPointF(globe.right() - 4, globe.top() + 8));
    p.drawLine(QPointF(globe.left() + 4, globe.bottom() - 8), QPointF(globe.right() - 4, globe.bottom() - 8));

    // The badge at the bottom-right corner, 5 points outside the tile.
    const QPointF badgeCentre(tile.right() + 5 - 11, tile.bottom() + 5 - 11);
    const QColor background = palette().color(QPalette::Base);
    if (m_saved) {
        p.setPen(Qt::NoPen);
        p.setBrush(background);
        p.drawEllipse(badgeCentre, 13, 13);
        p.setBrush(grantedGreen());
        p.drawEllipse(badgeCentre, 11, 11);
        QPainterPath check;
        check.moveTo(badgeCentre + QPointF(-5, 0));
        check.lineTo(badgeCentre + QPointF(-1.5, 3.5));
        check.lineTo(badgeCentre + QPointF(5, -3.5));
        p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(check);
        return;
    }
    QColor shadow(Qt::black);
    shadow.setAlphaF(0.18f);
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(badgeCentre + QPointF(0, 1), 11.5, 11.5);
    p.setBrush(background);
    p.drawEllipse(badgeCentre, 11, 11);
    // A small key: a ring and a bit.
    p.setPen(QPen(Brand::secondaryText().resolved(scheme), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(badgeCentre + QPointF(-2.5, 0), 2.6, 2.6);
    p.drawLine(badgeCentre + QPointF(0.2, 0), badgeCentre + QPointF(5.5, 0));
    p.drawLine(badgeCentre + QPointF(4, 0), badgeCentre + QPointF(4, 2.5));
}

} // namespace Lumivox
