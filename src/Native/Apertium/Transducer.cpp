#include "Native/Apertium/Transducer.h"

#include <QFile>
#include <QLoggingCategory>

#include <unicode/uchar.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

Q_DECLARE_LOGGING_CATEGORY(lcApertium)

namespace Lumivox::Native::Apertium {

namespace {

// Larger files are no transducer of a pair (Debian's largest is under 2 MB).
constexpr qint64 largestFile = 64 << 20;

// Paths followed at once. A word has a handful; a transducer with a cycle of empty inputs would
// otherwise grow them without end.
constexpr std::size_t pathLimit = 100000;

constexpr std::int32_t end = 0x7fffffff;

bool isEscaped(std::int32_t c)
{
    switch (c) {
    case '[':
    case ']':
    case '{':
    case '}':
    case '^':
    case '$':
    case '/':
    case '\\':
    case '@':
    case '<':
    case '>':
        return true;
    default:
        return false;
    }
}

void appendCodePoint(QString &out, char32_t c)
{
    out.append(QString::fromUcs4(&c, 1));
}

void writeEscaped(QString &out, QStringView text)
{
    for (QChar c : text) {
        if (isEscaped(c.unicode()))
            out.append(QLatin1Char('\\'));
        out.append(c);
    }
}

// A unit's form up to its first tag; a '<' after a backslash is part of the form.
QStringView withoutTags(QStringView form)
{
    for (qsizetype i = 1; i < form.size(); ++i) {
        if (form[i] == u'<' && form[i - 1] != u'\\')
            return form.left(i);
    }
    return form;
}

bool isUpper(QStringView text, qsizetype i)
{
    return i < text.size() && u_isupper(text[i].unicode());
}

// lttoolbox's compiled format, read with every count held to what the file can still hold, so that
// a damaged or foreign file is refused rather than read into gigabytes.
class Reader
{
public:
    explicit Reader(QByteArray data)
        : m_data(std::move(data))
    { }

    bool failed() const { return m_failed; }

    bool skipHeader(const char *magic, std::uint64_t &features)
    {
        features = 0;
        if (m_data.size() - m_at < 12 || std::memcmp(m_data.constData() + m_at, magic, 4) != 0)
            return false;
        for (int i = 0; i < 8; ++i)
            features |= std::uint64_t(std::uint8_t(m_data[m_at + 4 + i])) << (8 * i);
        m_at += 12;
        return true;
    }

    // 1 to 4 bytes; the top two bits of the first say how many follow.
    std::uint32_t number()
    {
        const std::uint32_t first = byte();
        std::uint32_t value = first & 0x3f;
        for (std::uint32_t more = first >> 6; more > 0; --more)
            value = (value << 8) | byte();
        return value;
    }

    // A count of items of at least one byte each.
    std::uint32_t count()
    {
        const std::uint32_t n = number();
        if (n > std::uint32_t(m_data.size() - m_at))
            m_failed = true;
        return m_failed ? 0 : n;
    }

    QString text()
    {
        QString out;
        for (std::uint32_t n = count(); n > 0 && !m_failed; --n)
            appendCodePoint(out, char32_t(number()));
        return out;
    }

private:
    std::uint32_t byte()
    {
        if (m_at >= m_data.size()) {
            m_failed = true;
            return 0;
        }
        return std::uint8_t(m_data[m_at++]);
    }

    QByteArray m_data;
    qsizetype m_at = 0;
    bool m_failed = false;
};

} // namespace

// A request's text read as lt-proc reads its input, code point by code point, with what lies
// between the units copied to the output as it is met.
class Transducer::Stream
{
public:
    explicit Stream(QStringView text)
        : m_text(text)
    { }

    QString out;
    bool failed = false;

    bool eof() const { return m_eof; }

    char32_t get()
    {
        if (m_at >= m_text.size()) {
            m_eof = true;
            return 0;
        }
        const QChar c = m_text[m_at++];
        if (c.isHighSurrogate() && m_at < m_text.size() && m_text[m_at].isLowSurrogate())
            return QChar::surrogateToUcs4(c, m_text[m_at++]);
        return c.unicode();
    }

    void unget(char32_t c) { m_at -= QChar::requiresSurrogates(c) ? 2 : 1; }

    void put(char32_t c) { appendCodePoint(out, c); }

