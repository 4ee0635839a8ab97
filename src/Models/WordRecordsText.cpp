// The records straight from and to JSON text, without building a tree first: a long history is
// read line by line at every start, and a general-purpose tree costs several times what the
// records themselves do. The verdicts and messages are the tree reader's, value for value:
//   - the whole text is always checked, so broken JSON anywhere wins over a bad field;
//   - a key that appears twice counts with its last value, as it does in the tree;
//   - a record reports its first bad field in field order, wherever the keys stood.

#include "Models/WordRecordsDetail.h"
#include "Models/WordRecordsJson.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace Lumivox::WordRecords {

namespace {

using Detail::Path;
namespace Message = Detail::Message;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text)
{
    const auto *s = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        char32_t cp;
        char32_t lowest;
        if ((c & 0xE0) == 0xC0) {
            length = 2, cp = c & 0x1F, lowest = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, cp = c & 0x0F, lowest = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, cp = c & 0x07, lowest = 0x10000;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned cc = s[i + k];
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

struct Number
{
    enum Kind { integer, unsignedInteger, floating } kind = integer;
    std::int64_t i = 0;
    std::uint64_t u = 0;
    double d = 0;
};

// ---- the JSON text itself ------------------------------------------------------------------

class Source
{
public:
    explicit Source(QByteArrayView bytes)
        : m_begin(bytes.data())
        , m_p(bytes.data())
        , m_end(bytes.data() + bytes.size())
    {
        // A leading byte-order mark is tolerated, as the tree parser does.
        if (bytes.startsWith("\xEF\xBB\xBF"))
            m_p += 3;
    }

    bool failed() const { return !m_failure.isNull(); }
    const QString &failure() const { return m_failure; }

    bool broken()
    {
        if (m_failure.isNull())
            m_failure = Detail::syntaxError(std::size_t(m_p - m_begin) + 1);
        return false;
    }

    /// The first byte of the next value after white space, or 0 at the end.
    char next()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n' || *m_p == '\r'))
            ++m_p;
        return m_p < m_end ? *m_p : '\0';
    }

    bool take(char c)
    {
        if (next() == c && m_p < m_end) {
            ++m_p;
            return true;
        }
        return false;
    }

    bool atEnd() { return next() == '\0' && m_p == m_end; }

    bool literal(std::string_view word)
    {
        if (std::size_t(m_end - m_p) < word.size() || std::string_view(m_p, word.size()) != word)
            return broken();
        m_p += word.size();
        return true;
    }

    /// A string at the cursor, its escapes decoded into `scratch` when it has any; `out` views
    /// either the input or `scratch`.
    bool string(std::string_view &out, std::string &scratch)
    {
        ++m_p; // the opening quote
        const char *start = m_p;
        bool ascii = true;
        while (m_p < m_end) {
            const auto c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                out = std::string_view(start, std::size_t(m_p - start));
                if (!ascii && !isValidUtf8(out))
                    return broken();
                ++m_p;
                return true;
            }
            if (c == '\\') {
                scratch.assign(start, m_p);
                return escapedString(out, scratch);
            }
            if (c < 0x20)
                return broken();
            ascii = ascii && c < 0x80;
            ++m_p;
        }
        return broken();
    }

    bool text(QString &out)
    {
        std::string_view utf8;
        if (!string(utf8, m_scratch))
            return false;
        out = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        return true;
    }

