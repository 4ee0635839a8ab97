// Running applications from the X window list of real fixture windows in the private session.

#include "Shared/Platform/WindowLookup.h"
#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"

#include <QProcessEnvironment>

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
        m_process.start(QStringLiteral("catalog_fixture"), {}, environment, std::chrono::seconds(10));
    }

    bool shown() const { return m_process.isReady(); }
    void stop() { m_process.stop(); }

private:
    Testing::FixtureProcess m_process;
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
