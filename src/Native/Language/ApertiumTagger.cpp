#include "Native/Language/ApertiumTagger.h"
#include "Native/Text/Utf16.h"

#include "Native/Apertium/StreamUnits.h"

#include <QLoggingCategory>

#include <unicode/uchar.h>

#include <algorithm>

Q_LOGGING_CATEGORY(lcLanguage, "app.lumivox.Language")

namespace Lumivox::Native {

namespace {

// Context read on each side of a short range: the tagger's decisions depend on a few neighbouring
// words only, and a hovered word's element text can be a whole document.
constexpr qsizetype contextMargin = 500;
// Longest text sent in one request. A stage answers only after it has read the whole request,
// and a reply is about five times the size of its text, so a large request would fill the socket in
// both directions and stall until the time-out.
constexpr qsizetype chunkLength = 4000;

struct Unit
{
    QString surface;
    std::vector<Apertium::ReadingPart> parts; // empty: a word Apertium does not know
};

struct Reading
{
    TaggedWord word;
    bool surname = false; // joins a neighbouring given name into a personal name
};

bool isMark(char32_t c)
{
    const auto type = u_charType(static_cast<UChar32>(c));
    return type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK || type == U_COMBINING_SPACING_MARK;
}

bool hasLetterOrDigit(QStringView text)
{
    for (qsizetype i = 0, w = 1; i < text.size(); i += w) {
        if (u_isalnum(static_cast<UChar32>(Text::scalarAt(text, i, &w))))
            return true;
    }
    return false;
}

// The tagger writes one analysis per unit.
std::vector<Unit> parseUnits(QStringView reply)
{
    std::vector<Unit> units;
    for (Apertium::StreamUnit &unit : Apertium::readUnits(reply)) {
        if (unit.surface.isEmpty())
            continue;
        units.push_back({std::move(unit.surface), Apertium::readAnalysis(unit.analyses.value(0))});
    }
    return units;
}

bool isIgnorable(QChar c)
{
    return !c.isSurrogate() && u_hasBinaryProperty(c.unicode(), UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

// Finds `surface` in `text` from `from` on. The analyser drops characters it ignores (a soft hyphen
// inside a word), so those may stand between the surface's characters in the text. `positions`
// receives the text index of each surface index, plus the end.
bool align(QStringView text, QStringView surface, qsizetype from, std::vector<qsizetype> &positions)
{
    for (qsizetype s = from; s < text.size(); ++s) {
        if (text[s] != surface[0])
            continue;
        positions.clear();
        qsizetype t = s;
        bool matched = true;
        for (qsizetype k = 0; k < surface.size(); ++k) {
            while (k > 0 && t < text.size() && text[t] != surface[k] && isIgnorable(text[t]))
                ++t;
            if (t >= text.size() || text[t] != surface[k]) {
                matched = false;
                break;
            }
            positions.push_back(t++);
        }
        if (!matched)
            continue;
        // A combining mark the analyser left outside the word still belongs to its last letter.
        qsizetype w = 1;
        while (t < text.size() && isMark(Text::scalarAt(text, t, &w)))
            t += w;
        positions.push_back(t);
        return true;
    }
    return false;
}

bool isPunctuationTag(const QString &tag)
{
    static const QStringList tags {QStringLiteral("sent"), QStringLiteral("cm"),     QStringLiteral("lpar"),
                                   QStringLiteral("rpar"), QStringLiteral("lquest"), QStringLiteral("guio"),
                                   QStringLiteral("apos"), QStringLiteral("lquot"),  QStringLiteral("rquot"),
                                   QStringLiteral("quot")};
    return tags.contains(tag);
}

QString lexicalClassOf(const QStringList &tags)
{
    const QString first = tags.value(0);
    auto is = [&](const char *name) { return first == QLatin1String(name); };
    if (is("n") || is("np"))
        return QStringLiteral("Noun");
    if (is("adj"))
        return QStringLiteral("Adjective");
    if (is("adv") || is("preadv"))
        return QStringLiteral("Adverb");
    if (is("vblex") || is("vbser") || is("vbhaver") || is("vbdo") || is("vbmod") || is("vaux"))
        return QStringLiteral("Verb");
    if (is("det") || is("predet"))
        return QStringLiteral("Determiner");
    if (is("prn"))
        return QStringLiteral("Pronoun");
    if (is("rel")) {
        if (tags.contains(QStringLiteral("aa")))
            return QStringLiteral("Determiner");
        if (tags.contains(QStringLiteral("adv")))
            return QStringLiteral("Adverb");
        return QStringLiteral("Pronoun");
    }
    if (is("pr"))
        return QStringLiteral("Preposition");
    if (is("cnjcoo") || is("cnjsub") || is("cnjadv"))
        return QStringLiteral("Conjunction");
    if (is("num"))
        return QStringLiteral("Number");
    if (is("ij"))
        return QStringLiteral("Interjection");
    if (is("gen"))
        return QStringLiteral("Particle");
    return QStringLiteral("OtherWord");
}

// Apertium gives every personal pronoun the lemma "prpers"; the dictionary form follows from its
// person, gender and number.
QString personalPronoun(const QStringList &tags, QStringView surface)
{
    const bool plural = tags.contains(QStringLiteral("pl"));
    if (tags.contains(QStringLiteral("p1")))
        return plural ? QStringLiteral("we") : QStringLiteral("I");
    if (tags.contains(QStringLiteral("p2")))
        return QStringLiteral("you");
    if (tags.contains(QStringLiteral("p3"))) {
        if (plural)
            return QStringLiteral("they");
        if (tags.contains(QStringLiteral("m")))
            return QStringLiteral("he");
        if (tags.contains(QStringLiteral("f")))
            return QStringLiteral("she");
        if (tags.contains(QStringLiteral("nt")))
            return QStringLiteral("it");
    }
    return surface.toString().toLower();
}

// Where a joined unit splits into two words, as an index into its surface; absent when it stays whole.
std::optional<qsizetype> splitPoint(const QString &surface, const std::vector<Apertium::ReadingPart> &parts)
{
    if (parts.size() != 2)
        return std::nullopt;
    const qsizetype n = surface.size();
    auto isApostrophe = [](QChar c) { return c == QLatin1Char('\'') || c == QChar(0x2019); };
    if (parts[1].lemma.compare(QLatin1String("not"), Qt::CaseInsensitive) == 0) {
        if (n > 3 && isApostrophe(surface[n - 2]) && surface[n - 3].toLower() == QLatin1Char('n')
            && surface[n - 1].toLower() == QLatin1Char('t')) {
            // "can't" keeps "can" whole ("can" + "'t"); elsewhere the n belongs to the negation
            // ("do" + "n't", "wo" + "n't").
            if (surface.left(n - 2).compare(parts[0].lemma, Qt::CaseInsensitive) == 0)
                return n - 2;
            return n - 3;
        }
        if (n > 3 && surface.right(3).compare(QLatin1String("not"), Qt::CaseInsensitive) == 0)
            return n - 3; // "cannot"
        return std::nullopt;
    }
    for (qsizetype i = n - 1; i > 0; --i) {
        if (isApostrophe(surface[i]))
            return i; // "we'll" -> "we" + "'ll"
    }
    return std::nullopt;
}

TaggedWord describe(const Apertium::ReadingPart &part, QStringView surface, TextRange range, bool *surname)
{
    TaggedWord word;
    word.range = range;
    if (part.tags.isEmpty())
        return word;
    word.lexicalClass = lexicalClassOf(part.tags);
    const QString &first = part.tags.front();
    if (first == QLatin1String("prn") && part.lemma.compare(QLatin1String("prpers"), Qt::CaseInsensitive) == 0) {
        word.lemma = personalPronoun(part.tags, surface);
    } else if (first == QLatin1String("np")) {
        word.lemma = part.lemma; // a name keeps its capitals
        const QString kind = part.tags.size() > 1 ? part.tags[1] : QString();
        if (kind == QLatin1String("ant"))
            word.nameType = QStringLiteral("PersonalName");
        else if (kind == QLatin1String("loc"))
            word.nameType = QStringLiteral("PlaceName");
        else if (kind == QLatin1String("org"))
            word.nameType = QStringLiteral("OrganizationName");
        else if (kind == QLatin1String("cog") && surname)
            *surname = true;
    } else if (!part.lemma.isEmpty()) {
        // Apertium copies the surface's capitals into the lemma ("The", "DON'T"); dictionary forms
        // are lower case.
        word.lemma = part.lemma.toLower();
    }
    return word;
}

std::vector<Reading> read(QStringView reply, QStringView text)
{
    std::vector<Reading> readings;
    std::vector<qsizetype> positions;
    qsizetype cursor = 0;
    for (const Unit &unit : parseUnits(reply)) {
        if (!align(text, unit.surface, cursor, positions))
            continue;
        cursor = positions.back();
        const TextRange whole {positions.front(), positions.back() - positions.front()};
        if (!hasLetterOrDigit(unit.surface))
            continue;
        if (!unit.parts.empty() && isPunctuationTag(unit.parts.front().tags.value(0)))
            continue;
        if (unit.parts.empty()) {
            readings.push_back({TaggedWord {whole, std::nullopt, std::nullopt, std::nullopt}, false});
            continue;
        }
        if (const auto split = splitPoint(unit.surface, unit.parts)) {
            const qsizetype middle = positions[*split];
            const TextRange left {whole.start, middle - whole.start};
            const TextRange right {middle, whole.end() - middle};
            readings.push_back({describe(unit.parts[0], unit.surface.left(*split), left, nullptr), false});
            readings.push_back({describe(unit.parts[1], unit.surface.mid(*split), right, nullptr), false});
            continue;
        }
        Reading reading;
        reading.word = describe(unit.parts.front(), unit.surface, whole, &reading.surname);
        readings.push_back(std::move(reading));
    }
    return readings;
}

bool isNameGap(QStringView gap)
{
    if (gap.isEmpty())
        return false;
    for (QChar c : gap) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || !c.isSpace())
            return false;
    }
    return true;
}

// A given name and the surnames beside it form one personal name ("Mary Smith"). A surname alone
// is no evidence of a person ("Apple" is a surname to Apertium too).
std::vector<TaggedWord> markNames(std::vector<Reading> readings, QStringView text, bool joinNames)
{
    std::vector<TaggedWord> out;
    out.reserve(readings.size());
    auto isPart = [](const Reading &r) { return r.surname || r.word.nameType == QLatin1String("PersonalName"); };
    for (size_t i = 0; i < readings.size();) {
        if (!isPart(readings[i])) {
            out.push_back(std::move(readings[i].word));
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < readings.size() && isPart(readings[j])) {
            const qsizetype gapStart = readings[j - 1].word.range.end();
            if (!isNameGap(text.mid(gapStart, readings[j].word.range.start - gapStart)))
                break;
            ++j;
        }
        const bool hasGivenName = std::any_of(readings.begin() + i, readings.begin() + j, [](const Reading &r) {
            return r.word.nameType == QLatin1String("PersonalName");
        });
        if (hasGivenName && joinNames && j - i > 1) {
            const qsizetype start = readings[i].word.range.start;
            const qsizetype end = readings[j - 1].word.range.end();
            TaggedWord joined;
            joined.range = {start, end - start};
            joined.lexicalClass = QStringLiteral("Noun");
            joined.lemma = text.mid(start, end - start).toString();
            joined.nameType = QStringLiteral("PersonalName");
            out.push_back(std::move(joined));
        } else {
            for (size_t k = i; k < j; ++k) {
                if (hasGivenName)
                    readings[k].word.nameType = QStringLiteral("PersonalName");
                out.push_back(std::move(readings[k].word));
            }
        }
        i = j;
    }
    return out;
}

// Apertium reads two words with one space between as a possible multi-word unit ("at least",
// "give up smoking") and returns them as one. Two spaces keep every word its own unit.
QString separatedWords(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 4);
    for (QChar c : text) {
        out.append(c);
        if (c == QLatin1Char(' '))
            out.append(c);
    }
    return out;
}

// Same length as the input, so offsets carry over: ICU and Apertium need valid UTF-16, and a NUL
// would end the request.
QString sanitized(QStringView text)
{
    QString out = Text::withValidSurrogates(text);
    out.replace(QChar(u'\0'), QLatin1Char(' '));
    return out;
}

bool isBreak(QChar c)
{
    return c.isSpace();
}

qsizetype safeCut(QStringView text, qsizetype at)
{
    return Text::splitsSurrogatePair(text, at) ? at - 1 : at;
}

// The part of the text read for `range`: a margin of words on each side, ending at white space.
TextRange contextWindow(QStringView text, TextRange range)
{
    qsizetype start = 0;
    if (range.start > contextMargin) {
        start = range.start - contextMargin;
        const qsizetype floor = std::max<qsizetype>(0, start - contextMargin);
        while (start > floor && !isBreak(text[start - 1]))
            --start;
        start = safeCut(text, start);
    }
    qsizetype end = text.size();
    if (text.size() - range.end() > contextMargin) {
        end = range.end() + contextMargin;
        const qsizetype ceiling = std::min(text.size(), end + contextMargin);
        while (end < ceiling && !isBreak(text[end]))
            ++end;
        end = safeCut(text, end);
    }
    return {start, end - start};
}

std::vector<TextRange> chunks(QStringView text, TextRange window)
{
    std::vector<TextRange> out;
    qsizetype start = window.start;
    while (start < window.end()) {
        qsizetype end = window.end();
        if (end - start > chunkLength) {
            end = start + chunkLength;
            qsizetype cut = end;
            while (cut > start + chunkLength / 2 && !isBreak(text[cut - 1]))
                --cut;
            end = cut > start + chunkLength / 2 ? cut : safeCut(text, end);
            if (end <= start)
                end = start + chunkLength;
        }
        out.push_back({start, end - start});
        start = end;
    }
    return out;
}

} // namespace

