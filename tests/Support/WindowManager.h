#pragma once

// The window manager of the private session, as the root window tells it: whether one runs and
// whether it has finished starting.

#include <QByteArray>
#include <QProcess>
#include <QString>

namespace Lumivox::Testing {

inline QByteArray rootProperty(const char *name)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QString::fromLatin1(name)});
    xprop.waitForFinished(5000);
    return xprop.readAllStandardOutput();
}

inline bool windowManagerRunning()
{
    return rootProperty("_NET_SUPPORTING_WM_CHECK").contains("window id");
}

// openbox announces itself before it has finished starting, and a window mapped in between is
// sometimes never managed; its client list appears once it has.
inline bool windowManagerReady()
{
    return windowManagerRunning()
        && rootProperty("_NET_CLIENT_LIST_STACKING").startsWith("_NET_CLIENT_LIST_STACKING(WINDOW)");
}

} // namespace Lumivox::Testing
