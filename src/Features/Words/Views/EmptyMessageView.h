#pragma once

// What stands in for an empty list or a missing selection: a symbol, a title and a line of detail,
// centred.

#include "Features/Design/Appearance.h"

#include <QWidget>

class QLabel;

namespace Lumivox {

class EmptyMessageView : public QWidget
{
    Q_OBJECT
public:
    EmptyMessageView(QString symbol, const Appearance &appearance, QWidget *parent = nullptr);

    void setMessage(const QString &title, const QString &detail);
    QString title() const;
    QString detail() const;

protected:
    void changeEvent(QEvent *event) override;

private:
    void restyle();

    QString m_symbol;
    const Appearance &m_appearance;
    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_detail;
};

} // namespace Lumivox
