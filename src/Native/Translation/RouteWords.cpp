#include "Native/Translation/RouteWords.h"

#include "Native/Apertium/NullFlushPipeline.h"
#include "Native/Apertium/StreamUnits.h"
#include "Native/Translation/ApertiumWordLookup.h"

#include <QStringList>

#include <algorithm>
#include <utility>

namespace Lumivox::Native {

namespace {

const QString numberPrefix = QStringLiteral("w:");

// A stream cut into what the stages below look at: word-bound blanks (their content, between [[ and
// ]]), units (between ^ and $, escapes kept) and everything else as it stands.
struct Piece
{
    enum class Kind { text, blank, unit };
    Kind kind = Kind::text;
    QString raw;
    bool removed = false;
};

qsizetype unescapedIndexOf(QStringView s, QChar c, qsizetype from)
{
    for (qsizetype i = from; i < s.size(); ++i) {
        if (s[i] == u'\\')
            ++i;
        else if (s[i] == c)
            return i;
    }
    return -1;
}

std::vector<Piece> piecesOf(QStringView s)
{
    std::vector<Piece> pieces;
    QString text;
    const auto flush = [&] {
        if (!text.isEmpty())
            pieces.push_back({Piece::Kind::text, std::exchange(text, {})});
    };
    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s[i];
        if (c == u'\\' && i + 1 < s.size()) {
            text += s.mid(i, 2);
            i += 2;
            continue;
        }
        if (c == u'[' && i + 1 < s.size() && s[i + 1] == u'[') {
            const qsizetype end = s.indexOf(u"]]", i + 2);
            if (end >= 0) {
                flush();
                pieces.push_back({Piece::Kind::blank, s.mid(i + 2, end - i - 2).toString()});
                i = end + 2;
                continue;
            }
        }
        if (c == u'[') {
            // A superblank passes as text.
            const qsizetype end = unescapedIndexOf(s, u']', i + 1);
            if (end >= 0) {
                text += s.mid(i, end + 1 - i);
                i = end + 1;
                continue;
            }
        }
        if (c == u'^') {
            const qsizetype end = unescapedIndexOf(s, u'$', i + 1);
            if (end >= 0) {
                flush();
                pieces.push_back({Piece::Kind::unit, s.mid(i + 1, end - i - 1).toString()});
                i = end + 1;
                continue;
            }
        }
        text += c;
        ++i;
    }
    flush();
    return pieces;
}

QString joined(const std::vector<Piece> &pieces)
{
    QString out;
    for (const Piece &piece : pieces) {
        if (piece.removed)
            continue;
        switch (piece.kind) {
        case Piece::Kind::text:
            out += piece.raw;
            break;
        case Piece::Kind::blank:
            out += QLatin1String("[[") + piece.raw + QLatin1String("]]");
            break;
        case Piece::Kind::unit:
            out += QLatin1Char('^') + piece.raw + QLatin1Char('$');
            break;
        }
    }
    return out;
}

QStringList entriesOf(QStringView content)
{
    QStringList entries;
    for (QStringView entry : content.split(u';'))
        entries.append(entry.trimmed().toString());
    return entries;
}

// A blank that opens a span (not the [[/]] that closes one).
bool isOpening(const Piece &piece)
{
    return piece.kind == Piece::Kind::blank && piece.raw != u"/";
}

// The blank attached to the unit at `i`: the one just before it, with nothing between.
Piece *attachedBlank(std::vector<Piece> &pieces, std::size_t i)
{
    if (i == 0 || !isOpening(pieces[i - 1]) || pieces[i - 1].removed)
        return nullptr;
    return &pieces[i - 1];
}

std::vector<qsizetype> numbersIn(const Piece *blank)
{
    std::vector<qsizetype> numbers;
    if (!blank)
        return numbers;
    for (const QString &entry : entriesOf(blank->raw)) {
        bool ok = false;
        const qsizetype n = entry.startsWith(numberPrefix) ? entry.mid(numberPrefix.size()).toLongLong(&ok) : -1;
        if (ok && n >= 0)
            numbers.push_back(n);
    }
    return numbers;
}

// The fields of a unit (surface, then analyses; source, then targets), escapes kept.
QStringList fieldsOf(QStringView unit)
{
    QStringList fields;
    qsizetype from = 0;
    for (qsizetype at = unescapedIndexOf(unit, u'/', 0); at >= 0; at = unescapedIndexOf(unit, u'/', from)) {
        fields.append(unit.mid(from, at - from).toString());
        from = at + 1;
    }
    fields.append(unit.mid(from).toString());
    return fields;
}

QString tagsOf(const Apertium::ReadingPart &part)
{
    QString tags;
    for (const QString &tag : part.tags)
        tags += QLatin1Char('<') + tag + QLatin1Char('>');
    return tags;
}

bool isProperNoun(QStringView analysis, QString *tags)
{
    const auto parts = Apertium::readAnalysis(analysis);
    if (parts.size() != 1 || parts.front().tags.value(0) != QLatin1String("np"))
        return false;
    *tags = tagsOf(parts.front());
    return true;
}

bool isSpaceOnly(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

} // namespace

void RouteWords::unmarkLeadingArticles(QString &toGenerate)
{
    std::vector<Piece> pieces = piecesOf(toGenerate);
    // The marked units in order: the index of each unit and of its opening blank; a run of them
    // with nothing but space between them is one marked phrase.
    struct Marked
    {
        std::size_t blank;
        std::size_t unit;
    };
    std::vector<std::vector<Marked>> runs;
    std::size_t lastEnd = 0;
    for (std::size_t i = 0; i + 2 < pieces.size(); ++i) {
        if (!isOpening(pieces[i]) || !isMarkBlank(pieces[i].raw) || pieces[i + 1].kind != Piece::Kind::unit
            || pieces[i + 2].kind != Piece::Kind::blank || pieces[i + 2].raw != u"/")
            continue;
        bool joins = !runs.empty();
        for (std::size_t k = lastEnd + 1; joins && k < i; ++k)
            joins = pieces[k].kind == Piece::Kind::text && isSpaceOnly(pieces[k].raw);
        if (!joins)
            runs.emplace_back();
        runs.back().push_back({i, i + 1});
        lastEnd = i + 2;
    }
    const auto isFunctionWord = [&](const Marked &m) {
        const auto parts = Apertium::readAnalysis(pieces[m.unit].raw);
        const QString tag = parts.empty() ? QString() : parts.front().tags.value(0);
        return tag == QLatin1String("det") || tag == QLatin1String("pr") || tag == QLatin1String("predet");
    };
    for (const std::vector<Marked> &run : runs) {
        if (std::all_of(run.begin(), run.end(), isFunctionWord))
            continue;
        for (const Marked &m : run) {
            if (!isFunctionWord(m))
                break;
            QStringList entries = entriesOf(pieces[m.blank].raw);
            entries.removeAll(QStringLiteral("b"));
            if (entries.isEmpty()) {
                pieces[m.blank].removed = true;
                pieces[m.unit + 1].removed = true;
            } else {
                pieces[m.blank].raw = entries.join(QLatin1String("; "));
            }
        }
    }
    toGenerate = joined(pieces);
}

bool RouteWords::isMarkBlank(QStringView content)
{
    return entriesOf(content).contains(QStringLiteral("b"));
}

qsizetype RouteWords::nameOf(const std::vector<qsizetype> &numbers) const
{
    if (numbers.size() != 1 || std::size_t(numbers.front()) >= m_words.size())
        return -1;
    return m_words[std::size_t(numbers.front())].nameTags.isEmpty() ? -1 : numbers.front();
}

void RouteWords::number(QString &tagged)
{
    std::vector<Piece> pieces = piecesOf(tagged);
    std::vector<Piece> out;
    out.reserve(pieces.size() * 2);
    for (Piece &piece : pieces) {
        if (piece.kind != Piece::Kind::unit) {
            out.push_back(std::move(piece));
            continue;
        }
        const QStringList fields = fieldsOf(piece.raw);
        Word word;
        word.surface = Apertium::unescape(fields.front());
        word.unknown = fields.value(1).startsWith(QLatin1Char('*'));
        isProperNoun(fields.value(1), &word.nameTags);
        // Only words the second pair may lack or mistake need their number: the rest would only make
        // every stage read more blanks.
        const auto parts = Apertium::readAnalysis(fields.value(1));
        if (!word.unknown && word.nameTags.isEmpty()
            && (parts.empty() || !ApertiumWords::isContentWord(parts.front()))) {
            out.push_back(std::move(piece));
            continue;
        }
        const QString entry = numberPrefix + QString::number(m_words.size());
        m_words.push_back(std::move(word));
        if (!out.empty() && isOpening(out.back()))
            out.back().raw += QLatin1String("; ") + entry;
        else
            out.push_back({Piece::Kind::blank, entry});
        out.push_back(std::move(piece));
    }
    tagged = joined(out);
}

void RouteWords::carry(QString &tagged) const
{
    std::vector<Piece> pieces = piecesOf(tagged);
    std::vector<qsizetype> lastReplaced;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].kind != Piece::Kind::unit || pieces[i].removed)
            continue;
        const std::vector<qsizetype> numbers = numbersIn(attachedBlank(pieces, i));
        const bool known =
            std::all_of(numbers.begin(), numbers.end(), [&](qsizetype n) { return std::size_t(n) < m_words.size(); });
        if (numbers.empty() || !known) {
            lastReplaced.clear();
            continue;
        }
        const QStringList fields = fieldsOf(pieces[i].raw);
        const bool unknownHere = fields.value(1).startsWith(QLatin1Char('*'));
        const bool unknownBefore =
            std::any_of(numbers.begin(), numbers.end(), [&](qsizetype n) { return m_words[std::size_t(n)].unknown; });
        if (unknownHere || unknownBefore) {
            // The user's word, unknown, as a direct pair leaves it; once for a word the second pair
            // reads as several.
            if (numbers == lastReplaced) {
                pieces[i].removed = true;
                pieces[i - 1].removed = true;
                if (i >= 2 && pieces[i - 2].kind == Piece::Kind::text && isSpaceOnly(pieces[i - 2].raw))
                    pieces[i - 2].removed = true;
                continue;
            }
            QStringList surfaces;
            for (qsizetype n : numbers)
                surfaces.append(m_words[std::size_t(n)].surface);
            const QString surface = Apertium::escape(surfaces.join(QLatin1Char(' ')));
            pieces[i].raw = surface + QLatin1String("/*") + surface;
            lastReplaced = numbers;
            continue;
        }
        lastReplaced.clear();
        const qsizetype name = nameOf(numbers);
        if (name < 0)
            continue;
        // The units the name became here, one proper noun again; its own reading's tags when this
        // pair reads it as one too.
        QString text = fields.front();
        QString tags;
        std::size_t last = i;
        while (last + 3 < pieces.size() && pieces[last + 1].kind == Piece::Kind::text
               && isSpaceOnly(pieces[last + 1].raw) && numbersIn(attachedBlank(pieces, last + 3)) == numbers
               && pieces[last + 3].kind == Piece::Kind::unit) {
            text += pieces[last + 1].raw + fieldsOf(pieces[last + 3].raw).front();
            for (std::size_t k = last + 1; k <= last + 3; ++k)
                pieces[k].removed = true;
            last += 3;
        }
        if (last != i || !isProperNoun(fields.value(1), &tags))
            tags = m_words[std::size_t(name)].nameTags;
        pieces[i].raw = text + QLatin1Char('/') + text + tags;
    }
    tagged = joined(pieces);
}

