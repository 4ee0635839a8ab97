#include "Features/Overlay/Views/TooltipText.h"

#include <QFontDatabase>
#include <QFontMetricsF>

#include <unicode/locid.h>
#include <unicode/rbnf.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace Lumivox::TooltipText {

namespace {

constexpr double defaultFontSize = 16;
constexpr double largestFontSize = 128;
constexpr double pointsPerPixel = 72.0 / 96.0;

} // namespace

QFont font(const QFont &family, double points, QFont::Weight weight)
{
    QFont f = family;
    f.setPointSizeF(points * pointsPerPixel);
    f.setWeight(weight);
    return f;
}

QFont systemFont(double points, QFont::Weight weight)
{
    return font(QFontDatabase::systemFont(QFontDatabase::GeneralFont), points, weight);
}

double usableFontSize(double points)
{
    if (!std::isfinite(points) || points <= 0)
        return defaultFontSize;
    return std::min(points, largestFontSize);
}

QFont overlayFont(const QString &fontName, double points)
{
    const double size = usableFontSize(points);
    if (fontName.isEmpty() || !QFontDatabase::hasFamily(fontName))
        return systemFont(size);
    return font(QFont(fontName), size);
}

QString plain(const QString &text, qsizetype maxLength)
{
    qsizetype length = std::min(text.size(), maxLength);
    if (length > 0 && length < text.size() && text.at(length - 1).isHighSurrogate())
        --length;
    QString out = text.left(length);
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char16_t c = out.at(i).unicode();
        if (c == u'\r' && i + 1 < out.size() && out.at(i + 1) == u'\n') {
            // One break, not two; a zero-width character keeps every later offset where it was.
            out[i] = QChar(0x2060);
        } else if (c == u'\n' || c == u'\r' || c == 0x2029 || c == 0x85) {
            out[i] = QChar::LineSeparator;
        } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            out[i] = QLatin1Char(' ');
        }
    }
    return out;
}

StyledText grammarText(const EnglishGrammar::Line &line)
{
    StyledText out(line.text);
    const QString equals = QStringLiteral(" = ");
    const QString of = QStringLiteral(" of ");
    std::optional<TextRange> emphasis;
    if (line.tag == QLatin1String("idiom") && line.text.contains(equals)) {
        emphasis = TextRange {0, line.text.indexOf(equals)};
    } else if (const qsizetype at = line.text.lastIndexOf(of); at >= 0) {
        const qsizetype start = at + of.size();
        emphasis = TextRange {start, line.text.size() - start};
    }
    if (emphasis && emphasis->length > 0)
        out.setInlinePresentationIntent(*emphasis,
                                        InlinePresentationIntent(InlinePresentationIntent::stronglyEmphasized));
    return out;
}

double sentenceWidth(const StyledText &sentence)
{
    const QFontMetricsF metrics(systemFont(12.5, QFont::DemiBold));
    QString line = plain(sentence.text());
    line.replace(QChar::LineSeparator, QLatin1Char(' '));
    return std::min(std::ceil(metrics.horizontalAdvance(line)) + 2, sentenceMaxWidth);
}

std::optional<QString> ordinal(int n, const QLocale &locale)
{
    // One formatter per locale, made at its first use; formatting is the only per-call work.
    static std::map<QString, std::unique_ptr<icu::RuleBasedNumberFormat>> formatters;
    // Qt's "C" locale is English in all but name; ICU would fall back to its root rules.
    const QString name = locale.language() == QLocale::C ? QStringLiteral("en_US") : locale.name();
    auto it = formatters.find(name);
    if (it == formatters.end()) {
        UErrorCode status = U_ZERO_ERROR;
        auto made = std::make_unique<icu::RuleBasedNumberFormat>(icu::URBNF_ORDINAL,
                                                                 icu::Locale(name.toUtf8().constData()), status);
        if (U_FAILURE(status))
            made.reset();
        it = formatters.emplace(name, std::move(made)).first;
    }
    if (!it->second)
        return std::nullopt;
    icu::UnicodeString text;
    it->second->format(static_cast<int32_t>(n), text);
    if (text.isEmpty())
        return std::nullopt;
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

std::optional<QString> metText(int met, const QLocale &locale)
{
    if (met < 2)
        return std::nullopt;
    const auto nth = ordinal(met, locale);
    if (!nth)
        return std::nullopt;
    return QStringLiteral("· %1 time you’ve met it").arg(*nth);
}

bool hasFooter(const WordStatus::Row &row)
{
    using Kind = WordStatus::Row::Kind;
    return row.kind == Kind::keys || row.kind == Kind::suggest || row.kind == Kind::flash;
}

QString lookedUpText(int lookups)
{
    return QStringLiteral("Looked up %1 times").arg(lookups);
}

QString wordCountText(int total)
{
    return QStringLiteral("· %1 %2").arg(total).arg(total == 1 ? QStringLiteral("word") : QStringLiteral("words"));
}

} // namespace Lumivox::TooltipText
