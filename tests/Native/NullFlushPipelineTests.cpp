#include "Native/Apertium/NullFlushPipeline.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <future>
#include <thread>

#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Lumivox::Native::Apertium;

namespace {

const QString tagger = QStringLiteral("lt-proc -z /usr/share/apertium/apertium-eng-spa/eng-spa.automorf.bin"
                                      " | apertium-tagger -z -g -p /usr/share/apertium/apertium-eng-spa/eng-spa.prob");

// Requests that must succeed get a generous time-out: on a loaded machine starting the pipeline
// alone can take seconds. Only the tests of the time-out itself use a short one.
constexpr std::chrono::milliseconds patient(15000);

// One request, which must come back on its own. A request waits in poll(), which costs next to no
// processor time however busy the machine is: one that has used two seconds of it is spinning, and
// the test ends then, not at ctest's time-out minutes later. One that blocks for good is given up
// once it has had all the time a request may take (two tries of twice its time-out) and ten seconds
// more; no measure of speed either.
std::optional<QString> requestOrGiveUp(NullFlushPipeline &pipeline, const QString &text,
                                       std::chrono::milliseconds timeout)
{
    std::promise<clockid_t> clockOfRequest;
    std::future<clockid_t> clockKnown = clockOfRequest.get_future();
    auto reply = std::async(std::launch::async, [&] {
        clockid_t clock {};
        pthread_getcpuclockid(pthread_self(), &clock);
        clockOfRequest.set_value(clock);
        return pipeline.request(text);
    });
    const clockid_t clock = clockKnown.get();
    const auto giveUpAt = std::chrono::steady_clock::now() + 4 * timeout + std::chrono::seconds(10);
    while (reply.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        timespec used {};
        if (clock_gettime(clock, &used) == 0 && used.tv_sec >= 2) {
            std::fprintf(stderr, "a request to the pipeline spins: two seconds of processor time so far\n");
            std::_Exit(1);
        }
        if (std::chrono::steady_clock::now() > giveUpAt) {
            std::fprintf(stderr, "a request to the pipeline did not come back within its time-outs\n");
            std::_Exit(1);
        }
    }
    return reply.get();
}

} // namespace

TEST(NullFlushPipeline, EscapesLikeDestxt)
{
    EXPECT_EQ(escape(u"a[b]^$/<>{}\\@c"), QStringLiteral("a\\[b\\]\\^\\$\\/\\<\\>\\{\\}\\\\\\@c"));
    EXPECT_EQ(unescape(escape(u"x^y$z\\")), QStringLiteral("x^y$z\\"));
    EXPECT_EQ(unescape(u"x\\"), QStringLiteral("x\\")) << "a backslash at the end stays";
    EXPECT_FALSE(modeFile(QStringLiteral("../etc/passwd")));
    EXPECT_FALSE(modeFile(QStringLiteral("xx-yy")));
}

TEST(NullFlushPipeline, TaggerAnswersEachRequestSeparately)
{
    NullFlushPipeline pipeline(QStringLiteral("tagger"), tagger, {}, patient);
    const auto first = requestOrGiveUp(pipeline, escape(u"The cats were running"), patient);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first,
              QStringLiteral("^The/The<det><def><sp>$ ^cats/cat<n><pl>$ ^were/be<vbser><past>$ "
                             "^running/run<vblex><ger>$"));
    const auto second = requestOrGiveUp(pipeline, escape(u"house."), patient);
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->startsWith(QStringLiteral("^house/house<n><sg>$")));
    EXPECT_TRUE(second->contains(QStringLiteral("^./.<sent>$")));
}

TEST(NullFlushPipeline, TranslationKeepsWordBoundBlanks)
{
    const auto script = NullFlushPipeline::translationScript(QStringLiteral("eng-spa"));
    ASSERT_TRUE(script);
    NullFlushPipeline pipeline(QStringLiteral("eng-spa"), *script, {QStringLiteral("-g"), QString()}, patient);
    const auto reply = requestOrGiveUp(pipeline, QStringLiteral("I saw a [[b]]red[[/]] car."), patient);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->contains(QStringLiteral("[[b]]rojo[[/]]"))) << reply->toStdString();
}

