#pragma once

// The Linux updater: reads the update feed over https with a size limit and an overall deadline,
// compares the newest release with ours and offers it. Main thread.

#include "Native/Updates/Updater.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

namespace Lumivox::Native {

class AppcastUpdater final : public Updater
{
    Q_OBJECT
public:
    struct Options
    {
        /// https, path "/appcast.xml". Plain http is accepted only for a loopback host (tests); a
        /// redirect is followed only to an address Appcast::isSafeAddress accepts.
        QUrl feedURL;
        QString currentVersion;
        UpdaterDelegate *delegate = nullptr;
        UpdateUserDriver *userDriver = nullptr;
        /// Opens the release's page in the user's browser.
        std::function<void(const QUrl &)> openURL;
        /// The version the user chose to skip, and where that choice is kept.
        std::function<QString()> skippedVersion;
        std::function<void(const QString &)> setSkippedVersion;
        bool automaticChecks = true;
        /// Keeps the user's choice of automatic checks.
        std::function<void(bool)> storeAutomaticChecks;
        std::chrono::milliseconds firstCheckDelay {std::chrono::minutes(1)};
        std::chrono::milliseconds checkInterval {std::chrono::hours(24)};
        /// A feed that has not arrived whole by then is given up, however slowly it is still coming.
        std::chrono::milliseconds timeout {std::chrono::seconds(20)};
    };

    /// Our feed.
    static QUrl defaultFeedURL() { return QUrl(QStringLiteral("https://lumivox.app/appcast.xml")); }

    explicit AppcastUpdater(Options options, QObject *parent = nullptr);
    ~AppcastUpdater() override;

    bool canCheckForUpdates() const override { return m_started && !m_reply; }
    void start() override;
    void checkForUpdates() override;
    bool automaticallyChecksForUpdates() const override { return m_options.automaticChecks; }
    void setAutomaticallyChecksForUpdates(bool on) override;

private:
    enum class Kind { scheduled, userInitiated };
    void startCheck(Kind kind);
    void finishCheck(Kind kind);
    void fail(Kind kind, int code, const QString &message);
    void offer(Kind kind, const UpdateItem &item);
    void setChecking(QNetworkReply *reply);

    Options m_options;
    QNetworkAccessManager *m_network;
    // The check in flight (a QNetworkReply).
    QPointer<QObject> m_reply;
    QTimer m_schedule;
    bool m_started = false;
};

} // namespace Lumivox::Native
