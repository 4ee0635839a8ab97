#pragma once

// Helpers shared by the test programs.

#include <QCoreApplication>
#include <QCoroTask>
#include <QDeadlineTimer>
#include <QString>

#include "Models/LanguageCatalog.h"

#include <chrono>
#include <functional>
#include <set>

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

/// What the language pairs the project installs translate into: the on-device set every test program
/// starts with (the program itself finds its own at start).
inline const std::set<QString> installedPairLanguages {QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("fr"),
                                                       QStringLiteral("it"), QStringLiteral("pt"), QStringLiteral("ru"),
                                                       QStringLiteral("uk")};

/// Another on-device set for the life of the object.
class ScopedOnDeviceLanguages
{
public:
    explicit ScopedOnDeviceLanguages(const std::set<QString> &codes)
        : m_previous(LanguageCatalog::appleSupportedLanguageCodes())
    {
        LanguageCatalog::setOnDeviceLanguageCodes(codes);
    }
    ~ScopedOnDeviceLanguages() { LanguageCatalog::setOnDeviceLanguageCodes(m_previous); }
    ScopedOnDeviceLanguages(const ScopedOnDeviceLanguages &) = delete;
    ScopedOnDeviceLanguages &operator=(const ScopedOnDeviceLanguages &) = delete;

private:
    std::set<QString> m_previous;
};

} // namespace Lumivox::Testing
