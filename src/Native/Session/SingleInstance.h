#pragma once

// One running copy per user session. The first copy owns the session-bus name "app.lumivox",
// claimed atomically (no queueing), so two copies started at the same moment cannot both win or
// both give up; a later copy asks the owner to come forward (`Activate`) and ends. The bus frees
// the name when its owner dies, so a crashed copy never blocks the next start.
//
// Without a session bus, a lock file in $XDG_RUNTIME_DIR takes the name's place (a lock whose
// process is gone is taken over); the later copy then cannot reach the first and only ends.

#include <QObject>
#include <QString>

#include <memory>

class QLockFile;

namespace Lumivox::Native {

class SingleInstanceEndpoint;

class SingleInstance final : public QObject
{
    Q_OBJECT
public:
    enum class Role {
        /// This is the one copy.
        primary,
        /// Another copy runs and was asked to come forward; this one ends.
        secondary,
    };

    /// Claims `name` on the session bus (or its lock file). Main thread, after the application
    /// object exists.
    static std::unique_ptr<SingleInstance> claim(const QString &name);
    ~SingleInstance() override;

    Role role() const { return m_role; }
    /// How the claim was made: "session bus" or "lock file".
    QString mechanism() const { return m_mechanism; }

    /// The interface and object path of the bus methods.
    static QString interfaceName(const QString &name) { return name + QStringLiteral(".Application"); }
    static QString objectPath(const QString &name);

signals:
    /// Another copy started (or a caller asked): come forward.
    void activateRequested();
    /// A caller asked this copy to quit; `callerPID` is the caller's process (0 when unknown).
    void quitRequested(qint64 callerPID);

private:
    explicit SingleInstance(Role role, QString mechanism);

    Role m_role;
    QString m_mechanism;
    std::unique_ptr<SingleInstanceEndpoint> m_endpoint;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace Lumivox::Native
