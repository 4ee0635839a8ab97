#include "Features/Settings/AboutSettingsModel.h"

namespace Lumivox {

QString AboutSettingsModel::buildVersion()
{
    return QStringLiteral(LUMIVOX_VERSION);
}

QString AboutSettingsModel::buildCopyright()
{
    return QStringLiteral(LUMIVOX_COPYRIGHT);
}

AboutSettingsModel::AboutSettingsModel(SettingsUpdater *updater, std::function<void()> reportProblem, QString version,
                                       QString copyright, QObject *parent)
    : QObject(parent)
    , m_updater(updater)
    , m_reportProblem(std::move(reportProblem))
    , m_version(std::move(version))
    , m_copyright(std::move(copyright))
{
    if (m_updater)
        connect(m_updater, &SettingsUpdater::canCheckForUpdatesChanged, this,
                &AboutSettingsModel::canCheckForUpdatesChanged);
}

void AboutSettingsModel::checkForUpdates()
{
    if (canCheckForUpdates())
        m_updater->checkForUpdates();
}

void AboutSettingsModel::reportProblem()
{
    if (m_reportProblem)
        m_reportProblem();
}

} // namespace Lumivox
