#pragma once

// What the program tells the user when one of their files cannot be written: at once, by desktop
// notification, while it still keeps what it could not write (a tooltip's "Saved to Words" must not
// be the last word on a save that then failed); and as it ends with a write that still fails, on the
// terminal and by a notification that has reached the service before the process goes.

#include "Native/Session/Notifications.h"
#include "Shared/Storage/WriteTrouble.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <vector>

namespace Lumivox::WriteNotices {

using Notification = Native::Notifications::Notification;

/// A write failed while the program runs: what, where, why, and that it is kept until it can be written.
Notification failed(const WriteFailure &failure);
/// The program ends with writes that failed: one notification naming them all; none when there is none.
std::optional<Notification> unwrittenAtEnd(const std::vector<WriteFailure> &failures);
/// One line for the terminal per failure, with the system's own words.
QStringList terminalLines(const std::vector<WriteFailure> &failures);

/// Sends failed(failure); nothing waits for the service.
void send(Native::Notifications &notifications, const WriteFailure &failure);
/// Prints the terminal lines and sends the notification of the end, waiting at most `limit` until the
/// service has taken it.
void tellAtEnd(Native::Notifications &notifications, const std::vector<WriteFailure> &failures,
               std::chrono::milliseconds limit);

} // namespace Lumivox::WriteNotices
