#include "Shared/Preferences/PreferenceStore.h"

#include "Shared/Async/SerialExecutor.h"
#include "Shared/Json/LimitedJson.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Storage/PrivateFile.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcPreferences, "app.lumivox.Preferences")

namespace Lumivox {

namespace {

// Sorted objects: dictionaries are sorted maps anyway, and ordered_json looks keys up linearly.
using Json = nlohmann::json;

// Deeper nesting than any setting needs: such a value is dropped (the file as a whole is refused
// only past the parser's own limit).
constexpr int maxDepth = 64;
constexpr qint64 maxFileBytes = PrivateFile::preferencesCap;

constexpr const char *dateTag = "$date";
constexpr const char *dataTag = "$data";
constexpr const char *realTag = "$real";

std::string utf8(const QString &s)
{
    return s.toStdString();
}

QString fromUtf8(const std::string &s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

std::string escapedKey(const QString &key)
{
    return key.startsWith(u'$') ? "$" + utf8(key) : utf8(key);
}

QString unescapedKey(const std::string &key)
{
    return fromUtf8(key.rfind("$$", 0) == 0 ? key.substr(1) : key);
}

Json toJson(const PreferenceValue &value)
{
    switch (value.type()) {
    case PreferenceValue::Type::boolean:
        return value.toBool();
    case PreferenceValue::Type::integer:
        return static_cast<std::int64_t>(value.toInteger());
    case PreferenceValue::Type::real: {
        const double d = value.toDouble();
        if (std::isfinite(d))
            return d;
        // JSON has no spelling for these; keep them rather than turn them into null.
        const char *text = std::isnan(d) ? "nan" : (d > 0 ? "inf" : "-inf");
        return Json {{realTag, text}};
    }
    case PreferenceValue::Type::string:
        return utf8(*value.toString());
    case PreferenceValue::Type::date: {
        const auto date = value.toDate();
        return Json {{dateTag, date ? utf8(date->toString(Qt::ISODateWithMs)) : std::string()}};
    }
    case PreferenceValue::Type::data:
        return Json {{dataTag, value.toData()->toBase64().toStdString()}};
    case PreferenceValue::Type::list: {
        Json array = Json::array();
        for (const PreferenceValue &element : *value.listIfAny())
            array.push_back(toJson(element));
        return array;
    }
    case PreferenceValue::Type::dictionary: {
        Json object = Json::object();
        for (const auto &[key, element] : *value.dictionaryIfAny())
            object[escapedKey(key)] = toJson(element);
        return object;
    }
    }
    return nullptr;
}

std::optional<PreferenceValue> fromJson(const Json &json, int depth);

std::optional<PreferenceValue> taggedValue(const std::string &tag, const Json &payload)
{
    if (!payload.is_string())
        return std::nullopt;
    const std::string &text = payload.get_ref<const std::string &>();
    if (tag == dateTag) {
        if (text.empty())
            return PreferenceValue(QDateTime());
        QDateTime date = QDateTime::fromString(fromUtf8(text), Qt::ISODateWithMs);
        if (!date.isValid())
            return std::nullopt;
        return PreferenceValue(date);
    }
    if (tag == dataTag) {
        auto decoded =
            QByteArray::fromBase64Encoding(QByteArray::fromStdString(text), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return PreferenceValue(*decoded);
    }
    if (tag == realTag) {
        if (text == "nan")
            return PreferenceValue(std::numeric_limits<double>::quiet_NaN());
        if (text == "inf")
            return PreferenceValue(std::numeric_limits<double>::infinity());
        if (text == "-inf")
            return PreferenceValue(-std::numeric_limits<double>::infinity());
    }
    return std::nullopt;
}

std::optional<PreferenceValue> fromJson(const Json &json, int depth)
{
    if (depth > maxDepth)
        return std::nullopt;
    switch (json.type()) {
    case Json::value_t::boolean:
        return PreferenceValue(json.get<bool>());
    case Json::value_t::number_integer:
        return PreferenceValue(static_cast<qint64>(json.get<std::int64_t>()));
    case Json::value_t::number_unsigned: {
        const auto u = json.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(std::numeric_limits<qint64>::max()))
            return PreferenceValue(static_cast<qint64>(u));
        return PreferenceValue(static_cast<double>(u));
    }
    case Json::value_t::number_float:
        return PreferenceValue(json.get<double>());
    case Json::value_t::string:
        return PreferenceValue(fromUtf8(json.get_ref<const std::string &>()));
    case Json::value_t::array: {
        PreferenceValue::List list;
        list.reserve(json.size());
        for (const Json &element : json) {
            auto value = fromJson(element, depth + 1);
            if (!value)
                return std::nullopt;
            list.push_back(std::move(*value));
        }
        return PreferenceValue(std::move(list));
    }
    case Json::value_t::object: {
        if (json.size() == 1) {
            const auto it = json.begin();
            const std::string &key = it.key();
            if (key == dateTag || key == dataTag || key == realTag)
                return taggedValue(key, it.value());
        }
        PreferenceValue::Dictionary dictionary;
        for (auto it = json.begin(); it != json.end(); ++it) {
            auto value = fromJson(it.value(), depth + 1);
            if (!value)
                return std::nullopt;
            dictionary.insert_or_assign(unescapedKey(it.key()), std::move(*value));
        }
        return PreferenceValue(std::move(dictionary));
    }
    default: // null, binary, discarded
        return std::nullopt;
    }
}

} // namespace

QByteArray PreferenceStore::encode(const std::map<QString, PreferenceValue> &values)
{
    Json root = Json::object();
    for (const auto &[key, value] : values)
        root[utf8(key)] = toJson(value);
    const std::string text = root.dump(2, ' ', false, Json::error_handler_t::replace);
    return QByteArray::fromStdString(text + "\n");
}

std::optional<std::map<QString, PreferenceValue>> PreferenceStore::decode(const QByteArray &json)
{
    const auto parsed = parseJsonLimited<Json>(json);
    if (!parsed || !parsed->is_object())
        return std::nullopt;
    const Json &root = *parsed;
    std::map<QString, PreferenceValue> values;
    for (auto it = root.begin(); it != root.end(); ++it) {
        auto value = fromJson(it.value(), 1);
        if (!value) {
            qCWarning(lcPreferences).noquote()
                << "dropping preference" << fromUtf8(it.key()) << "whose stored value has no valid form";
            continue;
        }
        values.insert_or_assign(fromUtf8(it.key()), std::move(*value));
    }
    return values;
}

PreferenceStore::PreferenceStore(QString filePath, std::shared_ptr<Clock> clock, QObject *parent)
    : QObject(parent)
    , m_filePath(std::move(filePath))
    , m_clock(std::move(clock))
    , m_writer(std::make_unique<SerialExecutor>(QStringLiteral("app.lumivox.preferences")))
{
    load();
}

PreferenceStore::~PreferenceStore()
{
    {
        std::lock_guard lock(m_mutex);
        m_pendingRetry.cancel();
    }
    synchronize();
    m_writer.reset(); // joins the writer before the state it writes from goes away
}

std::shared_ptr<PreferenceStore> PreferenceStore::standard()
{
    static const std::shared_ptr<PreferenceStore> store = [] {
        auto made = std::make_shared<PreferenceStore>(AppIdentity::isHostingTests() ? QString() : standardFilePath());
        if (QCoreApplication *app = QCoreApplication::instance()) {
            // Deferred writes need an event loop; the main thread has the one that always runs.
            if (made->thread() != app->thread())
                made->moveToThread(app->thread());
            QObject::connect(app, &QCoreApplication::aboutToQuit, made.get(),
                             [store = made.get()] { store->synchronize(); });
        }
        return made;
    }();
    return store;
}

QString PreferenceStore::standardFilePath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Lumivox/") + AppIdentity::bundleID().value_or(AppIdentity::appID)
        + QStringLiteral(".json");
}

bool PreferenceStore::isPersistent() const
{
    std::lock_guard lock(m_mutex);
    return m_persistent;
}

void PreferenceStore::load()
{
    if (m_filePath.isEmpty())
        return;
    PrivateFile::clearStrays(m_filePath);
    const PrivateFile::Contents file = PrivateFile::read(m_filePath, maxFileBytes);
    switch (file.presence) {
    case PrivateFile::Presence::missing:
        m_persistent = true;
        return;
    case PrivateFile::Presence::unreadable:
        // Maybe only for now (permissions, a network home): leave the file alone and never write over it.
        qCCritical(lcPreferences).noquote()
            << "cannot read" << m_filePath << ":" << file.reason << "- settings are kept in memory only";
        return;
    case PrivateFile::Presence::link:
    case PrivateFile::Presence::foreign:
        qCWarning(lcPreferences).noquote() << "the preference file is" << file.reason;
        break;
    case PrivateFile::Presence::read:
        if (auto decoded = decode(file.bytes)) {
            m_values = std::move(*decoded);
            m_persistent = true;
            return;
        }
        qCWarning(lcPreferences).noquote() << "the preference file does not decode";
        break;
    }

    // Never written over, never written through: moved out of the way, and the store starts empty.
    m_setAsideAs = PrivateFile::setAside(m_filePath, m_clock->wallNow());
    if (m_setAsideAs) {
        m_persistent = true;
    } else {
        qCCritical(lcPreferences).noquote()
            << "the preference file" << m_filePath << "could not be set aside - settings are kept in memory only";
    }
}

std::optional<PreferenceValue> PreferenceStore::object(const QString &key) const
{
    std::lock_guard lock(m_mutex);
    if (auto it = m_values.find(key); it != m_values.end())
        return it->second;
    return std::nullopt;
}

bool PreferenceStore::contains(const QString &key) const
{
    std::lock_guard lock(m_mutex);
    return m_values.count(key) != 0;
}

QStringList PreferenceStore::keys() const
{
    std::lock_guard lock(m_mutex);
    QStringList out;
    out.reserve(qsizetype(m_values.size()));
    for (const auto &[key, value] : m_values)
        out.append(key);
    return out;
}

bool PreferenceStore::boolValue(const QString &key) const
{
    const auto value = object(key);
    return value && value->toBool();
}

qint64 PreferenceStore::integer(const QString &key) const
{
    const auto value = object(key);
    return value ? value->toInteger() : 0;
}

double PreferenceStore::doubleValue(const QString &key) const
{
    const auto value = object(key);
    return value ? value->toDouble() : 0.0;
}

std::optional<QString> PreferenceStore::string(const QString &key) const
{
    const auto value = object(key);
    return value ? value->toString() : std::nullopt;
}

std::optional<QStringList> PreferenceStore::stringList(const QString &key) const
{
    const auto value = object(key);
    return value ? value->toStringList() : std::nullopt;
}

std::optional<QDateTime> PreferenceStore::date(const QString &key) const
{
    const auto value = object(key);
    return value ? value->toDate() : std::nullopt;
}

std::optional<QByteArray> PreferenceStore::data(const QString &key) const
{
    const auto value = object(key);
    return value ? value->toData() : std::nullopt;
}

std::optional<PreferenceValue::List> PreferenceStore::list(const QString &key) const
{
    const auto value = object(key);
    return value ? value->toList() : std::nullopt;
}

std::optional<PreferenceValue::Dictionary> PreferenceStore::dictionary(const QString &key) const
{
    const auto value = object(key);
    return value ? value->toDictionary() : std::nullopt;
}

void PreferenceStore::set(const QString &key, PreferenceValue value)
{
    {
        std::lock_guard lock(m_mutex);
        m_values.insert_or_assign(key, std::move(value));
    }
    markDirty();
    emit changed(key);
}

void PreferenceStore::remove(const QString &key)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_values.erase(key) == 0)
            return;
    }
    markDirty();
    emit changed(key);
}

