// The Words window's presenters over a fixture word book: sections, search, order, titles, empty
// messages, selection, the sidebar's rows and counts, the word detail and the export.

#include "Fakes/FakeSpeech.h"
#include "Fakes/WordsFixture.h"
#include "Features/Words/WordDates.h"
#include "Features/Words/WordHighlight.h"
#include "Features/Words/WordsModel.h"
#include "Models/TriggerMode.h"
#include "Native/Services.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

using Kind = WordsSection::Kind;

class WordsModelTest : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    /// apple (newest), Banana, cherry, saved from English to French in a reader and an editor.
    void addFruit()
    {
        const auto saved = [&](const char *word, const char *meaning, double minutesAgo, const char *appID,
                               const char *appName) {
            const LookupFields fields {.word = QString::fromUtf8(word),
                                       .meaning = QString::fromUtf8(meaning),
                                       .date = fixture.ago(minutesAgo),
                                       .appID = QString::fromUtf8(appID),
                                       .appName = QString::fromUtf8(appName)};
            fixture.saved.push_back(makeSaved(fields));
        };
        saved("apple", "pomme", 1, "org.example.Reader", "Reader");
        saved("Banana", "banane", 2, "org.example.Editor", "Editor");
        saved("cherry", "cerise", 3, "org.example.Reader", "Reader");
    }

    WordsModel &model()
    {
        if (!m_model) {
            m_book = fixture.book();
            m_model = std::make_unique<WordsModel>(
                *m_book, [this](std::optional<QUuid> id) { reviews.push_back(id); }, fixture.clock, fixture.calendar);
            m_listTester = std::make_unique<QAbstractItemModelTester>(
                m_model->list(), QAbstractItemModelTester::FailureReportingMode::Fatal);
            m_sidebarTester = std::make_unique<QAbstractItemModelTester>(
                m_model->sidebar(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        }
        return *m_model;
    }
    WordBook &book()
    {
        model();
        return *m_book;
    }

    /// The words as the list view reads them.
    std::vector<QString> listed()
    {
        const QAbstractItemModel &list = *model().list();
        std::vector<QString> out;
        for (int row = 0; row < list.rowCount(); ++row)
            out.push_back(list.index(row, 0).data(WordsListModel::WordRole).toString());
        return out;
    }

    WordsFixture fixture;
    std::vector<std::optional<QUuid>> reviews;

private:
    std::unique_ptr<WordBook> m_book;
    std::unique_ptr<WordsModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_listTester;
    std::unique_ptr<QAbstractItemModelTester> m_sidebarTester;
};

} // namespace

