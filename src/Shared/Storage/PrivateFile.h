#pragma once

// The one way the program's own files are read and written: the preference file (which also holds
// the translation cache), Words.json, History.jsonl and diagnostics.json. They hold words the user
// pointed at, and they sit where anything may have been put in their place, so:
//   - reading opens only a regular file, never through a symbolic link, never waiting (a pipe at the
//     path would otherwise block for good), and never past a size cap (a file that large is not ours);
//   - writing replaces the file atomically (a reader, or a kill at any moment, sees the old file or
//     the new one whole), as a file only the user can read (0600) in a folder only the user can
//     enter (0700), and never through a link: a link in the file's place is set aside first;
//   - a file set aside is renamed within its folder, never over another file, so nothing the user
//     had is lost;
//   - every failure says why in the system's own words ("No space left on device").
// Blocking calls: run them off the UI thread, except the reads at start.

#include "Shared/Async/Clock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace Lumivox::PrivateFile {

// The size caps of the program's files, each far beyond what the program writes there itself; a
// larger file is not ours and is set aside unread (see read()). Stated here and nowhere else:
//   - the preference file, 32 MiB: the settings and a full translation cache (3,000 entries) take a
//     few hundred kilobytes;
//   - Words.json and History.jsonl, 128 MiB each: a full history (10,000 look-ups with their
//     sentences) and thousands of saved words with up to 8 encounters each take tens of megabytes;
//   - diagnostics.json, 4 MiB: 40 entries, 40 application tallies and 200 events of clipped texts
//     stay below 200 kilobytes.
inline constexpr qint64 preferencesCap = qint64(32) << 20;
inline constexpr qint64 wordBookCap = qint64(128) << 20;
inline constexpr qint64 diagnosticsCap = qint64(4) << 20;

enum class Presence {
    /// Nothing at the path (or a folder on the way is missing).
    missing,
    /// A regular file, read whole.
    read,
    /// A symbolic link: never followed, whatever it leads to.
    link,
    /// Something else the program never writes: a folder, a pipe, a device, or a regular file beyond
    /// the cap.
    foreign,
    /// A regular file that could not be opened or read (permissions, an I/O error).
    unreadable,
};

struct Contents
{
    Presence presence = Presence::missing;
    QByteArray bytes;
    /// Why it was not read, for the log: "a symbolic link", "a folder", "larger than 4194304 bytes",
    /// or the system's words ("Permission denied").
    QString reason;
};

/// Reads the file at `path` under the rules above. A file of the user's that others may read, and
/// its folder (as earlier versions made them), lose group and others' access on the way.
Contents read(const QString &path, qint64 maxBytes);

/// Whether a write happened, and if not, why.
struct Outcome
{
    /// Null when the write happened.
    QString error;
    /// The system's error number behind `error` (ENOSPC, EACCES …); 0 when the reason is not the
    /// system's. What the user is told depends on it, never on the text, which follows the locale.
    int code = 0;

    bool ok() const { return error.isNull(); }
    explicit operator bool() const { return ok(); }
    static Outcome done() { return {}; }
    static Outcome failed(QString why) { return {why.isNull() ? QStringLiteral("failed") : std::move(why), 0}; }
    /// A failure with the system's error number, in the system's words.
    static Outcome system(int error);
};

/// Replaces the file at `path` with `bytes` under the rules above, creating its folder when needed.
/// A folder or another non-regular thing in the file's place is left alone and the write fails.
Outcome replace(const QString &path, QByteArrayView bytes);

/// Adds `bytes` at the end of the file (made, 0600, when missing); never writes over what is there.
/// When the file's last byte is not a line feed (a crash cut the last line short), one comes first,
/// so the new text starts a line of its own. The text lands whole or not at all: a write cut short
/// (a full disk) is taken back, so no reader ever meets half a line of it.
Outcome appendLine(const QString &path, QByteArrayView bytes);

/// Makes the folder and any missing parents (0700), and takes group and others' access away from an
/// existing folder of the user's.
Outcome makeFolder(const QString &folder);

/// The name a file set aside takes: its name without extension, "-unreadable-", the Unix time in
/// whole seconds, "-2", "-3", … when taken, then its extension ("Words-unreadable-1800000000.json").
/// Moves whatever is at `path` (a link itself, not what it leads to); the new path, or none when it
/// could not be moved (logged).
std::optional<QString> setAside(const QString &path, Clock::WallTime now);

/// Writes `bytes` as a new file beside `path`, under the name setAside would give it: for keeping the
/// part of a file that a rewrite is about to drop.
std::optional<QString> keepBeside(const QString &path, QByteArrayView bytes, Clock::WallTime now);

/// Removes the temporaries that an interrupted replace leaves beside `path`: names only this writer
/// gives (".Words.json.lumivox-Qx7Kp2"), regular files of the user's only. Anything else beside the
/// file, whatever its name ("Words.json.bak123", "Words.json.Ab12Cd"), may be the user's own copy and
/// is never touched. Call it before the file is read at start, when no write of it can be under way.
/// Gives how many were removed.
int clearStrays(const QString &path);

} // namespace Lumivox::PrivateFile
