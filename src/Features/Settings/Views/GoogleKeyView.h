#pragma once

// The Google key screen, shown in the General tab in place of the General pane: the entry screen
// (chips of the languages a key unlocks, the masked field, Paste, Save Key) or, once a key is
// stored, the saved screen (the key's last four characters, where it is kept, Remove Key). Every
// text and decision comes from GoogleKeyModel; this view binds and paints.

#include "Features/Design/Appearance.h"
#include "Features/Settings/GoogleKeyModel.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace Lumivox {

class GoogleKeyIcon;
class PrimaryButton;

class GoogleKeyView final : public QWidget
{
    Q_OBJECT
public:
    GoogleKeyView(const Appearance &appearance, std::function<void()> onBack, QWidget *parent = nullptr);

    GoogleKeyModel *model() const { return m_model; }

    static QUrl keyHelpLink();
    static QUrl cloudConsoleLink();

private:
    QWidget *makeEntryScreen();
    QWidget *makeSavedScreen();
    void showState();

    const Appearance &m_appearance;
    GoogleKeyModel *m_model;
    QStackedWidget *m_screens;
    QLineEdit *m_field;
    QPushButton *m_paste;
    QLabel *m_entryError;
    QLabel *m_savedError;
    PrimaryButton *m_save;
    QLabel *m_keyTail;
    QPushButton *m_remove;
    GoogleKeyIcon *m_entryIcon;
    GoogleKeyIcon *m_savedIcon;
};

} // namespace Lumivox
