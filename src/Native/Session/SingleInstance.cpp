#include "Native/Session/SingleInstance.h"

#include "Native/Session/SingleInstanceEndpoint.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSingleInstance, "app.lumivox.Session")

namespace Lumivox::Native {

namespace {

QString runtimeFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QDir::tempPath() : folder;
}

// Held by a copy from the moment it gives its name up until its process has ended. An flock, not a
// QLockFile: the kernel lets go of it however the process ends, and no process id has to be
// checked for staleness.
QByteArray endingLockPath(const QString &name)
{
    return QFile::encodeName(runtimeFolder() + QLatin1Char('/') + name + QStringLiteral(".ending.lock"));
}

// How often a waiting start looks again at the name and at the ending copy's lock.
constexpr int pollMilliseconds = 40;

// The bus answers a copy that gives its name up at once; one that does not answer in this time is
// not waited for longer, and frees the name with the connection anyway.
constexpr int releaseNameMilliseconds = 1000;

} // namespace

void SingleInstanceEndpoint::Activate()
{
    emit activateRequested();
}

void SingleInstanceEndpoint::Quit()
{
    qint64 pid = 0;
    if (calledFromDBus()) {
        const auto reply = connection().interface()->servicePid(message().service());
        if (reply.isValid())
            pid = reply.value();
        // The copy ends inside this call, so the answer the bus would send once it returns never
        // goes out: the caller is answered now, and release() makes sure it has left before the end.
        setDelayedReply(true);
        connection().send(message().createReply());
    }
    emit quitRequested(pid);
}

QString SingleInstance::objectPath(const QString &name)
{
    return QLatin1Char('/') + QString(name).replace(QLatin1Char('.'), QLatin1Char('/'));
}

SingleInstance::SingleInstance(Role role, QString mechanism, QString name)
    : m_role(role)
    , m_mechanism(std::move(mechanism))
    , m_name(std::move(name))
{ }

SingleInstance::~SingleInstance() = default;

