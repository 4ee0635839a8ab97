#pragma once

// The Review window's content: one card at a time (the word in the sentence it was met in, the
// meaning once revealed, the three grades) with its place in the queue above it, then the closing
// screen. Space reveals, 1, 2 and 3 grade, Return closes the closing screen; each key acts only in
// the state that shows its button. State and texts come from ReviewModel.

#include "Features/Design/Appearance.h"
#include "Features/Words/ReviewModel.h"

#include <QWidget>

#include <array>
#include <functional>

class QShortcut;
class QVBoxLayout;

namespace Lumivox {

class ReviewView final : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize size {600, 560};

    /// `close` is the Close button's action (the window's owner closes the window).
    ReviewView(WordBook &book, std::optional<QUuid> only, std::function<void()> close, const Appearance &appearance,
               std::shared_ptr<Clock> clock = Clock::system(), QWidget *parent = nullptr);

    ReviewModel *model() const { return m_model; }

private:
    void rebuild();
    QWidget *progress(const ReviewModel::Card &card);
    QWidget *card(const ReviewModel::Card &card);
    QWidget *answerButton(ReviewAnswer answer, int key, const SavedWord &word);
    QWidget *done();

    ReviewModel *m_model;
    std::function<void()> m_close;
    const Appearance &m_appearance;
    QVBoxLayout *m_layout;
    QWidget *m_page = nullptr;
    QShortcut *m_reveal;
    std::array<QShortcut *, 3> m_grades {};
    std::array<QShortcut *, 2> m_closeKeys {};
};

} // namespace Lumivox
