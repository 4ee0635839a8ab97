#include "Native/Accessibility/AtspiTextFrame.h"

#include <gtest/gtest.h>

using Lumivox::Native::Atspi::TextFrame;

namespace {

const QString face = QString::fromUtf16(u"\U0001F600");

// A long text of which code points 10 to 15, "a😀b c", were read.
TextFrame heldStretch(bool utf16)
{
    TextFrame f;
    f.ready = true;
    f.utf16 = utf16;
    f.count = 100;
    f.start = 10;
    f.text = QStringLiteral("a") + face + QStringLiteral("b c");
    f.length = f.units(f.text);
    return f;
}

} // namespace

TEST(AtspiTextFrame, CodePointOffsetsBecomeUtf16InsideTheStretchAndShiftAfterIt)
{
    const TextFrame f = heldStretch(false);
    ASSERT_EQ(f.length, 5);
    struct Row
    {
        qint64 codePoint;
        qint64 utf16;
    };
    const Row rows[] = {
        {0, 0}, {10, 10}, {11, 11}, {12, 13}, {13, 14}, {15, 16}, {16, 17}, {100, 101},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(f.toUtf16(r.codePoint), r.utf16) << r.codePoint;
        EXPECT_EQ(f.fromUtf16(r.utf16), r.codePoint) << r.utf16;
    }
    EXPECT_EQ(f.utf16Count(), 101);
    // Every offset handed out comes back as the one it was made from.
    for (qint64 offset = 0; offset <= f.count; ++offset)
        EXPECT_EQ(f.fromUtf16(f.toUtf16(offset)), offset) << offset;
}

TEST(AtspiTextFrame, SlicesComeOnlyFromTheHeldStretch)
{
    const TextFrame points = heldStretch(false);
    EXPECT_EQ(points.slice(11, 13), face + QStringLiteral("b"));
    EXPECT_EQ(points.slice(10, 15), points.text);
    EXPECT_EQ(points.utf16Slice(11, 14), face + QStringLiteral("b"));
    EXPECT_EQ(points.slice(9, 12), std::nullopt); // starts before what was read
    EXPECT_EQ(points.slice(14, 16), std::nullopt); // ends after it
    EXPECT_EQ(points.slice(13, 12), std::nullopt);
    // An empty range inside the stretch is an empty text, not a failure.
    EXPECT_EQ(points.slice(12, 12), QString());
    EXPECT_EQ(points.utf16Slice(13, 13), QString());
    EXPECT_FALSE(points.whole());

    // An application that counts UTF-16 units needs no conversion.
    const TextFrame units = heldStretch(true);
    EXPECT_EQ(units.length, 6);
    EXPECT_EQ(units.toUtf16(13), 13);
    EXPECT_EQ(units.fromUtf16(13), 13);
    EXPECT_EQ(units.slice(11, 14), face + QStringLiteral("b"));
    EXPECT_EQ(units.slice(14, 17), std::nullopt);
}

TEST(AtspiTextFrame, TheOffsetUnitIsToldOrNotGuessed)
{
    const QString pairs = QStringLiteral("ab") + face; // 3 code points, 4 units
    const QString plain = QStringLiteral("abc");
    const struct
    {
        const char *name;
        qint64 count;
        std::optional<QString> whole;
        std::optional<bool> toolkit, expected;
    } rows[] = {
        {"count in code points", 3, pairs, true, false},
        {"count in units", 4, pairs, false, true},
        {"count fits neither", 7, pairs, true, std::nullopt},
        {"no pairs: the toolkit's unit", 3, plain, true, true},
        {"no pairs, toolkit unknown", 3, plain, std::nullopt, false},
        {"long text: the toolkit says units", 40000, std::nullopt, true, true},
        {"long text: the toolkit says code points", 40000, std::nullopt, false, false},
        {"long text, toolkit unknown", 40000, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto &r : rows) {
        const auto whole = r.whole ? std::optional<QStringView>(*r.whole) : std::nullopt;
        EXPECT_EQ(TextFrame::countsUtf16(r.count, whole, r.toolkit), r.expected) << r.name;
    }
}
