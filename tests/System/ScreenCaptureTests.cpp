// Screen capture against the private session's X server: real strips of real windows (our fixture
// app, in its own process) with our own windows painted out.

#include "Features/Overlay/OverlayPanel.h"
#include "Native/Services.h"
#include "Services/Detection/ScreenCaptureService.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Platform/WindowLookup.h"

#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"

#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

using namespace Lumivox;
using Outcome = ScreenCaptureService::Outcome;

namespace {

const QSizeF strip(640, 80);
const QRgb blue = qRgb(0x33, 0x66, 0x99);
const QRgb red = qRgb(0xcc, 0x33, 0x00);

/// One ocr_fixture window in its own process, gone with the object.
class FixtureWindow
{
public:
    explicit FixtureWindow(const QStringList &arguments) { m_process.start(QStringLiteral("ocr_fixture"), arguments); }
    bool isReady() const { return m_process.isReady(); }
    qint64 pid() const { return m_process.pid(); }

private:
    Testing::FixtureProcess m_process;
};

int countPixels(const QImage &image, QRgb colour, QRect within = QRect())
{
    const QRect area = within.isNull() ? image.rect() : within & image.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            n += (image.pixel(x, y) | 0xff000000u) == colour ? 1 : 0;
    }
    return n;
}

int countDark(const QImage &image, QRect within)
{
    int n = 0;
    for (int y = within.top(); y <= within.bottom(); ++y) {
        for (int x = within.left(); x <= within.right(); ++x)
            n += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
    }
    return n;
}

class ScreenCaptureSystemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Native::service<Native::ScreenCapture>()->hasScreenRecordingPermission())
            << "no X display in the test session";
        ASSERT_TRUE(background.isReady()) << "the fixture window did not come up";
    }

    Outcome capture(QPointF point, std::optional<WindowLookup::Hit> hit = std::nullopt, QSizeF size = strip)
    {
        return Testing::await(service.captureRegion(point, std::move(hit), size));
    }

    FixtureWindow background {{QStringLiteral("--blank"), QStringLiteral("--fill"), QStringLiteral("336699"),
                               QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("700"),
                               QStringLiteral("200")}};
    ScreenCaptureService service;
};

TEST_F(ScreenCaptureSystemTest, StripAtTheScreenEdgeIsCutToTheScreen)
{
    const Outcome outcome = capture(QPointF(10, 200));
    ASSERT_TRUE(outcome.result) << (outcome.error ? outcome.error->message.toStdString() : "miss");
    EXPECT_EQ(outcome.result->cropRect, QRectF(0, 160, 330, 80));
    EXPECT_EQ(outcome.result->image.size(), QSize(330, 80));
    EXPECT_EQ(countPixels(outcome.result->image, blue), 330 * 80);

    // Half on the fixture, half on the empty screen below it.
    const Outcome lower = capture(QPointF(300, 300));
    ASSERT_TRUE(lower.result);
    EXPECT_EQ(lower.result->cropRect, QRectF(0, 260, 620, 80));
    EXPECT_EQ(countPixels(lower.result->image, blue), 620 * 40);
}

TEST_F(ScreenCaptureSystemTest, TinyCropsAndPointsOffScreenGiveNothing)
{
    EXPECT_TRUE(capture(QPointF(5, 200), std::nullopt, QSizeF(20, 20)).isMiss());
    EXPECT_TRUE(capture(QPointF(-100, -100)).isMiss());
    EXPECT_TRUE(capture(QPointF(5000, 200)).isMiss());
    EXPECT_TRUE(capture(QPointF(300, 200), std::nullopt, QSizeF(0, 0)).isMiss());
    EXPECT_TRUE(capture(QPointF(300, 200)).result);
}

TEST_F(ScreenCaptureSystemTest, OurOwnTooltipIsPaintedOut)
{
    OverlayPanel panel;
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::magenta);
    panel.setPalette(palette);
    panel.setAutoFillBackground(true);
    panel.setGeometry(200, 180, 120, 40);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    // The window server must see the panel where the strip will be.
    ASSERT_TRUE(Testing::spinUntil([] {
        const auto hit = WindowLookup::window(QPointF(260, 200));
        return hit && hit->pid == AppIdentity::currentProcessID();
    }));

    // The pointer just below the tooltip, which lies inside the strip.
    const Outcome outcome = capture(QPointF(260, 240));
    ASSERT_TRUE(outcome.result);
    const QImage &image = outcome.result->image;
    EXPECT_EQ(countPixels(image, qRgb(255, 0, 255)), 0);
    // Where the panel was, the fixture's colour around it.
    EXPECT_EQ(image.pixel(260, 210 - 200) | 0xff000000u, blue);
    EXPECT_EQ(countPixels(image, blue), image.width() * image.height());
}

