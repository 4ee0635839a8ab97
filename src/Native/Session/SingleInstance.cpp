#include "Native/Session/SingleInstance.h"

#include "Native/Session/SingleInstanceEndpoint.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcSingleInstance, "app.lumivox.Session")

namespace Lumivox::Native {

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
    }
    emit quitRequested(pid);
}

QString SingleInstance::objectPath(const QString &name)
{
    return QLatin1Char('/') + QString(name).replace(QLatin1Char('.'), QLatin1Char('/'));
}

SingleInstance::SingleInstance(Role role, QString mechanism)
    : m_role(role)
    , m_mechanism(std::move(mechanism))
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
        const auto reply = bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                                            QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            std::unique_ptr<SingleInstance> instance(new SingleInstance(Role::primary, QStringLiteral("session bus")));
            connect(endpoint.get(), &SingleInstanceEndpoint::activateRequested, instance.get(),
                    &SingleInstance::activateRequested);
            connect(endpoint.get(), &SingleInstanceEndpoint::quitRequested, instance.get(),
                    &SingleInstance::quitRequested);
            instance->m_endpoint = std::move(endpoint);
            return instance;
        }
        bus.unregisterObject(objectPath(name));
        if (reply.isValid()) {
            const QDBusMessage call =
                QDBusMessage::createMethodCall(name, objectPath(name), interfaceName(name), QStringLiteral("Activate"));
            const QDBusMessage answer = bus.call(call, QDBus::Block, 5000);
            if (answer.type() == QDBusMessage::ErrorMessage)
                qCWarning(lcSingleInstance) << "the running copy did not answer:" << answer.errorMessage();
            return std::unique_ptr<SingleInstance>(new SingleInstance(Role::secondary, QStringLiteral("session bus")));
        }
        qCWarning(lcSingleInstance) << "could not claim the bus name:" << reply.error().message();
    }

    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    auto lock = std::make_unique<QLockFile>(folder + QLatin1Char('/') + name + QStringLiteral(".lock"));
    // Only a living owner holds the lock: one whose process is gone is stale at once.
    lock->setStaleLockTime(0);
    const bool locked = lock->tryLock(0) || (lock->removeStaleLockFile() && lock->tryLock(0));
    std::unique_ptr<SingleInstance> instance(
        new SingleInstance(locked ? Role::primary : Role::secondary, QStringLiteral("lock file")));
    if (locked)
        instance->m_lock = std::move(lock);
    return instance;
}

} // namespace Lumivox::Native
