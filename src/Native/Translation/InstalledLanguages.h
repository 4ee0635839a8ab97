#pragma once

// Which languages this computer can translate into on the device: those an installed Apertium pair
// translates into. Read from the installed mode files once at start; nothing is started.

#include <QString>
#include <QStringList>

#include <set>

namespace Lumivox::Native {

/// The codes among `candidates` (lower-case codes of the language table) that some installed mode
/// translates into, named the way the translator looks its modes up ("en-es", "eng-spa", …). Modes of
/// a regional variant ("spa-eng_US") or of more than two parts ("eco-es-fr") name no language of the
/// table and count for nothing.
std::set<QString> onDeviceTargetLanguages(const QStringList &candidates);

} // namespace Lumivox::Native
