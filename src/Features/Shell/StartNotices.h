#pragma once

// What the program tells the user by desktop notification once, as it starts: that it runs without
// an icon because the panel has no tray (after a start at login nothing else would show), and which
// of the user's files it could not read and kept aside before starting fresh (otherwise settings
// would seem reset and words lost, with no word of where they went).

#include "Native/Session/Notifications.h"

#include <QString>

#include <optional>
#include <vector>

namespace Lumivox::StartNotices {

using Notification = Native::Notifications::Notification;

/// The program runs, but the panel has no tray to show its icon in.
Notification noTray();

/// A file of the user's that could not be read at start and was set aside.
struct KeptFile
{
    /// `historyLines`: only the history's lines that did not decode, kept in a file of their own.
    enum class Store { preferences, savedWords, history, historyLines, diagnostics };
    Store store = Store::preferences;
    QString file;
    /// Its name now, in the same folder.
    QString keptAs;

    bool operator==(const KeptFile &) const = default;
};

/// One notification naming every file kept aside and what started fresh; none when there is none.
std::optional<Notification> keptFiles(const std::vector<KeptFile> &files);

/// Sends the notice of the kept files, if any. Nothing waits for the notification service.
void sendKeptFiles(Native::Notifications &notifications, const std::vector<KeptFile> &files);
/// Sends the notice of the missing tray, and logs it.
void sendNoTray(Native::Notifications &notifications);

} // namespace Lumivox::StartNotices
