#include "Services/Words/WordExport.h"

#include "Shared/Text/TextUtils.h"

#include <QDateTime>
#include <QStringList>

namespace Lumivox::WordExport {

namespace {

// Words stored by earlier versions may hold control characters as a hovered page or a translation
// service gave them; no cell of an export carries one.
QString csvField(const QString &stored)
{
    const QString text = Text::withoutControls(stored);
    const bool needsQuotes = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
    if (!needsQuotes)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString html(QString text)
{
    text.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    text.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    text.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return text;
}

QString ankiField(const QString &stored)
{
    QString text = Text::withoutControls(stored);
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return text;
}

QString meanings(const SavedWord &word)
{
    QStringList parts;
    parts.reserve(qsizetype(word.senses.size()));
    for (const WordSense &sense : word.senses)
        parts.append(sense.meaning);
    return parts.join(QLatin1String("; "));
}

const WordLookup *firstEncounter(const SavedWord &word)
{
    return word.encounters.empty() ? nullptr : &word.encounters.front();
}

QString isoDay(Date date, const QTimeZone &zone)
{
    const QDate day = date.toDateTime().toTimeZone(zone).date();
    if (!day.isValid())
        return QString();
    return QStringLiteral("%1-%2-%3")
        .arg(day.year(), 4, 10, QLatin1Char('0'))
        .arg(day.month(), 2, 10, QLatin1Char('0'))
        .arg(day.day(), 2, 10, QLatin1Char('0'));
}

struct Range
{
    qsizetype start = 0;
    qsizetype length = 0;
};

std::optional<Range> wordRange(const QString &word, const QString &sentence, std::optional<qint64> offset)
{
    const qsizetype length = word.size();
    if (offset && *offset >= 0 && *offset <= sentence.size() - length
        && QStringView(sentence).mid(qsizetype(*offset), length) == word) {
        return Range {qsizetype(*offset), length};
    }
    std::optional<Range> found;
    Text::enumerateWords(sentence, [&](const Text::Segment &segment) {
        if (Text::isWordLike(segment) && QStringView(sentence).mid(segment.start, segment.length) == word) {
            found = Range {segment.start, segment.length};
            return false;
        }
        return true;
    });
    return found;
}

QString ankiCard(const SavedWord &word)
{
    const WordLookup *encounter = firstEncounter(word);

    QString front;
    if (encounter && encounter->sentence && !encounter->sentence->isEmpty())
        front = highlighted(word.word, *encounter->sentence, encounter->wordOffset);
    else
        front = QLatin1String("<b>") + html(word.word) + QLatin1String("</b>");

    QString back = QLatin1String("<b>") + html(meanings(word)) + QLatin1String("</b>");
    if (!word.senses.empty() && word.senses.front().grammarTag) {
        const WordSense &sense = word.senses.front();
        QStringList grammar;
        for (const QString &part : {*sense.grammarTag, sense.grammarText.value_or(QString())}) {
            if (!part.isEmpty())
                grammar.append(part);
        }
        back += QLatin1String("<br>") + html(grammar.join(QStringLiteral(" \u00B7 ")));
    }
    if (encounter && encounter->translation && !encounter->translation->isEmpty())
        back += QLatin1String("<br><i>") + html(*encounter->translation) + QLatin1String("</i>");

    return ankiField(front) + QLatin1Char('\t') + ankiField(back);
}

} // namespace

QString title(Format format)
{
    return format == Format::csv ? QStringLiteral("CSV") : QStringLiteral("Anki");
}

QString text(const std::vector<SavedWord> &words, Format format, const LanguageName &languageName)
{
    return format == Format::csv ? csv(words, languageName) : anki(words);
}

QString csv(const std::vector<SavedWord> &words, const LanguageName &languageName, const QTimeZone &zone)
{
    const QLatin1String lineEnd("\r\n");
    const auto row = [](const QStringList &cells) {
        QStringList quoted;
        quoted.reserve(cells.size());
        for (const QString &cell : cells)
            quoted.append(csvField(cell));
        return quoted.join(QLatin1Char(','));
    };

    QString out =
        row({QStringLiteral("Word"), QStringLiteral("Meaning"), QStringLiteral("Type"), QStringLiteral("Grammar"),
             QStringLiteral("Sentence"), QStringLiteral("Translation"), QStringLiteral("From"), QStringLiteral("To"),
             QStringLiteral("Met in"), QStringLiteral("Saved")});
    out += lineEnd;
    for (const SavedWord &word : words) {
        const WordSense *sense = word.senses.empty() ? nullptr : &word.senses.front();
        const WordLookup *encounter = firstEncounter(word);
        const auto fromEncounter = [&](const std::optional<QString> WordLookup::*field) {
            return encounter ? (encounter->*field).value_or(QString()) : QString();
        };
        out += row({
            word.word,
            meanings(word),
            sense ? sense->grammarTag.value_or(QString()) : QString(),
            sense ? sense->grammarText.value_or(QString()) : QString(),
            fromEncounter(&WordLookup::sentence),
            fromEncounter(&WordLookup::translation),
            word.source ? languageName(*word.source) : QString(),
            languageName(word.target),
            fromEncounter(&WordLookup::appName),
            isoDay(word.savedAt, zone),
        });
        out += lineEnd;
    }
    return out;
}

QString anki(const std::vector<SavedWord> &words)
{
    QString out = QStringLiteral("#separator:tab\n#html:true\n#notetype:Basic\n#deck:Lumivox\n#columns:Front\tBack\n");
    for (const SavedWord &word : words) {
        out += ankiCard(word);
        out += QLatin1Char('\n');
    }
    // The cards are joined by line feeds and one more ends the text, so an empty export still ends
    // with an empty line.
    if (words.empty())
        out += QLatin1Char('\n');
    return out;
}

QString highlighted(const QString &word, const QString &sentence, std::optional<qint64> offset)
{
    const auto range = wordRange(word, sentence, offset);
    if (!range)
        return html(sentence);
    return html(sentence.left(range->start)) + QLatin1String("<b>") + html(sentence.mid(range->start, range->length))
        + QLatin1String("</b>") + html(sentence.mid(range->start + range->length));
}

} // namespace Lumivox::WordExport
