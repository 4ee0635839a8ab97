#pragma once

// One word as the Words window lists and details it: a saved word, or the look-ups of one word in
// the history (with its saved word attached when there is one). Items are copies, rebuilt whenever
// the book changes, never references into it.

#include "Models/WordRecords.h"

#include <QString>
#include <QUuid>

#include <array>
#include <optional>
#include <vector>

namespace Lumivox {

class WordBook;

struct WordItem
{
    WordKey key;
    QString word;
    std::optional<QString> base;
    std::optional<QString> source;
    QString target;
    std::vector<WordSense> senses;
    /// A saved word's save date; a history item's newest look-up.
    Date date;
    /// Newest first.
    std::vector<WordLookup> encounters;
    /// A saved word's met count; a history item's number of look-ups.
    qint64 met = 0;
    std::optional<QUuid> savedID;
    std::optional<ReviewState> review;

    /// A history item keeps no more meanings than this.
    static constexpr std::size_t maxHistorySenses = 3;

    explicit WordItem(const SavedWord &saved);
    /// The item of one word's look-ups (newest first); none for an empty list.
    static std::optional<WordItem> fromHistory(const std::vector<WordLookup> &lookups,
                                               const std::optional<SavedWord> &saved);
    /// One item per word of the book's history, the most recently looked-up word first.
    static std::vector<WordItem> history(const WordBook &book);

    const WordKey &id() const { return key; }
    QString meaning() const { return senses.empty() ? QString() : senses.front().meaning; }
    std::optional<QString> tag() const { return senses.empty() ? std::nullopt : senses.front().grammarTag; }
    bool isSaved() const { return savedID.has_value(); }

    /// Case-insensitive containment of the query (trimmed) in the word, a meaning, or an encounter's
    /// sentence or translation. A blank query matches everything.
    bool matches(const QString &query) const;

    bool operator==(const WordItem &) const = default;

private:
    WordItem(WordKey key)
        : key(std::move(key))
    { }
};

/// The orders of the Words list.
enum class WordSort { newest, alphabetical, mostMet };

namespace WordSorts {

inline constexpr std::array<WordSort, 3> allCases {WordSort::newest, WordSort::alphabetical, WordSort::mostMet};

QString rawValue(WordSort sort);
QString title(WordSort sort);

/// Stable: items that compare equal keep the order they came in.
void sort(std::vector<WordItem> &items, WordSort sort);

} // namespace WordSorts

} // namespace Lumivox
