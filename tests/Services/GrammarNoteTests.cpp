// The grammar note's rules over hand-made tokens, so that they are tested apart from any tagger.

#include "Services/Learn/EnglishGrammarNote.h"

#include "Fakes/FakeTagger.h"
#include "Fakes/HandMadeTokens.h"
#include "Native/Services.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::EnglishGrammar;
using Testing::handMadeTokens;

namespace {

struct Case
{
    const char *sentence;
    const char *tokens;
    const char *word;
    const char *note; // "tag: text", the tag alone when the text is empty, "" for no line
};

QString shown(const std::optional<Line> &line)
{
    if (!line)
        return {};
    return line->text.isEmpty() ? line->tag : line->tag + QStringLiteral(": ") + line->text;
}

class GrammarNote : public ::testing::Test
{
protected:
    // The adjective probe and the short form reach the tagger; only these words are known to it.
    std::shared_ptr<Testing::FakeTagger> tagger = std::make_shared<Testing::FakeTagger>();
    Native::ScopedOverride<Native::Tagger> installed {tagger};

    void check(std::initializer_list<Case> cases)
    {
        for (const Case &c : cases) {
            const QString sentence = QString::fromUtf8(c.sentence);
            const auto tokens = handMadeTokens(sentence, QString::fromUtf8(c.tokens));
            const QString word = QString::fromUtf8(c.word);
            EXPECT_EQ(shown(line(word, sentence, tokens, std::nullopt)).toStdString(), c.note)
                << c.sentence << " on " << c.word;
        }
    }
};

} // namespace

TEST_F(GrammarNote, VerbFormsAndPhrasalVerbs)
{
    check({
        {"She went home.", "She/Pronoun/she went/Verb/go home/Adverb/home", "went", "verb: past of go"},
        {"He has gone.", "He/Pronoun/he has/Verb/have gone/Verb/go", "gone", "verb: past participle of go"},
        {"I have walked.", "I/Pronoun/I have/Verb/have walked/Verb/walk", "walked", "verb: past participle of walk"},
        {"Have you not walked?", "Have/Verb/have you/Pronoun/you not/Adverb/not walked/Verb/walk", "walked",
         "verb: past participle of walk"},
        {"I walked.", "I/Pronoun/I walked/Verb/walk", "walked", "verb: past of walk"},
        {"She has already walked.", "She/Pronoun/she has/Verb/have already/Adverb/already walked/Verb/walk", "walked",
         "verb: past participle of walk"},
        {"They played.", "They/Pronoun/they played/Verb/play", "played", "verb: past of play"},
        {"She plays.", "She/Pronoun/she plays/Verb/play", "plays", "verb: present of play"},
        {"She studies.", "She/Pronoun/she studies/Verb/study", "studies", "verb: present of study"},
        {"He is here.", "He/Pronoun/he is/Verb/be here/Adverb/here", "is", "verb: present of be"},
        {"They are running.", "They/Pronoun/they are/Verb/be running/Verb/run", "running", "verb: -ing form of run"},
        {"I left.", "I/Pronoun/I left/Noun/left", "left", "verb: past of leave"},
        {"You can go.", "You/Pronoun/you can/Verb/can go/Verb/go", "can", "verb"},
        {"The wound healed.", "The/Determiner/the wound/Verb/wind healed/Verb/heal", "wound", "verb"},
        {"Please give up smoking.", "Please/Verb/please give/Verb/give up/Adverb/up smoking/Verb/smoke", "give",
         "phrasal verb: give up"},
        {"She gave it up.", "She/Pronoun/she gave/Verb/give it/Pronoun/it up/Adverb/up", "gave",
         "phrasal verb: past of give up"},
        {"We went up the hill.", "We/Pronoun/we went/Verb/go up/Preposition/up the/Determiner/the hill/Noun/hill",
         "went", "verb: past of go"},
        {"She turned up the old road.", "She turned/Verb/turn up the/Determiner old/Adjective road/Noun", "turned",
         "verb: past of turn"},
        {"He gave up 2 hours.", "He gave/Verb/give up 2/Number hours/Noun/hour", "gave", "verb: past of give"},
    });
}

TEST_F(GrammarNote, NounsAdjectivesAndComparison)
{
    tagger->define(QStringLiteral("cold"), {QStringLiteral("Adjective"), QStringLiteral("cold")});
    check({
        {"The children play.", "The/Determiner/the children/Noun/child play/Verb/play", "children",
         "noun: plural of child"},
        {"a cat", "a/Determiner/a cat/Noun/cat", "cat", "noun"},
        {"a cat", "a/Determiner/a cat/Noun/cat", "a", ""},
        {"It is bigger than that.", "It is/Verb/be bigger/Adjective/big than that", "bigger",
         "adjective: comparative of big"},
        {"She is happier.", "She is/Verb/be happier/Adjective/happy", "happier", "adjective: comparative of happy"},
        {"It is happier than that.", "It is/Verb/be happier/Noun than that", "happier",
         "adjective: comparative of happy"},
        {"It is nicer than that.", "It is/Verb/be nicer/Adverb than that", "nicer", "adjective: comparative of nice"},
        // A comparative the tagger did not know is found by its stem only before "than", the stem's
        // doubled last letter undone; after any verb it is the adjective "than" makes it.
        {"It is fatter than that.", "It is/Verb/be fatter/Noun than that", "fatter", "adjective: comparative of fat"},
        {"She grew happier than ever.", "She/Pronoun/she grew/Verb/grow happier/Noun than ever", "happier",
         "adjective: comparative of happy"},
        {"It is a cooler.", "It is/Verb/be a/Determiner/a cooler/Noun/cooler", "cooler", "noun"},
        {"She is the best.", "She is/Verb/be the/Determiner/the best/Adjective/good", "best",
         "adjective: superlative of good"},
        {"It is more bigger.", "It is more/Adverb/more bigger/Adjective/bigger", "bigger", "adjective"},
        {"It was very boring.", "It was/Verb/be very/Adverb/very boring/Verb/bore", "boring", "adjective"},
        {"It is cold.", "It is/Verb/be cold/Noun/cold", "cold", "adjective"},
        {"It is house.", "It is/Verb/be house/Noun/house", "house", "noun"},
        {"the fast car", "the/Determiner/the fast/Adverb/fast car/Noun/car", "fast", "adjective"},
        {"A zorblax.", "A/Determiner/a zorblax", "zorblax", ""},
    });
}