TEST(NullFlushPipeline, RestartsAfterThePipelineIsKilled)
{
    NullFlushPipeline pipeline(QStringLiteral("tagger"), tagger, {}, patient);
    ASSERT_TRUE(requestOrGiveUp(pipeline, QStringLiteral("house"), patient));
    EXPECT_TRUE(pipeline.isRunning());
    const pid_t group = pipeline.processGroup();
    ASSERT_GT(group, 0);
    kill(-group, SIGKILL);
    // Its end is noticed as soon as the system reports it.
    bool ended = false;
    for (int i = 0; i < 1000 && !ended; ++i) {
        ended = !pipeline.isRunning();
        if (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ended);
    const auto reply = requestOrGiveUp(pipeline, QStringLiteral("house"), patient);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->startsWith(QStringLiteral("^house/")));
    EXPECT_NE(pipeline.processGroup(), group);

    // Stopped while another pipeline of this process runs, and another child in the program's own
    // process group (a helper it started), it still starts afresh.
    NullFlushPipeline other(QStringLiteral("other"), QStringLiteral("cat"), {}, patient);
    ASSERT_TRUE(other.start());
    QProcess helper;
    helper.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(helper.waitForStarted());
    pipeline.stop();
    EXPECT_FALSE(pipeline.isRunning());
    EXPECT_TRUE(requestOrGiveUp(pipeline, QStringLiteral("house"), patient));
    EXPECT_TRUE(pipeline.isRunning());
    EXPECT_TRUE(other.isRunning());
    helper.kill();
    helper.waitForFinished();
}

TEST(NullFlushPipeline, SilentOrBrokenPipelinesFailWithinTheTimeout)
{
    // Never answers with a NUL.
    constexpr std::chrono::milliseconds brief(200);
    NullFlushPipeline silent(QStringLiteral("silent"), QStringLiteral("cat >/dev/null"), {}, brief);
    EXPECT_FALSE(requestOrGiveUp(silent, QStringLiteral("x"), brief));
    // Exits at once: the reply is an end, and a request larger than the socket holds meets a write
    // that fails.
    NullFlushPipeline broken(QStringLiteral("broken"), QStringLiteral("exit 3"), {}, brief);
    EXPECT_FALSE(requestOrGiveUp(broken, QStringLiteral("x"), brief));
    EXPECT_FALSE(requestOrGiveUp(broken, QString(4 << 20, QLatin1Char('x')), brief));
    // Never reads: a request larger than the socket holds cannot even be written.
    NullFlushPipeline deaf(QStringLiteral("deaf"), QStringLiteral("exec sleep 600"), {}, brief);
    EXPECT_FALSE(requestOrGiveUp(deaf, QString(4 << 20, QLatin1Char('x')), brief));
    // A NUL inside the text does not split the reply; and the user's shell start-up file, which
    // bash would read for a shell on a socket started from the desktop, is left alone.
    QTemporaryDir home;
    QFile bashrc(home.filePath(QStringLiteral(".bashrc")));
    ASSERT_TRUE(bashrc.open(QIODevice::WriteOnly));
    bashrc.write("printf 'from bashrc\\0'; touch \"$HOME/ran\"\n");
    bashrc.close();
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldLevel = qgetenv("SHLVL");
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("SHLVL");
    NullFlushPipeline echo(QStringLiteral("echo"), QStringLiteral("cat"), {}, patient);
    const auto reply = requestOrGiveUp(echo, QStringLiteral("a") + QChar(0) + QStringLiteral("b"), patient);
    qputenv("HOME", oldHome);
    qputenv("SHLVL", oldLevel);
    EXPECT_EQ(reply, QStringLiteral("a b"));
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("ran"))));
}

