#include "Shared/Text/TextUtils.h"

#include <gtest/gtest.h>

using namespace Lumivox::Text;

TEST(TextUtils, TrimsUnicodeWhitespaceAndNewlines)
{
    EXPECT_EQ(trimmed(u"\u00a0\t word \n\u2028"), QStringLiteral("word"));
    EXPECT_EQ(trimmed(u" \n "), QString());
    EXPECT_EQ(trimmed(u"a b"), QStringLiteral("a b"));
    // An emoji at either end is kept whole (no surrogate is split off).
    EXPECT_EQ(trimmed(u" \U0001F600x\U0001F600 "), QString::fromUtf16(u"\U0001F600x\U0001F600"));
}

TEST(TextUtils, CaseMappingIsLocaleFree)
{
    EXPECT_EQ(lowercased(u"ISTANBUL Ärger"), QStringLiteral("istanbul ärger"));
    EXPECT_EQ(uppercased(u"straße"), QStringLiteral("STRASSE"));
    // An unpaired surrogate does not break the mapping.
    const QString broken = QStringLiteral("AB") + QChar(0xD800);
    EXPECT_EQ(lowercased(broken), QStringLiteral("ab") + QChar(QChar::ReplacementCharacter));
    // Plain ASCII: only the letters change, not their neighbours in the code table.
    EXPECT_EQ(lowercased(u"@AZ[`az{ 09"), QStringLiteral("@az[`az{ 09"));
    EXPECT_EQ(uppercased(u"@AZ[`az{ 09"), QStringLiteral("@AZ[`AZ{ 09"));
}

TEST(TextUtils, WordsCarryUtf16RangesAndSkipPunctuation)
{
    const QString text = QString::fromUtf16(u"\U0001F600 Hello, world 42!");
    const auto found = words(text);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(text.mid(found[0].start, found[0].length), QStringLiteral("Hello"));
    EXPECT_EQ(found[0].start, 3); // the emoji is two code units plus a space
    EXPECT_EQ(text.mid(found[2].start, found[2].length), QStringLiteral("42"));
}

TEST(TextUtils, SentencesAndGraphemes)
{
    const auto s = sentences(u"One two. Three four? Five");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[1].start, 9);
    // "e" + combining acute, a family emoji, then "x": three user-perceived characters.
    const QString text = QString::fromUtf16(u"e\u0301\U0001F468\u200D\U0001F469\u200D\U0001F467x");
    EXPECT_EQ(graphemeCount(text), 3);
    EXPECT_EQ(graphemePrefix(text, 2), text.left(text.size() - 1));
    EXPECT_EQ(graphemePrefix(text, 0), QString());
}

TEST(TextUtils, CodePointAndUtf16OffsetsRoundTrip)
{
    const QString text = QString::fromUtf16(u"a\U0001F600b\U0001F600c");
    EXPECT_EQ(utf16Offset(text, 2), 3); // after "a" and the emoji
    EXPECT_EQ(codePointOffset(text, 3), 2);
    EXPECT_EQ(utf16Offset(text, 99), text.size());
    for (qsizetype cp = 0; cp <= 5; ++cp)
        EXPECT_EQ(codePointOffset(text, utf16Offset(text, cp)), cp);
}

TEST(TextUtils, EmptyAndBrokenTextAreHarmless)
{
    EXPECT_TRUE(words(u"").empty());
    EXPECT_EQ(graphemeCount(u""), 0);
    const QString lone = QString(QChar(0xDC00)) + QStringLiteral(" word");
    EXPECT_EQ(words(lone).size(), 1u);
    EXPECT_EQ(withValidSurrogates(lone).at(0), QChar(QChar::ReplacementCharacter));
}

TEST(TextUtils, HtmlUnescapeDecodesOneLevelOnly)
{
    EXPECT_EQ(htmlUnescaped(u"&quot;a&quot; &#39;b&apos; &lt;i&gt; x&amp;y"), QStringLiteral("\"a\" 'b' <i> x&y"));
    EXPECT_EQ(htmlUnescaped(u"&amp;quot; &amp;lt;"), QStringLiteral("&quot; &lt;"));
    EXPECT_EQ(htmlUnescaped(u"&eacute;&#233;"), QStringLiteral("&eacute;&#233;"));
}

TEST(TextUtils, NestedEnumerationDoesNotEndTheOuterWalk)
{
    const QString text = QStringLiteral("alpha beta gamma");
    std::vector<QString> outer;
    enumerateWords(text, [&](const Segment &s) {
        if (isWordLike(s)) {
            outer.push_back(text.mid(s.start, s.length));
            EXPECT_EQ(words(text).size(), 3u);
        }
        return true;
    });
    EXPECT_EQ(outer, (std::vector<QString> {QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma")}));
}

TEST(TextUtils, ControlsAndDirectionOverridesAreRemovedAndNothingElse)
{
    // Each end of the removed ranges, and its neighbour outside.
    for (const char32_t c : std::initializer_list<char32_t> {0x00, 0x08, 0x0E, 0x1B, 0x1F, 0x7F, 0x80, 0x84, 0x86, 0x9F,
                                                             0x202A, 0x202E, 0x2066, 0x2069}) {
        const QString text = QStringLiteral("a") + QString::fromUcs4(&c, 1) + QStringLiteral("b");
        EXPECT_EQ(withoutControls(text), QStringLiteral("ab")) << std::hex << unsigned(c);
    }
    for (const char32_t c :
         std::initializer_list<char32_t> {0x09, 0x0A, 0x20, 0x7E, 0xA0, 0x2029, 0x202F, 0x2065, 0x206A}) {
        const QString text = QStringLiteral("a") + QString::fromUcs4(&c, 1) + QStringLiteral("b");
        EXPECT_EQ(withoutControls(text), text) << std::hex << unsigned(c);
    }
    struct Row
    {
        const char16_t *text;
        const char16_t *kept;
    };
    const Row rows[] {
        // Of an escape sequence only the ESC goes.
        {u"\x1b[31mred\x1b[0m", u"[31mred[0m"},
        {u"\u202Egnp.exe", u"gnp.exe"},
        {u"tab\tand\nline", u"tab\tand\nline"},
        // A control that breaks a line leaves the break.
        {u"line\r\nend\rof\vthe\fpage\u0085here", u"line\nend\nof\nthe\npage\nhere"},
        // The joiners inside an emoji, the marks that set a direction without overriding it, and
        // characters beyond the first plane are text, not controls.
        {u"\U0001F469\u200D\U0001F4BB \u200Fשלום\u200E \U0001D11E",
         u"\U0001F469\u200D\U0001F4BB \u200Fשלום\u200E \U0001D11E"},
        {u"\u0080\u009B\u2066x\u2069", u"x"},
        {u"", u""},
    };
    for (const Row &row : rows)
        EXPECT_EQ(withoutControls(QString::fromUtf16(row.text)), QString::fromUtf16(row.kept));
    EXPECT_EQ(withoutControls(QString::fromUtf16(u"be\0ar", 5)), QStringLiteral("bear"));
}
