#include "Models/LanguageCatalog.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace Lumivox;

namespace {

QStringList ids(const std::vector<Language> &rows)
{
    QStringList out;
    for (const Language &row : rows)
        out.append(row.id);
    return out;
}

} // namespace

TEST(LanguageCatalog, TableHasItsRowsInNameOrder)
{
    const auto &all = LanguageCatalog::allLanguages();
    ASSERT_EQ(all.size(), 54u);
    EXPECT_EQ(all.front().id, QStringLiteral("ar"));
    EXPECT_EQ(all.back().id, QStringLiteral("vi"));
    std::set<QString> seen;
    for (const Language &row : all) {
        EXPECT_TRUE(seen.insert(row.id.toLower()).second) << row.id.toStdString();
        EXPECT_EQ(row.flag.size(), 4) << row.id.toStdString(); // two regional indicators, two units each
        EXPECT_GE(row.sampleWords.size(), 2);
        EXPECT_LE(row.sampleWords.size(), 4);
    }

    const Language &sinhala = all[42];
    EXPECT_EQ(sinhala.id, QStringLiteral("si"));
    EXPECT_EQ(sinhala.nativeName, QString::fromUtf16(u"සිංහල"));
    EXPECT_EQ(sinhala.sampleWords,
              (QStringList {QString::fromUtf16(u"ආයුබෝවන්"), QString::fromUtf16(u"මිතුරා"), QString::fromUtf16(u"ස්තූතියි"),
                            QString::fromUtf16(u"ලස්සනයි")}));
    EXPECT_EQ(all[24].preferredFonts,
              (QStringList {QStringLiteral("Hiragino Sans"), QStringLiteral("Hiragino Kaku Gothic ProN")}));
}

TEST(LanguageCatalog, PopularAndOtherSplitTheTable)
{
    EXPECT_EQ(ids(LanguageCatalog::popularLanguages()),
              QStringList({"ar", "zh-CN", "en", "fr", "de", "hi", "ja", "si", "es", "ta"}));
    EXPECT_EQ(ids(LanguageCatalog::otherLanguages()),
              QStringList({"bn", "bg", "my", "zh-TW", "hr", "cs", "da", "nl", "et", "tl", "fi", "el", "gu", "he", "hu",
                           "id", "ga", "it", "kn",    "km", "ko", "lv", "lt", "ms", "ml", "mr", "ne", "no", "fa", "pl",
                           "pt", "pa", "ro", "ru",    "sr", "sk", "sw", "sv", "te", "th", "tr", "uk", "ur", "vi"}));
    QStringList both = ids(LanguageCatalog::popularLanguages()) + ids(LanguageCatalog::otherLanguages());
    QStringList all = ids(LanguageCatalog::allLanguages());
    both.sort();
    all.sort();
    EXPECT_EQ(both, all);
}

TEST(LanguageCatalog, LooksUpRowsByCode)
{
    const auto simplified = QStringLiteral("Chinese (Simplified)");
    EXPECT_EQ(LanguageCatalog::language(u" zH-cN\n")->name, simplified);
    EXPECT_EQ(LanguageCatalog::language(u"zh")->name, simplified);
    EXPECT_EQ(LanguageCatalog::language(u"ZH")->name, simplified);
    EXPECT_EQ(LanguageCatalog::language(u"zh-TW")->name, QStringLiteral("Chinese (Traditional)"));
    EXPECT_EQ(LanguageCatalog::language(u"\u2028EN\u3000")->id, QStringLiteral("en"));
    EXPECT_FALSE(LanguageCatalog::language(u"zh-hant"));
    EXPECT_FALSE(LanguageCatalog::language(u""));
    EXPECT_FALSE(LanguageCatalog::language(u"xx"));
}

// The on-device pairs are what this computer was found to translate: every look-up follows the pairs
// it was handed, in any case, and nothing else.
TEST(LanguageCatalog, OnDeviceLookUpsFollowThePairsHandedOver)
{
    struct Case
    {
        std::set<LanguageCatalog::OnDevicePair> pairs;
        const char16_t *detected;
        std::optional<QString> code;
    };
    const std::set<LanguageCatalog::OnDevicePair> apertium = Testing::installedPairs();
    const std::set<LanguageCatalog::OnDevicePair> chinese =
        Testing::everyPairAmong({QStringLiteral("EN"), QStringLiteral("zh-CN"), QStringLiteral("zh-tw")});
    for (const Case &c : std::vector<Case> {
             {apertium, u"EN", QStringLiteral("en")},
             {apertium, u"ru", QStringLiteral("ru")}, // a pair's source, though English reaches it on no route
             {apertium, u"zh-Hans", std::nullopt}, // Chinese is in no pair here
             {apertium, u"de", std::nullopt},
             {apertium, u"pt-br", std::nullopt},
             {apertium, u" en", std::nullopt}, // not trimmed
             {chinese, u"zh-Hans", QStringLiteral("zh-cn")},
             {chinese, u"ZH", QStringLiteral("zh-cn")},
             {chinese, u"zh-HANT", QStringLiteral("zh-tw")},
             {chinese, u"en", QStringLiteral("en")},
             {chinese, u"es", std::nullopt},
             {{}, u"en", std::nullopt},
         }) {
        Testing::ScopedOnDevicePairs set(c.pairs);
        EXPECT_EQ(LanguageCatalog::appleCode(c.detected), c.code) << QString::fromUtf16(c.detected).toStdString();
    }

    Testing::ScopedOnDevicePairs set(apertium);
    EXPECT_FALSE(LanguageCatalog::translatesOnDevice(u"en", u"EN"));
    EXPECT_TRUE(LanguageCatalog::translatesOnDevice(u"en", u"FR"));
    EXPECT_TRUE(LanguageCatalog::translatesOnDevice(u"RU", u"uk"));
    EXPECT_FALSE(LanguageCatalog::translatesOnDevice(u"en", u"ru"));
    EXPECT_FALSE(LanguageCatalog::translatesOnDevice(u"en", u"zh-CN"));
    EXPECT_FALSE(LanguageCatalog::translatesOnDevice(u"en", u"zh"));
    QStringList onDevice;
    for (const Language &row : LanguageCatalog::allLanguages()) {
        EXPECT_EQ(row.requiresGoogleKey(), !row.isAppleSupported());
        if (row.isAppleSupported())
            onDevice.append(row.id);
    }
    EXPECT_EQ(onDevice, QStringList({"en", "fr", "it", "pt", "es"}));

    // A pair of one language is no pair; Settings may name Chinese (Simplified) by its bare code.
    LanguageCatalog::setOnDevicePairs({{QStringLiteral("es"), QStringLiteral("ES")}});
    EXPECT_TRUE(LanguageCatalog::onDevicePairs().empty());
    Testing::ScopedOnDevicePairs withChinese(chinese);
    EXPECT_TRUE(LanguageCatalog::translatesOnDevice(u"zh", u"en"));
    EXPECT_TRUE(LanguageCatalog::translatesOnDevice(u"en", u"zh"));
    EXPECT_TRUE(LanguageCatalog::language(u"zh")->isAppleSupported());
}

TEST(Language, EqualityAndHashCoverEveryField)
{
    const Language english = *LanguageCatalog::language(u"en");
    Language changed = english;
    changed.sampleWords.append(QStringLiteral("Hi"));
    EXPECT_NE(english, changed);
    EXPECT_EQ(english, *LanguageCatalog::language(u"EN"));
    EXPECT_EQ(qHash(english), qHash(*LanguageCatalog::language(u"en")));
    EXPECT_NE(qHash(english), qHash(changed));
}
