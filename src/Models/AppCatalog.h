#pragma once

// The applications installed on this machine, for the settings pane that limits the program to chosen
// applications. An application's id is its desktop-file id without ".desktop", the same id the window
// list gives a running process (the running ones: WindowLookup::runningBundleIDs()).

#include <QIcon>
#include <QSize>
#include <QString>

#include <optional>
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

/// The application of one desktop-file id, found the way the desktop finds it (the user's folder
/// first, a "-" in the id standing for a subfolder); hidden entries count, as their windows still
/// need a name. None for an id that names no entry or could name a path. Main thread (icons).
std::optional<InstalledApp> application(const QString &id);

/// The icon of that name in the icon theme, then in hicolor and the pixmaps folder; a null icon when
/// none has it. Main thread.
QIcon iconNamed(const QString &name);

/// The name an application's desktop entry gives it in the user's language (the entry application() finds); absent when there is no such entry or it has no name. Entries are
/// read once per id and process. Main thread.
std::optional<QString> name(const QString &bundleID);

} // namespace AppCatalog

} // namespace Lumivox
