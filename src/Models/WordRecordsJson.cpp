#include "Models/WordRecordsJson.h"

#include "Models/WordRecordsDetail.h"

#include <cmath>
#include <limits>

namespace Lumivox::WordRecords {

namespace {

using Detail::Path;
namespace Message = Detail::Message;

// ---- reading -------------------------------------------------------------------------------

class Reader
{
public:
    QString error;

    bool fail(const Path &path, const char *what)
    {
        if (error.isNull())
            error = path.describe(what);
        return false;
    }

    // A required key: missing and null both fail.
    const Json *required(const Json &object, const char *key, const Path &path)
    {
        const auto it = object.find(key);
        if (it == object.end() || it->is_null()) {
            fail(path.child(key), it == object.end() ? Message::missing : Message::null);
            return nullptr;
        }
        return &*it;
    }

    // An optional key: missing and null both mean "no value".
    static const Json *optional(const Json &object, const char *key)
    {
        const auto it = object.find(key);
        return it == object.end() || it->is_null() ? nullptr : &*it;
    }

    bool text(const Json &value, const Path &path, QString &out)
    {
        if (!value.is_string())
            return fail(path, Message::notString);
        // The parser has already refused malformed UTF-8 and unpaired surrogate escapes.
        const auto &s = value.get_ref<const std::string &>();
        out = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
        return true;
    }

    bool integer(const Json &value, const Path &path, std::int64_t &out)
    {
        // Only JSON integers: a fraction, an exponent or a value beyond 64 bits is not one.
        if (value.is_number_integer() && !value.is_number_unsigned()) {
            out = value.get<std::int64_t>();
            return true;
        }
        if (value.is_number_unsigned()) {
            const auto u = value.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                return fail(path, Message::outOfRange);
            out = static_cast<std::int64_t>(u);
            return true;
        }
        return fail(path, Message::notInteger);
    }

    bool date(const Json &value, const Path &path, Date &out)
    {
        if (value.is_number_float())
            out.secondsSinceReferenceDate = value.get<double>();
        else if (value.is_number_unsigned())
            out.secondsSinceReferenceDate = static_cast<double>(value.get<std::uint64_t>());
        else if (value.is_number_integer())
            out.secondsSinceReferenceDate = static_cast<double>(value.get<std::int64_t>());
        else
            return fail(path, Message::notDate);
        return true;
    }

    bool boolean(const Json &value, const Path &path, bool &out)
    {
        if (!value.is_boolean())
            return fail(path, Message::notBoolean);
        out = value.get<bool>();
        return true;
    }

    bool uuid(const Json &value, const Path &path, QUuid &out)
    {
        if (!value.is_string())
            return fail(path, Message::notString);
        const auto &s = value.get_ref<const std::string &>();
        const auto parsed = uuidFromString(QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())));
        if (!parsed)
            return fail(path, Message::notUUID);
        out = *parsed;
        return true;
    }

    // Required fields of each kind.
    bool requiredText(const Json &o, const char *key, const Path &p, QString &out)
    {
        const Json *v = required(o, key, p);
        return v && text(*v, p.child(key), out);
    }
    bool requiredInteger(const Json &o, const char *key, const Path &p, std::int64_t &out)
    {
        const Json *v = required(o, key, p);
        return v && integer(*v, p.child(key), out);
    }
    bool requiredDate(const Json &o, const char *key, const Path &p, Date &out)
    {
        const Json *v = required(o, key, p);
        return v && date(*v, p.child(key), out);
    }
    bool requiredBoolean(const Json &o, const char *key, const Path &p, bool &out)
    {
        const Json *v = required(o, key, p);
        return v && boolean(*v, p.child(key), out);
    }
    bool requiredUuid(const Json &o, const char *key, const Path &p, QUuid &out)
    {
        const Json *v = required(o, key, p);
        return v && uuid(*v, p.child(key), out);
    }

