#include "Native/Translation/ApertiumTranslator.h"

#include "Native/Translation/RouteWords.h"

#include <QLoggingCategory>

#include <algorithm>
#include <set>

Q_LOGGING_CATEGORY(lcTranslation, "app.lumivox.Translation")

namespace Lumivox::Native {

namespace ApertiumTranslation {

namespace {

// Three-letter forms of the table's on-device codes, as newer Apertium pairs name their modes.
const std::map<QString, QString> &threeLetterCodes()
{
    static const std::map<QString, QString> codes {
        {QStringLiteral("ar"), QStringLiteral("ara")}, {QStringLiteral("de"), QStringLiteral("deu")},
        {QStringLiteral("en"), QStringLiteral("eng")}, {QStringLiteral("es"), QStringLiteral("spa")},
        {QStringLiteral("fr"), QStringLiteral("fra")}, {QStringLiteral("hi"), QStringLiteral("hin")},
        {QStringLiteral("id"), QStringLiteral("ind")}, {QStringLiteral("it"), QStringLiteral("ita")},
        {QStringLiteral("ja"), QStringLiteral("jpn")}, {QStringLiteral("ko"), QStringLiteral("kor")},
        {QStringLiteral("nl"), QStringLiteral("nld")}, {QStringLiteral("pl"), QStringLiteral("pol")},
        {QStringLiteral("pt"), QStringLiteral("por")}, {QStringLiteral("ru"), QStringLiteral("rus")},
        {QStringLiteral("th"), QStringLiteral("tha")}, {QStringLiteral("tr"), QStringLiteral("tur")},
        {QStringLiteral("uk"), QStringLiteral("ukr")}, {QStringLiteral("vi"), QStringLiteral("vie")},
    };
    return codes;
}

// The pairs between on-device languages that Debian packages for Apertium: such a pair is offered
// even when its package is not installed.
const std::set<QString> &knownPairs()
{
    static const std::set<QString> pairs {
        QStringLiteral("en-es"), QStringLiteral("es-en"), QStringLiteral("fr-es"), QStringLiteral("es-fr"),
        QStringLiteral("es-pt"), QStringLiteral("pt-es"), QStringLiteral("es-it"), QStringLiteral("it-es"),
        QStringLiteral("ru-uk"), QStringLiteral("uk-ru"),
    };
    return pairs;
}

bool isPlainCode(const QString &code)
{
    if (code.size() < 2 || code.size() > 3)
        return false;
    return std::all_of(code.begin(), code.end(), [](QChar c) { return c >= u'a' && c <= u'z'; });
}

char32_t codePointAt(QStringView text, qsizetype i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[i + 1]);
    if (c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate())
        return QChar::surrogateToUcs4(text[i - 1], c);
    return c.unicode();
}

bool isWordCodePoint(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

bool isJoiner(QChar c)
{
    return c == u'\'' || c == u'\u2019' || c == u'-' || c == u'\u2010' || c == u'\u2011';
}

// Which UTF-16 units belong to words; an apostrophe or hyphen between two letters is part of its word.
std::vector<bool> wordUnits(QStringView text)
{
    std::vector<bool> word(std::size_t(text.size()), false);
    for (qsizetype i = 0; i < text.size(); ++i)
        word[std::size_t(i)] = isWordCodePoint(codePointAt(text, i));
    for (qsizetype i = 1; i + 1 < text.size(); ++i) {
        if (isJoiner(text[i]) && word[std::size_t(i - 1)] && word[std::size_t(i + 1)])
            word[std::size_t(i)] = true;
    }
    return word;
}

bool isWhitespaceOnly(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

// Letters, marks and digits, with an apostrophe or hyphen only between two of them.
bool isOneWord(QStringView text)
{
    const std::vector<bool> word = wordUnits(text);
    return !text.isEmpty() && std::all_of(word.begin(), word.end(), [](bool w) { return w; });
}

qsizetype leadingSpace(QStringView text)
{
    qsizetype n = 0;
    while (n < text.size() && text[n].isSpace())
        ++n;
    return n;
}

qsizetype trailingSpace(QStringView text)
{
    qsizetype n = 0;
    while (n < text.size() && text[text.size() - 1 - n].isSpace())
        ++n;
    return n;
}

// A mark character that the source itself puts before a word is the writer's own ("#tag"), not
// Apertium's note of an unknown word.
bool sourceUsesMark(QStringView source, QChar mark)
{
    for (qsizetype i = 0; i + 1 < source.size(); ++i) {
        if (source[i] == mark && isWordCodePoint(codePointAt(source, i + 1)))
            return true;
    }
    return false;
}

// Apertium capitalises what it takes for a sentence start ("house" → "Casa"); a word looked up in
// lower case should come back in lower case.
void followInitialCase(QString &text, QStringView source)
{
    const auto firstLetter = [](QStringView s) -> qsizetype {
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (s[i].isLetter())
                return i;
        }
        return -1;
    };
    const qsizetype inSource = firstLetter(source);
    const qsizetype inText = firstLetter(text);
    if (inSource < 0 || inText < 0 || !source[inSource].isLower())
        return;
    const QChar c = text[inText];
    if (!(c.isUpper() || c.isTitleCase()))
        return;
    // An all-capitals word is an acronym or a name; leave it.
    if (inText + 1 < text.size() && text[inText + 1].isUpper())
        return;
    const QChar lower = c.toLower();
    if (!lower.isSurrogate())
        text[inText] = lower;
}

std::vector<MarkedPassage::Span> tidySpans(std::vector<MarkedPassage::Span> spans, QStringView text)
{
    std::vector<MarkedPassage::Span> trimmed;
    for (MarkedPassage::Span span : spans) {
        qsizetype from = std::clamp<qsizetype>(span.location, 0, text.size());
        qsizetype to = std::clamp<qsizetype>(span.end(), from, text.size());
        while (from < to && text[from].isSpace())
            ++from;
        while (to > from && text[to - 1].isSpace())
            --to;
        if (from < to)
            trimmed.push_back({from, to - from});
    }
    std::sort(trimmed.begin(), trimmed.end(),
              [](const MarkedPassage::Span &a, const MarkedPassage::Span &b) { return a.location < b.location; });
    // A span of several words comes back as one blank per word; what lies between them is still part
    // of the marked phrase.
    std::vector<MarkedPassage::Span> merged;
    for (const MarkedPassage::Span &span : trimmed) {
        if (!merged.empty()) {
            MarkedPassage::Span &last = merged.back();
            if (span.location <= last.end() || isWhitespaceOnly(text.mid(last.end(), span.location - last.end()))) {
                last.length = std::max(last.end(), span.end()) - last.location;
                continue;
            }
        }
        merged.push_back(span);
    }
    return merged;
}

} // namespace

QStringList modeNames(const QString &source, const QString &target)
{
    if (!isPlainCode(source) || !isPlainCode(target))
        return {};
    auto forms = [](const QString &code) {
        QStringList list {code};
        if (auto it = threeLetterCodes().find(code); it != threeLetterCodes().end())
            list.append(it->second);
        return list;
    };
    QStringList names;
    for (const QString &s : forms(source)) {
        for (const QString &t : forms(target))
            names.append(s + QLatin1Char('-') + t);
    }
    names.removeDuplicates();
    return names;
}

QString languageOfModeCode(const QString &code)
{
    for (const auto &[twoLetters, threeLetters] : threeLetterCodes()) {
        if (code == threeLetters)
            return twoLetters;
    }
    return isPlainCode(code) ? code : QString();
}

QString encode(const MarkedPassage &passage)
{
    const QString &text = passage.text;
    const std::vector<bool> word = wordUnits(text);
    auto isWord = [&](qsizetype i) { return word[std::size_t(i)]; };

    // A blank must wrap whole words: one that starts or ends inside a word splits it and Apertium no
    // longer recognises either half.
    std::vector<MarkedPassage::Span> spans;
    for (const MarkedPassage::Span &mark : passage.marks) {
        qsizetype from = std::clamp<qsizetype>(mark.location, 0, text.size());
        qsizetype to = std::clamp<qsizetype>(mark.end(), from, text.size());
        while (from < to && !isWord(from))
            ++from;
        while (to > from && !isWord(to - 1))
            --to;
        if (from >= to)
            continue;
        while (from > 0 && isWord(from - 1))
            --from;
        while (to < text.size() && isWord(to))
            ++to;
        spans.push_back({from, to - from});
    }
    std::sort(spans.begin(), spans.end(),
              [](const MarkedPassage::Span &a, const MarkedPassage::Span &b) { return a.location < b.location; });

    QString out;
    out.reserve(text.size() + 16);
    qsizetype cursor = 0;
    qsizetype openUntil = -1;
    for (const MarkedPassage::Span &span : spans) {
        if (span.location < openUntil) {
            // Overlaps the blank just written: extend it.
            if (span.end() > openUntil) {
                out.chop(5); // "[[/]]"
                out += Apertium::escape(QStringView(text).mid(openUntil, span.end() - openUntil));
                out += QLatin1String("[[/]]");
                openUntil = span.end();
                cursor = openUntil;
            }
            continue;
        }
        out += Apertium::escape(QStringView(text).mid(cursor, span.location - cursor));
        out += QLatin1String("[[b]]");
        out += Apertium::escape(QStringView(text).mid(span.location, span.length));
        out += QLatin1String("[[/]]");
        cursor = openUntil = span.end();
    }
    out += Apertium::escape(QStringView(text).mid(cursor));
    return out;
}

namespace {

// A reply read: its text with escapes, blanks and unknown-word marks taken out, the spans its marking
// blanks wrapped (one per blank, as the stages left them) and where each unknown word starts.
struct Read
{
    QString text;
    std::vector<MarkedPassage::Span> spans;
    std::set<qsizetype> unknownWordStarts;
    /// Among them, the words with no rendering: unknown to the analyser ('*') or to the bilingual
    /// dictionary ('@'), which come back as they went in. A word the generator could not inflect ('#')
    /// is the target's lemma.
    std::set<qsizetype> untranslatedWordStarts;
};

Read readReply(QStringView reply, QStringView sourceText)
{
    const QChar unknownMarks[] = {u'*', u'@', u'#'};
    bool readsMark[3];
    for (int m = 0; m < 3; ++m)
        readsMark[m] = !sourceUsesMark(sourceText, unknownMarks[m]);
    auto isUnknownMark = [&](QChar c) {
        for (int m = 0; m < 3; ++m) {
            if (readsMark[m] && c == unknownMarks[m])
                return true;
        }
        return false;
    };

    Read read;
    QString &out = read.text;
    qsizetype openAt = -1; // where the marking blank being read opened in `out`, or -1

    auto lastIsWord = [&] { return !out.isEmpty() && isWordCodePoint(codePointAt(out, out.size() - 1)); };

    for (qsizetype i = 0; i < reply.size(); ++i) {
        const QChar c = reply[i];
        if (c == u'\\' && i + 1 < reply.size()) {
            out.append(reply[++i]);
            continue;
        }
        if (c == u'[') {
            const bool wordBound = i + 1 < reply.size() && reply[i + 1] == u'[';
            const QStringView close = wordBound ? QStringView(u"]]") : QStringView(u"]");
            const qsizetype start = i + (wordBound ? 2 : 1);
            const qsizetype end = reply.indexOf(close, start);
            if (end >= 0) {
                const QStringView content = reply.mid(start, end - start);
                if (wordBound && content == u"/") {
                    if (openAt >= 0) {
                        read.spans.push_back({openAt, out.size() - openAt});
                        openAt = -1;
                    }
                } else if (wordBound && RouteWords::isMarkBlank(content)) {
                    if (openAt < 0)
                        openAt = out.size();
                } else if (!wordBound) {
                    // A superblank holds formatting that passed through untouched.
                    out.append(Apertium::unescape(content));
                }
                i = end + close.size() - 1;
                continue;
            }
        }
        if (isUnknownMark(c) && !lastIsWord() && i + 1 < reply.size() && isWordCodePoint(codePointAt(reply, i + 1))) {
            read.unknownWordStarts.insert(out.size());
            if (c != u'#')
                read.untranslatedWordStarts.insert(out.size());
            continue;
        }
        out.append(c);
    }
    if (openAt >= 0)
        read.spans.push_back({openAt, out.size() - openAt});
    return read;
}

bool isWordAt(QStringView text, qsizetype i)
{
    return i >= 0 && i < text.size() && isWordCodePoint(codePointAt(text, i));
}

// Where `word` stands in `text` from `from` on, as a whole word or the end of one joined by an
// apostrophe ("almohada" in "L'almohada"); -1 when it does not.
qsizetype wordIndex(QStringView text, QStringView word, qsizetype from)
{
    for (qsizetype at = text.indexOf(word, from, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(word, at + 1, Qt::CaseInsensitive)) {
        if (!isWordAt(text, at - 1) && !isWordAt(text, at + word.size()))
            return at;
    }
    return -1;
}

// The post-generator joins what stands before a marked word to it, and the blank grows over the
// whole ("~in ~la [[b]]lonja" → "[[b]]nella lonja"): each span is narrowed to the words the
// generator marked, found in it in order. A span that holds none of them stays as it is.
void narrowToGenerated(std::vector<MarkedPassage::Span> &spans, QStringView text, const Read &generated)
{
    std::size_t next = 0;
    for (MarkedPassage::Span &span : spans) {
        const QStringView inSpan = text.mid(span.location, span.length);
        qsizetype from = -1;
        qsizetype to = -1;
        while (next < generated.spans.size()) {
            const MarkedPassage::Span g = generated.spans[next];
            const QStringView word = QStringView(generated.text).mid(g.location, g.length).trimmed();
            const qsizetype at = word.isEmpty() ? -1 : wordIndex(inSpan, word, std::max<qsizetype>(to, 0));
            if (at < 0)
                break;
            if (from < 0)
                from = at;
            to = at + word.size();
            ++next;
        }
        if (from >= 0)
            span = {span.location + from, to - from};
    }
}

// The generator's reply as text: its marks for the post-generator taken out.
QString withoutPostGenerationMarks(QStringView generated)
{
    QString out;
    out.reserve(generated.size());
    for (qsizetype i = 0; i < generated.size(); ++i) {
        const QChar c = generated[i];
        if (c == u'\\' && i + 1 < generated.size()) {
            out.append(c);
            out.append(generated[++i]);
            continue;
        }
        if (c == u'~' && isWordAt(generated, i + 1))
            continue;
        out.append(c);
    }
    return out;
}

} // namespace

Decoded decode(QStringView reply, QStringView sourceText, std::optional<QStringView> generated)
{
    Decoded decoded;
    Read read = readReply(reply, sourceText);
    const QString &out = read.text;
    std::vector<MarkedPassage::Span> &spans = read.spans;

    const std::vector<bool> word = wordUnits(out);
    auto startsWord = [&](qsizetype i) { return word[std::size_t(i)] && (i == 0 || !word[std::size_t(i - 1)]); };
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (startsWord(i)) {
            ++decoded.words;
            if (read.unknownWordStarts.count(i) > 0)
                ++decoded.unknownWords;
        }
    }

