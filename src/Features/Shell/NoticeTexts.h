#pragma once

// What the program tells the user where the desktop gives it no page of its own to send them to:
// how to make a missing permission work on this desktop, and what became of a diagnostic report that
// no mail program took. Plain texts; NoticeDialog shows them.

#include "Features/Coordinator/CoordinatorWindows.h"
#include "Shared/Diagnostics/DiagnosticReport.h"

#include <QString>
#include <QStringList>

namespace Lumivox::NoticeTexts {

struct Notice
{
    /// The dialog's object name, and the prefix of its parts' names.
    QString name;
    QString title;
    QString text;
    /// Shown numbered, in order; may be empty.
    QStringList steps;

    bool operator==(const Notice &) const = default;
};

/// A path as a file manager shows it: "~/…" inside the home folder.
QString readablePath(const QString &path);

/// The steps that turn the permission on. `currentDesktop` is $XDG_CURRENT_DESKTOP (colon-separated
/// names such as "ubuntu:GNOME"); the accessibility steps name the switch of the desktops that have
/// one, and a command that works wherever the accessibility bus runs otherwise.
Notice permissionHelp(CoordinatorWindows::Permission permission, const QString &currentDesktop);

/// What was done with a report that was not attached to a message, where its file is, and how to
/// send it.
Notice reportNotice(const DiagnosticReport::Delivery &delivery);

} // namespace Lumivox::NoticeTexts
