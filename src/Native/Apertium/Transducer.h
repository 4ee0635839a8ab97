#pragma once

// A compiled Apertium transducer (lttoolbox's .bin format) read into this process in a compact form,
// with the three stages that are look-ups over one: the analyser (lt-proc), the bilingual dictionary
// (lt-proc -b) and the generator (lt-proc -g). lt-proc holds English→Spanish's analyser in 18 MB,
// its dictionary in 27 MB and its generator in 30 MB, as trees of small allocations; the same data
// here takes 1 to 3 MB each, which is why these stages run in the program rather than as processes
// of their own. Their output is lt-proc's, character for character (the tests hold them to it over
// whole texts).
//
// Immutable once read: safe to use from any thread. Reading takes tens of milliseconds, so never on
// the UI thread.

#include <QHash>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace Lumivox::Native::Apertium {

class Transducer
{
public:
    /// Reads a compiled transducer; none when the file cannot be read, is not one, or is weighted (a
    /// weighted one orders its answers by weight, which these stages do not follow).
    static std::optional<Transducer> read(const QString &path);

    /// The transducer of a file, read once for the whole program and kept while anything holds it;
    /// null when it cannot be read.
    static std::shared_ptr<const Transducer> shared(const QString &path);

    /// What lt-proc writes for one null-flushed request (escaped text): each word with its readings,
    /// or `dictionaryCase` (-w) with the readings in the dictionary's letter case. Absent for a text
    /// lt-proc would refuse as malformed, or when the transducer is not an analyser.
    std::optional<QString> analysis(QStringView text, bool dictionaryCase = false) const;

    /// What lt-proc -b writes for one request (a stream of the tagger's units). Absent for a stream
    /// lt-proc would refuse as malformed.
    std::optional<QString> bilingual(QStringView stream) const;

    /// What lt-proc -g writes for one request (a stream of target units): the generated forms,
    /// '#' before a unit it cannot generate.
    std::optional<QString> generation(QStringView stream) const;

    /// Bytes held, for the benchmarks and tests.
    std::size_t size() const;

private:
    struct Transition
    {
        /// A code point, a tag (negative) or nothing (0).
        std::int32_t input;
        std::int32_t output;
        std::uint32_t target;
    };
    /// The outputs of the paths being followed, as a tree: each entry is a symbol and the entry
    /// before it (-1 for none), so that a path that branches shares what came before.
    using Outputs = std::vector<std::pair<std::int32_t, std::int32_t>>;
    struct Path
    {
        std::uint32_t node;
        /// The path's last output in Outputs, or -1.
        std::int32_t output;
        /// Reached through a lower-cased input: the output follows the input's case.
        bool dirty = false;
    };
    using State = std::vector<Path>;
    class Stream;
    struct Walk;

    Transducer() = default;

    /// Which sections a final node belongs to, by the suffix of the section's name; an analyser
    /// treats them differently at the end of a word.
    enum class Final : std::uint8_t { none, standard, inconditional, postblank, preblank, other };

    State initialState(Outputs &outputs) const;
    void step(State &state, Outputs &outputs, std::int32_t input, bool caseSensitive = false) const;
    void closure(State &state, Outputs &outputs) const;
    bool isFinal(const State &state) const;
    bool isFinal(const State &state, Final kind) const;
    bool isAlphabetic(char32_t c) const;
    QString finals(const State &state, const Outputs &outputs, bool uppercase, bool firstUpper) const;
    std::int32_t tag(const QString &name) const;
    void appendSymbol(QString &out, std::int32_t symbol, bool uppercase = false) const;

    std::vector<std::uint32_t> m_firstTransition; // per node, and one past the last
    std::vector<Transition> m_transitions; // a node's ordered by input, in file order among equals
    std::vector<Final> m_final;
    std::vector<char32_t> m_letters; // sorted: the characters words are made of, besides letters and digits
    std::vector<std::uint32_t> m_initial; // one per section of the file
    std::vector<QString> m_tagNames; // "<n>" for the symbol -1, and so on
    QHash<QString, std::int32_t> m_tags;
};

} // namespace Lumivox::Native::Apertium