    if (generated)
        narrowToGenerated(spans, out, readReply(withoutPostGenerationMarks(*generated), sourceText));
    // A mark over nothing but untranslated words has no rendering: the word came back as it went in.
    std::erase_if(spans, [&](const MarkedPassage::Span &span) {
        int words = 0;
        for (qsizetype i = std::max<qsizetype>(span.location, 0); i < std::min(span.end(), out.size()); ++i) {
            if (!startsWord(i))
                continue;
            ++words;
            if (read.untranslatedWordStarts.count(i) == 0)
                return false;
        }
        return words > 0;
    });

    // Apertium adds and drops blanks at the ends (" Vi un coche"); the source's own ends are kept.
    const qsizetype lead = leadingSpace(out);
    const qsizetype trail = out.size() == lead ? 0 : trailingSpace(out);
    const QString core = out.mid(lead, out.size() - lead - trail);
    if (core.isEmpty()) {
        decoded.passage = MarkedPassage {};
        return decoded;
    }
    const QStringView sourceLead = sourceText.left(leadingSpace(sourceText));
    const QStringView sourceTrail = sourceText.right(trailingSpace(sourceText));
    QString text = sourceLead.toString() + core + sourceTrail.toString();
    followInitialCase(text, sourceText);
    for (MarkedPassage::Span &span : spans) {
        const qsizetype from = std::clamp<qsizetype>(span.location - lead, 0, core.size());
        const qsizetype to = std::clamp<qsizetype>(span.end() - lead, from, core.size());
        span = {from + sourceLead.size(), to - from};
    }
    decoded.passage = MarkedPassage {text, tidySpans(std::move(spans), text)};
    return decoded;
}

QString carriedOn(QStringView reply, QStringView sourceText)
{
    const QChar unknownMarks[] = {u'*', u'@', u'#'};
    bool readsMark[3];
    for (int m = 0; m < 3; ++m)
        readsMark[m] = !sourceUsesMark(sourceText, unknownMarks[m]);
    QString out;
    out.reserve(reply.size());
    bool afterWord = false;
    for (qsizetype i = 0; i < reply.size(); ++i) {
        const QChar c = reply[i];
        if (c == u'\\' && i + 1 < reply.size()) {
            out.append(c);
            out.append(reply[++i]);
            afterWord = isWordCodePoint(codePointAt(reply, i));
            continue;
        }
        if (c == u'[') {
            // A blank passes on whole: what it holds is formatting, not words.
            const bool wordBound = i + 1 < reply.size() && reply[i + 1] == u'[';
            const qsizetype end = reply.indexOf(wordBound ? QStringView(u"]]") : QStringView(u"]"), i + 1);
            if (end >= 0) {
                const qsizetype stop = end + (wordBound ? 2 : 1);
                out.append(reply.mid(i, stop - i));
                i = stop - 1;
                continue;
            }
        }
        bool isMark = c == u'~'; // the generator's note for the post-generator, which did not run
        for (int m = 0; m < 3; ++m)
            isMark = isMark || (readsMark[m] && c == unknownMarks[m]);
        if (isMark && !afterWord && i + 1 < reply.size() && isWordCodePoint(codePointAt(reply, i + 1)))
            continue;
        out.append(c);
        afterWord = isWordCodePoint(codePointAt(reply, i));
    }
    return out;
}

} // namespace ApertiumTranslation

using namespace ApertiumTranslation;

namespace {

std::optional<QString> installedMode(const QString &source, const QString &target)
{
    for (const QString &name : modeNames(source, target)) {
        if (Apertium::modeFile(name))
            return name;
    }
    return std::nullopt;
}

// One request through the pipelines of a route's pairs, one after the other. On a route, the first
// pair numbers the source's words (RouteWords) and hands on its generator's words, before its
// post-generator contracts them; the second pair reads the numbers back. The last pair's generator
// reply tells which words its marks were on.
TranslationResult<Decoded> exchangeThrough(const std::vector<ApertiumSession *> &pairs, const MarkedPassage &passage)
{
    if (passage.text.size() > maximumTextLength)
        return TranslationResult<Decoded>::failure({errorDomain, textTooLong});
    if (isWhitespaceOnly(passage.text))
        return TranslationResult<Decoded>::success(Decoded {MarkedPassage {passage.text, {}}, 0, 0});
    QString stream = encode(passage);
    RouteWords words;
    QString generated;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const bool last = i + 1 == pairs.size();
        Apertium::StageChain::Taps taps;
        if (i > 0) {
            stream = carriedOn(stream, passage.text);
            taps.tagged = [&](QString &tagged) { words.carry(tagged); };
            taps.translated = [&](QString &translated) { words.carryTranslations(translated); };
        } else if (!last) {
            taps.tagged = [&](QString &tagged) { words.number(tagged); };
        }
        taps.endAfterGeneration = !last;
        if (last)
            taps.toGenerate = &RouteWords::unmarkLeadingArticles;
        taps.generated = [&](QString &reply) {
            if (i > 0)
                words.unmarkNames(reply);
            if (last)
                generated = reply;
        };
        auto reply = pairs[i]->pass(stream, taps);
        if (!reply)
            return TranslationResult<Decoded>::failure({errorDomain, engineFailed});
        stream = std::move(*reply);
    }
    Decoded decoded =
        decode(stream, passage.text, generated.isEmpty() ? std::nullopt : std::optional(QStringView(generated)));
    if (decoded.words > 0 && decoded.unknownWords == decoded.words)
        return TranslationResult<Decoded>::failure({errorDomain, untranslated});
    return TranslationResult<Decoded>::success(std::move(decoded));
}

// A text through a route's pairs: one word through their dictionaries, anything else (and any word the
// dictionaries leave) through their pipelines, which escape and limit what they send.
TranslationResult<QString> wordThrough(const std::vector<ApertiumSession *> &pairs, const QString &text,
                                       const std::optional<WordContext> &context)
{
    const qsizetype lead = leadingSpace(text);
    const qsizetype trail = text.size() == lead ? 0 : trailingSpace(text);
    const QString word = text.mid(lead, text.size() - lead - trail);
    if (text.size() <= maximumTextLength && isOneWord(word)) {
        if (word.size() > longestWord)
            return TranslationResult<QString>::failure({errorDomain, untranslated});
        std::vector<ApertiumWordLookup *> lookups;
        for (ApertiumSession *pair : pairs) {
            if (auto *lookup = pair->wordLookup())
                lookups.push_back(lookup);
        }
        if (lookups.size() == pairs.size()) {
            const auto found = lookups.front()->senses(word, context);
            if (found.outcome == ApertiumWordLookup::Outcome::unknownWord)
                return TranslationResult<QString>::failure({errorDomain, untranslated});
            std::vector<Apertium::ReadingPart> senses = found.readings;
            for (std::size_t i = 1; i < lookups.size() && !senses.empty(); ++i)
                senses = lookups[i]->sensesOf(senses);
            if (!senses.empty()) {
                return TranslationResult<QString>::success(
                    text.left(lead) + lookups.back()->wordForm(senses.front(), word) + text.right(trail));
            }
            // A sense the next dictionary cannot carry is no reason to take the pipeline's reading,
            // which is the tagger's guess for a word alone ("mat" → "tuez").
            if (found.outcome == ApertiumWordLookup::Outcome::translated)
                return TranslationResult<QString>::failure({errorDomain, untranslated});
        }
    }
    auto result = exchangeThrough(pairs, MarkedPassage {text, {}});
    if (!result.ok())
        return TranslationResult<QString>::failure(*result.error);
    return TranslationResult<QString>::success(result.value->passage.text);
}

TranslationResult<MarkedPassage> passageThrough(const std::vector<ApertiumSession *> &pairs,
                                                const MarkedPassage &passage)
{
    auto result = exchangeThrough(pairs, passage);
    if (!result.ok())
        return TranslationResult<MarkedPassage>::failure(*result.error);
    return TranslationResult<MarkedPassage>::success(std::move(result.value->passage));
}

} // namespace