    bool number(Number &out)
    {
        const char *start = m_p;
        const char *p = m_p;
        const bool negative = p < m_end && *p == '-';
        if (negative)
            ++p;
        const char *mantissa = p;
        if (p < m_end && *p == '0') {
            ++p;
        } else if (p < m_end && isDigit(*p)) {
            while (p < m_end && isDigit(*p))
                ++p;
        } else {
            m_p = p;
            return broken();
        }
        bool fractional = false;
        if (p < m_end && *p == '.') {
            ++p;
            if (p == m_end || !isDigit(*p)) {
                m_p = p;
                return broken();
            }
            while (p < m_end && isDigit(*p))
                ++p;
            fractional = true;
        }
        long exponent = 0;
        if (p < m_end && (*p == 'e' || *p == 'E')) {
            ++p;
            bool negativeExponent = false;
            if (p < m_end && (*p == '+' || *p == '-'))
                negativeExponent = *p++ == '-';
            if (p == m_end || !isDigit(*p)) {
                m_p = p;
                return broken();
            }
            for (; p < m_end && isDigit(*p); ++p)
                exponent = std::min(exponent * 10 + (*p - '0'), 1'000'000L);
            if (negativeExponent)
                exponent = -exponent;
            fractional = true;
        }
        m_p = p;

        // Integers stay integers while they fit in 64 bits; beyond that they become doubles.
        if (!fractional) {
            if (negative) {
                if (std::from_chars(start, p, out.i).ec == std::errc()) {
                    out.kind = Number::integer;
                    return true;
                }
            } else if (std::from_chars(start, p, out.u).ec == std::errc()) {
                out.kind = Number::unsignedInteger;
                return true;
            }
        }
        out.kind = Number::floating;
        const auto parsed = std::from_chars(start, p, out.d);
        if (parsed.ec == std::errc())
            return true;
        // Too small for a double reads as zero; too large is refused (both as the tree parser does).
        if (decimalMagnitude(mantissa, p, exponent) < 0) {
            out.d = negative ? -0.0 : 0.0;
            return true;
        }
        m_p = start;
        return broken();
    }

    /// Any value, checked and thrown away (unknown keys, values of the wrong type).
    bool skip()
    {
        switch (next()) {
        case '"': {
            std::string_view ignored;
            return string(ignored, m_scratch);
        }
        case '{':
            return object([this](std::string_view) { return skip(); });
        case '[':
            return array([this](std::size_t) { return skip(); });
        case 't':
            return literal("true");
        case 'f':
            return literal("false");
        case 'n':
            return literal("null");
        default:
            if (next() == '-' || isDigit(next())) {
                Number ignored;
                return number(ignored);
            }
            return broken();
        }
    }

    /// An object at the cursor; `member(key)` reads each value.
    template<class Member>
    bool object(Member &&member)
    {
        if (!enter())
            return false;
        ++m_p;
        if (take('}'))
            return leave();
        std::string keyScratch;
        for (;;) {
            if (next() != '"')
                return broken();
            std::string_view key;
            if (!string(key, keyScratch))
                return false;
            if (!take(':'))
                return broken();
            if (!member(key))
                return false;
            if (take(','))
                continue;
            if (take('}'))
                return leave();
            return broken();
        }
    }

    /// An array at the cursor; `element(index)` reads each value.
    template<class Element>
    bool array(Element &&element)
    {
        if (!enter())
            return false;
        ++m_p;
        if (take(']'))
            return leave();
        for (std::size_t i = 0;; ++i) {
            if (!element(i))
                return false;
            if (take(','))
                continue;
            if (take(']'))
                return leave();
            return broken();
        }
    }

private:
    bool enter()
    {
        if (++m_depth > maxNestingDepth) {
            if (m_failure.isNull())
                m_failure = Detail::nestingError();
            return false;
        }
        return true;
    }

    bool leave()
    {
        --m_depth;
        return true;
    }