TEST_F(WordsModelTest, SectionsSearchSortAndTitles)
{
    addFruit();
    fixture.saved.push_back(makeSaved({.word = QStringLiteral("Apricot"),
                                       .meaning = QStringLiteral("abricot"),
                                       .date = fixture.ago(30),
                                       .target = QStringLiteral("de"),
                                       .grammarTag = QStringLiteral("noun")}));
    fixture.history = {makeLookup({.word = QStringLiteral("pear"),
                                   .meaning = QStringLiteral("poire"),
                                   .date = fixture.ago(10),
                                   .translation = QStringLiteral("a ripe pear")})};
    WordsModel &m = model();
    QSignalSpy titles(&m, &WordsModel::titleChanged);
    QSignalSpy empties(&m, &WordsModel::emptyMessageChanged);

    EXPECT_EQ(listed(), (std::vector<QString> {"apple", "Banana", "cherry", "Apricot"}));
    EXPECT_EQ(m.windowTitle(), QStringLiteral("Saved — 4 words"));
    // What each row shows and tells a screen reader.
    for (const int row : {0, 3}) {
        const QModelIndex index = m.list()->index(row, 0);
        const bool first = row == 0;
        SCOPED_TRACE(row);
        EXPECT_EQ(index.data(Qt::DisplayRole).toString(), first ? "apple" : "Apricot");
        EXPECT_EQ(index.data(WordsListModel::MeaningsRole).toString(), first ? "pomme" : "abricot");
        EXPECT_EQ(index.data(Qt::ToolTipRole).toString(), first ? "apple — pomme" : "Apricot — abricot");
        EXPECT_EQ(index.data(Qt::AccessibleTextRole), index.data(Qt::ToolTipRole));
        EXPECT_EQ(index.data(WordsListModel::TagRole), first ? QVariant() : QVariant(QStringLiteral("noun")));
        EXPECT_EQ(index.data(WordsListModel::DateRole).toString(),
                  WordDates::shortText(fixture.ago(first ? 1 : 30), fixture.now(), fixture.calendar));
        EXPECT_TRUE(index.data(WordsListModel::IsSavedRole).toBool());
    }
    EXPECT_FALSE(m.list()->index(4, 0).data().isValid()) << "past the last row";

    m.setSort(WordSort::alphabetical);
    EXPECT_EQ(listed(), (std::vector<QString> {"apple", "Apricot", "Banana", "cherry"}));
    EXPECT_EQ(titles.count(), 0) << "a new order is the same title";
    EXPECT_EQ(empties.count(), 0);
    m.setQuery(QStringLiteral(" AN "));
    EXPECT_EQ(listed(), (std::vector<QString> {"Banana"}));
    EXPECT_EQ(m.subtitle(), QStringLiteral("1 word"));
    EXPECT_EQ(titles.count(), 1);
    m.setQuery(QStringLiteral("zzz"));
    EXPECT_EQ(m.subtitle(), QStringLiteral("0 words"));
    EXPECT_EQ(titles.count(), 2);
    EXPECT_EQ(m.emptyTitle(), QStringLiteral("No matches"));
    m.setQuery(QString());
    WordsListModel &rows = *m.list();
    const QModelIndex fourth = rows.index(3, 0);
    const std::optional<WordKey> banana = rows.key(2);
    ASSERT_EQ(banana ? banana->word() : QString(), QStringLiteral("banana")) << "keyed by its normalised form";

    m.setSection(WordsSection::pair(QStringLiteral("en"), QStringLiteral("fr")));
    EXPECT_EQ(m.windowTitle(), QStringLiteral("English → French — 3 words"));
    m.setSection(WordsSection::app(QStringLiteral("org.example.Reader")));
    EXPECT_EQ(listed(), (std::vector<QString> {"apple", "Apricot", "cherry"}));
    // An index a view kept from before the list shrank, and rows outside the list, give nothing.
    EXPECT_FALSE(rows.data(fourth, WordsListModel::WordRole).isValid());
    for (const int row : {-1, 3})
        EXPECT_FALSE(rows.key(row)) << row;
    for (const auto &[row, word] : {std::pair {0, "apple"}, std::pair {2, "cherry"}}) {
        const auto key = rows.key(row);
        EXPECT_EQ(key ? key->word() : QString(), QString::fromUtf8(word)) << row;
        EXPECT_EQ(key ? rows.row(*key) : std::nullopt, row) << "the row a selected word is found in";
    }
    EXPECT_EQ(rows.row(*banana), std::nullopt) << "a word the section leaves out";
    EXPECT_EQ(m.title(), QStringLiteral("org.example.Reader")) << "the title names the app by its id's name";
    m.setSection(WordsSection::history());
    EXPECT_EQ(m.windowTitle(), QStringLiteral("History — 1 word"));
    m.setQuery(QStringLiteral("ripe"));
    EXPECT_EQ(listed(), (std::vector<QString> {"pear"})) << "search reaches a look-up's translation";
}

TEST_F(WordsModelTest, EmptyMessagesUseOneTrimRuleAndTheHoldKey)
{
    struct Case
    {
        const char *name;
        WordsSection section;
        bool keepsHistory;
        QString query;
        std::optional<TriggerMode> holdKey;
        QString title;
        QString detail;
    };
    const std::vector<Case> cases {
        {"saved",
         WordsSection::saved(),
         true,
         {},
         std::nullopt,
         "No saved words",
         "Point at a word and press S while holding Alt to save it."},
        {"blank query", WordsSection::saved(), true, QStringLiteral(" \n\t"), std::nullopt, "No saved words",
         "Point at a word and press S while holding Alt to save it."},
        {"no hold key",
         WordsSection::pair("", "fr"),
         true,
         {},
         TriggerMode::always,
         "No saved words",
         "Point at a word and press Ctrl+Alt+S to save it."},
        {"super",
         WordsSection::app("x"),
         true,
         {},
         TriggerMode::command,
         "No saved words",
         "Point at a word and press Ctrl+S while holding Super to save it."},
        {"history off",
         WordsSection::history(),
         false,
         {},
         std::nullopt,
         "History is off",
         "Turn it on in Settings › Words to keep every word you look up."},
        {"history on",
         WordsSection::history(),
         true,
         {},
         std::nullopt,
         "No words yet",
         "Words you point at appear here."},
        {"no matches", WordsSection::history(), false, QStringLiteral(" <b>x "), std::nullopt, "No matches",
         "No word, meaning or sentence contains “ <b>x ”."},
    };
    for (const Case &c : cases) {
        WordsFixture local;
        local.keepsHistory = c.keepsHistory;
        auto book = local.book();
        WordsModel m(*book, {}, local.clock, local.calendar);
        if (c.holdKey)
            m.setKeyLabels([mode = *c.holdKey] { return mode.tooltipKeyLabels(); });
        m.setSection(c.section);
        m.setQuery(c.query);
        EXPECT_TRUE(m.items().empty()) << c.name;
        EXPECT_EQ(m.emptyTitle(), c.title) << c.name;
        EXPECT_EQ(m.emptyDetail(), c.detail) << c.name;
    }
}