ApertiumSession::ApertiumSession(QString source, QString target, QString mode)
    : m_source(std::move(source))
    , m_target(std::move(target))
    , m_name(std::move(mode))
    , m_timeout(std::chrono::milliseconds(3000))
{ }

ApertiumSession::ApertiumSession(QString source, QString target, QString name, QString script,
                                 std::chrono::milliseconds timeout)
    : m_source(std::move(source))
    , m_target(std::move(target))
    , m_name(std::move(name))
    , m_script(std::move(script))
    , m_timeout(timeout)
{ }

Apertium::StageChain *ApertiumSession::pipeline()
{
    std::lock_guard lock(m_mutex);
    if (!m_pipeline) {
        if (m_script) {
            m_pipeline.emplace(QStringList {*m_script}, m_timeout);
        } else {
            const auto script = Apertium::NullFlushPipeline::translationScript(m_name);
            if (!script) {
                qCWarning(lcTranslation) << "no pipeline for" << m_name;
                return nullptr;
            }
            // The generator marks unknown words (-g), so that an untranslated word is told from a
            // translation.
            m_pipeline.emplace(Apertium::stagesOf(Apertium::modeCommands(*script)), m_timeout);
        }
    }
    return &*m_pipeline;
}

ApertiumWordLookup *ApertiumSession::wordLookup()
{
    std::lock_guard lock(m_mutex);
    if (!m_wordLookupMade) {
        m_wordLookupMade = true;
        if (m_script)
            return nullptr;
        const auto script = Apertium::NullFlushPipeline::translationScript(m_name);
        const auto reverseMode = installedMode(m_target, m_source);
        const auto reverseScript =
            reverseMode ? Apertium::NullFlushPipeline::translationScript(*reverseMode) : std::nullopt;
        const auto stages = script ? ApertiumWords::stages(*script, reverseScript) : std::nullopt;
        if (stages) {
            m_wordLookup = std::make_unique<ApertiumWordLookup>(*stages, m_timeout);
            m_wordLookup->start();
        } else {
            qCWarning(lcTranslation) << "no word lookup for" << m_name;
        }
    }
    return m_wordLookup.get();
}

