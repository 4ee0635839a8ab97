#include "Shared/Storage/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcFiles, "app.lumivox.Files")

namespace Lumivox::PrivateFile {

namespace {

using FileStatus = struct stat;

constexpr mode_t fileMode = 0600;
constexpr mode_t folderMode = 0700;
constexpr mode_t othersBits = 077;
// A temporary of ours is ".<name>.lumivox-<six letters or digits>": a name no one else gives a
// file, so that the clean-up at start can never take a copy the user made ("Words.json.bak123",
// "Words.json.Backup").
constexpr std::string_view strayLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::string_view strayMark = ".lumivox-";
constexpr qsizetype strayLength = 6;

QString systemReason(int error)
{
    return qt_error_string(error);
}

// A file descriptor closed on every path out.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    { }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    /// Closes now and gives the error number of a failure (a late write error shows up here), or 0.
    int close()
    {
        const int fd = m_fd;
        m_fd = -1;
        if (fd >= 0 && ::close(fd) != 0)
            return errno;
        return 0;
    }

private:
    int m_fd;
};

QString foreignReason(const FileStatus &info)
{
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("a symbolic link");
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("a folder");
    return QStringLiteral("not a regular file");
}

// The error number of a failed write, or 0.
int writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= n;
    }
    return 0;
}

// Fills a file just made and closes it; the error number of what failed, or 0. Its data is on the
// disk before anyone renames it into place.
int fill(Descriptor &fd, QByteArrayView bytes)
{
    // The creation mode went through the umask; the file must be exactly the user's.
    int error = ::fchmod(fd.get(), fileMode) != 0 ? errno : 0;
    if (error == 0)
        error = writeAll(fd.get(), bytes.data(), bytes.size());
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    if (const int closing = fd.close(); error == 0)
        error = closing;
    return error;
}

QByteArray strayPrefix(const QByteArray &name)
{
    return '.' + name + QByteArray(strayMark.data(), qsizetype(strayMark.size()));
}

bool isStrayName(const QByteArray &entry, const QByteArray &name)
{
    const QByteArray prefix = strayPrefix(name);
    if (entry.size() != prefix.size() + strayLength || !entry.startsWith(prefix))
        return false;
    return std::all_of(entry.cbegin() + prefix.size(), entry.cend(),
                       [](char c) { return strayLetters.find(c) != std::string_view::npos; });
}

QByteArray strayName(const QByteArray &name)
{
    QByteArray temporary = strayPrefix(name);
    for (qsizetype i = 0; i < strayLength; ++i)
        temporary += strayLetters[std::size_t(QRandomGenerator::global()->bounded(qint64(strayLetters.size())))];
    return temporary;
}

// Takes group and others' access away from a file or folder of the user's that has it: earlier
// versions made them readable by everyone.
void narrow(int fd, const FileStatus &info)
{
    if (info.st_uid == ::geteuid() && (info.st_mode & othersBits) != 0)
        ::fchmod(fd, info.st_mode & 07700);
}

QString asideName(const QFileInfo &info, qint64 seconds, int attempt)
{
    QString name = info.completeBaseName() + QStringLiteral("-unreadable-") + QString::number(seconds);
    if (attempt > 1)
        name += QLatin1Char('-') + QString::number(attempt);
    if (!info.suffix().isEmpty())
        name += QLatin1Char('.') + info.suffix();
    return info.dir().filePath(name);
}

qint64 unixSeconds(Clock::WallTime now)
{
    return std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
}

// Renames without ever replacing what is at `to`; `taken` tells a name in use from other failures.
bool renameWithoutReplacing(const QByteArray &from, const QByteArray &to, bool &taken)
{
    taken = false;
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST) {
        taken = true;
        return false;
    }
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without no-replace renames: check first, which is good enough at start-up.
    FileStatus info {};
    if (::lstat(to.constData(), &info) == 0) {
        taken = true;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
}

} // namespace

Outcome Outcome::system(int error)
{
    return {systemReason(error), error};
}