TEST_F(WordsModelTest, SelectionRules)
{
    addFruit();
    fixture.history = {
        makeLookup({.word = QStringLiteral("pear"), .meaning = QStringLiteral("poire"), .date = fixture.ago(10)})};
    WordsModel &m = model();
    EXPECT_FALSE(m.selection());
    EXPECT_FALSE(m.detail()->hasItem());

    m.appear();
    ASSERT_TRUE(m.selection());
    EXPECT_EQ(m.selection()->word(), QStringLiteral("apple"));
    EXPECT_EQ(m.detail()->word(), QStringLiteral("apple"));

    m.setSelection(m.items()[1]->key);
    m.appear();
    EXPECT_EQ(m.selection()->word(), QStringLiteral("banana")) << "showing the window again keeps the selection";

    m.setQuery(QStringLiteral("cherry"));
    EXPECT_EQ(m.selection()->word(), QStringLiteral("banana"));
    EXPECT_EQ(m.selectedItem(), nullptr);
    EXPECT_FALSE(m.detail()->hasItem());
    m.setQuery(QString());
    EXPECT_EQ(m.detail()->word(), QStringLiteral("Banana"));

    // A new section selects the first word of its list as searched and ordered at that moment.
    m.setSort(WordSort::alphabetical);
    m.setQuery(QStringLiteral("e"));
    m.setSection(WordsSection::app(QStringLiteral("org.example.Reader")));
    EXPECT_EQ(m.selection()->word(), QStringLiteral("apple"));
    m.setSort(WordSort::mostMet);
    m.setQuery(QStringLiteral("nothing"));
    m.setSection(WordsSection::history());
    EXPECT_FALSE(m.selection());
}

