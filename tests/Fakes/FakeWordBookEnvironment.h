#pragma once

// What the word-book tests share: look-ups made to order, dates on a given wall clock, and a book in
// a temporary folder over a fake clock and a memory-only preference store.

#include "Fakes/FakeClock.h"
#include "Services/Words/WordBook.h"
#include "Services/Words/WordBookStorage.h"
#include "Shared/Async/SerialExecutor.h"
#include "Shared/Storage/FolderLock.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <memory>

namespace Lumivox::Testing {

/// The wall-clock time in a zone as a stored date.
inline Date localDate(const QTimeZone &zone, int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return Date::fromDateTime(QDateTime(QDate(year, month, day), QTime(hour, minute, second), zone));
}

inline Date utcDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return localDate(QTimeZone::utc(), year, month, day, hour, minute, second);
}

inline Date plusSeconds(Date date, double seconds)
{
    return Date {date.secondsSinceReferenceDate + seconds};
}

/// A look-up of `word` in English translated to Spanish, met in an editor.
inline WordLookup lookup(const QString &word, Date date, std::optional<QString> sentence = std::nullopt)
{
    WordLookup l;
    l.id = QUuid::createUuid();
    l.word = word;
    l.source = QStringLiteral("en");
    l.target = QStringLiteral("es");
    l.meaning = word + QStringLiteral(" (es)");
    l.sentence = std::move(sentence);
    if (l.sentence)
        l.wordOffset = l.sentence->indexOf(word);
    l.translation = l.sentence ? std::optional<QString>(QStringLiteral("traducción")) : std::nullopt;
    l.appID = QStringLiteral("org.example.Editor");
    l.appName = QStringLiteral("Editor");
    l.date = date;
    return l;
}

// The same words, ids included, in every process that asks.
inline std::vector<SavedWord> wordsNamed(const QString &stem, int count)
{
    const QUuid space = QUuid::fromString(QStringLiteral("6F1C2A3E-95D4-4B0A-8C55-0D3E6A2F7B19"));
    std::vector<SavedWord> words;
    for (int i = 0; i < count; ++i) {
        SavedWord w;
        w.id = QUuid::createUuidV5(space, stem + QString::number(i));
        w.word = stem + QString::number(i);
        w.target = QStringLiteral("es");
        w.senses = {WordSense {QStringLiteral("meaning of ") + w.word, QStringLiteral("Noun"), std::nullopt}};
        for (int e = 0; e < 8; ++e) {
            const QString sentence =
                QStringLiteral("A sentence with %1 in it, long enough to make the file take a while.");
            w.encounters.push_back(lookup(w.word, Date {double(e)}, sentence.arg(w.word)));
            w.encounters.back().id = QUuid::createUuidV5(w.id, QString::number(e));
        }
        w.metCount = 8;
        w.review.due = Date {1000};
        words.push_back(std::move(w));
    }
    return words;
}

class WordBookEnvironment
{
public:
    QTemporaryDir folder;
    /// Its wall clock starts at Unix time 1,800,000,000 (2027-01-15 08:00 UTC).
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<PreferenceStore> defaults = std::make_shared<PreferenceStore>(QString(), clock);
    Calendar calendar {QTimeZone("Europe/Berlin")};

    Date now() const { return Date::fromWallTime(clock->wallNow()); }

    /// A book over the folder (or none), built as at the clock's now.
    std::unique_ptr<WordBook> makeBook(bool withFolder = true)
    {
        return std::make_unique<WordBook>(withFolder ? std::optional<QString>(folder.path()) : std::nullopt, defaults,
                                          now(), clock, calendar);
    }

    QString path(const QString &name) const { return QDir(folder.path()).filePath(name); }
    QString savedPath() const { return path(WordBookStorage::savedFileName); }
    QString historyPath() const { return path(WordBookStorage::historyFileName); }

    static QByteArray contents(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void put(const QString &file, const QByteArray &bytes)
    {
        QFile f(file);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
    }

    /// The history file's lines after every queued write has landed.
    QList<QByteArray> historyLines() const
    {
        WordBookStorage::writeQueue().drain();
        QByteArray bytes = contents(historyPath());
        if (bytes.endsWith('\n'))
            bytes.chop(1);
        return bytes.isEmpty() ? QList<QByteArray>() : bytes.split('\n');
    }

    /// Writes a history file of the given look-ups, one per line.
    void putHistory(const std::deque<WordLookup> &lookups) const { WordBookStorage::rewrite(lookups, historyPath()); }

    /// Everything in the folder but its lock, which the first write makes.
    QStringList folderEntries() const
    {
        QStringList entries =
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
        entries.removeOne(FolderLock::fileName);
        return entries;
    }
};

} // namespace Lumivox::Testing
