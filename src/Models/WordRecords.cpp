#include "Models/WordRecords.h"

#include "Shared/Text/TextUtils.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace Lumivox {

namespace {

using Clock = std::chrono::system_clock;

// Dates read from a file can hold any double; converting one the clock cannot represent would be
// undefined, so the conversion saturates a little inside the clock's range (about 1685 to 2255).
Clock::time_point clampedTimePoint(double unixSeconds)
{
    constexpr double limit = 9.0e9;
    if (std::isnan(unixSeconds))
        return Clock::time_point();
    const double clamped = std::clamp(unixSeconds, -limit, limit);
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(clamped)));
}

// Whether the text is already its own key: lower-case ASCII, and (when `trim`) without white space
// or control characters at either end. Keys are made for every look-up of the history at each start,
// and such texts (nearly all of them) are then shared rather than copied twice.
bool isKeyAlready(const QString &text, bool trim)
{
    if (trim && !text.isEmpty() && (text.front().unicode() <= 0x20 || text.back().unicode() <= 0x20))
        return false;
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() < 0x80 && !(c.unicode() >= u'A' && c.unicode() <= u'Z'); });
}

QString keyText(const QString &text, bool trim)
{
    if (text.isEmpty())
        return QString();
    if (isKeyAlready(text, trim))
        return text;
    return Text::lowercased(trim ? Text::trimmed(text) : text);
}

size_t hashOptional(const std::optional<QString> &value, size_t seed)
{
    return value ? qHashMulti(seed, true, *value) : qHashMulti(seed, false);
}

} // namespace

Date Date::fromWallTime(Clock::time_point time)
{
    const double unixSeconds = std::chrono::duration<double>(time.time_since_epoch()).count();
    return Date {unixSeconds - referenceDateUnixSeconds};
}

Date Date::fromDateTime(const QDateTime &dateTime)
{
    return Date {static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0 - referenceDateUnixSeconds};
}

Clock::time_point Date::wallTime() const
{
    return clampedTimePoint(secondsSinceReferenceDate + referenceDateUnixSeconds);
}

QDateTime Date::toDateTime() const
{
    // QDateTime's own range is far wider than any date a user makes; clamp to it rather than
    // overflow the millisecond count.
    constexpr double limit = 9.0e15;
    double ms = std::round((secondsSinceReferenceDate + referenceDateUnixSeconds) * 1000.0);
    if (std::isnan(ms))
        ms = 0;
    ms = std::clamp(ms, -limit, limit);
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms), QTimeZone::utc());
}

WordKey::WordKey(const QString &word, const std::optional<QString> &source, const QString &target)
    : m_word(keyText(word, true))
    , m_source(keyText(source.value_or(QString()), false))
    , m_target(keyText(target, false))
{ }

WordKey WordKey::fromStored(QString word, QString source, QString target)
{
    WordKey key;
    key.m_word = std::move(word);
    key.m_source = std::move(source);
    key.m_target = std::move(target);
    return key;
}

size_t qHash(const Date &date, size_t seed) noexcept
{
    return ::qHash(date.secondsSinceReferenceDate, seed);
}

size_t qHash(const WordKey &key, size_t seed) noexcept
{
    return qHashMulti(seed, key.word(), key.source(), key.target());
}

size_t qHash(const WordLookup &l, size_t seed) noexcept
{
    seed = qHashMulti(seed, l.id, l.word);
    seed = hashOptional(l.base, seed);
    seed = hashOptional(l.source, seed);
    seed = qHashMulti(seed, l.target, l.meaning);
    seed = hashOptional(l.grammarTag, seed);
    seed = hashOptional(l.grammarText, seed);
    seed = hashOptional(l.sentence, seed);
    seed = l.wordOffset ? qHashMulti(seed, true, *l.wordOffset) : qHashMulti(seed, false);
    seed = hashOptional(l.translation, seed);
    seed = hashOptional(l.appID, seed);
    seed = hashOptional(l.appName, seed);
    seed = hashOptional(l.title, seed);
    return qHash(l.date, seed);
}

size_t qHash(const WordSense &sense, size_t seed) noexcept
{
    seed = qHash(sense.meaning, seed);
    seed = hashOptional(sense.grammarTag, seed);
    return hashOptional(sense.grammarText, seed);
}

size_t qHash(const ReviewState &state, size_t seed) noexcept
{
    seed = qHashMulti(seed, state.streak, state.due);
    seed = state.lastReviewed ? qHashMulti(seed, true, *state.lastReviewed) : qHashMulti(seed, false);
    return ::qHash(state.learned, seed);
}

size_t qHash(const SavedWord &w, size_t seed) noexcept
{
    seed = qHashMulti(seed, w.id, w.word);
    seed = hashOptional(w.base, seed);
    seed = hashOptional(w.source, seed);
    seed = qHash(w.target, seed);
    seed = qHashRange(w.senses.begin(), w.senses.end(), seed);
    seed = qHashRange(w.encounters.begin(), w.encounters.end(), seed);
    seed = qHashMulti(seed, w.metCount, w.savedAt);
    return qHash(w.review, seed);
}

} // namespace Lumivox
