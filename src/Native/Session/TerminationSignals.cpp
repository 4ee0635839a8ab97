#include "Native/Session/TerminationSignals.h"

#include <QLoggingCategory>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace Lumivox::Native {

namespace {

Q_LOGGING_CATEGORY(lcSignals, "app.lumivox.Session")

// What the handler writes: small enough that a pipe writes it whole or not at all.
struct Record
{
    int signal;
    pid_t sender;
};

std::atomic<int> writeEnd {-1};

void onSignal(int signal, siginfo_t *info, void *)
{
    const int saved = errno; // the interrupted code may be about to read errno
    const Record record {signal, info ? info->si_pid : 0};
    const int fd = writeEnd.load();
    if (fd >= 0) {
        // Async-signal-safe; a full pipe already carries a request to end, so losing this one is fine.
        [[maybe_unused]] const ssize_t written = ::write(fd, &record, sizeof record);
    }
    errno = saved;
}

// SIGHUP comes when the terminal the program was started from closes, and with some logouts.
constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};

} // namespace

std::unique_ptr<TerminationSignals> TerminationSignals::install()
{
    if (writeEnd.load() >= 0) {
        qCWarning(lcSignals) << "termination signals are already taken over";
        return nullptr;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcSignals) << "cannot make the signal pipe:" << strerror(errno);
        return nullptr;
    }
    writeEnd.store(fds[1]);
    std::unique_ptr<TerminationSignals> made(new TerminationSignals(fds[0]));
    struct sigaction action
    {
    };
    action.sa_sigaction = onSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : handledSignals)
        ::sigaction(signal, &action, nullptr);
    return made;
}

TerminationSignals::TerminationSignals(int readEnd)
    : m_readEnd(readEnd)
    , m_notifier(readEnd, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);
}

TerminationSignals::~TerminationSignals()
{
    struct sigaction action
    {
    };
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : handledSignals)
        ::sigaction(signal, &action, nullptr);
    m_notifier.setEnabled(false);
    const int fd = writeEnd.exchange(-1);
    ::close(fd);
    ::close(m_readEnd);
}

void TerminationSignals::drain()
{
    Record record {};
    while (::read(m_readEnd, &record, sizeof record) == static_cast<ssize_t>(sizeof record)) {
        qCInfo(lcSignals).noquote() << "received" << strsignal(record.signal) << "from process" << record.sender;
        emit received(record.signal, record.sender);
    }
}

} // namespace Lumivox::Native