TEST_F(ScreenCaptureSystemTest, WindowCaptureShowsOnlyThatWindow)
{
    FixtureWindow cover({QStringLiteral("--blank"), QStringLiteral("--fill"), QStringLiteral("cc3300"),
                         QStringLiteral("300"), QStringLiteral("150"), QStringLiteral("200"), QStringLiteral("100")});
    ASSERT_TRUE(cover.isReady());
    auto hit = WindowLookup::window(QPointF(100, 200));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->pid, background.pid());

    // Captured from the display, the covering window shows.
    const Outcome fromDisplay = capture(QPointF(250, 200), hit);
    ASSERT_TRUE(fromDisplay.result);
    EXPECT_GT(countPixels(fromDisplay.result->image, red), 0);

    // Window-wise, only the window under the pointer does.
    hit->bundleIdentifier = QStringLiteral("com.google.Chrome");
    service.invalidateCache(); // the cover appeared after the content was fetched
    const Outcome alone = capture(QPointF(250, 200), hit);
    ASSERT_TRUE(alone.result);
    EXPECT_EQ(alone.result->cropRect, QRectF(0, 160, 570, 80));
    EXPECT_EQ(countPixels(alone.result->image, red), 0);
    EXPECT_EQ(countPixels(alone.result->image, blue), 570 * 80);
}

TEST_F(ScreenCaptureSystemTest, AWindowHangingOffTheScreenKeepsItsProportions)
{
    FixtureWindow offside({QStringLiteral("--blank"), QStringLiteral("--fill"), QStringLiteral("cc3300"),
                           QStringLiteral("-100"), QStringLiteral("400"), QStringLiteral("600"),
                           QStringLiteral("200")});
    ASSERT_TRUE(offside.isReady());
    auto hit = WindowLookup::window(QPointF(10, 500));
    ASSERT_TRUE(hit);
    ASSERT_EQ(hit->pid, offside.pid());
    hit->bundleIdentifier = QStringLiteral("com.google.Chrome");
    const Outcome outcome = capture(QPointF(10, 500), hit);
    ASSERT_TRUE(outcome.result);
    // The crop is the window's, off-screen part included, and the image matches it.
    EXPECT_EQ(outcome.result->cropRect, QRectF(-100, 460, 430, 80));
    EXPECT_EQ(outcome.result->image.size(), QSize(430, 80));
    EXPECT_EQ(countPixels(outcome.result->image, red), 430 * 80);
}

// With a compositing manager every window keeps its own pixels off screen, so a window is read
// from them and what covers it does not show at all.
TEST(ScreenCaptureCompositedTest, AWindowIsReadFromItsOwnPixelsUnderAnotherWindow)
{
    FixtureWindow text({QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("700"), QStringLiteral("160")});
    ASSERT_TRUE(text.isReady());
    FixtureWindow cover({QStringLiteral("--blank"), QStringLiteral("--fill"), QStringLiteral("cc3300"),
                         QStringLiteral("100"), QStringLiteral("110"), QStringLiteral("300"), QStringLiteral("60")});
    ASSERT_TRUE(cover.isReady());
    auto hit = WindowLookup::window(QPointF(20, 140));
    ASSERT_TRUE(hit);
    ASSERT_EQ(hit->pid, text.pid());
    hit->bundleIdentifier = QStringLiteral("com.google.Chrome");
    ScreenCaptureService service;
    const QPointF pointer(320, 140);
    // The covered part of the strip: x 100..400, y 110..170 on the screen.
    auto covered = [](const ScreenCaptureService::CaptureResult &r) {
        return QRect(100, 110, 300, 60).translated(-r.cropRect.topLeft().toPoint()) & r.image.rect();
    };

    // Without a compositor the covered part is painted over: no text shows there.
    const Outcome plain = Testing::await(service.captureRegion(pointer, hit, strip));
    ASSERT_TRUE(plain.result);
    EXPECT_EQ(countPixels(plain.result->image, red), 0);
    EXPECT_EQ(countDark(plain.result->image, covered(*plain.result)), 0);

    QProcess compositor;
    compositor.setProgram(QStringLiteral("xcompmgr"));
    compositor.setArguments({QStringLiteral("-n")});
    compositor.start();
    ASSERT_TRUE(compositor.waitForStarted()) << "xcompmgr did not start";
    // The first frames after it starts may predate the redirection: wait for the text to show.
    std::optional<ScreenCaptureService::CaptureResult> composited;
    const bool sawText = Testing::spinUntil(
        [&] {
            service.invalidateCache();
            const Outcome o = Testing::await(service.captureRegion(pointer, hit, strip));
            if (!o.result)
                return false;
            composited = o.result;
            return countDark(o.result->image, covered(*o.result)) > 50;
        },
        std::chrono::seconds(10));
    compositor.kill();
    compositor.waitForFinished();
    ASSERT_TRUE(composited);
    EXPECT_TRUE(sawText) << "the covered text never came from the window's own pixels";
    EXPECT_EQ(countPixels(composited->image, red), 0);
}

} // namespace
