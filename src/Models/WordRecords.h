#pragma once

// The word book's records: look-ups, saved words with their meanings and review state, and the key
// under which both are grouped. They are plain values; the stored JSON form is in WordRecordsJson.h.

#include <QDateTime>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QUuid>

#include <chrono>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace Lumivox {

/// A moment in time as the word book stores it: seconds since 2001-01-01 00:00:00 UTC. Kept as the
/// double itself so that a date read back from a file compares equal to the one that was written.
struct Date
{
    double secondsSinceReferenceDate = 0;

    /// 2001-01-01 00:00:00 UTC in Unix seconds.
    static constexpr double referenceDateUnixSeconds = 978'307'200.0;

    static Date fromWallTime(std::chrono::system_clock::time_point time);
    static Date fromDateTime(const QDateTime &dateTime);
    /// Dates beyond what the clock can hold are clamped to its range.
    std::chrono::system_clock::time_point wallTime() const;
    QDateTime toDateTime() const;

    auto operator<=>(const Date &) const = default;
};

/// The identity of a word in the word book. Made only normalised, except when read back from a
/// file, where it is taken as stored.
class WordKey
{
public:
    /// Trims the word of white space and line breaks and lower-cases it (locale-free full mapping);
    /// a missing source becomes empty text; source and target are lower-cased but not trimmed.
    WordKey(const QString &word, const std::optional<QString> &source, const QString &target);

    /// A key exactly as it was stored, without normalising it again.
    static WordKey fromStored(QString word, QString source, QString target);

    const QString &word() const { return m_word; }
    const QString &source() const { return m_source; }
    const QString &target() const { return m_target; }

    bool operator==(const WordKey &) const = default;

private:
    WordKey() = default;
    QString m_word;
    QString m_source;
    QString m_target;
};

/// One look-up of a word, as the tooltip showed it.
struct WordLookup
{
    QUuid id;
    QString word;
    std::optional<QString> base;
    std::optional<QString> source;
    QString target;
    QString meaning;
    std::optional<QString> grammarTag;
    std::optional<QString> grammarText;
    std::optional<QString> sentence;
    /// UTF-16 offset of the word inside `sentence`.
    std::optional<std::int64_t> wordOffset;
    std::optional<QString> translation;
    std::optional<QString> appID;
    std::optional<QString> appName;
    std::optional<QString> title;
    Date date;

    WordKey key() const { return WordKey(word, source, target); }

    bool operator==(const WordLookup &) const = default;
};

/// One meaning of a saved word.
struct WordSense
{
    QString meaning;
    std::optional<QString> grammarTag;
    std::optional<QString> grammarText;

    bool operator==(const WordSense &) const = default;
};

/// Where a saved word stands in the spaced-repetition rotation.
struct ReviewState
{
    /// Successive "got it" answers.
    std::int64_t streak = 0;
    Date due;
    std::optional<Date> lastReviewed;
    /// True once the word has left the rotation.
    bool learned = false;

    bool operator==(const ReviewState &) const = default;
};

/// A word the user kept, with every meaning and encounter of it.
struct SavedWord
{
    QUuid id;
    QString word;
    std::optional<QString> base;
    std::optional<QString> source;
    QString target;
    /// The first one is the main meaning.
    std::vector<WordSense> senses;
    /// Newest first.
    std::vector<WordLookup> encounters;
    std::int64_t metCount = 0;
    Date savedAt;
    ReviewState review;

    WordKey key() const { return WordKey(word, source, target); }
    /// The main meaning, or empty text when the word has none.
    QString meaning() const { return senses.empty() ? QString() : senses.front().meaning; }

    bool operator==(const SavedWord &) const = default;
};

// Hashing covers the same fields, in the same order, as equality.
size_t qHash(const Date &date, size_t seed = 0) noexcept;
size_t qHash(const WordKey &key, size_t seed = 0) noexcept;
size_t qHash(const WordLookup &lookup, size_t seed = 0) noexcept;
size_t qHash(const WordSense &sense, size_t seed = 0) noexcept;
size_t qHash(const ReviewState &state, size_t seed = 0) noexcept;
size_t qHash(const SavedWord &word, size_t seed = 0) noexcept;

} // namespace Lumivox

template<>
struct std::hash<Lumivox::WordKey>
{
    size_t operator()(const Lumivox::WordKey &key) const noexcept { return Lumivox::qHash(key); }
};
