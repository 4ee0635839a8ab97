#include "Features/Shell/NoticeTexts.h"

#include <QDir>

namespace Lumivox::NoticeTexts {

namespace {

const QString gnomeCommand = QStringLiteral("gsettings set org.gnome.desktop.interface toolkit-accessibility true");

bool isDesktop(const QString &currentDesktop, std::initializer_list<const char *> names)
{
    for (const QString &part : currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        for (const char *name : names) {
            if (part.trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

QString assistiveTechnologiesStep(const QString &currentDesktop)
{
    if (isDesktop(currentDesktop, {"XFCE"}))
        return QStringLiteral("Turn on “Enable assistive technologies” in Settings › Accessibility.");
    if (isDesktop(currentDesktop, {"MATE"}))
        return QStringLiteral("Turn on “Enable assistive technologies” in Control Center › Assistive Technologies.");
    if (isDesktop(currentDesktop, {"GNOME", "Unity", "Budgie", "Pantheon"}))
        return QStringLiteral("Turn on assistive technologies: in a terminal, run\n") + gnomeCommand;
    return QStringLiteral("Turn on assistive technologies in your desktop’s accessibility settings, or in a "
                          "terminal run\n")
        + gnomeCommand;
}

} // namespace

QString readablePath(const QString &path)
{
    const QString home = QDir::homePath();
    if (!home.isEmpty() && home != QLatin1String("/") && path.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + path.mid(home.size());
    return path;
}

Notice permissionHelp(CoordinatorWindows::Permission permission, const QString &currentDesktop)
{
    if (permission == CoordinatorWindows::Permission::accessibility) {
        return {QStringLiteral("accessibilityHelp"),
                QStringLiteral("Turn on accessibility"),
                QStringLiteral("Lumivox reads the word under the pointer through your desktop’s accessibility "
                               "support, and could not turn it on. Until it is on, words are read from the "
                               "screen only."),
                {QStringLiteral("Make sure the accessibility bus is installed (on Debian and Ubuntu, the package "
                                "at-spi2-core)."),
                 assistiveTechnologiesStep(currentDesktop),
                 QStringLiteral("Log out and back in. An application started before accessibility was on keeps "
                                "its text to itself until it is started again.")}};
    }
    return {QStringLiteral("screenCaptureHelp"),
            QStringLiteral("Screen capture needs an X11 session"),
            QStringLiteral("Lumivox reads words in images and PDFs from a picture of the screen. Only an X11 "
                           "session lets a program take one; Wayland does not."),
            {QStringLiteral("Log out."),
             QStringLiteral("On the login screen, choose an X11 session in the session menu (often called "
                            "“on Xorg”)."),
             QStringLiteral("Log in and start Lumivox again.")}};
}

Notice reportNotice(const DiagnosticReport::Delivery &delivery)
{
    using Route = DiagnosticReport::Delivery::Route;
    Notice notice;
    notice.name = QStringLiteral("reportNotice");
    switch (delivery.route) {
    case Route::attached:
        notice.title = QStringLiteral("The report is in a new message");
        break;
    case Route::noMailProgram:
        notice.title = QStringLiteral("No mail program is set up");
        break;
    case Route::webBrowser:
        notice.title = QStringLiteral("Mail links open in your web browser");
        break;
    case Route::mailProgramFailed:
        notice.title = QStringLiteral("Your mail program did not open");
        break;
    case Route::noFile:
        notice.title = QStringLiteral("The report could not be saved");
        break;
    }

    QStringList said;
    if (delivery.route == Route::webBrowser)
        said.append(QStringLiteral("A web page cannot take an attached file, so nothing was sent."));
    said.append(delivery.onClipboard ? QStringLiteral("The diagnostic report is on the clipboard.")
                                     : QStringLiteral("The diagnostic report could not be put on the clipboard."));
    if (delivery.file) {
        said.append(QStringLiteral("It is saved as %1%2")
                        .arg(readablePath(*delivery.file),
                             delivery.folderAsked
                                 ? QStringLiteral(", and Lumivox asked your desktop to open its folder.")
                                 : QStringLiteral(".")));
    }
    if (!delivery.file && !delivery.onClipboard) {
        said.append(QStringLiteral("Nothing was kept to send; please try again."));
        notice.text = said.join(QLatin1Char(' '));
        return notice;
    }
    notice.text = said.join(QLatin1Char(' '));

    const QString pasteOrAttach = delivery.file && delivery.onClipboard
        ? QStringLiteral("paste the report or attach the file")
        : delivery.file ? QStringLiteral("attach the file")
                        : QStringLiteral("paste the report");
    notice.steps = {QStringLiteral("Write to %1 from any mail program or web mail, and %2.")
                        .arg(DiagnosticReport::supportAddress, pasteOrAttach)};
    return notice;
}

} // namespace Lumivox::NoticeTexts
