#include "Shared/Diagnostics/DiagnosticLogFile.h"

#include "Shared/Json/LimitedJson.h"

#include <nlohmann/json.hpp>

#include <limits>

namespace Lumivox::DiagnosticLogFile {

namespace {

// The plain json type keeps object keys in a sorted map, which gives the sorted-keys form.
using Json = nlohmann::json;

std::string utf8(const QString &text)
{
    return text.toStdString();
}

Json encodeEntry(const DiagnosticLog::Entry &entry)
{
    return Json {
        {"reason", utf8(DiagnosticReasons::rawValue(entry.reason))},
        {"detail", utf8(entry.detail)},
        {"app", utf8(entry.app)},
        {"count", entry.count},
        {"first", utf8(isoDate(entry.first))},
        {"last", utf8(isoDate(entry.last))},
    };
}

Json encodeCounts(const std::map<QString, qint64> &counts)
{
    Json object = Json::object();
    for (const auto &[key, count] : counts)
        object[utf8(key)] = count;
    return object;
}

Json encodeTally(const AppTally &t)
{
    return Json {
        {"shownAccessibility", t.shownAccessibility},
        {"shownOCR", t.shownOCR},
        {"shownCache", t.shownCache},
        {"axThenUnreadable", t.axThenUnreadable},
        {"axThenCaptureEmpty", t.axThenCaptureEmpty},
        {"axThenCaptureFailed", t.axThenCaptureFailed},
        {"axThenNoScreenRecording", t.axThenNoScreenRecording},
        {"pointerMoved", t.pointerMoved},
        {"filtered", t.filtered},
        {"webAXFirst", t.webAXFirst},
        {"webAXStillMissed", t.webAXStillMissed},
        {"roles", encodeCounts(t.roles)},
        {"translationErrors", encodeCounts(t.translationErrors)},
    };
}

Json encodeEvent(const DiagnosticEvent &event)
{
    Json object {
        {"at", utf8(isoDate(event.at))},
        {"app", utf8(event.app)},
        {"reason", utf8(DiagnosticReasons::rawValue(event.reason))},
        {"word", utf8(event.word)},
        {"meaning", utf8(event.meaning)},
        {"source", utf8(event.source)},
        {"role", utf8(event.role)},
        {"extra", utf8(event.extra)},
    };
    if (event.ms)
        object["ms"] = *event.ms;
    if (event.stages)
        object["stages"] = utf8(*event.stages);
    return object;
}

// Decoding: every helper answers "none" for a missing key or a value of the wrong type, and one
// failure fails the record that holds it.

const Json *member(const Json &object, const char *key)
{
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::optional<QString> decodeString(const Json *value)
{
    if (!value || !value->is_string())
        return std::nullopt;
    return QString::fromStdString(value->get_ref<const std::string &>());
}

std::optional<qint64> decodeInteger(const Json *value)
{
    if (!value)
        return std::nullopt;
    if (value->is_number_unsigned()) {
        const auto n = value->get<std::uint64_t>();
        if (n > std::uint64_t(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return qint64(n);
    }
    if (value->is_number_integer())
        return value->get<std::int64_t>();
    return std::nullopt;
}

std::optional<QDateTime> decodeDate(const Json *value)
{
    const auto text = decodeString(value);
    if (!text)
        return std::nullopt;
    QDateTime date = QDateTime::fromString(*text, Qt::ISODate);
    // A time without a zone would be read as local time; the file always names its zone.
    if (!date.isValid() || date.timeSpec() == Qt::LocalTime)
        return std::nullopt;
    return date.toUTC();
}

std::optional<DiagnosticReason> decodeReason(const Json *value)
{
    const auto text = decodeString(value);
    return text ? DiagnosticReasons::fromRawValue(*text) : std::nullopt;
}

std::optional<DiagnosticLog::Entry> decodeEntry(const Json &value)
{
    if (!value.is_object())
        return std::nullopt;
    const auto reason = decodeReason(member(value, "reason"));
    const auto detail = decodeString(member(value, "detail"));
    const auto app = decodeString(member(value, "app"));
    const auto count = decodeInteger(member(value, "count"));
    const auto first = decodeDate(member(value, "first"));
    const auto last = decodeDate(member(value, "last"));
    if (!reason || !detail || !app || !count || !first || !last)
        return std::nullopt;
    return DiagnosticLog::Entry {*reason, *detail, *app, *count, *first, *last};
}

std::optional<std::vector<DiagnosticLog::Entry>> decodeEntries(const Json &value)
{
    if (!value.is_array())
        return std::nullopt;
    std::vector<DiagnosticLog::Entry> entries;
    entries.reserve(value.size());
    for (const Json &item : value) {
        auto entry = decodeEntry(item);
        if (!entry)
            return std::nullopt;
        entries.push_back(std::move(*entry));
    }
    return entries;
}

std::optional<std::map<QString, qint64>> decodeCounts(const Json *value)
{
    if (!value || !value->is_object())
        return std::nullopt;
    std::map<QString, qint64> counts;
    for (const auto &[key, item] : value->items()) {
        const auto count = decodeInteger(&item);
        if (!count)
            return std::nullopt;
        counts.emplace(QString::fromStdString(key), *count);
    }
    return counts;
}

std::optional<AppTally> decodeTally(const Json &value)
{
    if (!value.is_object())
        return std::nullopt;
    AppTally tally;
    const std::pair<const char *, qint64 *> counters[] = {
        {"shownAccessibility", &tally.shownAccessibility},
        {"shownOCR", &tally.shownOCR},
        {"shownCache", &tally.shownCache},
        {"axThenUnreadable", &tally.axThenUnreadable},
        {"axThenCaptureEmpty", &tally.axThenCaptureEmpty},
        {"axThenCaptureFailed", &tally.axThenCaptureFailed},
        {"axThenNoScreenRecording", &tally.axThenNoScreenRecording},
        {"pointerMoved", &tally.pointerMoved},
        {"filtered", &tally.filtered},
        {"webAXFirst", &tally.webAXFirst},
        {"webAXStillMissed", &tally.webAXStillMissed},
    };
    for (const auto &[key, field] : counters) {
        const auto count = decodeInteger(member(value, key));
        if (!count)
            return std::nullopt;
        *field = *count;
    }
    auto roles = decodeCounts(member(value, "roles"));
    auto errors = decodeCounts(member(value, "translationErrors"));
    if (!roles || !errors)
        return std::nullopt;
    tally.roles = std::move(*roles);
    tally.translationErrors = std::move(*errors);
    return tally;
}

std::optional<DiagnosticEvent> decodeEvent(const Json &value)
{
    if (!value.is_object())
        return std::nullopt;
    DiagnosticEvent event;
    const auto at = decodeDate(member(value, "at"));
    const auto reason = decodeReason(member(value, "reason"));
    if (!at || !reason)
        return std::nullopt;
    event.at = *at;
    event.reason = *reason;
    const std::pair<const char *, QString *> texts[] = {
        {"app", &event.app},       {"word", &event.word}, {"meaning", &event.meaning},
        {"source", &event.source}, {"role", &event.role}, {"extra", &event.extra},
    };
    for (const auto &[key, field] : texts) {
        auto text = decodeString(member(value, key));
        if (!text)
            return std::nullopt;
        *field = std::move(*text);
    }
    // Optional keys: missing or null is absence; any other value must have the right type.
    if (const Json *ms = member(value, "ms"); ms && !ms->is_null()) {
        event.ms = decodeInteger(ms);
        if (!event.ms)
            return std::nullopt;
    }
    if (const Json *stages = member(value, "stages"); stages && !stages->is_null()) {
        event.stages = decodeString(stages);
        if (!event.stages)
            return std::nullopt;
    }
    return event;
}

std::optional<Contents> decodeStore(const Json &root)
{
    if (!root.is_object())
        return std::nullopt;
    Contents contents;
    if (const Json *entries = member(root, "entries"); entries && !entries->is_null()) {
        auto decoded = decodeEntries(*entries);
        if (!decoded)
            return std::nullopt;
        contents.entries = std::move(*decoded);
    }
    if (const Json *apps = member(root, "apps"); apps && !apps->is_null()) {
        if (!apps->is_object())
            return std::nullopt;
        for (const auto &[key, item] : apps->items()) {
            auto tally = decodeTally(item);
            if (!tally)
                return std::nullopt;
            contents.apps.emplace(QString::fromStdString(key), std::move(*tally));
        }
    }
    if (const Json *events = member(root, "events"); events && !events->is_null()) {
        if (!events->is_array())
            return std::nullopt;
        contents.events.reserve(events->size());
        for (const Json &item : *events) {
            auto event = decodeEvent(item);
            if (!event)
                return std::nullopt;
            contents.events.push_back(std::move(*event));
        }
    }
    return contents;
}

} // namespace

QString isoDate(const QDateTime &date)
{
    const QDateTime utc = date.toUTC();
    // Whole seconds: the sub-second part is dropped rather than rounded up into the next second.
    return QDateTime::fromSecsSinceEpoch(utc.toSecsSinceEpoch(), Qt::UTC).toString(Qt::ISODate);
}

QByteArray encode(const Contents &contents)
{
    Json entries = Json::array();
    for (const auto &entry : contents.entries)
        entries.push_back(encodeEntry(entry));
    Json apps = Json::object();
    for (const auto &[app, tally] : contents.apps)
        apps[utf8(app)] = encodeTally(tally);
    Json events = Json::array();
    for (const auto &event : contents.events)
        events.push_back(encodeEvent(event));
    const Json root {{"entries", std::move(entries)}, {"apps", std::move(apps)}, {"events", std::move(events)}};
    // Text that slipped through as invalid UTF-8 is replaced rather than failing the whole file.
    return QByteArray::fromStdString(root.dump(-1, ' ', false, Json::error_handler_t::replace));
}

std::optional<Contents> decode(const QByteArray &data)
{
    const auto root = parseJsonLimited<Json>(data);
    if (!root)
        return std::nullopt;
    if (auto store = decodeStore(*root))
        return store;
    if (auto entries = decodeEntries(*root))
        return Contents {std::move(*entries), {}, {}};
    return std::nullopt;
}

} // namespace Lumivox::DiagnosticLogFile
