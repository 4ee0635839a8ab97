#include "Native/Updates/AppcastUpdater.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

Q_LOGGING_CATEGORY(lcUpdates, "app.lumivox.Updates")

namespace Lumivox::Native {

namespace {

const QString &errorDomain = updaterErrorDomain;
enum ErrorCode { networkError = 1, invalidFeed = 2, insecureFeed = 3 };

bool isLoopback(const QUrl &url)
{
    const QHostAddress address(url.host());
    return url.host() == u"localhost" || (!address.isNull() && address.isLoopback());
}

} // namespace

AppcastUpdater::AppcastUpdater(Options options, QObject *parent)
    : Updater(parent)
    , m_options(std::move(options))
    , m_network(new QNetworkAccessManager(this))
{
    m_schedule.setSingleShot(true);
    connect(&m_schedule, &QTimer::timeout, this, [this] {
        startCheck(Kind::scheduled);
        m_schedule.start(m_options.checkInterval);
    });
}

AppcastUpdater::~AppcastUpdater()
{
    if (auto *reply = qobject_cast<QNetworkReply *>(m_reply.data()))
        reply->abort();
}

void AppcastUpdater::start()
{
    if (m_started)
        return;
    m_started = true;
    emit canCheckForUpdatesChanged();
    if (m_options.automaticChecks)
        m_schedule.start(m_options.firstCheckDelay);
}

void AppcastUpdater::setAutomaticallyChecksForUpdates(bool on)
{
    m_options.automaticChecks = on;
    if (m_options.storeAutomaticChecks)
        m_options.storeAutomaticChecks(on);
    if (!on)
        m_schedule.stop();
    else if (m_started && !m_schedule.isActive())
        m_schedule.start(m_options.firstCheckDelay);
}

void AppcastUpdater::checkForUpdates()
{
    startCheck(Kind::userInitiated);
}

void AppcastUpdater::setChecking(QNetworkReply *reply)
{
    const bool before = canCheckForUpdates();
    m_reply = reply;
    if (canCheckForUpdates() != before)
        emit canCheckForUpdatesChanged();
}

void AppcastUpdater::startCheck(Kind kind)
{
    if (!canCheckForUpdates())
        return;
    const QUrl url = m_options.feedURL;
    if (!url.isValid() || !(url.scheme() == u"https" || (url.scheme() == u"http" && isLoopback(url)))) {
        fail(kind, insecureFeed, QStringLiteral("the update feed's address is not https"));
        return;
    }
    QNetworkRequest request(url);
    // Every redirect is looked at below: only to an address a release page could have.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(3);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Lumivox/%1").arg(m_options.currentVersion));
    QNetworkReply *reply = m_network->get(request);
    connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl &to) {
        if (Appcast::isSafeAddress(to)) {
            emit reply->redirectAllowed();
            return;
        }
        reply->setProperty("insecureRedirect", true);
        reply->abort();
    });
    // A feed that trickles in a byte at a time never trips an inactivity time-out: the whole read has
    // a deadline, or "Check for Updates" would stay greyed out and the daily check stop for good.
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [reply] {
        reply->setProperty("timedOut", true);
        reply->abort();
    });
    deadline->start(m_options.timeout);
    // A feed is a few kilobytes: stop reading one that grows past the limit instead of holding it.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > Appcast::maximumFeedBytes || total > Appcast::maximumFeedBytes) {
            reply->setProperty("tooLarge", true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, kind] {
        reply->deleteLater();
        setChecking(nullptr);
        if (reply->property("insecureRedirect").toBool()) {
            fail(kind, insecureFeed,
                 QStringLiteral("the update feed's address leads to one that is not https or carries a user name"));
            return;
        }
        if (reply->property("timedOut").toBool()) {
            fail(kind, networkError,
                 QStringLiteral("the update feed did not arrive within %1 seconds")
                     .arg(std::chrono::duration<double>(m_options.timeout).count()));
            return;
        }
        if (reply->property("tooLarge").toBool()) {
            fail(kind, invalidFeed,
                 QStringLiteral("the update feed is larger than %1 bytes").arg(Appcast::maximumFeedBytes));
            return;
        }
        if (reply->error() != QNetworkReply::NoError) {
            fail(kind, networkError,
                 QStringLiteral("the update feed could not be read (%1)").arg(reply->errorString()));
            return;
        }
        const auto parsed = Appcast::parse(reply->read(Appcast::maximumFeedBytes + 1));
        if (const auto *error = std::get_if<Appcast::Error>(&parsed)) {
            fail(kind, invalidFeed, error->message);
            return;
        }
        const auto newest =
            Appcast::newestUpdate(std::get<std::vector<Appcast::Item>>(parsed), m_options.currentVersion);
        if (newest)
            offer(kind, *newest);
        else
            finishCheck(kind);
    });
    setChecking(reply);
}

void AppcastUpdater::fail(Kind kind, int code, const QString &message)
{
    qCWarning(lcUpdates) << "update check failed:" << message;
    if (m_options.delegate)
        m_options.delegate->didAbortWithError(errorDomain, code);
    if (kind == Kind::userInitiated && m_options.userDriver) {
        if (m_options.delegate)
            m_options.delegate->willShowModalAlert();
        m_options.userDriver->showCheckFailed(message);
        if (m_options.delegate)
            m_options.delegate->didShowModalAlert();
    }
    if (kind == Kind::userInitiated && m_options.delegate)
        m_options.delegate->willFinishUpdateSession();
}

void AppcastUpdater::finishCheck(Kind kind)
{
    qCInfo(lcUpdates) << "no newer version than" << m_options.currentVersion;
    if (kind != Kind::userInitiated)
        return;
    if (m_options.delegate)
        m_options.delegate->willShowModalAlert();
    if (m_options.userDriver)
        m_options.userDriver->showUpToDate(m_options.currentVersion);
    if (m_options.delegate) {
        m_options.delegate->didShowModalAlert();
        m_options.delegate->willFinishUpdateSession();
    }
}

void AppcastUpdater::offer(Kind kind, const UpdateItem &item)
{
    qCInfo(lcUpdates) << "version" << item.displayVersion << "is available";
    UpdaterDelegate *delegate = m_options.delegate;
    if (kind == Kind::scheduled) {
        if (m_options.skippedVersion && m_options.skippedVersion() == item.version)
            return;
        // A scheduled offer is shown gently by the program (a dot on the tray icon, a menu row)
        // unless the delegate wants the updater's own window.
        const bool handle = delegate && delegate->shouldHandleShowingScheduledUpdate(item, false);
        if (delegate)
            delegate->willHandleShowingUpdate(handle, item);
        if (!handle)
            return;
    }
    if (delegate)
        delegate->willShowModalAlert();
    if (m_options.userDriver) {
        const QPointer<AppcastUpdater> self(this);
        m_options.userDriver->showUpdateFound(item, [self, item](UpdateChoice choice) {
            if (!self)
                return;
            UpdaterDelegate *delegate = self->m_options.delegate;
            if (delegate)
                delegate->userDidMakeChoice(choice, item);
            if (choice == UpdateChoice::install && self->m_options.openURL)
                self->m_options.openURL(item.pageURL);
            if (choice == UpdateChoice::skip && self->m_options.setSkippedVersion)
                self->m_options.setSkippedVersion(item.version);
            if (delegate)
                delegate->willFinishUpdateSession();
        });
    }
    if (delegate) {
        delegate->didReceiveUserAttention(item);
        delegate->didShowModalAlert();
    }
}

} // namespace Lumivox::Native
