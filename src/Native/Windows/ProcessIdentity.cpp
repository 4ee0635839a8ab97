#include "Native/Windows/ProcessIdentity.h"

#include <QFile>
#include <QFileInfo>

namespace Lumivox::Native::ProcessIdentity {

std::optional<QString> desktopFileFromEnvironment(std::int32_t pid)
{
    QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &entry : file.readAll().split('\0')) {
        if (entry.startsWith("GIO_LAUNCHED_DESKTOP_FILE=")) {
            QString name = QFileInfo(QString::fromLocal8Bit(entry.mid(26))).fileName();
            if (name.endsWith(QLatin1String(".desktop")))
                name.chop(8);
            if (!name.isEmpty())
                return name;
        }
    }
    return std::nullopt;
}

std::optional<QString> executableName(std::int32_t pid)
{
    const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (!exe.isEmpty())
        return QFileInfo(exe).fileName();
    // Another user's process hides its executable; its command name is still readable.
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (comm.open(QIODevice::ReadOnly)) {
        const QString name = QString::fromLocal8Bit(comm.readAll()).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return std::nullopt;
}

std::optional<QString> applicationID(std::int32_t pid)
{
    if (pid <= 0 || !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
        return std::nullopt;
    if (auto id = desktopFileFromEnvironment(pid))
        return id;
    return executableName(pid);
}

} // namespace Lumivox::Native::ProcessIdentity
