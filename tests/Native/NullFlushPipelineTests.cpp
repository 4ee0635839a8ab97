#include "Native/Apertium/NullFlushPipeline.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace Lumivox::Native::Apertium;

namespace {

const QString tagger = QStringLiteral("lt-proc -z /usr/share/apertium/apertium-eng-spa/eng-spa.automorf.bin"
                                      " | apertium-tagger -z -g -p /usr/share/apertium/apertium-eng-spa/eng-spa.prob");

// Requests that must succeed get a generous time-out: on a loaded machine starting the pipeline
// alone can take seconds. Only the tests of the time-out itself use a short one.
constexpr std::chrono::milliseconds patient(15000);

} // namespace

TEST(NullFlushPipeline, EscapesLikeDestxt)
{
    EXPECT_EQ(escape(u"a[b]^$/<>{}\\@c"), QStringLiteral("a\\[b\\]\\^\\$\\/\\<\\>\\{\\}\\\\\\@c"));
    EXPECT_EQ(unescape(escape(u"x^y$z\\")), QStringLiteral("x^y$z\\"));
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
    const pid_t group = pipeline.processGroup();
    ASSERT_GT(group, 0);
    kill(-group, SIGKILL);
    const auto reply = pipeline.request(QStringLiteral("house"));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->startsWith(QStringLiteral("^house/")));
    EXPECT_NE(pipeline.processGroup(), group);
}

TEST(NullFlushPipeline, SilentOrBrokenPipelinesFailWithinTheTimeout)
{
    // Never answers with a NUL.
    NullFlushPipeline silent(QStringLiteral("silent"), QStringLiteral("cat >/dev/null"), {},
                             std::chrono::milliseconds(200));
    EXPECT_FALSE(silent.request(QStringLiteral("x")));
    // Exits at once.
    NullFlushPipeline broken(QStringLiteral("broken"), QStringLiteral("exit 3"), {}, std::chrono::milliseconds(500));
    EXPECT_FALSE(broken.request(QStringLiteral("x")));
    // A NUL inside the text does not split the reply.
    NullFlushPipeline echo(QStringLiteral("echo"), QStringLiteral("cat"), {}, patient);
    EXPECT_EQ(echo.request(QStringLiteral("a") + QChar(0) + QStringLiteral("b")), QStringLiteral("a b"));
}
