#include "Models/ReviewAnswer.h"
#include "Models/WordRecords.h"
#include "Models/WordRecordsJson.h"
#include "Shared/Json/LimitedJson.h"
#include "Shared/Text/TextUtils.h"

#include <QSet>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

using namespace Lumivox;
using namespace Lumivox::WordRecords;

namespace {

const QUuid lookupID = QUuid::fromString(QStringLiteral("0f8a2c4e-1b3d-4e5f-9a6b-7c8d9e0f1a2b"));
const QUuid savedID = QUuid::fromString(QStringLiteral("a1b2c3d4-e5f6-4711-8899-aabbccddeeff"));

WordLookup fullLookup()
{
    WordLookup l;
    l.id = lookupID;
    l.word = QStringLiteral("ran");
    l.base = QStringLiteral("run");
    l.source = QStringLiteral("en");
    l.target = QStringLiteral("es");
    l.meaning = QStringLiteral("corrió");
    l.grammarTag = QStringLiteral("verb");
    l.grammarText = QStringLiteral("past of “run”");
    l.sentence = QStringLiteral("She ran home.\nThen \"slept\".");
    l.wordOffset = 4;
    l.translation = QStringLiteral("Ella corrió a casa.");
    l.appID = QStringLiteral("org.gnome.TextEditor");
    l.appName = QStringLiteral("Text Editor");
    l.title = QStringLiteral("notes.txt");
    l.date = Date {760000000.25};
    return l;
}

WordLookup minimalLookup()
{
    WordLookup l;
    l.id = lookupID;
    l.word = QStringLiteral("cat");
    l.target = QStringLiteral("fr");
    l.meaning = QStringLiteral("chat");
    l.date = Date {0};
    return l;
}

SavedWord savedWord()
{
    SavedWord w;
    w.id = savedID;
    w.word = QStringLiteral("run");
    w.source = QStringLiteral("en");
    w.target = QStringLiteral("es");
    w.senses = {WordSense {QStringLiteral("correr"), QStringLiteral("verb"), std::nullopt},
                WordSense {QStringLiteral("carrera"), std::nullopt, QString()}};
    w.encounters = {fullLookup(), minimalLookup()};
    w.metCount = 3;
    w.savedAt = Date {760000100};
    w.review = ReviewState {2, Date {760086500.5}, Date {760000200}, false};
    return w;
}

QByteArray text(const char *json)
{
    return QByteArray(json);
}

} // namespace

TEST(WordRecordsJson, WritesKeysInFieldOrderCompactWithUpperCaseIDs)
{
    EXPECT_EQ(
        encode(fullLookup()),
        text(R"({"id":"0F8A2C4E-1B3D-4E5F-9A6B-7C8D9E0F1A2B","word":"ran","base":"run","source":"en",)"
             R"("target":"es","meaning":"corrió","grammarTag":"verb","grammarText":"past of “run”",)"
             R"("sentence":"She ran home.\nThen \"slept\".","wordOffset":4,"translation":"Ella corrió a casa.",)"
             R"("appID":"org.gnome.TextEditor","appName":"Text Editor","title":"notes.txt","date":760000000.25})"));
    // Absent optionals are left out (never null); the reference date is written as the integer 0.
    EXPECT_EQ(
        encode(minimalLookup()),
        text(R"({"id":"0F8A2C4E-1B3D-4E5F-9A6B-7C8D9E0F1A2B","word":"cat","target":"fr","meaning":"chat","date":0})"));

    SavedWord w = savedWord();
    w.encounters.clear();
    EXPECT_EQ(encode(w),
              text(R"({"id":"A1B2C3D4-E5F6-4711-8899-AABBCCDDEEFF","word":"run","source":"en","target":"es",)"
                   R"("senses":[{"meaning":"correr","grammarTag":"verb"},{"meaning":"carrera","grammarText":""}],)"
                   R"("encounters":[],"metCount":3,"savedAt":760000100,)"
                   R"("review":{"streak":2,"due":760086500.5,"lastReviewed":760000200,"learned":false}})"));
}

