#include "Shared/Platform/AppIdentity.h"

#include "Native/Geometry/Containment.h"
#include "Native/Services.h"
#include "Native/Windows/WindowList.h"
#include "Shared/Platform/ScreenGeometry.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QProcessEnvironment>
#include <QWindow>

#include <link.h>
#include <unistd.h>

namespace Lumivox::AppIdentity {

namespace {

QStringList loadedModules()
{
    QStringList paths;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) {
            if (info->dlpi_name && info->dlpi_name[0])
                static_cast<QStringList *>(data)->append(QString::fromLocal8Bit(info->dlpi_name));
            return 0;
        },
        &paths);
    return paths;
}

// The process's own command line: the answer must not depend on whether the application object
// exists yet when the flag is first read (it is computed once).
QStringList processArguments()
{
    QFile file(QStringLiteral("/proc/self/cmdline"));
    if (file.open(QIODevice::ReadOnly)) {
        QStringList out;
        for (const QByteArray &arg : file.readAll().split('\0')) {
            if (!arg.isEmpty())
                out.append(QString::fromLocal8Bit(arg));
        }
        return out;
    }
    return QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList();
}

Facts liveFacts()
{
    Facts facts;
    const auto env = QProcessEnvironment::systemEnvironment();
    for (const QString &key : env.keys())
        facts.environment[key] = env.value(key);
    facts.arguments = processArguments();
    facts.bundleID = bundleID();
    facts.loadedModulePaths = loadedModules();
    return facts;
}

const Facts &facts()
{
    static const Facts value = liveFacts();
    return value;
}

bool envIs(const Facts &f, const char *key, const char *value)
{
    auto it = f.environment.find(QString::fromLatin1(key));
    return it != f.environment.end() && it->second == QLatin1String(value);
}

bool envHas(const Facts &f, const char *key)
{
    return f.environment.count(QString::fromLatin1(key)) > 0;
}

bool bundleEndsWith(const std::optional<QString> &id, const char *suffix)
{
    return id && id->endsWith(QLatin1String(suffix));
}

// The toolkit names a widget's window after the widget, with "Window" appended; a window made
// without a widget carries the name itself.
bool isTooltipPanel(const QWindow *w)
{
    const QString name = w->objectName();
    return name == tooltipPanelObjectName || name == tooltipPanelObjectName + QLatin1String("Window");
}

} // namespace

pid_t currentProcessID()
{
    static const pid_t pid = ::getpid();
    return pid;
}

std::optional<QString> bundleID()
{
    static const std::optional<QString> id = [] {
        const QString custom = qEnvironmentVariable("LUMIVOX_APP_ID");
        return std::optional<QString>(custom.isEmpty() ? appID : custom);
    }();
    return id;
}

const std::set<QString> &drmProtectedBundleIDs()
{
    static const std::set<QString> ids {QStringLiteral("com.apple.tv"), QStringLiteral("com.apple.QuickTimePlayerX"),
                                        QStringLiteral("com.apple.Music"), QStringLiteral("com.apple.DVDPlayer")};
    return ids;
}

bool isHostingTests(const Facts &f)
{
    if (envHas(f, "XCTestConfigurationFilePath") || envHas(f, "XCTestSessionIdentifier"))
        return true;
    if (envIs(f, "GITHUB_ACTIONS", "true") || envIs(f, "TEST_RUNNER_GITHUB_ACTIONS", "true"))
        return true;
    for (const QString &arg : f.arguments) {
        if (arg.contains(QLatin1String("xctest")) || arg.contains(QLatin1String("XCTest")))
            return true;
    }
    if (bundleEndsWith(f.bundleID, ".ci"))
        return true;
    for (const QString &path : f.loadedModulePaths) {
        if (path.endsWith(QLatin1String(".xctest")))
            return true;
    }
    // Our own test runner marks the unit-test programs it starts.
    return envIs(f, "LUMIVOX_HOSTING_TESTS", "1");
}

bool isRunningInCI(const Facts &f)
{
    return envIs(f, "GITHUB_ACTIONS", "true") || envIs(f, "TEST_RUNNER_GITHUB_ACTIONS", "true")
        || bundleEndsWith(f.bundleID, ".ci");
}

bool isIsolatedFromDailyApp(const std::optional<QString> &id)
{
    const QString value = id.value_or(QString());
    return value.endsWith(QLatin1String(".ci")) || value.endsWith(QLatin1String(".agent"));
}

bool isHostingTests()
{
    static const bool value = isHostingTests(facts());
    return value;
}

bool isRunningInCI()
{
    static const bool value = isRunningInCI(facts());
    return value;
}

bool isIsolatedFromDailyApp()
{
    return isIsolatedFromDailyApp(bundleID());
}

bool isCurrentApp(pid_t pid)
{
    return pid == currentProcessID();
}

bool isCurrentApp(const std::optional<QString> &bundleIdentifier)
{
    const auto own = bundleID();
    return bundleIdentifier && own && *bundleIdentifier == *own;
}

bool isDRMProtected(const std::optional<QString> &bundleIdentifier)
{
    return bundleIdentifier && drmProtectedBundleIDs().count(*bundleIdentifier) > 0;
}

bool isPointInsideOwnWindow(QPointF cocoaPoint)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    const QWindowList windows = QGuiApplication::topLevelWindows();
    auto frameContains = [&](const QWindow *w) {
        return Native::containsHalfOpen(ScreenGeometry::cocoaRectFromQt(QRectF(w->frameGeometry())), cocoaPoint);
    };
    for (const QWindow *w : windows) {
        if (isTooltipPanel(w) && w->isVisible() && frameContains(w))
            return true;
    }
    bool anyContains = false;
    for (const QWindow *w : windows) {
        if (w->isVisible() && frameContains(w)) {
            anyContains = true;
            break;
        }
    }
    if (!anyContains)
        return false;
    const QPointF quartz = ScreenGeometry::cgPoint(cocoaPoint);
    const std::uint32_t top = Native::service<Native::WindowList>()->topmostWindowNumber(quartz);
    if (top < 1)
        return false;
    for (const QWindow *w : windows) {
        // Only windows that already have a native window: winId() would create one for the others.
        if (w->isVisible() && w->handle() && w->winId() == top)
            return true;
    }
    return false;
}

} // namespace Lumivox::AppIdentity
