#include "Services/Learn/IdiomFinder.h"

#include "Services/Learn/EnglishGrammarTables.h"
#include "Shared/Text/TextUtils.h"

#include <algorithm>

namespace Lumivox::IdiomFinder {

using EnglishGrammar::Range;
using EnglishGrammar::Token;

namespace {

// Patterns split once into words, and every literal word numbered, so that a scan of the whole table
// compares integers only.
struct PatternWord
{
    enum class Kind { literal, possessive, subject, reflexive, anyone };
    Kind kind = Kind::literal;
    QStringList forms; // a literal's "|" forms
    std::vector<int> ids; // their numbers in the vocabulary
};

struct CompiledEntry
{
    const Entry *entry = nullptr;
    std::vector<PatternWord> words;
};

struct CompiledTable
{
    std::vector<CompiledEntry> entries; // in the order they are tried
    QHash<QString, int> vocabulary; // every literal form of every pattern
};

const CompiledTable &compiledTable()
{
    static const CompiledTable compiled = [] {
        CompiledTable out;
        for (const Entry &entry : sortedEntries()) {
            CompiledEntry c {&entry, {}};
            for (const QString &word : entry.pattern.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                PatternWord w;
                if (word == QLatin1String("one's"))
                    w.kind = PatternWord::Kind::possessive;
                else if (word == QLatin1String("ONE"))
                    w.kind = PatternWord::Kind::subject;
                else if (word == QLatin1String("oneself"))
                    w.kind = PatternWord::Kind::reflexive;
                else if (word == QLatin1String("someone") || word == QLatin1String("someone's"))
                    w.kind = PatternWord::Kind::anyone;
                w.forms = word.split(QLatin1Char('|'));
                if (w.kind == PatternWord::Kind::literal) {
                    for (const QString &form : std::as_const(w.forms)) {
                        auto known = out.vocabulary.constFind(form);
                        if (known == out.vocabulary.cend())
                            known = out.vocabulary.insert(form, static_cast<int>(out.vocabulary.size()));
                        w.ids.push_back(known.value());
                    }
                }
                c.words.push_back(std::move(w));
            }
            out.entries.push_back(std::move(c));
        }
        return out;
    }();
    return compiled;
}

struct Captures
{
    std::optional<QString> poss;
    std::optional<QString> obj;
    std::optional<QString> subj;
};

// The sentence's tokens with what every comparison needs, worked out once per search.
struct Words
{
    enum Flag : unsigned char { possessive = 1, subject = 2, reflexive = 4 };

    const QString &sentence;
    const std::vector<Token> &tokens;
    std::vector<QString> texts; // lower-cased
    std::vector<QString> lemmas; // lower-cased; the text where the tagger gave no lemma
    std::vector<int> textIds; // -1: in no pattern
    std::vector<int> lemmaIds;
    std::vector<unsigned char> flags;

    Words(const QString &s, const std::vector<Token> &t)
        : sentence(s)
        , tokens(t)
    {
        const auto &vocabulary = compiledTable().vocabulary;
        for (const Token &token : t) {
            texts.push_back(Text::lowercased(token.text));
            lemmas.push_back(token.lemma ? Text::lowercased(*token.lemma) : texts.back());
            textIds.push_back(vocabulary.value(texts.back(), -1));
            lemmaIds.push_back(vocabulary.value(lemmas.back(), -1));
            const QString &text = texts.back();
            flags.push_back((possessiveToObject().contains(text) ? possessive : 0)
                            | (EnglishGrammar::subjects().contains(text) ? subject : 0)
                            | (reflexives().contains(text) ? reflexive : 0));
        }
    }

