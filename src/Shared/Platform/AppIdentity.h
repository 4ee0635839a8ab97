#pragma once

// Who this program is and where it runs: its own process and app id (so that it never reads words
// from its own windows), the applications whose windows are never captured, and whether it runs in
// a test host or a CI job (where work that needs a real user session is skipped).

#include <QPointF>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <set>

#include <sys/types.h>

namespace Lumivox::AppIdentity {

/// Our own app id (also the desktop-file name).
inline const QString appID = QStringLiteral("app.lumivox");
/// The object name of the tooltip panel, by which its window is known as ours without asking the
/// window server.
inline const QString tooltipPanelObjectName = QStringLiteral("lumivox.tooltip");

pid_t currentProcessID();
/// Our app id; "app.lumivox" unless LUMIVOX_APP_ID names a separately identified build.
std::optional<QString> bundleID();
const std::set<QString> &drmProtectedBundleIDs();

bool isHostingTests();
bool isRunningInCI();
bool isIsolatedFromDailyApp();

bool isCurrentApp(pid_t pid);
bool isCurrentApp(const std::optional<QString> &bundleIdentifier);
bool isDRMProtected(const std::optional<QString> &bundleIdentifier);

/// True when the point (Cocoa coordinates) is over one of our own visible windows and no other
/// application's window covers it there. Main thread.
bool isPointInsideOwnWindow(QPointF cocoaPoint);

/// What the test-host and CI rules look at; the live values come from the process.
struct Facts
{
    std::map<QString, QString> environment;
    QStringList arguments;
    std::optional<QString> bundleID;
    QStringList loadedModulePaths;
};
bool isHostingTests(const Facts &facts);
bool isRunningInCI(const Facts &facts);
bool isIsolatedFromDailyApp(const std::optional<QString> &bundleID);

} // namespace Lumivox::AppIdentity
