#include "Services/Words/WordBookStorage.h"

#include "Shared/Async/SerialExecutor.h"
#include "Shared/Json/JsonScanner.h"
#include "Shared/Storage/FolderLock.h"
#include "Shared/Text/TextUtils.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

Q_LOGGING_CATEGORY(lcWordStorage, "app.lumivox.Words")

namespace Lumivox::WordBookStorage {

namespace {

// "version" is read and not checked, but it must be a whole number: 1 and 1.0 are, 1.5 and "1" are
// not.
bool isInteger(const JsonNumber &number)
{
    return number.kind != JsonNumber::floating || (std::isfinite(number.d) && std::trunc(number.d) == number.d);
}

// A file the book cannot read is moved out of the way; when even that fails it is left alone, and
// the book must not write it this session.
template<class Read>
void setAsideOrKeepOut(Read &read, const QString &path, Clock::WallTime now)
{
    read.setAsideAs = PrivateFile::setAside(path, now);
    read.writable = read.setAsideAs.has_value();
    if (!read.writable)
        qCWarning(lcWordStorage).noquote() << path << "is left alone and not written this session";
}

// Another copy sharing the folder writes under the same lock, so the two never interleave.
template<class Write>
PrivateFile::Outcome underFolderLock(const QString &path, Write write)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (PrivateFile::Outcome made = PrivateFile::makeFolder(folder); !made)
        return made;
    const FolderLock lock(folder);
    if (!lock.mayWrite())
        return lock.outcome();
    return write();
}

// The first word of each key; a hand-edited file may hold a key twice, and the book goes by the
// first one too.
std::unordered_map<WordKey, const SavedWord *> byKey(const std::vector<SavedWord> &words)
{
    std::unordered_map<WordKey, const SavedWord *> index;
    index.reserve(words.size());
    for (const SavedWord &word : words)
        index.emplace(word.key(), &word);
    return index;
}

const SavedWord *find(const std::unordered_map<WordKey, const SavedWord *> &index, const WordKey &key)
{
    const auto it = index.find(key);
    return it == index.end() ? nullptr : it->second;
}

// Records written before control characters were kept out of them still hold what another program
// or a translation service put there; they are shown, reviewed and merged only without it.
void clean(QString &text)
{
    QString kept = Text::withoutControls(text);
    if (kept.constData() != text.constData())
        text = std::move(kept);
}

void clean(std::optional<QString> &text)
{
    if (text)
        clean(*text);
}

void clean(WordLookup &lookup)
{
    clean(lookup.word);
    clean(lookup.base);
    clean(lookup.meaning);
    clean(lookup.grammarText);
    if (lookup.sentence) {
        const QString stored = *lookup.sentence;
        clean(*lookup.sentence);
        if (lookup.wordOffset)
            lookup.wordOffset = Text::offsetWithoutControls(stored, *lookup.sentence, qsizetype(*lookup.wordOffset));
    }
    clean(lookup.translation);
    clean(lookup.appName);
    clean(lookup.title);
}

void clean(std::vector<SavedWord> &words)
{
    for (SavedWord &word : words) {
        clean(word.word);
        clean(word.base);
        for (WordSense &sense : word.senses) {
            clean(sense.meaning);
            clean(sense.grammarText);
        }
        for (WordLookup &encounter : word.encounters)
            clean(encounter);
    }
}

// Each non-empty line of a history file: its look-up, cleaned, to `decoded`, or the line to
// `undecodable`. Gives the number of lines.
template<class Decoded, class Undecodable>
qint64 forEachLine(QByteArrayView bytes, Decoded decoded, Undecodable undecodable)
{
    WordRecords::Decoder decoder;
    qint64 lines = 0;
    const char *data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype start = 0;
    while (start < size) {
        const char *newline = static_cast<const char *>(std::memchr(data + start, '\n', std::size_t(size - start)));
        const qsizetype end = newline ? qsizetype(newline - data) : size;
        if (end > start) {
            ++lines;
            const QByteArrayView line(data + start, end - start);
            if (auto lookup = decoder.decode<WordLookup>(line)) {
                clean(*lookup.value);
                decoded(std::move(*lookup.value));
            } else {
                undecodable(line);
            }
        }
        start = end + 1;
    }
    return lines;
}

template<class Lookups>
QByteArray historyBytes(const Lookups &lookups)
{
    QByteArray bytes;
    for (const WordLookup &lookup : lookups) {
        bytes += WordRecords::encode(lookup);
        bytes += '\n';
    }
    return bytes;
}

} // namespace

