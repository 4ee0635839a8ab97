#pragma once

// The Words window's middle column: the listed words as rows (word, grammar tag, meanings, date), or
// the message of an empty list. The highlighted row is the model's selection; a search that hides
// the selected word leaves no row highlighted.

#include <QStackedWidget>

class QListView;

namespace Lumivox {

class Appearance;
class EmptyMessageView;
class WordsModel;

class WordsListView : public QStackedWidget
{
    Q_OBJECT
public:
    WordsListView(WordsModel *model, const Appearance &appearance, QWidget *parent = nullptr);

    QListView *list() const { return m_list; }
    EmptyMessageView *emptyMessage() const { return m_empty; }

private:
    void showItems();
    void showSelection(bool scroll);

    WordsModel *m_model;
    QListView *m_list;
    EmptyMessageView *m_empty;
    bool m_showing = false;
};

} // namespace Lumivox
