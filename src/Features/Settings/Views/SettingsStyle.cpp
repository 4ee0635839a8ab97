#include "Features/Settings/Views/SettingsStyle.h"

#include "Features/Settings/Views/PropertyRelay.h"
#include "Models/TriggerMode.h"

#include <QComboBox>
#include <QLabel>
#include <QMetaProperty>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace Lumivox {

void tone(QWidget *widget, const Color &color, const Appearance &appearance)
{
    const auto apply = [widget, color, scheme = [a = QPointer<const Appearance>(&appearance)] {
        return a ? a->scheme() : ColorScheme::light;
    }] {
        QPalette palette = widget->palette();
        const QColor c = color.resolved(scheme());
        palette.setColor(QPalette::Active, QPalette::WindowText, c);
        palette.setColor(QPalette::Inactive, QPalette::WindowText, c);
        palette.setColor(QPalette::Active, QPalette::Text, c);
        palette.setColor(QPalette::Inactive, QPalette::Text, c);
        palette.setColor(QPalette::Active, QPalette::ButtonText, c);
        palette.setColor(QPalette::Inactive, QPalette::ButtonText, c);
        widget->setPalette(palette);
    };
    apply();
    QObject::connect(&appearance, &Appearance::isDarkChanged, widget, apply);
}

QFont captionFont()
{
    QFont font;
    font.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() * 0.85 : 9);
    return font;
}

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

void bindProperty(QObject *source, const char *sourceProperty, QWidget *widget, const char *widgetProperty,
                  std::function<QVariant(const QVariant &)> toWidget,
                  std::function<QVariant(const QVariant &)> toSource)
{
    const QMetaObject *sourceMeta = source->metaObject();
    const QMetaProperty from = sourceMeta->property(sourceMeta->indexOfProperty(sourceProperty));
    const QMetaObject *widgetMeta = widget->metaObject();
    const QMetaProperty to = widgetMeta->property(widgetMeta->indexOfProperty(widgetProperty));
    Q_ASSERT(from.isValid() && to.isValid() && from.hasNotifySignal() && to.hasNotifySignal());

    auto *relay = new PropertyRelay(source, from, widget, to, std::move(toWidget), std::move(toSource));
    const QMetaObject *relayMeta = relay->metaObject();
    QObject::connect(source, from.notifySignal(), relay, relayMeta->method(relayMeta->indexOfSlot("show()")));
    QObject::connect(widget, to.notifySignal(), relay, relayMeta->method(relayMeta->indexOfSlot("store()")));
    relay->show();
}

QComboBox *holdKeyMenu(QObject *controller)
{
    auto *menu = new QComboBox;
    for (const TriggerMode &mode : TriggerMode::allCases())
        menu->addItem(mode.title(), mode.rawValue());
    bindProperty(
        controller, "holdKey", menu, "currentIndex",
        [menu](const QVariant &raw) {
            return QVariant(menu->findData(TriggerMode::fromStored(raw.toString()).rawValue()));
        },
        [menu](const QVariant &index) { return menu->itemData(index.toInt()); });
    return menu;
}

} // namespace Lumivox
