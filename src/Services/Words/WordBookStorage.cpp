#include "Services/Words/WordBookStorage.h"

#include "Shared/Async/SerialExecutor.h"
#include "Shared/Json/JsonScanner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcWordStorage, "app.lumivox.Words")

namespace Lumivox::WordBookStorage {

namespace {

using FileStatus = struct stat;

enum class Presence { missing, unreadable, read };

struct FileBytes
{
    Presence presence = Presence::missing;
    QByteArray bytes;
};

// Only a path that is not there at all means "nothing saved yet"; anything else that stops the read
// (permissions, an I/O error, a folder or a pipe in the file's place) must keep the file from being
// written over.
FileBytes readWhole(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    FileStatus info {};
    if (::stat(native.constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {Presence::missing, {}};
        return {Presence::unreadable, {}};
    }
    if (!S_ISREG(info.st_mode))
        return {Presence::unreadable, {}};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {Presence::unreadable, {}};
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {Presence::unreadable, {}};
    return {Presence::read, std::move(bytes)};
}

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

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool makeParent(const QString &path)
{
    return QDir().mkpath(QFileInfo(path).absolutePath());
}

bool saveWhole(const QString &path, const QByteArray &bytes)
{
    makeParent(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// "version" is read and not checked, but it must be a whole number: 1 and 1.0 are, 1.5 and "1" are
// not.
bool isInteger(const JsonNumber &number)
{
    return number.kind != JsonNumber::floating || (std::isfinite(number.d) && std::trunc(number.d) == number.d);
}

} // namespace

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
    // in place, and every other value is checked as strictly as a full JSON parser would, including
    // the earlier value of a key given twice.
    WordRecords::Decoded<std::vector<SavedWord>> result;
    JsonScanner scanner(bytes);
    if (scanner.next() != '{') {
        result.error = QStringLiteral("not a JSON object");
        return result;
    }
    // A key given twice counts with its last value, as in any JSON reader.
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

std::optional<QString> setAside(const QString &path, Clock::WallTime now)
{
    const QFileInfo info(path);
    const qint64 seconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    const QString stem = info.completeBaseName() + QStringLiteral("-unreadable-") + QString::number(seconds);
    const QString extension = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QByteArray from = QFile::encodeName(path);
    // Two files set aside within one second must not land on one name: the second would replace the
    // first, and with it the only copy of what the user had.
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString name =
            stem + (attempt == 1 ? QString() : QLatin1Char('-') + QString::number(attempt)) + extension;
        const QString target = info.dir().filePath(name);
        bool taken = false;
        if (renameWithoutReplacing(from, QFile::encodeName(target), taken)) {
            qCWarning(lcWordStorage).noquote() << "set aside an unreadable word-book file as" << target;
            return target;
        }
        if (!taken)
            break;
    }
    qCWarning(lcWordStorage).noquote() << "could not set aside the unreadable word-book file" << path
                                       << "- it is left alone and not written this session";
    return std::nullopt;
}

SavedRead readSaved(const QString &path, Clock::WallTime now)
{
    SavedRead result;
    const FileBytes file = readWhole(path);
    if (file.presence == Presence::missing)
        return result;
    if (file.presence == Presence::read) {
        auto decoded = decodeWordBookFile(file.bytes);
        if (decoded) {
            result.saved = std::move(*decoded.value);
            return result;
        }
        qCWarning(lcWordStorage).noquote() << "saved words do not decode:" << decoded.error;
    }
    result.writable = setAside(path, now).has_value();
    return result;
}

HistoryRead readHistory(const QString &path, Clock::WallTime now)
{
    HistoryRead result;
    const FileBytes file = readWhole(path);
    if (file.presence == Presence::missing)
        return result;
    if (file.presence == Presence::read) {
        const char *data = file.bytes.constData();
        const qsizetype size = file.bytes.size();
        qsizetype start = 0;
        while (start < size) {
            const char *newline = static_cast<const char *>(std::memchr(data + start, '\n', std::size_t(size - start)));
            const qsizetype end = newline ? qsizetype(newline - data) : size;
            if (end > start) {
                ++result.lines;
                if (auto lookup = WordRecords::decode<WordLookup>(QByteArrayView(data + start, end - start)))
                    result.lookups.push_back(std::move(*lookup.value));
            }
            start = end + 1;
        }
        if (result.lines == 0 || !result.lookups.empty())
            return result;
        result.lines = 0;
    }
    result.writable = setAside(path, now).has_value();
    return result;
}

bool write(const std::vector<SavedWord> &saved, const QString &path)
{
    return saveWhole(path, encodeWordBookFile(saved));
}

bool append(const WordLookup &lookup, const QString &path)
{
    QByteArray line = WordRecords::encode(lookup);
    line += '\n';

    const QByteArray native = QFile::encodeName(path);
    FileStatus info {};
    if (::stat(native.constData(), &info) != 0)
        makeParent(path);
    // O_APPEND: every write lands at the end whatever else happened to the file, so earlier lines
    // are never written over.
    const int fd = ::open(native.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = false;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        char last = '\n';
        if (info.st_size > 0 && ::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n')
            line.prepend('\n');
        ok = writeAll(fd, line.constData(), line.size());
    }
    if (::close(fd) != 0)
        ok = false;
    return ok;
}

bool rewrite(const std::deque<WordLookup> &history, const QString &path)
{
    QByteArray bytes;
    for (const WordLookup &lookup : history) {
        bytes += WordRecords::encode(lookup);
        bytes += '\n';
    }
    return saveWhole(path, bytes);
}

} // namespace Lumivox::WordBookStorage
