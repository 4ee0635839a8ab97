// The grammar note and the idiom matcher over the real tagger: its tags and lemmas must reach the rules
// as they expect them.

#include "Native/Language/ApertiumTagger.h"
#include "Native/Services.h"
#include "Services/Learn/EnglishGrammarNote.h"
#include "Services/Learn/IdiomFinder.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace Lumivox;

namespace {

// These tests need the tagger, not the display: stay off the X server, whose keyboard set-up trips
// AddressSanitizer's strict string checks inside libxkbcommon-x11.
const bool offscreen = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}();

std::string note(const char *word, const char *sentence)
{
    const auto line = EnglishGrammar::line(QString::fromUtf8(word), QString::fromUtf8(sentence));
    if (!line)
        return {};
    return (line->text.isEmpty() ? line->tag : line->tag + QStringLiteral(": ") + line->text).toStdString();
}

std::string idiom(const char *sentence, const char *hovered)
{
    const QString text = QString::fromUtf8(sentence);
    const QString word = QString::fromUtf8(hovered);
    const auto match = IdiomFinder::find(text, EnglishGrammar::Range {text.indexOf(word), word.size()});
    if (!match)
        return {};
    return (match->idiom + QStringLiteral(" = ") + match->meaning + QStringLiteral(" -> ") + match->rewritten)
        .toStdString();
}

} // namespace

TEST(EnglishAnalysis, GrammarNotes)
{
    EXPECT_EQ(note("went", "She went home."), "verb: past of go");
    EXPECT_EQ(note("gone", "He has gone."), "verb: past participle of go");
    EXPECT_EQ(note("gave", "She gave it up."), "phrasal verb: past of give up");
    EXPECT_EQ(note("children", "The children play."), "noun: plural of child");
    EXPECT_EQ(note("bigger", "This is bigger than that."), "adjective: comparative of big");
    EXPECT_EQ(note("used", "I used to play chess."), "verb: used to = a past habit");
    EXPECT_EQ(note("left", "There is no time left."), "adjective");
    EXPECT_EQ(note("more", "I need more time."), "determiner: comparative of much");

    const QString sentence = QStringLiteral("The children went home.");
    EXPECT_EQ(EnglishGrammar::baseForm({}, sentence, EnglishGrammar::tokens(sentence), {4, 8}),
              QStringLiteral("child"));
}

TEST(EnglishAnalysis, Idioms)
{
    EXPECT_EQ(idiom("He finally spilled the beans.", "spilled"),
              "spill the beans = reveal the secret -> He finally revealed the secret.");
    EXPECT_EQ(idiom("His plan went down in flames.", "flames"),
              "go down in flames = fail badly -> His plan failed badly.");
    EXPECT_EQ(idiom("The plane went down in flames.", "flames"), "");
    EXPECT_EQ(idiom("Don't pull my leg.", "leg"), "pull one's leg = joke with someone -> Don't joke with me.");
    EXPECT_EQ(idiom("Time flies.", "flies"), "time fly = time pass quickly -> Time passes quickly.");
    EXPECT_EQ(idiom("They let him off the hook.", "hook"),
              "off the hook = free from blame -> They let him free from blame.");
    EXPECT_EQ(idiom("I bit off more than I could chew.", "chew"),
              "bite off more than someone can chew = take on more than someone can handle -> I took on more than I can "
              "handle.");
}

TEST(EnglishAnalysis, ADeadTaggerGivesNothingAndARestartedOneRecovers)
{
    auto tagger = std::make_shared<Native::ApertiumTagger>();
    Native::ScopedOverride<Native::Tagger> installed {tagger};
    ASSERT_EQ(note("went", "She went home."), "verb: past of go");
    const std::vector<pid_t> groups = tagger->processGroups();
    ASSERT_FALSE(groups.empty());
    for (pid_t group : groups) {
        ASSERT_GT(group, 0);
        kill(-group, SIGKILL);
    }
    EXPECT_EQ(note("went", "She went home."), "verb: past of go");
    EXPECT_EQ(idiom("Time flies.", "Time"), "time fly = time pass quickly -> Time passes quickly.");

    Native::ScopedOverride<Native::Tagger> broken {std::make_shared<Native::ApertiumTagger>(
        QStringList {QStringLiteral("exit 3")}, std::chrono::milliseconds(300))};
    EXPECT_EQ(note("went", "She went home."), "");
    EXPECT_EQ(idiom("Time flies.", "Time"), "");
}
