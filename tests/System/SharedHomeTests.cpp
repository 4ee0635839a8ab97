// Two copies of the real program over one home, each in a private session of its own (its own X
// server and session bus, as two logins or one home on two computers): the single-instance check of
// one session does not see the other copy, and both keep their saved words in the same folder. Each
// saves words of its own while the other runs; in the end every word is in Words.json.

#include "Support/RunningLumivox.h"
#include "Support/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <string>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

const char *sharedFolderVariable = "LUMIVOX_SHARED_WORD_BOOK";

// The copy's word book is the shared folder: its data home names it as its word book's folder.
std::function<void(const QString &)> overSharedFolder(const QString &shared)
{
    return [shared](const QString &dataHome) { QFile::link(shared, dataHome + QStringLiteral("/app.lumivox")); };
}

bool holds(const QString &folder, std::initializer_list<const char *> words)
{
    const QByteArray bytes = WordBookEnvironment::contents(folder + QStringLiteral("/Words.json"));
    return std::all_of(words.begin(), words.end(),
                       [&](const char *word) { return bytes.contains(QByteArray("\"word\":\"") + word + '"'); });
}

} // namespace

// The other copy, in the session the test below starts for it. It says "ready" once it runs, saves
// its word when told "save" and says "saved" once the word is on disk, and ends when told "end".
TEST(SharedHomeOther, DISABLED_SavesItsWordWhenTold)
{
    const QString shared = qEnvironmentVariable(sharedFolderVariable);
    ASSERT_FALSE(shared.isEmpty());
    XTestInjector keys;
    ASSERT_TRUE(keys.ok());
    FixtureProcess gtk;
    ASSERT_TRUE(gtk.start(QStringLiteral("gtk_text_fixture"),
                          {"--at", "40", "40", "--text", "The second window holds a lantern."}));
    RunningLumivox copy(RunningLumivox::everydayPreferences, {QStringLiteral("--autostart")}, overSharedFolder(shared));
    ASSERT_TRUE(copy.waitUntilIdle()) << copy.logText();
    std::cout << "ready" << std::endl;

    std::string said;
    ASSERT_TRUE(std::getline(std::cin, said) && said == "save");
    ASSERT_TRUE(copy.saveWordAt(keys, wordBox(gtk, "view:lantern"))) << copy.logText();
    ASSERT_TRUE(spinUntil([&] { return holds(shared, {"lantern"}); }, 20s)) << copy.logText();
    std::cout << "saved" << std::endl;

    ASSERT_TRUE(std::getline(std::cin, said) && said == "end");
    ::kill(copy.process.processId(), SIGTERM);
    ASSERT_TRUE(copy.process.waitForFinished(30000));
    EXPECT_EQ(copy.process.exitCode(), 0) << copy.logText();
}

TEST(SharedHome, TwoCopiesInTwoSessionsKeepEachOthersWords)
{
    QTemporaryDir shared;
    ASSERT_TRUE(shared.isValid());

    // The first copy, in this session.
    XTestInjector keys;
    ASSERT_TRUE(keys.ok());
    FixtureProcess gtk;
    ASSERT_TRUE(gtk.start(QStringLiteral("gtk_text_fixture"),
                          {"--at", "40", "40", "--text", "The clever fox found a pineapple."}));
    RunningLumivox first(RunningLumivox::everydayPreferences, {QStringLiteral("--autostart")},
                         overSharedFolder(shared.path()));
    ASSERT_TRUE(first.waitUntilIdle()) << first.logText();

    // The second, in a session of its own over the same folder.
    QProcess other;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LUMIVOX_IN_SESSION"));
    environment.insert(QString::fromLatin1(sharedFolderVariable), shared.path());
    other.setProcessEnvironment(environment);
    other.setProcessChannelMode(QProcess::MergedChannels);
    other.start(qEnvironmentVariable("LUMIVOX_SOURCE_DIR") + QStringLiteral("/scripts/run-session.sh"),
                {QCoreApplication::applicationFilePath(), QStringLiteral("--gtest_filter=SharedHomeOther.*"),
                 QStringLiteral("--gtest_also_run_disabled_tests")});
    QByteArray said;
    const auto otherSays = [&](const QByteArray &line) {
        return spinUntil(
                   [&] {
                       said += other.readAll();
                       return said.contains('\n' + line + '\n') || other.state() == QProcess::NotRunning;
                   },
                   90s)
            && said.contains('\n' + line + '\n');
    };
    ASSERT_TRUE(otherSays("ready")) << said.toStdString();

    // Each saves a word in turn, always from a list that lacks the other's newest word.
    ASSERT_TRUE(first.saveWordAt(keys, wordBox(gtk, "view:pineapple"))) << first.logText();
    ASSERT_TRUE(spinUntil([&] { return holds(shared.path(), {"pineapple"}); }, 20s)) << first.logText();
    other.write("save\n");
    ASSERT_TRUE(otherSays("saved")) << said.toStdString();
    EXPECT_TRUE(holds(shared.path(), {"pineapple", "lantern"}))
        << WordBookEnvironment::contents(shared.filePath(QStringLiteral("Words.json"))).toStdString();
    ASSERT_TRUE(first.saveWordAt(keys, wordBox(gtk, "view:clever"))) << first.logText();
    ASSERT_TRUE(spinUntil([&] { return holds(shared.path(), {"clever"}); }, 20s)) << first.logText();

    // Both end; every word is there.
    other.write("end\n");
    ASSERT_TRUE(other.waitForFinished(60000));
    said += other.readAll();
    EXPECT_EQ(other.exitCode(), 0) << said.toStdString();
    ::kill(first.process.processId(), SIGTERM);
    ASSERT_TRUE(first.process.waitForFinished(30000));
    EXPECT_EQ(first.process.exitCode(), 0) << first.logText();
    EXPECT_TRUE(holds(shared.path(), {"pineapple", "lantern", "clever"}))
        << WordBookEnvironment::contents(shared.filePath(QStringLiteral("Words.json"))).toStdString();
}
