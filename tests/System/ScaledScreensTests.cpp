// The real program on scaled and mixed-scale monitors (RandR monitors on one large Xvfb screen, each
// scaled by Qt as a desktop would): a word hovered on each monitor is read through accessibility
// and its tooltip shows beside the pointer on the pointer's monitor; the picker opened near each
// corner of each monitor, or with the pointer on its first or last row or column, lies inside that
// monitor. And one screen at ×2 with a GTK window at
// GDK_SCALE=2: every word is read through accessibility, none from screen text. A terminal across the
// border of a ×1 and a ×2 monitor, lying over an editor, is read itself (its word or nothing, never the
// editor's hidden one); a word drawn across a monitor border is read whole or not at all.

#include "Support/RunningLumivox.h"
#include "Support/XTestInjector.h"
#include "Support/Xterm.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>

#include <cmath>
#include <cstdio>
#include <numeric>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

struct Monitor
{
    QRect pixels;
    double factor = 1.0;
    bool primary = false;
};

QString monitorName(std::size_t index)
{
    return QString(QChar(u'A' + int(index)));
}

int ignoreXError(Display *, XErrorEvent *)
{
    return 0;
}

// Lays the monitors out on the session's screen, named A, B, …; the first takes the screen's output.
void layOut(Display *d, const std::vector<Monitor> &monitors)
{
    const Window root = DefaultRootWindow(d);
    const auto previous = XSetErrorHandler(ignoreXError);
    for (std::size_t i = 0; i < 4; ++i)
        XRRDeleteMonitor(d, root, XInternAtom(d, qPrintable(monitorName(i)), False));
    XSync(d, False);
    XSetErrorHandler(previous);
    XRRScreenResources *resources = XRRGetScreenResources(d, root);
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const Monitor &m = monitors[i];
        const bool withOutput = i == 0 && resources && resources->noutput > 0;
        XRRMonitorInfo *info = XRRAllocateMonitor(d, withOutput ? 1 : 0);
        info->name = XInternAtom(d, qPrintable(monitorName(i)), False);
        info->primary = m.primary;
        info->x = m.pixels.x();
        info->y = m.pixels.y();
        info->width = m.pixels.width();
        info->height = m.pixels.height();
        info->mwidth = m.pixels.width() / 4;
        info->mheight = m.pixels.height() / 4;
        if (withOutput)
            info->outputs[0] = resources->outputs[0];
        XRRSetMonitor(d, root, info);
        XFree(info);
    }
    if (resources)
        XRRFreeScreenResources(resources);
    XSync(d, False);
}

// How far the pointer is from the nearest point of a window, in pixels.
double distance(QPoint pointer, const QRect &r)
{
    const double dx = std::max({r.left() - pointer.x(), 0, pointer.x() - r.right()});
    const double dy = std::max({r.top() - pointer.y(), 0, pointer.y() - r.bottom()});
    return std::hypot(dx, dy);
}

// Where a fixture puts its window: inside the monitor, in GTK's units (pixels divided by its scale).
QStringList placedOn(const Monitor &m, int gdkScale)
{
    return {QStringLiteral("--at"), QString::number((m.pixels.x() + 60) / gdkScale),
            QString::number((m.pixels.y() + 60) / gdkScale)};
}

