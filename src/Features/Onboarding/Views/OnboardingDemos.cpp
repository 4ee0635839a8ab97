#include "Features/Onboarding/Views/OnboardingDemos.h"

#include "Features/Design/Brand.h"
#include "Features/Design/Styling.h"
#include "Features/Overlay/Views/TooltipLayout.h"
#include "Features/Overlay/Views/TooltipText.h"

#include <QEasingCurve>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QStaticText>
#include <QVariantAnimation>

#include <cmath>
#include <numbers>
#include <optional>
#include <tuple>
#include <vector>

namespace Lumivox {

namespace {

constexpr int easeMs = 200;
// A critically damped spring with a response of 0.6 s has settled (to under 1 %) after 0.7 s.
constexpr int springMs = 700;
constexpr double springResponse = 0.6;
// The tooltip's lowest 8 points overlap the top of the word it points at.
constexpr double tooltipOverlap = 8;

double springProgress(qreal progress)
{
    const double omega = 2 * std::numbers::pi / springResponse;
    const auto settle = [omega](double seconds) { return 1 - (1 + omega * seconds) * std::exp(-omega * seconds); };
    return settle(progress * springMs / 1000.0) / settle(springMs / 1000.0);
}

double mix(double from, double to, double t)
{
    return from + (to - from) * t;
}

QColor withAlpha(QColor color, double opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

QFont sceneFont(double points, QFont::Weight weight = QFont::Normal)
{
    return TooltipText::systemFont(points, weight);
}

QFont monospaced(double points, QFont::Weight weight = QFont::Normal)
{
    QFont family = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    family.setStyleHint(QFont::Monospace);
    return TooltipText::font(family, points, weight);
}

// The system pointer: a black arrow with a white outline, its tip at the origin.
void paintPointer(QPainter &painter, QPointF tip)
{
    QPainterPath arrow;
    arrow.moveTo(0, 0);
    arrow.lineTo(0, 15);
    arrow.lineTo(3.6, 11.6);
    arrow.lineTo(6.4, 17.6);
    arrow.lineTo(8.8, 16.6);
    arrow.lineTo(6.1, 10.8);
    arrow.lineTo(10.8, 10.8);
    arrow.closeSubpath();
    painter.save();
    painter.translate(tip);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::black);
    painter.drawPath(arrow);
    painter.restore();
}

} // namespace

// Keycap

Keycap::Keycap(const QString &symbol, const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_appearance(appearance)
{
    setFont(sceneFont(13));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(sizeHint());
}

void Keycap::setPressed(bool pressed)
{
    if (pressed == m_pressed)
        return;
    m_pressed = pressed;
    update();
}

QSize Keycap::sizeHint() const
{
    // At least 28 × 26, and one more point below for the edge a raised key shows.
    const double text = QFontMetricsF(font()).horizontalAdvance(m_symbol);
    return QSize(int(std::ceil(std::max(28.0, text + 14))), 27);
}

void Keycap::paintEvent(QPaintEvent *)
{
    const ColorScheme scheme = m_appearance.scheme();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face(0, m_pressed ? 1 : 0, width(), height() - 1);
    if (!m_pressed) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 51));
        painter.drawRoundedRect(face.translated(0, 1), 6, 6);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_pressed ? Brand::highlighter().resolved(scheme) : Brand::controlBackground().resolved(scheme));
    painter.drawRoundedRect(face, 6, 6);
    painter.setPen(QPen(m_pressed ? Brand::accent().resolved(scheme) : Brand::rule().resolved(scheme), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), 5.5, 5.5);
    painter.setPen(m_pressed ? Brand::accent().resolved(scheme) : Brand::primaryText().resolved(scheme));
    painter.drawText(face, Qt::AlignCenter, m_symbol);
}

// PageDots