    // Copies everything up to the next unit's '^'.
    void skipToUnit()
    {
        for (;;) {
            const char32_t c = get();
            if (m_eof || c == '^')
                return;
            if (c == '\\') {
                const char32_t escaped = get();
                if (m_eof)
                    return;
                put('\\');
                put(escaped);
                continue;
            }
            put(c);
        }
    }

    // The rest of a block whose opening character was just read, up to its closing one (or the end
    // of the text, as lt-proc reads one left open).
    QString block(char32_t open, char32_t close)
    {
        QString text;
        appendCodePoint(text, open);
        for (;;) {
            const char32_t c = get();
            if (m_eof)
                return text;
            appendCodePoint(text, c);
            if (c == '\\') {
                appendCodePoint(text, get());
            } else if (c == close) {
                return text;
            }
        }
    }

    // The rest of a word-bound blank whose "[[" was just read, up to its "]]" (or the end of the text).
    QString wordBoundBlank()
    {
        QString text = QStringLiteral("[[");
        for (;;) {
            const char32_t c = get();
            if (m_eof)
                return text;
            appendCodePoint(text, c);
            if (c == '\\') {
                appendCodePoint(text, get());
            } else if (c == ']') {
                const char32_t next = get();
                if (m_eof)
                    return text;
                appendCodePoint(text, next);
                if (next == ']')
                    return text;
            }
        }
    }

    // The next symbol of a unit: a code point, a tag's symbol (0 for a tag the transducer does not
    // know, given in `unknownTag`), '$' at the unit's end, or `end`.
    std::int32_t next(const Transducer &transducer, bool &outOfWord, QString &unknownTag)
    {
        unknownTag.clear();
        char32_t c = get();
        if (m_eof)
            return end;
        if (outOfWord) {
            if (c != '^') {
                if (c == '\\') {
                    put(c);
                    c = get();
                    if (m_eof)
                        return end;
                }
                put(c);
                skipToUnit();
            }
            c = get();
            if (m_eof)
                return end;
            outOfWord = false;
        }
        if (c == '\\') {
            c = get();
            return m_eof ? end : std::int32_t(c);
        }
        if (c == '$') {
            outOfWord = true;
            return '$';
        }
        if (c == '<') {
            const QString name = block('<', '>');
            if (failed)
                return end;
            const std::int32_t symbol = transducer.tag(name);
            if (symbol == 0)
                unknownTag = name;
            return symbol;
        }
        if (c == '[') {
            const char32_t second = get();
            if (!m_eof && second == '[') {
                out += wordBoundBlank();
            } else {
                if (!m_eof)
                    unget(second);
                m_eof = false;
                out += block('[', ']');
            }
            if (failed)
                return end;
            return next(transducer, outOfWord, unknownTag);
        }
        return std::int32_t(c);
    }

private:
    QStringView m_text;
    qsizetype m_at = 0;
    bool m_eof = false;
};

std::optional<Transducer> Transducer::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > largestFile) {
        qCWarning(lcApertium) << "cannot read" << path;
        return std::nullopt;
    }
    Reader in(file.readAll());
    const auto refuse = [&](const char *why) -> std::optional<Transducer> {
        qCWarning(lcApertium) << "not a transducer this program reads:" << path << why;
        return std::nullopt;
    };
    std::uint64_t features = 0;
    if (in.skipHeader("LTTB", features) && features != 0)
        return refuse("newer layout");

    Transducer transducer;
    for (const uint c : in.text().toUcs4())
        transducer.m_letters.push_back(char32_t(c));
    std::sort(transducer.m_letters.begin(), transducer.m_letters.end());
    for (std::uint32_t n = in.count(); n > 0 && !in.failed(); --n) {
        const QString name = QLatin1Char('<') + in.text() + QLatin1Char('>');
        transducer.m_tagNames.push_back(name);
        transducer.m_tags.insert(name, -std::int32_t(transducer.m_tagNames.size()));
    }
    // Symbol pairs, stored biased by the number of tags: below the bias a tag, at it nothing, above
    // it a code point.
    const auto bias = std::int64_t(transducer.m_tagNames.size());
    std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
    for (std::uint32_t n = in.count(); n > 0 && !in.failed(); --n) {
        const std::int64_t input = std::int64_t(in.number()) - bias;
        const std::int64_t output = std::int64_t(in.number()) - bias;
        pairs.emplace_back(std::int32_t(input), std::int32_t(output));
    }

    for (std::uint32_t sections = in.count(); sections > 0 && !in.failed(); --sections) {
        const QString name = in.text();
        Final kind = Final::other;
        if (name.endsWith(QLatin1String("@standard")))
            kind = Final::standard;
        else if (name.endsWith(QLatin1String("@inconditional")))
            kind = Final::inconditional;
        else if (name.endsWith(QLatin1String("@postblank")))
            kind = Final::postblank;
        else if (name.endsWith(QLatin1String("@preblank")))
            kind = Final::preblank;
        std::uint64_t sectionFeatures = 0;
        if (in.skipHeader("LTTD", sectionFeatures) && sectionFeatures != 0)
            return refuse("weighted or newer");
        const std::uint32_t initial = in.number();
        const auto offset = std::uint32_t(transducer.m_final.size());
        std::vector<std::uint32_t> finals;
        std::uint32_t node = 0;
        for (std::uint32_t n = in.count(); n > 0 && !in.failed(); --n) {
            node += in.number();
            finals.push_back(node);
        }
        const std::uint32_t nodes = in.count();
        if (in.failed() || initial >= nodes
            || std::any_of(finals.begin(), finals.end(), [&](std::uint32_t f) { return f >= nodes; }))
            return refuse("damaged");
        transducer.m_initial.push_back(offset + initial);
        transducer.m_final.resize(offset + std::size_t(nodes), Final::none);
        for (std::uint32_t f : finals)
            transducer.m_final[offset + f] = kind;
        for (std::uint32_t from = 0; from < nodes && !in.failed(); ++from) {
            transducer.m_firstTransition.push_back(std::uint32_t(transducer.m_transitions.size()));
            const auto first = qsizetype(transducer.m_transitions.size());
            std::uint32_t symbol = 0;
            for (std::uint32_t n = in.count(); n > 0 && !in.failed(); --n) {
                symbol += in.number();
                const auto to = std::uint32_t((std::uint64_t(from) + in.number()) % nodes);
                if (symbol >= pairs.size())
                    return refuse("damaged");
                transducer.m_transitions.push_back({pairs[symbol].first, pairs[symbol].second, offset + to});
            }
            // lt-proc follows a node's transitions for one input in the order the file gives them.
            std::stable_sort(transducer.m_transitions.begin() + first, transducer.m_transitions.end(),
                             [](const Transition &a, const Transition &b) { return a.input < b.input; });
        }
    }
    if (in.failed() || transducer.m_initial.empty())
        return refuse("damaged");
    transducer.m_firstTransition.push_back(std::uint32_t(transducer.m_transitions.size()));
    transducer.m_transitions.shrink_to_fit();
    transducer.m_firstTransition.shrink_to_fit();
    return transducer;
}