ApertiumTagger::ApertiumTagger(std::optional<QStringList> stages, std::chrono::milliseconds timeout)
    : m_stageList(std::move(stages))
    , m_timeout(timeout)
{ }

const Apertium::StageChain &ApertiumTagger::stages()
{
    // Finding the default stages runs a tool and the analyser is read from its file: first use only.
    std::call_once(m_made, [this] { m_stages.emplace(m_stageList.value_or(defaultStages()), m_timeout); });
    return *m_stages;
}

QStringList ApertiumTagger::defaultStages()
{
    // Taken from the English pair's mode, so that the commands are the ones its translations run
    // and the stages are shared with them.
    static const QStringList stages = [] {
        if (const auto script = Apertium::NullFlushPipeline::translationScript(QStringLiteral("eng-spa"))) {
            const QStringList tagging = Apertium::taggingStages(Apertium::modeCommands(*script));
            if (!tagging.isEmpty())
                return tagging;
        }
        return QStringList {
            QStringLiteral("lt-proc -z '/usr/share/apertium/apertium-eng-spa/eng-spa.automorf.bin'"),
            QStringLiteral("apertium-tagger -z -g -p '/usr/share/apertium/apertium-eng-spa/eng-spa.prob'")};
    }();
    return stages;
}

QString ApertiumTagger::lexicalClass(const QStringList &tags)
{
    return lexicalClassOf(tags);
}

