#include "Services/Learn/MarkedText.h"

#include "Shared/Text/TextUtils.h"

#include <QStringList>

#include <unicode/uchar.h>

#include <algorithm>

namespace Lumivox::MarkedText {

namespace {

const InlinePresentationIntent strong {InlinePresentationIntent::stronglyEmphasized};

QString escaped(QStringView text)
{
    QString out = text.toString();
    out.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    out.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    out.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return out;
}

bool isMark(char32_t c)
{
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & (U_GC_MN_MASK | U_GC_MC_MASK | U_GC_ME_MASK)) != 0;
}

bool isPunctuation(char32_t c)
{
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_P_MASK) != 0;
}

void appendScalar(QString &out, char32_t c)
{
    if (c > 0xFFFF) {
        out.append(QChar::highSurrogate(c));
        out.append(QChar::lowSurrogate(c));
    } else {
        out.append(QChar(static_cast<char16_t>(c)));
    }
}

struct MarkedScalar
{
    char32_t scalar;
    bool bold;
};

void addDecoded(std::vector<MarkedScalar> &out, QStringView raw, bool bold)
{
    Text::forEachScalar(Text::htmlUnescaped(raw), [&](char32_t c) { out.push_back({c, bold}); });
}

QString trimmedOfPunctuation(const QString &text)
{
    std::vector<char32_t> scalars;
    Text::forEachScalar(text, [&](char32_t c) { scalars.push_back(c); });
    auto trimmable = [](char32_t c) { return Text::isWhitespaceOrNewline(c) || isPunctuation(c); };
    std::size_t from = 0;
    std::size_t to = scalars.size();
    while (from < to && trimmable(scalars[from]))
        ++from;
    while (to > from && trimmable(scalars[to - 1]))
        --to;
    QString out;
    for (std::size_t i = from; i < to; ++i)
        appendScalar(out, scalars[i]);
    return out;
}

bool isRangeOf(const QString &text, const TextRange &range)
{
    return range.location >= 0 && range.length >= 0 && range.end() <= text.size()
        && !Text::splitsSurrogatePair(text, range.location) && !Text::splitsSurrogatePair(text, range.end());
}

} // namespace

QString html(const QString &text, const std::vector<TextRange> &marking)
{
    std::vector<TextRange> ranges;
    for (const TextRange &range : marking) {
        // Cutting through a surrogate pair would leave broken halves on either side of a tag.
        if (isRangeOf(text, range))
            ranges.push_back(range);
    }
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const TextRange &a, const TextRange &b) { return a.location < b.location; });
    QString out;
    qsizetype cursor = 0;
    for (const TextRange &range : ranges) {
        if (range.location < cursor)
            continue;
        out += escaped(QStringView(text).mid(cursor, range.location - cursor));
        out += QLatin1String("<b>");
        out += escaped(QStringView(text).mid(range.location, range.length));
        out += QLatin1String("</b>");
        cursor = range.end();
    }
    out += escaped(QStringView(text).mid(cursor));
    return out;
}

StyledText attributed(const QString &text, const std::vector<TextRange> &marking)
{
    StyledText styled(text);
    for (const TextRange &range : marking)
        styled.setInlinePresentationIntent(range, strong);
    return styled;
}

StyledText attributedFromHTML(const QString &html)
{
    std::vector<MarkedScalar> scalars;
    bool bold = false;
    qsizetype position = 0;
    for (;;) {
        const qsizetype open = html.indexOf(QLatin1Char('<'), position);
        if (open < 0)
            break;
        addDecoded(scalars, QStringView(html).mid(position, open - position), bold);
        const qsizetype close = html.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0) {
            position = open;
            break;
        }
        const QString tag = Text::lowercased(QStringView(html).mid(open + 1, close - open - 1));
        if (tag == QLatin1String("b"))
            bold = true;
        else if (tag == QLatin1String("/b"))
            bold = false;
        position = close + 1;
    }
    addDecoded(scalars, QStringView(html).mid(position), bold);

    // Translation services put a blank between a letter and its combining mark; the mark belongs to
    // the letter before the blank.
    std::vector<MarkedScalar> kept;
    kept.reserve(scalars.size());
    for (std::size_t i = 0; i < scalars.size(); ++i) {
        if (i + 1 < scalars.size() && u_isUWhiteSpace(static_cast<UChar32>(scalars[i].scalar))
            && isMark(scalars[i + 1].scalar))
            continue;
        kept.push_back(scalars[i]);
    }

    StyledText result;
    QString run;
    bool runBold = kept.empty() ? false : kept.front().bold;
    auto flush = [&] {
        if (run.isEmpty())
            return;
        TextAttributes attributes;
        if (runBold)
            attributes.inlinePresentationIntent = strong;
        result.append(run, attributes);
        run.clear();
    };
    for (const MarkedScalar &item : kept) {
        if (item.bold != runBold) {
            flush();
            runBold = item.bold;
        }
        appendScalar(run, item.scalar);
    }
    flush();
    return result;
}

QString markedWords(const StyledText &text)
{
    QStringList words;
    for (const StyledText::Run &run : text.runs()) {
        if (!run.attributes.isStronglyEmphasized())
            continue;
        const QString word = trimmedOfPunctuation(text.text(run));
        if (!word.isEmpty())
            words.append(word);
    }
    return words.join(QLatin1Char(' '));
}

std::optional<TextRange> range(const QString &word, const QString &text)
{
    if (word.isEmpty())
        return std::nullopt;
    const qsizetype at = text.indexOf(word, 0, Qt::CaseInsensitive);
    if (at < 0)
        return std::nullopt;
    return TextRange {at, word.size()};
}

StyledText remarked(const StyledText &text, const QString &word)
{
    const QString &plain = text.text();
    const auto found = range(word, plain);
    if (!found)
        return text;
    // Widen to whole user-perceived characters, so that a match that stops before a combining mark
    // still marks the letter with its mark.
    qsizetype from = found->location;
    qsizetype to = found->end();
    Text::enumerateGraphemes(plain, [&](const Text::Segment &segment) {
        if (segment.start < found->location && segment.end() > found->location)
            from = segment.start;
        if (segment.start < found->end() && segment.end() > found->end())
            to = segment.end();
        return segment.start < found->end();
    });
    StyledText result = unmarked(text);
    if (!result.setInlinePresentationIntent(TextRange {from, to - from}, strong))
        return text;
    return result;
}

StyledText unmarked(const StyledText &text)
{
    StyledText result = text;
    result.setInlinePresentationIntent(TextRange {0, text.text().size()}, std::nullopt);
    return result;
}

} // namespace Lumivox::MarkedText
