// Building one glance: locating the word, the English analysis, the translations of one back-end
// and the choice of the meaning among them.

#include "Models/LanguageCatalog.h"
#include "Services/Learn/EnglishGrammarNote.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Learn/IdiomFinder.h"
#include "Services/Learn/MarkedText.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Services/Translation/GoogleTranslateClient.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Shared/Text/TextUtils.h"

#include <QCoroFuture>
#include <QtConcurrent>

#include <unicode/uchar.h>

#include <algorithm>

namespace Lumivox {

namespace {

// Where a phrase around the word stops: the clause it stands in.
bool isClauseBoundary(QChar c)
{
    switch (c.unicode()) {
    case u',':
    case u';':
    case u':':
    case u'(':
    case u')':
    case u'"':
    case u'\u201C':
    case u'\u201D':
    case u'\u2014':
    case u'\u2013':
    case u'.':
    case u'!':
    case u'?':
    case u'\u3002':
    case u'\u3001':
    case u'\uFF0C':
        return true;
    default:
        return false;
    }
}

bool isPunctuation(char32_t c)
{
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_P_MASK) != 0;
}

bool containsPunctuation(QStringView text)
{
    bool found = false;
    Text::forEachScalar(text, [&](char32_t c) { found = found || isPunctuation(c); });
    return found;
}

bool containsLetter(QStringView text)
{
    bool found = false;
    Text::forEachScalar(text, [&](char32_t c) { found = found || u_isUAlphabetic(static_cast<UChar32>(c)); });
    return found;
}

qsizetype wordCount(QStringView text)
{
    qsizetype count = 0;
    bool inWord = false;
    Text::forEachScalar(text, [&](char32_t c) {
        const bool space = Text::isWhitespaceOrNewline(c);
        if (!space && !inWord)
            ++count;
        inWord = !space;
    });
    return count;
}

QString trimmedOfPunctuation(QStringView text)
{
    std::vector<std::pair<qsizetype, char32_t>> scalars; // UTF-16 start, scalar
    qsizetype at = 0;
    Text::forEachScalar(text, [&](char32_t c) {
        scalars.emplace_back(at, c);
        at += c > 0xFFFF ? 2 : 1;
    });
    auto trimmable = [](char32_t c) { return Text::isWhitespaceOrNewline(c) || isPunctuation(c); };
    std::size_t from = 0;
    std::size_t to = scalars.size();
    while (from < to && trimmable(scalars[from].second))
        ++from;
    while (to > from && trimmable(scalars[to - 1].second))
        --to;
    if (from == to)
        return {};
    const qsizetype begin = scalars[from].first;
    const qsizetype end = to < scalars.size() ? scalars[to].first : text.size();
    return text.mid(begin, end - begin).toString();
}

bool overlaps(const EnglishGrammar::Range &a, const TextRange &b)
{
    return a.length > 0 && b.length > 0 && a.start < b.end() && b.location < a.end();
}

/// Case-insensitive, literal.
bool containsText(const QString &text, const QString &part)
{
    return MarkedText::range(part, text).has_value();
}

struct Analysis
{
    std::optional<IdiomFinder::Match> idiom;
    std::optional<EnglishGrammar::Line> grammar;
    std::optional<QString> base;
    std::optional<QString> compound;
};

// Runs the tagger: never on the UI thread.
Analysis analyse(const QString &word, const QString &sentence, const QString &source, TextRange range)
{
    Analysis analysis;
    if (source != QLatin1String("en"))
        return analysis;
    const auto tokens = EnglishGrammar::tokens(sentence);
    const EnglishGrammar::Range covering {range.location, range.length};
    analysis.idiom = IdiomFinder::find(sentence, covering, tokens);
    analysis.grammar = EnglishGrammar::line(word, sentence, tokens, covering);
    analysis.base = EnglishGrammar::baseForm(word, sentence, tokens, covering);
    analysis.compound = GlanceTranslator::compound(range, sentence, tokens);
    return analysis;
}

QCoro::Task<std::optional<QString>> none()
{
    co_return std::nullopt;
}

QCoro::Task<std::optional<StyledText>> noStyledText()
{
    co_return std::nullopt;
}

QCoro::Task<std::optional<Glance>> idiomGlance(QString word, IdiomFinder::Match match, Analysis analysis,
                                               GlanceTranslator::PlainTranslation plain, std::stop_source children)
{
    QString label = word;
    if (analysis.grammar && analysis.grammar->tag == QLatin1String("verb"))
        label = QStringLiteral("to ") + analysis.base.value_or(word);
    auto labelling = plain(label, children.get_token());
    auto rewriting = plain(match.rewritten, children.get_token());
    const auto meaning = co_await labelling;
    if (!meaning) {
        children.request_stop();
        co_await rewriting;
        co_return std::nullopt;
    }
    const auto sentence = co_await rewriting;
    Glance glance;
    glance.meaning = *meaning;
    glance.grammar =
        EnglishGrammar::Line {QStringLiteral("idiom"), match.idiom + QStringLiteral(" = ") + match.meaning};
    if (sentence)
        glance.sentence = StyledText(*sentence);
    glance.base = GlanceTranslator::distinct(analysis.base, word);
    co_return glance;
}

QCoro::Task<std::optional<Glance>> wordGlance(QString word, QString sentence, TextRange range, Analysis analysis,
                                              GlanceTranslator::PlainTranslation plain,
                                              GlanceTranslator::MarkedTranslation marked, std::stop_source children)
{
    std::vector<TextRange> marks {range};
    if (analysis.grammar && analysis.grammar->tag == QLatin1String("phrasal verb")) {
        const QStringList parts = analysis.grammar->text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!parts.isEmpty()) {
            const qsizetype at = sentence.indexOf(parts.last(), range.end(), Qt::CaseSensitive);
            if (at >= 0)
                marks.push_back(TextRange {at, parts.last().size()});
        }
    }
    const bool isModal = EnglishGrammar::modals().contains(Text::lowercased(word));
    const auto token = children.get_token();

