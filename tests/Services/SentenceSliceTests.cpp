#include "Services/Detection/SentenceSlice.h"

#include <gtest/gtest.h>

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

TEST(SentenceSlice, RejectsRangesOutsideTheText)
{
    const QString text = QStringLiteral("word");
    EXPECT_FALSE(sentenceSlice(text, -1, 2, true, true));
    EXPECT_FALSE(sentenceSlice(text, 0, 0, true, true));
    EXPECT_FALSE(sentenceSlice(text, 2, 3, true, true));
    EXPECT_FALSE(sentenceSlice(QString(), 0, 1, true, true));
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