class ScaledScreens : public ::testing::Test
{
protected:
    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        ASSERT_TRUE(display) << "the private session has no display";
        ASSERT_TRUE(input.ok());
        ASSERT_GE(DisplayWidth(display, DefaultScreen(display)), 4160) << "the session's screen is too small";
    }
    void TearDown() override
    {
        if (display) {
            layOut(display, {});
            XCloseDisplay(display);
        }
        qunsetenv("QT_SCREEN_SCALE_FACTORS");
        qunsetenv("QT_SCALE_FACTOR");
    }

    // Holds Alt over the centre of the word until its hover is recorded; gives the tooltip's frame
    // (pixels) and the hover's event.
    std::pair<QRect, std::optional<QJsonObject>> hover(RunningLumivox &app, const QRect &word, const QString &text)
    {
        if (!app.moveAndRest(input, word.center())) {
            ADD_FAILURE() << "the program never saw the pointer rest on " << text.toStdString() << app.logText();
            return {};
        }
        input.key(XK_Alt_L, true);
        QRect tooltip;
        spinUntil(
            [&] {
                const auto frames = windowsOf(display, app.process.processId());
                tooltip = frames.empty() ? QRect() : frames.front();
                return !frames.empty();
            },
            10s);
        const auto event = app.event(text);
        if (const auto frames = windowsOf(display, app.process.processId()); !frames.empty())
            tooltip = frames.front();
        input.key(XK_Alt_L, false);
        spinUntil([&] { return windowsOf(display, app.process.processId()).empty(); }, 10s);
        return {tooltip, event};
    }

    // The word a hover at the pixel read (see RunningLumivox::wordRead), with Alt held until it has
    // an outcome; the reason of an outcome that read none is kept.
    std::optional<QString> readAt(RunningLumivox &app, QPoint pixel)
    {
        const auto outcome = app.altHoverOutcome(input, display, pixel);
        if (!outcome) {
            ADD_FAILURE() << "no outcome of the hover at " << pixel.x() << "," << pixel.y();
            return std::nullopt;
        }
        const auto word = RunningLumivox::wordRead(*outcome);
        if (!word)
            lastMiss = outcome->value(QStringLiteral("reason")).toString();
        return word;
    }

    struct Tally
    {
        int right = 0;
        int nothing = 0;
        int wrong = 0;
        QStringList wrongs;
        QStringList nothings;
    };

    // Every word at its centre and 2 px inside its first and its last letter: that word or nothing
    // is read.
    Tally hoverEveryWord(RunningLumivox &app, const std::vector<Xterm::Word> &words, const char *name)
    {
        Tally tally;
        for (const Xterm::Word &word : words) {
            const int y = word.box.center().y();
            for (const int x : {word.box.left() + 2, word.box.center().x(), word.box.right() - 2}) {
                const auto shown = readAt(app, QPoint(x, y));
                if (!shown) {
                    ++tally.nothing;
                    tally.nothings << QStringLiteral("%1 at (%2, %3): %4").arg(word.text).arg(x).arg(y).arg(lastMiss);
                } else if (*shown == word.text)
                    ++tally.right;
                else {
                    ++tally.wrong;
                    tally.wrongs
                        << QStringLiteral("%1 at (%2, %3) shown as %4").arg(word.text).arg(x).arg(y).arg(*shown);
                }
            }
        }
        std::printf("[tally] %s: right %d, nothing %d, wrong %d\n", name, tally.right, tally.nothing, tally.wrong);
        if (!tally.nothings.isEmpty())
            std::printf("[tally]   nothing: %s\n", qPrintable(tally.nothings.join(QStringLiteral(", "))));
        std::fflush(stdout);
        return tally;
    }

    // Opens the picker with its hot key, the pointer on `pixel`; gives its frame (pixels), empty when
    // it did not open, and closes it again.
    QRect pickerOpenedAt(RunningLumivox &app, QPoint pixel)
    {
        input.moveTo(pixel.x(), pixel.y());
        input.chord({XK_Super_L, XK_Alt_L, XK_l}, 150ms);
        QRect picker;
        const bool shown = spinUntil(
            [&] {
                const auto frames = windowsOf(display, app.process.processId());
                picker = frames.empty() ? QRect() : frames.front();
                return !frames.empty() && keyboardIsHeld(display);
            },
            10s);
        if (!shown)
            return {};
        input.tap(XK_Escape);
        if (!spinUntil([&] { return windowsOf(display, app.process.processId()).empty(); }, 10s))
            ADD_FAILURE() << "the picker did not close";
        return picker;
    }

    Display *display = nullptr;
    XTestInjector input;
    // Why the last hover that read no word did not.
    QString lastMiss;
};

} // namespace