    bool escapedString(std::string_view &out, std::string &scratch)
    {
        while (m_p < m_end) {
            const auto c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                ++m_p;
                if (!isValidUtf8(scratch))
                    return broken();
                out = scratch;
                return true;
            }
            if (c < 0x20)
                return broken();
            if (c != '\\') {
                scratch += char(c);
                ++m_p;
                continue;
            }
            if (++m_p == m_end)
                return broken();
            switch (*m_p++) {
            case '"':
                scratch += '"';
                break;
            case '\\':
                scratch += '\\';
                break;
            case '/':
                scratch += '/';
                break;
            case 'b':
                scratch += '\b';
                break;
            case 'f':
                scratch += '\f';
                break;
            case 'n':
                scratch += '\n';
                break;
            case 'r':
                scratch += '\r';
                break;
            case 't':
                scratch += '\t';
                break;
            case 'u': {
                char32_t cp = 0;
                if (!hex4(cp))
                    return false;
                // Only a complete surrogate pair makes a character; half of one is refused.
                if (cp >= 0xDC00 && cp <= 0xDFFF)
                    return broken();
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    char32_t low = 0;
                    if (m_end - m_p < 2 || m_p[0] != '\\' || m_p[1] != 'u')
                        return broken();
                    m_p += 2;
                    if (!hex4(low))
                        return false;
                    if (low < 0xDC00 || low > 0xDFFF)
                        return broken();
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(scratch, cp);
                break;
            }
            default:
                --m_p;
                return broken();
            }
        }
        return broken();
    }

    bool hex4(char32_t &out)
    {
        if (m_end - m_p < 4)
            return broken();
        for (int k = 0; k < 4; ++k, ++m_p) {
            const char c = *m_p;
            int v;
            if (c >= '0' && c <= '9')
                v = c - '0';
            else if (c >= 'a' && c <= 'f')
                v = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                v = c - 'A' + 10;
            else
                return broken();
            out = (out << 4) | char32_t(v);
        }
        return true;
    }

    // Where the first significant digit stands: 1 for 1.5, 0 for 0.5, -2 for 0.005 (times 10^e).
    static long decimalMagnitude(const char *mantissa, const char *end, long exponent)
    {
        long position = 0;
        bool afterPoint = false;
        for (const char *p = mantissa; p < end && *p != 'e' && *p != 'E'; ++p) {
            if (*p == '.') {
                afterPoint = true;
                continue;
            }
            if (*p != '0') {
                if (!afterPoint) {
                    long digits = 0;
                    for (const char *q = p; q < end && isDigit(*q); ++q)
                        ++digits;
                    return digits + exponent;
                }
                return position + exponent;
            }
            if (afterPoint)
                --position;
        }
        return exponent;
    }

    const char *m_begin;
    const char *m_p;
    const char *m_end;
    std::size_t m_depth = 0;
    QString m_failure;
    std::string m_scratch;
};

// ---- the records ---------------------------------------------------------------------------

struct Field
{
    std::string_view name;
    bool required;
};

// What one reading of an object found for one field. A repeated key starts its field afresh.
struct Slot
{
    bool seen = false;
    QString problem;
};

template<std::size_t N>
int fieldIndex(const std::array<Field, N> &fields, std::string_view key)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (fields[i].name == key)
            return int(i);
    }
    return -1;
}

// The first problem in field order: a bad value, else a required key that never came.
template<std::size_t N>
void settle(const std::array<Field, N> &fields, const std::array<Slot, N> &found, const Path &path, QString &problem)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (!found[i].problem.isNull()) {
            problem = found[i].problem;
            return;
        }
        if (fields[i].required && !found[i].seen) {
            problem = path.child(fields[i].name.data()).describe(Message::missing);
            return;
        }
    }
}

// The names are string literals, so name.data() may be passed on as a C string.
constexpr std::array<Field, 15> lookupFields {{{"id", true},
                                               {"word", true},
                                               {"base", false},
                                               {"source", false},
                                               {"target", true},
                                               {"meaning", true},
                                               {"grammarTag", false},
                                               {"grammarText", false},
                                               {"sentence", false},
                                               {"wordOffset", false},
                                               {"translation", false},
                                               {"appID", false},
                                               {"appName", false},
                                               {"title", false},
                                               {"date", true}}};