std::vector<pid_t> ApertiumSession::wordLookupProcessGroups()
{
    auto *lookup = wordLookup();
    return lookup ? lookup->processGroups() : std::vector<pid_t> {};
}

std::vector<pid_t> ApertiumSession::processGroups()
{
    std::lock_guard lock(m_mutex);
    return m_pipeline ? m_pipeline->processGroups() : std::vector<pid_t> {};
}

bool ApertiumSession::prepare()
{
    auto *stages = pipeline();
    if (!stages)
        return false;
    auto *lookup = wordLookup();
    // Every stage loads its data at once; a first request waits for them, so the session is ready
    // only once one has been answered.
    stages->start();
    if (!stages->request(QStringLiteral(".")).has_value())
        return false;
    return !lookup || lookup->prepare();
}

std::optional<QString> ApertiumSession::pass(const QString &stream, const Apertium::StageChain::Taps &taps)
{
    auto *stages = pipeline();
    if (!stages)
        return std::nullopt;
    return stages->request(stream, taps);
}

TranslationResult<QString> ApertiumSession::translate(const QString &text)
{
    return translateWord(text, std::nullopt);
}

TranslationResult<QString> ApertiumSession::translateWord(const QString &text,
                                                          const std::optional<WordContext> &context)
{
    return wordThrough({this}, text, context);
}

