// Click paths through the real Words window, offscreen, finding every control by its object name.

#include "Fakes/WordsFixture.h"
#include "Features/Design/Appearance.h"
#include "Features/Design/Brand.h"
#include "Features/Words/Views/EmptyMessageView.h"
#include "Features/Words/Views/WordsView.h"
#include "Features/Words/WordsWindows.h"
#include "Support/TestSupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

class WordsViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        for (const auto &[word, meaning, minutes] :
             {std::tuple {"apple", "pomme", 1.0}, std::tuple {"Banana", "banane", 2.0},
              std::tuple {"cherry", "cerise", 3.0}})
            fixture.saved.push_back(makeSaved({.word = QString::fromUtf8(word),
                                               .meaning = QString::fromUtf8(meaning),
                                               .date = fixture.ago(minutes)}));
        fixture.history = {makeLookup({.word = QStringLiteral("pear"),
                                       .meaning = QStringLiteral("poire"),
                                       .date = fixture.ago(10),
                                       .sentence = QStringLiteral("A pear <b>here</b>.")})};
        book = fixture.book();
        view = std::make_unique<WordsView>(
            *book, [this](std::optional<QUuid> id) { reviews.push_back(id); }, defaults, appearance, fixture.clock);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    template<class T>
    T *find(const char *name) const
    {
        T *found = view->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    /// The detail's controls are rebuilt with each word, so they are looked up afresh every time.
    QString detailWord() const
    {
        const auto *title = view->findChild<QLabel *>(QStringLiteral("wordTitle"));
        return title && title->isVisibleTo(view.get()) ? title->accessibleName() : QString();
    }

    void clickRow(QListView *list, int row)
    {
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    void clickDetailButton(const char *name)
    {
        auto *button = view->findChild<QAbstractButton *>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }

    WordsFixture fixture;
    std::shared_ptr<PreferenceStore> defaults = std::make_shared<PreferenceStore>(QString());
    Appearance appearance {std::nullopt};
    std::unique_ptr<WordBook> book;
    std::unique_ptr<WordsView> view;
    std::vector<std::optional<QUuid>> reviews;
};

} // namespace

TEST_F(WordsViewTest, BrowsingSectionsSearchingAndSorting)
{
    EXPECT_EQ(view->windowTitle(), QStringLiteral("Saved — 3 words"));
    EXPECT_EQ(detailWord(), QStringLiteral("apple"));

    auto *sidebar = find<QListView>("wordsSidebar");
    clickRow(sidebar, 1);
    EXPECT_EQ(view->windowTitle(), QStringLiteral("History — 1 word"));
    EXPECT_EQ(detailWord(), QStringLiteral("pear"));

    // The Review row opens the review and leaves History listed.
    clickRow(sidebar, 2);
    EXPECT_EQ(reviews, (std::vector<std::optional<QUuid>> {std::nullopt}));
    EXPECT_EQ(view->model()->section(), WordsSection::history());
    EXPECT_EQ(sidebar->currentIndex().row(), 1);

    auto *search = find<QLineEdit>("wordsSearch");
    QTest::keyClicks(search, QStringLiteral("zebra"));
    auto *empty = find<EmptyMessageView>("wordsListEmpty");
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->title(), QStringLiteral("No matches"));
    EXPECT_TRUE(find<EmptyMessageView>("wordDetailEmpty")->isVisible());
    search->clear();
    EXPECT_EQ(detailWord(), QStringLiteral("pear")) << "clearing the search shows the selected word again";

    clickRow(sidebar, 0);
    find<QAction>("wordsSort_alphabetical")->trigger();
    auto *list = find<QListView>("wordsList");
    clickRow(list, 1);
    EXPECT_EQ(detailWord(), QStringLiteral("Banana"));
    EXPECT_TRUE(find<QAction>("wordsSort_alphabetical")->isChecked());
}