std::pair<qsizetype, size_t> SavedOnDisk::fingerprintOf(QByteArrayView bytes)
{
    return {bytes.size(), qHash(bytes)};
}

Date lastChanged(const SavedWord &word)
{
    Date newest = word.savedAt;
    if (word.review.lastReviewed)
        newest = std::max(newest, *word.review.lastReviewed);
    for (const WordLookup &encounter : word.encounters)
        newest = std::max(newest, encounter.date);
    return newest;
}

std::vector<SavedWord> mergeSaved(const std::vector<SavedWord> &base, const std::vector<SavedWord> &ours,
                                  const std::vector<SavedWord> &theirs)
{
    const auto inBase = byKey(base);
    const auto inOurs = byKey(ours);
    const auto inTheirs = byKey(theirs);

    std::vector<SavedWord> merged;
    merged.reserve(ours.size() + theirs.size());
    std::unordered_set<WordKey> placed;
    for (const SavedWord &mine : ours) {
        const WordKey key = mine.key();
        const SavedWord *before = find(inBase, key);
        const SavedWord *other = find(inTheirs, key);
        if (before && !other)
            continue; // the other copy removed it
        if (!placed.insert(key).second || !other || *other == mine || (before && *other == *before)) {
            merged.push_back(mine);
            continue;
        }
        const bool onlyTheyChanged = before && mine == *before;
        merged.push_back(onlyTheyChanged || lastChanged(*other) > lastChanged(mine) ? *other : mine);
    }
    for (const SavedWord &added : theirs) {
        const WordKey key = added.key();
        // Known here already, or removed by this copy since the common ground.
        if (find(inOurs, key) || find(inBase, key) || !placed.insert(key).second)
            continue;
        const auto at = std::find_if(merged.begin(), merged.end(),
                                     [&](const SavedWord &word) { return word.savedAt < added.savedAt; });
        merged.insert(at, added);
    }
    return merged;
}

SerialExecutor &writeQueue()
{
    static SerialExecutor queue(QStringLiteral("app.lumivox.words"));
    return queue;
}

QByteArray encodeWordBookFile(const std::vector<SavedWord> &saved)
{
    QByteArray bytes = QByteArrayLiteral("{\"version\":1,\"saved\":");
    bytes += WordRecords::encodeArray(saved);
    bytes += '}';
    return bytes;
}

WordRecords::Decoded<std::vector<SavedWord>> decodeWordBookFile(QByteArrayView bytes)
{
    // One pass of the scanner over the whole file: the saved words are nearly all of it and are read
    // in place, and every other value is checked as strictly as a full JSON parser would. A key given
    // twice refuses the file: a "saved" list read over another would lose the first at the next save.
    WordRecords::Decoded<std::vector<SavedWord>> result;
    JsonScanner scanner(bytes);
    if (scanner.next() != '{') {
        result.error = QStringLiteral("not a JSON object");
        return result;
    }
    std::optional<bool> versionIsInteger;
    std::optional<std::vector<SavedWord>> saved;
    QString savedProblem;
    const bool ok = scanner.object([&](std::string_view key) {
        if (key == "version") {
            const char c = scanner.next();
            versionIsInteger = false;
            if (c != '-' && !(c >= '0' && c <= '9'))
                return scanner.skip();
            JsonNumber number;
            if (!scanner.number(number))
                return false;
            versionIsInteger = isInteger(number);
            return true;
        }
        if (key == "saved")
            return WordRecords::readArray(scanner, saved.emplace(), savedProblem);
        return scanner.skip();
    });
    if (ok && !scanner.atEnd())
        scanner.broken();
    if (scanner.failed())
        result.error = scanner.failure();
    else if (!versionIsInteger.value_or(false))
        result.error = QStringLiteral("version: missing or not an integer");
    else if (!saved)
        result.error = QStringLiteral("saved: missing");
    else if (!savedProblem.isNull())
        result.error = QStringLiteral("saved: ") + savedProblem;
    else
        result.value = std::move(saved);
    return result;
}

