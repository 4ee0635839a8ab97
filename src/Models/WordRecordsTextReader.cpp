// The records straight from JSON text, without building a tree first: a long history is read line
// by line at every start, and a general-purpose tree costs several times what the records
// themselves do. The verdicts and messages are the tree reader's, value for value:
//   - the whole text is always checked, so broken JSON anywhere wins over a bad field;
//   - a key that appears twice in one object refuses the text, as it does in the tree;
//   - a record reports its first bad field in field order, wherever the keys stood.

#include "Models/WordRecordsDetail.h"
#include "Models/WordRecordsJson.h"

#include <array>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace Lumivox::WordRecords {

namespace {

using Detail::Path;
namespace Message = Detail::Message;

// What one reading of an object found for one field.
struct Slot
{
    bool seen = false;
    QString problem;
};

// Each field's slot among the memos: the fields of every record type, one type after the other.
template<class Record>
constexpr std::size_t memoBase = 0;
template<>
constexpr std::size_t memoBase<WordSense> = Detail::fieldCount<WordLookup>;
template<>
constexpr std::size_t memoBase<ReviewState> = memoBase<WordSense> + Detail::fieldCount<WordSense>;
template<>
constexpr std::size_t memoBase<SavedWord> = memoBase<ReviewState> + Detail::fieldCount<ReviewState>;
template<>
constexpr std::size_t memoBase<Detail::StoredKey> = memoBase<SavedWord> + Detail::fieldCount<SavedWord>;
constexpr std::size_t memoCount = memoBase<Detail::StoredKey> + Detail::fieldCount<Detail::StoredKey>;

} // namespace

// The last text read for each field. Languages, grammar tags, applications and window titles repeat
// from one record to the next; the record before's text is shared instead of made again, which
// saves most of the allocations of a long history (and the memory of holding it).
struct Decoder::Memos
{
    struct Memo
    {
        bool filled = false;
        std::string utf8;
        QString text;
    };
    std::array<Memo, memoCount> fields;
};

namespace {

// Every read function below consumes one value. It returns false only when the text is broken;
// a value that is well-formed JSON but wrong for its field leaves `problem` set instead.
class Records
{
public:
    explicit Records(JsonScanner &scanner, Decoder::Memos *memos = nullptr)
        : s(scanner)
        , memos(memos)
    { }

    template<class Record>
    bool read(Record &out, QString &problem, const Path &path)
    {
        std::array<Slot, Detail::fieldCount<Record>> found;
        out = {};
        if (!expectObject(problem, path))
            return !s.failed();
        // The writers keep field order, so the key after a known one is nearly always the next
        // field: it is tried first, then all of them.
        std::size_t expected = 0;
        const bool ok = s.object([&](std::string_view key) {
            bool result = true;
            const auto match = [&](const auto &field, std::size_t i) {
                if (key != field.key)
                    return true;
                result = readField(field, out.*field.member, found[i], path.child(field.name),
                                   memos ? &memos->fields[memoBase<Record> + i] : nullptr);
                expected = i + 1;
                return false;
            };
            const bool known = !Detail::everyField<Record>([&](const auto &field, std::size_t i) {
                return i != expected || match(field, i);
            }) || !Detail::everyField<Record>(match);
            return known ? result : s.skip();
        });
        if (ok)
            settle<Record>(found, path, problem);
        return ok;
    }

    /// A JSON array of records; the first bad element (in order) is the array's problem.
    template<class T>
    bool array(std::vector<T> &out, QString &problem, const Path &path)
    {
        if (s.next() != '[')
            return wrong(problem, path, Message::notArray);
        out.clear();
        return s.array([&](std::size_t i) {
            QString elementProblem;
            if (!read(out.emplace_back(), elementProblem, path.element(i)))
                return false;
            if (problem.isNull() && !elementProblem.isNull())
                problem = std::move(elementProblem);
            return true;
        });
    }

private:
    // The first problem in field order: a bad value, else a required key that never came.
    template<class Record>
    static void settle(const std::array<Slot, Detail::fieldCount<Record>> &found, const Path &path, QString &problem)
    {
        Detail::everyField<Record>([&](const auto &field, std::size_t i) {
            if (!found[i].problem.isNull()) {
                problem = found[i].problem;
                return false;
            }
            if (std::decay_t<decltype(field)>::required && !found[i].seen) {
                problem = path.child(field.name).describe(Message::missing);
                return false;
            }
            return true;
        });
    }

