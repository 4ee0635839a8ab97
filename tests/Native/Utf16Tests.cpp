#include "Native/Text/Utf16.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Lumivox::Text;

namespace {

const char16_t high = 0xD83D; // the first half of U+1F600
const char16_t low = 0xDE00;

QString units(std::initializer_list<char16_t> list)
{
    QString out;
    for (char16_t c : list)
        out.append(QChar(c));
    return out;
}

struct Case
{
    const char *name;
    QString text;
    std::vector<char32_t> scalars; // as an application counting code points sees the text
    QString valid; // with unpaired halves replaced
};

std::vector<Case> cases()
{
    const char32_t face = 0x1F600;
    const char16_t fffd = 0xFFFD;
    return {
        {"empty", QString(), {}, QString()},
        {"plain", QStringLiteral("ab"), {U'a', U'b'}, QStringLiteral("ab")},
        {"a pair between letters", units({u'a', high, low, u'b'}), {U'a', face, U'b'}, units({u'a', high, low, u'b'})},
        {"two pairs in a row", units({high, low, high, low}), {face, face}, units({high, low, high, low})},
        {"a high half at the end", units({u'a', high}), {U'a', high}, units({u'a', fffd})},
        {"a low half at the start", units({low, u'a'}), {low, U'a'}, units({fffd, u'a'})},
        {"halves in the wrong order", units({low, high}), {low, high}, units({fffd, fffd})},
        {"a high half before a pair", units({high, high, low}), {high, face}, units({fffd, high, low})},
        {"a pair before a low half", units({high, low, low}), {face, low}, units({high, low, fffd})},
    };
}

} // namespace

TEST(Utf16, WalksCountUnpairedHalvesAsOneCodePointEachWay)
{
    for (const Case &c : cases()) {
        SCOPED_TRACE(c.name);
        std::vector<char32_t> forward;
        forEachScalar(c.text, [&](char32_t s) { forward.push_back(s); });
        EXPECT_EQ(forward, c.scalars);

        std::vector<char32_t> backward;
        for (qsizetype end = c.text.size(); end > 0;)
            backward.insert(backward.begin(), previousScalar(c.text, end));
        EXPECT_EQ(backward, c.scalars);

        EXPECT_EQ(codePointCount(c.text), qsizetype(c.scalars.size()));
        EXPECT_EQ(withValidSurrogates(c.text), c.valid);
    }
}

TEST(Utf16, OffsetsConvertBothWaysAndNeverCutAPair)
{
    for (const Case &c : cases()) {
        SCOPED_TRACE(c.name);
        const auto count = qsizetype(c.scalars.size());
        qsizetype expected = 0;
        for (qsizetype cp = 0; cp <= count; ++cp) {
            const qsizetype u = utf16Offset(c.text, cp);
            EXPECT_EQ(u, expected) << "code point " << cp;
            EXPECT_FALSE(splitsSurrogatePair(c.text, u));
            EXPECT_EQ(codePointOffset(c.text, u), cp);
            if (cp < count)
                expected += c.scalars[std::size_t(cp)] > 0xFFFF ? 2 : 1;
        }
        // Past either end clamps.
        EXPECT_EQ(utf16Offset(c.text, count + 5), c.text.size());
        EXPECT_EQ(utf16Offset(c.text, -1), 0);
        EXPECT_EQ(codePointOffset(c.text, c.text.size() + 5), count);
        EXPECT_EQ(codePointOffset(c.text, -1), 0);
    }
    // An offset inside a pair counts the whole pair, and is the one place a cut would split it.
    const QString text = units({u'a', high, low, u'b'});
    EXPECT_EQ(codePointOffset(text, 2), 2);
    EXPECT_TRUE(splitsSurrogatePair(text, 2));
    for (qsizetype at : {0, 1, 3, 4})
        EXPECT_FALSE(splitsSurrogatePair(text, at)) << at;
}
