#include "Native/Apertium/StreamUnits.h"

#include "Native/Apertium/NullFlushPipeline.h"

namespace Lumivox::Native::Apertium {

std::vector<StreamUnit> readUnits(QStringView stream)
{
    std::vector<StreamUnit> units;
    const qsizetype n = stream.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = stream[i];
        if (c == u'\\') {
            i += 2;
            continue;
        }
        if (c != u'^') {
            ++i;
            continue;
        }
        ++i;
        StreamUnit unit;
        QString field;
        bool inSurface = true;
        bool closed = false;
        while (i < n) {
            const QChar d = stream[i];
            if (d == u'\\' && i + 1 < n) {
                // The surface is read as text; analyses keep their escapes, so that a literal '<',
                // '/' or '#' in a lemma can still be told from the separators.
                if (!inSurface)
                    field.append(d);
                field.append(stream[i + 1]);
                i += 2;
                continue;
            }
            ++i;
            if (d == u'$') {
                closed = true;
                break;
            }
            if (d == u'/') {
                if (inSurface)
                    unit.surface = field;
                else
                    unit.analyses.append(field);
                field.clear();
                inSurface = false;
                continue;
            }
            field.append(d);
        }
        if (!closed)
            continue;
        if (inSurface)
            unit.surface = field;
        else
            unit.analyses.append(field);
        units.push_back(std::move(unit));
    }
    return units;
}

std::vector<ReadingPart> readAnalysis(QStringView analysis)
{
    std::vector<ReadingPart> parts;
    if (analysis.startsWith(u'*') || analysis.startsWith(u'@'))
        return parts;
    enum class In { lemma, tag, afterTags, queue };
    In in = In::lemma;
    ReadingPart part;
    QString tag;
    for (qsizetype k = 0; k < analysis.size(); ++k) {
        QChar a = analysis[k];
        const bool escaped = a == u'\\' && k + 1 < analysis.size();
        if (escaped)
            a = analysis[++k];
        if (!escaped && in == In::tag) {
            if (a == u'>') {
                part.tags.append(tag);
                tag.clear();
                in = In::afterTags;
            } else {
                tag.append(a);
            }
            continue;
        }
        if (!escaped && a == u'<' && in != In::queue) {
            in = In::tag;
            continue;
        }
        // "do<vbdo><pres>+not<adv>": a '+' after the tags starts the next joined word.
        if (!escaped && a == u'+' && !part.tags.isEmpty()) {
            parts.push_back(std::move(part));
            part = ReadingPart();
            in = In::lemma;
            continue;
        }
        if (!escaped && a == u'#' && in == In::afterTags) {
            in = In::queue;
            continue;
        }
        if (in == In::tag)
            tag.append(a);
        else if (in == In::lemma)
            part.lemma.append(a);
        else if (in == In::queue)
            part.queue.append(a);
    }
    if (!part.lemma.isEmpty() || !part.tags.isEmpty())
        parts.push_back(std::move(part));
    return parts;
}

QString writeUnit(const ReadingPart &part)
{
    QString out = QStringLiteral("^") + escape(part.lemma);
    for (const QString &tag : part.tags)
        out += QLatin1Char('<') + tag + QLatin1Char('>');
    if (!part.queue.isEmpty())
        out += QLatin1Char('#') + escape(part.queue);
    out += QLatin1Char('$');
    return out;
}

} // namespace Lumivox::Native::Apertium