constexpr std::array<Field, 3> senseFields {{{"meaning", true}, {"grammarTag", false}, {"grammarText", false}}};
constexpr std::array<Field, 4> reviewFields {
    {{"streak", true}, {"due", true}, {"lastReviewed", false}, {"learned", true}}};
constexpr std::array<Field, 10> savedWordFields {{{"id", true},
                                                  {"word", true},
                                                  {"base", false},
                                                  {"source", false},
                                                  {"target", true},
                                                  {"senses", true},
                                                  {"encounters", true},
                                                  {"metCount", true},
                                                  {"savedAt", true},
                                                  {"review", true}}};
constexpr std::array<Field, 3> keyFields {{{"word", true}, {"source", true}, {"target", true}}};

struct StoredKey
{
    QString word;
    QString source;
    QString target;
};

// Every read function below consumes one value. It returns false only when the text is broken;
// a value that is well-formed JSON but wrong for its field leaves `problem` set instead.
class Records
{
public:
    explicit Records(Source &source)
        : s(source)
    { }

    bool read(WordLookup &out, QString &problem, const Path &path)
    {
        std::array<Slot, lookupFields.size()> found;
        // A key repeated in the enclosing object starts this record afresh.
        out = {};
        if (!expectObject(problem, path))
            return !s.failed();
        const bool ok = s.object([&](std::string_view key) {
            const int i = fieldIndex(lookupFields, key);
            if (i < 0)
                return s.skip();
            Slot &slot = found[std::size_t(i)];
            const Path at = path.child(lookupFields[std::size_t(i)].name.data());
            switch (i) {
            case 0:
                return required(slot, at, [&](QString &p) { return uuid(out.id, p, at); });
            case 1:
                return required(slot, at, [&](QString &p) { return text(out.word, p, at); });
            case 2:
                return optionalText(slot, out.base, at);
            case 3:
                return optionalText(slot, out.source, at);
            case 4:
                return required(slot, at, [&](QString &p) { return text(out.target, p, at); });
            case 5:
                return required(slot, at, [&](QString &p) { return text(out.meaning, p, at); });
            case 6:
                return optionalText(slot, out.grammarTag, at);
            case 7:
                return optionalText(slot, out.grammarText, at);
            case 8:
                return optionalText(slot, out.sentence, at);
            case 9:
                return optional(slot, out.wordOffset, [&](std::int64_t &v, QString &p) { return integer(v, p, at); });
            case 10:
                return optionalText(slot, out.translation, at);
            case 11:
                return optionalText(slot, out.appID, at);
            case 12:
                return optionalText(slot, out.appName, at);
            case 13:
                return optionalText(slot, out.title, at);
            default:
                return required(slot, at, [&](QString &p) { return date(out.date, p, at); });
            }
        });
        if (ok)
            settle(lookupFields, found, path, problem);
        return ok;
    }

    bool read(WordSense &out, QString &problem, const Path &path)
    {
        std::array<Slot, senseFields.size()> found;
        // A key repeated in the enclosing object starts this record afresh.
        out = {};
        if (!expectObject(problem, path))
            return !s.failed();
        const bool ok = s.object([&](std::string_view key) {
            const int i = fieldIndex(senseFields, key);
            if (i < 0)
                return s.skip();
            Slot &slot = found[std::size_t(i)];
            const Path at = path.child(senseFields[std::size_t(i)].name.data());
            switch (i) {
            case 0:
                return required(slot, at, [&](QString &p) { return text(out.meaning, p, at); });
            case 1:
                return optionalText(slot, out.grammarTag, at);
            default:
                return optionalText(slot, out.grammarText, at);
            }
        });
        if (ok)
            settle(senseFields, found, path, problem);
        return ok;
    }

