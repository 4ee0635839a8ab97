// Our own link detector: regular expressions over the text, leftmost match first.

#include "Native/Language/LinkDetector.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

Q_DECLARE_LOGGING_CATEGORY(lcLanguage)

namespace Lumivox::Native {

namespace {

// Top-level domains a bare domain name may end in. Country codes that are far more often file
// extensions (.cc, .pl, .py, .sh, .md, .rs, .so) are left out, so "main.py" stays a file name.
const char *const knownTopLevelDomains[] = {
    "com",    "org",  "net",  "edu",    "gov",  "mil",   "int",  "info", "biz",  "name", "pro",  "aero", "coop",
    "museum", "mobi", "asia", "travel", "jobs", "io",    "co",   "ai",   "app",  "dev",  "me",   "tv",   "xyz",
    "online", "site", "tech", "store",  "blog", "cloud", "page", "news", "shop", "top",  "live", "ly",   "gl",
    "gg",     "fm",   "to",   "im",     "us",   "uk",    "ca",   "au",   "nz",   "ie",   "de",   "fr",   "es",
    "it",     "nl",   "be",   "ch",     "at",   "se",    "no",   "dk",   "fi",   "is",   "ru",   "ua",   "cn",
    "jp",     "kr",   "tw",   "hk",     "sg",   "in",    "br",   "mx",   "ar",   "cl",   "pt",   "gr",   "cz",
    "sk",     "hu",   "ro",   "bg",     "hr",   "si",    "tr",   "il",   "za",   "eu",   "lu",   "li",   "ee",
    "lv",     "lt",   "vn",   "th",     "id",   "my",    "ph",   "nu",   "ws",
};

QString topLevelDomainAlternatives()
{
    QStringList names;
    for (const char *name : knownTopLevelDomains)
        names.append(QString::fromLatin1(name));
    // Longest first, so that "com" is tried before "co".
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    return names.join(QLatin1Char('|'));
}

// Leftmost link of any kind; the named groups tell which kind matched.
QString linkPattern()
{
    const QString label = QStringLiteral("[\\p{L}\\p{N}](?:[\\p{L}\\p{N}-]*[\\p{L}\\p{N}])?");
    const QString tail = QStringLiteral("(?::\\d{1,5})?(?:[/?#][^\\s<>\"]*)?");
    // Not followed by more of a name: "example.community" and "example.com.txt" are no links.
    const QString nameEnd = QStringLiteral("(?![\\p{L}\\p{N}-]|\\.[\\p{L}\\p{N}])");
    const QString scheme = QStringLiteral("(?<![\\p{L}\\p{N}+.-])[a-z][a-z0-9+.-]*://[^\\s<>\"]+");
    const QString mailto = QStringLiteral("(?<![\\p{L}\\p{N}])mailto:[^\\s<>\"@]+@[^\\s<>\"]+");
    const QString email =
        QStringLiteral("(?<![\\p{L}\\p{N}._%+-])[\\p{L}\\p{N}._%+-]+@(?:%1\\.)+\\p{L}{2,}%2").arg(label, nameEnd);
    const QString www = QStringLiteral("(?<![\\p{L}\\p{N}@._/-])www\\.%1(?:\\.%1)*%2").arg(label, tail);
    const QString domain = QStringLiteral("(?<![\\p{L}\\p{N}@._/-])(?:%1\\.)+(?:%2)%3%4")
                               .arg(label, topLevelDomainAlternatives(), nameEnd, tail);
    return QStringLiteral("(?<url>%1|%2)|(?<email>%3)|(?<www>%4)|(?<domain>%5)")
        .arg(scheme, mailto, email, www, domain);
}

QRegularExpression compiledLinkPattern()
{
    QRegularExpression pattern(
        linkPattern(), QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    pattern.optimize();
    return pattern;
}

class RegexLinkDetector final : public LinkDetector
{
public:
    std::optional<Match> firstMatch(QStringView text) const override
    {
        // One compiled expression per thread: the detector is shared across threads, and a copy of
        // its own needs nothing from the engine's rules on concurrent matching.
        thread_local const QRegularExpression pattern = compiledLinkPattern();
        auto matches = pattern.globalMatch(text);
        while (matches.hasNext()) {
            const QRegularExpressionMatch m = matches.next();
            qsizetype end = m.capturedEnd(0);
            const qsizetype start = m.capturedStart(0);
            if (m.capturedLength(QStringLiteral("email")) == 0)
                end = withoutTrailingPunctuation(text, start, end);
            if (m.capturedLength(QStringLiteral("url")) > 0 && text.mid(start, end - start).endsWith(u"://"))
                continue; // a scheme with nothing after it
            if (end > start)
                return Match {start, end - start};
        }
        return std::nullopt;
    }

private:
    // Sentence punctuation after a link is not part of it; a closing bracket is, when the link
    // opened it ("…/Foo_(bar)").
    static qsizetype withoutTrailingPunctuation(QStringView text, qsizetype start, qsizetype end)
    {
        static const QString trailing = QStringLiteral(".,;:!?'\"”’)]}");
        while (end > start && trailing.contains(text[end - 1])) {
            const QChar c = text[end - 1];
            const QChar open = c == QLatin1Char(')') ? QLatin1Char('(')
                : c == QLatin1Char(']')              ? QLatin1Char('[')
                : c == QLatin1Char('}')              ? QLatin1Char('{')
                                                     : QChar();
            if (!open.isNull()) {
                const QStringView body = text.mid(start, end - start);
                if (body.count(open) >= body.count(c))
                    break;
            }
            --end;
        }
        return end;
    }
};

} // namespace

std::shared_ptr<LinkDetector> LinkDetector::makeDefault()
{
    if (!compiledLinkPattern().isValid()) {
        qCWarning(lcLanguage) << "the link detector could not be built";
        return nullptr;
    }
    return std::make_shared<RegexLinkDetector>();
}

} // namespace Lumivox::Native