TranslationResult<MarkedPassage> ApertiumSession::translate(const MarkedPassage &passage)
{
    return passageThrough({this}, passage);
}

ApertiumRouteSession::ApertiumRouteSession(QString source, QString target, std::shared_ptr<ApertiumSession> first,
                                           std::shared_ptr<ApertiumSession> second)
    : m_source(std::move(source))
    , m_target(std::move(target))
    , m_first(std::move(first))
    , m_second(std::move(second))
{ }

bool ApertiumRouteSession::prepare()
{
    const bool first = m_first->prepare();
    return m_second->prepare() && first;
}

TranslationResult<QString> ApertiumRouteSession::translate(const QString &text)
{
    return translateWord(text, std::nullopt);
}

TranslationResult<QString> ApertiumRouteSession::translateWord(const QString &text,
                                                               const std::optional<WordContext> &context)
{
    return wordThrough({m_first.get(), m_second.get()}, text, context);
}

TranslationResult<MarkedPassage> ApertiumRouteSession::translate(const MarkedPassage &passage)
{
    return passageThrough({m_first.get(), m_second.get()}, passage);
}

ApertiumTranslator::ApertiumTranslator(TranslationRoutes routes)
    : m_routes(std::move(routes))
{ }

const TranslationRoutes &ApertiumTranslator::routes()
{
    // Found once: the same answer for the whole run, as the language catalogue has it.
    std::call_once(m_routesFound, [this] {
        if (!m_routes)
            m_routes = TranslationRoutes::installed();
    });
    return *m_routes;
}

