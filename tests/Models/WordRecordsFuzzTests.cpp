// Hostile and damaged input for the record reader, from a fixed seed so that every run (and every
// failure) is the same. The reader must never crash, and whatever it accepts must write back to
// something that reads as the same value.

#include "Models/WordRecordsJson.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <random>

using namespace Lumivox;
using namespace Lumivox::WordRecords;

namespace {

WordLookup sampleLookup(int n)
{
    WordLookup l;
    l.id = QUuid::fromString(QStringLiteral("6e1f0c2a-3b4d-4c5e-8f90-a1b2c3d4e5f6"));
    l.word = QStringLiteral("naïve%1").arg(n);
    l.base = QStringLiteral("naive");
    l.source = QStringLiteral("en");
    l.target = QStringLiteral("ja");
    l.meaning = QStringLiteral("世間知らず 😀");
    l.sentence = QStringLiteral("A naïve\tplan \"quoted\" \\ here.");
    l.wordOffset = 2;
    l.appID = QStringLiteral("org.example.app");
    l.date = Date {760000000.5 + n};
    return l;
}

SavedWord sampleWord()
{
    SavedWord w;
    w.id = QUuid::fromString(QStringLiteral("00112233-4455-6677-8899-aabbccddeeff"));
    w.word = QStringLiteral("naïve");
    w.target = QStringLiteral("ja");
    w.senses = {WordSense {QStringLiteral("世間知らず"), QStringLiteral("adjective"), QString()}};
    w.encounters = {sampleLookup(1), sampleLookup(2)};
    w.metCount = 2;
    w.savedAt = Date {760000100};
    w.review = ReviewState {1, Date {760086400}, Date {760000200.25}, true};
    return w;
}

QString withoutPosition(QString error)
{
    // The two readers may stop at different bytes of the same broken text.
    static const QRegularExpression position(QStringLiteral(" \\(at byte \\d+\\)"));
    return error.remove(position);
}

// The text reader and the tree reader must give the same verdict, value and reason, and whatever
// they accept must write out (both ways alike) to something that reads back as the same value.
template<class T>
void checkDecoded(QByteArrayView bytes, const Decoded<Json> &parsed, int &accepted)
{
    const auto text = decode<T>(bytes);
    const auto tree = parsed ? fromJson<T>(*parsed.value) : Decoded<T> {std::nullopt, parsed.error};
    const std::string input = bytes.toByteArray().toStdString();
    // A decoder that has read every record before this one (and kept their texts) reads it alike.
    static Decoder reused;
    const auto again = reused.decode<T>(bytes);
    ASSERT_EQ(bool(again), bool(text)) << input;
    ASSERT_EQ(again.error, text.error) << input;
    if (again) {
        ASSERT_EQ(*again.value, *text.value) << input;
    }
    ASSERT_EQ(bool(text), bool(tree)) << input << "\ntext: " << text.error.toStdString()
                                      << "\ntree: " << tree.error.toStdString();
    if (!text) {
        ASSERT_FALSE(text.error.isEmpty());
        ASSERT_EQ(withoutPosition(text.error), withoutPosition(tree.error)) << input;
        return;
    }
    ASSERT_EQ(*text.value, *tree.value) << input;
    ++accepted;
    const QByteArray written = encode(*text.value);
    ASSERT_EQ(Json::parse(written.toStdString()), toJson(*text.value)) << written.toStdString();
    const auto second = decode<T>(written);
    ASSERT_TRUE(second) << second.error.toStdString();
    EXPECT_EQ(*second.value, *text.value);
}

template<class T>
void checkDecodedArray(QByteArrayView bytes, const Decoded<Json> &parsed, int &accepted)
{
    const auto text = decodeArray<T>(bytes);
    const auto tree = parsed ? arrayFromJson<T>(*parsed.value) : Decoded<std::vector<T>> {std::nullopt, parsed.error};
    ASSERT_EQ(bool(text), bool(tree)) << bytes.toByteArray().toStdString();
    if (!text) {
        ASSERT_EQ(withoutPosition(text.error), withoutPosition(tree.error));
        return;
    }
    ASSERT_EQ(*text.value, *tree.value);
    ++accepted;
}

void checkAll(QByteArrayView bytes, int &accepted)
{
    const auto parsed = parseJson(bytes);
    checkDecoded<WordLookup>(bytes, parsed, accepted);
    checkDecoded<SavedWord>(bytes, parsed, accepted);
    checkDecoded<ReviewState>(bytes, parsed, accepted);
    checkDecoded<WordKey>(bytes, parsed, accepted);
    checkDecodedArray<SavedWord>(bytes, parsed, accepted);
    checkDecodedArray<WordSense>(bytes, parsed, accepted);
}

class Mutator
{
public:
    explicit Mutator(std::uint64_t seed)
        : m_random(seed)
    { }

    std::size_t below(std::size_t n) { return n ? std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random) : 0; }

