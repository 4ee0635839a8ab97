#pragma once

// The installed font families that can draw a language's script, for the tooltip's default font
// and the appearance settings. A language is passed as the values the search needs (its id, its
// sample script and its preferred family names, best first).
//
// Main thread only: fonts are built through the GUI font database. Building one font per installed
// family is slow, so results are kept for the whole run; fonts installed later are seen after a
// restart.

#include <QString>
#include <QStringList>

namespace Lumivox::FontCatalog {

/// Family names able to draw every character of `text`, ascending in code-point order.
QStringList families(const QString &text);

/// The families able to draw the sample script: those named in `preferredFonts` first, in that
/// order, then the rest by name.
QStringList fonts(const QString &sampleScript, const QStringList &preferredFonts);

/// One family for the language, never empty: its first preferred family that can draw the sample,
/// else the desktop's own Noto or DejaVu family that can (serif first), else the first that can,
/// else "SF Pro". Kept per language id.
QString bestFont(const QString &languageID, const QString &sampleScript, const QStringList &preferredFonts);

} // namespace Lumivox::FontCatalog
