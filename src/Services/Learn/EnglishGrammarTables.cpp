#include "Services/Learn/EnglishGrammarTables.h"

namespace Lumivox::EnglishGrammar {

WordSet::WordSet(const QString &entries)
    : WordSet(entries.split(QStringLiteral(", ")))
{ }

WordSet::WordSet(QStringList entries)
    : m_entries(std::move(entries))
    , m_lookup(m_entries.cbegin(), m_entries.cend())
{ }

WordMap::WordMap(std::initializer_list<std::pair<QString, QString>> entries)
{
    for (const auto &[key, value] : entries)
        insertIfAbsent(key, value);
}

void WordMap::insertIfAbsent(const QString &key, const QString &value)
{
    if (m_lookup.contains(key))
        return;
    m_keys.append(key);
    m_lookup.insert(key, value);
}

std::optional<QString> WordMap::value(const QString &key) const
{
    const auto it = m_lookup.constFind(key);
    if (it == m_lookup.cend())
        return std::nullopt;
    return *it;
}

const WordSet &modals()
{
    static const WordSet table(QStringLiteral("can, could, will, would, shall, should, may, might, must, ought"));
    return table;
}

const WordSet &subjects()
{
    static const WordSet table(QStringLiteral("i, you, he, she, it, we, they"));
    return table;
}

const WordSet &objectPronouns()
{
    static const WordSet table(QStringLiteral("it, them, him, her, me, us, you, this, that"));
    return table;
}

const WordSet &possessives()
{
    static const WordSet table(QStringLiteral("my, your, his, her, its, our, their"));
    return table;
}

const WordSet &determiners()
{
    static const WordSet table(QStringLiteral("a, an, the, this, that, such"));
    return table;
}

const WordSet &intensifiers()
{
    static const WordSet table(
        QStringLiteral("very, really, so, quite, too, extremely, pretty, rather, fairly, incredibly, totally"));
    return table;
}

const WordSet &beForms()
{
    static const WordSet table(
        QStringLiteral("is, are, was, were, be, been, being, am, 's, 're, 'm, seems, seemed, looks, looked, feels, "
                       "felt, became, become, get, got"));
    return table;
}

const WordSet &auxiliaries()
{
    static const WordSet table(
        QStringLiteral("have, has, had, 've, 'd, having, am, is, are, was, were, be, been, being, 's, 're, 'm, get, "
                       "gets, got, gotten, getting"));
    return table;
}

const WordSet &particles()
{
    static const WordSet table(
        QStringLiteral("off, up, out, down, in, on, away, back, over, for, after, into, through, around, about, along, "
                       "by"));
    return table;
}

const WordSet &irregularPlurals()
{
    static const WordSet table(QStringLiteral(
        "children, people, men, women, feet, teeth, mice, geese, oxen, lice, criteria, phenomena, cacti, "
        "fungi, alumni"));
    return table;
}

const WordSet &edAdjectives()
{
    static const WordSet table(
        QStringLiteral("surprised, frightened, interested, tired, bored, excited, worried, scared, annoyed, confused, "
                       "disappointed, embarrassed, amazed, shocked, pleased, satisfied, exhausted, terrified, relaxed, "
                       "amused, delighted, upset, married, crowded, broken"));
    return table;
}

const WordSet &ingAdjectives()
{
    static const WordSet table(
        QStringLiteral("boring, interesting, amazing, moving, exciting, surprising, shocking, confusing, tiring, "
                       "annoying, touching, disappointing, frightening, relaxing, embarrassing, charming, fascinating, "
                       "terrifying, satisfying, depressing, encouraging, inspiring, refreshing, worrying, alarming, "
                       "astonishing, thrilling, amusing, convincing, demanding, exhausting, horrifying, pleasing, "
                       "stunning, striking"));
    return table;
}

const WordSet &afterRemaining()
{
    static const WordSet table(QStringLiteral("to, in, on, for, over, at, now, of, but, and, so, because, yet"));
    return table;
}

const WordSet &quantityWords()
{
    static const WordSet table(QStringLiteral("no, any, some, enough, much, little, more"));
    return table;
}

const WordSet &quantifiers()
{
    static const WordSet table(
        QStringLiteral("nothing, anything, something, everything, none, any, enough, much, little"));
    return table;
}

const WordSet &directionVerbs()
{
    static const WordSet table(
        QStringLiteral("turn, turns, turned, turning, go, goes, went, going, keep, keeps, kept, bear, veer, veered, "
                       "swerve, swerved, move, moved, look, looked, steer, steered, head, headed"));
    return table;
}

const WordSet &ambiguousPast()
{
    static const WordSet table(QStringLiteral("wound"));
    return table;
}

const WordMap &presentForms()
{
    static const WordMap table {
        {QStringLiteral("am"), QStringLiteral("be")},  {QStringLiteral("is"), QStringLiteral("be")},
        {QStringLiteral("are"), QStringLiteral("be")}, {QStringLiteral("'m"), QStringLiteral("be")},
        {QStringLiteral("'re"), QStringLiteral("be")}, {QStringLiteral("has"), QStringLiteral("have")},
    };
    return table;
}

const WordMap &comparatives()
{
    static const WordMap table {
        {QStringLiteral("better"), QStringLiteral("good")},
        {QStringLiteral("best"), QStringLiteral("good")},
        {QStringLiteral("worse"), QStringLiteral("bad")},
        {QStringLiteral("worst"), QStringLiteral("bad")},
    };
    return table;
}

const WordSet &placeAndTimeNouns()
{
    static const WordSet table(QStringLiteral(
        "morning, afternoon, evening, night, day, week, weekend, month, year, time, hour, minute, "
        "moment, monday, tuesday, wednesday, thursday, friday, saturday, sunday, january, february, "
        "march, april, may, june, july, august, september, october, november, december, spring, summer, "
        "autumn, winter, holiday, holidays, vacation, trip, tour, christmas, easter, house, home, room, "
        "kitchen, bedroom, bathroom, garden, yard, street, road, lane, path, hill, mountain, stairs, "
        "stair, steps, ladder, bridge, river, lake, sea, ocean, pool, field, park, forest, woods, "
        "building, shop, store, office, school, church, hospital, station, airport, city, town, village, "
        "wall, fence, gate, door, window, corner, hall, corridor, floor, roof, garage, beach, valley, "
        "tunnel, square, market"));
    return table;
}

const WordSet &gradableAdjectives()
{
    static const WordSet table(QStringLiteral(
        "warm, cold, hot, cool, big, small, tall, short, long, high, low, fast, slow, old, young, new, "
        "near, deep, wide, narrow, cheap, rich, poor, hard, soft, strong, weak, dark, light, bright, "
        "clean, clear, close, easy, early, late, happy, heavy, busy, funny, pretty, quiet, safe, simple, "
        "smart, thick, thin, tight, loose, loud, nice, kind, great, fine, large, wise, brave, calm, dry, "
        "wet, fresh, full, quick, rough, sharp, smooth, sweet, true, wild, lucky, healthy, angry, dirty, "
        "noisy, tiny, ugly, lazy, crazy, friendly, gentle, shallow, sad, fat, fit, red, green, black, "
        "white, plain, proud, pure, rare, ripe, rude, sick, silly, steep, strange, strict, sure, tough, "
        "vague, bold, broad, dull, faint, fair, firm, flat, harsh, keen, mild, neat, odd, pale, raw, shy"));
    return table;
}

const WordSet &phrasalVerbs()
{
    static const WordSet table(QStringLiteral(
        "break down, break in, break into, break out, break up, bring about, bring back, bring up, "
        "call back, call off, call on, call up, calm down, carry on, carry out, catch up, check in, "
        "check out, cheer up, clean up, come across, come back, come in, come on, come out, come over, "
        "come up, count on, cut down, cut off, deal with, do over, drop by, drop in, drop off, drop out, "
        "eat out, end up, fall apart, fall down, fall out, figure out, fill in, fill out, fill up, "
        "find out, get along, get away, get back, get in, get off, get on, get out, get over, get up, "
        "give away, give back, give in, give out, give up, go after, go ahead, go away, go back, go on, "
        "go out, go over, grow up, hand in, hand out, hang on, hang out, hang up, hold on, hold up, "
        "keep on, keep up, kick off, knock out, let down, log in, log out, look after, look back, "
        "look down, look for, look forward, look into, look out, look up, make out, make up, mix up, "
        "move in, move on, move out, pass away, pass out, pay back, pick up, point out, put away, "
        "put back, put down, put off, put on, put out, put up, run away, run into, run out, set off, "
        "set up, settle down, show off, show up, shut down, sit down, slow down, sort out, speak up, "
        "stand up, stay up, take after, take away, take back, take off, take on, take out, take over, "
        "take up, think over, throw away, throw out, try on, turn around, turn down, turn off, turn on, "
        "turn up, wake up, warm up, watch out, wear out, work out, write down"));
    return table;
}

const QString &irregularVerbs()
{
    static const QString text = QStringLiteral(
        "arise arose arisen|awake awoke awoken|be was been|be were been|bear bore born|beat beat beaten|"
        "become became become|begin began begun|bend bent bent|bet bet bet|bind bound bound|"
        "bite bit bitten|bleed bled bled|blow blew blown|break broke broken|breed bred bred|"
        "bring brought brought|build built built|burn burnt burnt|burst burst burst|buy bought bought|"
        "catch caught caught|choose chose chosen|cling clung clung|come came come|cost cost cost|"
        "creep crept crept|cut cut cut|deal dealt dealt|dig dug dug|do did done|draw drew drawn|"
        "dream dreamt dreamt|drink drank drunk|drive drove driven|eat ate eaten|fall fell fallen|"
        "feed fed fed|feel felt felt|fight fought fought|find found found|flee fled fled|fly flew flown|"
        "forbid forbade forbidden|forget forgot forgotten|forgive forgave forgiven|freeze froze frozen|"
        "get got gotten|give gave given|go went gone|grind ground ground|grow grew grown|hang hung hung|"
        "have had had|hear heard heard|hide hid hidden|hit hit hit|hold held held|hurt hurt hurt|"
        "keep kept kept|kneel knelt knelt|know knew known|lay laid laid|lead led led|lean leant leant|"
        "leap leapt leapt|learn learnt learnt|leave left left|lend lent lent|let let let|lie lay lain|"
        "light lit lit|lose lost lost|make made made|mean meant meant|meet met met|pay paid paid|"
        "put put put|quit quit quit|read read read|ride rode ridden|ring rang rung|rise rose risen|"
        "run ran run|say said said|see saw seen|seek sought sought|sell sold sold|send sent sent|"
        "set set set|sew sewed sewn|shake shook shaken|shine shone shone|shoot shot shot|"
        "show showed shown|shrink shrank shrunk|shut shut shut|sing sang sung|sink sank sunk|sit sat sat|"
        "sleep slept slept|slide slid slid|speak spoke spoken|speed sped sped|spend spent spent|"
        "spill spilt spilt|spin spun spun|spit spat spat|split split split|spread spread spread|"
        "spring sprang sprung|stand stood stood|steal stole stolen|stick stuck stuck|sting stung stung|"
        "stink stank stunk|strike struck struck|swear swore sworn|sweep swept swept|swim swam swum|"
        "swing swung swung|take took taken|teach taught taught|tear tore torn|tell told told|"
        "think thought thought|throw threw thrown|understand understood understood|wake woke woken|"
        "wear wore worn|weave wove woven|weep wept wept|win won won|wind wound wound|write wrote written");
    return text;
}

namespace {

std::vector<QStringList> irregularRows()
{
    std::vector<QStringList> rows;
    for (const QString &row : irregularVerbs().split(QLatin1Char('|')))
        rows.push_back(row.split(QLatin1Char(' ')));
    return rows;
}

// Rows whose past and participle differ, as (past, participle).
std::vector<std::pair<QString, QString>> distinctPastAndParticiple()
{
    std::vector<std::pair<QString, QString>> out;
    for (const QStringList &row : irregularRows()) {
        if (row.size() == 3 && row[1] != row[2])
            out.emplace_back(row[1], row[2]);
    }
    return out;
}

} // namespace

const WordMap &irregularBase()
{
    static const WordMap table = [] {
        WordMap map;
        for (const QStringList &row : irregularRows()) {
            for (qsizetype i = 1; i < row.size() && i <= 2; ++i) {
                if (row[i] != row[0])
                    map.insertIfAbsent(row[i], row[0]);
            }
        }
        return map;
    }();
    return table;
}

const WordMap &irregularPast()
{
    static const WordMap table = [] {
        WordMap map;
        for (const QStringList &row : irregularRows()) {
            if (row.size() == 3)
                map.insertIfAbsent(row[0], row[1]);
        }
        return map;
    }();
    return table;
}

const WordSet &pastOnly()
{
    static const WordSet table = [] {
        QStringList pasts;
        for (const auto &[past, participle] : distinctPastAndParticiple()) {
            // "got" is also the participle in British use ("I've got").
            if (past != QLatin1String("got") && !pasts.contains(past))
                pasts.append(past);
        }
        return WordSet(pasts);
    }();
    return table;
}

const WordSet &participleOnly()
{
    static const WordSet table = [] {
        QStringList participles;
        for (const auto &[past, participle] : distinctPastAndParticiple()) {
            if (!participles.contains(participle))
                participles.append(participle);
        }
        return WordSet(participles);
    }();
    return table;
}

} // namespace Lumivox::EnglishGrammar