SavedRead readSaved(const QString &path, Clock::WallTime now)
{
    SavedRead result;
    PrivateFile::clearStrays(path);
    const PrivateFile::Contents file = PrivateFile::read(path, maxFileBytes);
    if (file.presence == PrivateFile::Presence::missing)
        return result;
    if (file.presence == PrivateFile::Presence::read) {
        auto decoded = decodeWordBookFile(file.bytes);
        if (decoded) {
            result.saved = std::move(*decoded.value);
            clean(result.saved);
            result.onDisk = {result.saved, SavedOnDisk::fingerprintOf(file.bytes)};
            return result;
        }
        qCWarning(lcWordStorage).noquote() << "saved words do not decode:" << decoded.error;
    } else {
        qCWarning(lcWordStorage).noquote() << "saved words cannot be read:" << path << "is" << file.reason;
    }
    setAsideOrKeepOut(result, path, now);
    return result;
}

HistoryRead readHistory(const QString &path, Clock::WallTime now)
{
    HistoryRead result;
    PrivateFile::clearStrays(path);
    const PrivateFile::Contents file = PrivateFile::read(path, maxFileBytes);
    if (file.presence == PrivateFile::Presence::missing)
        return result;
    if (file.presence != PrivateFile::Presence::read) {
        qCWarning(lcWordStorage).noquote() << "the history cannot be read:" << path << "is" << file.reason;
        setAsideOrKeepOut(result, path, now);
        return result;
    }
    QByteArray undecodable;
    qint64 undecodableLines = 0;
    result.lines = forEachLine(
        file.bytes, [&](WordLookup &&lookup) { result.lookups.push_back(std::move(lookup)); },
        [&](QByteArrayView line) {
            undecodable += line;
            undecodable += '\n';
            ++undecodableLines;
        });
    if (result.lines == 0)
        return result;
    if (result.lookups.empty()) {
        // Not one line of ours: the whole file is kept as it is rather than rewritten empty.
        result.lines = 0;
        setAsideOrKeepOut(result, path, now);
        return result;
    }
    if (undecodableLines > 0) {
        // The rewrite at start drops what does not decode; a copy is kept first, or nothing is
        // rewritten at all.
        if (const auto kept = PrivateFile::keepBeside(path, undecodable, now)) {
            qCWarning(lcWordStorage).noquote()
                << undecodableLines << "history lines do not decode; they are kept in" << *kept;
            result.linesKeptAs = kept;
        } else {
            qCWarning(lcWordStorage).noquote()
                << undecodableLines << "history lines do not decode and cannot be kept aside;" << path
                << "is left alone and not written this session";
            result.writable = false;
        }
    }
    return result;
}

PrivateFile::Outcome write(const std::vector<SavedWord> &saved, const QString &path)
{
    return PrivateFile::replace(path, encodeWordBookFile(saved));
}

