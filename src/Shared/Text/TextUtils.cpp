#include "Shared/Text/TextUtils.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>

#include <algorithm>
#include <memory>

namespace Lumivox::Text {

namespace {

enum class Kind { word, sentence, grapheme };

// Break iterators are costly to create; each thread keeps one of each kind and re-targets it.
icu::BreakIterator *iterator(Kind kind)
{
    thread_local std::unique_ptr<icu::BreakIterator> cache[3];
    auto &slot = cache[static_cast<int>(kind)];
    if (!slot) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Locale &root = icu::Locale::getRoot();
        switch (kind) {
        case Kind::word:
            slot.reset(icu::BreakIterator::createWordInstance(root, status));
            break;
        case Kind::sentence:
            slot.reset(icu::BreakIterator::createSentenceInstance(root, status));
            break;
        case Kind::grapheme:
            slot.reset(icu::BreakIterator::createCharacterInstance(root, status));
            break;
        }
        if (U_FAILURE(status))
            slot.reset();
    }
    return slot.get();
}

void enumerate(Kind kind, QStringView text, const SegmentVisitor &visit)
{
    if (text.isEmpty())
        return;
    icu::BreakIterator *shared = iterator(kind);
    if (!shared)
        return;
    // A visitor may enumerate again (a word judged by looking at its words); the nested walk must
    // not re-target the iterator the outer walk is still using, so it works on a clone.
    thread_local bool inUse[3] = {false, false, false};
    bool &busy = inUse[static_cast<int>(kind)];
    std::unique_ptr<icu::BreakIterator> clone;
    icu::BreakIterator *it = shared;
    if (busy) {
        clone.reset(shared->clone());
        if (!clone)
            return;
        it = clone.get();
    }
    const bool owner = !busy;
    busy = true;
    struct Release
    {
        bool owner;
        bool &busy;
        ~Release()
        {
            if (owner)
                busy = false;
        }
    } release {owner, busy};
    UErrorCode status = U_ZERO_ERROR;
    UText *ut = utext_openUChars(nullptr, reinterpret_cast<const UChar *>(text.utf16()), text.size(), &status);
    if (U_FAILURE(status))
        return;
    it->setText(ut, status);
    if (U_FAILURE(status)) {
        utext_close(ut);
        return;
    }
    int32_t start = it->first();
    for (int32_t end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
        Segment segment {start, end - start, it->getRuleStatus()};
        if (!visit(segment))
            break;
    }
    // Detach the iterator from the caller's buffer before it goes away.
    UErrorCode ignored = U_ZERO_ERROR;
    UText *empty = utext_openUChars(nullptr, u"", 0, &ignored);
    it->setText(empty, ignored);
    utext_close(ut);
    utext_close(empty);
}

QString mapCase(QStringView text, bool lower)
{
    if (text.isEmpty())
        return {};
    // ASCII (nearly every word the word book keys by) maps letter by letter exactly as the full
    // mapping does, without a round through the library.
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        QString out = text.toString();
        const char16_t from = lower ? u'A' : u'a';
        for (QChar &c : out) {
            if (c.unicode() >= from && c.unicode() <= from + 25)
                c = QChar(char16_t(c.unicode() ^ 0x20));
        }
        return out;
    }
    const QString valid = withValidSurrogates(text);
    const auto *src = reinterpret_cast<const UChar *>(valid.utf16());
    QString out(valid.size(), Qt::Uninitialized);
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        auto *dst = reinterpret_cast<UChar *>(out.data());
        const int32_t n = lower ? u_strToLower(dst, out.size(), src, valid.size(), "", &status)
                                : u_strToUpper(dst, out.size(), src, valid.size(), "", &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(n);
            continue;
        }
        if (U_FAILURE(status))
            return valid;
        out.resize(n);
        return out;
    }
}

} // namespace

bool isWhitespaceOrNewline(char32_t c)
{
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

QString trimmed(QStringView text)
{
    qsizetype begin = 0;
    while (begin < text.size()) {
        qsizetype i = begin;
        if (!isWhitespaceOrNewline(nextScalar(text, i)))
            break;
        begin = i;
    }
    const QStringView rest = text.sliced(begin);
    qsizetype end = rest.size();
    while (end > 0) {
        qsizetype start = end;
        if (!isWhitespaceOrNewline(previousScalar(rest, start)))
            break;
        end = start;
    }
    return rest.first(end).toString();
}

QString lowercased(QStringView text)
{
    return mapCase(text, true);
}
QString uppercased(QStringView text)
{
    return mapCase(text, false);
}

QString folded(QStringView text)
{
    if (text.isEmpty())
        return {};
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status))
        return mapCase(text, true);
    const QString valid = withValidSurrogates(text);
    const icu::UnicodeString source(false, reinterpret_cast<const UChar *>(valid.utf16()), int32_t(valid.size()));
    const icu::UnicodeString decomposed = nfd->normalize(source, status);
    if (U_FAILURE(status))
        return mapCase(text, true);
    icu::UnicodeString bare;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK)
            bare.append(c);
        i += U16_LENGTH(c);
    }
    bare.foldCase(U_FOLD_CASE_DEFAULT);
    return QString(reinterpret_cast<const QChar *>(bare.getBuffer()), bare.length());
}