TEST_F(WordsModelTest, SidebarRowsAndCounts)
{
    const auto fields = [&](const char *word, std::optional<QString> source, const char *target,
                            std::optional<QString> appID, std::optional<QString> appName) {
        return LookupFields {.word = QString::fromUtf8(word),
                             .meaning = QStringLiteral("m"),
                             .date = fixture.ago(5),
                             .source = std::move(source),
                             .target = QString::fromUtf8(target),
                             .appID = std::move(appID),
                             .appName = std::move(appName)};
    };
    // Two English and one French word into Spanish, one with no source; the first word was met three
    // times in one app (under two names) and once in another.
    const LookupFields first =
        fields("uno", QStringLiteral("en"), "es", QStringLiteral("b.app"), QStringLiteral("Bee"));
    fixture.saved.push_back(makeSaved(first,
                                      {makeLookup(first), makeLookup(fields("uno", "en", "es", "b.app", "Later")),
                                       makeLookup(fields("uno", "en", "es", "b.app", std::nullopt)),
                                       makeLookup(fields("uno", "en", "es", "a.app", std::nullopt))}));
    fixture.saved.push_back(
        makeSaved(fields("dos", QStringLiteral("en"), "es", QStringLiteral("b.app"), std::nullopt)));
    fixture.saved.push_back(makeSaved(fields("tres", QStringLiteral("fr"), "es", std::nullopt, std::nullopt)));
    fixture.saved.push_back(makeSaved(fields("cuatro", std::nullopt, "es", std::nullopt, std::nullopt)));
    // The history counts words, not look-ups.
    for (int i = 0; i < 3; ++i)
        fixture.history.push_back(makeLookup({.word = QStringLiteral("uno"),
                                              .meaning = QStringLiteral("one"),
                                              .date = fixture.ago(30 - i),
                                              .target = QStringLiteral("es")}));
    fixture.history.push_back(makeLookup({.word = QStringLiteral("Uno "),
                                          .meaning = QStringLiteral("one"),
                                          .date = fixture.ago(20),
                                          .target = QStringLiteral("es")}));
    WordsSidebarModel &sidebar = *model().sidebar();

    using Pair = WordsSidebarModel::PairRow;
    EXPECT_EQ(WordsSidebarModel::pairs(book().saved()),
              (std::vector<Pair> {{WordsSection::pair("en", "es"), "English → Spanish", 2},
                                  {WordsSection::pair("fr", "es"), "French → Spanish", 1},
                                  {WordsSection::pair("", "es"), "Spanish", 1}}));
    using App = WordsSidebarModel::AppRow;
    EXPECT_EQ(WordsSidebarModel::apps(book().saved()), (std::vector<App> {{"b.app", "Bee", 2}, {"a.app", "a.app", 1}}));

    std::vector<QString> titles;
    std::vector<qint64> badges;
    for (int row = 0; row < sidebar.rowCount(); ++row) {
        titles.push_back(sidebar.index(row).data().toString());
        badges.push_back(sidebar.index(row).data(WordsSidebarModel::BadgeRole).toLongLong());
    }
    EXPECT_EQ(titles,
              (std::vector<QString> {"Saved", "History", "Review", "Languages", "English → Spanish", "French → Spanish",
                                     "Spanish", "Met in", "Bee", "a.app"}));
    EXPECT_EQ(badges, (std::vector<qint64> {4, 1, 4, 0, 2, 1, 1, 0, 2, 1}));
    EXPECT_EQ(sidebar.index(2).data(Qt::ToolTipRole).toString(), QStringLiteral("Review 4 words"));
    EXPECT_EQ(sidebar.flags(sidebar.index(2)), Qt::ItemIsEnabled) << "the Review row is never selected";
    EXPECT_EQ(sidebar.section(4), WordsSection::pair("en", "es"));
    // A pair lists the words of both its languages only; no source is a pair of its own.
    model().setSection(WordsSection::pair("", "es"));
    EXPECT_EQ(listed(), (std::vector<QString> {"cuatro"}));

    // Review opens every due word and leaves the section alone.
    model().setSection(WordsSection::history());
    model().openDueReview();
    EXPECT_EQ(reviews, (std::vector<std::optional<QUuid>> {std::nullopt}));
    EXPECT_EQ(model().section(), WordsSection::history());

    // Removing the last word of a pair drops its row while the window may still list that pair.
    model().setSection(WordsSection::pair("fr", "es"));
    book().remove(book().saved()[2].id);
    EXPECT_FALSE(sidebar.row(WordsSection::pair("fr", "es")));
    EXPECT_EQ(model().emptyTitle(), QStringLiteral("No saved words"));
}

