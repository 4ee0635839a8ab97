#include "Models/WordRecordsJson.h"

#include "Models/WordRecordsDetail.h"
#include "Shared/Json/LimitedJson.h"

#include <array>
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

    template<class Record>
    bool read(const Json &j, const Path &p, Record &out)
    {
        if (!j.is_object())
            return fail(p, Message::notObject);
        return Detail::everyField<Record>([&](const auto &field, std::size_t) {
            const auto it = j.find(field.name);
            const bool absent = it == j.end() || it->is_null();
            auto &member = out.*field.member;
            if constexpr (std::decay_t<decltype(field)>::required) {
                // A required key: missing and null both fail.
                if (absent)
                    return fail(p.child(field.name), it == j.end() ? Message::missing : Message::null);
                return value(*it, p.child(field.name), member);
            } else {
                // An optional key: missing and null both mean "no value"; a present value must still
                // have the right type.
                member.reset();
                return absent || value(*it, p.child(field.name), member.emplace());
            }
        });
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

private:
    bool value(const Json &value, const Path &path, QString &out)
    {
        if (!value.is_string())
            return fail(path, Message::notString);
        // The parser has already refused malformed UTF-8 and unpaired surrogate escapes.
        const auto &s = value.get_ref<const std::string &>();
        out = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
        return true;
    }

    bool value(const Json &value, const Path &path, std::int64_t &out)
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

    bool value(const Json &value, const Path &path, Date &out)
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

    bool value(const Json &value, const Path &path, bool &out)
    {
        if (!value.is_boolean())
            return fail(path, Message::notBoolean);
        out = value.get<bool>();
        return true;
    }

    bool value(const Json &value, const Path &path, QUuid &out)
    {
        if (!value.is_string())
            return fail(path, Message::notString);
        const auto &s = value.get_ref<const std::string &>();
        const auto parsed = uuidFromUtf8(s);
        if (!parsed)
            return fail(path, Message::notUUID);
        out = *parsed;
        return true;
    }

    template<class T>
    bool value(const Json &value, const Path &path, std::vector<T> &out)
    {
        return readArray(value, path, out);
    }

    bool value(const Json &value, const Path &path, ReviewState &out) { return read(value, path, out); }
};

template<class T>
Decoded<T> readRecord(const Json &json)
{
    Reader reader;
    Decoded<T> result;
    typename Detail::Reading<T>::Stored stored;
    if (reader.read(json, Path {}, stored))
        result.value = Detail::Reading<T>::finish(std::move(stored));
    else
        result.error = reader.error;
    return result;
}

// ---- writing -------------------------------------------------------------------------------

std::string utf8(const QString &text)
{
    return text.toStdString();
}

Json valueJson(const QString &text)
{
    return utf8(text);
}

Json valueJson(const QUuid &uuid)
{
    return utf8(uuidString(uuid));
}

Json valueJson(std::int64_t value)
{
    return value;
}

Json valueJson(bool value)
{
    return value;
}

Json valueJson(const Date &date)
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

template<class T>
Json valueJson(const std::vector<T> &records);
Json valueJson(const ReviewState &state);

template<class Record>
Json recordJson(const Record &record)
{
    Json j = Json::object();
    Detail::everyField<Record>([&](const auto &field, std::size_t) {
        const auto &member = record.*field.member;
        if constexpr (std::decay_t<decltype(field)>::required) {
            j[field.name] = valueJson(member);
        } else if (member) {
            // An optional field without a value is left out, never null.
            j[field.name] = valueJson(*member);
        }
        return true;
    });
    return j;
}

template<class T>
Json valueJson(const std::vector<T> &records)
{
    Json j = Json::array();
    j.get_ref<Json::array_t &>().reserve(records.size());
    for (const T &record : records)
        j.push_back(toJson(record));
    return j;
}

Json valueJson(const ReviewState &state)
{
    return recordJson(state);
}

} // namespace

QString uuidString(const QUuid &uuid)
{
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

namespace {

char32_t unit(QChar c)
{
    return c.unicode();
}

char32_t unit(char c)
{
    return static_cast<unsigned char>(c);
}

// QUuid itself would also take braces and return the nil UUID for garbage; the stored form is
// exactly 8-4-4-4-12 hexadecimal digits. Read here digit by digit: every record has one, and going
// through QUuid's own parser cost more than the rest of the record's fields.
template<class Text>
std::optional<QUuid> parseUuid(const Text &text)
{
    // Each character's digit value; -1 for anything else.
    static constexpr auto digits = [] {
        std::array<signed char, 256> table {};
        table.fill(-1);
        for (int c = 0; c < 10; ++c)
            table[std::size_t('0' + c)] = static_cast<signed char>(c);
        for (int c = 0; c < 6; ++c) {
            table[std::size_t('a' + c)] = static_cast<signed char>(10 + c);
            table[std::size_t('A' + c)] = static_cast<signed char>(10 + c);
        }
        return table;
    }();
    if (text.size() != 36 || unit(text[8]) != U'-' || unit(text[13]) != U'-' || unit(text[18]) != U'-'
        || unit(text[23]) != U'-')
        return std::nullopt;
    std::array<char, 16> bytes {};
    std::size_t byte = 0;
    for (qsizetype i = 0; i < 36; i += 2) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            ++i;
        const char32_t high = unit(text[i]);
        const char32_t low = unit(text[i + 1]);
        if (high > 0xFF || low > 0xFF)
            return std::nullopt;
        const int h = digits[high];
        const int l = digits[low];
        if ((h | l) < 0)
            return std::nullopt;
        bytes[byte++] = char(h << 4 | l);
    }
    return QUuid::fromRfc4122(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

} // namespace

std::optional<QUuid> uuidFromString(QStringView text)
{
    return parseUuid(text);
}

std::optional<QUuid> uuidFromUtf8(std::string_view text)
{
    return parseUuid(text);
}

Decoded<Json> parseJson(QByteArrayView utf8)
{
    Decoded<Json> result;
    result.value = parseJsonLimited<Json>(utf8, &result.error);
    return result;
}

Json toJson(const WordLookup &lookup)
{
    return recordJson(lookup);
}

Json toJson(const WordSense &sense)
{
    return recordJson(sense);
}

Json toJson(const ReviewState &state)
{
    return recordJson(state);
}

Json toJson(const SavedWord &word)
{
    return recordJson(word);
}

Json toJson(const WordKey &key)
{
    return recordJson(Detail::stored(key));
}

template<class T>
Json toJson(const std::vector<T> &records)
{
    return valueJson(records);
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
    std::vector<typename Detail::Reading<T>::Stored> stored;
    if (!reader.readArray(json, Path {}, stored)) {
        result.error = reader.error;
        return result;
    }
    std::vector<T> records;
    records.reserve(stored.size());
    for (auto &s : stored)
        records.push_back(Detail::Reading<T>::finish(std::move(s)));
    result.value = std::move(records);
    return result;
}

namespace Detail {

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

LUMIVOX_FOR_EACH_WORD_RECORD(LUMIVOX_WORD_RECORD)

#undef LUMIVOX_WORD_RECORD

} // namespace Lumivox::WordRecords
