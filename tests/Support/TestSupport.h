#pragma once

// Helpers shared by the test programs.

#include <QCoreApplication>
#include <QCoroTask>
#include <QDeadlineTimer>
#include <QString>

#include <chrono>
#include <functional>

namespace Lumivox::Testing {

/// Runs the event loop until the coroutine task finishes and returns its value.
template<class T>
T await(QCoro::Task<T> &&task)
{
    return QCoro::waitFor(std::move(task));
}

/// Processes events until `condition` holds or the timeout passes; returns the condition's last value.
inline bool spinUntil(const std::function<bool()> &condition,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
{
    QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

/// A path under the source tree (for test data files).
inline QString sourcePath(const QString &relative)
{
    return qEnvironmentVariable("LUMIVOX_SOURCE_DIR", QStringLiteral(".")) + QLatin1Char('/') + relative;
}

} // namespace Lumivox::Testing