TEST_F(WordsViewTest, SavingAndRemovingFromTheDetail)
{
    clickRow(find<QListView>("wordsSidebar"), 1);
    clickDetailButton("wordSaveToggle");
    ASSERT_EQ(book->saved().size(), 4u);
    EXPECT_EQ(book->saved().front().word, QStringLiteral("pear"));

    // The sentence from another program is shown as text, never as markup.
    const auto *sentence = view->findChild<QLabel *>(QStringLiteral("wordEncounterSentence"));
    ASSERT_NE(sentence, nullptr);
    EXPECT_TRUE(sentence->text().contains(QStringLiteral("&lt;b&gt;here&lt;/b&gt;")));

    // The header toggle of a saved word only asks; Cancel keeps the word.
    clickDetailButton("wordSaveToggle");
    auto *box = view->findChild<QMessageBox *>(QStringLiteral("wordRemoveConfirmation"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Remove “pear” from Words?"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Remove Word")) << "a short title, the question below it";
    ASSERT_NE(box->windowHandle(), nullptr);
    EXPECT_EQ(box->windowHandle()->transientParent(), view->windowHandle()) << "a dialog of the Words window";
    QTest::mouseClick(box->findChild<QAbstractButton *>(QStringLiteral("wordRemoveCancel")), Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return !view->findChild<QMessageBox *>(QStringLiteral("wordRemoveConfirmation")); }));
    EXPECT_EQ(book->saved().size(), 4u);

    clickDetailButton("wordRemove");
    box = view->findChild<QMessageBox *>(QStringLiteral("wordRemoveConfirmation"));
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box->findChild<QAbstractButton *>(QStringLiteral("wordRemoveConfirm")), Qt::LeftButton);
    ASSERT_TRUE(spinUntil([&] { return book->saved().size() == 3u; }));
    EXPECT_EQ(view->findChild<QAbstractButton *>(QStringLiteral("wordPrimaryAction"))->text(), QStringLiteral("Save"));
}

TEST_F(WordsViewTest, AFailedExportSaysWhereAndWhy)
{
    QTemporaryDir folder;
    view->model()->setFileChooser([&](const QString &name, const QString &) -> std::optional<QString> {
        return folder.filePath(QStringLiteral("gone/") + name);
    });
    auto *exportButton = find<QToolButton>("wordsExportButton");
    EXPECT_TRUE(exportButton->isEnabled());
    find<QAction>("wordsExport_anki")->trigger();
    auto *box = view->findChild<QMessageBox *>(QStringLiteral("wordsExportError"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->informativeText().contains(QStringLiteral("“Lumivox words for Anki.txt” could not be saved")));
    box->accept();

    // With nothing saved there is nothing to export, whatever the history holds.
    for (const SavedWord &word : std::vector<SavedWord>(book->saved()))
        book->remove(word.id);
    EXPECT_FALSE(exportButton->isEnabled());
}

TEST_F(WordsViewTest, TheWindowKeepsItsPlaceAndSize)
{
    view->resize(1000, 640);
    view->hide();
    ASSERT_TRUE(defaults->data(WordsView::geometryKey));
    WordsView again(*book, {}, defaults, appearance, fixture.clock);
    EXPECT_EQ(again.size(), QSize(1000, 640));
}

TEST_F(WordsViewTest, TheOwnerOpensTheWindowAtItsSizeAndLaterWhereTheUserLeftIt)
{
    QRect left;
    {
        WordsWindows owner(defaults, appearance, fixture.clock, false);
        owner.showWords(*book, {});
        QWidget *window = owner.wordsWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_EQ(window->size(), QSize(1100, 720));
        // Centred, give or take the frame the platform draws around it.
        EXPECT_LE((window->geometry().center() - window->screen()->availableGeometry().center()).manhattanLength(), 8);
        window->setGeometry(QRect(30, 40, 900, 600));
        window->close();
        left = window->geometry();
    }
    WordsWindows again(defaults, appearance, fixture.clock, false);
    again.showWords(*book, {});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(again.wordsWindow()));
    EXPECT_EQ(again.wordsWindow()->geometry(), left) << "the frame of the earlier run, not a centred one";
}