TEST(WordRecordsJson, EveryRecordTypeRoundTrips)
{
    for (const WordLookup &l : {fullLookup(), minimalLookup()}) {
        const auto back = decode<WordLookup>(encode(l));
        ASSERT_TRUE(back) << back.error.toStdString();
        EXPECT_EQ(*back.value, l);
        EXPECT_FALSE(encode(l).contains('\n')); // one history line each
    }
    const SavedWord w = savedWord();
    const auto back = decode<SavedWord>(encode(w));
    ASSERT_TRUE(back) << back.error.toStdString();
    EXPECT_EQ(*back.value, w);

    const std::vector<SavedWord> words {w, SavedWord {}};
    const auto list = decodeArray<SavedWord>(encodeArray(words));
    ASSERT_TRUE(list) << list.error.toStdString();
    EXPECT_EQ(*list.value, words);

    const std::vector<WordKey> keys {WordKey(QStringLiteral(" Run "), std::nullopt, QStringLiteral("ES"))};
    const auto keysBack = decodeArray<WordKey>(encodeArray(keys));
    ASSERT_TRUE(keysBack);
    EXPECT_EQ(*keysBack.value, keys);
}

TEST(WordRecordsJson, DatesKeepEveryBitOfTheirSeconds)
{
    for (double seconds : {0.0, 0.1, -1.5, 760000000.123456789, 1.0 / 3.0, 1e-300, -978307200.0, 4.0e12 + 0.5}) {
        WordLookup l = minimalLookup();
        l.date = Date {seconds};
        const auto back = decode<WordLookup>(encode(l));
        ASSERT_TRUE(back) << seconds;
        EXPECT_EQ(back.value->date.secondsSinceReferenceDate, seconds);
    }
    // Seconds since 2001 in UTC, not since 1970.
    const QDateTime start2001(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    EXPECT_EQ(Date::fromDateTime(start2001).secondsSinceReferenceDate, 0.0);
    EXPECT_EQ(Date {86400.5}.toDateTime(), start2001.addMSecs(86400500));
    const auto wall = std::chrono::system_clock::from_time_t(978307200 + 60);
    EXPECT_EQ(Date::fromWallTime(wall).secondsSinceReferenceDate, 60.0);
    EXPECT_EQ(Date {60}.wallTime(), wall);
    // Far-off dates from a file saturate instead of overflowing the clock.
    EXPECT_GT(Date {1e300}.wallTime(), wall);
    EXPECT_LT(Date {-1e300}.wallTime(), wall);
    EXPECT_TRUE(Date {1e300}.toDateTime().isValid());
}

TEST(WordRecordsJson, ReadsWhatTheWriterMayLeaveOutOrReorder)
{
    // A history line without title, base and sentence; keys in another order, an unknown key, a
    // lower-case UUID, nulls for optionals and an integer date.
    const auto l =
        decode<WordLookup>(text(R"({"date":5,"meaning":"m","target":"de","extra":[1,{"x":null}],)"
                                R"("grammarTag":null,"word":"w","id":"0f8a2c4e-1b3d-4e5f-9a6b-7c8d9e0f1a2b"})"));
    ASSERT_TRUE(l) << l.error.toStdString();
    EXPECT_EQ(l.value->id, lookupID);
    EXPECT_FALSE(l.value->title || l.value->base || l.value->sentence || l.value->grammarTag);
    EXPECT_EQ(l.value->date.secondsSinceReferenceDate, 5.0);

    // An offset of 0 and empty text are values, distinct from absent ones.
    WordLookup zero = minimalLookup();
    zero.sentence = QString();
    zero.wordOffset = 0;
    const auto back = decode<WordLookup>(encode(zero));
    ASSERT_TRUE(back);
    EXPECT_EQ(back.value->wordOffset, std::optional<std::int64_t>(0));
    EXPECT_EQ(back.value->sentence, std::optional<QString>(QString()));
    EXPECT_NE(*back.value, minimalLookup());

    // A stored key is taken as written, not normalised again.
    const auto key = decode<WordKey>(text(R"({"word":" Run","source":"EN","target":"Es"})"));
    ASSERT_TRUE(key);
    EXPECT_EQ(key.value->word(), QStringLiteral(" Run"));
    EXPECT_EQ(key.value->source(), QStringLiteral("EN"));
}

TEST(WordRecordsJson, RejectsMalformedRecordsWhole)
{
    const std::string valid = encode(minimalLookup()).toStdString();
    auto replaced = [&](const std::string &from, const std::string &to) {
        std::string s = valid;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    const std::vector<std::pair<std::string, const char *>> lookups {
        {replaced(R"("id":"0F8A2C4E-1B3D-4E5F-9A6B-7C8D9E0F1A2B",)", ""), "id: missing"},
        {replaced(R"("word":"cat")", R"("word":null)"), "word: null where a value is required"},
        {replaced(R"("date":0)", R"("date":"2025-01-01T00:00:00Z")"), "date: not a date (seconds since 2001)"},
        {replaced(R"("date":0)", R"("date":0,"wordOffset":1.5)"), "wordOffset: not an integer"},
        {replaced(R"("date":0)", R"("date":0,"wordOffset":"4")"), "wordOffset: not an integer"},
        {replaced(R"("date":0)", R"("date":0,"wordOffset":9223372036854775808)"), "wordOffset: integer out of range"},
        {replaced(R"("date":0)", R"("date":0,"title":7)"), "title: not a string"},
        {replaced("0F8A2C4E-1B3D-4E5F-9A6B-7C8D9E0F1A2B", "{0F8A2C4E-1B3D-4E5F-9A6B-7C8D9E0F1A2B}"), "id: not a UUID"},
        {replaced("0F8A2C4E-1B3D", "0F8A2C4E1-B3D"), "id: not a UUID"},
        {replaced("9E0F1A2B", "9E0F1A2G"), "id: not a UUID"},
        {replaced("9E0F1A2B", "9E0F1A2"), "id: not a UUID"},
        {"[]", "not an object"},
        {valid.substr(0, valid.size() - 1), "not valid JSON"},
    };
    for (const auto &[line, reason] : lookups) {
        const auto result = decode<WordLookup>(QByteArrayView(line.data(), qsizetype(line.size())));
        EXPECT_FALSE(result) << line;
        EXPECT_TRUE(result.error.startsWith(QLatin1String(reason))) << line << " gave " << result.error.toStdString();
    }

    // A saved word fails with a bad part anywhere inside it, and says where.
    const std::string word = encode(savedWord()).toStdString();
    auto wordWith = [&](const std::string &from, const std::string &to) {
        std::string s = word;
        s.replace(s.find(from), from.size(), to);
        return decode<SavedWord>(QByteArrayView(s.data(), qsizetype(s.size())));
    };
    EXPECT_EQ(wordWith(R"("streak":2,)", "").error, QStringLiteral("review.streak: missing"));
    EXPECT_EQ(wordWith(R"(,"learned":false)", "").error, QStringLiteral("review.learned: missing"));
    EXPECT_EQ(wordWith(R"("learned":false)", R"("learned":0)").error, QStringLiteral("review.learned: not a boolean"));
    EXPECT_EQ(wordWith(R"("metCount":3)", R"("metCount":3.0)").error, QStringLiteral("metCount: not an integer"));
    EXPECT_EQ(wordWith(R"("word":"cat")", R"("word":1)").error, QStringLiteral("encounters[1].word: not a string"));
    EXPECT_EQ(wordWith(R"({"meaning":"carrera")", R"({"meanings":"carrera")").error,
              QStringLiteral("senses[1].meaning: missing"));
    EXPECT_TRUE(
        wordWith(R"("encounters":[)", R"("encounters":{"a":[)").error.startsWith(QStringLiteral("not valid JSON")));
    EXPECT_FALSE(decodeArray<SavedWord>(text(R"([{}])")));
    EXPECT_EQ(decodeArray<SavedWord>(text(R"({"words":[]})")).error, QStringLiteral("not an array"));
}

TEST(WordRecordsJson, ReadsRecordsOutOfAnOuterLayout)
{
    // The word book's file wraps the list in its own object; the records are read from the tree.
    const QByteArray file = "{\"version\":1,\"words\":" + encodeArray(std::vector<SavedWord> {savedWord()}) + "}";
    const auto parsed = parseJson(file);
    ASSERT_TRUE(parsed);
    const auto words = arrayFromJson<SavedWord>(parsed.value->at("words"));
    ASSERT_TRUE(words) << words.error.toStdString();
    EXPECT_EQ(words.value->front(), savedWord());
    EXPECT_EQ(fromJson<WordLookup>(toJson(fullLookup())).value, fullLookup());

    // A key given twice in any object refuses the text on both paths, an unknown key or one written
    // with an escape too; the same key in two objects is no repeat.
    const QByteArray lookupKeys = R"("id":"0F8A2C4E-1B3D-4E5F-9A6B-7C8D9E0F1A2B","target":"t","meaning":"m","date":1)";
    for (const QByteArray &twice : {QByteArray(R"({"word":"first",)" + lookupKeys + R"(,"word":"second"})"),
                                    QByteArray(R"({"word":"first",)" + lookupKeys + R"(,"w\u006Frd":"second"})"),
                                    QByteArray(R"({"word":"w","more":1,)" + lookupKeys + R"(,"more":2})"),
                                    QByteArray(R"({"w\u006Frd":"first",)" + lookupKeys + R"(,"wor\u0064":"second"})"),
                                    QByteArray(R"({"word":"w","more":{"k":1,"k":1},)" + lookupKeys + "}"),
                                    QByteArray(R"({"word":"w","more":{"":1,"":2},)" + lookupKeys + "}")}) {
        SCOPED_TRACE(twice.toStdString());
        EXPECT_EQ(decode<WordLookup>(twice).error, QStringLiteral("a key given twice"));
        EXPECT_EQ(parseJson(twice).error, QStringLiteral("a key given twice"));
    }
    const QByteArray sameKeyApart = R"({"word":"w","more":{"word":1},)" + lookupKeys + "}";
    EXPECT_TRUE(decode<WordLookup>(sameKeyApart));
    EXPECT_TRUE(fromJson<WordLookup>(*parseJson(sameKeyApart).value));
    const QByteArray twoEscapedKeys = R"({"word":"w","more":{"\u0061":1,"\u0062":2},)" + lookupKeys + "}";
    EXPECT_TRUE(decode<WordLookup>(twoEscapedKeys));
    // An empty key is a key like any other, given once.
    for (const QByteArray &empty : {QByteArray(R"({"word":"w","more":{"":1},)" + lookupKeys + "}"),
                                    QByteArray(R"({"word":"w","more":{"a":1,"":2},)" + lookupKeys + "}")}) {
        SCOPED_TRACE(empty.toStdString());
        EXPECT_TRUE(decode<WordLookup>(empty));
        EXPECT_TRUE(parseJson(empty));
    }
    // Also among many keys, where they are no longer compared one by one.
    QByteArray many = R"({"word":"w",)" + lookupKeys;
    for (int i = 0; i < 40; ++i)
        many += ",\"k" + QByteArray::number(i) + "\":0";
    EXPECT_TRUE(decode<WordLookup>(many + "}"));
    EXPECT_TRUE(parseJson(many + "}"));
    for (const char *repeated : {"k0", "k39", "word"}) {
        const QByteArray twice = many + ",\"" + repeated + "\":1}";
        EXPECT_EQ(decode<WordLookup>(twice).error, QStringLiteral("a key given twice")) << repeated;
        EXPECT_EQ(parseJson(twice).error, QStringLiteral("a key given twice")) << repeated;
    }
}

TEST(WordRecordsJson, ErrorsNeverQuoteTheRecordsText)
{
    const auto result = decode<WordLookup>(text(R"({"word":"private diary entry" oops})"));
    ASSERT_FALSE(result);
    EXPECT_FALSE(result.error.contains(QStringLiteral("diary")));
    EXPECT_FALSE(decode<WordLookup>(QByteArray(600, '[')));
    EXPECT_TRUE(decode<WordLookup>(QByteArray(600, '[')).error.contains(QStringLiteral("nested")));
}

namespace {

// One JSON value as the in-place scanner reads it and as the tree parser reads it, in one form:
// "text:…", "int:…", "uint:…", "double:…" or "refused".
QString describeDouble(double d)
{
    return QStringLiteral("double:") + (d == 0 && std::signbit(d) ? QStringLiteral("-0") : QString::number(d, 'g', 17));
}

// A copy of the bytes that ends where readable memory ends: a read one byte past them faults.
class AtTheEdgeOfMemory
{
public:
    explicit AtTheEdgeOfMemory(QByteArrayView bytes)
        : m_page(std::size_t(sysconf(_SC_PAGESIZE)))
        , m_size((std::size_t(bytes.size()) / m_page + 2) * m_page)
        , m_base(static_cast<char *>(mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)))
    {
        if (m_base == MAP_FAILED || mprotect(m_base + m_size - m_page, m_page, PROT_NONE) != 0)
            std::abort();
        m_bytes = QByteArrayView(m_base + m_size - m_page - bytes.size(), bytes.size());
        std::memcpy(const_cast<char *>(m_bytes.data()), bytes.data(), std::size_t(bytes.size()));
    }
    ~AtTheEdgeOfMemory() { munmap(m_base, m_size); }
    AtTheEdgeOfMemory(const AtTheEdgeOfMemory &) = delete;
    AtTheEdgeOfMemory &operator=(const AtTheEdgeOfMemory &) = delete;
    QByteArrayView bytes() const { return m_bytes; }

private:
    std::size_t m_page;
    std::size_t m_size;
    char *m_base;
    QByteArrayView m_bytes;
};

QString scannedView(QByteArrayView json)
{
    JsonScanner s(json);
    if (s.next() == '"') {
        QString text;
        if (s.text(text) && s.atEnd())
            return QStringLiteral("text:") + text;
    } else {
        JsonNumber n;
        if (s.number(n) && s.atEnd()) {
            switch (n.kind) {
            case JsonNumber::integer:
                return QStringLiteral("int:%1").arg(n.i);
            case JsonNumber::unsignedInteger:
                return QStringLiteral("uint:%1").arg(n.u);
            case JsonNumber::floating:
                return describeDouble(n.d);
            }
        }
    }
    return QStringLiteral("refused");
}

// The value as the last bytes of a file's buffer, where a read past its end faults; and as a view
// into a longer text, as a history line is, where whatever follows must never be read as part of it.
// Both must read the same.
QString scanned(QByteArrayView json)
{
    const QString atTheEdge = scannedView(AtTheEdgeOfMemory(json).bytes());
    const QByteArray text = json.toByteArray() + "0\"\\u1e.9";
    const QString inALongerText = scannedView(QByteArrayView(text).first(json.size()));
    return atTheEdge == inALongerText ? atTheEdge : atTheEdge + QStringLiteral(" or ") + inALongerText;
}

QString parsed(QByteArrayView json)
{
    const auto tree = parseJsonLimited<nlohmann::json>(json);
    if (!tree)
        return QStringLiteral("refused");
    if (tree->is_string())
        return QStringLiteral("text:") + QString::fromStdString(tree->get<std::string>());
    if (tree->is_number_unsigned())
        return QStringLiteral("uint:%1").arg(tree->get<std::uint64_t>());
    if (tree->is_number_integer())
        return QStringLiteral("int:%1").arg(tree->get<std::int64_t>());
    return describeDouble(tree->get<double>());
}

} // namespace

TEST(JsonScanner, ReadsStringsAndNumbersExactlyAsTheTreeParserDoes)
{
    struct Row
    {
        QByteArray json;
        QString expected;
    };
    const std::vector<Row> rows {
        // Escapes at every UTF-8 length boundary, hex digits of both cases, surrogate pairs.
        {R"("\u0041\u007f")", QStringLiteral("text:A\u007f")},
        {R"("\u0080\u07FF")", QStringLiteral("text:\u0080\u07FF")},
        {R"("\u0800\uffff")", QStringLiteral("text:\u0800\uFFFF")},
        {R"("\u00e9\u00E9\u00aF\u00Fa\u0abc\u0ABC")", QStringLiteral("text:\u00E9\u00E9\u00AF\u00FA\u0ABC\u0ABC")},
        {R"("\uD800\uDC00 \udbff\udfff")", QStringLiteral("text:\U00010000 \U0010FFFF")},
        {R"("\" \\ \/ \b \f \n \r \t")", QStringLiteral("text:\" \\ / \b \f \n \r \t")},
        {R"("\uD800")", QStringLiteral("refused")},
        {R"("\uDC00\uD800")", QStringLiteral("refused")},
        {R"("\uD800\u0041")", QStringLiteral("refused")},
        {R"("\uD800\uD800")", QStringLiteral("refused")},
        {R"("\u12G4")", QStringLiteral("refused")},
        {R"("\u12")", QStringLiteral("refused")},
        {R"("\x")", QStringLiteral("refused")},
        {R"("abc)", QStringLiteral("refused")},
        {R"("a\n)", QStringLiteral("refused")},
        {R"("a\)", QStringLiteral("refused")},
        // Raw UTF-8: the shortest forms up to U+10FFFF and nothing else, with and without escapes
        // beside them.
        {"\"\xC3\xA9\xE0\xA0\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\"",
         QStringLiteral("text:é\u0800\U00010000\U0010FFFF")},
        {"\"\\n\xE0\xA0\x80\"", QStringLiteral("text:\n\u0800")},
        {"\"\xED\xA0\x80\"", QStringLiteral("refused")}, // U+D800
        {"\"\\n\xED\xBF\xBF\"", QStringLiteral("refused")}, // U+DFFF after an escape
        {"\"\xC0\xAF\"", QStringLiteral("refused")}, // overlong "/"
        {"\"\xE0\x9F\xBF\"", QStringLiteral("refused")}, // overlong U+07FF
        {"\"\xF0\x8F\xBF\xBF\"", QStringLiteral("refused")}, // overlong U+FFFF
        {"\"\xF4\x90\x80\x80\"", QStringLiteral("refused")}, // past U+10FFFF
        {"\"\xE2\x82\"", QStringLiteral("refused")}, // cut short
        {"\"\xF8\x88\x80\x80\x80\"", QStringLiteral("refused")},
        {"\"a\tb\"", QStringLiteral("refused")}, // a raw control character
        // Numbers: integers while they fit in 64 bits, doubles to the edge of their range.
        {"-9223372036854775808", QStringLiteral("int:-9223372036854775808")},
        {"-9223372036854775809", QStringLiteral("double:-9.2233720368547758e+18")},
        {"18446744073709551615", QStringLiteral("uint:18446744073709551615")},
        {"18446744073709551616", QStringLiteral("double:1.8446744073709552e+19")},
        {"-0", QStringLiteral("int:0")},
        {"12", QStringLiteral("uint:12")},
        {"1.25", QStringLiteral("double:1.25")},
        {"1e5", QStringLiteral("double:100000")},
        {"1e+", QStringLiteral("refused")},
        {"1.5e3", QStringLiteral("double:1500")},
        {"1E-2", QStringLiteral("double:0.01")},
        {"1.7976931348623157e308", QStringLiteral("double:1.7976931348623157e+308")},
        {"4.9e-324", QStringLiteral("double:4.9406564584124654e-324")},
        {"1e-400", QStringLiteral("double:0")},
        {"-0.0001e-400", QStringLiteral("double:-0")},
        {"0.00000000000000000001e-390", QStringLiteral("double:0")},
        {"1e+400", QStringLiteral("refused")},
        {"1" + QByteArray(309, '0'), QStringLiteral("refused")},
        {"-1.8e308", QStringLiteral("refused")},
        {"100000000000000000000e290", QStringLiteral("refused")},
        {"01", QStringLiteral("refused")},
        {"1.", QStringLiteral("refused")},
        {"1e", QStringLiteral("refused")},
        {"-", QStringLiteral("refused")},
        {"+1", QStringLiteral("refused")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.json.toStdString());
        EXPECT_EQ(scanned(row.json), row.expected);
        EXPECT_EQ(parsed(row.json), row.expected);
    }
}

