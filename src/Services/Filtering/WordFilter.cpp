#include "Services/Filtering/WordFilter.h"

#include "Native/Language/LinkDetector.h"
#include "Native/Language/Tagger.h"
#include "Native/Services.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Text/TextUtils.h"

#include <unicode/uchar.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <mutex>

#include <locale.h>

namespace Lumivox::WordFilter {

namespace {

// Guards every use of the shared name tagger, for the whole tagging step; nothing else is locked
// while it is held.
std::mutex &nameTaggerLock()
{
    static std::mutex lock;
    return lock;
}

char32_t firstScalar(QStringView text)
{
    if (text.isEmpty())
        return 0;
    if (text.size() > 1 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[0], text[1]);
    return text[0].unicode();
}

bool isSingleScalar(QStringView character)
{
    return character.size() == 1
        || (character.size() == 2 && character[0].isHighSurrogate() && character[1].isLowSurrogate());
}

// A character of several scalars (a letter with combining marks) has no case property of its own;
// it is upper case when upper-casing leaves it as it is and lower-casing does not.
bool isUppercase(QStringView character)
{
    if (isSingleScalar(character))
        return u_hasBinaryProperty(static_cast<UChar32>(firstScalar(character)), UCHAR_UPPERCASE);
    return Text::uppercased(character) == character && Text::lowercased(character) != character;
}

bool isLowercase(QStringView character)
{
    if (isSingleScalar(character))
        return u_hasBinaryProperty(static_cast<UChar32>(firstScalar(character)), UCHAR_LOWERCASE);
    return Text::lowercased(character) == character && Text::uppercased(character) != character;
}

bool hasLetter(QStringView text)
{
    bool found = false;
    Text::enumerateGraphemes(text, [&](const Text::Segment &s) {
        found = u_hasBinaryProperty(static_cast<UChar32>(firstScalar(text.mid(s.start, s.length))), UCHAR_ALPHABETIC);
        return !found;
    });
    return found;
}

// strtod in the C locale, whatever locale the program runs in; so "1,5" is no number and "0x1F",
// "1e5", "inf" and "nan" are.
bool parsesAsNumber(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty() || std::isspace(static_cast<unsigned char>(bytes.front())))
        return false;
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    if (!cLocale)
        return false;
    char *end = nullptr;
    strtod_l(bytes.constData(), &end, cLocale);
    return end == bytes.constData() + bytes.size();
}

bool hasInnerCapital(QStringView word)
{
    bool previousWasLower = false;
    bool found = false;
    Text::enumerateGraphemes(word, [&](const Text::Segment &s) {
        const QStringView character = word.mid(s.start, s.length);
        if (previousWasLower && isUppercase(character)) {
            found = true;
            return false;
        }
        previousWasLower = isLowercase(character);
        return true;
    });
    return found;
}

bool containsCodeMarker(const QString &text)
{
    for (const QString &marker : codeMarkers()) {
        if (text.contains(marker))
            return true;
    }
    return false;
}

bool contextLooksLikeCode(const std::optional<QString> &context)
{
    if (!context || context->isEmpty())
        return false;
    if (containsCodeMarker(*context))
        return true;
    bool found = false;
    const QStringView text(*context);
    Text::enumerateWords(text, [&](const Text::Segment &s) {
        if (!Text::isWordLike(s))
            return true;
        const QStringView word = text.mid(s.start, s.length);
        found = unambiguousCodeTokens().contains(word.toString()) || hasInnerCapital(word);
        return !found;
    });
    return found;
}

bool isLink(const QString &word)
{
    const auto detector = Native::service<Native::LinkDetector>();
    if (!detector)
        return false;
    const auto match = detector->firstMatch(word);
    return match && match->length == word.size();
}

bool isCode(const QString &word, const std::optional<QString> &context)
{
    if (unambiguousCodeTokens().contains(word))
        return true;
    if (containsCodeMarker(word))
        return true;
    // Member accesses and file names; "U.S." and a sentence's last word keep their final dot.
    if (word.contains(QLatin1Char('.')) && !word.contains(QLatin1Char(' ')) && !word.endsWith(QLatin1Char('.')))
        return true;
    if (hasInnerCapital(word))
        return true;
    return ambiguousCodeKeywords().contains(word) && contextLooksLikeCode(context);
}

bool isPersonName(const QString &word, const std::optional<QString> &context)
{
    if (AppIdentity::isRunningInCI())
        return false;
    if (word.isEmpty())
        return false;
    QStringView first;
    Text::enumerateGraphemes(word, [&](const Text::Segment &s) {
        first = QStringView(word).mid(s.start, s.length);
        return false;
    });
    if (first.isEmpty() || !isUppercase(first))
        return false;

    const QString &text = context && context->contains(word) ? *context : word;
    const qsizetype occurrence = text.indexOf(word);
    if (occurrence < 0)
        return false;

    const auto tagger = Native::service<Native::Tagger>();
    if (!tagger)
        return false;
    std::lock_guard lock(nameTaggerLock());
    const auto words = tagger->words(text, {occurrence, word.size()}, {.joinNames = true});
    for (const Native::TaggedWord &tagged : words) {
        if (tagged.nameType == QLatin1String("PersonalName"))
            return true;
    }
    return false;
}

} // namespace

