#include "Support/LayoutCheck.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTextDocument>
#include <QToolButton>

namespace Lumivox::Testing {

namespace {

// Layouts round to whole pixels: a text one pixel taller or wider than its box on paper is drawn
// whole.
constexpr int rounding = 1;

QString describe(const QWidget *widget, const QString &text = {})
{
    QString name = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty())
        name += QStringLiteral(" '%1'").arg(widget->objectName());
    if (!text.isEmpty())
        name += QStringLiteral(" \"%1\"").arg(text.left(40));
    return name;
}

QString visibleText(QString text)
{
    // A single & marks the mnemonic and is not drawn.
    return text.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

bool isRich(const QLabel *label)
{
    return label->textFormat() == Qt::RichText
        || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
}

// Where the widget can be seen, in the window's coordinates: inside every ancestor, except along
// the direction a scroll area it sits in can be scrolled.
void checkPlace(const QWidget *window, const QWidget *widget, QStringList &problems)
{
    const QRect own(widget->mapTo(window, QPoint(0, 0)), widget->size());
    QRect bound = own;
    bool scrollsAcross = false;
    bool scrollsDown = false;
    for (const QWidget *ancestor = widget->parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        // A scroll area's viewport shows its content only in part along the ways it scrolls.
        if (const auto *scroll = qobject_cast<const QAbstractScrollArea *>(ancestor->parentWidget());
            scroll && scroll->viewport() == ancestor) {
            scrollsAcross = scrollsAcross || scroll->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
            scrollsDown = scrollsDown || scroll->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
        }
        const QRect area(ancestor->mapTo(window, QPoint(0, 0)), ancestor->size());
        if (!scrollsAcross) {
            bound.setLeft(std::max(bound.left(), area.left()));
            bound.setRight(std::min(bound.right(), area.right()));
        }
        if (!scrollsDown) {
            bound.setTop(std::max(bound.top(), area.top()));
            bound.setBottom(std::min(bound.bottom(), area.bottom()));
        }
        if (ancestor == window)
            break;
    }
    if (bound != own) {
        problems << QStringLiteral("%1: lies outside its window (%2,%3 %4×%5 shows as %6,%7 %8×%9)")
                        .arg(describe(widget))
                        .arg(own.x())
                        .arg(own.y())
                        .arg(own.width())
                        .arg(own.height())
                        .arg(bound.x())
                        .arg(bound.y())
                        .arg(std::max(0, bound.width()))
                        .arg(std::max(0, bound.height()));
    }
}

void checkLabel(const QLabel *label, QStringList &problems)
{
    const QString text = label->text();
    if (text.isEmpty()) {
        // A label that paints its own (elided) text keeps the whole of it for its size hint.
        if (label->pixmap().isNull() && label->sizeHint().width() > label->width())
            problems << QStringLiteral("%1: text elided (needs %2 px, has %3)")
                            .arg(describe(label, label->accessibleName()))
                            .arg(label->sizeHint().width())
                            .arg(label->width());
        return;
    }
    const QString full = !label->accessibleName().isEmpty() ? label->accessibleName() : label->toolTip();
    if (text.endsWith(QChar(0x2026)) && !full.isEmpty() && full != text)
        problems << QStringLiteral("%1: text elided").arg(describe(label, full));

    const QMargins margins = label->contentsMargins();
    const int frame = 2 * (label->margin() + label->frameWidth());
    if (label->wordWrap()) {
        const int needed = label->heightForWidth(label->width());
        if (needed > label->height() + rounding)
            problems << QStringLiteral("%1: wrapped text cut at the bottom (needs %2 px, has %3)")
                            .arg(describe(label, text))
                            .arg(needed)
                            .arg(label->height());
        return;
    }
    // The label's own size hint knows its style sheet; the text's extent in the font it has now
    // knows a label that shrinks its font to fit. Text that fits by either measure is not cut.
    QSize needed = label->sizeHint();
    if (!isRich(label)) {
        const QRect box =
            label->fontMetrics().boundingRect(QRect(0, 0, 100000, 100000), Qt::TextExpandTabs | Qt::AlignLeft, text);
        needed = needed.boundedTo(QSize(box.width() + margins.left() + margins.right() + frame,
                                        box.height() + margins.top() + margins.bottom() + frame));
    }
    if (needed.width() > label->width() + rounding || needed.height() > label->height() + rounding)
        problems << QStringLiteral("%1: text cut (needs %2×%3 px, has %4×%5)")
                        .arg(describe(label, text))
                        .arg(needed.width())
                        .arg(needed.height())
                        .arg(label->width())
                        .arg(label->height());
}

void checkButton(const QAbstractButton *button, QStringList &problems)
{
    const QString text = visibleText(button->text());
    if (text.isEmpty())
        return;
    int needed = 0;
    if (qobject_cast<const QCheckBox *>(button) || qobject_cast<const QRadioButton *>(button)) {
        needed = button->sizeHint().width();
    } else {
        const auto *tool = qobject_cast<const QToolButton *>(button);
        if (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
            return;
        needed = button->fontMetrics().horizontalAdvance(text) + 8;
        if (!button->icon().isNull() && !(tool && tool->toolButtonStyle() == Qt::ToolButtonTextOnly))
            needed += button->iconSize().width() + 4;
    }
    if (needed > button->width())
        problems << QStringLiteral("%1: title cut (needs %2 px, has %3)")
                        .arg(describe(button, text))
                        .arg(needed)
                        .arg(button->width());
}

void checkComboBox(const QComboBox *combo, QStringList &problems)
{
    if (combo->currentText().isEmpty())
        return;
    // The choice is drawn in the field the style leaves beside the pop-up's arrow.
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.currentText = combo->currentText();
    const QRect field =
        combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    const int needed = combo->fontMetrics().horizontalAdvance(combo->currentText());
    if (needed > field.width() + rounding)
        problems << QStringLiteral("%1: choice cut (needs %2 px, has %3)")
                        .arg(describe(combo, combo->currentText()))
                        .arg(needed)
                        .arg(field.width());
}

} // namespace

QStringList layoutProblems(const QWidget *window)
{
    QStringList problems;
    for (const QWidget *widget : window->findChildren<QWidget *>()) {
        if (widget->isWindow() || !widget->isVisibleTo(window) || widget->width() <= 0 || widget->height() <= 0)
            continue;
        checkPlace(window, widget, problems);
        if (const auto *label = qobject_cast<const QLabel *>(widget))
            checkLabel(label, problems);
        else if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
            checkButton(button, problems);
        else if (const auto *combo = qobject_cast<const QComboBox *>(widget))
            checkComboBox(combo, problems);
    }
    return problems;
}

} // namespace Lumivox::Testing
