#include "Fakes/FakeWordBookEnvironment.h"
#include "Services/Words/WordExport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

const QString ankiHeader =
    QStringLiteral("#separator:tab\n#html:true\n#notetype:Basic\n#deck:Lumivox\n#columns:Front\tBack\n");
const QString csvHeader = QStringLiteral("Word,Meaning,Type,Grammar,Sentence,Translation,From,To,Met in,Saved\r\n");

QTimeZone berlinZone()
{
    return QTimeZone("Europe/Berlin");
}

QString languageName(const QString &code)
{
    if (code == QLatin1String("en"))
        return QStringLiteral("English");
    if (code == QLatin1String("es"))
        return QStringLiteral("Spanish");
    return code;
}

SavedWord savedWord(const QString &text, Date savedAt)
{
    SavedWord w;
    w.id = QUuid::createUuid();
    w.word = text;
    w.target = QStringLiteral("es");
    w.savedAt = savedAt;
    return w;
}

WordLookup encounter(const QString &sentence, std::optional<qint64> offset, std::optional<QString> translation,
                     std::optional<QString> appName)
{
    WordLookup l;
    l.id = QUuid::createUuid();
    l.sentence = sentence;
    l.wordOffset = offset;
    l.translation = std::move(translation);
    l.appName = std::move(appName);
    return l;
}

// A word with everything that needs quoting or escaping.
SavedWord runWord()
{
    SavedWord w = savedWord(QStringLiteral("run"), utcDate(2024, 5, 6, 23, 30));
    w.source = QStringLiteral("en");
    w.senses = {{QStringLiteral("correr, huir"), QStringLiteral("Verb"), QStringLiteral("present tense")},
                {QStringLiteral("funcionar"), std::nullopt, std::nullopt}};
    w.encounters = {encounter(QStringLiteral("She said \"run\" now"), 10, QStringLiteral("Ella dijo \"corre\" ahora"),
                              QStringLiteral("Notes, Inc.")),
                    encounter(QStringLiteral("older"), std::nullopt, QStringLiteral("ignored"), QStringLiteral("Old"))};
    return w;
}

} // namespace

TEST(WordExport, AnEmptyExportIsItsHeaderAlone)
{
    EXPECT_EQ(WordExport::csv({}, languageName), csvHeader);
    EXPECT_EQ(WordExport::anki({}), ankiHeader + QLatin1Char('\n'));
    EXPECT_EQ(WordExport::title(WordExport::Format::csv), QStringLiteral("CSV"));
    EXPECT_EQ(WordExport::title(WordExport::Format::anki), QStringLiteral("Anki"));
    EXPECT_EQ(WordExport::allFormats.front(), WordExport::Format::csv);
}

TEST(WordExport, CsvQuotesOnlyWhatNeedsIt)
{
    SavedWord bare = savedWord(QStringLiteral("line"), utcDate(2024, 5, 6, 12, 0));
    SavedWord broken = savedWord(QStringLiteral("second"), utcDate(1999, 12, 31, 23, 0));
    broken.senses = {{QStringLiteral("segundo"), QStringLiteral("Adjective"), std::nullopt}};
    broken.encounters = {
        encounter(QStringLiteral("First line\nsecond line"), std::nullopt, QStringLiteral("Primera\r"), std::nullopt)};

    const QString expected =
        csvHeader
        + QStringLiteral("run,\"correr, huir; funcionar\",Verb,present tense,\"She said \"\"run\"\" now\","
                         "\"Ella dijo \"\"corre\"\" ahora\",English,Spanish,\"Notes, Inc.\",2024-05-07\r\n")
        + QStringLiteral("line,,,,,,,Spanish,,2024-05-06\r\n")
        + QStringLiteral(
            "second,segundo,Adjective,,\"First line\nsecond line\",\"Primera\n\",,Spanish,,2000-01-01\r\n");
    EXPECT_EQ(WordExport::csv({runWord(), bare, broken}, languageName, berlinZone()), expected);
}

