// The review session, the keep-words prompt and the owner of the word book's windows: what the
// session shows and writes as the book changes under it, which keys act when, and which windows
// are made, kept and brought back.

#include "Fakes/WordsFixture.h"
#include "Features/Design/Appearance.h"
#include "Features/Words/ReviewModel.h"
#include "Features/Words/Views/KeepWordsPrompt.h"
#include "Features/Words/Views/ReviewView.h"
#include "Features/Words/WordsWindows.h"
#include "Services/Words/ReviewSchedule.h"
#include "Support/TestSupport.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

class ReviewTest : public ::testing::Test, protected WordsFixture
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    /// A saved word due `days` from now (negative: already due), met in a sentence.
    SavedWord word(const QString &text, double days)
    {
        SavedWord w = makeSaved({.word = text,
                                 .meaning = text + QStringLiteral(" (fr)"),
                                 .date = ago(60),
                                 .sentence = QStringLiteral("The ") + text + QStringLiteral(" is here.")});
        w.review.due = plusSeconds(now(), days * 86400);
        return w;
    }

    ReviewModel session(WordBook &book, std::optional<QUuid> only = std::nullopt)
    {
        return ReviewModel(book, only, clock, calendar);
    }

    static const SavedWord &find(const WordBook &book, const QUuid &id)
    {
        return *std::find_if(book.saved().begin(), book.saved().end(), [&](const SavedWord &w) { return w.id == id; });
    }

    Appearance appearance {std::nullopt};
};

} // namespace

