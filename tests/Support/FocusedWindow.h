#pragma once

// A plain_window fixture that takes the keyboard focus and reports what reaches it, read line by line
// while it runs.

#include "Support/TestSupport.h"

#include <QList>
#include <QProcess>
#include <QStringList>

#include <cstdint>

namespace Lumivox::Testing {

/// A focused plain_window that reports presses, letter keys, typed text, lone Alt taps and losing the
/// focus. `more` are further arguments (--field TEXT makes it a text field with its text selected).
class FocusedWindow
{
public:
    explicit FocusedWindow(const QString &geometry = QStringLiteral("200,150,400,300"), const QStringList &more = {})
    {
        m_process.setProgram(qEnvironmentVariable("LUMIVOX_FIXTURES_DIR") + QStringLiteral("/plain_window"));
        m_process.setArguments(QStringList {QStringLiteral("--at"), geometry, QStringLiteral("--report")} + more);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        Testing::spinUntil(
            [&] {
                readLines();
                return m_windowID != 0;
            },
            std::chrono::seconds(15));
    }
    ~FocusedWindow()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    std::uint32_t windowID() const { return m_windowID; }
    const QList<QByteArray> &lines()
    {
        readLines();
        return m_lines;
    }

private:
    void readLines()
    {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            m_lines << line;
            if (line.startsWith("ready "))
                m_windowID = line.split(' ').value(1).toUInt();
        }
    }

    QProcess m_process;
    QList<QByteArray> m_lines;
    std::uint32_t m_windowID = 0;
};

} // namespace Lumivox::Testing
