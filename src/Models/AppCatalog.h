#pragma once

// The applications installed on this machine, for the settings pane that limits the program to chosen
// applications. An application's id is its desktop-file id without ".desktop", the same id the window
// list gives a running process (the running ones: WindowLookup::runningBundleIDs()).

#include <QIcon>
#include <QSize>
#include <QString>

#include <vector>

namespace Lumivox {

struct InstalledApp
{
    QString name;
    QString bundleID;
    /// Never null: a generic application icon stands in for a missing or unreadable one.
    QIcon icon;

    /// The size, in points, the icon is meant to be shown at.
    static constexpr QSize iconSize {32, 32};

    const QString &id() const { return bundleID; }
};

namespace AppCatalog {

/// The applications of the desktop entries under the XDG application folders (the user's data
/// folder first, then the system ones, and one level of subfolders in each), once per id, sorted by
/// name. Each call reads the folders again. Main thread (icons).
std::vector<InstalledApp> installed();

} // namespace AppCatalog

} // namespace Lumivox
