#pragma once

// The content of the floating language picker: a search field, the sectioned list with the
// highlighted row, the current language and locked languages marked, and a one-line key hint, on a
// rounded surface of its own (the panel around it is bare). Everything shown is read from the
// picker model; the only state kept here is where the keyboard focus is.

#include "Features/LanguagePicker/LanguagePickerListModel.h"
#include "Features/LanguagePicker/LanguagePickerModel.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;

namespace Lumivox {

class Appearance;

class LanguagePickerView : public QWidget
{
    Q_OBJECT

public:
    /// Sizes of the layout, in points.
    static constexpr int width = 300;
    static constexpr int listHeight = 300;
    static constexpr qreal cornerRadius = 12;

    LanguagePickerView(LanguagePickerModel *model, Appearance &appearance, QWidget *parent = nullptr);

    QLineEdit *searchField() const { return m_search; }
    QListView *list() const { return m_list; }
    LanguagePickerListModel *listModel() const { return m_listModel; }

    /// Colours follow the light or dark scheme; called again when it changes.
    void applyScheme();

    /// Puts the keyboard focus in the search field and the highlighted row in the middle of the
    /// list: on every preparing of the model, and again once the panel is on screen, since a list
    /// that was never shown cannot scroll.
    void present();

    /// Always the fixed width: the panel is placed by this size before any layout has run.
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void scrollToSelection(int hint);

    Appearance &m_appearance;
    void rowsChanged();

    LanguagePickerModel *m_model;
    LanguagePickerListModel *m_listModel;
    QLineEdit *m_search;
    QListView *m_list;
    QLabel *m_empty;
    QLabel *m_hint;
};

} // namespace Lumivox
