#pragma once

// The two-way link that bindProperty() makes between a property of a model and a property of a
// widget. Connected by meta methods, so it works for any property with a notify signal.

#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <functional>

namespace Lumivox {

// Connects the two notifications by their meta methods, which works for any notifying property.
class PropertyRelay final : public QObject
{
    Q_OBJECT
public:
    PropertyRelay(QObject *source, QMetaProperty from, QWidget *widget, QMetaProperty to,
                  std::function<QVariant(const QVariant &)> toWidget,
                  std::function<QVariant(const QVariant &)> toSource)
        : QObject(widget)
        , m_source(source)
        , m_from(from)
        , m_widget(widget)
        , m_to(to)
        , m_toWidget(std::move(toWidget))
        , m_toSource(std::move(toSource))
    { }

public slots:
    void show()
    {
        if (!m_source)
            return;
        m_showing = true;
        const QVariant value = m_from.read(m_source);
        m_to.write(m_widget, m_toWidget ? m_toWidget(value) : value);
        m_showing = false;
    }
    void store()
    {
        if (m_showing || !m_source)
            return;
        const QVariant value = m_to.read(m_widget);
        m_from.write(m_source, m_toSource ? m_toSource(value) : value);
    }

private:
    QPointer<QObject> m_source;
    QMetaProperty m_from;
    QWidget *m_widget;
    QMetaProperty m_to;
    std::function<QVariant(const QVariant &)> m_toWidget;
    std::function<QVariant(const QVariant &)> m_toSource;
    // Set while a value is shown, so that the widget's own notification does not write it back.
    bool m_showing = false;
};

} // namespace Lumivox