    bool read(ReviewState &out, QString &problem, const Path &path)
    {
        std::array<Slot, reviewFields.size()> found;
        // A key repeated in the enclosing object starts this record afresh.
        out = {};
        if (!expectObject(problem, path))
            return !s.failed();
        const bool ok = s.object([&](std::string_view key) {
            const int i = fieldIndex(reviewFields, key);
            if (i < 0)
                return s.skip();
            Slot &slot = found[std::size_t(i)];
            const Path at = path.child(reviewFields[std::size_t(i)].name.data());
            switch (i) {
            case 0:
                return required(slot, at, [&](QString &p) { return integer(out.streak, p, at); });
            case 1:
                return required(slot, at, [&](QString &p) { return date(out.due, p, at); });
            case 2:
                return optional(slot, out.lastReviewed, [&](Date &v, QString &p) { return date(v, p, at); });
            default:
                return required(slot, at, [&](QString &p) { return boolean(out.learned, p, at); });
            }
        });
        if (ok)
            settle(reviewFields, found, path, problem);
        return ok;
    }

    bool read(SavedWord &out, QString &problem, const Path &path)
    {
        std::array<Slot, savedWordFields.size()> found;
        // A key repeated in the enclosing object starts this record afresh.
        out = {};
        if (!expectObject(problem, path))
            return !s.failed();
        const bool ok = s.object([&](std::string_view key) {
            const int i = fieldIndex(savedWordFields, key);
            if (i < 0)
                return s.skip();
            Slot &slot = found[std::size_t(i)];
            const Path at = path.child(savedWordFields[std::size_t(i)].name.data());
            switch (i) {
            case 0:
                return required(slot, at, [&](QString &p) { return uuid(out.id, p, at); });
            case 1:
                return required(slot, at, [&](QString &p) { return text(out.word, p, at); });
            case 2:
                return optionalText(slot, out.base, at);
            case 3:
                return optionalText(slot, out.source, at);
            case 4:
                return required(slot, at, [&](QString &p) { return text(out.target, p, at); });
            case 5:
                return required(slot, at, [&](QString &p) { return array(out.senses, p, at); });
            case 6:
                return required(slot, at, [&](QString &p) { return array(out.encounters, p, at); });
            case 7:
                return required(slot, at, [&](QString &p) { return integer(out.metCount, p, at); });
            case 8:
                return required(slot, at, [&](QString &p) { return date(out.savedAt, p, at); });
            default:
                return required(slot, at, [&](QString &p) { return read(out.review, p, at); });
            }
        });
        if (ok)
            settle(savedWordFields, found, path, problem);
        return ok;
    }

    bool read(StoredKey &out, QString &problem, const Path &path)
    {
        std::array<Slot, keyFields.size()> found;
        // A key repeated in the enclosing object starts this record afresh.
        out = {};
        if (!expectObject(problem, path))
            return !s.failed();
        const bool ok = s.object([&](std::string_view key) {
            const int i = fieldIndex(keyFields, key);
            if (i < 0)
                return s.skip();
            Slot &slot = found[std::size_t(i)];
            const Path at = path.child(keyFields[std::size_t(i)].name.data());
            QString &target = i == 0 ? out.word : i == 1 ? out.source : out.target;
            return required(slot, at, [&](QString &p) { return text(target, p, at); });
        });
        if (ok)
            settle(keyFields, found, path, problem);
        return ok;
    }

    /// A JSON array of records; the first bad element (in order) is the array's problem.
    template<class T>
    bool array(std::vector<T> &out, QString &problem, const Path &path)
    {
        if (s.next() != '[')
            return wrong(problem, path, Message::notArray);
        out.clear();
        return s.array([&](std::size_t i) {
            QString elementProblem;
            if (!read(out.emplace_back(), elementProblem, path.element(i)))
                return false;
            if (problem.isNull() && !elementProblem.isNull())
                problem = std::move(elementProblem);
            return true;
        });
    }

private:
    // A well-formed value of the wrong type: noted, then passed over so the rest is still checked.
    bool wrong(QString &problem, const Path &path, const char *what)
    {
        problem = path.describe(what);
        return s.skip();
    }