    // Optional fields: absent stays absent; a present value must still have the right type.
    bool optionalText(const Json &o, const char *key, const Path &p, std::optional<QString> &out)
    {
        out.reset();
        const Json *v = optional(o, key);
        if (!v)
            return true;
        return text(*v, p.child(key), out.emplace());
    }
    bool optionalInteger(const Json &o, const char *key, const Path &p, std::optional<std::int64_t> &out)
    {
        out.reset();
        const Json *v = optional(o, key);
        if (!v)
            return true;
        return integer(*v, p.child(key), out.emplace());
    }
    bool optionalDate(const Json &o, const char *key, const Path &p, std::optional<Date> &out)
    {
        out.reset();
        const Json *v = optional(o, key);
        if (!v)
            return true;
        return date(*v, p.child(key), out.emplace());
    }

    bool object(const Json &value, const Path &path) { return value.is_object() || fail(path, Message::notObject); }

    bool read(const Json &j, const Path &p, WordLookup &out)
    {
        return object(j, p) && requiredUuid(j, "id", p, out.id) && requiredText(j, "word", p, out.word)
            && optionalText(j, "base", p, out.base) && optionalText(j, "source", p, out.source)
            && requiredText(j, "target", p, out.target) && requiredText(j, "meaning", p, out.meaning)
            && optionalText(j, "grammarTag", p, out.grammarTag) && optionalText(j, "grammarText", p, out.grammarText)
            && optionalText(j, "sentence", p, out.sentence) && optionalInteger(j, "wordOffset", p, out.wordOffset)
            && optionalText(j, "translation", p, out.translation) && optionalText(j, "appID", p, out.appID)
            && optionalText(j, "appName", p, out.appName) && optionalText(j, "title", p, out.title)
            && requiredDate(j, "date", p, out.date);
    }

    bool read(const Json &j, const Path &p, WordSense &out)
    {
        return object(j, p) && requiredText(j, "meaning", p, out.meaning)
            && optionalText(j, "grammarTag", p, out.grammarTag) && optionalText(j, "grammarText", p, out.grammarText);
    }

    bool read(const Json &j, const Path &p, ReviewState &out)
    {
        return object(j, p) && requiredInteger(j, "streak", p, out.streak) && requiredDate(j, "due", p, out.due)
            && optionalDate(j, "lastReviewed", p, out.lastReviewed) && requiredBoolean(j, "learned", p, out.learned);
    }

    bool read(const Json &j, const Path &p, SavedWord &out)
    {
        if (!(object(j, p) && requiredUuid(j, "id", p, out.id) && requiredText(j, "word", p, out.word)
              && optionalText(j, "base", p, out.base) && optionalText(j, "source", p, out.source)
              && requiredText(j, "target", p, out.target)))
            return false;
        const Json *senses = required(j, "senses", p);
        if (!senses || !readArray(*senses, p.child("senses"), out.senses))
            return false;
        const Json *encounters = required(j, "encounters", p);
        if (!encounters || !readArray(*encounters, p.child("encounters"), out.encounters))
            return false;
        if (!(requiredInteger(j, "metCount", p, out.metCount) && requiredDate(j, "savedAt", p, out.savedAt)))
            return false;
        const Json *review = required(j, "review", p);
        return review && read(*review, p.child("review"), out.review);
    }

    bool read(const Json &j, const Path &p, std::optional<WordKey> &out)
    {
        QString word, source, target;
        if (!(object(j, p) && requiredText(j, "word", p, word) && requiredText(j, "source", p, source)
              && requiredText(j, "target", p, target)))
            return false;
        out = WordKey::fromStored(std::move(word), std::move(source), std::move(target));
        return true;
    }

    template<class T>
    bool readArray(const Json &j, const Path &p, std::vector<T> &out)
    {
        if (!j.is_array())
            return fail(p, Message::notArray);
        out.clear();
        out.reserve(j.size());
        for (std::size_t i = 0; i < j.size(); ++i) {
            if (!read(j[i], p.element(i), out.emplace_back()))
                return false;
        }
        return true;
    }

