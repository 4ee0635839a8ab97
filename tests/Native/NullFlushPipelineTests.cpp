#include "Native/Apertium/NullFlushPipeline.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

using namespace Lumivox::Native::Apertium;

namespace {

const QString tagger = QStringLiteral("lt-proc -z /usr/share/apertium/apertium-eng-spa/eng-spa.automorf.bin"
                                      " | apertium-tagger -z -g -p /usr/share/apertium/apertium-eng-spa/eng-spa.prob");

// Requests that must succeed get a generous time-out: on a loaded machine starting the pipeline
// alone can take seconds. Only the tests of the time-out itself use a short one.
constexpr std::chrono::milliseconds patient(15000);

// One request, which must come back on its own: a pipeline left spinning or blocked would otherwise
// hold the test until ctest's own time-out, minutes later. Far beyond any time-out used here, this is
// no measure of speed.
std::optional<QString> requestOrGiveUp(NullFlushPipeline &pipeline, const QString &text)
{
    auto reply = std::async(std::launch::async, [&] { return pipeline.request(text); });
    if (reply.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "a request to the pipeline did not come back within 60 s\n");
        std::_Exit(1);
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
    const auto first = pipeline.request(escape(u"The cats were running"));
    ASSERT_TRUE(first);
    EXPECT_EQ(*first,
              QStringLiteral("^The/The<det><def><sp>$ ^cats/cat<n><pl>$ ^were/be<vbser><past>$ "
                             "^running/run<vblex><ger>$"));
    const auto second = pipeline.request(escape(u"house."));
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->startsWith(QStringLiteral("^house/house<n><sg>$")));
    EXPECT_TRUE(second->contains(QStringLiteral("^./.<sent>$")));
}

TEST(NullFlushPipeline, TranslationKeepsWordBoundBlanks)
{
    const auto script = NullFlushPipeline::translationScript(QStringLiteral("eng-spa"));
    ASSERT_TRUE(script);
    NullFlushPipeline pipeline(QStringLiteral("eng-spa"), *script, {QStringLiteral("-g"), QString()}, patient);
    const auto reply = pipeline.request(QStringLiteral("I saw a [[b]]red[[/]] car."));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->contains(QStringLiteral("[[b]]rojo[[/]]"))) << reply->toStdString();
}

TEST(NullFlushPipeline, RestartsAfterThePipelineIsKilled)
{
    NullFlushPipeline pipeline(QStringLiteral("tagger"), tagger, {}, patient);
    ASSERT_TRUE(pipeline.request(QStringLiteral("house")));
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
    const auto reply = pipeline.request(QStringLiteral("house"));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->startsWith(QStringLiteral("^house/")));
    EXPECT_NE(pipeline.processGroup(), group);

    // Stopped while another pipeline of this process runs, it still starts afresh.
    NullFlushPipeline other(QStringLiteral("other"), QStringLiteral("cat"), {}, patient);
    ASSERT_TRUE(other.start());
    pipeline.stop();
    EXPECT_FALSE(pipeline.isRunning());
    EXPECT_TRUE(pipeline.request(QStringLiteral("house")));
    EXPECT_TRUE(pipeline.isRunning());
    EXPECT_TRUE(other.isRunning());
}

TEST(NullFlushPipeline, SilentOrBrokenPipelinesFailWithinTheTimeout)
{
    // Never answers with a NUL.
    NullFlushPipeline silent(QStringLiteral("silent"), QStringLiteral("cat >/dev/null"), {},
                             std::chrono::milliseconds(200));
    EXPECT_FALSE(requestOrGiveUp(silent, QStringLiteral("x")));
    // Exits at once.
    NullFlushPipeline broken(QStringLiteral("broken"), QStringLiteral("exit 3"), {}, std::chrono::milliseconds(500));
    EXPECT_FALSE(requestOrGiveUp(broken, QStringLiteral("x")));
    // Never reads: a request larger than the socket holds cannot even be written.
    NullFlushPipeline deaf(QStringLiteral("deaf"), QStringLiteral("exec sleep 600"), {},
                           std::chrono::milliseconds(200));
    EXPECT_FALSE(requestOrGiveUp(deaf, QString(4 << 20, QLatin1Char('x'))));
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
    const auto reply = requestOrGiveUp(echo, QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
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
            EXPECT_EQ(requestOrGiveUp(pipeline, QStringLiteral("first")), QStringLiteral("first")) << c.what;
        }
        EXPECT_EQ(requestOrGiveUp(pipeline, QStringLiteral("hello")), c.reply) << c.what;
        pipeline.stop();
        QFile file(starts);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.what;
        EXPECT_EQ(file.readAll().count('\n'), c.starts) << c.what;
    }
}