TEST_F(GrammarNote, WordsWithSpecialReadings)
{
    check({
        {"Turn left.", "Turn/Noun/turn left/Verb/leave", "left", "adverb"},
        {"the left side", "the/Determiner left side/Noun", "left", "adjective"},
        {"my left hand", "my/Determiner left/Adjective hand/Noun", "left", "adjective"},
        {"on my left", "on my/Determiner left/Adjective", "left", "noun"},
        {"Keep to the left", "Keep/Verb to the/Determiner left/Verb/leave", "left", "noun"},
        {"nothing left to do", "nothing/Pronoun left/Verb/leave to do/Verb", "left", "adjective"},
        {"two left", "two/Number left/Verb/leave", "left", "adjective"},
        {"There is no time left.", "There is no/Determiner time/Noun left/Verb/leave", "left", "adjective"},
        {"He left early.", "He/Pronoun left/Verb/leave early/Adverb", "left", "verb: past of leave"},
        {"I used to play chess.", "I used/Verb/use to play/Verb/play chess/Noun", "used",
         "verb: used to = a past habit"},
        {"I am used to it.", "I am/Verb/be used/Verb/use to it/Pronoun", "used",
         "adjective: be used to = be accustomed to"},
        {"It is used to cut.", "It is/Verb/be used/Verb/use to cut/Verb/cut", "used", "verb: past participle of use"},
        {"I used it.", "I used/Verb/use it", "used", "verb: past of use"},
        {"I need more time.", "I need/Verb more/Adverb/more time/Noun/time", "more", "determiner: comparative of much"},
        {"Most people agree.", "Most/Determiner people/Noun/person agree", "Most", "determiner: superlative of many"},
        {"less money", "less money/Noun/money", "less", "determiner: comparative of little"},
        {"more slowly", "more slowly/Adverb", "more", "adverb"},
        {"I want more", "I want/Verb more/Adverb/more", "more", ""},
        {"at least one day", "at least one/Number day/Noun", "least", ""},
    });
}

TEST_F(GrammarNote, FindsItsTokenOrGivesNothing)
{
    const QString sentence = QStringLiteral("Concatenate the cats.");
    const auto tokens = handMadeTokens(sentence, QStringLiteral("Concatenate/Verb the cats/Noun/cat"));
    // Without a range the first whole word counts, never a piece of a longer one.
    EXPECT_EQ(shown(line(QStringLiteral("cats"), sentence, tokens, std::nullopt)),
              QStringLiteral("noun: plural of cat"));
    EXPECT_FALSE(line(QStringLiteral("cat"), sentence, tokens, std::nullopt));
    EXPECT_FALSE(line(QStringLiteral("cats"), sentence, tokens, Range {11, 1})); // the space between words
    EXPECT_FALSE(line(QStringLiteral("cats"), sentence, tokens, Range {16, 0}));
    EXPECT_FALSE(line(QStringLiteral("cats"), sentence, {}, Range {16, 4}));

    EXPECT_EQ(baseForm({}, sentence, tokens, {16, 4}), QStringLiteral("cat"));
    EXPECT_FALSE(baseForm({}, sentence, tokens, {12, 3})); // "the" has no lemma here
    const QString felt = QStringLiteral("They felt it.");
    EXPECT_EQ(baseForm({}, felt, handMadeTokens(felt, QStringLiteral("They felt/Adjective/Felt it")), {5, 4}),
              QStringLiteral("feel"));
}

TEST_F(GrammarNote, ShortFormTokenizesAndSurvivesOddText)
{
    tagger->define(QStringLiteral("went"), {QStringLiteral("Verb"), QStringLiteral("go")});
    EXPECT_EQ(shown(line(QStringLiteral("went"), QStringLiteral("They went home."))),
              QStringLiteral("verb: past of go"));
    EXPECT_FALSE(line(QStringLiteral("went"), QString()));
    EXPECT_FALSE(line(QStringLiteral("?"), QStringLiteral("?! ... ()")));
    EXPECT_FALSE(line(QString(), QStringLiteral("They went home.")));
    const QString broken = QChar(0xDC00) + QStringLiteral(" went ") + QChar(0xD83D);
    EXPECT_EQ(shown(line(QStringLiteral("went"), broken)), QStringLiteral("verb: past of go"));

    QString large;
    while (large.size() < 100'000)
        large += QStringLiteral("Words upon words here. ");
    large += QStringLiteral("They went home.");
    EXPECT_EQ(shown(line(QStringLiteral("went"), large)), QStringLiteral("verb: past of go"));

    // A tagger whose pipeline died gives no words, and so no note.
    struct DeadTagger final : Native::Tagger
    {
        std::vector<Native::TaggedWord> words(QStringView, Native::TextRange, Native::TaggerOptions) override
        {
            return {};
        }
    };
    Native::ScopedOverride<Native::Tagger> dead {std::make_shared<DeadTagger>()};
    EXPECT_FALSE(line(QStringLiteral("went"), QStringLiteral("They went home.")));
}