std::shared_ptr<const Transducer> Transducer::shared(const QString &path)
{
    // Never destroyed: transducers may still be released by objects that outlive static destruction.
    static auto *mutex = new std::mutex;
    static auto *loaded = new std::map<QString, std::weak_ptr<const Transducer>>;
    std::lock_guard lock(*mutex);
    std::erase_if(*loaded, [](const auto &entry) { return entry.second.expired(); });
    auto &slot = (*loaded)[path];
    if (auto held = slot.lock())
        return held;
    auto transducer = read(path);
    if (!transducer)
        return nullptr;
    auto held = std::make_shared<const Transducer>(std::move(*transducer));
    slot = held;
    return held;
}

std::size_t Transducer::size() const
{
    std::size_t tags = 0;
    for (const QString &name : m_tagNames)
        tags += sizeof(QString) + std::size_t(name.capacity()) * 2;
    return m_transitions.capacity() * sizeof(Transition) + m_firstTransition.capacity() * sizeof(std::uint32_t)
        + m_final.size() + m_initial.size() * sizeof(std::uint32_t) + m_letters.size() * sizeof(char32_t) + 2 * tags;
}

std::int32_t Transducer::tag(const QString &name) const
{
    return m_tags.value(name, 0);
}

void Transducer::appendSymbol(QString &out, std::int32_t symbol, bool uppercase) const
{
    if (symbol < 0) {
        const auto index = std::size_t(-symbol - 1);
        if (index < m_tagNames.size())
            out += m_tagNames[index];
    } else if (symbol > 0) {
        appendCodePoint(out, uppercase ? char32_t(u_toupper(symbol)) : char32_t(symbol));
    }
}

