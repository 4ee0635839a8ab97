#include "Features/Words/WordItem.h"

#include "Services/Words/WordBook.h"
#include "Shared/Text/TextUtils.h"

#include <QCollator>
#include <QCollatorSortKey>

#include <algorithm>
#include <unordered_map>

namespace Lumivox {

WordItem::WordItem(const SavedWord &saved)
    : key(saved.key())
    , word(saved.word)
    , base(saved.base)
    , source(saved.source)
    , target(saved.target)
    , senses(saved.senses)
    , date(saved.savedAt)
    , encounters(saved.encounters)
    , met(saved.metCount)
    , savedID(saved.id)
    , review(saved.review)
{ }

std::optional<WordItem> WordItem::fromHistory(const std::vector<WordLookup> &lookups,
                                              const std::optional<SavedWord> &saved)
{
    if (lookups.empty())
        return std::nullopt;
    const WordLookup &newest = lookups.front();
    WordItem item(newest.key());
    item.word = newest.word;
    item.base = newest.base;
    item.source = newest.source;
    item.target = newest.target;
    item.date = newest.date;
    item.encounters = lookups;
    item.met = qint64(lookups.size());
    for (const WordLookup &lookup : lookups) {
        const bool known = std::any_of(item.senses.begin(), item.senses.end(), [&](const WordSense &sense) {
            return WordBook::sameMeaning(sense.meaning, lookup.meaning);
        });
        if (!known)
            item.senses.push_back(WordSense {lookup.meaning, lookup.grammarTag, lookup.grammarText});
    }
    // Gathered first and cut after, so a meaning already represented never takes a later one's place.
    if (item.senses.size() > maxHistorySenses)
        item.senses.resize(maxHistorySenses);
    if (saved) {
        item.savedID = saved->id;
        item.review = saved->review;
    }
    return item;
}

std::vector<WordItem> WordItem::history(const WordBook &book)
{
    const auto &history = book.history();
    std::vector<WordKey> keys;
    std::vector<std::vector<WordLookup>> groups;
    std::unordered_map<WordKey, std::size_t> groupOf;
    for (auto it = history.crbegin(); it != history.crend(); ++it) {
        WordKey key = it->key();
        auto [slot, inserted] = groupOf.try_emplace(key, groups.size());
        if (inserted) {
            keys.push_back(std::move(key));
            groups.emplace_back();
        }
        groups[slot->second].push_back(*it);
    }
    std::vector<WordItem> items;
    items.reserve(groups.size());
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (auto item = fromHistory(groups[i], book.savedWord(keys[i])))
            items.push_back(std::move(*item));
    }
    return items;
}

bool WordItem::matches(const QString &query) const
{
    const QString needle = Text::trimmed(query);
    if (needle.isEmpty())
        return true;
    const auto found = [&](const QString &text) { return text.contains(needle, Qt::CaseInsensitive); };
    if (found(word))
        return true;
    for (const WordSense &sense : senses) {
        if (found(sense.meaning))
            return true;
    }
    for (const WordLookup &encounter : encounters) {
        if ((encounter.sentence && found(*encounter.sentence))
            || (encounter.translation && found(*encounter.translation))) {
            return true;
        }
    }
    return false;
}

namespace WordSorts {

QString rawValue(WordSort sort)
{
    switch (sort) {
    case WordSort::newest:
        return QStringLiteral("newest");
    case WordSort::alphabetical:
        return QStringLiteral("alphabetical");
    case WordSort::mostMet:
        return QStringLiteral("mostMet");
    }
    return {};
}

QString title(WordSort sort)
{
    switch (sort) {
    case WordSort::newest:
        return QStringLiteral("Newest First");
    case WordSort::alphabetical:
        return QStringLiteral("A to Z");
    case WordSort::mostMet:
        return QStringLiteral("Most Met");
    }
    return {};
}

void sort(std::vector<WordItem> &items, WordSort sort)
{
    switch (sort) {
    case WordSort::newest:
        std::stable_sort(items.begin(), items.end(),
                         [](const WordItem &a, const WordItem &b) { return a.date > b.date; });
        return;
    case WordSort::mostMet:
        std::stable_sort(items.begin(), items.end(),
                         [](const WordItem &a, const WordItem &b) { return a.met > b.met; });
        return;
    case WordSort::alphabetical: {
        // Sort keys once per item: comparing through the collator each time costs a frame over
        // a few thousand words.
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<std::pair<QCollatorSortKey, std::size_t>> keyed;
        keyed.reserve(items.size());
        for (std::size_t i = 0; i < items.size(); ++i)
            keyed.emplace_back(collator.sortKey(items[i].word), i);
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto &a, const auto &b) { return a.first.compare(b.first) < 0; });
        std::vector<WordItem> ordered;
        ordered.reserve(items.size());
        for (const auto &entry : keyed)
            ordered.push_back(std::move(items[entry.second]));
        items = std::move(ordered);
        return;
    }
    }
}

} // namespace WordSorts

} // namespace Lumivox