Translator::Availability ApertiumTranslator::availability(const QString &source, const QString &target)
{
    if (routes().route(source, target))
        return Availability::installed;
    if (knownPairs().count(source + QLatin1Char('-') + target) > 0)
        return Availability::supported;
    return Availability::unsupported;
}

std::shared_ptr<ApertiumSession> ApertiumTranslator::pairSession(const QString &source, const QString &target,
                                                                 const QString &mode)
{
    std::lock_guard lock(m_mutex);
    auto &slot = m_pairs[source + QLatin1Char('>') + target];
    if (!slot)
        slot = std::make_shared<ApertiumSession>(source, target, mode);
    return slot;
}

std::shared_ptr<TranslationSession> ApertiumTranslator::session(const QString &source, const QString &target)
{
    const auto route = routes().route(source, target);
    if (!route)
        return nullptr;
    if (!route->middle)
        return pairSession(source, target, route->modes.front());
    // The pairs' sessions are the ones their direct use gets, so that their stages run once.
    auto first = pairSession(source, *route->middle, route->modes.front());
    auto second = pairSession(*route->middle, target, route->modes.back());
    std::lock_guard lock(m_mutex);
    auto &slot = m_routeSessions[source + QLatin1Char('>') + target];
    if (!slot)
        slot = std::make_shared<ApertiumRouteSession>(source, target, std::move(first), std::move(second));
    return slot;
}

std::shared_ptr<Translator> Translator::makeDefault()
{
    return std::make_shared<ApertiumTranslator>();
}

} // namespace Lumivox::Native