TEST(WordExport, AnkiCardsAreEscapedAndKeptOnOneLine)
{
    SavedWord bare = savedWord(QStringLiteral("line"), Date {});
    SavedWord tagged = savedWord(QStringLiteral("salt"), Date {});
    tagged.senses = {{QStringLiteral("sal & pimienta <picante>"), QStringLiteral("Noun"), std::nullopt}};
    tagged.encounters = {encounter(QStringLiteral("Salt\tand\r\npepper\nand salt\rhere"), 99,
                                   QStringLiteral("Sal y pimienta"), std::nullopt)};
    SavedWord untagged = savedWord(QStringLiteral("x"), Date {});
    untagged.senses = {{QStringLiteral("equis"), std::nullopt, QStringLiteral("letter")}};
    untagged.encounters = {encounter(QString(), std::nullopt, QString(), std::nullopt)};

    const QString expected = ankiHeader
        + QStringLiteral("She said \"<b>run</b>\" now\t<b>correr, huir; funcionar</b><br>Verb \u00B7 present tense"
                         "<br><i>Ella dijo \"corre\" ahora</i>\n")
        + QStringLiteral("<b>line</b>\t<b></b>\n")
        + QStringLiteral("Salt and<br>pepper<br>and <b>salt</b><br>here\t<b>sal &amp; pimienta &lt;picante&gt;</b>"
                         "<br>Noun<br><i>Sal y pimienta</i>\n")
        + QStringLiteral("<b>x</b>\t<b>equis</b>\n");
    const std::vector<SavedWord> words {runWord(), bare, tagged, untagged};
    EXPECT_EQ(WordExport::anki(words), expected);
    EXPECT_EQ(WordExport::text(words, WordExport::Format::anki, languageName), expected);
}

TEST(WordExport, HighlightingFindsTheWordByUtf16OffsetOrAsAWholeWord)
{
    const QString sentence = QStringLiteral("👍 I run, 👍 you run & <go>.");
    EXPECT_EQ(WordExport::highlighted(QStringLiteral("run"), sentence, 17),
              QStringLiteral("👍 I run, 👍 you <b>run</b> &amp; &lt;go&gt;."));
    for (const std::optional<qint64> offset :
         {std::optional<qint64>(5), std::optional<qint64>(), std::optional<qint64>(6), std::optional<qint64>(-1),
          std::optional<qint64>(1), std::optional<qint64>(27),
          std::optional<qint64>(std::numeric_limits<qint64>::max())}) {
        EXPECT_EQ(WordExport::highlighted(QStringLiteral("run"), sentence, offset),
                  QStringLiteral("👍 I <b>run</b>, 👍 you run &amp; &lt;go&gt;."));
    }
    // Only a whole word, exactly as written, is found by the search.
    EXPECT_EQ(WordExport::highlighted(QStringLiteral("run"), QStringLiteral("Running & running"), std::nullopt),
              QStringLiteral("Running &amp; running"));
    EXPECT_EQ(WordExport::highlighted(QStringLiteral("Run"), QStringLiteral("run"), std::nullopt),
              QStringLiteral("run"));
    // A word ending the sentence is found at its offset, not at an earlier match.
    EXPECT_EQ(WordExport::highlighted(QStringLiteral("run"), QStringLiteral("run and run"), 8),
              QStringLiteral("run and <b>run</b>"));
    // An offset is trusted as given, even inside a longer word.
    EXPECT_EQ(WordExport::highlighted(QStringLiteral("run"), QStringLiteral("running"), 0),
              QStringLiteral("<b>run</b>ning"));
}

// Words saved by an earlier version kept control characters as the page or the translation service
// gave them: a bell, a terminal's escape sequence, a NUL, a right-to-left override. Neither export
// carries one, and the text around them stays.
TEST(WordExport, NoControlCharacterOfAStoredWordIsExported)
{
    const QString hostile = QStringLiteral("\a\x1b\u202E\u009B\u2066") + QChar(0);
    const auto spiked = [&](const QString &text) { return hostile + text + hostile; };
    SavedWord word = savedWord(spiked(QStringLiteral("river")), utcDate(2024, 5, 6, 12, 0));
    word.source = QStringLiteral("en");
    word.senses = {
        {spiked(QStringLiteral("r\u00EDo")), spiked(QStringLiteral("Noun")), spiked(QStringLiteral("stream"))}};
    word.encounters = {encounter(spiked(QStringLiteral("The river runs.")), 3,
                                 spiked(QStringLiteral("El r\u00EDo corre.")), spiked(QStringLiteral("Editor")))};

    for (const WordExport::Format format : WordExport::allFormats) {
        const QString text = WordExport::text({word}, format, languageName);
        SCOPED_TRACE(text.toStdString());
        for (const QChar c : hostile)
            EXPECT_FALSE(text.contains(c)) << std::hex << unsigned(c.unicode());
        for (const char *kept : {"river", "r\u00EDo", "Noun", "stream", "The river runs.", "El r\u00EDo corre."})
            EXPECT_TRUE(text.contains(QString::fromUtf8(kept))) << kept;
    }
}
