#pragma once

// Every notification that reaches the session's notification service, as dbus-monitor prints the
// calls: the texts of each call follow its "member=Notify" line.

#include "Support/TestSupport.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace Lumivox::Testing {

class NotificationWatch
{
public:
    NotificationWatch()
    {
        m_monitor.setProgram(QStringLiteral("dbus-monitor"));
        m_monitor.setArguments({QStringLiteral("--session"),
                                QStringLiteral("type='method_call',interface='org.freedesktop.Notifications',"
                                               "member='Notify'")});
        m_monitor.start();
    }
    ~NotificationWatch()
    {
        m_monitor.kill();
        m_monitor.waitForFinished(5000);
    }
    bool started()
    {
        return m_monitor.waitForStarted(5000) && spinUntil([&] { return read().contains("NameAcquired"); });
    }

    /// The calls so far, each as the text of its arguments.
    QStringList calls() { return QString::fromUtf8(read()).split(QStringLiteral("member=Notify")).mid(1); }
    QStringList callsContaining(const QString &text) { return calls().filter(text); }

private:
    const QByteArray &read()
    {
        m_output += m_monitor.readAllStandardOutput();
        return m_output;
    }

    QProcess m_monitor;
    QByteArray m_output;
};

} // namespace Lumivox::Testing
