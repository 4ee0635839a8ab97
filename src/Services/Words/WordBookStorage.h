#pragma once

// The word book's two files and the one queue that writes them.
//
//   Words.json     {"version":1,"saved":[saved word, …]}, written whole and atomically.
//   History.jsonl  one look-up per line, oldest first, each line ended by a line feed; appended to
//                  per look-up and now and then rewritten whole (atomically) to drop old lines.
//
// Every write runs on writeQueue(), one worker for the whole process, in the order submitted, so an
// append submitted before a rewrite is in the file the rewrite replaces. Reading happens at start,
// on the caller's thread, and before each write of Words.json.
//
// Two copies of the program may share the folder (two sessions over one home, a home on NFS on two
// computers). Every write holds the folder's lock (FolderLock), so that no two writes interleave and
// a history line of one copy never lands inside a line of the other. Each copy writes its whole list
// of saved words, so before it does, it looks at the file: when the file is no longer what this copy
// last read or wrote there, the other copy's changes since then are taken in (mergeSaved) and the
// merge is written. The file's format stays as it was; what this copy last saw on disk is the common
// ground that tells the other copy's removals from words this copy never had. The history is appended
// to line by line, which keeps both copies' lines; when one copy rewrites it whole, it keeps the lines
// of look-ups it has never known (rewriteShared), told by their id.
//
// Records written before control characters were kept out of them, by this version or by an older
// copy sharing the folder, lose those characters as they are read (Text::withoutControls); the file
// follows at its next write.
//
// A file the book cannot read (a link, a folder, a pipe, a file too large, one that does not decode)
// is never written over: it is set aside (PrivateFile::setAside), and the book starts without it.
// When even that fails, `writable` comes back false and the book must leave the file alone for the
// rest of the session. Only a file that does not exist means "start empty". Temporaries left by a
// write that was killed are removed before the file is read.

#include "Models/WordRecords.h"
#include "Models/WordRecordsJson.h"
#include "Shared/Async/Clock.h"
#include "Shared/Storage/PrivateFile.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUuid>

#include <deque>
#include <optional>
#include <vector>

namespace Lumivox {

class SerialExecutor;

namespace WordBookStorage {

inline const QString savedFileName = QStringLiteral("Words.json");
inline const QString historyFileName = QStringLiteral("History.jsonl");
/// Each of the two files' size cap; a larger file is set aside unread.
inline constexpr qint64 maxFileBytes = PrivateFile::wordBookCap;

/// The serial queue "app.lumivox.words" on which every write of the word book runs.
SerialExecutor &writeQueue();

/// The whole Words.json, version 1, in compact JSON.
QByteArray encodeWordBookFile(const std::vector<SavedWord> &saved);
/// Both "version" (any integer) and "saved" are required; one bad saved word rejects the file.
WordRecords::Decoded<std::vector<SavedWord>> decodeWordBookFile(QByteArrayView bytes);

/// Words.json as this copy last read or wrote it: the common ground of a merge.
struct SavedOnDisk
{
    std::vector<SavedWord> words;
    /// The file's bytes in short (size and hash); none when there was no file.
    std::optional<std::pair<qsizetype, size_t>> fingerprint;

