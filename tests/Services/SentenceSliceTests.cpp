#include "Services/Detection/SentenceSlice.h"

#include <gtest/gtest.h>

using Lumivox::AccessibilityTextService::SentenceSlice;
using Lumivox::AccessibilityTextService::sentenceSlice;

TEST(SentenceSlice, PicksTheSentenceThatHoldsTheWord)
{
    const QString text = QStringLiteral("First one here. The quick fox jumps. Last bit.");
    const qsizetype at = text.indexOf(QStringLiteral("quick"));
    const auto slice = sentenceSlice(text, at, 5, true, true);
    ASSERT_TRUE(slice);
    EXPECT_EQ(slice->text, QStringLiteral("The quick fox jumps."));
    EXPECT_EQ(slice->text.mid(slice->wordOffset, 5), QStringLiteral("quick"));
}

TEST(SentenceSlice, CutsPartialWordsAtWindowEdges)
{
    // The window starts and ends mid-word: "tion" and "whe" are cut off.
    const QString text = QStringLiteral("tion of the river flows whe");
    const qsizetype at = text.indexOf(QStringLiteral("river"));
    const auto slice = sentenceSlice(text, at, 5, false, false);
    ASSERT_TRUE(slice);
    EXPECT_EQ(slice->text, QStringLiteral("of the river flows"));
    EXPECT_EQ(slice->wordOffset, 7);
    // The same window, known to be the whole text, keeps both ends.
    EXPECT_EQ(sentenceSlice(text, at, 5, true, true)->text, text);
}

TEST(SentenceSlice, WordsAtTheEdgesOfTextAndSentences)
{
    struct Case
    {
        const char *name;
        QString text;
        qsizetype location;
        qsizetype length;
        bool wholeText;
        std::optional<SentenceSlice> expected;
    };
    const QString two = QStringLiteral("Quick fox. Slow dog.");
    const Case cases[] = {
        {"the first word of the text", two, 0, 5, true, SentenceSlice {QStringLiteral("Quick fox."), 0}},
        {"the first word of a later sentence", two, 11, 4, true, SentenceSlice {QStringLiteral("Slow dog."), 0}},
        {"the last word, ending the text", QStringLiteral("Quick fox. Slow dog"), 16, 3, true,
         SentenceSlice {QStringLiteral("Slow dog"), 5}},
        {"a one-letter word", QStringLiteral("I am."), 0, 1, true, SentenceSlice {QStringLiteral("I am."), 0}},
        {"after leading spaces", QStringLiteral("  Hello world."), 8, 5, true,
         SentenceSlice {QStringLiteral("Hello world."), 6}},
        {"a cut word right after the word", QStringLiteral("tion of the river flo"), 12, 5, false,
         SentenceSlice {QStringLiteral("of the river"), 7}},
        // The slice is trimmed: a range reaching into trailing spaces would point past its end.
        {"a range into trailing spaces", QStringLiteral("Hello world.  "), 6, 8, true, std::nullopt},
        {"before the text", QStringLiteral("word"), -1, 2, true, std::nullopt},
        {"an empty range", QStringLiteral("word"), 0, 0, true, std::nullopt},
        {"past the end", QStringLiteral("word"), 2, 3, true, std::nullopt},
        {"an empty text", QString(), 0, 1, true, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(sentenceSlice(c.text, c.location, c.length, c.wholeText, c.wholeText), c.expected) << c.name;
}

TEST(SentenceSlice, OffsetsCountUtf16AfterAnEmoji)
{
    const QString text = QString::fromUtf16(u"I \U0001F600 love cheese.");
    const qsizetype at = text.indexOf(QStringLiteral("love"));
    const auto slice = sentenceSlice(text, at, 4, true, true);
    ASSERT_TRUE(slice);
    EXPECT_EQ(slice->wordOffset, 5);
    EXPECT_EQ(slice->text.mid(slice->wordOffset, 4), QStringLiteral("love"));
}
