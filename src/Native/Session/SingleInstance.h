#pragma once

// One running copy per user session. The first copy owns the session-bus name "app.lumivox",
// claimed atomically (no queueing), so two copies started at the same moment cannot both win or
// both give up; a later copy asks the owner to come forward (`Activate`) and ends. The bus frees
// the name when its owner dies, so a crashed copy never blocks the next start.
//
// A copy that ends gives the name up before anything else (release()), so that a start while it
// writes its files runs as the one copy. A start that finds the name held by a copy that no longer
// answers (one that is ending) waits a few seconds for the name to be free and then takes it; the
// new copy then waits, as long again at most, until the ending copy has written its files, before
// it reads them. A copy that is only slow to answer (busy starting) has the request and comes
// forward when it gets to it.
//
// Without a session bus, a lock file in $XDG_RUNTIME_DIR takes the name's place (a lock whose
// process is gone is taken over); the later copy then cannot reach the first and only ends.

#include <QObject>
#include <QString>

#include <chrono>
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
        /// Another copy holds the name but has taken its methods away (it is ending), and did not
        /// end in time; this one ends.
        unanswered,
    };

    /// How long a start waits for a copy that is ending: for its name, then for its files.
    static constexpr std::chrono::seconds handOverWait {5};

    /// Claims `name` on the session bus (or its lock file). Main thread, after the application
    /// object exists.
    static std::unique_ptr<SingleInstance> claim(const QString &name);
    ~SingleInstance() override;

    Role role() const { return m_role; }
    /// Gives the name (or the lock file) up at once, for a copy that is ending: from now on a start
    /// runs as the one copy, and waits only for the files this process is about to write. Only the
    /// bus's answer is waited for, briefly; by then whatever this copy sent on the bus before (the
    /// answer to a Quit) has gone out. The process is expected to end soon after; later calls do
    /// nothing.
    void release();
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
    explicit SingleInstance(Role role, QString mechanism, QString name = {});
    /// Waits (bounded) until no copy that is ending still writes its files.
    static void waitForEndingCopy(const QString &name);

    Role m_role;
    QString m_mechanism;
    QString m_name;
    bool m_released = false;
    std::unique_ptr<SingleInstanceEndpoint> m_endpoint;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace Lumivox::Native
