#include "Native/Translation/InstalledLanguages.h"

#include "Native/Apertium/NullFlushPipeline.h"
#include "Native/Translation/ApertiumTranslator.h"

#include <QDir>

namespace Lumivox::Native {

std::set<QString> onDeviceTargetLanguages(const QStringList &candidates)
{
    std::set<QString> found;
    const QStringList modes =
        QDir(Apertium::modesDirectory()).entryList({QStringLiteral("*.mode")}, QDir::Files | QDir::Readable);
    for (QString mode : modes) {
        mode.chop(5);
        const qsizetype dash = mode.indexOf(QLatin1Char('-'));
        if (dash <= 0)
            continue;
        const QString source = mode.left(dash);
        // The translator's own naming rule decides: a candidate counts when a session for it from this
        // mode's source would find this very mode.
        for (const QString &candidate : candidates) {
            if (ApertiumTranslation::modeNames(source, candidate).contains(mode))
                found.insert(candidate);
        }
    }
    return found;
}

} // namespace Lumivox::Native
