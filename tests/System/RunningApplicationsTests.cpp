// Running applications from the X window list of real fixture windows in the private session.

#include "Shared/Platform/WindowLookup.h"
#include "Support/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace Lumivox;

namespace {

const QString fixtureID = QStringLiteral("app.lumivox.CatalogFixture");

/// One catalog_fixture window in its own process; `desktopFile` is how a launcher names it.
class Fixture
{
public:
    explicit Fixture(const QString &desktopFile)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("GIO_LAUNCHED_DESKTOP_FILE"));
        if (!desktopFile.isEmpty())
            environment.insert(QStringLiteral("GIO_LAUNCHED_DESKTOP_FILE"), desktopFile);
        m_process.setProcessEnvironment(environment);
        m_process.start(qEnvironmentVariable("LUMIVOX_FIXTURES_DIR") + QStringLiteral("/catalog_fixture"), {});
        m_shown = m_process.waitForStarted(5000)
            && Testing::spinUntil([&] { return m_process.readAllStandardOutput().contains("shown"); },
                                  std::chrono::seconds(10));
    }
    ~Fixture() { stop(); }

    bool shown() const { return m_shown; }
    void stop()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
    bool m_shown = false;
};

} // namespace

TEST(RunningApplicationsSession, RunningApplicationsComeFromTheWindowsOnScreen)
{
    Fixture launched(QStringLiteral("/usr/share/applications/") + fixtureID + QStringLiteral(".desktop"));
    ASSERT_TRUE(launched.shown());
    Fixture plain {QString()};
    ASSERT_TRUE(plain.shown());

    const auto running = [] { return WindowLookup::runningBundleIDs(); };
    EXPECT_TRUE(Testing::spinUntil([&] {
        const auto ids = running();
        return ids.count(fixtureID) && ids.count(QStringLiteral("catalog_fixture"));
    })) << QStringList(running().begin(), running().end()).join(QLatin1Char(' ')).toStdString();

    launched.stop();
    EXPECT_TRUE(Testing::spinUntil([&] { return !running().count(fixtureID); }));
    EXPECT_TRUE(running().count(QStringLiteral("catalog_fixture")));
}