TEST_F(ScaledScreens, TooltipAndPickerStayOnThePointersMonitorWhateverItsScale)
{
    struct Layout
    {
        const char *name;
        std::vector<Monitor> monitors;
    };
    const std::vector<Layout> layouts {
        {"x1 primary, x2 to its right", {{{0, 0, 1280, 800}, 1.0, true}, {{1280, 0, 2560, 1600}, 2.0, false}}},
        {"x2 above a x1 primary", {{{0, 0, 2560, 1600}, 2.0, false}, {{0, 1600, 1280, 800}, 1.0, true}}},
        {"x1.5 left of a x1 primary", {{{0, 0, 2880, 1800}, 1.5, false}, {{2880, 0, 1280, 800}, 1.0, true}}},
    };
    // One word of the GTK window on each monitor.
    const std::vector<std::pair<QByteArray, QString>> words {{"view:pineapple", QStringLiteral("pineapple")},
                                                             {"label:clever", QStringLiteral("clever")}};
    for (const Layout &layout : layouts) {
        SCOPED_TRACE(layout.name);
        layOut(display, layout.monitors);
        QStringList factors;
        for (std::size_t i = 0; i < layout.monitors.size(); ++i)
            factors << monitorName(i) + QLatin1Char('=') + QString::number(layout.monitors[i].factor);
        qputenv("QT_SCREEN_SCALE_FACTORS", factors.join(QLatin1Char(';')).toLatin1());
        RunningLumivox app;
        ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();

        for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
            const Monitor &monitor = layout.monitors[i];
            SCOPED_TRACE(monitorName(i).toStdString());
            // GTK knows one whole scale for all its windows.
            const int gdkScale = std::max(1, int(monitor.factor));
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("GDK_SCALE"), QString::number(gdkScale));
            FixtureProcess gtk;
            ASSERT_TRUE(gtk.start(QStringLiteral("gtk_text_fixture"), placedOn(monitor, gdkScale), environment));
            const QRect word = wordBox(gtk, words[i].first);
            ASSERT_TRUE(monitor.pixels.contains(word)) << "the fixture's word lies on its monitor";

            const auto [tooltip, event] = hover(app, word, words[i].second);
            ASSERT_FALSE(tooltip.isEmpty()) << app.log.toStdString();
            EXPECT_TRUE(monitor.pixels.contains(tooltip)) << "tooltip at " << tooltip.x() << "," << tooltip.y() << " "
                                                          << tooltip.width() << "x" << tooltip.height();
            const double points = distance(word.center(), tooltip) / monitor.factor;
            EXPECT_LE(points, 40.0);
            ASSERT_TRUE(event) << app.log.toStdString();
            EXPECT_TRUE(event->value("source").toString().startsWith(QStringLiteral("accessibility")))
                << event->value("source").toString().toStdString();
            std::printf("%s, monitor %s: tooltip %dx%d at %.0f points from the pointer, word read through %s\n",
                        layout.name, qPrintable(monitorName(i)), tooltip.width(), tooltip.height(), points,
                        qPrintable(event->value("source").toString()));

            // The picker opened 20 pixels in from each corner.
            const QRect inner = monitor.pixels.adjusted(20, 20, -20, -20);
            int inside = 0;
            for (const QPoint corner : {inner.topLeft(), inner.topRight(), inner.bottomLeft(), inner.bottomRight()}) {
                const QRect picker = pickerOpenedAt(app, corner);
                ASSERT_FALSE(picker.isEmpty()) << app.log.toStdString();
                EXPECT_TRUE(monitor.pixels.contains(picker))
                    << "picker opened at " << corner.x() << "," << corner.y() << " lies at " << picker.x() << ","
                    << picker.y() << " " << picker.width() << "x" << picker.height();
                inside += monitor.pixels.contains(picker);
            }
            std::printf("%s, monitor %s: picker inside the monitor from %d of 4 corners\n", layout.name,
                        qPrintable(monitorName(i)), inside);
        }
    }
}

