#include "Features/Shell/StartNotices.h"

#include "Features/Shell/NoticeTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcStartNotices, "app.lumivox.App")

namespace Lumivox::StartNotices {

namespace {

const QString desktopEntry = QStringLiteral("app.lumivox");

QString line(const KeptFile &kept)
{
    const QFileInfo original(kept.file);
    const QString keptAs = NoticeTexts::readablePath(original.dir().filePath(QFileInfo(kept.keptAs).fileName()));
    QString what;
    switch (kept.store) {
    case KeptFile::Store::preferences:
        what = QStringLiteral("Your settings could not be read and are back to their defaults.");
        break;
    case KeptFile::Store::savedWords:
        what = QStringLiteral("Your saved words could not be read; the list starts empty.");
        break;
    case KeptFile::Store::history:
        what = QStringLiteral("Your look-up history could not be read; it starts empty.");
        break;
    case KeptFile::Store::historyLines:
        // The file itself was read: what is kept aside is a new file of the lines left out.
        return QStringLiteral("Some lines of your look-up history could not be read and were left out. They are "
                              "kept in %1.")
            .arg(keptAs);
    case KeptFile::Store::diagnostics:
        what = QStringLiteral("The record kept for problem reports could not be read; it starts empty.");
        break;
    }
    return what + QStringLiteral(" %1 is kept as %2.").arg(original.fileName(), keptAs);
}

} // namespace

Notification noTray()
{
    return {QStringLiteral("Lumivox is running"),
            QStringLiteral("Your panel has no tray, so Lumivox shows no icon there. Start Lumivox again to open its "
                           "Settings."),
            desktopEntry, false};
}

std::optional<Notification> keptFiles(const std::vector<KeptFile> &files)
{
    if (files.empty())
        return std::nullopt;
    QStringList lines;
    for (const KeptFile &kept : files)
        lines.append(line(kept));
    return Notification {files.size() == 1
                             ? QStringLiteral("Lumivox kept a file it could not read")
                             : QStringLiteral("Lumivox kept %1 files it could not read").arg(files.size()),
                         lines.join(QLatin1Char('\n')), desktopEntry, false};
}

namespace {

std::function<void(std::optional<std::uint32_t>)> logRefusal(const QString &title)
{
    return [title](std::optional<std::uint32_t> id) {
        if (!id)
            qCWarning(lcStartNotices).noquote() << "the desktop did not show:" << title;
    };
}

} // namespace

void sendKeptFiles(Native::Notifications &notifications, const std::vector<KeptFile> &files)
{
    if (const auto kept = keptFiles(files))
        notifications.show(*kept, logRefusal(kept->title));
}

void sendNoTray(Native::Notifications &notifications)
{
    qCWarning(lcStartNotices) << "this desktop has no tray (on GNOME it needs a tray extension); start Lumivox again"
                                 " to reach its settings";
    const Notification notice = noTray();
    notifications.show(notice, logRefusal(notice.title));
}

} // namespace Lumivox::StartNotices
