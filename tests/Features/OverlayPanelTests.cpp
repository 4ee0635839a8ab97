// Where the tooltip goes and how it comes and goes: placement beside the point, moves in place,
// fades in anew after growing, and fade-outs that a new display interrupts.

#include "Fakes/FakeCompositing.h"
#include "Features/Overlay/OverlayPanel.h"
#include "Features/Overlay/TooltipPlacement.h"
#include "Features/Overlay/Views/OverlayTooltip.h"
#include "Native/Services.h"
#include "Shared/Platform/ScreenGeometry.h"
#include "Support/TestSupport.h"

#include <QAbstractAnimation>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Lumivox;

namespace {

const QRectF frame(0, 0, 800, 600);

TooltipContent meaning(const QString &text = QStringLiteral("casa"))
{
    TooltipContent c;
    c.text = text;
    return c;
}

TooltipContent withFooter()
{
    TooltipContent c = meaning();
    WordStatus s;
    s.hasKeys = true;
    s.showsKeyHints = true;
    c.status = s;
    return c;
}

class OverlayPanelTest : public ::testing::Test
{
protected:
    std::shared_ptr<Testing::FakeCompositing> compositing = std::make_shared<Testing::FakeCompositing>(true);
    Native::ScopedOverride<Native::Compositing> override {compositing};
    QRectF screen = ScreenGeometry::visibleFrame(QPointF(1, 1)).value_or(QRectF());

    static bool settled(const OverlayPanel &panel)
    {
        return Testing::spinUntil([&] { return panel.windowOpacity() == 1; });
    }
};

} // namespace

TEST(TooltipPlacement, AboveWhenItFitsThenBelowThenTheRoomierSide)
{
    struct Case
    {
        const char *what;
        double y;
        double height;
        ArrowEdge edge;
    };
    const Case cases[] = {
        {"plenty of room above", 300, 100, ArrowEdge::bottom},
        {"needed room exactly the room above", 490, 100, ArrowEdge::bottom},
        {"a point short above: below", 491, 100, ArrowEdge::top},
        {"fits neither side, more room above", 290, 700, ArrowEdge::bottom},
        {"fits neither side, more room below", 310, 700, ArrowEdge::top},
        {"fits neither side, equal room: above", 300, 700, ArrowEdge::bottom},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TooltipPlacement::arrowEdge(QPointF(400, c.y), QSizeF(200, c.height), frame), c.edge) << c.what;
}

TEST(TooltipPlacement, CentredOnThePointAndKept4PointsInsideTheFrame)
{
    struct Case
    {
        const char *what;
        QPointF point;
        QSizeF size;
        ArrowEdge edge;
        QPointF origin;
    };
    const QRectF offset(100, 50, 800, 600);
    const Case cases[] = {
        {"above", {400, 300}, {200, 80}, ArrowEdge::bottom, {300, 306}},
        {"below", {400, 300}, {200, 80}, ArrowEdge::top, {300, 214}},
        {"at the left edge", {20, 300}, {200, 80}, ArrowEdge::bottom, {104, 306}},
        {"at the right edge", {890, 300}, {200, 80}, ArrowEdge::bottom, {696, 306}},
        {"at the top", {400, 640}, {200, 80}, ArrowEdge::bottom, {300, 566}},
        {"at the bottom", {400, 60}, {200, 80}, ArrowEdge::top, {300, 54}},
        {"wider than the frame", {400, 300}, {900, 80}, ArrowEdge::bottom, {104, 306}},
        {"taller than the frame", {400, 300}, {200, 700}, ArrowEdge::bottom, {300, 54}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TooltipPlacement::origin(c.point, c.size, c.edge, offset), c.origin) << c.what;
    // No screen at all: the zero frame puts the panel at (4, 4).
    EXPECT_EQ(TooltipPlacement::origin({400, 300}, {200, 80}, ArrowEdge::bottom, QRectF()), QPointF(4, 4));

    EXPECT_FALSE(TooltipPlacement::growsBeyondPlace(100, 124));
    EXPECT_TRUE(TooltipPlacement::growsBeyondPlace(100, 124.5));
    EXPECT_FALSE(TooltipPlacement::growsBeyondPlace(0, 300)) << "nothing was on screen";
    EXPECT_FALSE(TooltipPlacement::growsBeyondPlace(100, 40)) << "shrinking";
}

TEST_F(OverlayPanelTest, ShowsBesideThePointAndMovesInPlace)
{
    ASSERT_FALSE(screen.isEmpty());
    OverlayPanel panel;
    const QPointF middle = screen.center();
    panel.display(meaning(), middle);
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.windowOpacity(), 0) << "a first display fades in";
    EXPECT_EQ(panel.lastArrowEdge(), ArrowEdge::bottom);
    const QRectF first = panel.cocoaFrame();
    EXPECT_EQ(first.y(), middle.y() + 6);
    EXPECT_NEAR(first.center().x(), middle.x(), 1);
    EXPECT_EQ(QSizeF(first.size()), panel.lastSize());
    EXPECT_FALSE(panel.tooltip()->isOpaque());
    // Shown but not yet visible at all: another display fades in from the start again.
    panel.display(meaning(), middle);
    EXPECT_EQ(panel.windowOpacity(), 0);
    ASSERT_TRUE(settled(panel));

    // The same content at another point jumps there; another content is drawn at once.
    panel.display(meaning(), middle + QPointF(40, -30));
    EXPECT_EQ(panel.windowOpacity(), 1);
    EXPECT_EQ(panel.cocoaFrame().topLeft(), first.topLeft() + QPointF(40, -30));
    panel.display(meaning(QStringLiteral("casas")), middle);
    EXPECT_EQ(panel.windowOpacity(), 1);
    EXPECT_EQ(panel.tooltip()->content().text, QStringLiteral("casas"));

    // Near the top of the screen the arrow flips to the top edge and the tooltip hangs below.
    const QPointF top(middle.x(), screen.y() + screen.height() - 10);
    panel.display(meaning(QStringLiteral("casas")), top);
    EXPECT_EQ(panel.lastArrowEdge(), ArrowEdge::top);
    EXPECT_EQ(panel.tooltip()->arrowEdge(), ArrowEdge::top);
    EXPECT_EQ(panel.cocoaFrame().y() + panel.cocoaFrame().height(), top.y() - 6);

    // Growing by more than 24 points fades in anew.
    panel.display(withFooter(), middle);
    EXPECT_EQ(panel.windowOpacity(), 0);
    EXPECT_TRUE(settled(panel));
}