    // At most two translations at once: the marked sentence with either the modal word alone or the
    // marked phrase.
    auto alone = isModal ? plain(word, token) : none();
    const auto phrase = isModal ? std::nullopt : GlanceTranslator::phrase(marks, sentence, 2);
    auto phrasing = phrase ? marked(phrase->text, phrase->marks, token) : noStyledText();
    auto translating = marked(sentence, marks, token);
    const auto translated = co_await translating;

    if (isModal) {
        const auto meaning = co_await alone;
        co_await phrasing;
        if (!meaning)
            co_return std::nullopt;
        co_return Glance {*meaning, analysis.grammar, translated, GlanceTranslator::distinct(analysis.base, word)};
    }
    co_await alone;

    const auto phraseTranslation = co_await phrasing;
    // A stopped glance yields nothing anyway; asking for more would only keep a back-end busy.
    if (token.stop_requested())
        co_return std::nullopt;
    std::optional<QString> sentenceText;
    QString sentenceMark;
    if (translated) {
        sentenceText = translated->text();
        sentenceMark = MarkedText::markedWords(*translated);
    }
    std::optional<QString> phraseText;
    QString phraseMark;
    if (phraseTranslation) {
        phraseText = phraseTranslation->text();
        phraseMark = MarkedText::markedWords(*phraseTranslation);
    }
    GlanceTranslator::LazyTranslation compound;
    if (analysis.compound)
        compound = [plain, text = *analysis.compound, token] { return plain(text, token); };
    GlanceTranslator::LazyTranslation wordAlone = [plain, word, token] { return plain(word, token); };
    auto choosing =
        GlanceTranslator::contextMeaning(sentenceMark, phraseMark, phraseText, sentenceText, word, compound, wordAlone);
    const auto meaning = co_await choosing;
    if (!meaning)
        co_return std::nullopt;

    std::optional<StyledText> shown;
    if (translated) {
        if (MarkedText::markedWords(*translated) == *meaning)
            shown = translated;
        else if (!meaning->isEmpty() && MarkedText::range(*meaning, translated->text()))
            shown = MarkedText::remarked(*translated, *meaning);
        else
            shown = MarkedText::unmarked(*translated);
    }
    co_return Glance {*meaning, analysis.grammar, shown, GlanceTranslator::distinct(analysis.base, word)};
}

