#pragma once

// The About pane: name, version, the definition of the name, the update check and the problem
// report, and the copyright line.

#include "Features/Settings/SettingsServices.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace Lumivox {

class AboutSettingsModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    /// The version and the notice the build was made with.
    static QString buildVersion();
    static QString buildCopyright();

    /// `reportProblem` mails the diagnostic report; empty when nobody can.
    AboutSettingsModel(SettingsUpdater *updater, std::function<void()> reportProblem, QString version = buildVersion(),
                       QString copyright = buildCopyright(), QObject *parent = nullptr);

    QString versionText() const { return QStringLiteral("Version ") + m_version; }
    QString copyright() const { return m_copyright; }
    bool canCheckForUpdates() const { return m_updater && m_updater->canCheckForUpdates(); }

    void checkForUpdates();
    void reportProblem();

signals:
    void canCheckForUpdatesChanged();

private:
    QPointer<SettingsUpdater> m_updater;
    std::function<void()> m_reportProblem;
    QString m_version;
    QString m_copyright;
};

} // namespace Lumivox