void PreferenceStore::markDirty()
{
    {
        std::lock_guard lock(m_mutex);
        m_dirty = true;
        if (!m_persistent || m_writeScheduled)
            return;
        m_writeScheduled = true;
    }
    auto handle = m_clock->schedule(Clock::Duration::zero(), this, [this] { writePending(); });
    std::lock_guard lock(m_mutex);
    m_pendingWrite = handle;
}

QByteArray PreferenceStore::snapshotIfDirty()
{
    std::map<QString, PreferenceValue> values;
    {
        std::lock_guard lock(m_mutex);
        m_writeScheduled = false;
        m_pendingWrite.cancel();
        if (!m_dirty || !m_persistent)
            return {};
        m_dirty = false;
        values = m_values; // values share their lists and dictionaries, so this copy is cheap
    }
    return encode(values);
}

void PreferenceStore::writePending()
{
    QByteArray bytes = snapshotIfDirty();
    if (bytes.isEmpty())
        return;
    m_writer->post([this, bytes = std::move(bytes)] { writeFile(bytes); });
}

bool PreferenceStore::synchronize()
{
    QByteArray bytes = snapshotIfDirty();
    if (bytes.isEmpty()) {
        m_writer->drain();
        std::lock_guard lock(m_mutex);
        return !m_dirty || !m_persistent;
    }
    return m_writer->runBlocking([&] { return writeFile(bytes); });
}

