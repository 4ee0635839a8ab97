#include "Shared/Json/LimitedJson.h"

#include <vector>

namespace Lumivox {

namespace {

// Wraps the library's tree builder to refuse nesting beyond the limit before building it, and to
// keep the position of a syntax error without letting an exception escape.
template<class JsonTree>
class LimitedSax
{
public:
    explicit LimitedSax(JsonTree &result)
        : m_dom(result, false)
    { }

    bool null() { return m_dom.null(); }
    bool boolean(bool v) { return m_dom.boolean(v); }
    bool number_integer(typename JsonTree::number_integer_t v) { return m_dom.number_integer(v); }
    bool number_unsigned(typename JsonTree::number_unsigned_t v) { return m_dom.number_unsigned(v); }
    bool number_float(typename JsonTree::number_float_t v, const typename JsonTree::string_t &s)
    {
        return m_dom.number_float(v, s);
    }
    bool string(typename JsonTree::string_t &v) { return m_dom.string(v); }
    bool binary(typename JsonTree::binary_t &v) { return m_dom.binary(v); }
    bool key(typename JsonTree::string_t &v)
    {
        if (!m_keys.back().insert(v)) {
            m_repeatedKey = true;
            return false;
        }
        return m_dom.key(v);
    }

    bool start_object(std::size_t n)
    {
        if (!enter())
            return false;
        m_keys.emplace_back();
        return m_dom.start_object(n);
    }
    bool end_object()
    {
        --m_depth;
        m_keys.pop_back();
        return m_dom.end_object();
    }
    bool start_array(std::size_t n) { return enter() && m_dom.start_array(n); }
    bool end_array()
    {
        --m_depth;
        return m_dom.end_array();
    }

    template<class Exception>
    bool parse_error(std::size_t position, const std::string &, const Exception &)
    {
        m_errorByte = position;
        return false;
    }

    bool tooDeep() const { return m_tooDeep; }
    bool repeatedKey() const { return m_repeatedKey; }
    std::size_t errorByte() const { return m_errorByte; }

private:
    bool enter()
    {
        if (++m_depth > maxJsonNesting) {
            m_tooDeep = true;
            return false;
        }
        return true;
    }

    nlohmann::detail::json_sax_dom_parser<JsonTree> m_dom;
    std::size_t m_depth = 0;
    std::size_t m_errorByte = 0;
    bool m_tooDeep = false;
    // The keys of each object being read, innermost last.
    std::vector<JsonKeys> m_keys;
    bool m_repeatedKey = false;
};

} // namespace

template<class JsonTree>
std::optional<JsonTree> parseJsonLimited(QByteArrayView utf8, QString *error)
{
    JsonTree json;
    LimitedSax<JsonTree> sax(json);
    const char *begin = utf8.data();
    const char *end = begin + utf8.size();
    bool parsed = false;
    try {
        parsed = JsonTree::sax_parse(begin, end, &sax, nlohmann::detail::input_format_t::json, true, false);
    } catch (const std::exception &) {
        // Only an allocation failure can still get here; it is an unreadable text, not a crash.
    }
    if (parsed)
        return json;
    if (error)
        *error = sax.tooDeep()  ? jsonNestingError()
            : sax.repeatedKey() ? jsonRepeatedKeyError()
                                : jsonSyntaxError(sax.errorByte());
    return std::nullopt;
}

template std::optional<nlohmann::json> parseJsonLimited<nlohmann::json>(QByteArrayView, QString *);
template std::optional<nlohmann::ordered_json> parseJsonLimited<nlohmann::ordered_json>(QByteArrayView, QString *);

} // namespace Lumivox
