#include "Services/Learn/EnglishGrammarNote.h"

#include "Shared/Text/TextUtils.h"

#include <algorithm>

namespace Lumivox::EnglishGrammar {

namespace {

const QString verbTag = QStringLiteral("verb");
const QString nounTag = QStringLiteral("noun");
const QString adjectiveTag = QStringLiteral("adjective");
const QString adverbTag = QStringLiteral("adverb");

bool overlaps(Range a, Range b)
{
    return a.length > 0 && b.length > 0 && a.start < b.end() && b.start < a.end();
}

QString lowered(const Token &token)
{
    return Text::lowercased(token.text);
}

QString loweredLemma(const Token &token)
{
    return Text::lowercased(token.lemma.value_or(token.text));
}

bool hasClass(const Token &token, QLatin1StringView cls)
{
    return token.cls == cls;
}

// Absent: nothing special about the word here. Present but empty: show no line at all.
using Decision = std::optional<std::optional<Line>>;

Decision noLine()
{
    return Decision(std::in_place);
}

struct Comparison
{
    QString kind; // "comparative" or "superlative"
    QString base;
};

// Nothing before the first token or after the last.
const Token *tokenAt(const std::vector<Token> &tokens, qsizetype i)
{
    if (i < 0 || i >= static_cast<qsizetype>(tokens.size()))
        return nullptr;
    return &tokens[static_cast<size_t>(i)];
}

QString loweredAt(const std::vector<Token> &tokens, qsizetype i)
{
    const Token *token = tokenAt(tokens, i);
    return token ? lowered(*token) : QString();
}

std::optional<Range> firstWholeWord(const QString &word, const QString &sentence)
{
    for (const Text::Segment &segment : Text::words(sentence)) {
        if (QStringView(sentence).mid(segment.start, segment.length) == word)
            return Range {segment.start, segment.length};
    }
    return std::nullopt;
}

bool isModal(const QString &lower)
{
    return modals().contains(lower);
}

bool followsAuxiliary(qsizetype i, const std::vector<Token> &tokens)
{
    bool passedSubject = false;
    // Adverbs, "not" and one subject may stand between an auxiliary and its verb ("have you not seen").
    for (qsizetype j = i - 1; j >= 0 && i - j <= 4; --j) {
        const Token &token = tokens[static_cast<size_t>(j)];
        const QString t = lowered(token);
        if (auxiliaries().contains(t))
            return true;
        if (hasClass(token, QLatin1StringView("Adverb")) || t == QLatin1String("not"))
            continue;
        if (subjects().contains(t) && !passedSubject) {
            passedSubject = true;
            continue;
        }
        return false;
    }
    return false;
}

QStringList stems(const QString &word)
{
    const QString s = word.chopped(std::min<qsizetype>(2, word.size()));
    if (Text::graphemeCount(s) <= 1)
        return {};
    if (s.endsWith(QLatin1Char('i')))
        return {s.chopped(1) + QLatin1Char('y')};
    const QChar last = s.back();
    if (s.size() >= 2 && s[s.size() - 2] == last && !QStringLiteral("aeiou").contains(last))
        return {s.chopped(1), s};
    return {s, s + QLatin1Char('e')};
}

std::optional<Comparison> comparison(const QString &word, const QString &lemma, const QString &prev,
                                     const QString &next)
{
    if (const auto base = comparatives().value(word)) {
        return Comparison {
            word.endsWith(QLatin1String("st")) ? QStringLiteral("superlative") : QStringLiteral("comparative"), *base};
    }
    const bool superlative = word.endsWith(QLatin1String("est"));
    if (!superlative && !word.endsWith(QLatin1String("er")))
        return std::nullopt;
    if (prev == QLatin1String("more") || prev == QLatin1String("most"))
        return std::nullopt;
    const QString kind = superlative ? QStringLiteral("superlative") : QStringLiteral("comparative");
    const qsizetype lemmaLength = Text::graphemeCount(lemma);
    if (lemma != word && lemmaLength >= 2
        && word.startsWith(Text::graphemePrefix(lemma, std::max<qsizetype>(lemmaLength - 1, 2))))
        return Comparison {kind, lemma};
    if (word.endsWith(QLatin1String("er")) && next == QLatin1String("than")) {
        for (const QString &candidate : stems(word)) {
            if (gradableAdjectives().contains(candidate))
                return Comparison {kind, candidate};
        }
    }
    return std::nullopt;
}

// As with any all-of test, empty text counts.
bool isNumberText(const QString &text)
{
    bool numeric = true;
    Text::forEachScalar(text, [&](char32_t c) { numeric = numeric && QChar::isNumber(c); });
    return numeric;
}

bool startsPlaceOrTime(qsizetype k, const std::vector<Token> &tokens)
{
    for (qsizetype j = k; j < k + 4; ++j) {
        const Token *token = tokenAt(tokens, j);
        if (!token)
            return false;
        const QString t = lowered(*token);
        if (isNumberText(t) || placeAndTimeNouns().contains(t) || placeAndTimeNouns().contains(loweredLemma(*token)))
            return true;
        if (hasClass(*token, QLatin1StringView("Determiner")) || hasClass(*token, QLatin1StringView("Adjective"))
            || possessives().contains(t))
            continue;
        return false;
    }
    return false;
}

std::optional<QString> phrasal(qsizetype i, const QString &lemma, const std::vector<Token> &tokens)
{
    for (const qsizetype offset : {1, 2}) {
        if (offset == 2 && !objectPronouns().contains(loweredAt(tokens, i + 1)))
            return std::nullopt;
        const Token *particle = tokenAt(tokens, i + offset);
        if (!particle || !particles().contains(lowered(*particle)))
            continue;
        const QString candidate = lemma + QLatin1Char(' ') + lowered(*particle);
        if (!phrasalVerbs().contains(candidate))
            continue;
        // "went up the hill" is a verb and a direction, not "go up".
        if (offset == 1 && startsPlaceOrTime(i + 2, tokens))
            return std::nullopt;
        return candidate;
    }
    return std::nullopt;
}

bool isThirdPerson(const QString &word, const QString &lemma)
{
    return word == lemma + QLatin1Char('s') || word == lemma + QLatin1String("es")
        || (lemma.endsWith(QLatin1Char('y')) && word == lemma.chopped(1) + QLatin1String("ies"));
}

std::optional<QString> form(const QString &word, const QString &lemma, const QString &base, bool participle)
{
    if (word == lemma)
        return std::nullopt;
    if (word.endsWith(QLatin1String("ing")))
        return QStringLiteral("-ing form of ") + base;
    if (presentForms().value(word) == lemma || isThirdPerson(word, lemma))
        return QStringLiteral("present of ") + base;
    if (pastOnly().contains(word))
        return QStringLiteral("past of ") + base;
    if (participleOnly().contains(word) || participle)
        return QStringLiteral("past participle of ") + base;
    return QStringLiteral("past of ") + base;
}

Decision specialLeft(qsizetype i, const std::vector<Token> &tokens, const QString &prev)
{
    const Token *previous = tokenAt(tokens, i - 1);
    const Token *following = tokenAt(tokens, i + 1);
    const Line adjective {adjectiveTag, {}};
    if (directionVerbs().contains(prev))
        return Line {adverbTag, {}};
    if (prev == QLatin1String("a") || prev == QLatin1String("an") || prev == QLatin1String("the")
        || prev == QLatin1String("far")) {
        if (following && following->cls)
            return hasClass(*following, QLatin1StringView("Noun")) ? adjective : Line {nounTag, {}};
        return Line {nounTag, {}};
    }
    if (possessives().contains(prev) && following && hasClass(*following, QLatin1StringView("Noun"))
        && !objectPronouns().contains(lowered(*following)))
        return adjective;
    if (possessives().contains(prev) && !following)
        return Line {nounTag, {}};
    // What remains of an amount: "nothing left", "two left", "no time left".
    if (!previous)
        return std::nullopt;
    if (following && !afterRemaining().contains(lowered(*following)))
        return std::nullopt;
    if (quantifiers().contains(prev) || hasClass(*previous, QLatin1StringView("Number")))
        return adjective;
    if (i == 1 || !hasClass(*previous, QLatin1StringView("Noun")))
        return std::nullopt;
    if (quantityWords().contains(loweredAt(tokens, i - 2)))
        return adjective;
    return std::nullopt;
}

Decision specialUsed(qsizetype i, const std::vector<Token> &tokens)
{
    if (loweredAt(tokens, i + 1) != QLatin1String("to"))
        return std::nullopt;
    const Token *afterTo = tokenAt(tokens, i + 2);
    const bool verbFollows =
        afterTo && hasClass(*afterTo, QLatin1StringView("Verb")) && !lowered(*afterTo).endsWith(QLatin1String("ing"));
    if (followsAuxiliary(i, tokens)) {
        if (verbFollows)
            return Line {verbTag, QStringLiteral("past participle of use")};
        return Line {adjectiveTag, QStringLiteral("be used to = be accustomed to")};
    }
    if (verbFollows)
        return Line {verbTag, QStringLiteral("used to = a past habit")};
    return std::nullopt;
}

Decision specialAmount(const QString &word, qsizetype i, const std::vector<Token> &tokens, const QString &prev)
{
    const Token *following = tokenAt(tokens, i + 1);
    if (!following || !following->cls)
        return noLine();
    if (hasClass(*following, QLatin1StringView("Adjective")) || hasClass(*following, QLatin1StringView("Adverb")))
        return Line {adverbTag, {}};
    if (hasClass(*following, QLatin1StringView("Noun")) && prev != QLatin1String("at")) {
        const QString kind =
            word.endsWith(QLatin1String("st")) ? QStringLiteral("superlative of ") : QStringLiteral("comparative of ");
        QString amount;
        if (word == QLatin1String("less") || word == QLatin1String("least"))
            amount = QStringLiteral("little");
        else
            amount = lowered(*following) == loweredLemma(*following) ? QStringLiteral("much") : QStringLiteral("many");
        return Line {QStringLiteral("determiner"), kind + amount};
    }
    return noLine();
}

Decision special(const QString &word, qsizetype i, const std::vector<Token> &tokens)
{
    const QString prev = loweredAt(tokens, i - 1);
    if (word == QLatin1String("left"))
        return specialLeft(i, tokens, prev);
    if (word == QLatin1String("used"))
        return specialUsed(i, tokens);
    if (word == QLatin1String("more") || word == QLatin1String("most") || word == QLatin1String("less")
        || word == QLatin1String("least"))
        return specialAmount(word, i, tokens, prev);
    // "wound" is as often the noun's verb as the past of "wind": no form note.
    if (ambiguousPast().contains(word) && hasClass(tokens[static_cast<size_t>(i)], QLatin1StringView("Verb")))
        return Line {verbTag, {}};
    return std::nullopt;
}

} // namespace

std::optional<Line> line(const QString &word, const QString &sentence, const std::vector<Token> &tokens,
                         std::optional<Range> covering)
{
    if (!covering)
        covering = firstWholeWord(word, sentence);
    if (!covering)
        return std::nullopt;
    const auto found = std::find_if(tokens.cbegin(), tokens.cend(),
                                    [&](const Token &token) { return overlaps(token.range, *covering); });
    if (found == tokens.cend())
        return std::nullopt;
    const qsizetype i = found - tokens.cbegin();
    const Token &token = *found;

    const QString lower = lowered(token);
    QString lemma = loweredLemma(token);
    std::optional<QString> cls = token.cls;
    const QString prev = loweredAt(tokens, i - 1);
    const QString next = loweredAt(tokens, i + 1);

    if (isModal(lower))
        return Line {verbTag, {}};
    if (const auto decided = special(lower, i, tokens))
        return *decided;

    std::optional<Comparison> compared;
    const auto irregular = irregularBase().value(lower);
    if (irregular && (cls == QLatin1String("Verb") || (cls == QLatin1String("Noun") && subjects().contains(prev)))) {
        // "I left", "they felt": a subject before it makes an irregular past a verb whatever the tag.
        cls = QStringLiteral("Verb");
        lemma = *irregular;
        compared = comparison(lower, lemma, prev, next);
    } else {
        compared = comparison(lower, lemma, prev, next);
        if (compared
            && (cls == QLatin1String("Adverb") || cls == QLatin1String("Adjective") || cls == QLatin1String("Noun"))
            && (next == QLatin1String("than") || beForms().contains(prev) || determiners().contains(prev)
                || possessives().contains(prev)))
            cls = QStringLiteral("Adjective");
    }

    if ((ingAdjectives().contains(lower) || edAdjectives().contains(lower))
        && (beForms().contains(prev) || intensifiers().contains(prev) || determiners().contains(prev))) {
        cls = QStringLiteral("Adjective");
        lemma = lower;
    }
    if (!cls)
        return std::nullopt;
    if (cls == QLatin1String("Noun") && lower == lemma && (beForms().contains(prev) || intensifiers().contains(prev))
        && isAdjective(lower))
        cls = QStringLiteral("Adjective");
    if (cls == QLatin1String("Adverb") && (determiners().contains(prev) || possessives().contains(prev))) {
        const Token *following = tokenAt(tokens, i + 1);
        if (following && hasClass(*following, QLatin1StringView("Noun")))
            cls = QStringLiteral("Adjective"); // "the fast car"
    }

    if (cls == QLatin1String("Verb")) {
        const bool participle = followsAuxiliary(i, tokens);
        if (const auto verb = phrasal(i, lemma, tokens))
            return Line {QStringLiteral("phrasal verb"), form(lower, lemma, *verb, participle).value_or(*verb)};
        return Line {verbTag, form(lower, lemma, lemma, participle).value_or(QString())};
    }
    if (cls == QLatin1String("Noun")) {
        if (lower != lemma && (lower.endsWith(QLatin1Char('s')) || irregularPlurals().contains(lower)))
            return Line {nounTag, QStringLiteral("plural of ") + lemma};
        return Line {nounTag, {}};
    }
    if (cls == QLatin1String("Adjective")) {
        if (!compared)
            return Line {adjectiveTag, {}};
        return Line {adjectiveTag, compared->kind + QStringLiteral(" of ") + compared->base};
    }
    if (cls == QLatin1String("Adverb"))
        return Line {adverbTag, {}};
    return std::nullopt;
}

std::optional<Line> line(const QString &word, const QString &sentence)
{
    return line(word, sentence, tokens(sentence), std::nullopt);
}

std::optional<QString> baseForm(const QString &, const QString &, const std::vector<Token> &tokens, Range covering)
{
    const auto found = std::find_if(tokens.cbegin(), tokens.cend(),
                                    [&](const Token &token) { return overlaps(token.range, covering); });
    if (found == tokens.cend())
        return std::nullopt;
    const QString lower = lowered(*found);
    if (auto base = irregularBase().value(lower))
        return base;
    if (found->lemma)
        return Text::lowercased(*found->lemma);
    return std::nullopt;
}

} // namespace Lumivox::EnglishGrammar
