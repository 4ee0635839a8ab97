#pragma once

// The English word tables of the grammar note and the idiom matcher. Each is a constant built once,
// on first use, thread-safely. Sets are matched against lower-cased words, exactly (no stemming);
// dictionaries map lower-case words to lower-case words.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace Lumivox::EnglishGrammar {

/// A set of words that remembers the order it was written in.
class WordSet
{
public:
    /// `entries` separated by ", " (an entry may hold a single space, as "give up" does).
    explicit WordSet(const QString &entries);
    explicit WordSet(QStringList entries);

    bool contains(const QString &word) const { return m_lookup.contains(word); }
    bool contains(QStringView word) const { return m_lookup.contains(word.toString()); }
    qsizetype size() const { return m_lookup.size(); }
    /// In table order.
    const QStringList &entries() const { return m_entries; }

private:
    QStringList m_entries;
    QSet<QString> m_lookup;
};

/// A dictionary of words that remembers the order its keys were added in.
class WordMap
{
public:
    WordMap() = default;
    WordMap(std::initializer_list<std::pair<QString, QString>> entries);

    /// Keeps the first value given for a key.
    void insertIfAbsent(const QString &key, const QString &value);

    std::optional<QString> value(const QString &key) const;
    bool contains(const QString &key) const { return m_lookup.contains(key); }
    qsizetype size() const { return m_keys.size(); }
    /// In the order they were added.
    const QStringList &keys() const { return m_keys; }

private:
    QStringList m_keys;
    QHash<QString, QString> m_lookup;
};

const WordSet &modals();
const WordSet &subjects();
const WordSet &objectPronouns();
const WordSet &possessives();
const WordSet &determiners();
const WordSet &intensifiers();
const WordSet &beForms();
const WordSet &auxiliaries();
const WordSet &particles();
const WordSet &irregularPlurals();
const WordSet &edAdjectives();
const WordSet &ingAdjectives();
const WordSet &afterRemaining();
const WordSet &quantityWords();
const WordSet &quantifiers();
const WordSet &directionVerbs();
const WordSet &ambiguousPast();
const WordMap &presentForms();
const WordMap &comparatives();

const WordSet &placeAndTimeNouns();
const WordSet &gradableAdjectives();
/// Each entry is a verb's dictionary form, one space, one particle.
const WordSet &phrasalVerbs();

/// Rows separated by "|"; each row is dictionary form, past and past participle, separated by single
/// spaces.
const QString &irregularVerbs();

/// Built from irregularVerbs().
const WordMap &irregularBase(); // past or participle -> dictionary form; the first row wins
const WordMap &irregularPast(); // dictionary form -> past; the first row wins
const WordSet &pastOnly(); // pasts that differ from their participle, except "got"
const WordSet &participleOnly(); // participles that differ from their past

} // namespace Lumivox::EnglishGrammar