const QStringList &codeMarkers()
{
    static const QStringList markers {
        QStringLiteral("_"),  QStringLiteral("::"), QStringLiteral("->"), QStringLiteral("=>"), QStringLiteral("()"),
        QStringLiteral("{"),  QStringLiteral("}"),  QStringLiteral("["),  QStringLiteral("]"),  QStringLiteral(";"),
        QStringLiteral("=="), QStringLiteral("</"), QStringLiteral("/>"),
    };
    return markers;
}

const QSet<QString> &unambiguousCodeTokens()
{
    static const QSet<QString> tokens {
        QStringLiteral("func"),      QStringLiteral("var"),         QStringLiteral("let"),
        QStringLiteral("struct"),    QStringLiteral("enum"),        QStringLiteral("init"),
        QStringLiteral("nil"),       QStringLiteral("async"),       QStringLiteral("await"),
        QStringLiteral("typealias"), QStringLiteral("fileprivate"), QStringLiteral("nonisolated"),
        QStringLiteral("mutating"),  QStringLiteral("undefined"),
    };
    return tokens;
}

const QSet<QString> &ambiguousCodeKeywords()
{
    static const QSet<QString> keywords {
        QStringLiteral("return"),   QStringLiteral("self"),      QStringLiteral("else"),     QStringLiteral("switch"),
        QStringLiteral("case"),     QStringLiteral("break"),     QStringLiteral("continue"), QStringLiteral("throw"),
        QStringLiteral("throws"),   QStringLiteral("try"),       QStringLiteral("catch"),    QStringLiteral("defer"),
        QStringLiteral("protocol"), QStringLiteral("extension"), QStringLiteral("public"),   QStringLiteral("private"),
        QStringLiteral("internal"), QStringLiteral("override"),  QStringLiteral("static"),   QStringLiteral("final"),
        QStringLiteral("const"),    QStringLiteral("null"),      QStringLiteral("true"),     QStringLiteral("false"),
        QStringLiteral("class"),    QStringLiteral("actor"),     QStringLiteral("import"),   QStringLiteral("guard"),
    };
    return keywords;
}

WordEvaluation evaluate(const QString &word, const std::optional<QString> &context)
{
    using Verdict = WordEvaluation::Verdict;
    const QString trimmed = Text::trimmed(word);
    auto verdict = [&](Verdict v) { return WordEvaluation {trimmed, v}; };

    if (Text::graphemeCount(trimmed) < 2)
        return verdict(Verdict::notAWord);
    if (!hasLetter(trimmed))
        return verdict(Verdict::notAWord);
    if (parsesAsNumber(trimmed))
        return verdict(Verdict::notAWord);
    if (trimmed.startsWith(QLatin1String("0x")))
        return verdict(Verdict::notAWord);
    if (isLink(trimmed))
        return verdict(Verdict::link);
    if (isCode(trimmed, context))
        return verdict(Verdict::code);
    if (isPersonName(trimmed, context))
        return verdict(Verdict::personName);
    return verdict(Verdict::translatable);
}

} // namespace Lumivox::WordFilter