TEST_F(WordsModelTest, AnEmptyBookShowsNoBadgesAndNoGroups)
{
    WordsSidebarModel &sidebar = *model().sidebar();
    ASSERT_EQ(sidebar.rowCount(), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(sidebar.index(row).data(WordsSidebarModel::BadgeRole).toLongLong(), 0);
    EXPECT_EQ(sidebar.index(2).data(Qt::ToolTipRole).toString(), QStringLiteral("Nothing to review right now"));
    EXPECT_FALSE(model().canExport());
}

TEST_F(WordsModelTest, ExportWritesEverySavedWordWhateverIsListed)
{
    addFruit();
    fixture.history = {
        makeLookup({.word = QStringLiteral("pear"), .meaning = QStringLiteral("poire"), .date = fixture.ago(10)})};
    QTemporaryDir folder;
    std::vector<QString> offered;
    WordsModel &m = model();
    QSignalSpy failures(&m, &WordsModel::exportFailed);
    QSignalSpy exportable(&m, &WordsModel::canExportChanged);
    m.setFileChooser([&](const QString &name, const QString &) -> std::optional<QString> {
        offered.push_back(name);
        return folder.filePath(name);
    });
    m.setSection(WordsSection::history());
    m.setQuery(QStringLiteral("pear"));
    ASSERT_TRUE(m.canExport());

    EXPECT_EQ(m.exportSaved(WordExport::Format::csv).status, WordExporter::Outcome::Status::written);
    EXPECT_EQ(m.exportSaved(WordExport::Format::anki).status, WordExporter::Outcome::Status::written);
    EXPECT_EQ(offered, (std::vector<QString> {"Lumivox words.csv", "Lumivox words for Anki.txt"}));
    const QByteArray csv = WordBookEnvironment::contents(folder.filePath(offered[0]));
    for (const char *word : {"apple", "Banana", "cherry", "English", "French"})
        EXPECT_TRUE(csv.contains(word)) << word;
    EXPECT_FALSE(csv.contains("pear"));
    EXPECT_TRUE(WordBookEnvironment::contents(folder.filePath(offered[1])).contains("cerise"));
    EXPECT_EQ(failures.count(), 0);

    // A cancelled choice writes nothing and reports nothing.
    m.setFileChooser([](const QString &, const QString &) { return std::nullopt; });
    EXPECT_EQ(m.exportSaved(WordExport::Format::csv).status, WordExporter::Outcome::Status::cancelled);
    EXPECT_EQ(failures.count(), 0);

    m.setFileChooser([&](const QString &name, const QString &) -> std::optional<QString> {
        return folder.filePath(QStringLiteral("missing/") + name);
    });
    EXPECT_EQ(m.exportSaved(WordExport::Format::csv).status, WordExporter::Outcome::Status::failed);
    ASSERT_EQ(failures.count(), 1);
    EXPECT_TRUE(failures[0][1].toString().startsWith(QStringLiteral("“Lumivox words.csv” could not be saved in “")));

    // Export stays possible until the last saved word goes, and says so once.
    book().remove(book().saved()[0].id);
    book().remove(book().saved()[0].id);
    EXPECT_EQ(exportable.count(), 0);
    book().remove(book().saved()[0].id);
    EXPECT_EQ(exportable.count(), 1);
    EXPECT_FALSE(m.canExport());
}

TEST_F(WordsModelTest, DetailOfAHistoryWordSavesItsNewestEncounter)
{
    const LookupFields older {.word = QStringLiteral("maison"),
                              .meaning = QStringLiteral("house"),
                              .date = fixture.ago(90),
                              .sentence = QStringLiteral("Une maison.")};
    LookupFields newer = older;
    newer.date = fixture.ago(5);
    newer.meaning = QStringLiteral("home");
    newer.sentence = QStringLiteral("Ma maison <b>bleue</b>.");
    newer.title = QStringLiteral("Chapter <1>");
    fixture.history = {makeLookup(older), makeLookup(newer)};
    const QUuid newestID = fixture.history.back().id;
    const auto speech = std::make_shared<FakeSpeech>();
    Native::ScopedOverride<Native::Speech> speaking(speech);
    WordsModel &m = model();
    m.setSection(WordsSection::history());
    WordDetailModel &detail = *m.detail();
    ASSERT_EQ(detail.word(), QStringLiteral("maison"));

    EXPECT_EQ(detail.statistics(), (QStringList {"Looked up <b>2 times</b>", "Last <b>Today</b>"}));
    EXPECT_EQ(detail.subtitle(), QStringLiteral("English → French"));
    EXPECT_EQ(detail.saveToggleText(), QStringLiteral("Save"));
    EXPECT_EQ(detail.saveToggleHelp(), QStringLiteral("Save this word"));
    EXPECT_EQ(detail.primaryActionText(), QStringLiteral("Save"));
    EXPECT_TRUE(detail.primaryActionEnabled());
    EXPECT_FALSE(detail.canRemove());
    EXPECT_EQ(detail.alsoMet().size(), 1u) << "the older encounter";
    const auto card = detail.lastEncounter();
    ASSERT_TRUE(card);
    EXPECT_EQ(card->source, QStringLiteral("Reader · Chapter <1>")) << "shown as plain text";
    ASSERT_TRUE(card->sentence);
    EXPECT_TRUE(WordHighlight::html(*card->sentence).contains(QStringLiteral("&lt;b&gt;bleue&lt;/b&gt;")));
    EXPECT_EQ(detail.copyText(), QStringLiteral("maison — home; house"));
    detail.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("maison — home; house"));
    detail.hear();
    ASSERT_EQ(speech->spoken.size(), 1u);
    EXPECT_EQ(speech->spoken[0].text, QStringLiteral("maison"));

    m.setQuery(QStringLiteral("zzz"));
    EXPECT_FALSE(detail.lastEncounter()) << "nothing selected";
    EXPECT_FALSE(detail.primaryActionEnabled());
    detail.hear();
    EXPECT_EQ(speech->spoken.size(), 1u) << "nothing to say";
    m.setQuery(QString());

    // Once the speech service has said nothing can speak, the button says so and says nothing. A test
    // host never wakes the service itself: the answer is given here.
    EXPECT_EQ(speech->availabilityChecks, 0);
    QSignalSpy changes(&detail, &WordDetailModel::changed);
    detail.setSpeechAvailable(false);
    detail.setSpeechAvailable(false);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(detail.canHear());
    EXPECT_EQ(detail.hearHelp(), QStringLiteral("Speech is not installed on this computer"));
    detail.hear();
    EXPECT_EQ(speech->spoken.size(), 1u);

    detail.toggleSaved();
    ASSERT_EQ(book().saved().size(), 1u);
    EXPECT_EQ(book().saved().front().encounters.front().id, newestID);
    // The history item now carries the saved word, with the history's own figures.
    EXPECT_TRUE(detail.isSaved());
    EXPECT_EQ(detail.statistics(),
              (QStringList {"Met <b>2 times</b>", "Saved <b>Today</b>", "Next review <b>Tomorrow</b>"}));
    EXPECT_EQ(detail.primaryActionText(), QStringLiteral("Review This Word"));
    EXPECT_TRUE(detail.canRemove());
}

