#pragma once

// A word book for the Words window's tests, screenshots and benchmarks: memory only, over a fake
// clock, filled with saved words and look-ups made to order.

#include "Fakes/FakeWordBookEnvironment.h"

#include <ostream>

/// Failures print texts readably (found by argument-dependent lookup, so in QString's namespace).
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace Lumivox::Testing {

/// A look-up with every field a test may want to set.
struct LookupSpec
{
    QString word;
    QString meaning;
    Date date;
    std::optional<QString> source = QStringLiteral("en");
    QString target = QStringLiteral("fr");
    std::optional<QString> sentence = std::nullopt;
    std::optional<QString> translation = std::nullopt;
    std::optional<QString> appID = QStringLiteral("org.example.Reader");
    std::optional<QString> appName = QStringLiteral("Reader");
    std::optional<QString> grammarTag = std::nullopt;
    std::optional<QString> grammarText = std::nullopt;
    std::optional<QString> title = std::nullopt;
};

inline WordLookup makeLookup(const LookupSpec &spec)
{
    WordLookup l;
    l.id = QUuid::createUuid();
    l.word = spec.word;
    l.source = spec.source;
    l.target = spec.target;
    l.meaning = spec.meaning;
    l.grammarTag = spec.grammarTag;
    l.grammarText = spec.grammarText;
    l.sentence = spec.sentence;
    if (spec.sentence && spec.sentence->contains(spec.word))
        l.wordOffset = spec.sentence->indexOf(spec.word);
    l.translation = spec.translation;
    l.appID = spec.appID;
    l.appName = spec.appName;
    l.title = spec.title;
    l.date = spec.date;
    return l;
}

/// A saved word as a file would hold it (the book's own save adds the review schedule).
inline SavedWord makeSaved(const LookupSpec &spec, std::vector<WordLookup> encounters = {}, qint64 met = 1)
{
    SavedWord w;
    w.id = QUuid::createUuid();
    w.word = spec.word;
    w.source = spec.source;
    w.target = spec.target;
    w.senses = {WordSense {spec.meaning, spec.grammarTag, spec.grammarText}};
    w.encounters = encounters.empty() ? std::vector<WordLookup> {makeLookup(spec)} : std::move(encounters);
    w.metCount = met;
    w.savedAt = spec.date;
    w.review.due = spec.date;
    return w;
}

/// A folder-backed book environment whose saved words and history are written before the book is
/// made, so tests start from a known book without going through the tooltip's path.
class WordsFixture : public WordBookEnvironment
{
public:
    std::vector<SavedWord> saved;
    std::deque<WordLookup> history;
    bool keepsHistory = true;

    /// `minutes` before the clock's now.
    Date ago(double minutes) const { return plusSeconds(now(), -minutes * 60); }

    std::unique_ptr<WordBook> book()
    {
        defaults->set(WordBook::keepsHistoryKey, keepsHistory);
        WordBookStorage::write(saved, savedPath());
        putHistory(history);
        return makeBook();
    }
};

} // namespace Lumivox::Testing
