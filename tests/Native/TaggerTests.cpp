#include "Native/Language/ApertiumTagger.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <csignal>
#include <thread>

using namespace Lumivox::Native;

namespace {

// The real tagger's first start can take seconds on a loaded machine; only that is waited for.
constexpr std::chrono::milliseconds patient(15000);

QString slice(const QString &text, const TaggedWord &word)
{
    return text.mid(word.range.start, word.range.length);
}

QStringList texts(const QString &text, const std::vector<TaggedWord> &words)
{
    QStringList out;
    for (const auto &w : words)
        out << slice(text, w);
    return out;
}

std::vector<TaggedWord> tagAll(ApertiumTagger &tagger, const QString &text, TaggerOptions options = {})
{
    return tagger.words(text, {0, text.size()}, options);
}

// Every range lies inside the text, in order, without overlaps.
void expectOrderedRanges(const QString &text, const std::vector<TaggedWord> &words)
{
    qsizetype previousEnd = 0;
    for (const auto &w : words) {
        EXPECT_GE(w.range.start, previousEnd);
        EXPECT_GT(w.range.length, 0);
        EXPECT_LE(w.range.end(), text.size());
        previousEnd = w.range.end();
    }
}

} // namespace

TEST(ApertiumTaggerReply, ReadsUnitsEscapesAndJoinedWords)
{
    // A reply as the pipeline writes it for the text below (spaces doubled on the way in).
    const QString text = QStringLiteral("We'll see a\\b, \u00ABzorblax\u00BB don't.");
    const QString reply = QStringLiteral(
        "^We'll/Prpers<prn><subj><p1><mf><pl>+will<vaux><inf>$  ^see/see<vblex><inf>$  "
        "^a\\\\b/a\\\\b<web>$^,/,<cm>$  \u00AB^zorblax/*zorblax$\u00BB  ^don't/do<vbdo><pres>+not<adv>$^./.<sent>$");
    const auto words = ApertiumTagger::readReply(reply, text);
    EXPECT_EQ(texts(text, words), (QStringList {"We", "'ll", "see", "a\\b", "zorblax", "do", "n't"}));
    ASSERT_EQ(words.size(), 7u);
    EXPECT_EQ(words[0].lexicalClass, QStringLiteral("Pronoun"));
    EXPECT_EQ(words[0].lemma, QStringLiteral("we"));
    EXPECT_EQ(words[1].lexicalClass, QStringLiteral("Verb"));
    EXPECT_EQ(words[1].lemma, QStringLiteral("will"));
    EXPECT_EQ(words[3].lexicalClass, QStringLiteral("OtherWord"));
    EXPECT_FALSE(words[4].lexicalClass); // unknown to the tagger, still a word
    EXPECT_FALSE(words[4].lemma);
    EXPECT_EQ(words[6].lexicalClass, QStringLiteral("Adverb"));
    EXPECT_EQ(words[6].lemma, QStringLiteral("not"));
}

TEST(ApertiumTaggerReply, SurvivesUnitsThatDoNotMatchTheText)
{
    const QString text = QStringLiteral("soft\u00ADware is fine");
    // The analyser drops the soft hyphen from the surface; "ghost" is nowhere in the text; the
    // last unit is cut off without its "$".
    const QString reply = QStringLiteral("^software/software<n><sg>$ ^ghost/ghost<n><sg>$ ^is/be<vbser><pri><p3><sg>$ "
                                         "^fine/fine<adj");
    const auto words = ApertiumTagger::readReply(reply, text);
    EXPECT_EQ(texts(text, words), (QStringList {QStringLiteral("soft\u00ADware"), "is"}));
    EXPECT_TRUE(ApertiumTagger::readReply(QString(), text).empty());
    EXPECT_TRUE(ApertiumTagger::readReply(QStringLiteral("^x/x<n>$"), QString()).empty());
}

TEST(ApertiumTagger, JoinsPersonalNamesOnlyAroundAGivenName)
{
    ApertiumTagger tagger(ApertiumTagger::defaultStages(), patient);
    const QString text = QStringLiteral("Yesterday Mary Smith met Tom in Paris.");
    const auto joined = tagAll(tagger, text, {.joinNames = true});
    QStringList names;
    for (const auto &w : joined) {
        if (w.nameType == QLatin1String("PersonalName"))
            names << slice(text, w);
    }
    EXPECT_EQ(names, (QStringList {"Mary Smith", "Tom"}));
    // Without joining, each part of the name is a word of its own.
    const auto separate = tagAll(tagger, text);
    EXPECT_EQ(texts(text, separate).mid(1, 2), (QStringList {"Mary", "Smith"}));
    ASSERT_GT(separate.size(), 2u);
    EXPECT_EQ(separate[2].nameType, QStringLiteral("PersonalName"));

    // A lone surname-like word is no person ("Jones" alone is only a surname to the tagger).
    const QString lone = QStringLiteral("Jones");
    for (const auto &w : tagAll(tagger, lone, {.joinNames = true}))
        EXPECT_NE(w.nameType, QStringLiteral("PersonalName"));
}

