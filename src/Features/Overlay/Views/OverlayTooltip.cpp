#include "Features/Overlay/Views/OverlayTooltip.h"

#include <QEasingCurve>
#include <QEvent>
#include <QPainter>
#include <QTimer>
#include <QVariantAnimation>

#include <cmath>

namespace Lumivox {

namespace {

constexpr int spinnerStepMs = 80;
constexpr double spinnerStep = 1.0 / 8;
constexpr int loadingChangeMs = 150;

} // namespace

OverlayTooltip::OverlayTooltip(QWidget *parent)
    : QWidget(parent)
    , m_layout(m_content, ArrowEdge::bottom)
    , m_spinner(new QTimer(this))
    , m_contentFade(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("overlayTooltip"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_spinner->setInterval(spinnerStepMs);
    connect(m_spinner, &QTimer::timeout, this, [this] {
        m_spinnerPhase = std::fmod(m_spinnerPhase + spinnerStep, 1.0);
        update();
    });
    m_contentFade->setStartValue(0.0);
    m_contentFade->setEndValue(1.0);
    m_contentFade->setDuration(loadingChangeMs);
    m_contentFade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_contentFade, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

OverlayTooltip::~OverlayTooltip() = default;

void OverlayTooltip::setContent(const TooltipContent &content, ArrowEdge edge)
{
    if (content == m_content && edge == m_layout.arrowEdge())
        return;
    const bool loadingChanged = content.isLoading != m_content.isLoading;
    m_content = content;
    m_layout = TooltipLayout(m_content, edge);
    // An opaque bubble has no compositor behind it, and the panel neither fades: the change is drawn
    // once rather than frame by frame.
    if (loadingChanged && isVisible() && !m_opaque)
        m_contentFade->start();
    updateSpinner();
    updateGeometry();
    update();
}

void OverlayTooltip::setColorScheme(std::optional<ColorScheme> scheme)
{
    m_scheme = scheme;
    update();
}

void OverlayTooltip::setOpaque(bool opaque)
{
    if (opaque == m_opaque)
        return;
    m_opaque = opaque;
    update();
}

QSize OverlayTooltip::sizeHint() const
{
    const QSizeF size = m_layout.size();
    return QSize(static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height())));
}

void OverlayTooltip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    TooltipLayout::Paint options;
    options.scheme = m_scheme ? *m_scheme : Appearance::shared().scheme();
    options.opaque = m_opaque;
    options.spinnerPhase = m_spinnerPhase;
    options.contentOpacity =
        m_contentFade->state() == QAbstractAnimation::Running ? m_contentFade->currentValue().toDouble() : 1.0;
    m_layout.paint(painter, options);
}

void OverlayTooltip::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateSpinner();
}

void OverlayTooltip::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateSpinner();
    m_contentFade->stop();
}

void OverlayTooltip::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The desktop's general font is part of the layout; the palette only of the colours.
    if (event->type() == QEvent::ApplicationFontChange || event->type() == QEvent::FontChange) {
        m_layout = TooltipLayout(m_content, m_layout.arrowEdge());
        updateGeometry();
        update();
    } else if (event->type() == QEvent::PaletteChange) {
        update();
    }
}

void OverlayTooltip::updateSpinner()
{
    // Turns only while someone can see it.
    const bool turning = m_content.isLoading && isVisible();
    if (turning && !m_spinner->isActive())
        m_spinner->start();
    else if (!turning)
        m_spinner->stop();
}

} // namespace Lumivox