std::optional<WriteFailure> PreferenceStore::writeFailure() const
{
    if (const auto why = m_trouble.failure())
        return WriteFailure {UserFile::preferences, m_filePath, *why};
    return std::nullopt;
}

bool PreferenceStore::writeFile(const QByteArray &bytes)
{
    const PrivateFile::Outcome outcome = PrivateFile::replace(m_filePath, bytes);
    const WriteTrouble::Change change = m_trouble.record(outcome);
    if (outcome) {
        if (change == WriteTrouble::Change::cleared)
            qCInfo(lcPreferences).noquote() << m_filePath << "written again";
        return true;
    }
    // Logged and told once per cause; the retries stay quiet.
    if (change == WriteTrouble::Change::failed)
        qCCritical(lcPreferences).noquote()
            << "cannot write" << m_filePath << ":" << outcome.error
            << "- the settings are kept in memory and written again at the next change, within" << retryDelay.count()
            << "s and at quit";
    {
        // Keep the changes pending so the next write carries them.
        std::lock_guard lock(m_mutex);
        m_dirty = true;
    }
    scheduleRetry();
    if (change == WriteTrouble::Change::failed)
        emit writeFailed(WriteFailure {UserFile::preferences, m_filePath, outcome});
    return false;
}

void PreferenceStore::scheduleRetry()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_retryScheduled)
            return;
        m_retryScheduled = true;
    }
    // Space freed later, or a folder given back, is noticed without waiting for a change of setting.
    auto handle = m_clock->schedule(retryDelay, this, [this] {
        {
            std::lock_guard lock(m_mutex);
            m_retryScheduled = false;
        }
        writePending();
    });
    std::lock_guard lock(m_mutex);
    m_pendingRetry = handle;
}

} // namespace Lumivox