TEST(NullFlushPipeline, OnlyAPipelineThatDiedIsTriedAgain)
{
    // Each script notes every start in the file given as $1.
    struct Case
    {
        const char *what;
        QString script;
        bool warm; // a first request is answered before the one that counts
        std::optional<QString> reply;
        int starts;
        std::chrono::milliseconds timeout {1000};
    };
    const QString echo = QStringLiteral("while IFS= read -r -d '' x; do printf '%s\\0' \"$x\"; done");
    const Case cases[] = {
        {"dies at its first request, answers after a restart",
         QStringLiteral("echo >> \"$1\"; [ \"$(wc -l < \"$1\")\" -gt 1 ] || exit 0; ") + echo, false,
         QStringLiteral("hello"), 2},
        // Ends with the request unread: the read fails (a reset connection), as it does when an
        // engine quits at once; tried once more, in vain.
        {"ends with the request unread", QStringLiteral("echo >> \"$1\"; sleep 0.3; exit 0"), false, std::nullopt, 2},
        // Still busy at the time-out: the same text would keep it busy as long again.
        {"never answers", QStringLiteral("echo >> \"$1\"; cat > /dev/null"), false, std::nullopt, 1},
        // Loading its data takes longer than the time-out, but less than twice that: a generous time-out
        // leaves the shell's own start seconds of room on a busy machine.
        {"slow to load", QStringLiteral("echo >> \"$1\"; sleep 4.5; ") + echo, false, QStringLiteral("hello"), 1,
         std::chrono::milliseconds(4000)},
        // Once loaded, the time-out alone holds.
        // Stages flush an empty reply at the end of their input; one that comes first, in the same
        // read as the answer, is passed over.
        {"answers after an empty reply",
         QStringLiteral("echo >> \"$1\"; while IFS= read -r -d '' x; do printf '\\0%s\\0' \"$x\"; done"), false,
         QStringLiteral("hello"), 1},
        {"slow once loaded",
         QStringLiteral("echo >> \"$1\"; n=0; while IFS= read -r -d '' x; do n=$((n+1)); "
                        "[ $n -gt 1 ] && sleep 1.5; printf '%s\\0' \"$x\"; done"),
         true, std::nullopt, 1},
    };
    for (const Case &c : cases) {
        QTemporaryDir folder;
        const QString starts = folder.filePath(QStringLiteral("starts"));
        NullFlushPipeline pipeline(QStringLiteral("probe"), c.script, {starts}, c.timeout);
        if (c.warm) {
            EXPECT_EQ(requestOrGiveUp(pipeline, QStringLiteral("first"), c.timeout), QStringLiteral("first")) << c.what;
        }
        EXPECT_EQ(requestOrGiveUp(pipeline, QStringLiteral("hello"), c.timeout), c.reply) << c.what;
        pipeline.stop();
        QFile file(starts);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.what;
        EXPECT_EQ(file.readAll().count('\n'), c.starts) << c.what;
    }
}

// Whether the pipeline runs is asked of its own process alone: never started, it is not running, and
// no other child of the program is waited for (and so taken from whoever waits for it) in its name;
// ended, it is not running from the first question on.
TEST(NullFlushPipeline, IsRunningAsksOfItsOwnProcessAlone)
{
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0)
        _exit(0);
    siginfo_t info {};
    ASSERT_EQ(waitid(P_PID, id_t(other), &info, WEXITED | WNOWAIT), 0) << "ended, not yet waited for";
    NullFlushPipeline never(QStringLiteral("never"), QStringLiteral("cat"), {}, patient);
    EXPECT_FALSE(never.isRunning());
    EXPECT_EQ(waitpid(other, nullptr, WNOHANG), other) << "another child was waited for";

    NullFlushPipeline ended(QStringLiteral("ended"), QStringLiteral("exit 0"), {}, patient);
    ASSERT_TRUE(ended.start());
    const pid_t group = ended.processGroup();
    ASSERT_GT(group, 0);
    ASSERT_EQ(waitid(P_PID, id_t(group), &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(ended.isRunning());
    EXPECT_EQ(ended.processGroup(), 0);
}