SharedWrite writeShared(SavedOnDisk &known, const std::vector<SavedWord> &saved, const QString &path,
                        Clock::WallTime now)
{
    SharedWrite result;
    std::optional<std::vector<SavedWord>> merged;
    QByteArray bytes;
    result.outcome = underFolderLock(path, [&] {
        // What another copy left there since this one last looked. A file that is not there (the user
        // removed it) or not a file (PrivateFile::replace deals with it) holds nothing to take in.
        const PrivateFile::Contents file = PrivateFile::read(path, maxFileBytes);
        if (file.presence == PrivateFile::Presence::read
            && SavedOnDisk::fingerprintOf(file.bytes) != known.fingerprint) {
            if (auto theirs = decodeWordBookFile(file.bytes)) {
                clean(*theirs.value);
                merged = mergeSaved(known.words, saved, *theirs.value);
            } else {
                // Never written by a copy of ours: kept, as at start, rather than written over.
                qCWarning(lcWordStorage).noquote() << "saved words found changed do not decode:" << theirs.error;
                PrivateFile::setAside(path, now);
            }
        }
        bytes = encodeWordBookFile(merged ? *merged : saved);
        return PrivateFile::replace(path, bytes);
    });
    if (!result.outcome)
        return result;
    known.words = merged ? *merged : saved;
    known.fingerprint = SavedOnDisk::fingerprintOf(bytes);
    if (merged && *merged != saved)
        result.merged = std::move(merged);
    return result;
}

PrivateFile::Outcome append(const WordLookup &lookup, const QString &path)
{
    QByteArray line = WordRecords::encode(lookup);
    line += '\n';
    return underFolderLock(path, [&] { return PrivateFile::appendLine(path, line); });
}

PrivateFile::Outcome rewrite(const std::deque<WordLookup> &history, const QString &path)
{
    const QByteArray bytes = historyBytes(history);
    return underFolderLock(path, [&] { return PrivateFile::replace(path, bytes); });
}

HistoryRewrite rewriteShared(KnownLookups &known, const std::deque<WordLookup> &history, std::optional<Date> since,
                             const QString &path)
{
    for (const WordLookup &lookup : history)
        known.insert(lookup.id, lookup.date);
    // Lines that old are never taken in, so their look-ups need not be told apart any more.
    if (since)
        known.removeIf([&](KnownLookups::iterator it) { return it.value() < *since; });

    HistoryRewrite result;
    std::vector<WordLookup> found;
    KnownLookups foundIDs;
    result.outcome = underFolderLock(path, [&] {
        // Read under the lock: another copy's append cannot land between this read and the write.
        // What is not a file of ours (PrivateFile::replace deals with it) holds nothing to take in.
        const PrivateFile::Contents file = PrivateFile::read(path, maxFileBytes);
        if (file.presence == PrivateFile::Presence::read) {
            forEachLine(
                file.bytes,
                [&](WordLookup &&lookup) {
                    if ((since && !(lookup.date >= *since)) || known.contains(lookup.id)
                        || foundIDs.contains(lookup.id))
                        return;
                    foundIDs.insert(lookup.id, lookup.date);
                    found.push_back(std::move(lookup));
                },
                [](QByteArrayView) {});
        }
        if (found.empty())
            return PrivateFile::replace(path, historyBytes(history));
        std::stable_sort(found.begin(), found.end(),
                         [](const WordLookup &a, const WordLookup &b) { return a.date < b.date; });
        return PrivateFile::replace(path, historyBytes(mergeHistory(history, found)));
    });
    // Lines that were not written over are still the other copy's, to be taken in at a later rewrite.
    if (result.outcome) {
        known.insert(foundIDs);
        result.takenIn = std::move(found);
    }
    return result;
}

std::deque<WordLookup> mergeHistory(std::deque<WordLookup> ours, const std::vector<WordLookup> &theirs)
{
    if (theirs.empty())
        return ours;
    std::deque<WordLookup> merged;
    std::merge(std::make_move_iterator(ours.begin()), std::make_move_iterator(ours.end()), theirs.begin(), theirs.end(),
               std::back_inserter(merged), [](const WordLookup &a, const WordLookup &b) { return a.date < b.date; });
    return merged;
}

} // namespace Lumivox::WordBookStorage