    // WordKey has no empty state, so it is read through an optional.
    bool readArray(const Json &j, const Path &p, std::vector<WordKey> &out)
    {
        if (!j.is_array())
            return fail(p, Message::notArray);
        out.clear();
        out.reserve(j.size());
        for (std::size_t i = 0; i < j.size(); ++i) {
            std::optional<WordKey> key;
            if (!read(j[i], p.element(i), key))
                return false;
            out.push_back(std::move(*key));
        }
        return true;
    }
};

template<class T>
Decoded<T> readRecord(const Json &json)
{
    Reader reader;
    Decoded<T> result;
    if constexpr (std::is_same_v<T, WordKey>) {
        std::optional<WordKey> key;
        if (reader.read(json, Path {}, key))
            result.value = std::move(key);
    } else {
        T record;
        if (reader.read(json, Path {}, record))
            result.value = std::move(record);
    }
    if (!result.value)
        result.error = reader.error;
    return result;
}

// Wraps the library's tree builder to refuse nesting beyond the limit before building it, and to
// keep the position of a syntax error without letting an exception escape.
class LimitedSax
{
public:
    explicit LimitedSax(Json &result)
        : m_dom(result, false)
    { }

    bool null() { return m_dom.null(); }
    bool boolean(bool v) { return m_dom.boolean(v); }
    bool number_integer(Json::number_integer_t v) { return m_dom.number_integer(v); }
    bool number_unsigned(Json::number_unsigned_t v) { return m_dom.number_unsigned(v); }
    bool number_float(Json::number_float_t v, const Json::string_t &s) { return m_dom.number_float(v, s); }
    bool string(Json::string_t &v) { return m_dom.string(v); }
    bool binary(Json::binary_t &v) { return m_dom.binary(v); }
    bool key(Json::string_t &v) { return m_dom.key(v); }

    bool start_object(std::size_t n) { return enter() && m_dom.start_object(n); }
    bool end_object()
    {
        --m_depth;
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
        // The library's message quotes the offending text, which may be the user's words; only the
        // position is kept.
        m_errorByte = position;
        return false;
    }

    bool tooDeep() const { return m_tooDeep; }
    std::size_t errorByte() const { return m_errorByte; }

private:
    bool enter()
    {
        if (++m_depth > maxNestingDepth) {
            m_tooDeep = true;
            return false;
        }
        return true;
    }

    nlohmann::detail::json_sax_dom_parser<Json> m_dom;
    std::size_t m_depth = 0;
    std::size_t m_errorByte = 0;
    bool m_tooDeep = false;
};

// ---- writing -------------------------------------------------------------------------------

std::string utf8(const QString &text)
{
    return text.toStdString();
}

Json dateJson(const Date &date)
{
    const double s = date.secondsSinceReferenceDate;
    // Nothing valid makes a non-finite date, and the library would write null, which no reader
    // accepts; writing the reference date keeps the rest of the record readable.
    if (!std::isfinite(s))
        return Json(0);
    if (Detail::isWholeDate(s))
        return Json(static_cast<std::int64_t>(s));
    return Json(s);
}

void putOptional(Json &j, const char *key, const std::optional<QString> &value)
{
    if (value)
        j[key] = utf8(*value);
}

} // namespace

QString uuidString(const QUuid &uuid)
{
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> uuidFromString(QStringView text)
{
    // QUuid itself would also take braces and return the nil UUID for garbage; the stored form is
    // exactly 8-4-4-4-12 hexadecimal digits.
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-')
                return std::nullopt;
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) {
            return std::nullopt;
        }
    }
    return QUuid::fromString(text);
}

Decoded<Json> parseJson(QByteArrayView utf8Text)
{
    Decoded<Json> result;
    Json json;
    LimitedSax sax(json);
    const char *begin = utf8Text.data();
    const char *end = begin + utf8Text.size();
    if (Json::sax_parse(begin, end, &sax, nlohmann::detail::input_format_t::json, true, false)) {
        result.value = std::move(json);
    } else if (sax.tooDeep()) {
        result.error = Detail::nestingError();
    } else {
        result.error = Detail::syntaxError(sax.errorByte());
    }
    return result;
}