    qsizetype count() const { return static_cast<qsizetype>(tokens.size()); }
    const Token &token(qsizetype i) const { return tokens[static_cast<size_t>(i)]; }
    const QString &text(qsizetype i) const { return texts[static_cast<size_t>(i)]; }
    const QString &lemma(qsizetype i) const { return lemmas[static_cast<size_t>(i)]; }
};

bool overlaps(Range a, Range b)
{
    return a.length > 0 && b.length > 0 && a.start < b.end() && b.start < a.end();
}

// Token ranges come from the caller; keep every slice of the sentence inside it.
qsizetype clamped(qsizetype position, const QString &sentence)
{
    return std::clamp<qsizetype>(position, 0, sentence.size());
}

std::optional<Captures> match(const std::vector<PatternWord> &pattern, const Words &words, qsizetype start)
{
    for (size_t k = 0; k < pattern.size(); ++k) {
        const size_t i = static_cast<size_t>(start) + k;
        const PatternWord &word = pattern[k];
        bool fits = true;
        switch (word.kind) {
        case PatternWord::Kind::possessive:
            fits = words.flags[i] & Words::possessive;
            break;
        case PatternWord::Kind::subject:
            fits = words.flags[i] & Words::subject;
            break;
        case PatternWord::Kind::reflexive:
            fits = words.flags[i] & Words::reflexive;
            break;
        case PatternWord::Kind::anyone:
            break;
        case PatternWord::Kind::literal:
            fits = std::any_of(word.ids.begin(), word.ids.end(),
                               [&](int id) { return id == words.textIds[i] || id == words.lemmaIds[i]; });
            break;
        }
        if (!fits)
            return std::nullopt;
    }
    Captures captures;
    for (size_t k = 0; k < pattern.size(); ++k) {
        const QString &text = words.text(start + static_cast<qsizetype>(k));
        if (pattern[k].kind == PatternWord::Kind::possessive) {
            captures.poss = text;
            captures.obj = possessiveToObject().value(text);
        } else if (pattern[k].kind == PatternWord::Kind::subject) {
            captures.subj = text;
        }
    }
    return captures;
}

bool hasPunctuation(qsizetype a, qsizetype b, const Words &words)
{
    const qsizetype from = clamped(words.token(a).range.end(), words.sentence);
    const qsizetype to = std::max(from, clamped(words.token(b).range.start, words.sentence));
    bool found = false;
    Text::forEachScalar(QStringView(words.sentence).mid(from, to - from),
                        [&](char32_t c) { found = found || QChar::isPunct(c); });
    return found;
}

bool allows(const Context &context, const Words &words, qsizetype start, qsizetype end)
{
    const bool hasPrev = start > 0;
    const bool hasNext = end + 1 < words.count();
    const QString prev = hasPrev ? words.text(start - 1) : QString();
    const QString next = hasNext ? words.text(end + 1) : QString();
    switch (context.kind) {
    case Context::Kind::opening:
        return !hasPrev || context.words.contains(prev) || hasPunctuation(start - 1, start, words);
    case Context::Kind::after:
        return hasPrev && context.words.contains(prev);
    case Context::Kind::notAfter:
        return !hasPrev || !context.words.contains(prev);
    case Context::Kind::notNear:
        for (qsizetype i = std::max<qsizetype>(start - 3, 0); i < start; ++i) {
            if (context.words.contains(words.text(i)))
                return false;
        }
        return true;
    case Context::Kind::notBefore:
        return !hasNext || !context.words.contains(next);
    case Context::Kind::afterObjectOf:
        if (hasPrev && context.words.contains(prev))
            return true;
        return start >= 2 && context.words.contains(words.text(start - 2));
    case Context::Kind::either:
        return (context.first && allows(*context.first, words, start, end))
            || (context.second && allows(*context.second, words, start, end));
    case Context::Kind::afterBe:
        for (qsizetype i = start - 1; i >= 0; --i) {
            if (!fillers().contains(words.text(i)))
                return linking().contains(words.text(i));
        }
        return false;
    case Context::Kind::notBeforeNoun:
        return !hasNext || words.token(end + 1).cls != QLatin1String("Noun");
    case Context::Kind::clauseEnd:
        return !hasNext || clauseClosers().contains(next) || hasPunctuation(end, end + 1, words);
    }
    return false;
}

// The word whose tense and person the gloss's verb takes on.
const Token *headVerb(const std::vector<PatternWord> &pattern, const Words &words, qsizetype start)
{
    for (size_t k = 0; k < pattern.size(); ++k) {
        const qsizetype i = start + static_cast<qsizetype>(k);
        const Token &token = words.token(i);
        const QString &text = words.text(i);
        const QString &lemma = words.lemma(i);
        if (token.cls == QLatin1String("Verb") && lemma != QLatin1String("be"))
            return &token;
        if (text == lemma)
            continue;
        // An inflected form of the pattern's base word ("spilled" for "spill") even where the tagger
        // did not call it a verb ("Time flies").
        const QStringList &forms = pattern[k].forms;
        if (forms.contains(lemma) && !forms.contains(text))
            return &token;
    }
    return nullptr;
}

QString displayPattern(const QString &pattern)
{
    QStringList shown;
    for (const QString &word : pattern.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        shown << (word == QLatin1String("ONE") ? QStringLiteral("someone") : word.section(QLatin1Char('|'), 0, 0));
    return shown.join(QLatin1Char(' '));
}

QString displayMeaning(QString plain)
{
    plain.remove(QStringLiteral("V:"));
    plain.replace(QStringLiteral("{obj}"), QStringLiteral("someone"));
    plain.replace(QStringLiteral("{poss}"), QStringLiteral("someone's"));
    plain.replace(QStringLiteral("{subj}"), QStringLiteral("someone"));
    return plain;
}

enum class VerbForm { base, past, ing, thirdPerson };

bool isVowel(QChar c)
{
    return QStringLiteral("aeiou").contains(c);
}

QString thirdPersonOf(const QString &verb)
{
    if (verb == QLatin1String("be"))
        return QStringLiteral("is");
    if (verb == QLatin1String("have"))
        return QStringLiteral("has");
    for (const char *ending : {"s", "sh", "ch", "x", "z", "o"}) {
        if (verb.endsWith(QLatin1String(ending)))
            return verb + QLatin1String("es");
    }
    if (verb.size() >= 2 && verb.endsWith(QLatin1Char('y')) && !isVowel(verb[verb.size() - 2]))
        return verb.chopped(1) + QLatin1String("ies");
    return verb + QLatin1Char('s');
}

VerbForm formOf(const Token &head, const Token *before)
{
    const QString t = Text::lowercased(head.text);
    const QString base =
        EnglishGrammar::irregularBase().value(t).value_or(head.lemma ? Text::lowercased(*head.lemma) : t);
    if (t.endsWith(QLatin1String("ing")) && t != base)
        return VerbForm::ing;
    // "has" and "is" are the third person too: without them "She has a heart of gold" would turn
    // into the past.
    if (t == base + QLatin1Char('s') || t == base + QLatin1String("es")
        || (base.endsWith(QLatin1Char('y')) && t == base.chopped(1) + QLatin1String("ies"))
        || ((base == QLatin1String("have") || base == QLatin1String("be")) && t == thirdPersonOf(base)))
        return VerbForm::thirdPerson;
    if (t == base) {
        if (!sameFormPast().contains(base))
            return VerbForm::base;
        // "He hit the books" is past; "They hit the books" reads as present.
        const bool singularBefore = before
            && (QStringList {"he", "she", "it"}.contains(Text::lowercased(before->text))
                || before->cls == QLatin1String("Noun"));
        return singularBefore ? VerbForm::past : VerbForm::base;
    }
    return VerbForm::past;
}

QString inflect(const QString &verb, const Token &head, const Token *before)
{
    if (verb.isEmpty())
        return verb;
    const QString stem = doublesLastLetter().contains(verb) ? verb + verb.back() : verb;
    switch (formOf(head, before)) {
    case VerbForm::base:
        return verb;
    case VerbForm::past:
        if (const auto past = EnglishGrammar::irregularPast().value(verb))
            return *past;
        if (verb.endsWith(QLatin1Char('e')))
            return verb + QLatin1Char('d');
        if (verb.size() >= 2 && verb.endsWith(QLatin1Char('y')) && !isVowel(verb[verb.size() - 2]))
            return verb.chopped(1) + QLatin1String("ied");
        return stem + QLatin1String("ed");
    case VerbForm::ing:
        if (verb.endsWith(QLatin1String("ie")))
            return verb.chopped(2) + QLatin1String("ying");
        if (verb.endsWith(QLatin1Char('e')) && !verb.endsWith(QLatin1String("ee")) && verb != QLatin1String("be"))
            return verb.chopped(1) + QLatin1String("ing");
        return stem + QLatin1String("ing");
    case VerbForm::thirdPerson:
        return thirdPersonOf(verb);
    }
    return verb;
}

QString rewrite(const QString &sentence, Range span, const QString &plain, const Captures &captures, const Token *head,
                const Token *before)
{
    QString text = plain;
    // The pronoun I is written in capitals wherever it stands.
    if (captures.subj)
        text.replace(QStringLiteral("{subj}"),
                     *captures.subj == QLatin1String("i") ? QStringLiteral("I") : *captures.subj);
    if (captures.obj)
        text.replace(QStringLiteral("{obj}"), *captures.obj);
    if (captures.poss)
        text.replace(QStringLiteral("{poss}"), *captures.poss);
    text.replace(QStringLiteral("{subj}"), QStringLiteral("they"));
    text.replace(QStringLiteral("{obj}"), QStringLiteral("them"));
    text.replace(QStringLiteral("{poss}"), QStringLiteral("their"));

    if (const qsizetype marker = text.indexOf(QStringLiteral("V:")); marker >= 0) {
        const qsizetype from = marker + 2;
        qsizetype to = from;
        while (to < text.size() && text[to].isLetter())
            ++to;
        const QString verb = text.mid(from, to - from);
        text = text.left(marker) + (head ? inflect(verb, *head, before) : verb) + text.mid(to);
    }

    qsizetype start = span.start;
    // A gloss that brings its own article replaces the sentence's ("the last straw" -> "the final
    // problem", not "the the final problem").
    if (before && articles().contains(Text::lowercased(before->text))
        && articles().contains(Text::lowercased(text.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty))))
        start = before->range.start;
    start = clamped(start, sentence);
    const qsizetype end = std::max(start, clamped(span.end(), sentence));
    if (start == 0 && !text.isEmpty()) {
        const QString first = Text::graphemePrefix(text, 1);
        text = Text::uppercased(first) + text.mid(first.size());
    }
    return sentence.left(start) + text + sentence.mid(end);
}

} // namespace

std::optional<Match> find(const QString &sentence, std::optional<Range> coveringRange, const std::vector<Token> &tokens)
{
    if (tokens.empty())
        return std::nullopt;
    const Words words(sentence, tokens);
    const qsizetype count = words.count();
    for (const CompiledEntry &compiled : compiledTable().entries) {
        const qsizetype length = static_cast<qsizetype>(compiled.words.size());
        if (length == 0 || count < length)
            continue;
        for (qsizetype start = 0; start + length <= count; ++start) {
            const auto captures = match(compiled.words, words, start);
            if (!captures)
                continue;
            const qsizetype last = start + length - 1;
            const qsizetype spanStart = words.token(start).range.start;
            const Range span {spanStart, std::max<qsizetype>(0, words.token(last).range.end() - spanStart)};
            if (coveringRange && !overlaps(span, *coveringRange))
                continue;
            if (compiled.entry->context && !allows(*compiled.entry->context, words, start, last))
                continue;
            const Token *before = start > 0 ? &words.token(start - 1) : nullptr;
            return Match {displayPattern(compiled.entry->pattern), displayMeaning(compiled.entry->plain), span,
                          rewrite(sentence, span, compiled.entry->plain, *captures,
                                  headVerb(compiled.words, words, start), before)};
        }
    }
    return std::nullopt;
}

std::optional<Match> find(const QString &sentence, std::optional<Range> coveringRange)
{
    return find(sentence, coveringRange, EnglishGrammar::tokens(sentence));
}

} // namespace Lumivox::IdiomFinder
