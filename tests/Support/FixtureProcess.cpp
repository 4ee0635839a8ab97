#include "Support/FixtureProcess.h"

#include "Support/TestSupport.h"

#include <QCoreApplication>

#include <csignal>

namespace Lumivox::Testing {

QString FixtureProcess::fixturesDirectory()
{
    // Test programs and benchmarks both sit one folder below the build's fixtures/.
    return qEnvironmentVariable("LUMIVOX_FIXTURES_DIR",
                                QCoreApplication::applicationDirPath() + QStringLiteral("/../fixtures"));
}

bool FixtureProcess::start(const QString &name, const QStringList &arguments, const QProcessEnvironment &environment,
                           std::chrono::milliseconds timeout)
{
    stop();
    m_lines.clear();
    m_readyLine.clear();
    m_ready = false;
    m_process.setProcessEnvironment(environment);
    // The fixture's complaints belong in the test's log.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(fixturesDirectory() + QLatin1Char('/') + name, arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    m_ready = spinUntil(
        [&] {
            while (m_process.canReadLine()) {
                QByteArray line = m_process.readLine();
                line.chop(line.endsWith('\n') ? 1 : 0);
                const QList<QByteArray> words = line.split(' ');
                if (words.first() == "ready") {
                    m_readyLine = words;
                    return true;
                }
                m_lines.append(line);
            }
            return false;
        },
        timeout);
    return m_ready;
}

void endProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    // A stopped process takes no SIGTERM until it runs again.
    ::kill(pid_t(process.processId()), SIGCONT);
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished(5000);
}

void FixtureProcess::stop()
{
    endProcess(m_process);
}

} // namespace Lumivox::Testing