    static std::pair<qsizetype, size_t> fingerprintOf(QByteArrayView bytes);
};

struct SavedRead
{
    std::vector<SavedWord> saved;
    /// What was read, as the common ground of the first merge; no file when it was set aside.
    SavedOnDisk onDisk;
    /// False when the file was there, could not be read, and could not be set aside either.
    bool writable = true;
    /// Where the unreadable file now is, when it was set aside.
    std::optional<QString> setAsideAs;
};
SavedRead readSaved(const QString &path, Clock::WallTime now);

struct HistoryRead
{
    std::vector<WordLookup> lookups;
    /// Non-empty lines, including those that did not decode.
    qint64 lines = 0;
    bool writable = true;
    /// Where the unreadable file now is, when it was set aside.
    std::optional<QString> setAsideAs;
    /// Where the lines that did not decode are kept, when the rest was read.
    std::optional<QString> linesKeptAs;
};
/// Lines that do not decode are skipped but counted, and kept in a file beside the history (named as
/// a file set aside is) before the rewrite at start can drop them; when they cannot be kept, the
/// history is not writable this session. A file of which not one line decodes counts as unreadable
/// and is set aside rather than later rewritten empty.
HistoryRead readHistory(const QString &path, Clock::WallTime now);

/// The saved words after another copy's changes are taken in: `base` is what this copy last saw in
/// the file, `ours` what it holds now, `theirs` what the file holds now. Words are matched by their
/// key (word, source and target languages). A word that either side removed since `base` stays
/// removed, whatever the other did to it; one that either added is kept; one that only one side
/// changed takes that change; one that both changed (or both added) is taken whole from the side
/// whose change is newer (lastChanged), this copy's on a tie. Words keep this copy's order; another
/// copy's new words go among them by the time they were saved, newest first.
std::vector<SavedWord> mergeSaved(const std::vector<SavedWord> &base, const std::vector<SavedWord> &ours,
                                  const std::vector<SavedWord> &theirs);
/// The newest date a change of the word left on it: when it was saved, last reviewed or last met.
Date lastChanged(const SavedWord &word);

// The writes (PrivateFile's rules: 0600 in a 0700 folder, never through a link) say why they failed;
// the book keeps what it could not write and writes the whole state again later.

/// Creates the folder when needed and replaces the file atomically, so a reader (or a crash) sees
/// the old file or the new one, whole.
PrivateFile::Outcome write(const std::vector<SavedWord> &saved, const QString &path);

struct SharedWrite
{
    PrivateFile::Outcome outcome;
    /// What the file holds after a write that took in another copy's changes.
    std::optional<std::vector<SavedWord>> merged;
};
/// Writes the saved words under the folder's lock, first taking in whatever another copy changed in
/// the file since `known` (which then becomes what was written). A file there that does not decode
/// is set aside rather than written over.
SharedWrite writeShared(SavedOnDisk &known, const std::vector<SavedWord> &saved, const QString &path,
                        Clock::WallTime now);
/// Adds one line at the end, under the folder's lock, whole or not at all; never writes over earlier
/// lines. When the file's last line was cut short (a crash during an earlier append), the new line
/// starts on a line of its own.
PrivateFile::Outcome append(const WordLookup &lookup, const QString &path);
/// Replaces the history file atomically, under the folder's lock, with these look-ups (an empty list
/// gives an empty file).
PrivateFile::Outcome rewrite(const std::deque<WordLookup> &history, const QString &path);

/// The look-ups of History.jsonl this copy has known (read there at start, appended, written or taken
/// in), by id, with their dates. A line of the file whose id is not among them is another copy's.
using KnownLookups = QHash<QUuid, Date>;

struct HistoryRewrite
{
    PrivateFile::Outcome outcome;
    /// Another copy's look-ups that were in the file and were written again with this copy's, oldest
    /// first.
    std::vector<WordLookup> takenIn;
};
/// `rewrite` for a folder another copy may share: the lines it finds in the file whose look-ups
/// `known` lacks and that are dated at or after `since` (where this copy's own trimming stopped) are
/// written too, among `history` by date. A look-up this copy knew and no longer holds stays out.
/// `known` gains the look-ups written; those dated before `since` are forgotten, as no line that old
/// is taken in.
HistoryRewrite rewriteShared(KnownLookups &known, const std::deque<WordLookup> &history, std::optional<Date> since,
                             const QString &path);
/// Both lists of look-ups as one, by date; on one date `ours` first.
std::deque<WordLookup> mergeHistory(std::deque<WordLookup> ours, const std::vector<WordLookup> &theirs);

} // namespace WordBookStorage

} // namespace Lumivox