TEST_F(WordsModelTest, DetailOfASavedWordAsksBeforeRemovingAndReviewsIt)
{
    std::vector<WordLookup> encounters;
    // The newest encounter, then seven earlier ones of which the second and fourth kept no sentence.
    for (int i = 0; i < 8; ++i) {
        LookupFields fields {.word = QStringLiteral("run"),
                             .meaning = QStringLiteral("courir"),
                             .date = fixture.ago(i * 1440.0),
                             .sentence = QStringLiteral("Run number %1.").arg(i)};
        if (i == 2 || i == 4)
            fields.sentence.reset();
        encounters.push_back(makeLookup(fields));
    }
    SavedWord word =
        makeSaved({.word = QStringLiteral("run"), .meaning = QStringLiteral("courir"), .date = fixture.ago(3 * 1440.0)},
                  encounters, 1);
    SavedWord learned =
        makeSaved({.word = QStringLiteral("walk"), .meaning = QStringLiteral("marcher"), .date = fixture.ago(10)});
    learned.review.learned = true;
    learned.metCount = 0;
    learned.encounters.clear(); // as an imported word may be
    fixture.saved = {word, learned};
    WordsModel &m = model();
    m.setSelection(word.key());
    WordDetailModel &detail = *m.detail();
    QSignalSpy asks(&detail, &WordDetailModel::removeConfirmationRequested);

    std::vector<QString> also;
    for (const auto &row : detail.alsoMet())
        also.push_back(row.sentence.text());
    EXPECT_EQ(also, (std::vector<QString> {"Run number 1.", "Run number 3.", "Run number 5.", "Run number 6."}));
    EXPECT_EQ(detail.statistics(), (QStringList {"Met <b>once</b>", "Saved <b>Tue</b>", "Next review <b>Today</b>"}));

    detail.toggleSaved();
    EXPECT_EQ(asks.count(), 1);
    EXPECT_EQ(book().saved().size(), 2u) << "the header toggle only asks";
    EXPECT_EQ(detail.removeTitle(), QStringLiteral("Remove “run” from Words?"));

    detail.performPrimaryAction();
    EXPECT_EQ(reviews, (std::vector<std::optional<QUuid>> {word.id}));

    m.setSelection(learned.key());
    EXPECT_EQ(detail.statistics(), (QStringList {"Met <b>0 times</b>", "Saved <b>Today</b>", "<b>Learned</b>"}));
    EXPECT_FALSE(detail.primaryActionEnabled());
    EXPECT_FALSE(detail.lastEncounter());
    detail.performPrimaryAction();
    EXPECT_EQ(reviews.size(), 1u);

    // The answer removes the word it was asked about, though another is shown by then.
    detail.requestRemove();
    m.setSelection(word.key());
    detail.confirmRemove();
    ASSERT_EQ(book().saved().size(), 1u);
    EXPECT_EQ(book().saved().front().word, QStringLiteral("run"));
    detail.confirmRemove();
    EXPECT_EQ(book().saved().size(), 1u) << "one confirmation, one removal";
    m.setSelection(learned.key());
    EXPECT_FALSE(detail.hasItem()) << "the removed word leaves the Saved list";
}