TEST_F(ScaledScreens, ThePickerOpensOnTheMonitorWhoseEdgePixelsThePointerIsOn)
{
    struct Layout
    {
        const char *name;
        std::vector<Monitor> monitors;
    };
    const std::vector<Layout> layouts {
        {"x1 primary, x2 to its right", {{{0, 0, 1280, 800}, 1.0, true}, {{1280, 0, 2560, 1600}, 2.0, false}}},
        {"x1 primary above a x2", {{{0, 0, 1280, 800}, 1.0, true}, {{0, 800, 2560, 1600}, 2.0, false}}},
        {"x2 above a x1 primary", {{{0, 0, 2560, 1600}, 2.0, false}, {{0, 1600, 1280, 800}, 1.0, true}}},
    };
    for (const Layout &layout : layouts) {
        SCOPED_TRACE(layout.name);
        layOut(display, layout.monitors);
        QStringList factors;
        for (std::size_t i = 0; i < layout.monitors.size(); ++i)
            factors << monitorName(i) + QLatin1Char('=') + QString::number(layout.monitors[i].factor);
        qputenv("QT_SCREEN_SCALE_FACTORS", factors.join(QLatin1Char(';')).toLatin1());
        RunningLumivox app;
        ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();
        for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
            const QRect m = layout.monitors[i].pixels;
            SCOPED_TRACE(monitorName(i).toStdString());
            // The first and last rows and columns, where a monitor meets its neighbours.
            for (const QPoint pixel : {m.topLeft(), QPoint(m.center().x(), m.top()), QPoint(m.left(), m.center().y()),
                                       QPoint(m.right(), m.center().y()), QPoint(m.center().x(), m.bottom())}) {
                const QRect picker = pickerOpenedAt(app, pixel);
                ASSERT_FALSE(picker.isEmpty()) << app.log.toStdString();
                EXPECT_TRUE(m.contains(picker))
                    << "the pointer on " << pixel.x() << "," << pixel.y() << ": the picker lies at " << picker.x()
                    << "," << picker.y() << " " << picker.width() << "x" << picker.height();
            }
        }
    }
}

TEST_F(ScaledScreens, AGtkWindowAtTwiceTheScaleIsReadThroughAccessibility)
{
    layOut(display, {{{0, 0, 2560, 1600}, 2.0, true}});
    qputenv("QT_SCALE_FACTOR", "2");
    RunningLumivox app;
    ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GDK_SCALE"), QStringLiteral("2"));
    FixtureProcess gtk;
    ASSERT_TRUE(gtk.start(QStringLiteral("gtk_text_fixture"), {"--at", "40", "40"}, environment));

    const std::vector<std::pair<QByteArray, QString>> words {{"label:Mind", QStringLiteral("Mind")},
                                                             {"label:clever", QStringLiteral("clever")},
                                                             {"view:first", QStringLiteral("first")},
                                                             {"view:pineapple", QStringLiteral("pineapple")},
                                                             {"entry:lantern", QStringLiteral("lantern")}};
    for (const auto &[key, text] : words) {
        SCOPED_TRACE(text.toStdString());
        const QRect word = wordBox(gtk, key);
        ASSERT_FALSE(word.isEmpty());
        const auto [tooltip, event] = hover(app, word, text);
        ASSERT_TRUE(event) << app.log.toStdString();
        EXPECT_EQ(event->value("reason").toString(), QStringLiteral("shown"));
        EXPECT_TRUE(event->value("source").toString().startsWith(QStringLiteral("accessibility")))
            << event->value("source").toString().toStdString();
    }
}

