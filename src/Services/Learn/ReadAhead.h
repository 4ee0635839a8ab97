#pragma once

// Read-ahead: while the user reads along a sentence with the pointer, the next few words are
// translated in advance so that their tooltips appear at once. These are the feature's three
// decisions; the hover coordinator owns the feature and hands the words to the glance translator.
//
// Offsets are UTF-16 code-unit offsets into the sentence, as the accessibility look-up reports them.
// Everything here is pure apart from the shared taggers and the translator's installed-pair test,
// which guard themselves, so it may run on any thread (the coordinator runs it off the UI thread:
// the word filter may run the name tagger).

#include <QString>

#include <optional>
#include <vector>

namespace Lumivox::ReadAhead {

/// Where a glance was taken.
struct Spot
{
    QString sentence;
    qsizetype offset = 0;
    bool operator==(const Spot &) const = default;
};

/// A following word worth translating ahead.
struct Word
{
    QString text;
    qsizetype offset = 0;
    bool operator==(const Word &) const = default;
};

/// Whether a glance should start read-ahead. Text recognised on screen never does. In the `always`
/// hold-key mode every pointer rest is a look-up, so only a move to another word of the same
/// sentence counts as reading along.
bool shouldStart(bool fromAccessibility, bool alwaysMode, const Spot &at, const std::optional<Spot> &previous);

/// Whether the pair qualifies: read-ahead only ever uses the on-device translator, so the detected
/// source must be known and the pair both on-device and installed.
bool isOnDevice(const std::optional<QString> &source, const QString &target);

/// Up to `limit` clean single words after the one at `offset`, in sentence order. With
/// `skipNonWords`, words the word filter would not translate (numbers, links, code, names) are
/// passed over.
std::vector<Word> words(qsizetype offset, const QString &sentence, int limit, bool skipNonWords);

} // namespace Lumivox::ReadAhead
