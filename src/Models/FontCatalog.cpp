#include "Models/FontCatalog.h"

#include "Shared/Text/TextUtils.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QRawFont>
#include <QSet>

#include <algorithm>
#include <climits>
#include <optional>
#include <vector>

Q_LOGGING_CATEGORY(lcFonts, "app.lumivox.Fonts")

namespace Lumivox::FontCatalog {

namespace {

// Every caller is on the main thread, so the caches go without a lock.
QHash<QString, QStringList> &fontCache()
{
    static QHash<QString, QStringList> cache;
    return cache;
}

QHash<QString, QString> &bestFontCache()
{
    static QHash<QString, QString> cache;
    return cache;
}

// The database spells a family that several foundries ship as "Name [Foundry]"; users and the
// language table know it by the plain name, and a font asked for by that name is one of them.
QString plainFamily(const QString &family)
{
    const qsizetype bracket = family.indexOf(QLatin1String(" ["));
    if (bracket > 0 && family.endsWith(QLatin1Char(']')))
        return family.left(bracket);
    return family;
}

QStringList installedFamilies()
{
    QStringList out;
    QSet<QString> seen;
    for (const QString &family : QFontDatabase::families()) {
        if (QFontDatabase::isPrivateFamily(family))
            continue;
        const QString plain = plainFamily(family);
        if (!seen.contains(plain)) {
            seen.insert(plain);
            out.append(plain);
        }
    }
    return out;
}

bool canDraw(const QString &family, const std::vector<char32_t> &scalars)
{
    QFont font;
    font.setFamilies({family});
    font.setPointSizeF(18);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    const QRawFont raw = QRawFont::fromFont(font);
    // Font configuration answers an alias ("Serif") or an unknown name with some other family;
    // only a font of the family itself counts.
    if (!raw.isValid() || raw.familyName().compare(family, Qt::CaseInsensitive) != 0)
        return false;
    return std::all_of(scalars.begin(), scalars.end(), [&](char32_t c) { return raw.supportsCharacter(c); });
}

// Plain code-point order, independent of the locale, so the list reads the same everywhere.
bool codePointLess(const QString &a, const QString &b)
{
    const QList<uint> x = a.toUcs4();
    const QList<uint> y = b.toUcs4();
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end());
}

// How well a family suits the tooltip when the language names none that is installed: the serif
// and sans families a Linux desktop ships for every script come before whatever sorts first by
// name (URW's "C059" would otherwise win for Latin). Lower is better; none: no preference. The
// CJK families are left out: the first of them by name is the region the language's own table
// does not prefer either way.
std::optional<int> desktopRank(const QString &family)
{
    static const QStringList exact {QStringLiteral("Noto Serif"), QStringLiteral("DejaVu Serif"),
                                    QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")};
    if (const qsizetype at = exact.indexOf(family); at >= 0)
        return int(at);
    if (family.contains(QLatin1String("CJK")) || family.contains(QLatin1String("Mono")))
        return std::nullopt;
    if (family.startsWith(QLatin1String("Noto Serif ")))
        return int(exact.size());
    if (family.startsWith(QLatin1String("Noto Sans ")))
        return int(exact.size()) + 1;
    return std::nullopt;
}

bool haveFontDatabase()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return true;
    qCWarning(lcFonts) << "font search needs the GUI application";
    return false;
}

} // namespace

QStringList families(const QString &text)
{
    if (auto it = fontCache().constFind(text); it != fontCache().constEnd())
        return *it;
    if (!haveFontDatabase())
        return {};
    std::vector<char32_t> scalars;
    Text::forEachScalar(text, [&](char32_t c) { scalars.push_back(c); });

    QStringList kept;
    for (const QString &family : installedFamilies()) {
        if (canDraw(family, scalars))
            kept.append(family);
    }
    std::sort(kept.begin(), kept.end(), codePointLess);
    fontCache().insert(text, kept);
    return kept;
}

QStringList fonts(const QString &sampleScript, const QStringList &preferredFonts)
{
    QStringList preferred;
    QStringList rest;
    for (const QString &family : families(sampleScript))
        (preferredFonts.contains(family) ? preferred : rest).append(family);
    auto rank = [&](const QString &family) {
        const qsizetype index = preferredFonts.indexOf(family);
        return index < 0 ? LLONG_MAX : static_cast<long long>(index);
    };
    std::stable_sort(preferred.begin(), preferred.end(),
                     [&](const QString &a, const QString &b) { return rank(a) < rank(b); });
    return preferred + rest;
}

QString bestFont(const QString &languageID, const QString &sampleScript, const QStringList &preferredFonts)
{
    if (auto it = bestFontCache().constFind(languageID); it != bestFontCache().constEnd())
        return *it;
    if (!haveFontDatabase())
        return QStringLiteral("SF Pro"); // not kept: the answer may change once fonts can be asked
    const QStringList list = fonts(sampleScript, preferredFonts);
    QString best;
    for (const QString &family : preferredFonts) {
        if (list.contains(family)) {
            best = family;
            break;
        }
    }
    if (best.isEmpty()) {
        std::optional<int> bestRank;
        for (const QString &family : list) {
            const std::optional<int> rank = desktopRank(family);
            if (rank && (!bestRank || *rank < *bestRank)) {
                bestRank = rank;
                best = family;
            }
        }
    }
    if (best.isEmpty())
        best = list.isEmpty() ? QStringLiteral("SF Pro") : list.first();
    bestFontCache().insert(languageID, best);
    return best;
}

} // namespace Lumivox::FontCatalog