TEST_F(ScaledScreens, AWindowAcrossTheBorderIsReadItselfNeverTheWindowBeneathIt)
{
    // A terminal whose centre is on the x2 monitor reaches onto the x1 monitor, over an editor there.
    const Monitor left {{0, 0, 1280, 800}, 1.0, true};
    layOut(display, {left, {{1280, 0, 2560, 1600}, 2.0, false}});
    qputenv("QT_SCREEN_SCALE_FACTORS", "A=1;B=2");
    RunningLumivox app;
    ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();

    const QStringList hiddenWords =
        QStringLiteral("morning pebbles bakery orchard meadow quilt river candle basket garden window "
                       "pillow kettle ladder mirror saddle tunnel barrel copper velvet marble silver "
                       "pepper ginger walnut cherry almond butter cotton linen paper timber marsh "
                       "willow maple cedar spruce hazel clover thistle bramble heather fern moss "
                       "lichen daisy poppy tulip")
            .split(QLatin1Char(' '));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GDK_SCALE"), QStringLiteral("1"));
    FixtureProcess editor;
    ASSERT_TRUE(editor.start(QStringLiteral("gtk_text_fixture"),
                             {QStringLiteral("--at"), QStringLiteral("700"), QStringLiteral("100"),
                              QStringLiteral("--text"), hiddenWords.join(QLatin1Char(' '))},
                             environment));
    std::vector<QRect> hidden;
    for (const QString &word : hiddenWords)
        hidden.push_back(wordBox(editor, "view:" + word.toUtf8()));
    const QRect view = std::accumulate(hidden.begin(), hidden.end(), QRect(), std::bit_or<QRect>());
    ASSERT_FALSE(view.isEmpty());

    Xterm terminal;
    ASSERT_TRUE(terminal.start(100, 12, QPoint(1000, view.top()),
                               {QStringLiteral("candles flicker softly"), QStringLiteral("sailors sing loudly"),
                                QStringLiteral("anchors rest below"), QStringLiteral("lanterns swing gently")}))
        << "xterm must be installed";
    ASSERT_GT(terminal.frame().center().x(), 1280) << "the terminal's centre is on the x2 monitor";
    std::vector<Xterm::Word> onLeft;
    for (const Xterm::Word &word : terminal.words()) {
        if (left.pixels.contains(word.box))
            onLeft.push_back(word);
    }
    ASSERT_GE(onLeft.size(), 6u);
    ASSERT_TRUE(std::any_of(onLeft.begin(), onLeft.end(), [&](const Xterm::Word &w) {
        return std::any_of(hidden.begin(), hidden.end(), [&](const QRect &h) { return h.intersects(w.box); });
    })) << "the terminal lies over the editor's words";

    const Tally tally = hoverEveryWord(app, onLeft, "terminal across the x1 | x2 border, its x1 part");
    EXPECT_EQ(tally.wrong, 0) << qPrintable(tally.wrongs.join(QLatin1Char('\n')));
}

TEST_F(ScaledScreens, AWordAcrossAMonitorBorderIsReadWholeOrNotAtAll)
{
    struct Layout
    {
        const char *name;
        std::vector<Monitor> monitors;
        const char *factors;
    };
    const std::vector<Layout> layouts {
        {"x1 | x1", {{{0, 0, 1280, 800}, 1.0, true}, {{1280, 0, 1280, 800}, 1.0, false}}, "A=1;B=1"},
        {"x2 | x1", {{{0, 0, 2560, 1600}, 2.0, false}, {{2560, 0, 1280, 800}, 1.0, true}}, "A=2;B=1"},
    };
    // A terminal whose 20th column ends at the border; each row's word crosses it after a few letters.
    constexpr int before = 20;
    const std::vector<std::pair<QString, int>> crossing {{QStringLiteral("inside"), 4},
                                                         {QStringLiteral("chapel"), 1},
                                                         {QStringLiteral("harbour"), 5},
                                                         {QStringLiteral("lanterns"), 3}};
    QStringList lines;
    for (const auto &[word, split] : crossing)
        lines << QStringLiteral("Then").leftJustified(before - split, QLatin1Char(' ')) + word
                + QStringLiteral(" glow");
    int tallied = 0;
    for (const Layout &layout : layouts) {
        SCOPED_TRACE(layout.name);
        layOut(display, layout.monitors);
        qputenv("QT_SCREEN_SCALE_FACTORS", layout.factors);
        RunningLumivox app;
        ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();
        const int border = layout.monitors[1].pixels.left();
        Xterm terminal;
        ASSERT_TRUE(terminal.start(40, 6, QPoint(border - Xterm::border - before * Xterm::cellWidth, 100), lines))
            << "xterm must be installed";
        std::vector<Xterm::Word> words;
        for (const Xterm::Word &word : terminal.words()) {
            if (word.box.left() < border && word.box.right() >= border)
                words.push_back(word);
        }
        ASSERT_EQ(words.size(), crossing.size());
        const Tally tally =
            hoverEveryWord(app, words, qPrintable(QStringLiteral("a word across the %1 border").arg(layout.name)));
        EXPECT_EQ(tally.wrong, 0) << qPrintable(tally.wrongs.join(QLatin1Char('\n')));
        tallied += tally.right;
    }
    EXPECT_GT(tallied, 0) << "a strip crosses the border: some words are read whole";
}
