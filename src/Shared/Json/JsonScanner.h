#pragma once

// JSON text read in place, one value at a time, without building a tree: the stored files that are
// read at every start (a long history line by line, the saved words) would otherwise cost several
// times their own size in a general-purpose tree. The scanner is as strict as a full parser:
//   - RFC 8259 syntax, UTF-8 checked (no overlong forms, no surrogates, nothing past U+10FFFF), a
//     lone surrogate escape refused, a number too large for a double refused;
//   - nesting deeper than maxJsonNesting is refused as it is met, so a hostile file can exhaust
//     neither memory nor the stack;
//   - a key given twice in one object is refused: no writer of ours repeats a key, and a reader that
//     kept either value would lose the other at the next save;
//   - the first failure is kept (with its byte position) and every later call fails too.
// A caller reads a value by looking at next() and calling the matching reader; skip() checks and
// throws away any value.

#include <QByteArrayView>
#include <QString>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <forward_list>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace Lumivox {

/// No file of ours nests more than a few levels; this is far beyond them and far below what would
/// hurt.
inline constexpr std::size_t maxJsonNesting = 512;

/// "not valid JSON (at byte N)", counting from 1.
QString jsonSyntaxError(std::size_t byte);
/// "nested more than 512 levels deep"
QString jsonNestingError();
/// "a key given twice"
QString jsonRepeatedKeyError();

/// The keys of one object read so far.
class JsonKeys
{
public:
    /// False when `key` was there already. A `lasting` key's characters stay where they are while
    /// the object is read (a view of the input), so it is kept without a copy.
    bool insert(std::string_view key, bool lasting = false);

private:
    // A record has a dozen keys, compared in place without an allocation; past that a hostile object
    // of a million keys must not cost a million squared.
    static constexpr std::size_t fewKeys = 32;
    std::array<std::string_view, fewKeys> m_few;
    std::size_t m_fewCount = 0;
    // Where the few keys that are not lasting are kept (a list: its texts never move).
    std::forward_list<std::string> m_copies;
    std::unordered_set<std::string> m_many;
};

struct JsonNumber
{
    enum Kind { integer, unsignedInteger, floating } kind = integer;
    std::int64_t i = 0;
    std::uint64_t u = 0;
    double d = 0;
};

class JsonScanner
{
public:
    explicit JsonScanner(QByteArrayView bytes)
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

    /// Notes a syntax error at the cursor (unless one is noted already); always false.
    bool broken()
    {
        if (m_failure.isNull())
            m_failure = jsonSyntaxError(std::size_t(m_p - m_begin) + 1);
        return false;
    }

    /// The first byte of the next value after white space, or 0 at the end.
    char next()
    {
        const char *p = m_p;
        // Stored files are compact: the first test nearly always ends the loop.
        while (p < m_end && static_cast<unsigned char>(*p) <= ' '
               && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r'))
            ++p;
        m_p = p;
        return p < m_end ? *p : '\0';
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
            skipPlainRun();
            if (m_p == m_end)
                break;
            const auto c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                out = std::string_view(start, std::size_t(m_p - start));
                if (!ascii && !isValidUtf8(out))
                    return broken();
                m_lastWasAscii = ascii;
                ++m_p;
                return true;
            }
            if (c == '\\') {
                m_lastWasAscii = false;
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
        out = lastText(utf8);
        return true;
    }

    /// The text of the string the last string() call read (`utf8` is what it gave).
    QString lastText(std::string_view utf8) const
    {
        // Plain ASCII, most of every file, needs no decoding.
        return m_lastWasAscii ? QString::fromLatin1(utf8.data(), qsizetype(utf8.size()))
                              : QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    }

    /// A number at the cursor. Integers stay integers while they fit in 64 bits.
    bool number(JsonNumber &out);

    /// Any value, checked and thrown away (unknown keys, values of the wrong type).
    bool skip();

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
        JsonKeys keys;
        for (;;) {
            if (next() != '"')
                return broken();
            std::string_view key;
            if (!string(key, keyScratch))
                return false;
            // A key without escapes is a view of the input.
            if (!keys.insert(key, key.data() >= m_begin && key.data() < m_end))
                return repeatedKey();
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
    static bool isValidUtf8(std::string_view text);

    // Printable ASCII other than a quote and a backslash is nearly all of every stored file. Such a
    // run is passed over eight bytes at a time: the lowest flagged byte of a block is exactly the
    // first one that needs a closer look (the flags above it may be wrong, never those below).
    void skipPlainRun()
    {
        const char *p = m_p;
        if constexpr (std::endian::native == std::endian::little) {
            constexpr std::uint64_t ones = 0x0101010101010101ULL;
            constexpr std::uint64_t highs = ones * 0x80;
            const auto zeroBytes = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
            while (m_end - p >= 8) {
                std::uint64_t block;
                std::memcpy(&block, p, 8);
                const std::uint64_t special = (block & highs) // beyond ASCII
                    | ((block - ones * 0x20) & ~block & highs) // a control character
                    | zeroBytes(block ^ (ones * '"')) | zeroBytes(block ^ (ones * '\\'));
                if (special) {
                    m_p = p + std::countr_zero(special) / 8;
                    return;
                }
                p += 8;
            }
        }
        static constexpr auto plain = [] {
            std::array<bool, 256> table {};
            for (int c = 0x20; c < 0x7F; ++c)
                table[std::size_t(c)] = c != '"' && c != '\\';
            return table;
        }();
        while (p < m_end && plain[static_cast<unsigned char>(*p)])
            ++p;
        m_p = p;
    }

    bool enter()
    {
        if (++m_depth > maxJsonNesting) {
            if (m_failure.isNull())
                m_failure = jsonNestingError();
            return false;
        }
        return true;
    }

    bool leave()
    {
        --m_depth;
        return true;
    }

    bool repeatedKey()
    {
        if (m_failure.isNull())
            m_failure = jsonRepeatedKeyError();
        return false;
    }

    bool escapedString(std::string_view &out, std::string &scratch);
    bool hex4(char32_t &out);

    const char *m_begin;
    const char *m_p;
    const char *m_end;
    std::size_t m_depth = 0;
    QString m_failure;
    std::string m_scratch;
    bool m_lastWasAscii = false;
};

} // namespace Lumivox