std::unique_ptr<SingleInstance> SingleInstance::claim(const QString &name)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        // The methods are in place before the name is ours, so that a copy that finds the name taken
        // can always reach them.
        auto endpoint = std::make_unique<SingleInstanceEndpoint>();
        bus.registerObject(objectPath(name), interfaceName(name), endpoint.get(),
                           QDBusConnection::ExportScriptableSlots);
        // Runs once the holder of the name has not answered: an ending copy gives the name up soon.
        QDeadlineTimer handOver(QDeadlineTimer::Forever);
        QString silentOwner;
        QDBusError failure;
        for (;;) {
            const auto reply = bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                                                QDBusConnectionInterface::DontAllowReplacement);
            if (!reply.isValid()) {
                failure = reply.error();
                break;
            }
            if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
                if (!silentOwner.isEmpty())
                    qCInfo(lcSingleInstance) << "the copy that did not answer has ended; this one runs";
                waitForEndingCopy(name);
                std::unique_ptr<SingleInstance> instance(
                    new SingleInstance(Role::primary, QStringLiteral("session bus"), name));
                connect(endpoint.get(), &SingleInstanceEndpoint::activateRequested, instance.get(),
                        &SingleInstance::activateRequested);
                connect(endpoint.get(), &SingleInstanceEndpoint::quitRequested, instance.get(),
                        &SingleInstance::quitRequested);
                instance->m_endpoint = std::move(endpoint);
                return instance;
            }
            // Asked of the holder itself (its unique name), so that a holder that does not answer is
            // asked only once, and a new holder is asked again.
            const auto ownerReply = bus.interface()->serviceOwner(name);
            const QString owner = ownerReply.isValid() ? ownerReply.value() : QString();
            if (!owner.isEmpty() && owner != silentOwner) {
                const QDBusMessage call = QDBusMessage::createMethodCall(owner, objectPath(name), interfaceName(name),
                                                                         QStringLiteral("Activate"));
                const QDBusMessage answer = bus.call(call, QDBus::Block, 5000);
                // No reply in time from a holder that is still there: it is busy (starting, say), has
                // the request and comes forward once it gets to it. An ending copy has taken its
                // methods away, or is gone.
                const bool busy = answer.type() == QDBusMessage::ErrorMessage
                    && answer.errorName() == QStringLiteral("org.freedesktop.DBus.Error.NoReply")
                    && bus.interface()->serviceOwner(name).value() == owner;
                if (answer.type() != QDBusMessage::ErrorMessage || busy) {
                    if (busy)
                        qCWarning(lcSingleInstance) << "the running copy is busy; it comes forward when it can";
                    bus.unregisterObject(objectPath(name));
                    return std::unique_ptr<SingleInstance>(
                        new SingleInstance(Role::secondary, QStringLiteral("session bus"), name));
                }
                qCWarning(lcSingleInstance)
                    << "the running copy did not answer:" << answer.errorMessage() << "; waiting for it to end";
                silentOwner = owner;
            }
            if (handOver.isForever())
                handOver.setRemainingTime(handOverWait);
            if (handOver.hasExpired()) {
                bus.unregisterObject(objectPath(name));
                qCWarning(lcSingleInstance) << "the copy holding the name neither answers nor ends";
                return std::unique_ptr<SingleInstance>(
                    new SingleInstance(Role::unanswered, QStringLiteral("session bus"), name));
            }
            QThread::msleep(pollMilliseconds);
        }
        bus.unregisterObject(objectPath(name));
        qCWarning(lcSingleInstance) << "could not claim the bus name:" << failure.message();
    }

    auto lock = std::make_unique<QLockFile>(runtimeFolder() + QLatin1Char('/') + name + QStringLiteral(".lock"));
    // Only a living owner holds the lock: one whose process is gone is stale at once.
    lock->setStaleLockTime(0);
    const bool locked = lock->tryLock(0) || (lock->removeStaleLockFile() && lock->tryLock(0));
    std::unique_ptr<SingleInstance> instance(
        new SingleInstance(locked ? Role::primary : Role::secondary, QStringLiteral("lock file"), name));
    if (locked) {
        waitForEndingCopy(name);
        instance->m_lock = std::move(lock);
    }
    return instance;
}

void SingleInstance::release()
{
    if (m_released || m_role != Role::primary)
        return;
    m_released = true;
    // Taken before the name goes, and never let go: the process's end lets go of it.
    const int ending = ::open(endingLockPath(m_name).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (ending < 0 || ::flock(ending, LOCK_EX | LOCK_NB) != 0)
        qCWarning(lcSingleInstance) << "cannot hold the lock that tells a new start to wait for the files";
    if (m_endpoint) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        // A quitting copy answers nothing any more; a start that asked just before is told so.
        bus.unregisterObject(objectPath(m_name));
        // Waited for, briefly: once the bus has answered, the name is free for a new start, and what
        // this copy sent before (the answer to a Quit it was asked over the bus) has left the process,
        // which may end at any moment now.
        QDBusMessage giveUp = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReleaseName"));
        giveUp << m_name;
        const QDBusMessage answer = bus.call(giveUp, QDBus::Block, releaseNameMilliseconds);
        if (answer.type() == QDBusMessage::ErrorMessage)
            qCWarning(lcSingleInstance) << "the bus did not take the name back:" << answer.errorMessage();
    }
    m_lock.reset();
}

void SingleInstance::waitForEndingCopy(const QString &name)
{
    const int ending = ::open(endingLockPath(name).constData(), O_RDONLY | O_CLOEXEC);
    if (ending < 0)
        return; // no copy has ended in this session
    const QDeadlineTimer deadline(handOverWait);
    bool waiting = false;
    while (::flock(ending, LOCK_SH | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK || deadline.hasExpired()) {
            qCWarning(lcSingleInstance) << "a copy that is ending is still writing its files; not waiting longer";
            break;
        }
        if (!waiting)
            qCInfo(lcSingleInstance) << "a copy that is ending is still writing its files; waiting for it";
        waiting = true;
        QThread::msleep(pollMilliseconds);
    }
    ::close(ending);
}

} // namespace Lumivox::Native
