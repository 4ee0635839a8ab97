// Runs against the fonts installed on the test machine (the Noto core and CJK families).

#include "Models/FontCatalog.h"

#include <gtest/gtest.h>

using namespace Lumivox;

namespace {

const QString arabic = QStringLiteral("ع");
const QString devanagari = QStringLiteral("अ");
const QString han = QStringLiteral("中");

} // namespace

TEST(FontCatalog, FindsTheFamiliesThatDrawEachScript)
{
    const struct
    {
        QString sample;
        QString expected;
        QString cannot;
    } cases[] = {
        {arabic, QStringLiteral("Noto Sans Arabic"), QStringLiteral("Noto Sans Devanagari")},
        {devanagari, QStringLiteral("Noto Sans Devanagari"), QStringLiteral("Noto Sans Arabic")},
        {han, QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("中ع"), QString(), QStringLiteral("Noto Sans CJK SC")},
        // Font configuration's aliases draw Latin through another family; they are not families.
        {QStringLiteral("Aa"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sample.toStdString());
        const QStringList families = FontCatalog::families(c.sample);
        if (!c.expected.isEmpty()) {
            ASSERT_FALSE(families.isEmpty());
            EXPECT_TRUE(families.contains(c.expected));
        }
        EXPECT_FALSE(families.contains(c.cannot));
        EXPECT_FALSE(families.contains(QStringLiteral("Monospace")));
        // One entry per family, not one per foundry.
        for (const QString &family : families)
            EXPECT_FALSE(family.contains(QLatin1Char('['))) << family.toStdString();
        QStringList unique = families;
        EXPECT_EQ(unique.removeDuplicates(), 0);
        for (qsizetype i = 1; i < families.size(); ++i)
            EXPECT_LT(families[i - 1].toUcs4(), families[i].toUcs4());
        EXPECT_EQ(FontCatalog::families(c.sample), families);
    }
}

TEST(FontCatalog, PutsPreferredFamiliesFirstInTheirOwnOrder)
{
    const QStringList preferred {QStringLiteral("Devanagari Sangam MN"), QStringLiteral("Noto Serif Devanagari"),
                                 QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans Devanagari")};
    const QStringList fonts = FontCatalog::fonts(devanagari, preferred);
    ASSERT_GE(fonts.size(), 2);
    EXPECT_EQ(fonts[0], QStringLiteral("Noto Serif Devanagari"));
    EXPECT_EQ(fonts[1], QStringLiteral("Noto Sans Devanagari"));
    // A preferred family that cannot draw the sample is not offered.
    EXPECT_FALSE(fonts.contains(QStringLiteral("DejaVu Sans")));
    QStringList rest = FontCatalog::families(devanagari);
    rest.removeAll(QStringLiteral("Noto Serif Devanagari"));
    rest.removeAll(QStringLiteral("Noto Sans Devanagari"));
    EXPECT_EQ(fonts.mid(2), rest);
}

TEST(FontCatalog, BestFontFallsBackWhenPreferredFamiliesCannotBeUsed)
{
    // Installed but unable to draw Han, and not installed at all.
    const QStringList unusable {QStringLiteral("PingFang SC"), QStringLiteral("DejaVu Sans")};
    EXPECT_EQ(FontCatalog::bestFont(QStringLiteral("test-han"), han, unusable), FontCatalog::families(han).first());

    EXPECT_EQ(FontCatalog::bestFont(QStringLiteral("test-arabic"), arabic,
                                    {QStringLiteral("Geeza Pro"), QStringLiteral("Noto Naskh Arabic")}),
              QStringLiteral("Noto Naskh Arabic"));

    // None of a language's own families installed: the desktop's serif for its script, not the
    // family that sorts first by name.
    const QStringList macOnly {QStringLiteral("SF Pro"), QStringLiteral("Helvetica Neue")};
    EXPECT_EQ(FontCatalog::bestFont(QStringLiteral("test-latin"), QStringLiteral("Aa"), macOnly),
              QStringLiteral("Noto Serif"));
    EXPECT_EQ(FontCatalog::bestFont(QStringLiteral("test-sinhala"), QStringLiteral("අ"), macOnly),
              QStringLiteral("Noto Serif Sinhala"));

    // No family draws a private-use character.
    EXPECT_EQ(FontCatalog::bestFont(QStringLiteral("test-none"), QString(QChar(0xE83A)), unusable),
              QStringLiteral("SF Pro"));
}

TEST(FontCatalog, BestFontIsKeptPerLanguage)
{
    const QString first =
        FontCatalog::bestFont(QStringLiteral("test-kept"), arabic, {QStringLiteral("Noto Sans Arabic")});
    EXPECT_EQ(first, QStringLiteral("Noto Sans Arabic"));
    EXPECT_EQ(FontCatalog::bestFont(QStringLiteral("test-kept"), han, {}), first);
}