    QByteArray randomBytes(std::size_t maxLength)
    {
        QByteArray out(qsizetype(below(maxLength + 1)), '\0');
        for (char &c : out)
            c = char(below(256));
        return out;
    }

    QByteArray mutate(QByteArray bytes)
    {
        static const char *const tokens[] = {"null",        "1.5",        "-0",    "1e400",      "9223372036854775808",
                                             "\"\\ud800\"", "[",          "]",     "{",          "}",
                                             ",",           ":",          "\"",    "\\",         "\xff",
                                             "\xc3",        "true",       "\"x\"", "{\"id\":1}", "[[[[",
                                             "0000",        "\"\\u0000\""};
        const int rounds = 1 + int(below(4));
        for (int r = 0; r < rounds && !bytes.isEmpty(); ++r) {
            const auto at = qsizetype(below(std::size_t(bytes.size())));
            switch (below(6)) {
            case 0:
                bytes[at] = char(bytes[at] ^ (1 << below(8)));
                break;
            case 1:
                bytes.insert(at, char(below(256)));
                break;
            case 2:
                bytes.remove(at, qsizetype(below(16)) + 1);
                break;
            case 3:
                bytes.insert(at, tokens[below(std::size(tokens))]);
                break;
            case 4:
                bytes.truncate(at);
                break;
            default:
                bytes.insert(at, bytes.mid(qsizetype(below(std::size_t(bytes.size()))), qsizetype(below(32))));
                break;
            }
        }
        return bytes;
    }

    // A value of a random JSON type, sometimes nested.
    Json randomValue(int depth = 0)
    {
        switch (below(depth > 2 ? 7 : 9)) {
        case 0:
            return nullptr;
        case 1:
            return below(2) == 1;
        case 2:
            return std::int64_t(below(1000)) - 500;
        case 3:
            return double(below(10000)) / 7.0;
        case 4:
            return "text";
        case 5:
            return "6E1F0C2A-3B4D-4C5E-8F90-A1B2C3D4E5F6";
        case 6:
            return std::uint64_t(1) << 63;
        case 7: {
            Json array = Json::array();
            array.push_back(randomValue(depth + 1));
            return array;
        }
        default: {
            Json object = Json::object();
            object["meaning"] = randomValue(depth + 1);
            return object;
        }
        }
    }

private:
    std::mt19937_64 m_random;
};

enum class Kind { text, uuid, integer, date, boolean };

// The lookup's schema, to tell whether a changed field still makes a readable record.
struct Field
{
    const char *key;
    Kind kind;
    bool required;
};
constexpr Field lookupFields[] = {
    {"id", Kind::uuid, true},           {"word", Kind::text, true},
    {"base", Kind::text, false},        {"source", Kind::text, false},
    {"target", Kind::text, true},       {"meaning", Kind::text, true},
    {"grammarTag", Kind::text, false},  {"grammarText", Kind::text, false},
    {"sentence", Kind::text, false},    {"wordOffset", Kind::integer, false},
    {"translation", Kind::text, false}, {"appID", Kind::text, false},
    {"appName", Kind::text, false},     {"title", Kind::text, false},
    {"date", Kind::date, true},
};

bool fits(Kind kind, const Json &value)
{
    switch (kind) {
    case Kind::text:
        return value.is_string();
    case Kind::uuid:
        return value.is_string() && uuidFromString(QString::fromStdString(value.get<std::string>()));
    case Kind::integer:
        return value.is_number_integer()
            && (!value.is_number_unsigned() || value.get<std::uint64_t>() <= std::uint64_t(INT64_MAX));
    case Kind::date:
        return value.is_number();
    case Kind::boolean:
        return value.is_boolean();
    }
    return false;
}

} // namespace

TEST(WordRecordsFuzz, ByteMutationsOfValidRecordsNeverCrashAndRoundTrip)
{
    Mutator mutator(0x5EED'0001);
    const std::vector<QByteArray> seeds {
        encode(sampleLookup(0)),
        encode(sampleWord()),
        encode(sampleWord().review),
        encode(WordKey(QStringLiteral("Naïve"), QStringLiteral("en"), QStringLiteral("ja"))),
        encodeArray(std::vector<SavedWord> {sampleWord(), sampleWord()}),
        // Escapes, a surrogate pair and an unknown key the reader must pass over.
        QByteArray(R"({"id":"6e1f0c2a-3b4d-4c5e-8f90-a1b2c3d4e5f6","word":"a\u00e9\ud83d\ude00\n\/","target":"x",)"
                   R"("meaning":"m","more":{"k":[1,2.5e-3,true,null]},"date":-12.5e2})"),
    };
    int accepted = 0;
    for (int i = 0; i < 12000; ++i)
        checkAll(mutator.mutate(seeds[std::size_t(i) % seeds.size()]), accepted);
    for (int i = 0; i < 3000; ++i)
        checkAll(mutator.randomBytes(200), accepted);
    // Some mutations land in text and stay valid; most do not.
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, 12000);
}

