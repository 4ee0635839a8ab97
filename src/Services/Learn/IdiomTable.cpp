#include "Services/Learn/IdiomTable.h"

#include "Services/Learn/EnglishGrammarTables.h"

#include <algorithm>

namespace Lumivox::IdiomFinder {

const std::vector<Entry> &entries()
{
    // clang-format off
    static const std::vector<Entry> table {
        {"a piece of cake", "very easy", Context::afterBe()},
        {"rain cats and dogs", "V:rain heavily"},
        {"break a leg", "good luck", Context::opening({"just", "please", "so", "now", "go"})},
        {"call it a day", "V:stop working for today"},
        {"spill the beans", "V:reveal the secret",
         Context::notBefore({"on", "onto", "all", "everywhere", "over", "in", "into", "from", "out"})},
        {"under the weather", "sick",
         Context::notBefore({"conditions", "forecast", "station", "report", "map", "service", "system"})},
        {"let the cat out of the bag", "V:reveal the secret"},
        {"hit the nail on the head", "V:say exactly the right thing"},
        {"beat around the bush", "V:avoid saying it directly"},
        {"cost an arm and a leg", "V:cost a lot of money"},
        {"keep an eye on", "V:watch"},
        {"pull one's leg", "V:joke with {obj}"},
        {"once in a blue moon", "very rarely"},
        {"get the ball rolling", "V:get started"},
        {"kick the bucket", "V:die",
         Context::notBefore({"across", "over", "into", "down", "out", "off", "away", "to", "at", "with", "aside",
             "under"})},
        {"time fly", "time V:pass quickly"},
        {"cry over spilt milk", "V:worry about something that already happened"},
        {"the ball be in one's court", "it is {poss} decision"},
        {"sleep on it", "V:think about it before deciding",
         Context::after({"me", "us", "'ll", "will", "i", "we", "to", "should", "just", "'d", "would", "gonna", "must",
             "'s"})},
        {"speak of the devil", "we were just talking about this person"},
        {"a chip on one's shoulder", "a grudge"},
        {"jump the gun", "V:act too early"},
        {"butterflies in one's stomach", "a nervous feeling"},
        {"not rocket science", "not difficult"},
        {"on cloud nine", "extremely happy"},
        {"bite|bit off more than ONE can|could chew", "V:take on more than {subj} can handle"},
        {"back to square one", "back to the start"},
        {"hold one's horses", "V:wait"},
        {"the apple of one's eye", "{poss} most loved person"},
        {"add insult to injury", "V:make a bad situation worse"},
        {"at the drop of a hat", "immediately"},
        {"barking up the wrong tree", "looking in the wrong place"},
        {"best of both worlds", "all the advantages"},
        {"bite the bullet", "V:do the hard thing"},
        {"blessing in disguise", "something good that seemed bad"},
        {"burn the midnight oil", "V:work late into the night"},
        {"by the skin of one's teeth", "only just"},
        {"cut corners", "V:do something badly to save time", Context::notBefore({"off", "of", "from"})},
        {"cut to the chase", "V:get to the point"},
        {"down to earth", "practical and sensible", Context::afterBe()},
        {"easier said than done", "harder than it sounds"},
        {"every cloud have a silver lining", "something good comes from every bad situation"},
        {"get cold feet", "V:become too nervous to do it", Context::notBefore({"without", "in", "from", "if", "when"})},
        {"get out of hand", "V:get out of control"},
        {"give someone the benefit of the doubt", "V:trust them"},
        {"go the extra mile", "V:make an extra effort"},
        {"hang in there", "keep going",
         Context::either(Context::opening({}), Context::after({"just", "you", "'ll", "will", "to", "gotta", "must",
             "n't", "and", "please", "so", "we"}))},
        {"have a heart of gold", "V:be very kind"},
        {"it take two to tango", "both people are responsible"},
        {"kill two birds with one stone", "V:do two things at once"},
        {"last straw", "the final problem", Context::notBefore({"in", "from", "of", "on"})},
        {"let sleeping dogs lie", "V:leave the problem alone"},
        {"miss the boat", "V:miss the chance", Context::clauseEnd()},
        {"no pain no gain", "hard work brings results"},
        {"out of the blue", "unexpectedly", Context::notBeforeNoun()},
        {"over the moon", "very happy", Context::afterBe()},
        {"play it by ear", "V:decide as things happen"},
        {"pull oneself together", "V:calm down"},
        {"rain on one's parade", "V:spoil {poss} plans", Context::notAfter({"it"})},
        {"see eye to eye", "V:agree"},
        {"so far so good", "it is going well"},
        {"take it with a grain of salt", "V:not believe it completely"},
        {"the best thing since sliced bread", "a great new thing"},
        {"the elephant in the room", "the obvious problem nobody mentions"},
        {"throw in the towel", "V:give up"},
        {"when pigs fly", "never"},
        {"wrap one's head around", "V:understand"},
        {"you can't judge a book by its cover", "you can't judge by appearance"},
        {"zip one's lip", "V:stay quiet"},
        {"a dime a dozen", "very common"},
        {"a penny for your thoughts", "what are you thinking"},
        {"actions speak louder than words", "what you do matters more than what you say"},
        {"all ears", "listening carefully", Context::notBefore({"of"})},
        {"break the ice", "V:start a conversation", Context::notBefore({"on", "in", "of", "under"})},
        {"burn bridges", "V:damage relationships", Context::notBefore({"across", "over", "along", "on"})},
        {"catch someone red-handed", "V:catch them doing wrong"},
        {"cold shoulder", "an unfriendly welcome", Context::notBefore({"of"})},
        {"cross that bridge when ONE come to it", "V:deal with it later"},
        {"devil's advocate", "someone arguing the other side"},
        {"face the music", "V:accept the consequences",
         Context::notBefore({"stand", "box", "room", "hall", "teacher", "player", "school"})},
        {"feel under the weather", "V:feel sick"},
        {"fit as a fiddle", "very healthy"},
        {"go down in flames", "V:fail badly",
         Context::notNear({"plane", "planes", "jet", "aircraft", "helicopter", "ship", "boat", "building", "house",
             "car", "tower", "bomber", "fighter", "balloon", "it"})},
        {"have one's head in the clouds", "V:be daydreaming"},
        {"hit the books", "V:study"},
        {"hit the sack", "V:go to bed"},
        {"in a nutshell", "in short"},
        {"keep one's chin up", "V:stay positive"},
        {"let the chips fall where they may", "V:accept whatever happens"},
        {"like two peas in a pod", "very alike"},
        {"long story short", "in short"},
        {"make a long story short", "V:say it briefly"},
        {"method to one's madness", "a plan behind the strange behaviour"},
        {"not one's cup of tea", "not what {subj} like"},
        {"off the hook", "free from blame",
         Context::either(Context::afterBe(), Context::afterObjectOf({"let", "lets", "letting", "get", "gets", "got",
             "getting"}))},
        {"once bitten twice shy", "afraid after a bad experience"},
        {"piece of the pie", "a share",
         Context::notNear({"eat", "ate", "eaten", "eats", "eating", "cut", "cuts", "slice", "sliced", "serve",
             "served", "bake", "baked"})},
        {"put all one's eggs in one basket", "V:risk everything on one thing"},
        {"rule of thumb", "a general rule"},
        {"steal someone's thunder", "V:take the attention"},
        {"take a rain check", "V:postpone"},
        {"the whole nine yards", "everything"},
        {"through thick and thin", "in good times and bad"},
        {"to make matters worse", "even worse"},
        {"water under the bridge", "in the past and forgiven", Context::afterBe()},
        {"wild goose chase", "a hopeless search"},
        {"your guess be as good as mine", "I don't know either"},
        {"go cold turkey", "V:stop suddenly"},
        {"head over heels", "deeply in love",
         Context::notBefore({"down", "off", "into", "onto", "from", "across", "through", "out", "over"})},
        {"on the same page", "in agreement", Context::notBefore({"as", "of"})},
        {"the tip of the iceberg", "a small part of a bigger problem"},
        {"get one's act together", "V:organise {poss} life"},
    };
    // clang-format on
    return table;
}

const std::vector<Entry> &sortedEntries()
{
    static const std::vector<Entry> sorted = [] {
        std::vector<Entry> out = entries();
        std::stable_sort(out.begin(), out.end(),
                         [](const Entry &a, const Entry &b) { return a.pattern.size() > b.pattern.size(); });
        return out;
    }();
    return sorted;
}

const WordMap &possessiveToObject()
{
    static const WordMap table {{"my", "me"},  {"your", "you"}, {"his", "him"},   {"her", "her"},
                                {"its", "it"}, {"our", "us"},   {"their", "them"}};
    return table;
}

const WordSet &reflexives()
{
    static const WordSet table(
        QStringLiteral("myself, yourself, himself, herself, itself, ourselves, yourselves, themselves"));
    return table;
}

const WordSet &articles()
{
    static const WordSet table(QStringLiteral("a, an, the"));
    return table;
}

const WordSet &sameFormPast()
{
    static const WordSet table(
        QStringLiteral("hit, let, put, cut, set, shut, cost, hurt, beat, quit, read, spread, bet"));
    return table;
}

const WordSet &doublesLastLetter()
{
    static const WordSet table(QStringLiteral("stop, get, put, cut, set, run, sit, hit, plan, drop, shop, chat"));
    return table;
}

const WordSet &fillers()
{
    static const WordSet table(EnglishGrammar::intensifiers().entries()
                               + QStringList {"just", "such", "absolutely", "completely", "truly", "still", "all",
                                              "always", "not", "n't", "never"});
    return table;
}

const WordSet &linking()
{
    static const WordSet table(EnglishGrammar::beForms().entries()
                               + QStringList {"seem", "sound", "sounds", "sounded", "feel", "feeling", "remain",
                                              "remains", "remained", "stay", "stays", "stayed"});
    return table;
}

const WordSet &clauseClosers()
{
    static const WordSet table(QStringLiteral("and, but, or, so, because, again, now, then, today, tonight, yesterday, "
                                              "completely, entirely, already"));
    return table;
}

} // namespace Lumivox::IdiomFinder
