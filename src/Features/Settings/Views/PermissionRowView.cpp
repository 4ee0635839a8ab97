#include "Features/Settings/Views/PermissionRowView.h"

#include "Features/Settings/Views/SettingsStyle.h"
#include "Features/Settings/Views/SettingsWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStackedLayout>

namespace Lumivox {

namespace {

class CheckMark final : public QWidget
{
public:
    explicit CheckMark(QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(16, 16);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(grantedGreen());
        p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(4.5, 8.2), QPointF(7, 10.6), QPointF(11.5, 5.6)}));
    }
};

} // namespace

PermissionRowView::Texts PermissionRowView::accessibility(Place place)
{
    return {QStringLiteral("Accessibility"),
            place == Place::onboarding ? QStringLiteral("Required")
                                       : QStringLiteral("Reads the text under the pointer."),
            QStringLiteral("Turn On…"),
            QStringLiteral("Turns on the desktop's accessibility support. Applications started before may need a "
                           "restart.")};
}

PermissionRowView::Texts PermissionRowView::screenCapture(Place place)
{
    return {QStringLiteral("Screen capture"),
            place == Place::onboarding ? QStringLiteral("Optional, for images and PDFs")
                                       : QStringLiteral("Optional. Reads text in images and PDFs."),
            QStringLiteral("Learn More…"),
            QStringLiteral("Needs an X11 session: under Wayland the screen cannot be read.")};
}

PermissionRowView::PermissionRowView(const Texts &texts, std::function<void()> grantAction,
                                     const Appearance &appearance, bool showsDivider, QWidget *parent)
    : QWidget(parent)
    , m_texts(texts)
{
    auto *value = new QWidget;
    auto *stack = new QStackedLayout(value);
    m_button = new QPushButton(texts.buttonTitle, value);
    m_button->setObjectName(QStringLiteral("permission.") + texts.title.toLower().remove(QLatin1Char(' '))
                            + QStringLiteral(".grant"));
    connect(m_button, &QPushButton::clicked, this, [grantAction] {
        if (grantAction)
            grantAction();
    });
    m_grantedLabel = new QWidget(value);
    auto *granted = new QHBoxLayout(m_grantedLabel);
    granted->setContentsMargins(0, 0, 0, 0);
    granted->setSpacing(5);
    // Against the trailing edge: the stack is as wide as this row's button, which differs from row
    // to row, and the marks of rows above each other must line up.
    granted->addStretch(1);
    granted->addWidget(new CheckMark(m_grantedLabel));
    QLabel *grantedText = plainLabel(QStringLiteral("Granted"), m_grantedLabel);
    tone(grantedText, Brand::secondaryText(), appearance);
    granted->addWidget(grantedText);
    stack->addWidget(m_button);
    stack->addWidget(m_grantedLabel);

    m_row = new SettingsRow(texts.title, texts.subtitle, value, showsDivider, appearance, this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_row);
    m_granted = true; // so that the first assignment lays the row out
    setGranted(false);
}

void PermissionRowView::setGranted(bool granted)
{
    if (std::exchange(m_granted, granted) == granted)
        return;
    m_button->setVisible(!granted);
    m_grantedLabel->setVisible(granted);
    static_cast<QStackedLayout *>(m_button->parentWidget()->layout())
        ->setCurrentWidget(granted ? m_grantedLabel : m_button);
    m_row->setDetail(granted || m_texts.help.isEmpty() ? m_texts.subtitle
                                                       : m_texts.subtitle + QLatin1Char('\n') + m_texts.help);
}

} // namespace Lumivox