TEST_F(ReviewTest, AnEmptySessionClosesWithTheNextDueDayInLowerCaseOrTheHintToSave)
{
    struct Case
    {
        const char *name;
        std::vector<double> dueInDays; // nothing due now
        bool allLearned;
        QString detail;
    };
    // 2027-01-15, a Friday.
    const Case cases[] = {
        {"no words",
         {},
         false,
         QStringLiteral("Save words from the tooltip and they come back here, in the sentence you met them in.")},
        {"tomorrow", {1, 9}, false, QStringLiteral("Next words are due tomorrow.")},
        {"weekday", {3}, false, QStringLiteral("Next words are due monday.")},
        {"month", {20}, false, QStringLiteral("Next words are due feb 4.")},
        {"learned", {2}, true, QStringLiteral("Every saved word is learned.")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        saved.clear();
        for (double days : c.dueInDays) {
            saved.push_back(word(QStringLiteral("w%1").arg(days), days));
            if (c.allLearned) {
                saved.back().review.streak = 4;
                saved.back().review.learned = true;
                saved.back().review.due = ReviewSchedule::distantFuture;
            }
        }
        const auto book = this->book();
        ReviewModel model = session(*book);
        EXPECT_TRUE(model.queue().empty());
        EXPECT_FALSE(model.current());
        EXPECT_EQ(model.doneTitle(), QStringLiteral("Nothing to review"));
        EXPECT_EQ(model.doneSymbol(), QStringLiteral("rectangle.stack"));
        EXPECT_EQ(model.doneDetail(), c.detail);
    }
}

TEST_F(ReviewTest, OneAnswerAfterTheRevealWritesTheBookAndEndsASessionOfOne)
{
    saved = {word(QStringLiteral("river"), -1), word(QStringLiteral("later"), 2)};
    const auto book = this->book();
    ReviewModel model = session(*book);
    ASSERT_EQ(model.queue().size(), 1U);
    const auto card = model.current();
    ASSERT_TRUE(card);
    EXPECT_EQ(model.counterText(*card), QStringLiteral("1 of 1"));
    EXPECT_EQ(card->index, 0) << "an empty bar";
    EXPECT_EQ(ReviewModel::progressTotal(1), 1);
    EXPECT_EQ(ReviewModel::progressTotal(0), 1);

    // Where the word was met: the app's name when there is one, and the day.
    WordLookup met = card->word->encounters.front();
    EXPECT_EQ(model.encounterText(met), QStringLiteral("Reader · Today"));
    for (const std::optional<QString> &none : {std::optional<QString>(), std::optional<QString>(QString())}) {
        met.appName = none;
        EXPECT_EQ(model.encounterText(met), QStringLiteral("Today"));
    }

    // Grades are inert before the reveal.
    EXPECT_FALSE(model.canAnswer());
    model.answer(ReviewAnswer::gotIt);
    EXPECT_EQ(model.reviewed(), 0);
    EXPECT_EQ(find(*book, saved[0].id).review.streak, 0);

    model.reveal();
    EXPECT_FALSE(model.canReveal());
    EXPECT_EQ(ReviewModel::answerHelp(ReviewAnswer::gotIt, card->word->review),
              QStringLiteral("Got it: back in 4 days"));
    model.answer(ReviewAnswer::gotIt);
    EXPECT_EQ(find(*book, saved[0].id).review.streak, 1);
    EXPECT_FALSE(model.current());
    EXPECT_FALSE(model.showsAnswer());
    EXPECT_EQ(model.doneTitle(), QStringLiteral("Done for now"));
    EXPECT_EQ(model.doneSymbol(), QStringLiteral("checkmark.circle.fill"));
    EXPECT_EQ(model.doneDetail(), QStringLiteral("You reviewed 1 word. Next words are due sunday."));
}

TEST_F(ReviewTest, WordsRemovedDuringTheSessionAreSkippedAndAClearedBookEndsIt)
{
    saved = {word(QStringLiteral("a"), -3), word(QStringLiteral("b"), -2), word(QStringLiteral("c"), -1.5),
             word(QStringLiteral("d"), -1), word(QStringLiteral("e"), 5)};
    const auto book = this->book();
    ReviewModel model = session(*book);
    ASSERT_EQ(model.queue().size(), 4U);
    model.reveal();
    book->remove(model.queue()[1]);
    model.answer(ReviewAnswer::again);
    auto card = model.current();
    ASSERT_TRUE(card);
    EXPECT_EQ(model.counterText(*card), QStringLiteral("3 of 4")) << "the count jumps over the removed word";
    EXPECT_FALSE(model.showsAnswer());

    // Revealed, then removed before the answer: the next card shows as a question, never with its
    // meaning unasked, and the grades wait for its reveal.
    model.reveal();
    const QUuid shown = card->word->id;
    book->remove(shown);
    card = model.current();
    ASSERT_TRUE(card);
    EXPECT_NE(card->word->id, shown) << "never a stale word";
    EXPECT_FALSE(model.showsAnswer());
    model.answer(ReviewAnswer::hard);
    EXPECT_EQ(model.reviewed(), 1);
    // Another word's change leaves the revealed card as it is.
    model.reveal();
    book->answer(model.queue()[0], ReviewAnswer::gotIt, now());
    EXPECT_TRUE(model.showsAnswer());
    model.answer(ReviewAnswer::hard);
    for (const QUuid &id : model.queue())
        book->remove(id);
    EXPECT_FALSE(model.current());
    EXPECT_EQ(model.reviewed(), 2);
    EXPECT_EQ(model.doneTitle(), QStringLiteral("Done for now"));
    EXPECT_TRUE(model.doneDetail().startsWith(QStringLiteral("You reviewed 2 words. ")));

    // One word asked for by an id the book no longer has.
    ReviewModel missing = session(*book, QUuid::createUuid());
    EXPECT_FALSE(missing.current());
    EXPECT_EQ(missing.doneTitle(), QStringLiteral("Nothing to review"));
}

TEST_F(ReviewTest, TheKeysActOnlyInTheStateThatShowsTheirButtons)
{
    saved = {word(QStringLiteral("river"), -1), word(QStringLiteral("stone"), -0.5)};
    const auto book = this->book();
    bool closed = false;
    ReviewView view(
        *book, std::nullopt, [&] { closed = true; }, appearance, clock);
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    const auto press = [&](Qt::Key key) {
        QTest::keyClick(&view, key);
        QCoreApplication::processEvents();
    };
    const auto text = [&](const char *name) {
        const auto *label = view.findChild<QLabel *>(QString::fromLatin1(name));
        return label ? label->text() : QString();
    };
    EXPECT_EQ(text("review.counter"), QStringLiteral("1 of 2"));
    EXPECT_TRUE(text("review.sentence").contains(QStringLiteral("<b>river</b>")));
    press(Qt::Key_1);
    EXPECT_EQ(view.model()->reviewed(), 0) << "1 before the reveal";
    press(Qt::Key_Space);
    EXPECT_TRUE(view.model()->showsAnswer());
    ASSERT_NE(view.findChild<QAbstractButton *>(QStringLiteral("review.gotIt")), nullptr);
    EXPECT_EQ(text("review.meaning"), QStringLiteral("river (fr)"));
    press(Qt::Key_Return);
    EXPECT_FALSE(closed) << "Return closes only the closing screen";
    press(Qt::Key_3);
    EXPECT_EQ(find(*book, saved[0].id).review.streak, 1);
    EXPECT_EQ(text("review.counter"), QStringLiteral("2 of 2"));
    press(Qt::Key_Space);
    press(Qt::Key_Space);
    EXPECT_TRUE(view.model()->showsAnswer()) << "Space only before the reveal";
    QTest::mouseClick(view.findChild<QAbstractButton *>(QStringLiteral("review.again")), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(text("review.doneTitle"), QStringLiteral("Done for now"));
    press(Qt::Key_Return);
    EXPECT_TRUE(closed);
}

TEST_F(ReviewTest, ThePromptNamesTheHoldKeyAndEitherAnswerEndsItForGood)
{
    EXPECT_EQ(KeepWordsPrompt::saveLine(TooltipKeyLabels {}),
              QStringLiteral("Press S while holding Alt to save a word for review."));
    EXPECT_EQ(KeepWordsPrompt::saveLine(TooltipKeyLabels {QStringLiteral("⌃S"), QStringLiteral("⌃C"), std::nullopt}),
              QStringLiteral("Press Ctrl+S to save a word for review."));

    for (const auto &[key, keeps] : {std::pair {Qt::Key_Escape, false}, std::pair {Qt::Key_Return, true}}) {
        SCOPED_TRACE(keeps);
        defaults->set(WordBook::askedAboutHistoryKey, false);
        defaults->set(WordBook::keepsHistoryKey, !keeps);
        const auto book = makeBook();
        WordsWindows windows(defaults, appearance, clock, false);
        windows.showKeepPrompt(*book, {});
        QWidget *prompt = windows.promptWindow();
        ASSERT_TRUE(prompt && prompt->isVisible());
        EXPECT_EQ(prompt->windowType(), Qt::Dialog);
        EXPECT_EQ(prompt->windowTitle(), QStringLiteral("Keep Words"));
        EXPECT_LE(prompt->width(), KeepWordsPrompt::width) << "the text wraps instead of widening the window";
        windows.showKeepPrompt(*book, {});
        EXPECT_EQ(windows.promptWindow(), prompt) << "never a second prompt while one is on screen";
        ASSERT_TRUE(QTest::qWaitForWindowActive(prompt));
        QTest::keyClick(prompt->findChild<KeepWordsPrompt *>(), key);
        EXPECT_EQ(book->keepsHistory(), keeps);
        EXPECT_TRUE(book->hasAskedAboutHistory());
        EXPECT_FALSE(prompt->isVisible());
        windows.showKeepPrompt(*book, {});
        EXPECT_FALSE(windows.promptWindow()->isVisible()) << "answered once, never asked again";
    }
}

TEST_F(ReviewTest, TheOwnerMakesEachWindowOnceAndKeepsOrReplacesTheReview)
{
    saved = {word(QStringLiteral("river"), -1), word(QStringLiteral("stone"), -0.5)};
    const auto book = this->book();
    WordsWindows windows(defaults, appearance, clock, false);

    windows.showWords(*book, [](std::optional<QUuid>) {});
    QWidget *words = windows.wordsWindow();
    ASSERT_TRUE(words && words->isVisible());
    EXPECT_TRUE(WordsWindows::isWordsWindow(words));
    words->showMinimized();
    windows.showWords(*book, [](std::optional<QUuid>) {});
    EXPECT_EQ(windows.wordsWindow(), words);
    EXPECT_FALSE(words->isMinimized());
    words->close();
    windows.showWords(*book, [](std::optional<QUuid>) {});
    EXPECT_EQ(windows.wordsWindow(), words);
    EXPECT_TRUE(words->isVisible());

    windows.showReview(*book, std::nullopt);
    QWidget *window = windows.reviewWindow();
    ReviewView *running = windows.reviewView();
    ASSERT_TRUE(window && running && window->isVisible());
    EXPECT_TRUE(WordsWindows::isWordsWindow(window));
    running->model()->reveal();
    windows.showReview(*book, std::nullopt);
    EXPECT_EQ(windows.reviewView(), running) << "the running review goes on";
    EXPECT_TRUE(running->model()->showsAnswer());

    windows.showReview(*book, saved[1].id);
    ASSERT_NE(windows.reviewView(), nullptr);
    EXPECT_EQ(windows.reviewView()->model()->queue(), std::vector<QUuid> {saved[1].id});
    EXPECT_EQ(windows.reviewWindow(), window);

    window->move(window->pos() + QPoint(40, 30));
    const QPoint place = window->pos();
    window->close();
    windows.showReview(*book, std::nullopt);
    EXPECT_EQ(windows.reviewWindow(), window);
    EXPECT_EQ(windows.reviewView()->model()->queue().size(), 2U) << "a fresh review of the due words";
    EXPECT_EQ(window->pos(), place);

    WordsWindows hosted(defaults, appearance, clock, true);
    hosted.showReview(*book, std::nullopt);
    EXPECT_FALSE(hosted.reviewWindow()->isVisible()) << "nothing is shown in a test host";
}
