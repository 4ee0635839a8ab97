#pragma once

// Keeps two copies of the program that share one data folder (two sessions over one home, or one
// home mounted on two computers) from writing its files at the same moment: each copy holds the
// folder's lock around a read-and-write of a file the other may write too. Nothing else guards the
// folder: the single-instance check is per session bus.
//
// The lock is an open file description lock (fcntl F_OFD_SETLK) on ".lumivox.lock" in the folder:
// it conflicts between copies and between two holders in one process alike, goes away with the
// process that held it however that ends, and NFS hands it to the server (NFSv4, or NLM on NFSv3),
// where taking it also makes the client look at the files afresh. A folder where no lock can be
// taken at all (a file system without locks, a lock file that cannot be made) is written without
// one, as before; only a lock another copy keeps past the wait stops a write.
//
// Blocking: take it on a writer thread, never on the UI thread.

#include "Shared/Storage/PrivateFile.h"

#include <QString>

#include <chrono>

namespace Lumivox {

class FolderLock
{
public:
    /// Long enough for another copy to finish a write, even of a large file on a slow disk.
    static constexpr std::chrono::milliseconds defaultWait {5000};
    static inline const QString fileName = QStringLiteral(".lumivox.lock");

    /// Takes the lock of `folder`, waiting at most `wait` while another holder keeps it.
    explicit FolderLock(const QString &folder, std::chrono::milliseconds wait = defaultWait);
    /// Lets go.
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    /// False when another holder kept the lock all the while: nothing may be written then.
    bool mayWrite() const { return m_outcome.ok(); }
    /// Why nothing may be written.
    const PrivateFile::Outcome &outcome() const { return m_outcome; }
    /// Whether the lock is held (false as well when the folder takes no locks).
    bool isHeld() const { return m_held; }

private:
    int m_fd = -1;
    bool m_held = false;
    PrivateFile::Outcome m_outcome;
};

} // namespace Lumivox