Json toJson(const WordLookup &l)
{
    Json j = Json::object();
    j["id"] = utf8(uuidString(l.id));
    j["word"] = utf8(l.word);
    putOptional(j, "base", l.base);
    putOptional(j, "source", l.source);
    j["target"] = utf8(l.target);
    j["meaning"] = utf8(l.meaning);
    putOptional(j, "grammarTag", l.grammarTag);
    putOptional(j, "grammarText", l.grammarText);
    putOptional(j, "sentence", l.sentence);
    if (l.wordOffset)
        j["wordOffset"] = *l.wordOffset;
    putOptional(j, "translation", l.translation);
    putOptional(j, "appID", l.appID);
    putOptional(j, "appName", l.appName);
    putOptional(j, "title", l.title);
    j["date"] = dateJson(l.date);
    return j;
}

Json toJson(const WordSense &sense)
{
    Json j = Json::object();
    j["meaning"] = utf8(sense.meaning);
    putOptional(j, "grammarTag", sense.grammarTag);
    putOptional(j, "grammarText", sense.grammarText);
    return j;
}

Json toJson(const ReviewState &state)
{
    Json j = Json::object();
    j["streak"] = state.streak;
    j["due"] = dateJson(state.due);
    if (state.lastReviewed)
        j["lastReviewed"] = dateJson(*state.lastReviewed);
    j["learned"] = state.learned;
    return j;
}

Json toJson(const SavedWord &w)
{
    Json j = Json::object();
    j["id"] = utf8(uuidString(w.id));
    j["word"] = utf8(w.word);
    putOptional(j, "base", w.base);
    putOptional(j, "source", w.source);
    j["target"] = utf8(w.target);
    j["senses"] = toJson(w.senses);
    j["encounters"] = toJson(w.encounters);
    j["metCount"] = w.metCount;
    j["savedAt"] = dateJson(w.savedAt);
    j["review"] = toJson(w.review);
    return j;
}

Json toJson(const WordKey &key)
{
    Json j = Json::object();
    j["word"] = utf8(key.word());
    j["source"] = utf8(key.source());
    j["target"] = utf8(key.target());
    return j;
}

template<class T>
Json toJson(const std::vector<T> &records)
{
    Json j = Json::array();
    j.get_ref<Json::array_t &>().reserve(records.size());
    for (const T &record : records)
        j.push_back(toJson(record));
    return j;
}

template<class T>
Decoded<T> fromJson(const Json &json)
{
    return readRecord<T>(json);
}

template<class T>
Decoded<std::vector<T>> arrayFromJson(const Json &json)
{
    Reader reader;
    Decoded<std::vector<T>> result;
    std::vector<T> records;
    if (reader.readArray(json, Path {}, records))
        result.value = std::move(records);
    else
        result.error = reader.error;
    return result;
}

namespace Detail {

QString syntaxError(std::size_t byte)
{
    return QStringLiteral("not valid JSON (at byte %1)").arg(byte);
}

QString nestingError()
{
    return QStringLiteral("nested more than %1 levels deep").arg(maxNestingDepth);
}

bool isWholeDate(double seconds)
{
    // 2^53 is where doubles stop holding every integer.
    constexpr double exactLimit = 9007199254740992.0;
    return std::isfinite(seconds) && std::trunc(seconds) == seconds && std::fabs(seconds) < exactLimit;
}

} // namespace Detail

#define LUMIVOX_WORD_RECORD(T)                                                                                         \
    template Json toJson<T>(const std::vector<T> &);                                                                   \
    template Decoded<T> fromJson<T>(const Json &);                                                                     \
    template Decoded<std::vector<T>> arrayFromJson<T>(const Json &);

LUMIVOX_WORD_RECORD(WordLookup)
LUMIVOX_WORD_RECORD(WordSense)
LUMIVOX_WORD_RECORD(ReviewState)
LUMIVOX_WORD_RECORD(SavedWord)
LUMIVOX_WORD_RECORD(WordKey)

#undef LUMIVOX_WORD_RECORD

} // namespace Lumivox::WordRecords