// ---- The two back-ends -------------------------------------------------------------------------

enum class BackendKind { apple, google };

struct Backend
{
    BackendKind kind;
    /// Lower-cased.
    QString target;
    /// The service that translates for `apple`.
    AppleTranslateService *onDevice = nullptr;
};

std::optional<QString> googleKey()
{
    return KeychainStorage::get(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService);
}

QCoro::Task<std::optional<QString>> plainTranslation(QString text, QString source, Backend backend,
                                                     std::optional<Native::WordContext> context, std::stop_token stop)
{
    if (backend.kind == BackendKind::google) {
        const GoogleTranslateClient client(backend.target, googleKey());
        auto request = client.translate(text, GlanceTranslator::googleSource(source), false, stop);
        auto result = co_await request;
        co_return result;
    }
    auto request = backend.onDevice->translate(text, source, backend.target, std::move(context));
    auto result = co_await request;
    co_return result;
}

QCoro::Task<std::optional<StyledText>> markedTranslation(QString text, std::vector<TextRange> marks, QString source,
                                                         Backend backend, std::stop_token stop)
{
    if (backend.kind == BackendKind::google) {
        const GoogleTranslateClient client(backend.target, googleKey());
        auto request =
            client.translate(MarkedText::html(text, marks), GlanceTranslator::googleSource(source), true, stop);
        const auto html = co_await request;
        if (!html)
            co_return std::nullopt;
        co_return MarkedText::attributedFromHTML(*html);
    }
    auto request = backend.onDevice->translateMarked(MarkedText::attributed(text, marks), source, backend.target);
    auto result = co_await request;
    co_return result;
}

} // namespace

// ---------------------------------------------------------------------------------------------------

QCoro::Task<std::optional<Glance>> GlanceTranslator::translate(AppleTranslateService *onDevice, QString word,
                                                               QString sentence, QString target, bool hasGoogleKey,
                                                               std::optional<qsizetype> wordOffset,
                                                               std::stop_token stop)
{
    const auto source = glanceSource(word, sentence, target, hasGoogleKey);
    if (!source)
        co_return std::nullopt;
    const QString trimmed = Text::trimmed(sentence);
    const QString to = Text::lowercased(target);
    // The offset counts from the start of the sentence as the caller holds it, leading white space
    // included.
    if (wordOffset)
        *wordOffset -= sentence.indexOf(trimmed);

    std::vector<Backend> backends;
    if (LanguageCatalog::translatesOnDevice(*source, to))
        backends.push_back({BackendKind::apple, to, onDevice});
    if (hasGoogleKey)
        backends.push_back({BackendKind::google, to});

    // The word translated alone is read in the part of speech it has in this sentence.
    std::optional<Native::WordContext> wordContext;
    if (const auto range = wordRange(word, trimmed, wordOffset))
        wordContext = Native::WordContext {trimmed, range->location};

    for (const Backend &backend : backends) {
        if (stop.stop_requested())
            co_return std::nullopt;
        PlainTranslation plain = [source = *source, backend, word, wordContext](QString text, std::stop_token token) {
            auto context = text == word ? wordContext : std::nullopt;
            return plainTranslation(std::move(text), source, backend, std::move(context), std::move(token));
        };
        MarkedTranslation marked = [source = *source, backend](QString text, std::vector<TextRange> marks,
                                                               std::stop_token token) {
            return markedTranslation(std::move(text), std::move(marks), source, backend, std::move(token));
        };
        auto building = build(word, trimmed, *source, wordOffset, plain, marked, stop);
        auto glance = co_await building;
        if (glance)
            co_return glance;
    }
    co_return std::nullopt;
}

std::optional<QString> GlanceTranslator::glanceSource(const QString &word, const QString &sentence,
                                                      const QString &target, bool hasGoogleKey)
{
    if (!hasContext(word, sentence))
        return std::nullopt;
    const QString to = Text::lowercased(target);
    auto source = sourceLanguage(Text::trimmed(sentence));
    if (!source || *source == to)
        return std::nullopt;
    if (!hasGoogleKey && !LanguageCatalog::translatesOnDevice(*source, to))
        return std::nullopt;
    return source;
}

