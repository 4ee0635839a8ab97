#pragma once

// The Words window's right column: one word's header, meanings, where it was met, its statistics and
// its actions, drawn from a WordDetailModel and rebuilt whenever the model changes. Removing a saved
// word always goes through a confirmation.

#include <QScrollArea>

class QMessageBox;

namespace Lumivox {

class Appearance;
class WordDetailModel;

class WordDetailView : public QScrollArea
{
    Q_OBJECT
public:
    /// The column's width when what it shows needs less.
    static constexpr int minimumColumnWidth = 320;

    WordDetailView(WordDetailModel *model, const Appearance &appearance, QWidget *parent = nullptr);

    /// The removal confirmation while it is open.
    QMessageBox *removeConfirmation() const { return m_confirmation; }

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void rebuild();
    void replaceContent(QWidget *content);
    void confirmRemoval();

    WordDetailModel *m_model;
    const Appearance &m_appearance;
    QMessageBox *m_confirmation = nullptr;
};

} // namespace Lumivox