TEST(WordKey, NormalisesTheWordAndLanguageCodes)
{
    const WordKey made(QStringLiteral(" \t Über Alles\n"), std::nullopt, QStringLiteral("ES"));
    EXPECT_EQ(made.word(), QStringLiteral("über alles"));
    EXPECT_EQ(made.source(), QString());
    EXPECT_EQ(made.target(), QStringLiteral("es"));
    EXPECT_EQ(made, WordKey(QStringLiteral("über alles"), QString(), QStringLiteral("es")));
    EXPECT_EQ(WordKey(QStringLiteral("x"), QStringLiteral("EN"), QStringLiteral("es")),
              WordKey(QStringLiteral("x"), QStringLiteral("en"), QStringLiteral("es")));
    // Codes are lower-cased but not trimmed; the lower-casing ignores the user's locale.
    EXPECT_NE(WordKey(QStringLiteral("x"), QStringLiteral(" en"), QStringLiteral("es")),
              WordKey(QStringLiteral("x"), QStringLiteral("en"), QStringLiteral("es")));
    EXPECT_EQ(WordKey(QStringLiteral("ISTANBUL"), std::nullopt, QStringLiteral("tr")).word(),
              QStringLiteral("istanbul"));

    QSet<WordKey> set {made, WordKey(QStringLiteral("ÜBER ALLES"), QString(), QStringLiteral("es"))};
    EXPECT_EQ(set.size(), 1);
    EXPECT_EQ(std::hash<WordKey>()(made),
              std::hash<WordKey>()(WordKey(QStringLiteral("Über alles"), std::nullopt, QStringLiteral("es"))));
    EXPECT_EQ(fullLookup().key(), WordKey(QStringLiteral("ran"), QStringLiteral("en"), QStringLiteral("es")));
}