    bool expectObject(QString &problem, const Path &path)
    {
        if (s.next() == '{')
            return true;
        wrong(problem, path, Message::notObject);
        return false;
    }

    template<class Read>
    bool required(Slot &slot, const Path &path, Read &&readValue)
    {
        slot.seen = true;
        slot.problem = QString();
        if (s.next() == 'n') {
            if (!s.literal("null"))
                return false;
            slot.problem = path.describe(Message::null);
            return true;
        }
        return readValue(slot.problem);
    }

    template<class T, class Read>
    bool optional(Slot &slot, std::optional<T> &out, Read &&readValue)
    {
        slot.seen = true;
        slot.problem = QString();
        out.reset();
        if (s.next() == 'n')
            return s.literal("null");
        return readValue(out.emplace(), slot.problem);
    }

    bool optionalText(Slot &slot, std::optional<QString> &out, const Path &path)
    {
        return optional(slot, out, [&](QString &v, QString &p) { return text(v, p, path); });
    }

    bool text(QString &out, QString &problem, const Path &path)
    {
        if (s.next() != '"')
            return wrong(problem, path, Message::notString);
        return s.text(out);
    }

    bool uuid(QUuid &out, QString &problem, const Path &path)
    {
        if (s.next() != '"')
            return wrong(problem, path, Message::notString);
        QString text;
        if (!s.text(text))
            return false;
        if (const auto parsed = uuidFromString(text))
            out = *parsed;
        else
            problem = path.describe(Message::notUUID);
        return true;
    }

    bool isNumberStart()
    {
        const char c = s.next();
        return c == '-' || isDigit(c);
    }

    bool integer(std::int64_t &out, QString &problem, const Path &path)
    {
        if (!isNumberStart())
            return wrong(problem, path, Message::notInteger);
        Number n;
        if (!s.number(n))
            return false;
        if (n.kind == Number::integer)
            out = n.i;
        else if (n.kind == Number::floating)
            problem = path.describe(Message::notInteger);
        else if (n.u > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
            problem = path.describe(Message::outOfRange);
        else
            out = std::int64_t(n.u);
        return true;
    }

    bool date(Date &out, QString &problem, const Path &path)
    {
        if (!isNumberStart())
            return wrong(problem, path, Message::notDate);
        Number n;
        if (!s.number(n))
            return false;
        out.secondsSinceReferenceDate = n.kind == Number::integer ? double(n.i)
            : n.kind == Number::unsignedInteger                   ? double(n.u)
                                                                  : n.d;
        return true;
    }

    bool boolean(bool &out, QString &problem, const Path &path)
    {
        const char c = s.next();
        if (c == 't') {
            out = true;
            return s.literal("true");
        }
        if (c == 'f') {
            out = false;
            return s.literal("false");
        }
        return wrong(problem, path, Message::notBoolean);
    }

    Source &s;
};

template<class T>
struct Reading
{
    using Stored = T;
    static T finish(T &&value) { return std::move(value); }
};

template<>
struct Reading<WordKey>
{
    using Stored = StoredKey;
    static WordKey finish(StoredKey &&k)
    {
        return WordKey::fromStored(std::move(k.word), std::move(k.source), std::move(k.target));
    }
};

// ---- writing -------------------------------------------------------------------------------

class Writer
{
public:
    explicit Writer(QByteArray &out)
        : m_out(out)
    { }

    void raw(std::string_view text) { m_out.append(text.data(), qsizetype(text.size())); }

    /// `"name":`, after a comma unless it opens the object.
    void key(std::string_view name, bool first = false)
    {
        if (!first)
            m_out += ',';
        m_out += '"';
        raw(name);
        raw("\":");
    }

