// Which following words are translated in advance, and when.

#include "Services/Learn/ReadAhead.h"

#include "Fakes/FakeTagger.h"
#include "Fakes/FakeTranslation.h"
#include "Native/Services.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using ReadAhead::Spot;
using ReadAhead::Word;

TEST(ReadAhead, StartsOnlyForAccessibilityTextAndInAlwaysModeOnlyWhenMovingAlongTheSentence)
{
    const Spot here {QStringLiteral("Hello, world and more words"), 7};
    const Spot sameWord = here;
    const Spot nextWord {here.sentence, 13};
    const Spot otherSentence {QStringLiteral("Another sentence"), 7};

    EXPECT_FALSE(ReadAhead::shouldStart(false, false, here, std::nullopt));
    EXPECT_TRUE(ReadAhead::shouldStart(true, false, here, sameWord));
    EXPECT_TRUE(ReadAhead::shouldStart(true, false, here, std::nullopt));
    EXPECT_FALSE(ReadAhead::shouldStart(true, true, here, std::nullopt));
    EXPECT_FALSE(ReadAhead::shouldStart(true, true, here, sameWord));
    EXPECT_TRUE(ReadAhead::shouldStart(true, true, here, nextWord));
    EXPECT_FALSE(ReadAhead::shouldStart(true, true, here, otherSentence));
    EXPECT_FALSE(ReadAhead::shouldStart(false, true, here, nextWord));
}

TEST(ReadAhead, FollowingWordsWithTheirUtf16Offsets)
{
    const QString sentence = QStringLiteral("Hello, world and more words");
    EXPECT_EQ(
        ReadAhead::words(0, sentence, 3, false),
        (std::vector<Word> {{QStringLiteral("world"), 7}, {QStringLiteral("and"), 13}, {QStringLiteral("more"), 17}}));
    // From the middle of a word the rest of it is not a following word.
    EXPECT_EQ(ReadAhead::words(9, sentence, 1, false), (std::vector<Word> {{QStringLiteral("and"), 13}}));
    EXPECT_TRUE(ReadAhead::words(22, sentence, 3, false).empty()); // the last word
    EXPECT_TRUE(ReadAhead::words(sentence.size(), sentence, 3, false).empty());
    EXPECT_TRUE(ReadAhead::words(-1, sentence, 3, false).empty());
    EXPECT_TRUE(ReadAhead::words(0, QString(), 3, false).empty());
    EXPECT_TRUE(ReadAhead::words(0, sentence, 0, false).empty());

    // An emoji counts two code units; one-letter words and words without letters are never taken.
    const QString emoji = QStringLiteral("😀 I see a 42 cat");
    EXPECT_EQ(ReadAhead::words(0, emoji, 3, false),
              (std::vector<Word> {{QStringLiteral("see"), 5}, {QStringLiteral("cat"), 14}}));

    // Unpaired surrogates are never handed on; the words around them still are.
    const QString broken = QStringLiteral("One ") + QChar(0xDC00) + QStringLiteral(" two three");
    EXPECT_EQ(ReadAhead::words(0, broken, 3, false),
              (std::vector<Word> {{QStringLiteral("two"), 6}, {QStringLiteral("three"), 10}}));
}

TEST(ReadAhead, SkippingNonWordsPassesOverCodeAndLinksButOnlyWhenAsked)
{
    Native::ScopedOverride<Native::Tagger> tagger {std::make_shared<Testing::FakeTagger>()};
    const QString sentence = QStringLiteral("Write func main() or visit www.example.com for details");
    auto texts = [](const std::vector<Word> &words) {
        QStringList out;
        for (const Word &word : words)
            out << word.text;
        return out;
    };
    EXPECT_EQ(texts(ReadAhead::words(0, sentence, 5, false)),
              QStringList({"func", "main", "or", "visit", "www.example.com"}));
    EXPECT_EQ(texts(ReadAhead::words(0, sentence, 5, true)), QStringList({"main", "or", "visit", "for", "details"}));
}

TEST(ReadAhead, OnlyInstalledOnDevicePairsQualify)
{
    // A computer with pairs into German and Chinese as well.
    Testing::ScopedOnDeviceLanguages onDevice({QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("fr"),
                                               QStringLiteral("de"), QStringLiteral("zh-cn"), QStringLiteral("zh-tw")});
    auto translator = std::make_shared<Testing::FakeTranslator>();
    Native::ScopedOverride<Native::Translator> installed {translator};
    translator->install(QStringLiteral("en"), QStringLiteral("es"));
    translator->install(QStringLiteral("en"), QStringLiteral("si"));
    translator->install(QStringLiteral("zh-cn"), QStringLiteral("en"));

    EXPECT_TRUE(ReadAhead::isOnDevice(QStringLiteral("en"), QStringLiteral("es")));
    EXPECT_TRUE(ReadAhead::isOnDevice(QStringLiteral("zh-cn"), QStringLiteral("EN")));
    EXPECT_FALSE(ReadAhead::isOnDevice(std::nullopt, QStringLiteral("es")));
    EXPECT_FALSE(ReadAhead::isOnDevice(QStringLiteral("en"), QStringLiteral("fr"))); // not installed
    EXPECT_FALSE(ReadAhead::isOnDevice(QStringLiteral("en"), QStringLiteral("si"))); // never on the device
    EXPECT_FALSE(ReadAhead::isOnDevice(QStringLiteral("en"), QStringLiteral("EN")));
}
