#pragma once

// One fixture application of tests/System/Fixtures in its own process: started, waited for until
// it prints its "ready" line, and stopped with the object. Every line it printed up to then is kept,
// since fixtures report where their words and windows are before they say they are ready.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <chrono>

namespace Lumivox::Testing {

/// Ends a process, one a test has stopped (SIGSTOP) included; harmless when it is not running.
void endProcess(QProcess &process);

class FixtureProcess
{
public:
    FixtureProcess() = default;
    FixtureProcess(const FixtureProcess &) = delete;
    FixtureProcess &operator=(const FixtureProcess &) = delete;
    ~FixtureProcess() { stop(); }

    /// Where the fixture programs are: LUMIVOX_FIXTURES_DIR, else the build's fixtures/ folder.
    static QString fixturesDirectory();

    /// Starts the fixture program `name` and waits until it prints a line whose first word is
    /// "ready". False when it did not start or was not ready within `timeout`.
    bool start(const QString &name, const QStringList &arguments,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
               std::chrono::milliseconds timeout = std::chrono::seconds(15));

    /// Ends the process, one a test has stopped (SIGSTOP) included; harmless when it is not running.
    void stop();

    bool isReady() const { return m_ready; }
    qint64 pid() const { return m_process.processId(); }
    /// The lines printed before the ready line, without their line ends.
    const QList<QByteArray> &lines() const { return m_lines; }
    /// The ready line, split at spaces: "ready" and what the fixture said with it.
    const QList<QByteArray> &readyLine() const { return m_readyLine; }

private:
    QProcess m_process;
    QList<QByteArray> m_lines;
    QList<QByteArray> m_readyLine;
    bool m_ready = false;
};

} // namespace Lumivox::Testing