void RouteWords::carryTranslations(QString &translated) const
{
    std::vector<Piece> pieces = piecesOf(translated);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].kind != Piece::Kind::unit)
            continue;
        const std::vector<qsizetype> numbers = numbersIn(attachedBlank(pieces, i));
        const bool known =
            std::all_of(numbers.begin(), numbers.end(), [&](qsizetype n) { return std::size_t(n) < m_words.size(); });
        if (numbers.empty() || !known)
            continue;
        const QStringList fields = fieldsOf(pieces[i].raw);
        if (nameOf(numbers) >= 0) {
            pieces[i].raw = fields.front() + QLatin1Char('/') + fields.front();
        } else if (fields.value(1).startsWith(QLatin1Char('@'))) {
            QStringList surfaces;
            for (qsizetype n : numbers)
                surfaces.append(m_words[std::size_t(n)].surface);
            const auto parts = Apertium::readAnalysis(fields.front());
            const QString tags = parts.size() == 1 ? tagsOf(parts.front()) : QString();
            pieces[i].raw = fields.front() + QLatin1String("/@") + Apertium::escape(surfaces.join(u' ')) + tags;
        }
    }
    translated = joined(pieces);
}

void RouteWords::unmarkNames(QString &generated) const
{
    std::vector<Piece> pieces = piecesOf(generated);
    bool inName = false;
    for (Piece &piece : pieces) {
        if (piece.kind == Piece::Kind::blank) {
            inName = isOpening(piece) && nameOf(numbersIn(&piece)) >= 0;
            continue;
        }
        if (!inName || piece.kind != Piece::Kind::text)
            continue;
        QString &text = piece.raw;
        for (qsizetype k = 0; k + 1 < text.size(); ++k) {
            const bool wordStart = k == 0 || text[k - 1].isSpace();
            if (wordStart && (text[k] == u'#' || text[k] == u'@' || text[k] == u'*') && !text[k + 1].isSpace())
                text.remove(k, 1);
        }
    }
    generated = joined(pieces);
}

} // namespace Lumivox::Native
