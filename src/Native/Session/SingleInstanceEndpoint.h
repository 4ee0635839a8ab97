#pragma once

// The object the running copy puts on the session bus: `Activate` and `Quit`. Scriptable slots of a
// QObject, so that Qt exports them under the interface named in the class info.

#include <QDBusContext>
#include <QObject>

namespace Lumivox::Native {

class SingleInstanceEndpoint final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.lumivox.Application")
public:
    using QObject::QObject;

public slots:
    Q_SCRIPTABLE void Activate();
    Q_SCRIPTABLE void Quit();

signals:
    void activateRequested();
    void quitRequested(qint64 callerPID);
};

} // namespace Lumivox::Native
