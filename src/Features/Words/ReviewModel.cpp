#include "Features/Words/ReviewModel.h"

#include "Features/Words/WordDates.h"
#include "Services/Words/ReviewSchedule.h"
#include "Services/Words/WordBook.h"

#include <QHash>
#include <QStringList>

namespace Lumivox {

ReviewModel::ReviewModel(WordBook &book, std::optional<QUuid> only, std::shared_ptr<Clock> clock,
                         std::optional<Calendar> calendar, QObject *parent)
    : QObject(parent)
    , m_book(book)
    , m_clock(std::move(clock))
    , m_calendar(std::move(calendar))
{
    if (only) {
        m_queue.push_back(*only);
    } else {
        const std::vector<SavedWord> due = book.reviewQueue(now());
        m_queue.reserve(due.size());
        for (const SavedWord &word : due)
            m_queue.push_back(word.id);
    }
    connect(&book, &WordBook::savedChanged, this, &ReviewModel::bookChanged);
}

Date ReviewModel::now() const
{
    return Date::fromWallTime(m_clock->wallNow());
}

Calendar ReviewModel::calendar() const
{
    return m_calendar.value_or(Calendar::current());
}

void ReviewModel::bookChanged()
{
    // A word removed, changed or answered elsewhere shows as the book now has it. When the revealed
    // word itself is gone, the next one starts as a question: its meaning is never shown unasked.
    if (m_showsAnswer) {
        const std::optional<Card> card = current();
        if (!card || card->word->id != m_revealed)
            m_showsAnswer = false;
    }
    emit changed();
}

std::optional<ReviewModel::Card> ReviewModel::current() const
{
    const std::vector<SavedWord> &saved = m_book.saved();
    // One pass over the book, then the queue in order: a long session over a large book stays linear.
    QHash<QUuid, const SavedWord *> byID;
    byID.reserve(qsizetype(saved.size()));
    for (const SavedWord &word : saved)
        byID.insert(word.id, &word);
    for (qsizetype i = m_position; i < qsizetype(m_queue.size()); ++i) {
        if (const SavedWord *word = byID.value(m_queue[size_t(i)]))
            return Card {i, word};
    }
    return std::nullopt;
}

void ReviewModel::reveal()
{
    if (!canReveal())
        return;
    m_showsAnswer = true;
    m_revealed = current()->word->id;
    emit changed();
}

void ReviewModel::answer(ReviewAnswer answer)
{
    const std::optional<Card> card = current();
    if (!card || !m_showsAnswer)
        return;
    const qsizetype index = card->index;
    // The book tells of its change at once; the session moves on before anyone redraws.
    const QUuid id = card->word->id;
    ++m_reviewed;
    m_showsAnswer = false;
    m_position = index + 1;
    m_book.answer(id, answer, now());
    emit changed();
}

QString ReviewModel::counterText(const Card &card) const
{
    return QStringLiteral("%1 of %2").arg(card.index + 1).arg(m_queue.size());
}

QString ReviewModel::doneSymbol() const
{
    return m_reviewed >= 1 ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("rectangle.stack");
}

QString ReviewModel::doneTitle() const
{
    return m_reviewed >= 1 ? QStringLiteral("Done for now") : QStringLiteral("Nothing to review");
}

QString ReviewModel::doneDetail() const
{
    if (m_book.saved().empty())
        return QStringLiteral("Save words from the tooltip and they come back here, in the sentence you met them in.");
    QString base;
    if (const std::optional<Date> due = m_book.nextDue())
        base = QStringLiteral("Next words are due ") + WordDates::review(*due, now(), calendar()).toLower()
            + QLatin1Char('.');
    else
        base = QStringLiteral("Every saved word is learned.");
    if (m_reviewed < 1)
        return base;
    const QString count = m_reviewed == 1 ? QStringLiteral("1 word") : QStringLiteral("%1 words").arg(m_reviewed);
    return QStringLiteral("You reviewed ") + count + QStringLiteral(". ") + base;
}

QString ReviewModel::encounterText(const WordLookup &encounter) const
{
    QStringList parts;
    if (encounter.appName && !encounter.appName->isEmpty())
        parts << *encounter.appName;
    parts << WordDates::shortText(encounter.date, now(), calendar());
    return parts.join(QStringLiteral(" · "));
}

QString ReviewModel::answerTitle(ReviewAnswer answer)
{
    switch (answer) {
    case ReviewAnswer::again:
        return QStringLiteral("Again");
    case ReviewAnswer::hard:
        return QStringLiteral("Hard");
    case ReviewAnswer::gotIt:
        break;
    }
    return QStringLiteral("Got it");
}

QString ReviewModel::answerLabel(ReviewAnswer answer, const ReviewState &state)
{
    return ReviewSchedule::label(answer, state);
}

QString ReviewModel::answerHelp(ReviewAnswer answer, const ReviewState &state)
{
    return answerTitle(answer) + QStringLiteral(": back ") + answerLabel(answer, state);
}

} // namespace Lumivox