TEST_F(WordsViewTest, TheEmptyListsHintNamesTheHoldKeyTheUserHasNow)
{
    WordsFixture nothing;
    const auto empty = nothing.book();
    WordsWindows owner(defaults, appearance, fixture.clock, false);
    owner.showWords(*empty, {});
    auto *hint = owner.wordsWindow()->findChild<EmptyMessageView *>(QStringLiteral("wordsListEmpty"));
    ASSERT_NE(hint, nullptr);
    for (const auto &[holdKey, detail] :
         {std::pair {"command", "Point at a word and press Ctrl+S while holding Super to save it."},
          std::pair {"control", "Point at a word and press S while holding Ctrl to save it."},
          std::pair {"option", "Point at a word and press S while holding Alt to save it."}}) {
        defaults->set(QStringLiteral("holdKey"), QString::fromLatin1(holdKey));
        EXPECT_EQ(hint->detail(), QString::fromUtf8(detail)) << holdKey;
    }
}

TEST_F(WordsViewTest, TheListIsRebuiltOnlyWhenWhatItShowsChangesAndScrollsOnlyToANewSelection)
{
    for (int i = 0; i < 40; ++i)
        book->save(makeLookup({.word = QStringLiteral("word%1").arg(i),
                               .meaning = QStringLiteral("m"),
                               .date = fixture.ago(100 + i)}),
                   fixture.ago(100 + i));
    auto *list = find<QListView>("wordsList");
    QScrollBar *bar = list->verticalScrollBar();
    view->model()->setSelection(view->model()->items().back()->key);
    QCoreApplication::processEvents();
    ASSERT_GT(bar->value(), 0) << "a new selection is scrolled to";
    bar->setValue(0);

    QSignalSpy resets(list->model(), &QAbstractItemModel::modelReset);
    book->record(
        makeLookup({.word = QStringLiteral("pear"), .meaning = QStringLiteral("poire"), .date = fixture.ago(0)}));
    QCoreApplication::processEvents();
    EXPECT_EQ(resets.count(), 0) << "a look-up of a word not listed changes nothing shown";
    EXPECT_EQ(bar->value(), 0);

    book->save(makeLookup({.word = QStringLiteral("plum"), .meaning = QStringLiteral("prune"), .date = fixture.ago(0)}),
               fixture.ago(0));
    QCoreApplication::processEvents();
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(bar->value(), 0) << "the reader's place is kept";
    EXPECT_TRUE(list->selectionModel()->isSelected(list->currentIndex())) << "and so is the selection";
}

TEST_F(WordsViewTest, WithoutSpeechTheSpeakerIsGreyedOutAndSaysWhy)
{
    const auto speaker = [this] { return view->findChild<QToolButton *>(QStringLiteral("wordHear")); };
    ASSERT_NE(speaker(), nullptr);
    EXPECT_TRUE(speaker()->isEnabled());
    view->model()->detail()->setSpeechAvailable(false);
    QCoreApplication::processEvents();
    ASSERT_NE(speaker(), nullptr);
    EXPECT_FALSE(speaker()->isEnabled());
    EXPECT_EQ(speaker()->toolTip(), QStringLiteral("Speech is not installed on this computer"));
}

TEST_F(WordsViewTest, AChangeOfSchemeRedrawsTheDetailInTheNewColours)
{
    const auto subtitleColour = [this] {
        const auto *subtitle = view->findChild<QLabel *>(QStringLiteral("wordSubtitle"));
        return subtitle ? subtitle->palette().color(QPalette::WindowText) : QColor();
    };
    ASSERT_FALSE(appearance.isDark());
    EXPECT_EQ(subtitleColour(), Brand::secondaryText().resolved(ColorScheme::light));

    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x22));
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
    EXPECT_TRUE(appearance.isDark());
    EXPECT_EQ(subtitleColour(), Brand::secondaryText().resolved(ColorScheme::dark));
    QApplication::setPalette(original);
}