bool GlanceTranslator::canGlance(const QString &word, const QString &sentence, const QString &target,
                                 bool hasGoogleKey) const
{
    if (m_compute)
        return hasContext(word, sentence);
    return glanceSource(word, sentence, target, hasGoogleKey).has_value();
}

bool GlanceTranslator::hasContext(const QString &word, const QString &sentence)
{
    // A line of the word and punctuation ("river.", "(river)") is the word alone too.
    return sentence.contains(word) && Text::words(sentence).size() > 1;
}

QCoro::Task<std::optional<Glance>> GlanceTranslator::build(QString word, QString sentence, QString source,
                                                           std::optional<qsizetype> wordOffset, PlainTranslation plain,
                                                           MarkedTranslation marked, std::stop_token stop)
{
    const auto range = wordRange(word, sentence, wordOffset);
    if (!range || stop.stop_requested())
        co_return std::nullopt;

    auto analysing =
        QtConcurrent::run([word, sentence, source, at = *range] { return analyse(word, sentence, source, at); });
    const Analysis analysis = co_await analysing;
    if (stop.stop_requested())
        co_return std::nullopt;

    // Cancelling the glance cancels its translations.
    std::stop_source children;
    std::stop_callback cascade(stop, [children]() mutable { children.request_stop(); });

    if (analysis.idiom) {
        auto explaining = idiomGlance(word, *analysis.idiom, analysis, plain, children);
        auto glance = co_await explaining;
        co_return glance;
    }
    auto meaning = wordGlance(word, sentence, *range, analysis, plain, marked, children);
    auto glance = co_await meaning;
    co_return glance;
}

std::optional<TextRange> GlanceTranslator::wordRange(const QString &word, const QString &sentence,
                                                     std::optional<qsizetype> utf16Offset)
{
    if (word.isEmpty())
        return std::nullopt;
    if (utf16Offset && *utf16Offset >= 0) {
        const qsizetype at = *utf16Offset;
        if (sentence.size() >= at + word.size() && QStringView(sentence).mid(at, word.size()) == word
            && !Text::splitsSurrogatePair(sentence, at) && !Text::splitsSurrogatePair(sentence, at + word.size())) {
            return TextRange {at, word.size()};
        }
    }
    std::optional<TextRange> found;
    Text::enumerateWords(sentence, [&](const Text::Segment &segment) {
        if (Text::isWordLike(segment) && QStringView(sentence).mid(segment.start, segment.length) == word) {
            found = TextRange {segment.start, segment.length};
            return false;
        }
        return true;
    });
    return found;
}

std::optional<GlanceTranslator::Phrase> GlanceTranslator::phrase(const std::vector<TextRange> &marks,
                                                                 const QString &sentence, int radius)
{
    if (marks.empty() || radius <= 0)
        return std::nullopt;
    qsizetype lower = marks.front().location;
    qsizetype upper = marks.front().end();
    for (const TextRange &mark : marks) {
        lower = std::min(lower, mark.location);
        upper = std::max(upper, mark.end());
    }
    if (lower < 0 || upper > sentence.size() || lower > upper)
        return std::nullopt;

    qsizetype clauseStart = 0;
    for (qsizetype i = lower - 1; i >= 0; --i) {
        if (isClauseBoundary(sentence.at(i))) {
            clauseStart = i + 1;
            break;
        }
    }
    qsizetype clauseEnd = sentence.size();
    for (qsizetype i = upper; i < sentence.size(); ++i) {
        if (isClauseBoundary(sentence.at(i))) {
            clauseEnd = i;
            break;
        }
    }

    std::vector<Text::Segment> before;
    for (const Text::Segment &segment : Text::words(QStringView(sentence).mid(clauseStart, lower - clauseStart)))
        before.push_back({clauseStart + segment.start, segment.length, segment.ruleStatus});
    std::vector<Text::Segment> after;
    Text::enumerateWords(QStringView(sentence).mid(upper, clauseEnd - upper), [&](const Text::Segment &segment) {
        if (!Text::isWordLike(segment))
            return true;
        after.push_back({upper + segment.start, segment.length, segment.ruleStatus});
        return static_cast<int>(after.size()) < radius;
    });

    const qsizetype start =
        before.empty() ? lower : before[before.size() - std::min(before.size(), std::size_t(radius))].start;
    const qsizetype end = after.empty() ? upper : after.back().end();
    if (start == lower && end == upper)
        return std::nullopt;
    Phrase result;
    result.text = sentence.mid(start, end - start);
    if (trimmedOfPunctuation(result.text) == trimmedOfPunctuation(sentence))
        return std::nullopt;
    for (const TextRange &mark : marks) {
        if (mark.location >= start && mark.end() <= end)
            result.marks.push_back({mark.location - start, mark.length});
    }
    return result;
}

