// The Words windows' support types: how look-ups become items, search and sort, date texts, language
// and application names, and reading a word aloud.

#include "Fakes/FakeSpeech.h"
#include "Fakes/WordsFixture.h"
#include "Features/Words/AppIcons.h"
#include "Features/Words/Pronouncer.h"
#include "Features/Words/WordDates.h"
#include "Features/Words/WordHighlight.h"
#include "Features/Words/WordItem.h"
#include "Features/Words/WordLanguages.h"
#include "Native/Services.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

std::vector<QString> words(const std::vector<WordItem> &items)
{
    std::vector<QString> out;
    for (const WordItem &item : items)
        out.push_back(item.word);
    return out;
}

std::vector<QString> meanings(const WordItem &item)
{
    std::vector<QString> out;
    for (const WordSense &sense : item.senses)
        out.push_back(sense.meaning);
    return out;
}

class WordItemTest : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    WordsFixture fixture;
};

} // namespace

TEST_F(WordItemTest, HistoryGroupsLookupsByKeyNewestFirstWithTheNewestSpelling)
{
    const QTimeZone berlin("Europe/Berlin");
    fixture.history = {
        makeLookup({.word = QStringLiteral("Run"), .meaning = QStringLiteral("courir"), .date = fixture.ago(120)}),
        makeLookup({.word = QStringLiteral(" run "), .meaning = QStringLiteral("Courir"), .date = fixture.ago(60)}),
        makeLookup({.word = QStringLiteral("run"),
                    .meaning = QStringLiteral("courir"),
                    .date = fixture.ago(50),
                    .target = QStringLiteral("es")}),
        makeLookup({.word = QStringLiteral("walk"), .meaning = QStringLiteral("marcher"), .date = fixture.ago(0)}),
    };
    auto book = fixture.book();
    const auto items = WordItem::history(*book);

    // A different target is a different word; the item takes the spelling and date of its newest look-up.
    ASSERT_EQ(words(items), (std::vector<QString> {"walk", "run", " run "}));
    const WordItem &run = items[2];
    EXPECT_EQ(run.key, WordKey(QStringLiteral("run"), QStringLiteral("en"), QStringLiteral("fr")));
    EXPECT_EQ(run.date, fixture.ago(60));
    EXPECT_EQ(run.met, 2);
    ASSERT_EQ(run.encounters.size(), 2u);
    EXPECT_EQ(run.encounters[0].date, fixture.ago(60));
    EXPECT_EQ(meanings(run), (std::vector<QString> {"Courir"}));
    EXPECT_FALSE(run.isSaved());
}

TEST_F(WordItemTest, HistorySensesMergeSameMeaningsAndKeepTheNewestThree)
{
    struct Case
    {
        const char *name;
        std::vector<QString> newestFirst;
        std::vector<QString> expected;
    };
    const std::vector<Case> cases {
        {"case only", {"Courir", "courir"}, {"Courir"}},
        {"three shared characters", {"courir", "cours"}, {"courir"}},
        {"two shared characters", {"aller", "avoir"}, {"aller", "avoir"}},
        {"five meanings", {"un", "deux", "trois", "quatre", "cinq"}, {"un", "deux", "trois"}},
        // A repeat of a kept meaning must not push out a new one.
        {"repeats", {"un", "un", "un", "un", "deux"}, {"un", "deux"}},
    };
    for (const Case &c : cases) {
        std::vector<WordLookup> lookups;
        for (std::size_t i = 0; i < c.newestFirst.size(); ++i)
            lookups.push_back(
                makeLookup({.word = QStringLiteral("x"), .meaning = c.newestFirst[i], .date = fixture.ago(double(i))}));
        const auto item = WordItem::fromHistory(lookups, std::nullopt);
        ASSERT_TRUE(item) << c.name;
        EXPECT_EQ(meanings(*item), c.expected) << c.name;
        EXPECT_EQ(item->met, qint64(lookups.size())) << c.name;
    }
    EXPECT_FALSE(WordItem::fromHistory({}, std::nullopt));

    WordLookup bare = makeLookup({.word = QStringLiteral("x"), .meaning = QString(), .date = fixture.ago(0)});
    auto item = WordItem::fromHistory({bare}, std::nullopt);
    item->senses.clear();
    EXPECT_EQ(item->meaning(), QString());
    EXPECT_FALSE(item->tag());
}

