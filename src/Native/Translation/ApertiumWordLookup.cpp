#include "Native/Translation/ApertiumWordLookup.h"

#include <QLoggingCategory>

#include <algorithm>
#include <array>
#include <tuple>

Q_LOGGING_CATEGORY(lcWords, "app.lumivox.Translation")

namespace Lumivox::Native {

namespace ApertiumWords {

namespace {

using Apertium::ReadingPart;

constexpr std::chrono::seconds taggerRest(600);
// Between the units of one generator request: a superblank, which every stage passes on untouched.
const QString unitBreak = QStringLiteral("[|]");

bool startsWith(const QString &stage, const char *program)
{
    return stage.startsWith(QLatin1String(program));
}

std::optional<QString> bilingualStage(const QStringList &stages)
{
    for (const QString &stage : stages) {
        if (startsWith(stage, "lt-proc -z -b "))
            return stage;
    }
    return std::nullopt;
}

bool sameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isOpenClass(const QString &tag)
{
    return tag == QLatin1String("n") || tag == QLatin1String("vblex") || tag == QLatin1String("adj")
        || tag == QLatin1String("adv");
}

// Tags of the form a dictionary lists a word under. A noun's gender is its own, not a form of it.
bool isDictionaryTag(const QString &tag, bool noun)
{
    static const std::array<QLatin1String, 4> forms {QLatin1String("inf"), QLatin1String("sg"), QLatin1String("nom"),
                                                     QLatin1String("sp")};
    if (std::find(forms.begin(), forms.end(), tag) != forms.end())
        return true;
    return !noun && (tag == QLatin1String("m") || tag == QLatin1String("mf"));
}

bool isGender(const QString &tag)
{
    static const std::array<QLatin1String, 6> tags {QLatin1String("m"),  QLatin1String("f"),   QLatin1String("mf"),
                                                    QLatin1String("nt"), QLatin1String("mfn"), QLatin1String("GD")};
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

bool isNumber(const QString &tag)
{
    return tag == QLatin1String("sg") || tag == QLatin1String("pl") || tag == QLatin1String("sp")
        || tag == QLatin1String("ND");
}

qsizetype sharedLeadingTags(const QStringList &a, const QStringList &b)
{
    qsizetype n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return n;
}

// "GD" and "ND" are the bilingual dictionary's "gender/number to be decided": transfer rules settle
// them from the sentence; a word on its own is masculine singular, unless the entry already says.
QStringList settled(const QStringList &tags)
{
    const bool hasGender =
        std::any_of(tags.begin(), tags.end(), [](const QString &t) { return isGender(t) && t != QLatin1String("GD"); });
    const bool hasNumber =
        std::any_of(tags.begin(), tags.end(), [](const QString &t) { return isNumber(t) && t != QLatin1String("ND"); });
    QStringList out;
    for (const QString &tag : tags) {
        if (tag == QLatin1String("GD")) {
            if (!hasGender)
                out.append(QStringLiteral("m"));
        } else if (tag == QLatin1String("ND")) {
            if (!hasNumber)
                out.append(QStringLiteral("sg"));
        } else {
            out.append(tag);
        }
    }
    return out;
}

} // namespace

std::optional<Stages> stages(const QString &script, const std::optional<QString> &reverseScript)
{
    const QStringList all = Apertium::modeCommands(script);
    Stages found;
    if (all.isEmpty() || !startsWith(all.front(), "lt-proc "))
        return std::nullopt;
    found.analyser = QStringList {all.front()};
    // The tagger keeps each word's surface form, which tells where the word of a sentence stands.
    found.tagger = Apertium::taggingStages(all);
    const auto generator =
        std::find_if(all.begin(), all.end(), [](const QString &s) { return startsWith(s, "lt-proc -z -g "); });
    const auto bilingual = bilingualStage(all);
    if (found.tagger.isEmpty() || generator == all.end() || !bilingual)
        return std::nullopt;
    found.generator = Apertium::stagesOf(QStringList(generator, all.end()));
    found.bilingual = QStringList {*bilingual};
    if (reverseScript) {
        if (const auto reverse = bilingualStage(Apertium::modeCommands(*reverseScript)))
            found.reverseBilingual = QStringList {*reverse};
    }
    return found;
}

bool isContentWord(const ReadingPart &reading)
{
    return !reading.tags.isEmpty() && isOpenClass(reading.tags.front());
}

std::optional<ReadingPart> chooseReading(const std::vector<ReadingPart> &readings,
                                         const std::optional<TaggedWord> &tagged, bool alone)
{
    const ReadingPart *pick = nullptr;
    if (tagged && tagged->lexicalClass) {
        auto sameClass = [&](const ReadingPart &r) {
            return ApertiumTagger::lexicalClass(r.tags) == *tagged->lexicalClass;
        };
        for (const ReadingPart &r : readings) {
            if (sameClass(r) && tagged->lemma && sameText(r.lemma, *tagged->lemma)) {
                pick = &r;
                break;
            }
        }
        for (auto it = readings.begin(); !pick && it != readings.end(); ++it) {
            if (sameClass(*it))
                pick = &*it;
        }
    }
    // No tagger to ask: nouns are the commonest readings of the words people look up, then verbs.
    for (const char *tag : {"n", "vblex", "adj", "adv"}) {
        for (auto it = readings.begin(); !pick && it != readings.end(); ++it) {
            if (it->tags.value(0) == QLatin1String(tag))
                pick = &*it;
        }
    }
    if (!pick && !readings.empty())
        pick = &readings.front();
    if (!pick)
        return std::nullopt;
    // Apertium lists a noun that can stand before another noun ("car industry") as a bare adjective
    // too, and nothing else, and the tagger takes such a word alone for the adjective. Alone, it is
    // the noun. A true adjective that is also a noun has more to it ("wrong" is an adverb too).
    if (alone && readings.size() == 2 && pick->tags == QStringList {QStringLiteral("adj")}) {
        const ReadingPart &other = &readings.front() == pick ? readings.back() : readings.front();
        if (other.tags.value(0) == QLatin1String("n") && other.lemma == pick->lemma)
            return other;
    }
    return *pick;
}

std::optional<ReadingPart> dictionaryReading(const std::vector<ReadingPart> &lemmaReadings, const ReadingPart &chosen)
{
    const ReadingPart *best = nullptr;
    std::tuple<qsizetype, qsizetype, qsizetype> bestScore;
    for (const ReadingPart &r : lemmaReadings) {
        if (r.tags.isEmpty() || r.tags.front() != chosen.tags.value(0) || !sameText(r.lemma, chosen.lemma))
            continue;
        // The form a dictionary lists, then the same lexeme (a homonym differs in its leading tags:
        // a noun's gender, a verb's aspect), then the plainest.
        const bool noun = r.tags.front() == QLatin1String("n");
        const auto listed = std::count_if(r.tags.begin(), r.tags.end(),
                                          [noun](const QString &tag) { return isDictionaryTag(tag, noun); });
        const auto score = std::make_tuple(qsizetype(listed), sharedLeadingTags(r.tags, chosen.tags), -r.tags.size());
        if (!best || score > bestScore) {
            best = &r;
            bestScore = score;
        }
    }
    if (!best)
        return std::nullopt;
    return *best;
}

QStringList generationUnits(const ReadingPart &target)
{
    const QStringList tags = settled(target.tags);
    auto unit = [&](QStringList withTags) {
        ReadingPart part = target;
        part.tags = std::move(withTags);
        return Apertium::writeUnit(part);
    };
    QStringList units;
    // A dictionary lists an adjective in the masculine: a bilingual entry that gives the feminine for a
    // word of both genders ("feliz" → "heureuse") is asked for the masculine first.
    if (tags.value(0) == QLatin1String("adj") && tags.contains(QStringLiteral("f"))) {
        QStringList masculine = tags;
        masculine.replace(masculine.indexOf(QStringLiteral("f")), QStringLiteral("m"));
        units.append(unit(masculine));
    }
    units.append(unit(tags));
    const bool hasAgreement =
        std::any_of(tags.begin(), tags.end(), [](const QString &t) { return isGender(t) || isNumber(t); });
    if (!hasAgreement) {
        units.append(unit(tags + QStringList {QStringLiteral("m"), QStringLiteral("sg")}));
        units.append(unit(tags + QStringList {QStringLiteral("mf"), QStringLiteral("sg")}));
    }
    QStringList withoutGender = tags;
    withoutGender.removeIf(isGender);
    units.append(unit(withoutGender));
    QStringList bare = withoutGender;
    bare.removeIf(isNumber);
    units.append(unit(bare));
    units.removeDuplicates();
    return units;
}

QString followCase(const QString &translation, QStringView source)
{
    qsizetype letters = 0;
    qsizetype upper = 0;
    for (QChar c : source) {
        if (c.isLetter()) {
            ++letters;
            upper += c.isUpper() ? 1 : 0;
        }
    }
    if (letters > 1 && upper == letters)
        return translation.toUpper();
    QString out = translation;
    const auto first = std::find_if(source.begin(), source.end(), [](QChar c) { return c.isLetter(); });
    if (first != source.end() && first->isUpper() && !out.isEmpty() && !out.front().isSurrogate())
        out.front() = out.front().toUpper();
    return out;
}

} // namespace ApertiumWords

using Apertium::ReadingPart;
using namespace ApertiumWords;

ApertiumWordLookup::ApertiumWordLookup(Stages stages, std::chrono::milliseconds timeout)
    : m_analyser(stages.analyser, timeout)
    , m_tagger(stages.tagger, timeout)
    , m_bilingual(stages.bilingual, timeout)
    , m_generator(stages.generator, timeout)
{
    if (stages.reverseBilingual)
        m_reverse.emplace(*stages.reverseBilingual, timeout);
}

std::vector<Apertium::StageChain *> ApertiumWordLookup::chains()
{
    std::vector<Apertium::StageChain *> all {&m_analyser, &m_bilingual, &m_generator};
    if (m_reverse)
        all.push_back(&*m_reverse);
    return all;
}

bool ApertiumWordLookup::start()
{
    const auto all = chains();
    bool started = true;
    for (auto *chain : all)
        started = chain->start() && started;
    return started;
}

bool ApertiumWordLookup::prepare()
{
    if (!start())
        return false;
    m_tagger.words(u"a", {0, 1});
    const auto all = chains();
    return std::all_of(all.begin(), all.end(),
                       [](auto *chain) { return chain->request(QStringLiteral(".")).has_value(); });
}

std::vector<pid_t> ApertiumWordLookup::processGroups()
{
    std::vector<pid_t> groups = m_analyser.processGroups();
    for (const auto &more : {m_tagger.processGroups(), m_bilingual.processGroups(), m_generator.processGroups(),
                             m_reverse ? m_reverse->processGroups() : std::vector<pid_t> {}})
        groups.insert(groups.end(), more.begin(), more.end());
    return groups;
}

std::vector<ReadingPart> ApertiumWordLookup::analyse(const QString &text, bool *unknown)
{
    std::vector<ReadingPart> readings;
    const auto reply = m_analyser.request(Apertium::escape(text));
    if (!reply)
        return readings;
    const auto units = Apertium::readUnits(*reply);
    // One word, read whole: anything else (a word the analyser splits, characters it drops) is the
    // pipeline's to translate.
    if (units.size() != 1 || units.front().surface != text)
        return readings;
    if (units.front().analyses.value(0).startsWith(QLatin1Char('*'))) {
        *unknown = true;
        return readings;
    }
    for (const QString &analysis : units.front().analyses) {
        auto parts = Apertium::readAnalysis(analysis);
        // Joined words ("don't", "dámelo") need the transfer rules.
        if (parts.size() == 1)
            readings.push_back(std::move(parts.front()));
    }
    return readings;
}

std::optional<TaggedWord> ApertiumWordLookup::tagged(const QString &word, const std::optional<WordContext> &context,
                                                     bool *alone)
{
    *alone =
        !context || context->offset < 0 || QStringView(context->sentence).mid(context->offset, word.size()) != word;
    // On its own the word is tagged as a sentence of one word, the way the plain `apertium` command
    // reads it: the full stop it adds changes the tagger's choice ("run" is a noun then, not a
    // participle).
    const QString text = *alone ? word + QStringLiteral(" .") : context->sentence;
    const TextRange range = *alone ? TextRange {0, word.size()} : TextRange {context->offset, word.size()};
    const auto now = std::chrono::steady_clock::now();
    if (now < m_taggerRestsUntil.load())
        return std::nullopt;
    const std::vector<TaggedWord> words = m_tagger.words(text, range);
    if (words.empty()) {
        // The text holds the word, so the tagger failed: each try costs a restart, and a pair whose
        // tagger fails on a word fails on the next like it. Words are read without it for a while.
        qCWarning(lcWords) << "the tagger failed; words are read without it for" << taggerRest.count() << "s";
        m_taggerRestsUntil = now + taggerRest;
        return std::nullopt;
    }
    for (const TaggedWord &w : words) {
        if (w.range.start <= range.start && w.range.end() >= range.end())
            return w;
    }
    return std::nullopt;
}

std::vector<ReadingPart> ApertiumWordLookup::translations(const ReadingPart &source)
{
    std::vector<ReadingPart> alternatives;
    const auto reply = m_bilingual.request(Apertium::writeUnit(source));
    if (!reply)
        return alternatives;
    const auto units = Apertium::readUnits(*reply);
    if (units.empty())
        return alternatives;
    for (const QString &analysis : units.front().analyses) {
        auto parts = Apertium::readAnalysis(analysis);
        if (parts.size() == 1 && !parts.front().lemma.isEmpty())
            alternatives.push_back(std::move(parts.front()));
    }
    return alternatives;
}

std::vector<ReadingPart> ApertiumWordLookup::reversible(std::vector<ReadingPart> alternatives,
                                                        const ReadingPart &source)
{
    if (alternatives.size() < 2 || !m_reverse)
        return alternatives;
    // The pair lists a word's senses in no particular order ("head": "jefe" before "cabeza"). The
    // sense a dictionary gives first is the one whose word translates back to this one.
    QStringList request;
    for (const ReadingPart &alternative : alternatives)
        request.append(Apertium::writeUnit(alternative));
    const auto reply = m_reverse->request(request.join(QLatin1Char(' ')));
    if (!reply)
        return alternatives;
    const auto units = Apertium::readUnits(*reply);
    if (units.size() != alternatives.size())
        return alternatives;
    std::vector<ReadingPart> kept;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const bool returns = std::any_of(units[i].analyses.begin(), units[i].analyses.end(), [&](const QString &a) {
            const auto parts = Apertium::readAnalysis(a);
            return parts.size() == 1 && sameText(parts.front().lemma, source.lemma);
        });
        if (returns)
            kept.push_back(alternatives[i]);
    }
    return kept.empty() ? alternatives : kept;
}

QString ApertiumWordLookup::generate(const ReadingPart &target)
{
    const QStringList units = generationUnits(target);
    if (const auto reply = m_generator.request(units.join(unitBreak))) {
        for (const QString &form : reply->split(unitBreak)) {
            const QString text = Apertium::unescape(form).trimmed();
            // The generator marks a form it does not have with '#'.
            if (!text.isEmpty() && !text.startsWith(QLatin1Char('#')))
                return text;
        }
    }
    // Apertium's lemmas are the forms dictionaries list, so the lemma stands in for a form the
    // generator lacks.
    return (target.lemma + target.queue).trimmed();
}

ApertiumWordLookup::Senses ApertiumWordLookup::senses(const QString &word, const std::optional<WordContext> &context)
{
    bool unknown = false;
    const std::vector<ReadingPart> readings = analyse(word, &unknown);
    if (unknown)
        return {Outcome::unknownWord, {}};
    if (readings.empty())
        return {};

    bool alone = !context;
    std::optional<TaggedWord> taggedWord;
    // The tagger only has a choice to make between lemmas or parts of speech ("run" the noun or the
    // verb), not between the forms of one ("eat" the infinitive or the present).
    const bool ambiguous = std::any_of(readings.begin(), readings.end(), [&](const ReadingPart &r) {
        return r.lemma != readings.front().lemma || r.tags.value(0) != readings.front().tags.value(0);
    });
    if (ambiguous)
        taggedWord = tagged(word, context, &alone);
    const auto chosen = chooseReading(readings, taggedWord, alone);
    if (!chosen || !isContentWord(*chosen))
        return {};

    // A word that is not its own lemma ("ate", "houses") does not hold the dictionary form among its
    // readings; its lemma does.
    std::vector<ReadingPart> lemmaReadings = readings;
    if (!sameText(chosen->lemma, word)) {
        bool lemmaUnknown = false;
        lemmaReadings = analyse(chosen->lemma, &lemmaUnknown);
    }
    const ReadingPart source = dictionaryReading(lemmaReadings, *chosen).value_or(*chosen);

    std::vector<ReadingPart> alternatives = reversible(translations(source), source);
    if (alternatives.empty()) {
        qCDebug(lcWords) << "no dictionary entry for" << Apertium::writeUnit(source);
        return {};
    }
    return {Outcome::translated, std::move(alternatives)};
}

std::vector<ReadingPart> ApertiumWordLookup::sensesOf(const std::vector<ReadingPart> &sourceReadings)
{
    for (const ReadingPart &given : sourceReadings) {
        if (!isContentWord(given))
            continue;
        // The reading comes from another pair's dictionary, whose tags for this language can differ
        // from this pair's: the lemma is read again here and taken in the same part of speech, in the
        // form this pair's dictionary lists.
        bool unknown = false;
        const std::vector<ReadingPart> lemmaReadings = analyse(given.lemma + given.queue, &unknown);
        std::vector<ReadingPart> sameLexeme;
        for (const ReadingPart &r : lemmaReadings) {
            if (r.queue == given.queue)
                sameLexeme.push_back(r);
        }
        const ReadingPart source = dictionaryReading(sameLexeme, given).value_or(given);
        std::vector<ReadingPart> alternatives = reversible(translations(source), source);
        if (!alternatives.empty())
            return alternatives;
        // This pair may know the word in another part of speech only ("verde", an adjective to one
        // pair, a noun to the next): the same word is its sense still.
        for (const ReadingPart &other : sameLexeme) {
            if (!isContentWord(other) || other.tags.front() == given.tags.value(0))
                continue;
            const ReadingPart inForm = dictionaryReading(sameLexeme, other).value_or(other);
            alternatives = reversible(translations(inForm), inForm);
            if (!alternatives.empty())
                return alternatives;
        }
    }
    return {};
}

QString ApertiumWordLookup::wordForm(const ReadingPart &target, QStringView source)
{
    return followCase(generate(target), source);
}

ApertiumWordLookup::Result ApertiumWordLookup::translate(const QString &word, const std::optional<WordContext> &context)
{
    const Senses found = senses(word, context);
    if (found.outcome != Outcome::translated)
        return {found.outcome, {}};
    return {Outcome::translated, wordForm(found.readings.front(), word)};
}

} // namespace Lumivox::Native
