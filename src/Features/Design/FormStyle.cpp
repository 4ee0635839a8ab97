#include "Features/Design/FormStyle.h"

#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>
#include <cmath>

namespace Lumivox {

namespace {

constexpr int scrollBarThickness = 12;
constexpr int scrollBarHandleMinimum = 28;
// How far the outline goes from the base colour towards the text colour.
constexpr qreal outlineStrength = 0.42;

QColor mixed(const QColor &from, const QColor &to, qreal amount)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * amount),
                            float(from.greenF() + (to.greenF() - from.greenF()) * amount),
                            float(from.blueF() + (to.blueF() - from.blueF()) * amount));
}

bool isOutlinedPrimitive(QStyle::PrimitiveElement element)
{
    switch (element) {
    case QStyle::PE_IndicatorCheckBox:
    case QStyle::PE_IndicatorRadioButton:
    case QStyle::PE_IndicatorItemViewItemCheck:
    case QStyle::PE_FrameLineEdit:
    case QStyle::PE_PanelLineEdit:
    case QStyle::PE_PanelButtonCommand:
    case QStyle::PE_PanelButtonBevel:
    case QStyle::PE_FrameButtonBevel:
    case QStyle::PE_FrameDefaultButton:
        return true;
    default:
        return false;
    }
}

bool isOutlinedComplex(QStyle::ComplexControl control)
{
    return control == QStyle::CC_ComboBox || control == QStyle::CC_SpinBox || control == QStyle::CC_Slider;
}

// The slider's place along the groove, as the toolkit's own styles work it out, with no arrow
// buttons taking room at the ends.
QRect sliderRect(const QStyleOptionSlider *bar, int minimumLength)
{
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const QRect groove = bar->rect;
    const int length = horizontal ? groove.width() : groove.height();
    const qint64 range = qint64(bar->maximum) - bar->minimum;
    int handle = length;
    if (range > 0) {
        const qint64 page = std::max(bar->pageStep, 1);
        handle = int(double(page) * length / double(range + page));
        handle = std::clamp(handle, std::min(minimumLength, length), length);
    }
    const int start = QStyle::sliderPositionFromValue(bar->minimum, bar->maximum, bar->sliderPosition, length - handle,
                                                      bar->upsideDown);
    return horizontal ? QRect(groove.left() + start, groove.top(), handle, groove.height())
                      : QRect(groove.left(), groove.top() + start, groove.width(), handle);
}

} // namespace

FormStyle::FormStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{ }

void FormStyle::install()
{
    QApplication::setStyle(new FormStyle);
}

QColor FormStyle::outline(const QPalette &palette)
{
    return mixed(palette.color(QPalette::Base), palette.color(QPalette::Text), outlineStrength);
}

QPalette FormStyle::outlined(const QPalette &palette)
{
    // Fusion outlines in the window colour 40 % darker: give it the colour that comes out right.
    QPalette adjusted = palette;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        QPalette forGroup = palette;
        forGroup.setCurrentColorGroup(group);
        const QColor line = outline(forGroup);
        const QColor window =
            QColor::fromHsvF(line.hsvHueF(), line.hsvSaturationF(), std::min(1.0f, line.valueF() * 1.4f));
        adjusted.setColor(group, QPalette::Window, window);
    }
    return adjusted;
}

namespace {

// Draws a copy of the option, outlined, when it is an `Option`; false when it is not one. Each
// option type is copied as itself: Fusion reads the fields of the concrete type.
template<class Option, class Draw>
bool drawnOutlinedAs(const QStyleOption *option, const Draw &draw)
{
    const auto *concrete = qstyleoption_cast<const Option *>(option);
    if (!concrete)
        return false;
    Option copy(*concrete);
    copy.palette = FormStyle::outlined(option->palette);
    draw(&copy);
    return true;
}

} // namespace

void FormStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                              const QWidget *widget) const
{
    const auto draw = [&](const QStyleOption *drawn) { QProxyStyle::drawPrimitive(element, drawn, painter, widget); };
    if (option && isOutlinedPrimitive(element)
        && (drawnOutlinedAs<QStyleOptionButton>(option, draw) || drawnOutlinedAs<QStyleOptionFrame>(option, draw)
            || drawnOutlinedAs<QStyleOptionViewItem>(option, draw) || drawnOutlinedAs<QStyleOption>(option, draw)))
        return;
    draw(option);
}

void FormStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                            const QWidget *widget) const
{
    const auto draw = [&](const QStyleOption *drawn) { QProxyStyle::drawControl(element, drawn, painter, widget); };
    if ((element == CE_ProgressBarGroove || element == CE_ProgressBarContents)
        && drawnOutlinedAs<QStyleOptionProgressBar>(option, draw))
        return;
    draw(option);
}

void FormStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                                   const QWidget *widget) const
{
    if (control == CC_ScrollBar) {
        if (const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option)) {
            drawScrollBar(bar, painter);
            return;
        }
    }
    const auto draw = [&](const auto *drawn) { QProxyStyle::drawComplexControl(control, drawn, painter, widget); };
    if (option && isOutlinedComplex(control)
        && (drawnOutlinedAs<QStyleOptionComboBox>(option, draw) || drawnOutlinedAs<QStyleOptionSpinBox>(option, draw)
            || drawnOutlinedAs<QStyleOptionSlider>(option, draw)))
        return;
    draw(option);
}

void FormStyle::drawScrollBar(const QStyleOptionSlider *bar, QPainter *painter) const
{
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const QColor base = bar->palette.color(QPalette::Base);
    const QColor text = bar->palette.color(QPalette::Text);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    // The trough: barely there, with a hairline on the side of the content it scrolls.
    painter->fillRect(bar->rect, mixed(base, text, 0.04));
    const QRectF edge = horizontal ? QRectF(bar->rect.left(), bar->rect.top(), bar->rect.width(), 1)
                                   : QRectF(bar->rect.left(), bar->rect.top(), 1, bar->rect.height());
    painter->fillRect(edge, mixed(base, text, 0.1));
    if (bar->maximum > bar->minimum && (bar->subControls & SC_ScrollBarSlider)) {
        const bool active = bar->activeSubControls & SC_ScrollBarSlider;
        const bool pressed = active && (bar->state & State_Sunken);
        const bool hovered = active && (bar->state & State_MouseOver);
        QColor handle = text;
        handle.setAlphaF(!(bar->state & State_Enabled) ? 0.15f : pressed ? 0.6f : hovered ? 0.48f : 0.34f);
        const QRectF slider =
            QRectF(sliderRect(bar, proxy()->pixelMetric(PM_ScrollBarSliderMin, bar)))
                .adjusted(horizontal ? 2 : 3, horizontal ? 3 : 2, horizontal ? -2 : -2, horizontal ? -2 : -2);
        const qreal radius = (horizontal ? slider.height() : slider.width()) / 2;
        painter->setPen(Qt::NoPen);
        painter->setBrush(handle);
        painter->drawRoundedRect(slider, radius, radius);
    }
    painter->restore();
}

QRect FormStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl subControl,
                                const QWidget *widget) const
{
    if (control == CC_ScrollBar) {
        if (const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option)) {
            const QRect groove = bar->rect;
            const bool horizontal = bar->orientation == Qt::Horizontal;
            const QRect slider = sliderRect(bar, proxy()->pixelMetric(PM_ScrollBarSliderMin, bar, widget));
            switch (subControl) {
            case SC_ScrollBarSubLine:
            case SC_ScrollBarAddLine:
            case SC_ScrollBarFirst:
            case SC_ScrollBarLast:
                // No arrow buttons: the whole length is the groove.
                return {};
            case SC_ScrollBarGroove:
                return groove;
            case SC_ScrollBarSlider:
                return slider;
            case SC_ScrollBarSubPage:
                return horizontal ? QRect(groove.left(), groove.top(), slider.left() - groove.left(), groove.height())
                                  : QRect(groove.left(), groove.top(), groove.width(), slider.top() - groove.top());
            case SC_ScrollBarAddPage:
                return horizontal
                    ? QRect(slider.right() + 1, groove.top(), groove.right() - slider.right(), groove.height())
                    : QRect(groove.left(), slider.bottom() + 1, groove.width(), groove.bottom() - slider.bottom());
            default:
                break;
            }
        }
    }
    return QProxyStyle::subControlRect(control, option, subControl, widget);
}

int FormStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    switch (metric) {
    case PM_ScrollBarExtent:
        return scrollBarThickness;
    case PM_ScrollBarSliderMin:
        return scrollBarHandleMinimum;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int FormStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                         QStyleHintReturn *returnData) const
{
    if (hint == SH_ComboBox_Popup) {
        // A menu of every choice is right for a handful of them; a long list opens as a list that
        // scrolls, at the current choice.
        if (const auto *combo = qobject_cast<const QComboBox *>(widget);
            combo && combo->count() > combo->maxVisibleItems())
            return 0;
    }
    if (hint == SH_ScrollBar_Transient || hint == SH_DialogButtonBox_ButtonsHaveIcons)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

} // namespace Lumivox
