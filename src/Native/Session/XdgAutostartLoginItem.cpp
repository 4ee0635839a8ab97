// The login item as an XDG autostart entry. The file is ours (named after our app id) and is written
// whole and atomically, so a desktop that reads it at login never sees half an entry.

#include "Native/Session/LoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>

namespace Lumivox::Native {

namespace {

Q_LOGGING_CATEGORY(lcLoginItem, "app.lumivox.Session")

// An entry of ours is a few hundred bytes; anything far larger at that path is not worth reading.
constexpr qint64 maxEntrySize = 64 * 1024;

// The Exec key's quoting: an argument with reserved characters goes in double quotes, inside which
// ", `, $ and \ take a backslash; the file's string rules then double every backslash, so a literal
// backslash ends up as four and a literal $ as \\$. A % would start a field code, so it is doubled.
QString quotedArgument(QString argument)
{
    argument.replace(u'%', QStringLiteral("%%"));
    static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (!needsQuotes)
        return argument;
    QString out = QStringLiteral("\"");
    for (QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$')
            out += QStringLiteral("\\\\");
        else if (c == u'\\')
            out += QStringLiteral("\\\\\\");
        out += c;
    }
    return out + u'"';
}

// Only the main group counts, and only an exact Hidden=true (the format's booleans are lower case).
bool saysHidden(const QByteArray &contents)
{
    bool inMainGroup = false;
    for (const QByteArray &rawLine : contents.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && line.left(equals).trimmed() == "Hidden")
            return line.mid(equals + 1).trimmed() == "true";
    }
    return false;
}

class AutostartLoginItem final : public LoginItem
{
public:
    AutostartLoginItem(QString folder, QString executable, QString appID)
        : m_folder(std::move(folder))
        , m_executable(std::move(executable))
        , m_path(QDir(m_folder).filePath(appID + QStringLiteral(".desktop")))
    { }

    bool isEnabled() override
    {
        const QFileInfo info(m_path);
        // A FIFO or a device at that path would block or never end; neither is an entry we wrote.
        if (!info.isFile())
            return false;
        QFile file(m_path);
        if (info.size() > maxEntrySize || !file.open(QIODevice::ReadOnly))
            return false;
        return !saysHidden(file.readAll());
    }

    bool setEnabled(bool enabled) override { return enabled ? write() : erase(); }

private:
    bool write()
    {
        if (!QDir().mkpath(m_folder)) {
            qCWarning(lcLoginItem).noquote() << "cannot start at login: the folder" << m_folder << "cannot be made";
            return false;
        }
        // A line break would end the Exec line early and leave the rest of the path as a key of its own.
        if (m_executable.contains(u'\n') || m_executable.contains(u'\r')) {
            qCWarning(lcLoginItem).noquote() << "cannot start at login: the program's path has a line break";
            return false;
        }
        QSaveFile file(m_path);
        const QByteArray entry = QStringLiteral("[Desktop Entry]\n"
                                                "Type=Application\n"
                                                "Name=Lumivox\n"
                                                "Comment=Translate the word under the pointer\n"
                                                "Exec=%1 --autostart\n"
                                                "Icon=app.lumivox\n"
                                                "Terminal=false\n"
                                                "X-GNOME-Autostart-enabled=true\n")
                                     .arg(quotedArgument(m_executable))
                                     .toUtf8();
        if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.commit()) {
            qCWarning(lcLoginItem).noquote()
                << "cannot start at login: writing" << m_path << "failed:" << file.errorString();
            return false;
        }
        return true;
    }

    bool erase()
    {
        const QFileInfo info(m_path);
        if (!info.exists() && !info.isSymLink())
            return true;
        QFile file(m_path);
        if (!file.remove()) {
            qCWarning(lcLoginItem).noquote()
                << "cannot stop starting at login: removing" << m_path << "failed:" << file.errorString();
            return false;
        }
        return true;
    }

    QString m_folder;
    QString m_executable;
    QString m_path;
};

} // namespace

std::shared_ptr<LoginItem> LoginItem::autostartEntry(QString folder, QString executable, QString appID)
{
    return std::make_shared<AutostartLoginItem>(std::move(folder), std::move(executable), std::move(appID));
}

QString LoginItem::userAutostartFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
}

} // namespace Lumivox::Native
