#pragma once

// SIGTERM, SIGINT and SIGHUP as ordinary events of the main loop. A signal handler may do almost nothing
// safely, so it only writes the signal into a pipe; the main loop reads the pipe and emits
// `received`, from where the program ends the same way as when the user quits, pending saves
// included. One instance per process; main thread.

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace Lumivox::Native {

class TerminationSignals final : public QObject
{
    Q_OBJECT
public:
    /// Takes over SIGTERM, SIGINT and SIGHUP until destroyed (the default actions come back then). Nothing,
    /// with the reason logged, when another instance lives or the pipe cannot be made.
    static std::unique_ptr<TerminationSignals> install();
    ~TerminationSignals() override;

signals:
    /// `sender` is the process that sent the signal (0 when the kernel does not say).
    void received(int signal, qint64 sender);

private:
    TerminationSignals(int readEnd);
    void drain();

    int m_readEnd;
    QSocketNotifier m_notifier;
};

} // namespace Lumivox::Native
