#pragma once

// One review session over saved words: the ids of the session, fixed when it opens, the card on
// show, whether its meaning is revealed, how many answers were given, and the texts of the card and
// of the closing screen. The session holds ids, never copies of words: every read looks the word up
// in the book afresh, so a word removed or changed meanwhile is skipped or shown as it now is, and a
// cleared book ends the session on its closing screen. Main thread.

#include "Models/ReviewAnswer.h"
#include "Models/WordRecords.h"
#include "Services/Words/Calendar.h"
#include "Shared/Async/Clock.h"

#include <QObject>
#include <QString>
#include <QUuid>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace Lumivox {

class WordBook;

class ReviewModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool showsAnswer READ showsAnswer NOTIFY changed)
    Q_PROPERTY(qint64 reviewed READ reviewed NOTIFY changed)

public:
    /// The card on show: its index in the queue and the word as the book holds it now.
    struct Card
    {
        qsizetype index = 0;
        const SavedWord *word = nullptr;
    };

    /// The three grades, in the order of their buttons and keys 1, 2 and 3.
    static constexpr std::array<ReviewAnswer, 3> answers {ReviewAnswer::again, ReviewAnswer::hard, ReviewAnswer::gotIt};

    /// The session of `only` (whether or not it is due), or of today's due words. The calendar
    /// defaults to the user's current one, read afresh at every use.
    ReviewModel(WordBook &book, std::optional<QUuid> only, std::shared_ptr<Clock> clock = Clock::system(),
                std::optional<Calendar> calendar = std::nullopt, QObject *parent = nullptr);

    const std::vector<QUuid> &queue() const { return m_queue; }
    /// The first id from the current position on that still names a saved word; none: the session
    /// is over.
    std::optional<Card> current() const;
    bool showsAnswer() const { return m_showsAnswer; }
    qint64 reviewed() const { return m_reviewed; }
    /// Space and "Show Meaning" act only on a question; the grades only on a revealed card.
    bool canReveal() const { return !m_showsAnswer && current().has_value(); }
    bool canAnswer() const { return m_showsAnswer && current().has_value(); }

    void reveal();
    /// Grades the card on show and moves on. A word the book lost meanwhile is not written but still
    /// counts as reviewed.
    void answer(ReviewAnswer answer);

    /// "3 of 8": the card's place in the queue, so a skipped word makes the count jump.
    QString counterText(const Card &card) const;
    /// The progress bar's value and total (at least 1).
    static int progressTotal(qsizetype queueSize) { return int(std::max<qsizetype>(queueSize, 1)); }

    /// The closing screen.
    QString doneSymbol() const;
    QString doneTitle() const;
    QString doneDetail() const;
    /// The app name and the day of the first encounter, joined by " · ".
    QString encounterText(const WordLookup &encounter) const;

    static QString answerTitle(ReviewAnswer answer);
    /// When the word comes back after this answer, from its state now.
    static QString answerLabel(ReviewAnswer answer, const ReviewState &state);
    /// "Hard: back tomorrow".
    static QString answerHelp(ReviewAnswer answer, const ReviewState &state);

    static QString question() { return QStringLiteral("What does the word mean here?"); }

signals:
    /// The card, its state or the book changed: redraw.
    void changed();

private:
    void bookChanged();
    Date now() const;
    Calendar calendar() const;

    WordBook &m_book;
    std::shared_ptr<Clock> m_clock;
    std::optional<Calendar> m_calendar;
    std::vector<QUuid> m_queue;
    qsizetype m_position = 0;
    bool m_showsAnswer = false;
    /// The word whose meaning is on show.
    QUuid m_revealed;
    qint64 m_reviewed = 0;
};

} // namespace Lumivox