TEST_F(WordItemTest, SearchTrimsTheQueryAndLooksIntoMeaningsSentencesAndTranslations)
{
    const WordLookup met = makeLookup({.word = QStringLiteral("maison"),
                                       .meaning = QStringLiteral("house"),
                                       .date = fixture.ago(0),
                                       .sentence = QStringLiteral("La maison bleue."),
                                       .translation = QStringLiteral("The blue HOUSE.")});
    const WordItem item(makeSaved(
        {.word = QStringLiteral("maison"), .meaning = QStringLiteral("home"), .date = fixture.ago(0)}, {met}));
    struct Case
    {
        QString query;
        bool matches;
    };
    const std::vector<Case> cases {
        {"", true},           {" \t\n", true}, {"MAISON", true},  {"home", true},         {"  bleue ", true},
        {"blue house", true}, {"house", true}, {"garden", false}, {"maison home", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(item.matches(c.query), c.matches) << c.query.toStdString();
}

TEST_F(WordItemTest, SortsAreStable)
{
    std::vector<WordItem> items;
    const auto add = [&](const char *word, double minutesAgo, qint64 met) {
        items.emplace_back(makeSaved(
            {.word = QString::fromUtf8(word), .meaning = QStringLiteral("m"), .date = fixture.ago(minutesAgo)}, {},
            met));
    };
    add("cherry", 5, 2);
    add("Banana", 5, 1);
    add("apple", 1, 2);
    add("Äpfel", 3, 1);
    add("Cherry", 5, 1);

    auto sorted = items;
    WordSorts::sort(sorted, WordSort::alphabetical);
    EXPECT_EQ(words(sorted), (std::vector<QString> {"Äpfel", "apple", "Banana", "cherry", "Cherry"}));
    sorted = items;
    WordSorts::sort(sorted, WordSort::newest);
    EXPECT_EQ(words(sorted), (std::vector<QString> {"apple", "Äpfel", "cherry", "Banana", "Cherry"}));
    sorted = items;
    WordSorts::sort(sorted, WordSort::mostMet);
    EXPECT_EQ(words(sorted), (std::vector<QString> {"cherry", "apple", "Banana", "Äpfel", "Cherry"}));
    EXPECT_EQ(WordSorts::title(WordSort::alphabetical), QStringLiteral("A to Z"));
}

TEST_F(WordItemTest, DateTexts)
{
    // Berlin leaves summer time on 2026-10-25 (a 25-hour day) and starts it on 2027-03-28 (23 hours).
    const Calendar calendar(QTimeZone("Europe/Berlin"));
    const QTimeZone zone = calendar.timeZone();
    const auto at = [&](int y, int m, int d, int h = 12, int min = 0) { return localDate(zone, y, m, d, h, min); };
    struct Case
    {
        const char *name;
        QString (*text)(Date, Date, const Calendar &);
        Date date;
        Date now;
        QString expected;
    };
    const std::vector<Case> cases {
        {"review past", WordDates::review, at(2027, 1, 14), at(2027, 1, 15), "Today"},
        {"review later today", WordDates::review, at(2027, 1, 15, 23, 59), at(2027, 1, 15, 0, 1), "Today"},
        {"review after midnight", WordDates::review, at(2027, 1, 16, 0, 1), at(2027, 1, 15, 23, 59), "Tomorrow"},
        {"review six days", WordDates::review, at(2027, 1, 21), at(2027, 1, 15), "Thursday"},
        {"review seven days", WordDates::review, at(2027, 1, 22), at(2027, 1, 15), "Jan 22"},
        {"review across summer time", WordDates::review, at(2027, 3, 29, 0, 30), at(2027, 3, 27, 23, 30), "Monday"},
        {"short today", WordDates::shortText, at(2027, 1, 15, 0, 0), at(2027, 1, 15, 23, 59), "Today"},
        {"short yesterday across midnight", WordDates::shortText, at(2027, 1, 14, 23, 59), at(2027, 1, 15, 0, 1),
         "Yesterday"},
        {"short yesterday across the 25-hour day", WordDates::shortText, at(2026, 10, 24, 23, 30),
         at(2026, 10, 26, 0, 30), "Sat"},
        {"short six days", WordDates::shortText, at(2027, 1, 9), at(2027, 1, 15), "Sat"},
        {"short seven days", WordDates::shortText, at(2027, 1, 8), at(2027, 1, 15), "Jan 8"},
        {"short last year", WordDates::shortText, at(2026, 12, 31, 23, 0), at(2027, 1, 7, 1, 0), "Dec 31, 2026"},
        {"short future in another year", WordDates::shortText, at(2028, 2, 3), at(2027, 1, 15), "Feb 3, 2028"},
        {"with time", WordDates::withTime, at(2027, 1, 14, 9, 41), at(2027, 1, 15), "Yesterday, 9:41\u202FAM"},
    };
    for (const Case &c : cases) {
        QString text = c.text(c.date, c.now, calendar);
        // ICU data differ on the space before AM; the text is the same to the eye.
        text.replace(QChar(' '), QChar(0x202F));
        QString expected = c.expected;
        expected.replace(QChar(' '), QChar(0x202F));
        EXPECT_EQ(text, expected) << c.name;
    }
}

TEST_F(WordItemTest, LanguageNames)
{
    EXPECT_EQ(WordLanguages::name(std::nullopt), std::nullopt);
    EXPECT_EQ(WordLanguages::name(QString()), std::nullopt);
    EXPECT_EQ(WordLanguages::name(QStringLiteral("FR ")), QStringLiteral("French"));
    // Not in the language table, known to Qt; unknown to both.
    EXPECT_EQ(WordLanguages::name(QStringLiteral("kl")), QStringLiteral("Kalaallisut"));
    EXPECT_EQ(WordLanguages::name(QStringLiteral("qqq")), QStringLiteral("qqq"));
    EXPECT_EQ(WordLanguages::pair(QStringLiteral("en"), QStringLiteral("fr")), QStringLiteral("English → French"));
    EXPECT_EQ(WordLanguages::pair(QString(), QStringLiteral("fr")), QStringLiteral("French"));
    EXPECT_EQ(WordLanguages::pair(std::nullopt, QStringLiteral("fr")), QStringLiteral("French"));
    EXPECT_EQ(WordLanguages::pair(QStringLiteral("en"), QString()), QStringLiteral("English → "));
}

TEST_F(WordItemTest, ApplicationNamesAndIcons)
{
    EXPECT_EQ(AppIcons::name(QStringLiteral("com.apple.MobileSMS")), QStringLiteral("Messages"));
    EXPECT_EQ(AppIcons::name(QStringLiteral("org.example.Nowhere")), QStringLiteral("org.example.Nowhere"));
    EXPECT_TRUE(AppIcons::icon(QStringLiteral("org.example.Nowhere")).isNull());
    EXPECT_TRUE(AppIcons::icon(std::nullopt).isNull());
    // Ids come from other programs: one that names a path never reaches a file.
    EXPECT_EQ(AppIcons::name(QStringLiteral("../../etc/passwd")), QStringLiteral("../../etc/passwd"));
    EXPECT_TRUE(AppIcons::icon(QStringLiteral("../../etc/passwd")).isNull());
}

TEST_F(WordItemTest, HighlightsAreEscapedAndMarkTheWord)
{
    const StyledText sentence = WordHighlight::sentence(QStringLiteral("<b>x</b> run, <img src=\"http://a/b\"> run"),
                                                        QStringLiteral("run"), 37);
    const QString html = WordHighlight::html(sentence);
    EXPECT_EQ(html, QStringLiteral("&lt;b&gt;x&lt;/b&gt; run, &lt;img src=&quot;http://a/b&quot;&gt; <b>run</b>"));
    // An offset that does not hold the word falls back to its first whole-word occurrence.
    EXPECT_EQ(WordHighlight::html(WordHighlight::sentence(QStringLiteral("a run"), QStringLiteral("run"), 0)),
              QStringLiteral("a <b>run</b>"));
    EXPECT_EQ(WordHighlight::html(WordHighlight::sentence(QStringLiteral("a walk"), QStringLiteral("run"), 2)),
              QStringLiteral("a walk"));
    EXPECT_EQ(
        WordHighlight::html(WordHighlight::translation(QStringLiteral("A House & a house"), QStringLiteral("house")),
                            QColor(10, 20, 30, 51)),
        QStringLiteral("A <span style=\"background-color:rgba(10,20,30,51)\"><b>House</b></span> &amp; a house"));
}

TEST_F(WordItemTest, PronouncerStopsFirstAndPicksAVoiceOfTheLanguage)
{
    auto speech = std::make_shared<FakeSpeech>();
    speech->voices = {QLocale(QLocale::English, QLocale::UnitedKingdom),
                      QLocale(QLocale::Portuguese, QLocale::Portugal), QLocale(QLocale::Portuguese, QLocale::Brazil)};
    Native::ScopedOverride<Native::Speech> scoped(speech);

    Pronouncer::speak(QStringLiteral("maison"), QStringLiteral("fr"));
    Pronouncer::speak(QStringLiteral("casa"), QStringLiteral("pt-BR"));
    Pronouncer::speak(QStringLiteral("house"), QStringLiteral("en"));
    Pronouncer::speak(QStringLiteral("x"), std::nullopt);

    EXPECT_EQ(speech->calls, (std::vector<QString> {"stop", "say", "stop", "say", "stop", "say", "stop", "say"}));
    ASSERT_EQ(speech->spoken.size(), 4u);
    EXPECT_EQ(speech->spoken[0].locale, std::nullopt) << "no French voice: the default voice";
    EXPECT_EQ(speech->spoken[1].locale, QLocale(QLocale::Portuguese, QLocale::Brazil));
    EXPECT_EQ(speech->spoken[2].locale, QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(speech->spoken[3].locale, std::nullopt);

    // Whether anything can speak is asked of the service once, and told to whoever asks while alive.
    speech->available = false;
    QObject alive;
    std::vector<bool> answers;
    Pronouncer::whenAvailabilityKnown(&alive, [&](bool available) { answers.push_back(available); });
    Pronouncer::whenAvailabilityKnown(&alive, [&](bool available) { answers.push_back(available); });
    EXPECT_EQ(answers, (std::vector<bool> {false, false}));
    EXPECT_EQ(speech->availabilityChecks, 1);
    auto other = std::make_shared<FakeSpeech>();
    Native::ScopedOverride<Native::Speech> replaced(other);
    Pronouncer::whenAvailabilityKnown(&alive, [&](bool available) { answers.push_back(available); });
    EXPECT_EQ(answers.back(), true) << "another service is asked afresh";
    EXPECT_EQ(other->availabilityChecks, 1);
}
