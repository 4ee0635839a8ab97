#include "Shared/Json/JsonScanner.h"

#include <algorithm>
#include <charconv>

namespace Lumivox {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
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

// Where the first significant digit stands: 1 for 1.5, 0 for 0.5, -2 for 0.005 (times 10^e).
long decimalMagnitude(const char *mantissa, const char *end, long exponent)
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

} // namespace

QString jsonSyntaxError(std::size_t byte)
{
    return QStringLiteral("not valid JSON (at byte %1)").arg(byte);
}

QString jsonNestingError()
{
    return QStringLiteral("nested more than %1 levels deep").arg(maxJsonNesting);
}

QString jsonRepeatedKeyError()
{
    return QStringLiteral("a key given twice");
}

bool JsonKeys::insert(std::string_view key, bool lasting)
{
    if (m_many.empty()) {
        // Keys of one object seldom share both their length and their first letter.
        for (std::size_t i = 0; i < m_fewCount; ++i) {
            const std::string_view seen = m_few[i];
            if (seen.size() == key.size() && (key.empty() || (seen.front() == key.front() && seen == key)))
                return false;
        }
        if (m_fewCount < fewKeys) {
            if (!lasting)
                key = m_copies.emplace_front(key);
            m_few[m_fewCount++] = key;
            return true;
        }
        for (std::size_t i = 0; i < m_fewCount; ++i)
            m_many.emplace(m_few[i]);
        m_fewCount = 0;
        m_copies.clear();
    }
    return m_many.emplace(key).second;
}

// RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF.
bool JsonScanner::isValidUtf8(std::string_view text)
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

bool JsonScanner::number(JsonNumber &out)
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
                out.kind = JsonNumber::integer;
                return true;
            }
        } else if (std::from_chars(start, p, out.u).ec == std::errc()) {
            out.kind = JsonNumber::unsignedInteger;
            return true;
        }
    }
    out.kind = JsonNumber::floating;
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

bool JsonScanner::skip()
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
            JsonNumber ignored;
            return number(ignored);
        }
        return broken();
    }
}

bool JsonScanner::escapedString(std::string_view &out, std::string &scratch)
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

bool JsonScanner::hex4(char32_t &out)
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

} // namespace Lumivox
