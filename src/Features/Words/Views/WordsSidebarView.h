#pragma once

// The Words window's left column: the sections with their counts, the Review row, the language pairs
// and the applications. Selecting a row lists its section; the Review row only opens the review.

#include <QListView>

namespace Lumivox {

class Appearance;
class WordsModel;

class WordsSidebarView : public QListView
{
    Q_OBJECT
public:
    WordsSidebarView(WordsModel *model, const Appearance &appearance, QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    /// Highlights the row of the model's section (none when no row lists it any more).
    void showSection();

    WordsModel *m_model;
    bool m_showing = false;
};

} // namespace Lumivox
