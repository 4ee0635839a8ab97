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
struct LookupFields
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

inline WordLookup makeLookup(const LookupFields &fields)
{
    WordLookup l;
    l.id = QUuid::createUuid();
    l.word = fields.word;
    l.source = fields.source;
    l.target = fields.target;
    l.meaning = fields.meaning;
    l.grammarTag = fields.grammarTag;
    l.grammarText = fields.grammarText;
    l.sentence = fields.sentence;
    if (fields.sentence && fields.sentence->contains(fields.word))
        l.wordOffset = fields.sentence->indexOf(fields.word);
    l.translation = fields.translation;
    l.appID = fields.appID;
    l.appName = fields.appName;
    l.title = fields.title;
    l.date = fields.date;
    return l;
}

/// A saved word as a file would hold it (the book's own save adds the review schedule).
inline SavedWord makeSaved(const LookupFields &fields, std::vector<WordLookup> encounters = {}, qint64 met = 1)
{
    SavedWord w;
    w.id = QUuid::createUuid();
    w.word = fields.word;
    w.source = fields.source;
    w.target = fields.target;
    w.senses = {WordSense {fields.meaning, fields.grammarTag, fields.grammarText}};
    w.encounters = encounters.empty() ? std::vector<WordLookup> {makeLookup(fields)} : std::move(encounters);
    w.metCount = met;
    w.savedAt = fields.date;
    w.review.due = fields.date;
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