Contents read(const QString &path, qint64 maxBytes)
{
    const QByteArray native = QFile::encodeName(path);
    FileStatus info {};
    // Looked at before it is opened: opening a device can have effects of its own.
    if (::lstat(native.constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {Presence::missing, {}, {}};
        return {Presence::unreadable, {}, systemReason(errno)};
    }
    if (S_ISLNK(info.st_mode))
        return {Presence::link, {}, foreignReason(info)};
    if (!S_ISREG(info.st_mode))
        return {Presence::foreign, {}, foreignReason(info)};
    const QString tooLarge = QStringLiteral("larger than %1 bytes").arg(maxBytes);
    if (info.st_size > maxBytes)
        return {Presence::foreign, {}, tooLarge};

    // Whatever was swapped in since lstat: no link is followed and nothing can block the open.
    Descriptor fd(::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT)
            return {Presence::missing, {}, {}};
        if (errno == ELOOP)
            return {Presence::link, {}, QStringLiteral("a symbolic link")};
        return {Presence::unreadable, {}, systemReason(errno)};
    }
    if (::fstat(fd.get(), &info) != 0)
        return {Presence::unreadable, {}, systemReason(errno)};
    if (!S_ISREG(info.st_mode))
        return {Presence::foreign, {}, foreignReason(info)};
    narrow(fd.get(), info);
    FileStatus folderInfo {};
    if (Descriptor folder(
            ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        folder.valid() && ::fstat(folder.get(), &folderInfo) == 0)
        narrow(folder.get(), folderInfo);

    // The file may grow while it is read: never past the cap.
    QByteArray bytes;
    bytes.reserve(qsizetype(std::min<qint64>(info.st_size, maxBytes)) + 1);
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {Presence::unreadable, {}, systemReason(errno)};
        }
        if (n == 0)
            break;
        if (bytes.size() + n > maxBytes)
            return {Presence::foreign, {}, tooLarge};
        bytes.append(buffer, n);
    }
    return {Presence::read, std::move(bytes), {}};
}

Outcome makeFolder(const QString &folder)
{
    const QString absolute = QDir::cleanPath(QDir(folder).absolutePath());
    const QByteArray native = QFile::encodeName(absolute);
    Descriptor dir(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid() && errno == ENOENT) {
        // Every missing folder on the way is made private too: they are ours alone.
        const QStringList parts = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        QString prefix;
        for (const QString &part : parts) {
            prefix += QLatin1Char('/') + part;
            if (::mkdir(QFile::encodeName(prefix).constData(), folderMode) != 0 && errno != EEXIST)
                return Outcome::system(errno);
        }
        dir.reset(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    FileStatus info {};
    if (!dir.valid() || ::fstat(dir.get(), &info) != 0)
        return Outcome::system(errno);
    narrow(dir.get(), info);
    return Outcome::done();
}

Outcome replace(const QString &path, QByteArrayView bytes)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (Outcome made = makeFolder(folder); !made.ok())
        return made;
    Descriptor dir(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid())
        return Outcome::system(errno);
    const QByteArray name = QFile::encodeName(info.fileName());

    FileStatus current {};
    if (::fstatat(dir.get(), name.constData(), &current, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(current.st_mode)) {
            // Whatever the link leads to is not ours to replace; the link itself is kept aside.
            if (!setAside(path, std::chrono::system_clock::now()))
                return Outcome::failed(QStringLiteral("a symbolic link is in its place and could not be set aside"));
        } else if (S_ISDIR(current.st_mode)) {
            return Outcome::system(EISDIR);
        }
    }

    QByteArray temporary;
    Descriptor fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        temporary = strayName(name);
        fd.reset(
            ::openat(dir.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, fileMode));
        if (!fd.valid() && errno != EEXIST)
            return Outcome::system(errno);
    }
    if (!fd.valid())
        return Outcome::system(EEXIST);

    int error = fill(fd, bytes);
    if (error == 0 && ::renameat(dir.get(), temporary.constData(), dir.get(), name.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(dir.get(), temporary.constData(), 0);
        return Outcome::system(error);
    }
    // The rename itself reaches the disk with the folder; a failure here loses nothing already read.
    ::fsync(dir.get());
    return Outcome::done();
}

Outcome appendLine(const QString &path, QByteArrayView bytes)
{
    const QByteArray native = QFile::encodeName(path);
    // O_APPEND: every write lands at the end whatever else happened to the file, so earlier lines
    // are never written over. O_NONBLOCK: a pipe in the file's place cannot hold the writer.
    const int flags = O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    Descriptor fd(::open(native.constData(), flags));
    if (!fd.valid() && errno == ENOENT) {
        // A new file: its folder is made, or made private, first.
        if (Outcome made = makeFolder(QFileInfo(path).absolutePath()); !made.ok())
            return made;
        fd.reset(::open(native.constData(), flags | O_CREAT, fileMode));
    }
    if (!fd.valid() && errno == ELOOP) {
        if (!setAside(path, std::chrono::system_clock::now()))
            return Outcome::failed(QStringLiteral("a symbolic link is in its place and could not be set aside"));
        fd.reset(::open(native.constData(), flags | O_CREAT, fileMode));
    }
    if (!fd.valid())
        return Outcome::system(errno);
    FileStatus info {};
    if (::fstat(fd.get(), &info) != 0)
        return Outcome::system(errno);
    if (!S_ISREG(info.st_mode))
        return Outcome::failed(foreignReason(info));
    narrow(fd.get(), info);

    QByteArray line;
    char last = '\n';
    if (info.st_size > 0 && ::pread(fd.get(), &last, 1, info.st_size - 1) == 1 && last != '\n')
        line += '\n';
    line += bytes;
    // One write of the whole text, so that another writer's line never lands inside it.
    int error = writeAll(fd.get(), line.constData(), line.size());
    if (error != 0) {
        // A cut line would be read as a damaged one at the next start: what did land is taken back.
        // The end of the file is where it was, as long as every writer holds the folder's lock.
        if (::ftruncate(fd.get(), info.st_size) != 0)
            qCWarning(lcFiles).noquote() << "could not take back a cut line of" << path << ":" << systemReason(errno);
    }
    if (const int closing = fd.close(); error == 0)
        error = closing;
    return error == 0 ? Outcome::done() : Outcome::system(error);
}

std::optional<QString> setAside(const QString &path, Clock::WallTime now)
{
    const QFileInfo info(path);
    const QByteArray from = QFile::encodeName(path);
    const qint64 seconds = unixSeconds(now);
    // Two files set aside within one second must not land on one name: the second would replace the
    // first, and with it the only copy of what the user had.
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString target = asideName(info, seconds, attempt);
        bool taken = false;
        if (renameWithoutReplacing(from, QFile::encodeName(target), taken)) {
            qCWarning(lcFiles).noquote() << "set aside" << path << "as" << target;
            return target;
        }
        if (!taken) {
            const QString why = systemReason(errno);
            qCWarning(lcFiles).noquote() << "could not set aside" << path << ":" << why;
            return std::nullopt;
        }
    }
    qCWarning(lcFiles).noquote() << "could not set aside" << path << ": every name for it is taken";
    return std::nullopt;
}

