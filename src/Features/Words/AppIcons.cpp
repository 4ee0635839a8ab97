#include "Features/Words/AppIcons.h"

#include "Models/AppCatalog.h"

#include <QHash>
#include <QSet>

namespace Lumivox::AppIcons {

namespace {

struct Tables
{
    QHash<QString, QIcon> icons;
    QHash<QString, QString> names;
    QSet<QString> missing;
};

Tables &tables()
{
    static Tables instance;
    return instance;
}

// Identifiers that older word books carry for applications no desktop entry names.
const QHash<QString, QString> &knownNames()
{
    static const QHash<QString, QString> names {
        {QStringLiteral("com.apple.Passwords"), QStringLiteral("Passwords")},
        {QStringLiteral("com.apple.MobileSMS"), QStringLiteral("Messages")},
    };
    return names;
}

} // namespace

QString name(const QString &appID)
{
    Tables &t = tables();
    if (const auto it = t.names.constFind(appID); it != t.names.cend())
        return *it;
    QString found;
    if (const auto app = AppCatalog::application(appID))
        found = app->name;
    else
        found = knownNames().value(appID, appID);
    t.names.insert(appID, found);
    return found;
}

QIcon icon(const std::optional<QString> &appID)
{
    if (!appID || appID->isEmpty())
        return {};
    Tables &t = tables();
    if (t.missing.contains(*appID))
        return {};
    if (const auto it = t.icons.constFind(*appID); it != t.icons.cend())
        return *it;
    QIcon found;
    if (const auto app = AppCatalog::application(*appID))
        found = app->icon;
    else if (!appID->contains(QLatin1Char('/')))
        found = AppCatalog::iconNamed(*appID);
    if (found.isNull()) {
        t.missing.insert(*appID);
        return {};
    }
    t.icons.insert(*appID, found);
    return found;
}

} // namespace Lumivox::AppIcons