Transducer::State Transducer::initialState(Outputs &outputs) const
{
    State state;
    for (std::uint32_t node : m_initial)
        state.push_back({node, -1, false});
    closure(state, outputs);
    return state;
}

void Transducer::closure(State &state, Outputs &outputs) const
{
    for (std::size_t i = 0; i < state.size() && state.size() < pathLimit; ++i) {
        const Path from = state[i];
        for (std::uint32_t t = m_firstTransition[from.node]; t < m_firstTransition[from.node + 1]; ++t) {
            const Transition &transition = m_transitions[t];
            if (transition.input > 0)
                break;
            if (transition.input < 0)
                continue;
            Path path {transition.target, from.output, from.dirty};
            if (transition.output != 0) {
                outputs.emplace_back(transition.output, from.output);
                path.output = std::int32_t(outputs.size() - 1);
            }
            state.push_back(path);
        }
    }
}

// One input symbol, as lt-proc steps: an upper-case letter also matches its lower case, and what is
// reached that way is marked to take the input's case.
void Transducer::step(State &state, Outputs &outputs, std::int32_t input, bool caseSensitive) const
{
    State next;
    if (input != 0) {
        const std::int32_t lower =
            input > 0 && u_isupper(input) && !caseSensitive ? std::int32_t(u_tolower(input)) : input;
        const auto follow = [&](const Path &path, std::int32_t symbol, bool dirty) {
            const auto begin = m_transitions.begin() + m_firstTransition[path.node];
            const auto finish = m_transitions.begin() + m_firstTransition[path.node + 1];
            const auto [from, to] =
                std::equal_range(begin, finish, Transition {symbol, 0, 0},
                                 [](const Transition &a, const Transition &b) { return a.input < b.input; });
            for (auto t = from; t != to && next.size() < pathLimit; ++t) {
                Path reached {t->target, path.output, path.dirty || dirty};
                if (t->output != 0) {
                    outputs.emplace_back(t->output, path.output);
                    reached.output = std::int32_t(outputs.size() - 1);
                }
                next.push_back(reached);
            }
        };
        for (const Path &path : state) {
            follow(path, input, false);
            if (lower != input && lower != 0)
                follow(path, lower, true);
        }
    }
    state = std::move(next);
    closure(state, outputs);
}

bool Transducer::isFinal(const State &state) const
{
    return std::any_of(state.begin(), state.end(),
                       [this](const Path &path) { return m_final[path.node] != Final::none; });
}

bool Transducer::isFinal(const State &state, Final kind) const
{
    return std::any_of(state.begin(), state.end(), [&](const Path &path) { return m_final[path.node] == kind; });
}

bool Transducer::isAlphabetic(char32_t c) const
{
    return u_isalnum(UChar32(c)) || std::binary_search(m_letters.begin(), m_letters.end(), c);
}

// "/form/form…": the outputs of the paths that end in a final node, each once, escaped, in the
// case of the input for those reached through lower case.
QString Transducer::finals(const State &state, const Outputs &outputs, bool uppercase, bool firstUpper) const
{
    std::vector<std::pair<QString, double>> forms;
    std::vector<std::int32_t> symbols;
    for (const Path &path : state) {
        if (m_final[path.node] == Final::none)
            continue;
        symbols.clear();
        for (std::int32_t at = path.output; at >= 0; at = outputs[std::size_t(at)].second)
            symbols.push_back(outputs[std::size_t(at)].first);
        QString form;
        for (auto symbol = symbols.rbegin(); symbol != symbols.rend(); ++symbol) {
            if (isEscaped(*symbol))
                form.append(QLatin1Char('\\'));
            appendSymbol(form, *symbol, path.dirty && uppercase);
        }
        if (path.dirty && firstUpper) {
            qsizetype at = 0;
            if (at < form.size() && form[at] == u'~')
                ++at; // the post-generator's mark
            if (at < form.size())
                form[at] = QChar(char16_t(u_toupper(form[at].unicode())));
        }
        forms.emplace_back(std::move(form), 0.0);
    }
    // lt-proc orders the forms by weight with std::sort, which leaves equal weights in an order of its
    // own once there are more than 16 forms (a Russian surname has 18); sorting the same way gives
    // the same order.
    std::sort(forms.begin(), forms.end(), [](const auto &a, const auto &b) { return a.second < b.second; });
    QStringList seen;
    QString result;
    for (const auto &[form, weight] : forms) {
        if (seen.contains(form))
            continue;
        seen.append(form);
        result += QLatin1Char('/') + form;
    }
    return result;
}

