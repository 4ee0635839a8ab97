#pragma once

// Shared by the record readers and writers (over a parsed JSON tree, and straight over the text),
// which must agree on every field, every verdict and every message. Not for use outside the record
// codec.

#include "Models/WordRecords.h"

#include <QString>

#include <cstddef>
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

/// Runs X(T) for each coded record type: the codec's templates are made for these and no others.
#define LUMIVOX_FOR_EACH_WORD_RECORD(X) X(WordLookup) X(WordSense) X(ReviewState) X(SavedWord) X(WordKey)

namespace Lumivox::WordRecords::Detail {

// Where in a record a reader is; the text is only built when something is wrong.
struct Path
{
    const Path *parent = nullptr;
    const char *key = nullptr; // null for an array element (or the root)
    std::size_t index = 0;

    Path child(const char *name) const { return Path {this, name, 0}; }
    Path element(std::size_t i) const { return Path {this, nullptr, i}; }

    QString text() const
    {
        QString out = parent ? parent->text() : QString();
        if (key) {
            if (!out.isEmpty())
                out += QLatin1Char('.');
            out += QLatin1String(key);
        } else if (parent) {
            out += QStringLiteral("[%1]").arg(index);
        }
        return out;
    }

    QString describe(const char *what) const
    {
        const QString where = text();
        return where.isEmpty() ? QString::fromLatin1(what) : where + QStringLiteral(": ") + QLatin1String(what);
    }
};

namespace Message {
inline constexpr const char *missing = "missing";
inline constexpr const char *null = "null where a value is required";
inline constexpr const char *notString = "not a string";
inline constexpr const char *notInteger = "not an integer";
inline constexpr const char *outOfRange = "integer out of range";
inline constexpr const char *notDate = "not a date (seconds since 2001)";
inline constexpr const char *notBoolean = "not a boolean";
inline constexpr const char *notUUID = "not a UUID";
inline constexpr const char *notObject = "not an object";
inline constexpr const char *notArray = "not an array";
} // namespace Message

// ---- the stored fields ----------------------------------------------------------------------

/// A word key as stored: its three texts, taken as they stand (WordKey::fromStored).
struct StoredKey
{
    QString word;
    QString source;
    QString target;
};

template<class Record, class Member>
struct Field
{
    const char *name; // a string literal
    Member Record::*member;
    /// The name as a view: readers match every key of every record against it, and a C string
    /// would be measured again at each match.
    std::string_view key;
    /// Required exactly when the member is not optional: a missing or null key rejects the record.
    static constexpr bool required = true;
};

template<class Record, class Member>
struct Field<Record, std::optional<Member>>
{
    const char *name;
    std::optional<Member> Record::*member;
    std::string_view key;
    static constexpr bool required = false;
};

template<class Record, class Member>
constexpr Field<Record, Member> field(const char *name, Member Record::*member)
{
    return {name, member, std::string_view(name)};
}

/// Each record's keys and members in field order: the order in which they are written and in which
/// a reader reports the first bad field.
template<class Record>
struct Fields;

template<>
struct Fields<WordLookup>
{
    static constexpr std::tuple list {field("id", &WordLookup::id),
                                      field("word", &WordLookup::word),
                                      field("base", &WordLookup::base),
                                      field("source", &WordLookup::source),
                                      field("target", &WordLookup::target),
                                      field("meaning", &WordLookup::meaning),
                                      field("grammarTag", &WordLookup::grammarTag),
                                      field("grammarText", &WordLookup::grammarText),
                                      field("sentence", &WordLookup::sentence),
                                      field("wordOffset", &WordLookup::wordOffset),
                                      field("translation", &WordLookup::translation),
                                      field("appID", &WordLookup::appID),
                                      field("appName", &WordLookup::appName),
                                      field("title", &WordLookup::title),
                                      field("date", &WordLookup::date)};
};

template<>
struct Fields<WordSense>
{
    static constexpr std::tuple list {field("meaning", &WordSense::meaning),
                                      field("grammarTag", &WordSense::grammarTag),
                                      field("grammarText", &WordSense::grammarText)};
};

template<>
struct Fields<ReviewState>
{
    static constexpr std::tuple list {field("streak", &ReviewState::streak), field("due", &ReviewState::due),
                                      field("lastReviewed", &ReviewState::lastReviewed),
                                      field("learned", &ReviewState::learned)};
};

template<>
struct Fields<SavedWord>
{
    static constexpr std::tuple list {field("id", &SavedWord::id),
                                      field("word", &SavedWord::word),
                                      field("base", &SavedWord::base),
                                      field("source", &SavedWord::source),
                                      field("target", &SavedWord::target),
                                      field("senses", &SavedWord::senses),
                                      field("encounters", &SavedWord::encounters),
                                      field("metCount", &SavedWord::metCount),
                                      field("savedAt", &SavedWord::savedAt),
                                      field("review", &SavedWord::review)};
};

template<>
struct Fields<StoredKey>
{
    static constexpr std::tuple list {field("word", &StoredKey::word), field("source", &StoredKey::source),
                                      field("target", &StoredKey::target)};
};

template<class Record>
inline constexpr std::size_t fieldCount = std::tuple_size_v<decltype(Fields<Record>::list)>;

/// Calls `visit(field, index)` for each field in order while it returns true; false when one did not.
template<class Record, class Visit>
bool everyField(Visit &&visit)
{
    return [&]<std::size_t... I>(std::index_sequence<I...>)
    {
        return (visit(std::get<I>(Fields<Record>::list), I) && ...);
    }
    (std::make_index_sequence<fieldCount<Record>>());
}

/// How each record is held while it is read: a WordKey has no empty state, so its texts are read
/// first and the key made from them at the end.
template<class T>
struct Reading
{
    using Stored = T;
    static T finish(T &&value) { return std::move(value); }
};

template<>
struct Reading<WordKey>
{
    using Stored = StoredKey;
    static WordKey finish(StoredKey &&k)
    {
        return WordKey::fromStored(std::move(k.word), std::move(k.source), std::move(k.target));
    }
};

inline StoredKey stored(const WordKey &key)
{
    return StoredKey {key.word(), key.source(), key.target()};
}

/// A stored date without a fraction is written as a JSON integer when it is one exactly; the
/// writers agree on this through here.
bool isWholeDate(double seconds);

} // namespace Lumivox::WordRecords::Detail