bool isWordLike(const Segment &segment)
{
    return segment.ruleStatus >= UBRK_WORD_NONE_LIMIT;
}

void enumerateWords(QStringView text, const SegmentVisitor &visit)
{
    enumerate(Kind::word, text, visit);
}
void enumerateSentences(QStringView text, const SegmentVisitor &visit)
{
    enumerate(Kind::sentence, text, visit);
}
void enumerateGraphemes(QStringView text, const SegmentVisitor &visit)
{
    enumerate(Kind::grapheme, text, visit);
}

std::vector<Segment> words(QStringView text)
{
    std::vector<Segment> out;
    enumerateWords(text, [&](const Segment &s) {
        if (isWordLike(s))
            out.push_back(s);
        return true;
    });
    return out;
}

std::vector<Segment> sentences(QStringView text)
{
    std::vector<Segment> out;
    enumerateSentences(text, [&](const Segment &s) {
        out.push_back(s);
        return true;
    });
    return out;
}

qsizetype graphemeCount(QStringView text)
{
    qsizetype n = 0;
    enumerateGraphemes(text, [&](const Segment &) {
        ++n;
        return true;
    });
    return n;
}

QString graphemePrefix(QStringView text, qsizetype count)
{
    if (count <= 0)
        return {};
    qsizetype end = 0;
    qsizetype n = 0;
    enumerateGraphemes(text, [&](const Segment &s) {
        end = s.end();
        return ++n < count;
    });
    return text.left(end).toString();
}

QString htmlUnescaped(QStringView text)
{
    QString out = text.toString();
    out.replace(QLatin1String("&quot;"), QLatin1String("\""));
    out.replace(QLatin1String("&#39;"), QLatin1String("'"));
    out.replace(QLatin1String("&apos;"), QLatin1String("'"));
    out.replace(QLatin1String("&lt;"), QLatin1String("<"));
    out.replace(QLatin1String("&gt;"), QLatin1String(">"));
    out.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return out;
}

namespace {

// Inlined where whole texts are scanned; the exported function cannot be.
inline bool stripped(char32_t c)
{
    if (c < 0x20)
        return c != U'\t' && c != U'\n';
    return (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

bool isStrippedControl(char32_t c)
{
    return stripped(c);
}

QString withoutControls(const QString &text)
{
    // Nearly every text has none, and every record of the word book passes here at start: one plain
    // pass over the code units tells (no surrogate is stripped, so a unit can be tested on its own).
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return stripped(c.unicode()); }))
        return text;
    // A control that breaks a line keeps the break, as a line feed: words on two lines do not run
    // into one. CR LF is one break.
    const auto breaksLine = [](QChar c) { return c == u'\r' || c == u'\v' || c == u'\f' || c == u'\u0085'; };
    if (std::none_of(text.cbegin(), text.cend(), breaksLine))
        return withoutScalars(text, isStrippedControl);
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar &c : lines) {
        if (breaksLine(c))
            c = u'\n';
    }
    return withoutScalars(lines, isStrippedControl);
}

qsizetype offsetWithoutControls(const QString &text, const QString &cleaned, qsizetype offset)
{
    // The same length means line breaks were at most rewritten one for one: every place stays.
    if (cleaned.size() == text.size() || offset <= 0 || offset > text.size())
        return offset;
    return withoutControls(text.left(offset)).size();
}

QString withoutScalars(const QString &text, bool (*drop)(char32_t))
{
    // Most texts need no change: hand back the shared text without copying it.
    QString kept;
    bool changed = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        qsizetype width = 1;
        const bool dropped = drop(scalarAt(text, i, &width));
        if (dropped && !changed) {
            kept = text.left(i);
            kept.reserve(n);
            changed = true;
        } else if (!dropped && changed) {
            kept.append(text.constData() + i, width);
        }
        i += width;
    }
    return changed ? kept : text;
}

} // namespace Lumivox::Text
