#pragma once

// The in-context result of a hovered word: what it means in this sentence, its grammar note, the
// translated sentence with the word's rendering marked, and its dictionary form.

#include "Models/StyledText.h"
#include "Services/Learn/EnglishGrammarNote.h"

#include <QHashFunctions>
#include <QString>

#include <functional>
#include <optional>

namespace Lumivox {

struct Glance
{
    /// The chosen translation of the word in this sentence.
    QString meaning;
    /// For an idiom, the line tagged "idiom" with the idiom and its plain meaning.
    std::optional<EnglishGrammar::Line> grammar;
    /// The translated sentence with the word's rendering strongly emphasised; for an idiom the
    /// translated rewritten sentence, unmarked.
    std::optional<StyledText> sentence;
    /// The dictionary form, only when it differs from the word other than in letter case.
    std::optional<QString> base;

    bool operator==(const Glance &) const = default;
};

inline size_t qHash(const StyledText &text, size_t seed = 0)
{
    size_t hash = qHash(text.text(), seed);
    for (const StyledText::Run &run : text.runs()) {
        const auto intent = run.attributes.inlinePresentationIntent;
        hash = qHashMulti(hash, run.location, run.length, intent.has_value(), intent ? intent->rawValue() : 0u);
    }
    return hash;
}

inline size_t qHash(const Glance &glance, size_t seed = 0)
{
    size_t hash = qHash(glance.meaning, seed);
    hash = glance.grammar ? EnglishGrammar::qHash(*glance.grammar, hash) : ::qHash(0, hash);
    hash = glance.sentence ? qHash(*glance.sentence, hash) : ::qHash(0, hash);
    return glance.base ? qHash(*glance.base, hash) : ::qHash(0, hash);
}

} // namespace Lumivox

template<>
struct std::hash<Lumivox::Glance>
{
    size_t operator()(const Lumivox::Glance &glance) const noexcept { return Lumivox::qHash(glance); }
};