std::vector<pid_t> ApertiumTagger::processGroups()
{
    return stages().processGroups();
}

std::vector<TaggedWord> ApertiumTagger::readReply(QStringView reply, QStringView text, TaggerOptions options)
{
    return markNames(read(reply, text), text, options.joinNames);
}

std::vector<TaggedWord> ApertiumTagger::words(QStringView text, TextRange range, TaggerOptions options)
{
    range.start = std::clamp<qsizetype>(range.start, 0, text.size());
    range.length = std::clamp<qsizetype>(range.length, 0, text.size() - range.start);
    if (range.length == 0)
        return {};

    const QString clean = sanitized(text);
    std::vector<Reading> readings;
    for (const TextRange &chunk : chunks(clean, contextWindow(clean, range))) {
        const QStringView part = QStringView(clean).mid(chunk.start, chunk.length);
        if (!hasLetterOrDigit(part))
            continue;
        const auto reply = stages().request(Apertium::escape(separatedWords(part)));
        if (!reply) {
            // The failed stage is stopped and starts afresh on the next call; what was read so far stands.
            qCWarning(lcLanguage) << "the tagger did not answer; giving" << readings.size() << "words";
            break;
        }
        for (Reading &reading : read(*reply, part)) {
            reading.word.range.start += chunk.start;
            readings.push_back(std::move(reading));
        }
    }

    std::vector<TaggedWord> all = markNames(std::move(readings), clean, options.joinNames);
    std::vector<TaggedWord> out;
    for (TaggedWord &word : all) {
        if (word.range.start < range.end() && range.start < word.range.end())
            out.push_back(std::move(word));
    }
    return out;
}

std::shared_ptr<Tagger> Tagger::makeDefault()
{
    return std::make_shared<ApertiumTagger>();
}

} // namespace Lumivox::Native