    void text(const QString &value)
    {
        // At most six bytes per UTF-16 unit (a \u00XX escape), plus the quotes.
        const qsizetype start = m_out.size();
        m_out.resize(start + value.size() * 6 + 2);
        char *w = m_out.data() + start;
        *w++ = '"';
        const auto *p = reinterpret_cast<const char16_t *>(value.constData());
        const char16_t *end = p + value.size();
        while (p < end) {
            const char16_t c = *p++;
            if (c < 0x80) {
                if (c >= 0x20 && c != '"' && c != '\\') {
                    *w++ = char(c);
                    continue;
                }
                *w++ = '\\';
                switch (c) {
                case '"':
                    *w++ = '"';
                    break;
                case '\\':
                    *w++ = '\\';
                    break;
                case '\b':
                    *w++ = 'b';
                    break;
                case '\f':
                    *w++ = 'f';
                    break;
                case '\n':
                    *w++ = 'n';
                    break;
                case '\r':
                    *w++ = 'r';
                    break;
                case '\t':
                    *w++ = 't';
                    break;
                default:
                    *w++ = 'u';
                    *w++ = '0';
                    *w++ = '0';
                    *w++ = "0123456789abcdef"[c >> 4];
                    *w++ = "0123456789abcdef"[c & 0xF];
                    break;
                }
            } else if (c < 0x800) {
                *w++ = char(0xC0 | (c >> 6));
                *w++ = char(0x80 | (c & 0x3F));
            } else if (c >= 0xD800 && c <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
                const char32_t cp = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(*p++) - 0xDC00);
                *w++ = char(0xF0 | (cp >> 18));
                *w++ = char(0x80 | ((cp >> 12) & 0x3F));
                *w++ = char(0x80 | ((cp >> 6) & 0x3F));
                *w++ = char(0x80 | (cp & 0x3F));
            } else {
                // Half a surrogate pair cannot be written as UTF-8; it becomes U+FFFD, as Qt's own
                // conversion does.
                const char16_t u = (c >= 0xD800 && c <= 0xDFFF) ? char16_t(0xFFFD) : c;
                *w++ = char(0xE0 | (u >> 12));
                *w++ = char(0x80 | ((u >> 6) & 0x3F));
                *w++ = char(0x80 | (u & 0x3F));
            }
        }
        *w++ = '"';
        m_out.resize(w - m_out.constData());
    }

    void integer(std::int64_t value)
    {
        char buffer[24];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        raw(std::string_view(buffer, std::size_t(end - buffer)));
    }

    void date(const Date &value)
    {
        const double s = value.secondsSinceReferenceDate;
        // Nothing valid makes a non-finite date and JSON has no way to write one; the reference
        // date keeps the rest of the record readable.
        if (!std::isfinite(s))
            return integer(0);
        if (Detail::isWholeDate(s))
            return integer(std::int64_t(s));
        // The shortest text that reads back as exactly this double.
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, s).ptr;
        raw(std::string_view(buffer, std::size_t(end - buffer)));
    }

    void optionalText(std::string_view name, const std::optional<QString> &value)
    {
        if (value) {
            key(name);
            text(*value);
        }
    }

    void write(const WordLookup &l)
    {
        m_out += '{';
        key("id", true);
        text(uuidString(l.id));
        key("word");
        text(l.word);
        optionalText("base", l.base);
        optionalText("source", l.source);
        key("target");
        text(l.target);
        key("meaning");
        text(l.meaning);
        optionalText("grammarTag", l.grammarTag);
        optionalText("grammarText", l.grammarText);
        optionalText("sentence", l.sentence);
        if (l.wordOffset) {
            key("wordOffset");
            integer(*l.wordOffset);
        }
        optionalText("translation", l.translation);
        optionalText("appID", l.appID);
        optionalText("appName", l.appName);
        optionalText("title", l.title);
        key("date");
        date(l.date);
        m_out += '}';
    }

    void write(const WordSense &sense)
    {
        m_out += '{';
        key("meaning", true);
        text(sense.meaning);
        optionalText("grammarTag", sense.grammarTag);
        optionalText("grammarText", sense.grammarText);
        m_out += '}';
    }

    void write(const ReviewState &state)
    {
        m_out += '{';
        key("streak", true);
        integer(state.streak);
        key("due");
        date(state.due);
        if (state.lastReviewed) {
            key("lastReviewed");
            date(*state.lastReviewed);
        }
        key("learned");
        raw(state.learned ? "true" : "false");
        m_out += '}';
    }

    void write(const SavedWord &w)
    {
        m_out += '{';
        key("id", true);
        text(uuidString(w.id));
        key("word");
        text(w.word);
        optionalText("base", w.base);
        optionalText("source", w.source);
        key("target");
        text(w.target);
        key("senses");
        write(w.senses);
        key("encounters");
        write(w.encounters);
        key("metCount");
        integer(w.metCount);
        key("savedAt");
        date(w.savedAt);
        key("review");
        write(w.review);
        m_out += '}';
    }

    void write(const WordKey &k)
    {
        m_out += '{';
        key("word", true);
        text(k.word());
        key("source");
        text(k.source());
        key("target");
        text(k.target());
        m_out += '}';
    }

    template<class T>
    void write(const std::vector<T> &records)
    {
        m_out += '[';
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (i)
                m_out += ',';
            write(records[i]);
        }
        m_out += ']';
    }

