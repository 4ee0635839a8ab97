#include "Services/Learn/MarkedText.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace Lumivox;

namespace {

const InlinePresentationIntent strong {InlinePresentationIntent::stronglyEmphasized};

/// The marked parts of a styled text, in order.
QStringList marked(const StyledText &text)
{
    QStringList out;
    for (const TextRange &range : text.stronglyEmphasizedRanges())
        out.append(text.text().mid(range.location, range.length));
    return out;
}

} // namespace

TEST(MarkedText, HtmlEscapesAndMarksRangesInOrder)
{
    EXPECT_EQ(MarkedText::html(QStringLiteral("a<b&c"), {}), QStringLiteral("a&lt;b&amp;c"));
    EXPECT_EQ(MarkedText::html(QStringLiteral("a b c"), {{2, 1}}), QStringLiteral("a <b>b</b> c"));
    // An entity already in the text is escaped again.
    EXPECT_EQ(MarkedText::html(QStringLiteral("&lt;"), {{0, 4}}), QStringLiteral("<b>&amp;lt;</b>"));
    // Unordered ranges are sorted; of two overlapping ones the earlier start wins.
    EXPECT_EQ(MarkedText::html(QStringLiteral("one two three"), {{8, 5}, {4, 3}, {0, 5}}),
              QStringLiteral("<b>one t</b>wo <b>three</b>"));
    // Ranges outside the text, or through a surrogate pair, are left out rather than cut blindly.
    const QString emoji = QString::fromUtf16(u"x\U0001F600y");
    EXPECT_EQ(MarkedText::html(emoji, {{2, 1}, {1, 9}, {-1, 1}}), emoji);
}

TEST(MarkedText, AttributedMarksOnlyValidRanges)
{
    const StyledText styled = MarkedText::attributed(QStringLiteral("red car"), {{0, 3}, {5, 10}});
    EXPECT_EQ(styled.text(), QStringLiteral("red car"));
    EXPECT_EQ(marked(styled), QStringList {QStringLiteral("red")});
    ASSERT_EQ(styled.runs().size(), 2u);
    EXPECT_EQ(styled.runs()[0].attributes.inlinePresentationIntent, strong);
    EXPECT_FALSE(styled.runs()[1].attributes.inlinePresentationIntent);
}

TEST(MarkedText, ReadsHtmlBack)
{
    auto check = [](const char16_t *html, const char16_t *text, QStringList marks) {
        const StyledText styled = MarkedText::attributedFromHTML(QString::fromUtf16(html));
        EXPECT_EQ(styled.text(), QString::fromUtf16(text)) << QString::fromUtf16(html).toStdString();
        EXPECT_EQ(marked(styled), marks) << QString::fromUtf16(html).toStdString();
    };
    check(u"x <b>y</b> z", u"x y z", {QStringLiteral("y")});
    check(u"<B>y</B>", u"y", {QStringLiteral("y")});
    check(u"<i>y</i>", u"y", {});
    check(u"<b class=\"k\">y</b>", u"y", {});
    check(u"a < b", u"a < b", {});
    check(u"a <b>b &amp; c", u"a b & c", {QStringLiteral("b & c")});
    check(u"<b>&lt;b&gt;</b>", u"<b>", {QStringLiteral("<b>")});
    check(u"", u"", {});
    // A blank before a combining mark goes; the mark keeps its own flag.
    check(u"cafe <b>\u0301</b>!", u"cafe\u0301!", {QStringLiteral("\u0301")});
    check(u"a  \u0301", u"a \u0301", {});
}

TEST(MarkedText, MarkedWordsTrimsAndJoins)
{
    StyledText text(QStringLiteral("I saw "));
    text.append(QStringLiteral("word, "), TextAttributes {strong});
    text.append(QStringLiteral("and "));
    text.append(QStringLiteral("«more»"), TextAttributes {strong});
    text.append(QStringLiteral(" "), TextAttributes {InlinePresentationIntent(InlinePresentationIntent::emphasized)});
    text.append(QStringLiteral("!!"), TextAttributes {strong});
    EXPECT_EQ(MarkedText::markedWords(text), QStringLiteral("word more"));
    EXPECT_EQ(MarkedText::markedWords(StyledText(QStringLiteral("plain"))), QString());

    // Neighbouring runs that differ in another intent give separate words.
    StyledText split;
    split.append(QStringLiteral("new"), TextAttributes {strong});
    split.append(QStringLiteral("york"),
                 TextAttributes {InlinePresentationIntent(InlinePresentationIntent::stronglyEmphasized
                                                          | InlinePresentationIntent::emphasized)});
    EXPECT_EQ(MarkedText::markedWords(split), QStringLiteral("new york"));
}

TEST(MarkedText, RemarkedMarksTheFirstOccurrenceOnly)
{
    StyledText text = MarkedText::attributed(QStringLiteral("The Cat saw a cat."), {{0, 3}});
    EXPECT_EQ(MarkedText::remarked(text, QString()), text);
    EXPECT_EQ(MarkedText::remarked(text, QStringLiteral("dog")), text);

    const StyledText cat = MarkedText::remarked(text, QStringLiteral("cat"));
    EXPECT_EQ(cat.text(), text.text());
    EXPECT_EQ(cat.stronglyEmphasizedRanges(), (std::vector<TextRange> {{4, 3}}));

    // A match that ends before a combining mark takes the whole character.
    const StyledText accented(QString::fromUtf16(u"un cafe\u0301 noir"));
    EXPECT_EQ(MarkedText::remarked(accented, QStringLiteral("CAFE")).stronglyEmphasizedRanges(),
              (std::vector<TextRange> {{3, 5}}));

    EXPECT_EQ(MarkedText::range(QStringLiteral("SAW"), text.text()), (TextRange {8, 3}));
    EXPECT_FALSE(MarkedText::range(QString(), text.text()));
    EXPECT_TRUE(MarkedText::unmarked(cat).stronglyEmphasizedRanges().empty());
    EXPECT_EQ(MarkedText::unmarked(cat).runs().size(), 1u);
}

TEST(StyledText, SettingAnIntentSplitsAndMergesRuns)
{
    StyledText text(QStringLiteral("abcdef"));
    EXPECT_TRUE(text.setInlinePresentationIntent({1, 2}, strong));
    EXPECT_TRUE(text.setInlinePresentationIntent({3, 2}, strong));
    ASSERT_EQ(text.runs().size(), 3u);
    EXPECT_EQ(text.runs()[1], (StyledText::Run {1, 4, TextAttributes {strong}}));
    EXPECT_TRUE(text.setInlinePresentationIntent({0, 6}, std::nullopt));
    EXPECT_EQ(text, StyledText(QStringLiteral("abcdef")));

    const StyledText emoji(QString::fromUtf16(u"a\U0001F600"));
    StyledText copy = emoji;
    EXPECT_FALSE(copy.setInlinePresentationIntent({0, 2}, strong));
    EXPECT_FALSE(copy.setInlinePresentationIntent({2, 5}, strong));
    EXPECT_EQ(copy, emoji);
}
