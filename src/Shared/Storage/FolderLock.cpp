#include "Shared/Storage/FolderLock.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>

#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcFiles)

namespace Lumivox {

namespace {

bool tryLock(int fd)
{
    struct flock whole
    {
    };
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    whole.l_start = 0;
    whole.l_len = 0;
    return ::fcntl(fd, F_OFD_SETLK, &whole) == 0;
}

} // namespace

FolderLock::FolderLock(const QString &folder, std::chrono::milliseconds wait)
{
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(fileName));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        // The write that follows meets the same trouble (a missing or read-only folder) and says so.
        qCDebug(lcFiles).noquote() << "no lock file in" << folder << ":" << PrivateFile::Outcome::system(errno).error;
        return;
    }
    // Polled rather than waited for in the kernel: a copy that hangs (a stale network mount) must not
    // hold this writer for good.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(2);
    for (;;) {
        if (tryLock(m_fd)) {
            m_held = true;
            return;
        }
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
            // No locks on this file system (ENOLCK, EINVAL): written as before, without one.
            qCDebug(lcFiles).noquote() << "no lock taken in" << folder << ":"
                                       << PrivateFile::Outcome::system(errno).error;
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
    m_outcome = PrivateFile::Outcome::failed(QStringLiteral("another copy of Lumivox kept its folder locked"));
}

FolderLock::~FolderLock()
{
    // Closing the last descriptor of the description lets the lock go.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace Lumivox