TEST(ApertiumTagger, OddTextGivesExactRangesOrNothing)
{
    ApertiumTagger tagger(ApertiumTagger::defaultStages(), patient);
    EXPECT_TRUE(tagAll(tagger, QString()).empty());
    EXPECT_TRUE(tagAll(tagger, QStringLiteral(" ... !? -- \u2014 ")).empty());

    // An emoji (two UTF-16 units) and an unpaired surrogate before words; a NUL inside.
    const QString odd = QStringLiteral("\U0001F600 happy ") + QChar(0xD800) + QStringLiteral(" day") + QChar(0)
        + QStringLiteral("night ^$[x] \\ end");
    const auto words = tagAll(tagger, odd);
    EXPECT_EQ(texts(odd, words), (QStringList {"happy", "day", "night", "x", "end"}));
    EXPECT_EQ(words.front().range.start, 3);

    // A range picks the words it overlaps; those beyond it are not returned.
    const QString sentence = QStringLiteral("The cats were running home");
    const auto some = tagger.words(sentence, {5, 6});
    EXPECT_EQ(texts(sentence, some), (QStringList {"cats", "were"}));
    EXPECT_TRUE(tagger.words(sentence, {5, 0}).empty());
    EXPECT_TRUE(tagger.words(sentence, {100, 5}).empty());
}

TEST(ApertiumTagger, TagsLargeTextsInPieces)
{
    ApertiumTagger tagger(ApertiumTagger::defaultStages(), patient);
    QString text;
    for (int i = 0; text.size() < 100'000; ++i)
        text += QStringLiteral("The quick brown fox jumps over the lazy dog number %1. ").arg(i);
    const auto words = tagAll(tagger, text);
    expectOrderedRanges(text, words);
    // 11 words a sentence, all of them found, the last one included.
    EXPECT_EQ(words.size() % 11, 0u);
    EXPECT_GT(words.size(), 15'000u);
    EXPECT_EQ(slice(text, words.back()), text.trimmed().chopped(1).section(QLatin1Char(' '), -1));

    // A name near the end of a long text is judged from the text around it.
    const QString withName = text + QStringLiteral("Then John left.");
    const qsizetype at = withName.lastIndexOf(QStringLiteral("John"));
    const auto near = tagger.words(withName, {at, 4}, {.joinNames = true});
    ASSERT_EQ(near.size(), 1u);
    EXPECT_EQ(near[0].nameType, QStringLiteral("PersonalName"));
}

TEST(ApertiumTagger, RestartsAPipelineThatDied)
{
    ApertiumTagger tagger(ApertiumTagger::defaultStages(), patient);
    const QString text = QStringLiteral("The house");
    ASSERT_EQ(tagAll(tagger, text).size(), 2u);
    const std::vector<pid_t> groups = tagger.processGroups();
    ASSERT_FALSE(groups.empty());
    for (pid_t group : groups) {
        ASSERT_GT(group, 0);
        kill(-group, SIGKILL);
    }
    EXPECT_EQ(texts(text, tagAll(tagger, text)), (QStringList {"The", "house"}));
    const std::vector<pid_t> restarted = tagger.processGroups();
    for (std::size_t i = 0; i < groups.size(); ++i)
        EXPECT_NE(restarted[i], groups[i]) << "stage " << i;

    // A tagger that cannot run gives nothing, and keeps giving nothing, without failing.
    ApertiumTagger broken(QStringList {QStringLiteral("exit 3")}, std::chrono::milliseconds(300));
    EXPECT_TRUE(tagAll(broken, text).empty());
    EXPECT_TRUE(tagAll(broken, text).empty());
}

TEST(ApertiumTagger, SharedAcrossThreads)
{
    ApertiumTagger tagger(ApertiumTagger::defaultStages(), patient);
    const QStringList sentences {"I don't know.", "Mary Smith is here.", "The cats were running.", "We'll see."};
    std::vector<std::vector<TaggedWord>> expected;
    for (const QString &s : sentences)
        expected.push_back(tagAll(tagger, s));
    std::atomic<int> mismatches = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                const int k = (t + i) % sentences.size();
                if (tagAll(tagger, sentences[k]) != expected[k])
                    ++mismatches;
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, 0);
}
