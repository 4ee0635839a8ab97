#pragma once

// Where the hovered word stands in the word book, and the one line of the tooltip that says so: a
// "saved" header above the meaning, or a footer with a suggestion to save it, the key hints, or the
// confirmation of the key just pressed. Plain values, filled by the coordinator on each look-up.

#include "Models/TooltipKeyLabels.h"

#include <QHashFunctions>

#include <optional>

namespace Lumivox {

struct WordStatus
{
    /// The confirmation of the last key press on this tooltip.
    struct Flash
    {
        enum class Kind { saved, removed, copied };

        Kind kind = Kind::copied;
        /// The number of saved words after a save; 0 for the other kinds, so that equality never
        /// looks at a payload the kind does not have.
        int total = 0;

        static Flash saved(int total) { return {Kind::saved, total}; }
        static Flash removed() { return {Kind::removed, 0}; }
        static Flash copied() { return {Kind::copied, 0}; }

        bool operator==(const Flash &) const = default;
    };

    /// The single line the tooltip shows for the word.
    struct Row
    {
        enum class Kind { suggest, saved, flash, none, keys };

        Kind kind = Kind::none;
        /// Look-ups for `suggest`, times met for `saved`, 0 otherwise.
        int count = 0;
        /// Set for `flash` only.
        std::optional<Flash> flash;

        static Row suggest(int lookups) { return {Kind::suggest, lookups, std::nullopt}; }
        static Row saved(int met) { return {Kind::saved, met, std::nullopt}; }
        static Row flashing(Flash flash) { return {Kind::flash, 0, flash}; }
        static Row none() { return {}; }
        static Row keys() { return {Kind::keys, 0, std::nullopt}; }

        bool operator==(const Row &) const = default;
    };

    bool isSaved = false;
    /// The saved word's times met; 0 when not saved.
    int met = 0;
    /// History entries with the word's key, the current look-up included once recorded.
    int lookups = 0;
    /// The key-hint period (the word book's first 14 days) is running.
    bool showsKeyHints = false;
    /// Look-ups after which saving is suggested; 0 or less never suggests.
    int suggestAfter = 0;
    TooltipKeyLabels keys;
    /// The save and copy keys may be used over the look-up's application.
    bool hasKeys = false;
    std::optional<Flash> flash;

    /// The first rule that applies wins: a confirmation; a saved word's met count (even where the
    /// keys may not be used); nothing where the keys may not be used; the suggestion; nothing for a
    /// word met for the first time once the key-hint period is over; otherwise the key hints.
    Row row() const;

    bool operator==(const WordStatus &) const = default;
};

inline size_t qHash(const WordStatus::Flash &flash, size_t seed = 0)
{
    return qHashMulti(seed, static_cast<int>(flash.kind), flash.total);
}

inline size_t qHash(const WordStatus &status, size_t seed = 0)
{
    return qHashMulti(seed, status.isSaved, status.met, status.lookups, status.showsKeyHints, status.suggestAfter,
                      status.keys, status.hasKeys, status.flash.has_value(),
                      status.flash ? qHash(*status.flash) : size_t(0));
}

} // namespace Lumivox