TEST(WordRecordsFuzz, ChangedFieldsAreAcceptedExactlyWhenTheyStillFit)
{
    Mutator mutator(0x5EED'0002);
    const Json valid = toJson(sampleLookup(0));
    for (int i = 0; i < 5000; ++i) {
        const Field &field = lookupFields[mutator.below(std::size(lookupFields))];
        Json changed = valid;
        bool expected = true;
        if (mutator.below(4) == 0) {
            changed.erase(field.key);
            expected = !field.required;
        } else {
            const Json value = mutator.randomValue();
            changed[field.key] = value;
            expected = value.is_null() ? !field.required : fits(field.kind, value);
        }
        const auto result = fromJson<WordLookup>(changed);
        ASSERT_EQ(bool(result), expected) << changed.dump() << " -> " << result.error.toStdString();
        int accepted = 0;
        const QByteArray dumped = QByteArray::fromStdString(changed.dump());
        checkDecoded<WordLookup>(dumped, parseJson(dumped), accepted);
        // What is read back writes out as the JSON the reader accepted, less its nulls ...
        if (result) {
            Json expectedJson = changed;
            for (auto it = expectedJson.begin(); it != expectedJson.end();) {
                if (it->is_null())
                    it = expectedJson.erase(it);
                else
                    ++it;
            }
            const std::string written = encode(*result.value).toStdString();
            ASSERT_EQ(nlohmann::json::parse(written), nlohmann::json::parse(expectedJson.dump())) << written;
            // ... with the keys in field order, wherever the reader found them.
            const Json writtenJson = Json::parse(written);
            std::size_t next = 0;
            for (const auto &[key, value] : writtenJson.items()) {
                while (next < std::size(lookupFields) && key != lookupFields[next].key)
                    ++next;
                ASSERT_LT(next, std::size(lookupFields)) << written;
            }
        }
    }
}

TEST(WordRecordsFuzz, TruncatedFilesAreRejected)
{
    const QByteArray file = encodeArray(std::vector<SavedWord> {sampleWord(), sampleWord(), sampleWord()});
    for (qsizetype cut = 0; cut < file.size(); ++cut) {
        const auto result = decodeArray<SavedWord>(QByteArrayView(file).first(cut));
        ASSERT_FALSE(result) << cut;
        EXPECT_TRUE(result.error.startsWith(QStringLiteral("not valid JSON"))) << cut;
    }
    EXPECT_TRUE(decodeArray<SavedWord>(file));
}

TEST(WordRecordsFuzz, HugeAndDeeplyNestedInputIsHandledCleanly)
{
    // A 10 MB text is still a valid record and comes back intact; in a field that wants a number it
    // is refused.
    Json big = toJson(sampleLookup(0));
    const std::string tenMegabytes(10 * 1024 * 1024, 'a');
    big["sentence"] = tenMegabytes;
    const std::string bigText = big.dump();
    const auto bigLookup = decode<WordLookup>(QByteArrayView(bigText.data(), qsizetype(bigText.size())));
    ASSERT_TRUE(bigLookup);
    EXPECT_EQ(bigLookup.value->sentence->size(), qsizetype(tenMegabytes.size()));
    big["date"] = tenMegabytes;
    EXPECT_FALSE(fromJson<WordLookup>(big));

    // A megabyte of brackets is refused before it is built.
    const QByteArray deep = QByteArray(1 << 20, '[') + QByteArray(1 << 20, ']');
    const auto deepResult = decode<WordLookup>(deep);
    ASSERT_FALSE(deepResult);
    EXPECT_TRUE(deepResult.error.contains(QStringLiteral("nested")));
    EXPECT_FALSE(decodeArray<SavedWord>(deep));

    // Nesting under an unknown key is ignored while it stays within the limit, refused beyond it.
    auto nestedUnderUnknownKey = [](std::size_t depth) {
        std::string text = encode(sampleLookup(0)).toStdString();
        text.pop_back();
        text += ",\"future\":" + std::string(depth, '[') + std::string(depth, ']') + "}";
        return decode<WordLookup>(QByteArrayView(text.data(), qsizetype(text.size())));
    };
    EXPECT_TRUE(nestedUnderUnknownKey(maxNestingDepth - 1));
    EXPECT_FALSE(nestedUnderUnknownKey(maxNestingDepth));

    // Text the parser must refuse rather than pass on: broken UTF-8, an unpaired surrogate, a
    // number beyond a double, a second value after the first.
    for (const char *bad :
         {"{\"word\":\"\xc3\"}", R"({"word":"\ud800"})", R"({"date":1e400})", R"({"word":"w"} {"word":"w"})"}) {
        const auto result = decode<WordLookup>(QByteArray(bad));
        ASSERT_FALSE(result) << bad;
        EXPECT_TRUE(result.error.startsWith(QStringLiteral("not valid JSON"))) << bad;
    }
}