// The paths of one request: where they stand and what they have written. Each word starts afresh
// from the initial paths, and what the last word wrote is dropped.
struct Transducer::Walk
{
    explicit Walk(const Transducer &transducer)
        : initial(transducer.initialState(outputs))
        , initialOutputs(outputs.size())
        , state(initial)
    { }

    void restart()
    {
        state = initial;
        outputs.resize(initialOutputs);
    }

    Outputs outputs;
    const State initial;
    const std::size_t initialOutputs;
    State state;
};

std::optional<QString> Transducer::analysis(QStringView text, bool dictionaryCase) const
{
    if (std::find(m_final.begin(), m_final.end(), Final::other) != m_final.end())
        return std::nullopt; // lt-proc refuses a section it cannot classify
    Stream in(text);
    // What has been read, as symbols (a blank is ' ', its text kept in `blanks`): the analyser reads
    // ahead for a longer word and goes back to where the longest one it found ended.
    std::vector<std::int32_t> buffer;
    std::size_t position = 0;
    std::deque<QString> blanks;
    QString unknownTag;

    const auto read = [&]() -> std::int32_t {
        if (position < buffer.size())
            return buffer[position++];
        char32_t c = in.get();
        if (!in.eof()) {
            // Ignored inside words: the soft hyphen.
            while (c == 0xad && !in.eof())
                c = in.get();
        }
        if (in.eof()) {
            buffer.push_back(0);
            position = buffer.size();
            return 0;
        }
        std::int32_t symbol = std::int32_t(c);
        if (isEscaped(symbol)) {
            if (c == '<') {
                symbol = tag(in.block('<', '>'));
            } else if (c == '[') {
                const char32_t second = in.get();
                if (!in.eof() && second == '[') {
                    blanks.push_back(in.wordBoundBlank());
                } else {
                    if (!in.eof())
                        in.unget(second);
                    blanks.push_back(in.block('[', ']'));
                }
                symbol = ' ';
            } else if (c == '\\') {
                symbol = std::int32_t(in.get());
            } else {
                in.failed = true; // an unescaped stream character
            }
        } else if (c == ' ') {
            blanks.push_back(QStringLiteral(" "));
        }
        buffer.push_back(symbol);
        position = buffer.size();
        return symbol;
    };
    Walk walk(*this);
    State &state = walk.state;
    Outputs &outputs = walk.outputs;
    const auto finalsOf = [&](const State &paths, QStringView form) {
        bool firstUpper = false;
        bool uppercase = false;
        if (!dictionaryCase) {
            firstUpper = isUpper(form, 0);
            uppercase = form.size() > 1 && firstUpper && isUpper(form, form.size() - 1);
        }
        return finals(paths, outputs, uppercase, firstUpper);
    };
    const auto write = [&](QStringView escapedForm, QStringView readings) {
        // A blank inside a word ("at least") takes its place in the queue of blanks.
        in.out += QLatin1Char('^');
        std::size_t later = 0;
        for (QChar c : escapedForm) {
            if (isEscaped(c.unicode()))
                in.out += QLatin1Char('\\');
            in.out += c;
            if (c == u' ') {
                if (!blanks.empty() && blanks.front() == QLatin1String(" "))
                    blanks.pop_front();
                else
                    ++later;
            }
        }
        in.out += readings;
        in.out += QLatin1Char('$');
        for (; later > 0 && !blanks.empty(); --later) {
            in.out += blanks.front();
            blanks.pop_front();
        }
    };
    const auto writeUnknown = [&](QStringView form) {
        in.out += QLatin1Char('^');
        writeEscaped(in.out, form);
        in.out += QStringLiteral("/*");
        writeEscaped(in.out, form);
        in.out += QLatin1Char('$');
    };
    // The last character of the form that is no letter of the language, or 0.
    const auto lastBlank = [&](QStringView form) -> qsizetype {
        for (qsizetype i = form.size() - 1; i >= 0; --i) {
            if (!std::binary_search(m_letters.begin(), m_letters.end(), char32_t(form[i].unicode())))
                return i;
        }
        return 0;
    };
    // Where the form stops being a word, in code points and in UTF-16 units.
    const auto firstNotAlphabetic = [&](QStringView form) {
        std::pair<std::size_t, qsizetype> at {0, 0};
        for (qsizetype i = 0; i < form.size();) {
            char32_t c = form[i].unicode();
            qsizetype width = 1;
            if (form[i].isHighSurrogate() && i + 1 < form.size() && form[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(form[i], form[i + 1]);
                width = 2;
            }
            if (!isAlphabetic(c))
                return at;
            ++at.first;
            at.second += width;
            i += width;
        }
        return at;
    };
    const auto writeUnknownPrefix = [&](QStringView form, std::size_t start) {
        const auto [points, units] = firstNotAlphabetic(form);
        if (points == 0) {
            position = start + 1;
            writeEscaped(in.out, form.left(1));
        } else {
            position = start + points;
            writeUnknown(form.left(units));
        }
    };

    bool lastInconditional = false;
    bool lastPostblank = false;
    bool lastPreblank = false;
    QString readings; // of the longest word found so far
    QString form;
    std::size_t start = position; // where the form began
    std::size_t last = 0; // where the longest word found so far ended
    qsizetype lastSize = 0;
    std::int32_t symbol = 0;
    do {
        symbol = read();
        if (in.failed)
            return std::nullopt;
        if (isFinal(state)) {
            const auto found = [&] {
                readings = finalsOf(state, form);
                last = position;
                lastSize = form.size();
            };
            if (isFinal(state, Final::inconditional)) {
                found();
                lastInconditional = true;
            } else if (isFinal(state, Final::postblank)) {
                found();
                lastPostblank = true;
            } else if (isFinal(state, Final::preblank)) {
                found();
                lastPreblank = true;
            } else if (!isAlphabetic(char32_t(symbol))) {
                found();
                lastPostblank = lastPreblank = lastInconditional = false;
            }
        } else if (form.isEmpty() && symbol > 0 && u_isspace(symbol)) {
            readings = QStringLiteral("/*");
            lastPostblank = lastPreblank = lastInconditional = false;
            last = position;
            lastSize = 0;
        }

        // Case-insensitive until the paths grow past lt-proc's limit.
        step(state, outputs, symbol, state.size() >= 65536);

        if (!state.empty()) {
            if (symbol != 0)
                appendSymbol(form, symbol);
            continue;
        }
        if (symbol <= 0 ? form.isEmpty() : (!isAlphabetic(char32_t(symbol)) && form.isEmpty())) {
            // A character outside any word.
            if (symbol > 0 && u_isspace(symbol)) {
                if (!blanks.empty()) {
                    in.out += blanks.front();
                    blanks.pop_front();
                } else {
                    in.put(char32_t(symbol));
                }
            } else if (symbol > 0) {
                if (isEscaped(symbol))
                    in.out += QLatin1Char('\\');
                in.put(char32_t(symbol));
            }
        } else if (lastPostblank) {
            write(QStringView(form).left(lastSize), readings);
            in.out += QLatin1Char(' ');
            position = last - 1;
        } else if (lastPreblank) {
            in.out += QLatin1Char(' ');
            write(QStringView(form).left(lastSize), readings);
            position = last - 1;
        } else if (lastInconditional) {
            write(QStringView(form).left(lastSize), readings);
            position = last - 1;
        } else if (symbol > 0 && isAlphabetic(char32_t(symbol)) && (lastSize > lastBlank(form) || readings.isEmpty())) {
            // An unknown word: read to its end.
            do {
                appendSymbol(form, symbol);
                symbol = read();
                if (in.failed)
                    return std::nullopt;
            } while (symbol > 0 && isAlphabetic(char32_t(symbol)));
            writeUnknownPrefix(form, start);
        } else if (readings.isEmpty()) {
            writeUnknownPrefix(form, start);
        } else {
            write(QStringView(form).left(lastSize), readings);
            position = last - 1;
        }
        if (symbol == 0 && position < buffer.size())
            position = last + 1;

        walk.restart();
        readings.clear();
        form.clear();
        start = position;
        lastInconditional = lastPostblank = lastPreblank = false;
    } while (symbol != 0);

    for (const QString &blank : blanks)
        in.out += blank;
    return in.out;
}

std::optional<QString> Transducer::bilingual(QStringView text) const
{
    Stream in(text);
    Walk walk(*this);
    State &state = walk.state;
    Outputs &outputs = walk.outputs;
    QString form; // the unit as read, escapes kept
    QString queue; // tags after the longest entry, carried over to each translation
    QString result;
    bool outOfWord = false;
    bool seenTags = false;
    QString unknownTag;

    // "/a/b" with the queue after each translation.
    const auto compose = [](QStringView translations, QStringView carried) {
        QString out = QStringLiteral("/");
        for (qsizetype i = 1; i < translations.size(); ++i) {
            if (translations[i] == u'\\') {
                out.append(QLatin1Char('\\'));
                if (++i >= translations.size())
                    break;
            } else if (translations[i] == u'/') {
                out += carried;
            }
            out.append(translations[i]);
        }
        out += carried;
        return out;
    };

    in.skipToUnit();
    for (;;) {
        const std::int32_t symbol = in.next(*this, outOfWord, unknownTag);
        if (in.failed)
            return std::nullopt;
        if (symbol == end)
            break;
        if (symbol == '$' && outOfWord) {
            if (!seenTags)
                result = finals(state, outputs, isUpper(form, 1), isUpper(form, 0));
            const QString unit = QLatin1Char('^') + form;
            if (form.startsWith(QLatin1Char('*')))
                in.out += unit + QLatin1Char('/') + form + QLatin1Char('$');
            else if (!result.isEmpty())
                in.out += unit + compose(result, queue) + QLatin1Char('$');
            else
                in.out += unit + QStringLiteral("/@") + form + QLatin1Char('$');
            queue.clear();
            result.clear();
            walk.restart();
            form.clear();
            seenTags = false;
            continue;
        }
        if (symbol > 0 && form.isEmpty() && u_isspace(symbol))
            continue;
        // A word the analyser did not know ("*zorblax") is only copied.
        const bool unknownWord = form.startsWith(QLatin1Char('*'));
        if (isEscaped(symbol))
            form.append(QLatin1Char('\\'));
        appendSymbol(form, symbol);
        if (symbol == 0)
            form += unknownTag;
        if (unknownWord)
            continue;
        if (symbol <= 0)
            seenTags = true;
        if (!state.empty())
            step(state, outputs, symbol);
        if (isFinal(state)) {
            queue.clear(); // the tags read so far belong to the entry
            result = finals(state, outputs, isUpper(form, 1), isUpper(form, 0));
        } else if (!result.isEmpty()) {
            if (symbol < 0)
                appendSymbol(queue, symbol);
            else if (symbol == 0)
                queue += unknownTag;
            else if (state.empty())
                result.clear(); // a letter after the entry ended: another word
        }
    }
    return in.out;
}

std::optional<QString> Transducer::generation(QStringView text) const
{
    Stream in(text);
    Walk walk(*this);
    State &state = walk.state;
    Outputs &outputs = walk.outputs;
    QString form;
    bool outOfWord = false;
    QString unknownTag;

    in.skipToUnit();
    for (;;) {
        std::int32_t symbol = in.next(*this, outOfWord, unknownTag);
        if (in.failed)
            return std::nullopt;
        if (symbol == end)
            break;
        if (form.isEmpty() && symbol == '=') {
            in.put('=');
            symbol = in.next(*this, outOfWord, unknownTag);
            if (in.failed)
                return std::nullopt;
            if (symbol == end)
                break;
        }
        if (symbol == '$' && outOfWord) {
            const QChar first = form.isEmpty() ? QChar() : form.front();
            if (first == u'*' || first == u'%') {
                writeEscaped(in.out, form);
            } else if (first == u'@') {
                writeEscaped(in.out, withoutTags(form));
            } else if (isFinal(state)) {
                in.out += finals(state, outputs, isUpper(form, 1), isUpper(form, 0)).mid(1);
            } else if (!form.isEmpty()) {
                in.out += QLatin1Char('#');
                writeEscaped(in.out, withoutTags(form));
            }
            walk.restart();
            form.clear();
            continue;
        }
        if (symbol > 0 && form.isEmpty() && u_isspace(symbol))
            continue;
        const bool unknown = !form.isEmpty() && (form.front() == u'*' || form.front() == u'%');
        appendSymbol(form, symbol);
        if (!unknown && !state.empty())
            step(state, outputs, symbol);
    }
    return in.out;
}

} // namespace Lumivox::Native::Apertium