TEST_F(OverlayPanelTest, ADisplayDuringTheFadeOutKeepsThePanel)
{
    OverlayPanel panel;
    const QPointF middle = screen.center();
    // Hidden before it became visible at all: away at once.
    panel.display(meaning(), middle);
    panel.hideTooltip();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_FALSE(panel.isHiding());

    panel.display(meaning(), middle);
    ASSERT_TRUE(settled(panel));
    panel.hideTooltip();
    EXPECT_TRUE(panel.isHiding());
    EXPECT_TRUE(panel.isVisible()) << "fading out";
    EXPECT_EQ(panel.lastSize(), QSizeF(0, 0));

    Testing::spinUntil([&] { return panel.windowOpacity() < 1; });
    panel.display(meaning(), middle);
    EXPECT_FALSE(panel.isHiding());
    EXPECT_EQ(panel.windowOpacity(), 1);
    // No fade-out is left to take it away later.
    for (const QAbstractAnimation *animation : panel.findChildren<QAbstractAnimation *>())
        EXPECT_EQ(animation->state(), QAbstractAnimation::Stopped);
    QCoreApplication::processEvents();
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.windowOpacity(), 1);

    // A fade-out that runs its course takes the panel away.
    panel.hideTooltip();
    EXPECT_TRUE(Testing::spinUntil([&] { return !panel.isVisible(); }));
    EXPECT_FALSE(panel.isHiding());
    // Hiding a hidden panel changes nothing.
    panel.hideTooltip();
    EXPECT_FALSE(panel.isHiding());
}

TEST_F(OverlayPanelTest, WithoutACompositorTheMeaningReplacesTheLoadingStateInOneDrawing)
{
    compositing->setActive(false);
    OverlayPanel panel;
    struct PaintCounter : QObject
    {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    panel.tooltip()->installEventFilter(&counter);
    TooltipContent loading;
    loading.isLoading = true;
    panel.display(loading, screen.center());
    ASSERT_TRUE(Testing::spinUntil([&] { return counter.paints > 0; })) << "the loading state was never drawn";

    counter.paints = 0;
    panel.display(meaning(), screen.center());
    ASSERT_TRUE(Testing::spinUntil([&] { return counter.paints > 0; })) << "the meaning was never drawn";
    // Drawn, and nothing left running that would draw it again: no fade of the panel or of its
    // content, no spinner.
    for (const QAbstractAnimation *animation : panel.findChildren<QAbstractAnimation *>())
        EXPECT_EQ(animation->state(), QAbstractAnimation::Stopped) << "frames of a fade nobody sees";
    for (const QTimer *timer : panel.tooltip()->findChildren<QTimer *>())
        EXPECT_FALSE(timer->isActive()) << "the loading spinner still turns";
    QCoreApplication::processEvents();
    EXPECT_LE(counter.paints, 2);
}

TEST_F(OverlayPanelTest, WithoutACompositorItShowsAndHidesAtOnceCutToItsShape)
{
    compositing->setActive(false);
    OverlayPanel panel;
    panel.display(meaning(), screen.center());
    EXPECT_EQ(panel.windowOpacity(), 1);
    EXPECT_TRUE(panel.tooltip()->isOpaque());
    const QRegion mask = panel.mask();
    EXPECT_FALSE(mask.isEmpty());
    EXPECT_FALSE(mask.contains(QPoint(2, 2))) << "the transparent margin is cut away";
    EXPECT_TRUE(mask.contains(panel.rect().center()));
    panel.hideTooltip();
    EXPECT_FALSE(panel.isVisible());

    // A compositor that starts meanwhile is used from the next fade-in on.
    compositing->setActive(true);
    panel.display(meaning(), screen.center());
    EXPECT_TRUE(panel.mask().isEmpty());
    EXPECT_EQ(panel.windowOpacity(), 0);
}
