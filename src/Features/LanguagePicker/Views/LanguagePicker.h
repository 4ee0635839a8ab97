#pragma once

// The target-language pop-up of Settings and onboarding: a title and a menu of LanguageOptions,
// bound to a language code. Choosing an option writes its code at once (no confirm step). A bound
// code that no option carries exactly shows no option as chosen, and is kept as it is: showing it
// never rewrites what is stored.

#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;

namespace Lumivox {

class LanguageOptions;

class LanguagePicker : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString selection READ selection WRITE setSelection NOTIFY selectionChanged USER true)

public:
    explicit LanguagePicker(const QString &title, QWidget *parent = nullptr);

    QString selection() const { return m_selection; }
    void setSelection(const QString &code);

    QComboBox *menu() const { return m_menu; }
    LanguageOptions *options() const { return m_options; }

signals:
    /// The bound code changed, by the user's choice or by setSelection().
    void selectionChanged(const QString &code);

private:
    void showSelection();

    QString m_selection;
    LanguageOptions *m_options;
    QLabel *m_title;
    QComboBox *m_menu;
};

} // namespace Lumivox
