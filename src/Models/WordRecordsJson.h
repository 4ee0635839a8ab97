#pragma once

// The stored JSON form of the word-book records, shared by every reader and writer of "Words.json"
// and "History.jsonl" (the files' outer layout belongs to the word book):
//   - one object per record, keys named after the fields and written in field order;
//   - an optional field without a value is left out, never null; empty text is written as "";
//   - dates are seconds since 2001-01-01 00:00:00 UTC, UUIDs upper-case 8-4-4-4-12 strings;
//   - output is compact UTF-8, so a look-up fits on one line.
// Reading is strict: a missing or null required key, a value of the wrong JSON type under any known
// key (1.5 where an integer belongs), or a UUID that does not parse rejects the whole record, and
// an enclosing saved word with it. Nothing is defaulted or repaired. Unknown keys are ignored,
// keys may come in any order, and an optional key that is missing or null has no value.
//
// Only these five record types are coded: WordLookup, WordSense, ReviewState, SavedWord, WordKey.
// encode/decode work straight on the text and are the fast path (a history is read line by line);
// toJson/fromJson work on a parsed tree, for a file whose outer layout is read first. Both give the
// same verdicts and reasons.

#include "Models/WordRecords.h"
#include "Shared/Json/JsonScanner.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace Lumivox::WordRecords {

using Json = nlohmann::ordered_json;

/// A value, or why there is none. The reason names the failing key path and what was wrong with it
/// ("encounters[2].id: not a UUID"), never the record's text, so it may be logged.
template<class T>
struct Decoded
{
    std::optional<T> value;
    QString error;

    explicit operator bool() const { return value.has_value(); }
};

/// Nesting deeper than this is refused before it is built, so a hostile file cannot exhaust memory
/// or the stack; real records nest four levels.
inline constexpr std::size_t maxNestingDepth = maxJsonNesting;

/// Parses JSON text (UTF-8) under the same limits the record readers use; for callers that read an
/// outer layout first and then hand the records to fromJson / arrayFromJson.
Decoded<Json> parseJson(QByteArrayView utf8);

Json toJson(const WordLookup &lookup);
Json toJson(const WordSense &sense);
Json toJson(const ReviewState &state);
Json toJson(const SavedWord &word);
Json toJson(const WordKey &key);

template<class T>
Json toJson(const std::vector<T> &records);

template<class T>
Decoded<T> fromJson(const Json &json);

/// A JSON array of records; one bad element rejects the whole array.
template<class T>
Decoded<std::vector<T>> arrayFromJson(const Json &json);

/// Compact UTF-8 without a trailing line break.
template<class T>
QByteArray encode(const T &record);
template<class T>
QByteArray encodeArray(const std::vector<T> &records);

template<class T>
Decoded<T> decode(QByteArrayView utf8);

/// Decodes one record after another (a history, line by line) with the same verdicts as decode(),
/// sharing the texts that repeat from one record to the next instead of making each again.
class Decoder
{
public:
    Decoder();
    ~Decoder();
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    template<class T>
    Decoded<T> decode(QByteArrayView utf8);

    struct Memos;

private:
    std::unique_ptr<Memos> m_memos;
};
template<class T>
Decoded<std::vector<T>> decodeArray(QByteArrayView utf8);

/// Reads a JSON array of records where the scanner stands, for a file whose outer layout is read
/// with the same scanner. False when the text is broken (the scanner holds why); a well-formed
/// array with a bad record leaves `problem` set and `out` unspecified.
template<class T>
bool readArray(JsonScanner &scanner, std::vector<T> &out, QString &problem);

/// The stored form of a UUID: upper-case, hyphenated, no braces.
QString uuidString(const QUuid &uuid);
/// Accepts exactly the 36-character hyphenated form, in either letter case.
std::optional<QUuid> uuidFromString(QStringView text);
/// The same, over UTF-8 text.
std::optional<QUuid> uuidFromUtf8(std::string_view text);

} // namespace Lumivox::WordRecords
