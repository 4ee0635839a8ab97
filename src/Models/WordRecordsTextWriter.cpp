// The records straight to JSON text, in the stored form of WordRecordsJson.h: compact UTF-8, keys in
// field order, an optional field without a value left out. Writing goes straight into the output
// bytes, with no tree and no intermediate strings: the history is written whole at each compaction.

#include "Models/WordRecordsDetail.h"
#include "Models/WordRecordsJson.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace Lumivox::WordRecords {

namespace {

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
                // "/" goes out as "\\/", as the other writers of these files write it; readers take both.
                if (c >= 0x20 && c != '"' && c != '\\' && c != '/') {
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
                case '/':
                    *w++ = '/';
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

    void value(const QUuid &id) { text(uuidString(id)); }
    void value(const QString &s) { text(s); }
    void value(std::int64_t n) { integer(n); }
    void value(const Date &d) { date(d); }
    void value(bool b) { raw(b ? "true" : "false"); }
    void value(const ReviewState &state) { write(state); }
    template<class T>
    void value(const std::vector<T> &records)
    {
        write(records);
    }

    template<class Record>
    void write(const Record &record)
    {
        m_out += '{';
        bool first = true;
        Detail::everyField<Record>([&](const auto &field, std::size_t) {
            const auto &member = record.*field.member;
            if constexpr (std::decay_t<decltype(field)>::required) {
                key(field.name, first);
                value(member);
                first = false;
            } else if (member) {
                key(field.name, first);
                value(*member);
                first = false;
            }
            return true;
        });
        m_out += '}';
    }

    void write(const WordKey &k) { write(Detail::stored(k)); }

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

#define LUMIVOX_WORD_RECORD(T)                                                                                         \
    template QByteArray encode<T>(const T &);                                                                          \
    template QByteArray encodeArray<T>(const std::vector<T> &);

LUMIVOX_FOR_EACH_WORD_RECORD(LUMIVOX_WORD_RECORD)

#undef LUMIVOX_WORD_RECORD

} // namespace Lumivox::WordRecords
