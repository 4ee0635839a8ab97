// Text recognition with the real engine on real screen captures of our fixture window's text.

#include "Native/Services.h"
#include "Native/TextRecognition/TextRecognition.h"
#include "Services/Detection/ScreenCaptureService.h"
#include "Services/Detection/TextRecognizer.h"

#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace Lumivox;

namespace {

/// One ocr_fixture window of text in its own process; knows where each of its words lies.
class FixtureText
{
public:
    explicit FixtureText(QStringList arguments)
    {
        m_process.start(QStringLiteral("ocr_fixture"),
                        arguments << QStringLiteral("0") << QStringLiteral("100") << QStringLiteral("700")
                                  << QStringLiteral("160"));
        for (const QByteArray &line : m_process.lines()) {
            const QList<QByteArray> parts = line.trimmed().split(' ');
            if (parts.value(0) == "word" && parts.size() == 5)
                m_words.try_emplace(QString::fromUtf8(parts[1]), parts[2].toDouble(), parts[3].toDouble());
        }
    }
    bool isReady() const { return m_process.isReady(); }
    QPointF word(const QString &text) const { return m_words.at(text); }

private:
    Testing::FixtureProcess m_process;
    std::map<QString, QPointF> m_words;
};

struct Read
{
    std::optional<RecognizedHit> hit;
    QString failure;
};

Read readAt(ScreenCaptureService &capture, QPointF point)
{
    const auto outcome = Testing::await(capture.captureRegion(point, std::nullopt, QSizeF(640, 80)));
    if (!outcome.result)
        return {std::nullopt, outcome.error ? outcome.error->message : QStringLiteral("capture missed")};
    const auto &r = *outcome.result;
    return {Testing::await(TextRecognizer::recognizeWord(r.image, r.cropRect, r.mouse)), QString()};
}

void expectWordsRead(FixtureText &fixture)
{
    ASSERT_TRUE(fixture.isReady()) << "the fixture window did not come up";
    Testing::await(TextRecognizer::warmUp());
    ScreenCaptureService capture;

    struct Case
    {
        QString pointAt;
        QString word;
        QString context;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("fox"), QStringLiteral("fox"), QStringLiteral("The quick brown fox jumps over the lazy dog.")},
        {QStringLiteral("pixels"), QStringLiteral("pixels"),
         QStringLiteral("Reading words from pixels is harder than it looks.")},
        {QStringLiteral("brown"), QStringLiteral("brown"),
         QStringLiteral("The quick brown fox jumps over the lazy dog.")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pointAt.toStdString());
        const Read read = readAt(capture, fixture.word(c.pointAt));
        ASSERT_TRUE(read.hit) << read.failure.toStdString();
        EXPECT_EQ(read.hit->text, c.word);
        EXPECT_EQ(read.hit->context, c.context);
        ASSERT_TRUE(read.hit->wordOffset);
        EXPECT_EQ(read.hit->context->mid(*read.hit->wordOffset, c.word.size()), c.word);
    }
}

TEST(TextRecognitionSystemTest, ReadsTheWordUnderThePointerAndItsLine)
{
    FixtureText fixture({});
    expectWordsRead(fixture);
}

TEST(TextRecognitionSystemTest, ReadsLightTextOnADarkBackground)
{
    FixtureText fixture({QStringLiteral("--dark")});
    expectWordsRead(fixture);
}

TEST(TextRecognitionSystemTest, ALineCutByTheStripsEdgeLosesItsPartialFirstWord)
{
    FixtureText fixture({});
    ASSERT_TRUE(fixture.isReady());
    ScreenCaptureService capture;
    // Far enough right that the strip starts inside the line's first word.
    const QPointF stop = fixture.word(QStringLiteral("stop."));
    ASSERT_GT(stop.x() - 320, 20);
    const Read read = readAt(capture, stop);
    ASSERT_TRUE(read.hit) << read.failure.toStdString();
    EXPECT_EQ(read.hit->text, QStringLiteral("stop"));
    ASSERT_TRUE(read.hit->context);
    EXPECT_TRUE(read.hit->context->endsWith(QStringLiteral("with a full stop.")));
    EXPECT_FALSE(read.hit->context->startsWith(QStringLiteral("Every")));
}

TEST(TextRecognitionSystemTest, EmptyImagesAndAMissingModelGiveNoWord)
{
    QImage text(320, 60, QImage::Format_RGB32);
    text.fill(Qt::white);
    EXPECT_FALSE(Testing::await(TextRecognizer::recognizeWord(QImage(), QRectF(0, 0, 320, 60), QPointF(10, 10))));

    auto engine = Native::service<Native::TextRecognition>();
    EXPECT_TRUE(std::holds_alternative<Native::RecognitionFailure>(engine->recognize(QImage(), QRectF(0, 0, 1, 1))));
    EXPECT_TRUE(std::holds_alternative<Native::RecognitionFailure>(engine->recognize(text, QRectF(2, 2, 1, 1))));

    // An engine that finds no model answers every request with a failure, never a crash.
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    const QByteArray saved = qgetenv("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", empty.path().toLocal8Bit());
    auto broken = Native::TextRecognition::makeDefault();
    EXPECT_TRUE(std::holds_alternative<Native::RecognitionFailure>(broken->recognize(text, QRectF(0, 0, 1, 1))));
    {
        Native::ScopedOverride<Native::TextRecognition> override(broken);
        Testing::await(TextRecognizer::warmUp());
        EXPECT_FALSE(Testing::await(TextRecognizer::recognizeWord(text, QRectF(0, 0, 320, 60), QPointF(10, 10))));
    }
    if (saved.isNull())
        qunsetenv("TESSDATA_PREFIX");
    else
        qputenv("TESSDATA_PREFIX", saved);
}

} // namespace