std::optional<QString> GlanceTranslator::compound(TextRange word, const QString &sentence,
                                                  const std::vector<EnglishGrammar::Token> &tokens)
{
    const auto hovered =
        std::find_if(tokens.begin(), tokens.end(), [&](const auto &token) { return overlaps(token.range, word); });
    if (hovered == tokens.end() || hovered == tokens.begin() || hovered->cls != QLatin1String("Noun"))
        return std::nullopt;
    auto joins = [&](const EnglishGrammar::Token &first, const EnglishGrammar::Token &next) {
        const qsizetype gap = next.range.start - first.range.end();
        return first.cls == QLatin1String("Noun") && gap >= 0
            && !containsPunctuation(QStringView(sentence).mid(first.range.end(), gap));
    };
    auto earliest = hovered - 1;
    if (!joins(*earliest, *hovered))
        return std::nullopt;
    if (earliest != tokens.begin() && joins(*(earliest - 1), *earliest))
        --earliest;
    const qsizetype from = earliest->range.start;
    const qsizetype to = hovered->range.end();
    if (from < 0 || to > sentence.size())
        return std::nullopt;
    return sentence.mid(from, to - from);
}

QCoro::Task<std::optional<QString>> GlanceTranslator::contextMeaning(QString sentenceMark, QString phraseMark,
                                                                     std::optional<QString> phrase,
                                                                     std::optional<QString> sentence, QString word,
                                                                     LazyTranslation compound, LazyTranslation alone)
{
    auto agrees = [&](const QString &candidate) {
        return sentence && !candidate.isEmpty() && containsText(*sentence, candidate);
    };
    const auto s = trustedMeaning(sentenceMark, word);
    const auto p = trustedMeaning(phraseMark, word);
    if (s && (!phrase || containsText(*phrase, *s)))
        co_return s;
    if (p && agrees(*p))
        co_return p;

    std::optional<QString> c;
    if (compound) {
        auto translating = compound();
        const auto translated = co_await translating;
        if (translated)
            c = trustedMeaning(*translated, word);
    }
    // The sentence's own mark beats the word alone; only a compound can overrule it.
    if (s)
        co_return c ? c : s;
    if (c && agrees(*c))
        co_return c;

    std::optional<QString> a;
    if (alone) {
        auto translating = alone();
        a = co_await translating;
    }
    if (a && agrees(*a))
        co_return a;
    if (p)
        co_return p;
    if (c)
        co_return c;
    co_return a;
}

std::optional<QString> GlanceTranslator::trustedMeaning(const QString &candidate, const QString &word)
{
    const QString trimmed = Text::trimmed(candidate);
    if (!containsLetter(trimmed))
        return std::nullopt;
    if (wordCount(trimmed) >= 5)
        return std::nullopt;
    const qsizetype length = Text::graphemeCount(trimmed);
    const qsizetype wordLength = Text::graphemeCount(word);
    if ((wordLength <= 5 && length > 48) || (wordLength >= 6 && length > 8 * wordLength))
        return std::nullopt;
    return trimmed;
}

std::optional<QString> GlanceTranslator::distinct(const std::optional<QString> &base, const QString &word)
{
    if (!base || Text::lowercased(*base) == Text::lowercased(word))
        return std::nullopt;
    return base;
}

} // namespace Lumivox