TEST(WordKey, APlainWordIsKeyedAsTheFullNormalisationKeysIt)
{
    for (const QString &word : {QStringLiteral("river"), QStringLiteral("River"), QStringLiteral(" river\n"),
                                QStringLiteral("river "), QStringLiteral("\triver"), QStringLiteral("river\x1f"),
                                QStringLiteral("\x7friver"), QStringLiteral("r[i]v@e`r{"), QStringLiteral("rivière"),
                                QStringLiteral("river\u00a0"), QStringLiteral(" "), QString()}) {
        const WordKey key(word, QStringLiteral("EN "), QStringLiteral(" es"));
        EXPECT_EQ(key.word(), Text::lowercased(Text::trimmed(word))) << word.toStdString();
        EXPECT_EQ(key.source(), QStringLiteral("en "));
        EXPECT_EQ(key.target(), QStringLiteral(" es"));
    }
}

TEST(WordRecords, EqualityHashingAndComputedMembers)
{
    WordLookup again = fullLookup();
    EXPECT_EQ(again, fullLookup());
    EXPECT_EQ(qHash(again), qHash(fullLookup()));
    again.id = QUuid::createUuid();
    EXPECT_NE(again, fullLookup());
    // Absent is only equal to absent, also where the value would be empty.
    WordLookup emptyTitle = minimalLookup();
    emptyTitle.title = QString();
    EXPECT_NE(emptyTitle, minimalLookup());
    EXPECT_NE(qHash(emptyTitle), qHash(minimalLookup()));

    SavedWord w = savedWord();
    EXPECT_EQ(qHash(w), qHash(savedWord()));
    EXPECT_EQ(w.meaning(), QStringLiteral("correr"));
    std::swap(w.senses[0], w.senses[1]); // order matters
    EXPECT_NE(w, savedWord());
    w.senses.clear();
    EXPECT_EQ(w.meaning(), QString());

    EXPECT_LT(static_cast<int>(ReviewAnswer::again), static_cast<int>(ReviewAnswer::hard));
    EXPECT_LT(static_cast<int>(ReviewAnswer::hard), static_cast<int>(ReviewAnswer::gotIt));
}