    template<class Field, class Member>
    bool readField(const Field &, Member &member, Slot &slot, const Path &at, Decoder::Memos::Memo *memo)
    {
        slot.seen = true;
        slot.problem = QString();
        if constexpr (Field::required) {
            if (s.next() == 'n') {
                if (!s.literal("null"))
                    return false;
                slot.problem = at.describe(Message::null);
                return true;
            }
            return fieldValue(member, slot.problem, at, memo);
        } else {
            member.reset();
            if (s.next() == 'n')
                return s.literal("null");
            return fieldValue(member.emplace(), slot.problem, at, memo);
        }
    }

    template<class Member>
    bool fieldValue(Member &member, QString &problem, const Path &at, Decoder::Memos::Memo *memo)
    {
        if constexpr (std::is_same_v<Member, QString>) {
            if (memo)
                return sharedText(member, problem, at, *memo);
        }
        return value(member, problem, at);
    }

    bool sharedText(QString &out, QString &problem, const Path &path, Decoder::Memos::Memo &memo)
    {
        if (s.next() != '"')
            return wrong(problem, path, Message::notString);
        std::string_view utf8;
        if (!s.string(utf8, scratch))
            return false;
        // A long text (a sentence) seldom repeats, and keeping a copy of it would cost more than
        // sharing ever saves.
        constexpr std::size_t longText = 256;
        if (utf8.size() > longText) {
            out = s.lastText(utf8);
            return true;
        }
        if (!memo.filled || memo.utf8 != utf8) {
            memo.utf8.assign(utf8);
            memo.text = s.lastText(utf8);
            memo.filled = true;
        }
        out = memo.text;
        return true;
    }

    // A well-formed value of the wrong type: noted, then passed over so the rest is still checked.
    bool wrong(QString &problem, const Path &path, const char *what)
    {
        problem = path.describe(what);
        return s.skip();
    }

    bool expectObject(QString &problem, const Path &path)
    {
        if (s.next() == '{')
            return true;
        wrong(problem, path, Message::notObject);
        return false;
    }

    bool value(QString &out, QString &problem, const Path &path)
    {
        if (s.next() != '"')
            return wrong(problem, path, Message::notString);
        return s.text(out);
    }

    bool value(QUuid &out, QString &problem, const Path &path)
    {
        if (s.next() != '"')
            return wrong(problem, path, Message::notString);
        std::string_view text;
        if (!s.string(text, scratch))
            return false;
        if (const auto parsed = uuidFromUtf8(text))
            out = *parsed;
        else
            problem = path.describe(Message::notUUID);
        return true;
    }

    bool isNumberStart()
    {
        const char c = s.next();
        return c == '-' || (c >= '0' && c <= '9');
    }

