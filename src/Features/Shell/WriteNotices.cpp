#include "Features/Shell/WriteNotices.h"

#include "Features/Shell/NoticeTexts.h"

#include <QLoggingCategory>

#include <cerrno>
#include <cstdio>

Q_DECLARE_LOGGING_CATEGORY(lcStartNotices)

namespace Lumivox::WriteNotices {

namespace {

const QString desktopEntry = QStringLiteral("app.lumivox");

// Told by the system's number: its text follows the locale and says "device" where a user says disk.
QString cause(const PrivateFile::Outcome &why)
{
    switch (why.code) {
    case ENOSPC:
        return QStringLiteral("the disk is full");
    case EDQUOT:
        return QStringLiteral("your disk quota is used up");
    case EACCES:
    case EPERM:
        return QStringLiteral("Lumivox has no permission to write there");
    case EROFS:
        return QStringLiteral("the disk is read-only");
    default:
        return why.error;
    }
}

QString advice(const PrivateFile::Outcome &why)
{
    switch (why.code) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("Free some space, and keep Lumivox running until then.");
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("Make the folder writable, and keep Lumivox running until then.");
    default:
        return QStringLiteral("Keep Lumivox running until then.");
    }
}

// What the file holds for the user, as the texts name it.
QString contents(UserFile file)
{
    switch (file) {
    case UserFile::preferences:
        return QStringLiteral("your settings");
    case UserFile::savedWords:
        return QStringLiteral("your saved words");
    case UserFile::history:
        break;
    }
    return QStringLiteral("your look-up history");
}

QString couldNotBeWritten(const WriteFailure &failure)
{
    return QStringLiteral("%1 could not be written: %2.")
        .arg(NoticeTexts::readablePath(failure.path), cause(failure.why));
}

} // namespace

Notification failed(const WriteFailure &failure)
{
    QString title;
    QString kept;
    switch (failure.file) {
    case UserFile::preferences:
        title = QStringLiteral("Lumivox could not save your settings");
        kept = QStringLiteral("Your settings are");
        break;
    case UserFile::savedWords:
        title = QStringLiteral("Lumivox could not save your words");
        kept = QStringLiteral("Your words are");
        break;
    case UserFile::history:
        title = QStringLiteral("Lumivox could not save your look-up history");
        kept = QStringLiteral("Your look-ups are");
        break;
    }
    return {title,
            QStringLiteral("%1 %2 kept while Lumivox runs and written as soon as it can. %3")
                .arg(couldNotBeWritten(failure), kept, advice(failure.why)),
            desktopEntry, false};
}

std::optional<Notification> unwrittenAtEnd(const std::vector<WriteFailure> &failures)
{
    if (failures.empty())
        return std::nullopt;
    QStringList lines;
    for (const WriteFailure &failure : failures) {
        lines.append(QStringLiteral("%1 What changed in %2 since it was last written is lost; the file still holds "
                                    "what it held before.")
                         .arg(couldNotBeWritten(failure), contents(failure.file)));
    }
    QString title = QStringLiteral("Lumivox quit without saving everything");
    if (failures.size() == 1) {
        title = failures.front().file == UserFile::savedWords
            ? QStringLiteral("Lumivox quit without saving your words")
            : QStringLiteral("Lumivox quit without saving ") + contents(failures.front().file);
    }
    return Notification {title, lines.join(QLatin1Char('\n')), desktopEntry, false};
}

QStringList terminalLines(const std::vector<WriteFailure> &failures)
{
    QStringList lines;
    for (const WriteFailure &failure : failures) {
        lines.append(QStringLiteral("lumivox: %1 could not be written (%2); what changed in %3 since it was last "
                                    "written is lost.")
                         .arg(failure.path, failure.why.error, contents(failure.file)));
    }
    return lines;
}

void send(Native::Notifications &notifications, const WriteFailure &failure)
{
    const Notification notice = failed(failure);
    notifications.show(notice, [title = notice.title](std::optional<std::uint32_t> id) {
        if (!id)
            qCWarning(lcStartNotices).noquote() << "the desktop did not show:" << title;
    });
}

void tellAtEnd(Native::Notifications &notifications, const std::vector<WriteFailure> &failures,
               std::chrono::milliseconds limit)
{
    for (const QString &line : terminalLines(failures))
        std::fprintf(stderr, "%s\n", qUtf8Printable(line));
    std::fflush(stderr);
    if (const auto notice = unwrittenAtEnd(failures); notice && !notifications.showBeforeEnd(*notice, limit))
        qCWarning(lcStartNotices).noquote() << "the desktop did not show:" << notice->title;
}

} // namespace Lumivox::WriteNotices
