#include "Native/Translation/TranslationRoutes.h"

#include "Native/Apertium/NullFlushPipeline.h"
#include "Native/Translation/ApertiumTranslator.h"

#include <QDir>

namespace Lumivox::Native {

TranslationRoutes::TranslationRoutes(const QStringList &installedModes)
{
    for (const QString &mode : installedModes) {
        m_modes.insert(mode);
        const QStringList parts = mode.split(QLatin1Char('-'));
        if (parts.size() != 2)
            continue;
        const QString from = ApertiumTranslation::languageOfModeCode(parts[0]);
        const QString to = ApertiumTranslation::languageOfModeCode(parts[1]);
        if (from.isEmpty() || to.isEmpty() || from == to)
            continue;
        m_languages.insert(from);
        m_languages.insert(to);
    }
}

TranslationRoutes TranslationRoutes::installed()
{
    QStringList modes =
        QDir(Apertium::modesDirectory()).entryList({QStringLiteral("*.mode")}, QDir::Files | QDir::Readable);
    for (QString &mode : modes)
        mode.chop(5);
    return TranslationRoutes(modes);
}

std::optional<QString> TranslationRoutes::installedMode(const QString &source, const QString &target) const
{
    // The translator's own naming rule: the first of the names it would look up that is installed.
    for (const QString &name : ApertiumTranslation::modeNames(source, target)) {
        if (m_modes.count(name) > 0)
            return name;
    }
    return std::nullopt;
}

std::optional<TranslationRoute> TranslationRoutes::route(const QString &source, const QString &target) const
{
    if (source == target)
        return std::nullopt;
    if (const auto direct = installedMode(source, target))
        return TranslationRoute {source, target, {*direct}, std::nullopt};
    for (const QString &middle : m_languages) {
        if (middle == source || middle == target)
            continue;
        const auto first = installedMode(source, middle);
        const auto second = first ? installedMode(middle, target) : std::nullopt;
        if (second)
            return TranslationRoute {source, target, {*first, *second}, middle};
    }
    return std::nullopt;
}

std::set<std::pair<QString, QString>> TranslationRoutes::pairsAmong(const QStringList &codes) const
{
    std::set<std::pair<QString, QString>> pairs;
    for (const QString &from : codes) {
        for (const QString &to : codes) {
            if (route(from, to))
                pairs.emplace(from, to);
        }
    }
    return pairs;
}

} // namespace Lumivox::Native
