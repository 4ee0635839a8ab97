#include "Native/Apertium/NullFlushPipeline.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

Q_LOGGING_CATEGORY(lcApertium, "app.lumivox.Apertium")

namespace Lumivox::Native::Apertium {

QString modesDirectory()
{
    const QString custom = qEnvironmentVariable("LUMIVOX_APERTIUM_MODES");
    return custom.isEmpty() ? QStringLiteral("/usr/share/apertium/modes") : custom;
}

std::optional<QString> modeFile(const QString &mode)
{
    if (mode.isEmpty() || mode.contains(QLatin1Char('/')))
        return std::nullopt;
    const QString path = QDir(modesDirectory()).filePath(mode + QStringLiteral(".mode"));
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    return path;
}

QString escape(QStringView text)
{
    static const QString special = QStringLiteral("[]^$/<>{}\\@");
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        if (special.contains(c))
            out.append(QLatin1Char('\\'));
        out.append(c);
    }
    return out;
}

QString unescape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size())
            ++i;
        out.append(text[i]);
    }
    return out;
}

NullFlushPipeline::NullFlushPipeline(QString name, QString script, QStringList arguments,
                                     std::chrono::milliseconds timeout)
    : m_name(std::move(name))
    , m_script(std::move(script))
    , m_arguments(std::move(arguments))
    , m_timeout(timeout)
{ }

NullFlushPipeline::~NullFlushPipeline()
{
    std::lock_guard lock(m_mutex);
    stopLocked();
}

std::optional<QString> NullFlushPipeline::translationScript(const QString &mode)
{
    const auto file = modeFile(mode);
    if (!file)
        return std::nullopt;
    QProcess tool;
    tool.start(QStringLiteral("apertium-wblank-mode"), {QStringLiteral("-z"), *file});
    if (!tool.waitForFinished(5000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        qCWarning(lcApertium) << "apertium-wblank-mode failed for" << mode << tool.errorString();
        tool.kill();
        tool.waitForFinished(1000);
        return std::nullopt;
    }
    const QString script = QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    if (script.isEmpty())
        return std::nullopt;
    return script;
}

bool NullFlushPipeline::start()
{
    std::lock_guard lock(m_mutex);
    return startLocked();
}

bool NullFlushPipeline::isRunning()
{
    std::lock_guard lock(m_mutex);
    if (m_pid <= 0)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = 0;
        stopLocked();
        return false;
    }
    return true;
}

pid_t NullFlushPipeline::processGroup()
{
    std::lock_guard lock(m_mutex);
    return m_pid;
}

void NullFlushPipeline::stop()
{
    std::lock_guard lock(m_mutex);
    stopLocked();
}

bool NullFlushPipeline::startLocked()
{
    if (m_pid > 0) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == 0)
            return true;
        m_pid = 0; // it died; start afresh
        stopLocked();
    }

    int fds[2];
    // A socket pair rather than pipes: writes use MSG_NOSIGNAL, so a dead pipeline is an error
    // value here, never a SIGPIPE that ends the program.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        qCWarning(lcApertium) << m_name << "socketpair failed:" << std::strerror(errno);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so that stopping it ends every stage of the pipeline.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

    const QByteArray script = m_script.toUtf8();
    const QByteArray label = QStringLiteral("lumivox-%1").arg(m_name).toUtf8();
    // No start-up files: bash reads ~/.bashrc when its input is a socket, as here, and whatever the
    // user keeps there (slow tools, locks, output of its own) would run before every engine start.
    std::vector<QByteArray> args {QByteArrayLiteral("bash"), QByteArrayLiteral("--norc"), QByteArrayLiteral("-c"),
                                  script, label};
    for (const QString &a : m_arguments)
        args.push_back(a.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "bash", &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        qCWarning(lcApertium) << m_name << "could not start:" << std::strerror(rc);
        return false;
    }
    m_pid = pid;
    m_fd = fds[0];
    m_pending.clear();
    m_loaded = false;
    return true;
}

void NullFlushPipeline::stopLocked()
{
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    if (m_pid > 0) {
        kill(-m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = 0;
    }
    m_pending.clear();
}

std::optional<QString> NullFlushPipeline::request(const QString &text)
{
    QByteArray payload = text.toUtf8();
    // Apertium treats NUL as the flush mark; one inside the text would split the reply.
    payload.replace('\0', ' ');
    payload.append("\n", 1);
    payload.append('\0');

    std::lock_guard lock(m_mutex);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!startLocked())
            return std::nullopt;
        Failure failure = Failure::none;
        if (auto reply = exchangeLocked(payload, failure))
            return reply;
        stopLocked();
        // Only a pipeline that died is worth a second try; one that was still busy at the time-out
        // would be busy as long again with the same text.
        if (failure == Failure::timedOut)
            break;
    }
    return std::nullopt;
}

std::optional<QString> NullFlushPipeline::exchangeLocked(const QByteArray &payload, Failure &failure)
{
    failure = Failure::ended;
    // A fresh pipeline loads its data while it takes the first request; on a busy computer that alone
    // can outlast the time-out, and with no second try it needs the room in this one.
    const auto deadline = std::chrono::steady_clock::now() + (m_loaded ? m_timeout : 2 * m_timeout);
    auto remainingMs = [&] {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<long long>(0, left.count()));
    };

    qsizetype sent = 0;
    while (sent < payload.size()) {
        pollfd p {m_fd, POLLOUT, 0};
        if (poll(&p, 1, remainingMs()) <= 0) {
            failure = Failure::timedOut;
            return std::nullopt;
        }
        // Never blocking: a send larger than the room left would otherwise wait, past any deadline,
        // for a pipeline that has stopped reading.
        const ssize_t n = send(m_fd, payload.constData() + sent, payload.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return std::nullopt;
        }
        sent += n;
    }

    for (;;) {
        // Skip the empty replies that stages flush at end of input.
        while (!m_pending.isEmpty()) {
            const qsizetype nul = m_pending.indexOf('\0');
            if (nul < 0)
                break;
            QByteArray reply = m_pending.left(nul);
            m_pending.remove(0, nul + 1);
            if (nul == 0)
                continue;
            if (reply.endsWith('\n'))
                reply.chop(1);
            m_loaded = true;
            return QString::fromUtf8(reply);
        }
        pollfd p {m_fd, POLLIN, 0};
        const int ready = poll(&p, 1, remainingMs());
        if (ready <= 0) {
            qCWarning(lcApertium) << m_name << "did not answer in time";
            failure = Failure::timedOut;
            return std::nullopt;
        }
        char buffer[8192];
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
        if (n == 0)
            return std::nullopt; // the pipeline ended
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return std::nullopt;
        }
        m_pending.append(buffer, n);
    }
}

} // namespace Lumivox::Native::Apertium