    bool value(std::int64_t &out, QString &problem, const Path &path)
    {
        if (!isNumberStart())
            return wrong(problem, path, Message::notInteger);
        JsonNumber n;
        if (!s.number(n))
            return false;
        if (n.kind == JsonNumber::integer)
            out = n.i;
        else if (n.kind == JsonNumber::floating)
            problem = path.describe(Message::notInteger);
        else if (n.u > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
            problem = path.describe(Message::outOfRange);
        else
            out = std::int64_t(n.u);
        return true;
    }

    bool value(Date &out, QString &problem, const Path &path)
    {
        if (!isNumberStart())
            return wrong(problem, path, Message::notDate);
        JsonNumber n;
        if (!s.number(n))
            return false;
        out.secondsSinceReferenceDate = n.kind == JsonNumber::integer ? double(n.i)
            : n.kind == JsonNumber::unsignedInteger                   ? double(n.u)
                                                                      : n.d;
        return true;
    }

    bool value(bool &out, QString &problem, const Path &path)
    {
        const char c = s.next();
        if (c == 't') {
            out = true;
            return s.literal("true");
        }
        if (c == 'f') {
            out = false;
            return s.literal("false");
        }
        return wrong(problem, path, Message::notBoolean);
    }

    template<class T>
    bool value(std::vector<T> &out, QString &problem, const Path &path)
    {
        return array(out, problem, path);
    }

    bool value(ReviewState &out, QString &problem, const Path &path) { return read(out, problem, path); }

    JsonScanner &s;
    Decoder::Memos *memos;
    std::string scratch;
};

template<class T>
Decoded<T> finishDecoding(JsonScanner &scanner, bool ok, QString &problem, std::optional<T> value)
{
    // Broken text anywhere, trailing text included, wins over a bad field.
    if (ok && !scanner.failed() && !scanner.atEnd())
        scanner.broken();
    if (scanner.failed())
        return Decoded<T> {std::nullopt, scanner.failure()};
    if (!problem.isNull())
        return Decoded<T> {std::nullopt, problem};
    return Decoded<T> {std::move(value), QString()};
}

template<class T>
Decoded<T> decodeRecord(QByteArrayView utf8, Decoder::Memos *memos)
{
    JsonScanner scanner(utf8);
    Records records(scanner, memos);
    typename Detail::Reading<T>::Stored stored;
    QString problem;
    const bool ok = records.read(stored, problem, Path {});
    return finishDecoding<T>(scanner, ok, problem, Detail::Reading<T>::finish(std::move(stored)));
}

} // namespace

Decoder::Decoder()
    : m_memos(std::make_unique<Memos>())
{ }

Decoder::~Decoder() = default;

template<class T>
Decoded<T> Decoder::decode(QByteArrayView utf8)
{
    return decodeRecord<T>(utf8, m_memos.get());
}

template<class T>
Decoded<T> decode(QByteArrayView utf8)
{
    return decodeRecord<T>(utf8, nullptr);
}

template<class T>
Decoded<std::vector<T>> decodeArray(QByteArrayView utf8)
{
    JsonScanner scanner(utf8);
    Decoder::Memos memos;
    Records records(scanner, &memos);
    std::vector<typename Detail::Reading<T>::Stored> stored;
    QString problem;
    const bool ok = records.array(stored, problem, Path {});
    std::vector<T> values;
    if (ok && problem.isNull()) {
        values.reserve(stored.size());
        for (auto &s : stored)
            values.push_back(Detail::Reading<T>::finish(std::move(s)));
    }
    return finishDecoding<std::vector<T>>(scanner, ok, problem, std::move(values));
}

template<class T>
bool readArray(JsonScanner &scanner, std::vector<T> &out, QString &problem)
{
    Decoder::Memos memos;
    Records records(scanner, &memos);
    std::vector<typename Detail::Reading<T>::Stored> stored;
    problem = QString();
    if (!records.array(stored, problem, Path {}))
        return false;
    out.clear();
    if (problem.isNull()) {
        out.reserve(stored.size());
        for (auto &s : stored)
            out.push_back(Detail::Reading<T>::finish(std::move(s)));
    }
    return true;
}

#define LUMIVOX_WORD_RECORD(T)                                                                                         \
    template Decoded<T> decode<T>(QByteArrayView);                                                                     \
    template Decoded<T> Decoder::decode<T>(QByteArrayView);                                                            \
    template Decoded<std::vector<T>> decodeArray<T>(QByteArrayView);                                                   \
    template bool readArray<T>(JsonScanner &, std::vector<T> &, QString &);

LUMIVOX_FOR_EACH_WORD_RECORD(LUMIVOX_WORD_RECORD)

#undef LUMIVOX_WORD_RECORD

} // namespace Lumivox::WordRecords