private:
    QByteArray &m_out;
};

template<class T>
Decoded<T> finishDecoding(Source &source, bool ok, QString &problem, std::optional<T> value)
{
    // Broken text anywhere, trailing text included, wins over a bad field.
    if (ok && !source.failed() && !source.atEnd())
        source.broken();
    if (source.failed())
        return Decoded<T> {std::nullopt, source.failure()};
    if (!problem.isNull())
        return Decoded<T> {std::nullopt, problem};
    return Decoded<T> {std::move(value), QString()};
}

} // namespace

template<class T>
QByteArray encode(const T &record)
{
    QByteArray out;
    out.reserve(512);
    Writer(out).write(record);
    return out;
}

template<class T>
QByteArray encodeArray(const std::vector<T> &records)
{
    QByteArray out;
    out.reserve(qsizetype(records.size()) * 512 + 2);
    Writer(out).write(records);
    return out;
}

template<class T>
Decoded<T> decode(QByteArrayView utf8)
{
    Source source(utf8);
    Records records(source);
    typename Reading<T>::Stored stored;
    QString problem;
    const bool ok = records.read(stored, problem, Path {});
    return finishDecoding<T>(source, ok, problem, Reading<T>::finish(std::move(stored)));
}

template<class T>
Decoded<std::vector<T>> decodeArray(QByteArrayView utf8)
{
    Source source(utf8);
    Records records(source);
    std::vector<typename Reading<T>::Stored> stored;
    QString problem;
    const bool ok = records.array(stored, problem, Path {});
    std::vector<T> values;
    if (ok && problem.isNull()) {
        values.reserve(stored.size());
        for (auto &s : stored)
            values.push_back(Reading<T>::finish(std::move(s)));
    }
    return finishDecoding<std::vector<T>>(source, ok, problem, std::move(values));
}

#define LUMIVOX_WORD_RECORD(T)                                                                                         \
    template QByteArray encode<T>(const T &);                                                                          \
    template QByteArray encodeArray<T>(const std::vector<T> &);                                                        \
    template Decoded<T> decode<T>(QByteArrayView);                                                                     \
    template Decoded<std::vector<T>> decodeArray<T>(QByteArrayView);

LUMIVOX_WORD_RECORD(WordLookup)
LUMIVOX_WORD_RECORD(WordSense)
LUMIVOX_WORD_RECORD(ReviewState)
LUMIVOX_WORD_RECORD(SavedWord)
LUMIVOX_WORD_RECORD(WordKey)

#undef LUMIVOX_WORD_RECORD

} // namespace Lumivox::WordRecords