std::optional<QString> keepBeside(const QString &path, QByteArrayView bytes, Clock::WallTime now)
{
    const QFileInfo info(path);
    if (Outcome made = makeFolder(info.absolutePath()); !made.ok()) {
        qCWarning(lcFiles).noquote() << "could not keep part of" << path << ":" << made.error;
        return std::nullopt;
    }
    const qint64 seconds = unixSeconds(now);
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString target = asideName(info, seconds, attempt);
        Descriptor fd(::open(QFile::encodeName(target).constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, fileMode));
        if (!fd.valid()) {
            if (errno == EEXIST)
                continue;
            const QString why = systemReason(errno);
            qCWarning(lcFiles).noquote() << "could not keep part of" << path << ":" << why;
            return std::nullopt;
        }
        if (const int error = fill(fd, bytes); error != 0) {
            ::unlink(QFile::encodeName(target).constData());
            qCWarning(lcFiles).noquote() << "could not keep part of" << path << ":" << systemReason(error);
            return std::nullopt;
        }
        return target;
    }
    qCWarning(lcFiles).noquote() << "could not keep part of" << path << ": every name for it is taken";
    return std::nullopt;
}

int clearStrays(const QString &path)
{
    const QFileInfo info(path);
    const QByteArray name = QFile::encodeName(info.fileName());
    Descriptor dir(::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid())
        return 0;
    DIR *listing = ::fdopendir(::dup(dir.get()));
    if (!listing)
        return 0;
    int removed = 0;
    while (const dirent *entry = ::readdir(listing)) {
        const QByteArray entryName(entry->d_name);
        if (!isStrayName(entryName, name))
            continue;
        FileStatus status {};
        if (::fstatat(dir.get(), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode)
            || status.st_uid != ::geteuid())
            continue;
        if (::unlinkat(dir.get(), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(listing);
    if (removed > 0)
        qCInfo(lcFiles).noquote() << "removed" << removed << "unfinished copies of" << path;
    return removed;
}

} // namespace Lumivox::PrivateFile