PageDots::PageDots(int count, const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_count(std::max(count, 0))
    , m_appearance(appearance)
    , m_move(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("onboarding.pageDots"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_move->setStartValue(0.0);
    m_move->setEndValue(1.0);
    m_move->setDuration(easeMs);
    m_move->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_move, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    setCurrent(0, false);
}

void PageDots::setCurrent(int current, bool animated)
{
    m_previous = m_current;
    m_current = current;
    setAccessibleName(QStringLiteral("Step %1 of %2").arg(current + 1).arg(m_count));
    m_move->stop();
    if (animated && m_previous != m_current)
        m_move->start();
    update();
}

QSize PageDots::sizeHint() const
{
    return QSize(m_count > 0 ? 18 + (m_count - 1) * 12 : 0, 6);
}

void PageDots::paintEvent(QPaintEvent *)
{
    const ColorScheme scheme = m_appearance.scheme();
    const double t = m_move->state() == QAbstractAnimation::Running ? m_move->currentValue().toDouble() : 1.0;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor accent = Brand::accent().resolved(scheme);
    const QColor rule = Brand::rule().resolved(scheme);
    double x = 0;
    const double y = (height() - 6) / 2.0;
    for (int i = 0; i < m_count; ++i) {
        // The wide dot shrinks where it was and grows where it goes.
        const double weight = i == m_current ? t : (i == m_previous ? 1 - t : 0);
        const double width = 6 + 12 * weight;
        const QColor colour =
            QColor::fromRgbF(mix(rule.redF(), accent.redF(), weight), mix(rule.greenF(), accent.greenF(), weight),
                             mix(rule.blueF(), accent.blueF(), weight), mix(rule.alphaF(), accent.alphaF(), weight));
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(x, y, width, 6), 3, 3);
        x += width + 6;
    }
}

// TooltipPicture

TooltipPicture::TooltipPicture(const QString &text, double fontSize)
{
    TooltipContent content;
    content.text = text;
    content.fontSize = fontSize;
    m_layout = std::make_unique<TooltipLayout>(content, ArrowEdge::bottom);
}

TooltipPicture::~TooltipPicture() = default;

const QPixmap &TooltipPicture::image(ColorScheme scheme, qreal devicePixelRatio)
{
    if (m_scheme == scheme && !m_image.isNull() && m_image.devicePixelRatio() == devicePixelRatio)
        return m_image;
    m_scheme = scheme;
    const QSizeF size = m_layout->size();
    m_image = QPixmap(QSize(int(std::ceil(size.width())), int(std::ceil(size.height()))) * devicePixelRatio);
    m_image.setDevicePixelRatio(devicePixelRatio);
    m_image.fill(Qt::transparent);
    QPainter painter(&m_image);
    TooltipLayout::Paint options;
    options.scheme = scheme;
    m_layout->paint(painter, options);
    return m_image;
}

QPointF TooltipPicture::arrowTip() const
{
    const QRectF bubble = m_layout->bubbleRect();
    return QPointF(bubble.center().x(), bubble.bottom());
}

// HoverDemo

namespace {

HoverDemo::Pose poseOf(DemoPhase phase)
{
    return HoverDemo::Pose {Demo::isPointing(phase) ? 1.0 : 0.0, Demo::showsTranslation(phase) ? 1.0 : 0.0,
                            Demo::isPointing(phase) ? 1.0 : 0.0};
}

struct SceneLine
{
    QFont font;
    double left = 0;
    double top = 0;
    double baseline = 0;
    QString before;
    QString word;
    QString after;
    QRectF wordBox;
};

} // namespace

HoverDemo::HoverDemo(const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_appearance(appearance)
    , m_ease(new QVariantAnimation(this))
    , m_spring(new QVariantAnimation(this))
    , m_key(new Keycap(QStringLiteral("Alt"), appearance, this))
    , m_tooltip(QStringLiteral("coffee"), 15)
{
    setObjectName(QStringLiteral("onboarding.hoverDemo"));
    setAccessibleName(QStringLiteral("Example: holding Alt over the French word café shows coffee."));
    setFixedHeight(sizeHint().height());
    setMinimumWidth(320);
    previewSurface(this, appearance);
    for (QVariantAnimation *animation : {m_ease, m_spring}) {
        animation->setStartValue(0.0);
        animation->setEndValue(1.0);
        connect(animation, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    }
    m_ease->setDuration(easeMs);
    m_ease->setEasingCurve(QEasingCurve::InOutQuad);
    m_spring->setDuration(springMs);
    QEasingCurve spring;
    spring.setCustomType(&springProgress);
    m_spring->setEasingCurve(spring);
    m_from = m_to = poseOf(m_phase);
}

HoverDemo::~HoverDemo() = default;

HoverDemo::Pose HoverDemo::pose() const
{
    const auto progress = [](const QVariantAnimation *animation) {
        return animation->state() == QAbstractAnimation::Running ? animation->currentValue().toDouble() : 1.0;
    };
    const double eased = progress(m_ease);
    const double sprung = progress(m_spring);
    return Pose {mix(m_from.highlight, m_to.highlight, eased), mix(m_from.translation, m_to.translation, eased),
                 mix(m_from.pointer, m_to.pointer, sprung)};
}

bool HoverDemo::isAnimating() const
{
    return m_ease->state() == QAbstractAnimation::Running || m_spring->state() == QAbstractAnimation::Running;
}

void HoverDemo::setPhase(DemoPhase phase, bool animated)
{
    const Pose now = pose();
    const Pose target = poseOf(phase);
    m_phase = phase;
    m_key->setPressed(Demo::isKeyDown(phase));
    m_ease->stop();
    m_spring->stop();
    m_from = animated ? now : target;
    m_to = target;
    if (animated) {
        // Each part moves only when its target changed, so a still part costs no frames.
        if (now.highlight != target.highlight || now.translation != target.translation)
            m_ease->start();
        if (now.pointer != target.pointer)
            m_spring->start();
    }
    update();
}

void HoverDemo::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeKey();
}

void HoverDemo::placeKey()
{
    const QRect inner = contentsRect();
    m_key->move(inner.left() + 14, inner.bottom() - 14 - m_key->height() + 1);
}

void HoverDemo::paintEvent(QPaintEvent *)
{
    const ColorScheme scheme = m_appearance.scheme();
    const Pose now = pose();
    const QRectF inner = QRectF(contentsRect());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // The sentence's shapes are laid out once per size; a frame only places and blends them.
    if (m_scene.width != inner.width())
        layoutScene(inner);
    const QRectF wordBox = m_scene.wordBox;
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(Brand::highlighter().resolved(scheme), now.highlight));
    if (now.highlight > 0)
        painter.drawRoundedRect(wordBox, 3, 3);
    painter.setFont(m_scene.font);
    painter.setPen(Brand::primaryText().resolved(scheme));
    painter.drawStaticText(QPointF(wordBox.left() - m_scene.before.size().width(), wordBox.top()), m_scene.before);
    painter.drawStaticText(QPointF(wordBox.left() + 2, wordBox.top()), m_scene.word);
    painter.drawStaticText(wordBox.topRight(), m_scene.after);

    // The tooltip rises 4 points as it fades in.
    if (now.translation > 0) {
        const QPixmap &image = m_tooltip.image(scheme, devicePixelRatioF());
        const QPointF tip = m_tooltip.arrowTip();
        const QPointF at(wordBox.center().x() - tip.x(),
                         wordBox.top() + tooltipOverlap - tip.y() + 4 * (1 - now.translation));
        painter.setOpacity(now.translation);
        painter.drawPixmap(at, image);
        painter.setOpacity(1);
    }

    // The pointer's frame hangs from the word's lower trailing corner: aside while idle, on the word
    // while pointing.
    constexpr QSizeF pointerFrame(17, 20);
    const QPointF offset(mix(110, -8, now.pointer), mix(50, 16, now.pointer));
    const QPointF frameBottomRight = wordBox.bottomRight() + offset;
    paintPointer(painter, frameBottomRight - QPointF(pointerFrame.width(), pointerFrame.height()) + QPointF(3, 1));

    // "held" beside the key cap while it is down. Up, the cap already names the key ("Alt"), so a
    // caption naming it again would only repeat it.
    if (Demo::isKeyDown(m_phase)) {
        painter.setFont(m_scene.captionFont);
        painter.setPen(Brand::accent().resolved(scheme));
        const QRectF key = QRectF(m_key->geometry());
        const QStaticText &caption = m_scene.held;
        painter.drawStaticText(QPointF(key.right() + 8, key.center().y() - caption.size().height() / 2), caption);
    }
}

void HoverDemo::layoutScene(const QRectF &inner)
{
    m_scene.width = inner.width();
    m_scene.font = sceneFont(17);
    m_scene.captionFont = sceneFont(11, QFont::Medium);
    for (auto [text, font, shape] : {std::tuple {QStringLiteral("Le "), m_scene.font, &m_scene.before},
                                     std::tuple {QStringLiteral("café"), m_scene.font, &m_scene.word},
                                     std::tuple {QStringLiteral(" est prêt."), m_scene.font, &m_scene.after},
                                     std::tuple {QStringLiteral("held"), m_scene.captionFont, &m_scene.held}}) {
        shape->setText(text);
        shape->setTextFormat(Qt::PlainText);
        shape->prepare(QTransform(), font);
    }
    // Centred in the 156 points below the top padding of 24, a little low to leave the tooltip room.
    const QFontMetricsF metrics(m_scene.font);
    const double wordWidth = m_scene.word.size().width() + 4;
    const double width = m_scene.before.size().width() + wordWidth + m_scene.after.size().width();
    const double lineTop = inner.top() + 24 + (156 - metrics.height()) / 2 + 8;
    const double left = inner.left() + (inner.width() - width) / 2;
    m_scene.wordBox = QRectF(left + m_scene.before.size().width(), lineTop, wordWidth, metrics.height());
}

// WordFilterDemo

const QString WordFilterDemo::personName = QStringLiteral("Ada Lovelace");
const QString WordFilterDemo::codeToken = QStringLiteral("parse_args");
const QString WordFilterDemo::linkToken = QStringLiteral("wikipedia.org");

namespace {

struct Run
{
    enum class Kind { plain, hovered, ignored };
    QString text;
    QFont font;
    Kind kind = Kind::plain;
    QString tag;
};

QFont tagFont()
{
    return monospaced(9, QFont::DemiBold);
}

// Ignored: the text in the secondary colour, then its tag in a small chip, on a light wash.
double runWidth(const Run &run, bool filtering)
{
    const double text = QFontMetricsF(run.font).horizontalAdvance(run.text);
    if (run.kind == Run::Kind::hovered)
        return text + 4;
    if (run.kind == Run::Kind::ignored && filtering)
        return 3 + text + 4 + QFontMetricsF(tagFont()).horizontalAdvance(run.tag.toUpper()) + 8 + 3;
    return text;
}

} // namespace

WordFilterDemo::WordFilterDemo(const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_appearance(appearance)
    , m_tooltip(QStringLiteral("merveilleux"), 13)
{
    setObjectName(QStringLiteral("onboarding.wordFilterDemo"));
    setFixedHeight(sizeHint().height());
    setMinimumWidth(320);
    previewSurface(this, appearance);
    setFiltering(true);
}

WordFilterDemo::~WordFilterDemo() = default;

void WordFilterDemo::setFiltering(bool filtering)
{
    m_filtering = filtering;
    setAccessibleName(QStringLiteral("Example: in a sentence, only the word wonderful gets a translation. %1, %2 and "
                                     "%3 are ignored.")
                          .arg(personName, codeToken, linkToken));
    update();
}

void WordFilterDemo::paintEvent(QPaintEvent *)
{
    const ColorScheme scheme = m_appearance.scheme();
    const QFont text = sceneFont(15);
    const QFont code = monospaced(13);
    const std::vector<std::vector<Run>> lines {
        {{QStringLiteral("What a "), text},
         {QStringLiteral("wonderful"), text, Run::Kind::hovered},
         {QStringLiteral(" note from "), text},
         {personName, text, Run::Kind::ignored, QStringLiteral("name")}},
        {{QStringLiteral("about "), text},
         {codeToken, code, Run::Kind::ignored, QStringLiteral("code")},
         {QStringLiteral(" on "), text},
         {linkToken, text, Run::Kind::ignored, QStringLiteral("link")}},
    };
    const QRectF inner = QRectF(contentsRect());
    const QFontMetricsF metrics(text);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    double top = inner.top() + 58;
    std::optional<QRectF> hovered;
    for (const std::vector<Run> &line : lines) {
        double width = 0;
        for (const Run &run : line)
            width += runWidth(run, m_filtering);
        double x = inner.left() + (inner.width() - width) / 2;
        const double baseline = top + metrics.ascent();
        for (const Run &run : line) {
            const double advance = runWidth(run, m_filtering);
            const QRectF box(x, top, advance, metrics.height());
            painter.setFont(run.font);
            if (run.kind == Run::Kind::hovered) {
                hovered = box;
                painter.setPen(Qt::NoPen);
                painter.setBrush(Brand::highlighter().resolved(scheme));
                painter.drawRoundedRect(box, 3, 3);
                painter.setPen(Brand::primaryText().resolved(scheme));
                painter.drawText(QPointF(x + 2, baseline), run.text);
            } else if (run.kind == Run::Kind::ignored && m_filtering) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(Brand::ignored().resolved(scheme));
                painter.drawRoundedRect(box, 4, 4);
                painter.setPen(Brand::secondaryText().resolved(scheme));
                painter.drawText(QPointF(x + 3, baseline), run.text);
                const QFont small = tagFont();
                const QFontMetricsF tagMetrics(small);
                const QString tag = run.tag.toUpper();
                const double tagLeft = x + 3 + QFontMetricsF(run.font).horizontalAdvance(run.text) + 4;
                const QRectF chip(tagLeft, baseline - tagMetrics.ascent() - 1, tagMetrics.horizontalAdvance(tag) + 8,
                                  tagMetrics.ascent() + tagMetrics.descent() + 2);
                painter.setPen(Qt::NoPen);
                painter.setBrush(Brand::separator().resolved(scheme));
                painter.drawRoundedRect(chip, 3, 3);
                painter.setFont(small);
                painter.setPen(Brand::secondaryText().resolved(scheme));
                painter.drawText(QPointF(tagLeft + 4, baseline), tag);
            } else {
                painter.setPen(Brand::primaryText().resolved(scheme));
                painter.drawText(QPointF(x, baseline), run.text);
            }
            x += advance;
        }
        top += metrics.height() + 10;
    }
    if (hovered) {
        const QPixmap &image = m_tooltip.image(scheme, devicePixelRatioF());
        const QPointF tip = m_tooltip.arrowTip();
        painter.drawPixmap(QPointF(hovered->center().x() - tip.x(), hovered->top() + tooltipOverlap - tip.y()), image);
    }
}

// FilterLegend

namespace {

struct Swatch
{
    const Color &colour;
    QString label;
};

} // namespace

FilterLegend::FilterLegend(const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_appearance(appearance)
{
    setFont(sceneFont(11));
    setFixedHeight(sizeHint().height());
}

QSize FilterLegend::sizeHint() const
{
    return QSize(200, int(std::ceil(QFontMetricsF(font()).height())));
}

void FilterLegend::paintEvent(QPaintEvent *)
{
    const ColorScheme scheme = m_appearance.scheme();
    const Swatch swatches[] {{Brand::highlighter(), QStringLiteral("Translated")},
                             {Brand::ignored(), QStringLiteral("Ignored")}};
    const QFontMetricsF metrics(font());
    double width = 18;
    for (const Swatch &swatch : swatches)
        width += 10 + 6 + metrics.horizontalAdvance(swatch.label);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    double x = (this->width() - width) / 2;
    const double middle = height() / 2.0;
    for (const Swatch &swatch : swatches) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(swatch.colour.resolved(scheme));
        painter.drawRoundedRect(QRectF(x, middle - 5, 10, 10), 3, 3);
        x += 16;
        painter.setPen(Brand::secondaryText().resolved(scheme));
        painter.drawText(QRectF(x, 0, metrics.horizontalAdvance(swatch.label) + 1, height()), Qt::AlignVCenter,
                         swatch.label);
        x += metrics.horizontalAdvance(swatch.label) + 18;
    }
}

} // namespace Lumivox
