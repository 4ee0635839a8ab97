// The word lookup against real applications over AT-SPI: a GTK 3 and a Qt fixture window showing
// known text, inside the private session (accessibility bus enabled). Lookups run on a worker
// thread without an event loop while the main thread keeps its own loop turning, as in the app.

#include "Native/Accessibility/Accessibility.h"
#include "Native/Services.h"
#include "Services/Detection/AccessibilityTextService.h"
#include "Shared/Platform/WindowLookup.h"
#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"
#include "Support/WorkerThread.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>
#include <QWindow>

#include <gtest/gtest.h>

#include <csignal>
#include <map>

using namespace Lumivox;
namespace ATS = Lumivox::AccessibilityTextService;

// libxkbcommon, under Qt's xcb platform, hands strndup a buffer that is not NUL-terminated within
// the length it passes: legitimate, but it trips the strict string checks the sanitizer build turns on.
extern "C" const char *__asan_default_suppressions()
{
    return "interceptor_via_lib:libxkbcommon-x11.so\n";
}

namespace {

// The screen of the private session; Quartz and X11 pixels coincide there (no scaling).
constexpr double screenHeight = 800;

Testing::WorkerThread &worker()
{
    static Testing::WorkerThread w;
    return w;
}

// A fixture application: started, its word boxes read from its output.
class FixtureApp
{
public:
    bool start(const QString &name, QPoint at, bool qt, QStringList extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (qt)
            env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        const bool ready = m_process.start(
            name, QStringList {QStringLiteral("--at"), QString::number(at.x()), QString::number(at.y())} + extra, env);
        for (const QByteArray &line : m_process.lines()) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() == 6 && f[0] == "word")
                words[QString::fromUtf8(f[1])] = QRect(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt());
            if (f.size() == 2 && f[0] == "pid")
                pid = f[1].toInt();
        }
        return ready && pid > 0;
    }

    // The centre of a character of a word box: `index` of `length` characters.
    QPointF point(const QString &key, int index = 0, int length = 1) const
    {
        const QRect r = words.at(key);
        const double width = double(r.width()) / length;
        return QPointF(r.x() + width * (index + 0.5), r.y() + r.height() / 2.0);
    }

    std::map<QString, QRect> words;
    int pid = 0;

private:
    Testing::FixtureProcess m_process;
};

QRectF quartz(const QRectF &cocoa)
{
    return QRectF(cocoa.x(), screenHeight - cocoa.bottom(), cocoa.width(), cocoa.height());
}

std::optional<Native::AXWindowUnderPoint> windowUnder(QPointF at)
{
    const auto hit = WindowLookup::window(at);
    if (!hit)
        return std::nullopt;
    return Native::AXWindowUnderPoint {hit->pid, hit->windowID};
}

ATS::LookupResult lookup(QPointF at)
{
    return worker().run([at] { return ATS::lookupWord(at, screenHeight); });
}

QRectF quartzOf(const ATS::HitResult &hit)
{
    return quartz(hit.bounds);
}

// The word box grown a little: toolkits measure glyph boxes slightly differently.
bool near(const QRectF &bounds, const QRect &expected)
{
    return QRectF(expected).adjusted(-4, -4, 4, 4).contains(bounds);
}

// Waits until the application answers over the bus (Qt registers a moment after it shows).
bool accessible(QPointF at)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        const auto result = lookup(at);
        if (result.hitResult() || result.isSuppressed())
            return true;
        QThread::msleep(100);
    }
    return false;
}

std::string describe(const ATS::LookupResult &r)
{
    if (const auto *hit = r.hitResult())
        return QStringLiteral("hit '%1' in '%2' at %3 [%4,%5 %6x%7]")
            .arg(hit->word, hit->fullText, hit->wordOffset ? QString::number(*hit->wordOffset) : QStringLiteral("-"))
            .arg(hit->bounds.x())
            .arg(hit->bounds.y())
            .arg(hit->bounds.width())
            .arg(hit->bounds.height())
            .toStdString();
    if (const auto *miss = r.missResult())
        return QStringLiteral("miss pid=%1 role=%2 snippet=%3 reason=%4")
            .arg(miss->pid ? QString::number(*miss->pid) : QStringLiteral("-"),
                 miss->role.value_or(QStringLiteral("-")), miss->snippet.value_or(QStringLiteral("-")),
                 miss->reason.value_or(QStringLiteral("-")))
            .toStdString();
    return r.isOwnProcess() ? "ownProcess" : "suppressed";
}

} // namespace

class AccessibilityLookup : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        gtk = new FixtureApp;
        qt = new FixtureApp;
        ASSERT_TRUE(gtk->start(QStringLiteral("gtk_text_fixture"), QPoint(0, 0), false));
        ASSERT_TRUE(qt->start(QStringLiteral("qt_text_fixture"), QPoint(600, 0), true));
        ASSERT_TRUE(worker().run([] { return ATS::isTrusted(); })) << "the session enables the accessibility bus";
        ASSERT_TRUE(accessible(gtk->point(QStringLiteral("label:clever"))));
        ASSERT_TRUE(accessible(qt->point(QStringLiteral("edit:harbour"))));
    }
    static void TearDownTestSuite()
    {
        delete gtk;
        delete qt;
    }

    // Looks a word up at its first and at its middle character and checks what is read.
    static void expectWord(const FixtureApp &app, const QString &key, const QString &word, const QString &sentence,
                           std::optional<qsizetype> offset)
    {
        // Qt's line edit reports character boxes a few pixels left of where it draws them, so the
        // last pixels of a word are avoided.
        for (int index : {0, int(word.size()) / 2}) {
            const QPointF at = app.point(key, index, int(word.size()));
            const auto result = lookup(at);
            SCOPED_TRACE(describe(result));
            const auto *hit = result.hitResult();
            ASSERT_TRUE(hit) << qPrintable(key) << " at character " << index;
            EXPECT_EQ(hit->word, word);
            EXPECT_EQ(hit->fullText, sentence);
            EXPECT_EQ(hit->wordOffset, offset);
            if (offset) {
                EXPECT_EQ(hit->fullText.mid(*offset, word.size()), word);
            }
            EXPECT_TRUE(quartzOf(*hit).adjusted(-1, -1, 1, 1).contains(at));
            EXPECT_TRUE(near(quartzOf(*hit), app.words.at(key)));
        }
    }

    // Reads every word the fixture printed under `prefix` at its left edge, centre and right edge,
    // through the hit test and through the walk of the application's tree, and checks the word,
    // its sentence (as shown: no invisible characters) and its offset there.
    static void expectEveryWord(const FixtureApp &app, const QString &prefix, const QStringList &sentences)
    {
        int words = 0;
        for (const auto &[key, box] : app.words) {
            if (!key.startsWith(prefix))
                continue;
            ++words;
            const QString word = key.mid(prefix.size());
            const auto sentence = std::find_if(sentences.begin(), sentences.end(), [&](const QString &s) {
                return s.contains(QRegularExpression(QStringLiteral("\\b%1\\b").arg(word)));
            });
            ASSERT_NE(sentence, sentences.end()) << qPrintable(word);
            const double y = box.y() + box.height() / 2.0;
            for (const double x : {box.left() + 2.0, box.x() + box.width() / 2.0, box.x() + box.width() - 2.0}) {
                const QPointF at(x, y);
                const auto result = lookup(at);
                SCOPED_TRACE(qPrintable(QStringLiteral("%1 at (%2, %3): ").arg(word).arg(x).arg(y)
                                        + QString::fromStdString(describe(result))));
                const auto *hit = result.hitResult();
                ASSERT_TRUE(hit);
                EXPECT_EQ(hit->word, word);
                EXPECT_EQ(hit->fullText, *sentence);
                ASSERT_TRUE(hit->wordOffset);
                EXPECT_EQ(hit->fullText.mid(*hit->wordOffset, word.size()), word);
                EXPECT_TRUE(near(quartzOf(*hit), box));
            }
            const int pid = app.pid;
            const QPointF centre = QRectF(box).center();
            // A walk gives up once its time budget is spent, which a loaded machine running the
            // sanitizers can make it do: a miss is tried again, a wrong word never is.
            auto walked = worker().run([&] { return ATS::lookupWordInProcess(pid, centre, screenHeight, false); });
            for (int retry = 0; retry < 2 && !walked.hitResult(); ++retry)
                walked = worker().run([&] { return ATS::lookupWordInProcess(pid, centre, screenHeight, false); });
            ASSERT_TRUE(walked.hitResult()) << qPrintable(word) << ": " << describe(walked);
            EXPECT_EQ(walked.hitResult()->word, word);
        }
        EXPECT_GE(words, 9);
    }

    static inline FixtureApp *gtk = nullptr;
    static inline FixtureApp *qt = nullptr;
};

TEST_F(AccessibilityLookup, TextViewOnATablessNotebookPageDeepInContainers)
{
    // The notebook's page reports -1 x -1 extents, so GTK's own hit test stops at the page list;
    // the text view sits fourteen levels below the application.
    FixtureApp app;
    ASSERT_TRUE(app.start(QStringLiteral("gtk_text_fixture"), QPoint(0, 430), false, {QStringLiteral("--notebook")}));
    ASSERT_TRUE(accessible(app.point(QStringLiteral("label:clever"))));
    // The zero-width no-break space after the emoji is not part of the sentence as shown.
    expectEveryWord(app, QStringLiteral("view:"),
                    {QStringLiteral("Tabs stay hidden here."),
                     QStringLiteral("The notebook page \U0001F98A keeps seventeen layers above this quiet paragraph."),
                     QStringLiteral("Nothing else moves.")});
}

TEST_F(AccessibilityLookup, TextEditUnderALaterSiblingOfAFullWindowContainer)
{
    FixtureApp app;
    ASSERT_TRUE(app.start(QStringLiteral("qt_text_fixture"), QPoint(600, 430), true, {QStringLiteral("--filler")}));
    ASSERT_TRUE(accessible(app.point(QStringLiteral("edit:ferryman"))));
    expectEveryWord(app, QStringLiteral("edit:"),
                    {QStringLiteral("The ferryman rows past the harbour lights before dawn.")});
}

TEST_F(AccessibilityLookup, LongQtTextWithEmojiScrolledToItsEnd)
{
    // Some 40,000 UTF-16 units: too long to tell Qt's unit from the counts, so the toolkit must say.
    FixtureApp app;
    ASSERT_TRUE(app.start(QStringLiteral("qt_text_fixture"), QPoint(600, 430), true, {QStringLiteral("--long")}));
    ASSERT_TRUE(accessible(app.point(QStringLiteral("edit:ferryman"))));
    expectEveryWord(app, QStringLiteral("edit:"),
                    {QStringLiteral("The ferryman rows past the harbour lights before dawn.")});
}

TEST_F(AccessibilityLookup, ReadsWordSentenceAndOffsetFromGtk)
{
    // The fox emoji before the word is one character to AT-SPI and two UTF-16 units to us.
    expectWord(*gtk, QStringLiteral("label:clever"), QStringLiteral("clever"),
               QStringLiteral("Mind the \U0001F98A fox: a clever animal."), 19);
    expectWord(*gtk, QStringLiteral("view:pineapple"), QStringLiteral("pineapple"),
               QStringLiteral("The second sentence holds the word pineapple here."), 35);
    expectWord(*gtk, QStringLiteral("entry:lantern"), QStringLiteral("lantern"),
               QStringLiteral("Entry line with lantern inside"), 16);
}

TEST_F(AccessibilityLookup, ReadsWordSentenceAndOffsetFromQt)
{
    // Qt counts UTF-16 units on the bus where GTK counts characters; both must come out the same.
    expectWord(*qt, QStringLiteral("edit:harbour"), QStringLiteral("harbour"),
               QStringLiteral("Then \U0001F34D a quiet harbour appears."), 16);
    expectWord(*qt, QStringLiteral("line:lantern"), QStringLiteral("lantern"),
               QStringLiteral("Single line entry with lantern inside"), 23);
}

TEST_F(AccessibilityLookup, ButtonsMenusAndEmptySpace)
{
    for (FixtureApp *app : {gtk, qt}) {
        const auto save = lookup(app->point(QStringLiteral("button:Save"), 1, 3));
        ASSERT_TRUE(save.hitResult()) << describe(save);
        EXPECT_EQ(save.hitResult()->word, QStringLiteral("Save"));
        EXPECT_EQ(save.hitResult()->wordOffset, std::nullopt);

        const auto menu = lookup(app->point(QStringLiteral("menu:File"), 1, 3));
        EXPECT_TRUE(menu.isSuppressed()) << describe(menu);
    }
    // Below Qt's button there is nothing but the window's layout.
    const QRect window = qt->words.at(QStringLiteral("window"));
    const auto empty = lookup(QPointF(window.center().x(), window.bottom() - 20));
    ASSERT_TRUE(empty.missResult()) << describe(empty);
    EXPECT_EQ(empty.missResult()->pid, qt->pid);
}

TEST_F(AccessibilityLookup, LongTextKeepsOffsetsApart)
{
    // Sixty thousand characters with an emoji in every sentence, scrolled to the last one.
    FixtureApp app;
    ASSERT_TRUE(app.start(QStringLiteral("gtk_text_fixture"), QPoint(0, 430), false, {QStringLiteral("--long")}));
    ASSERT_TRUE(accessible(app.point(QStringLiteral("label:clever"))));
    expectWord(app, QStringLiteral("view:zeppelin"), QStringLiteral("zeppelin"),
               QStringLiteral("The final line holds the word zeppelin here."), 30);
}

TEST_F(AccessibilityLookup, OwnWindowIsOwnProcess)
{
    QLabel own(QStringLiteral("Our own window with words"));
    own.setWindowTitle(QStringLiteral("Lumivox test window"));
    own.move(640, 460);
    own.resize(300, 60);
    own.show();
    ASSERT_TRUE(Testing::spinUntil([&] { return own.isVisible() && own.windowHandle()->isExposed(); }));
    Testing::spinUntil([] { return false; }, std::chrono::milliseconds(300));
    const QPointF at = own.mapToGlobal(QPoint(40, 30));
    const auto result = lookup(at);
    EXPECT_TRUE(result.isOwnProcess()) << describe(result);
    EXPECT_EQ(worker().run([at] { return ATS::windowTitle(at); }), std::nullopt);
}

TEST_F(AccessibilityLookup, WindowTitles)
{
    const QPointF overGtk = gtk->point(QStringLiteral("label:clever"));
    const QPointF overQt = qt->point(QStringLiteral("edit:harbour"));
    EXPECT_EQ(worker().run([&] { return ATS::windowTitle(overGtk); }), QStringLiteral("GTK text fixture"));
    EXPECT_EQ(worker().run([&] { return ATS::windowTitle(overQt); }), QStringLiteral("Qt text fixture"));
}

TEST_F(AccessibilityLookup, WalksAnApplicationsTree)
{
    const struct
    {
        FixtureApp *app;
        QString key, word;
    } cases[] = {{gtk, QStringLiteral("view:pineapple"), QStringLiteral("pineapple")},
                 {qt, QStringLiteral("edit:harbour"), QStringLiteral("harbour")}};
    for (const auto &c : cases) {
        const QPointF point = c.app->point(c.key, 2, int(c.word.size()));
        const int pid = c.app->pid;
        const auto walked = worker().run([&] { return ATS::lookupWordInProcess(pid, point, screenHeight, false); });
        ASSERT_TRUE(walked.hitResult()) << describe(walked);
        EXPECT_EQ(walked.hitResult()->word, c.word);
    }
    const QPointF at = gtk->point(QStringLiteral("view:pineapple"), 2, 9);

    // A process that is not on the bus: a miss with its pid, or the system-wide lookup when asked.
    const auto unknown = worker().run([&] { return ATS::lookupWordInProcess(999999, at, screenHeight, false); });
    EXPECT_EQ(unknown, ATS::LookupResult::miss(999999));
    const auto again = worker().run([&] { return ATS::lookupWordInProcess(999999, at, screenHeight, true); });
    ASSERT_TRUE(again.hitResult()) << describe(again);
    EXPECT_EQ(again.hitResult()->word, QStringLiteral("pineapple"));
}

TEST_F(AccessibilityLookup, TextMarkersOnBothToolkits)
{
    // The marker path reads words and sentences by AT-SPI's own boundaries (GetStringAtOffset on
    // GTK; GetTextAtOffset on Qt, which lacks the former).
    struct Case
    {
        FixtureApp *app;
        QString key, word, sentence;
        qint64 offset;
    };
    const Case cases[] = {
        {gtk, QStringLiteral("label:clever"), QStringLiteral("clever"),
         QStringLiteral("Mind the \U0001F98A fox: a clever animal. "), 19},
        {qt, QStringLiteral("edit:harbour"), QStringLiteral("harbour"),
         QStringLiteral("Then \U0001F34D a quiet harbour appears. "), 16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key.toStdString());
        const QPointF at = c.app->point(c.key, 1, int(c.word.size()));
        struct Read
        {
            std::optional<QString> word, sentence;
            std::optional<QRectF> bounds;
            std::optional<qint64> offset;
        };
        const Read read = worker().run([&] {
            using namespace Native;
            Read out;
            const AXElement systemWide = service<Accessibility>()->systemWideElement(windowUnder);
            systemWide->setMessagingTimeout(0.15);
            const AXElement element = systemWide->elementAtPosition(at);
            if (!element)
                return out;
            const auto marker = element->parameterizedAttribute("AXTextMarkerForPosition", at);
            if (!marker)
                return out;
            const auto word = element->parameterizedAttribute("AXRightWordTextMarkerRangeForTextMarker", *marker);
            const auto sentence = element->parameterizedAttribute("AXSentenceTextMarkerRangeForTextMarker", *marker);
            if (!word || !sentence)
                return out;
            const auto &wordRange = std::get<AXTextMarkerRange>(*word);
            const auto &sentenceRange = std::get<AXTextMarkerRange>(*sentence);
            auto text = [&](const AXValue &range) {
                const auto v = element->parameterizedAttribute("AXStringForTextMarkerRange", range);
                return v ? std::optional<QString>(std::get<QString>(*v)) : std::nullopt;
            };
            out.word = text(*word);
            out.sentence = text(*sentence);
            if (const auto b = element->parameterizedAttribute("AXBoundsForTextMarkerRange", *word))
                out.bounds = std::get<QRectF>(*b);
            const auto lead =
                element->parameterizedAttribute("AXTextMarkerRangeForUnorderedTextMarkers",
                                                std::vector<AXTextMarker> {wordRange.start, sentenceRange.start});
            if (lead) {
                if (const auto length = element->parameterizedAttribute("AXLengthForTextMarkerRange", *lead))
                    out.offset = std::get<qint64>(*length);
            }
            return out;
        });
        EXPECT_EQ(read.word, c.word);
        EXPECT_EQ(read.sentence, c.sentence);
        EXPECT_EQ(read.offset, c.offset);
        ASSERT_TRUE(read.bounds);
        EXPECT_TRUE(near(*read.bounds, c.app->words.at(c.key)));
    }
}

TEST_F(AccessibilityLookup, AHungApplicationCostsOneTimeoutNotAHang)
{
    FixtureApp app;
    ASSERT_TRUE(app.start(QStringLiteral("gtk_text_fixture"), QPoint(600, 430), false));
    const QPointF at = app.point(QStringLiteral("label:clever"));
    ASSERT_TRUE(accessible(at));
    ASSERT_EQ(::kill(app.pid, SIGSTOP), 0);

    // Bounds on a stall, not a speed goal: without the messaging timeout these would take D-Bus's
    // default 25 s a request.
    QElapsedTimer timer;
    timer.start();
    const auto first = lookup(at);
    const qint64 firstMs = timer.restart();
    const auto second = lookup(at);
    const qint64 secondMs = timer.restart();
    const auto title = worker().run([at] { return ATS::windowTitle(at); });
    const qint64 titleMs = timer.elapsed();
    std::printf("stopped application: first lookup %lld ms, second %lld ms, window title %lld ms\n", firstMs, secondMs,
                titleMs);
    EXPECT_EQ(first, ATS::LookupResult::miss(app.pid)) << describe(first);
    EXPECT_EQ(second, ATS::LookupResult::miss(app.pid)) << describe(second);
    EXPECT_EQ(title, std::nullopt);
    EXPECT_LT(firstMs, 2000);
    EXPECT_LT(secondMs, 2000);
    EXPECT_LT(titleMs, 2000);

    // Once it runs again it is read again.
    ASSERT_EQ(::kill(app.pid, SIGCONT), 0);
    EXPECT_TRUE(accessible(at));
}

TEST_F(AccessibilityLookup, AnApplicationThatQuitsMidLookup)
{
    FixtureApp app;
    ASSERT_TRUE(app.start(QStringLiteral("gtk_text_fixture"), QPoint(600, 430), false));
    const QPointF at = app.point(QStringLiteral("view:pineapple"), 3, 9);
    ASSERT_TRUE(accessible(at));
    const int pid = app.pid;
    const bool quiet = worker().run([&] {
        using namespace Native;
        const AXElement systemWide = service<Accessibility>()->systemWideElement(windowUnder);
        systemWide->setMessagingTimeout(0.15);
        const AXElement element = systemWide->elementAtPosition(at);
        if (!element || !element->pid())
            return false;
        ::kill(pid, SIGKILL);
        // The bus notices the lost peer a moment later; wait for that, not for a fixed time.
        QDeadlineTimer deadline(5000);
        while (element->attribute("AXRole") && !deadline.hasExpired())
            QThread::msleep(20);
        // Everything about the vanished element is simply absent.
        return element->pid() == pid && !element->attribute("AXRole") && !element->attribute("AXValue")
            && !element->parameterizedAttribute("AXRangeForPosition", at)
            && !element->parameterizedAttribute("AXTextMarkerForPosition", at) && !element->attribute("AXChildren")
            && !element->attribute("AXWindow");
    });
    EXPECT_TRUE(quiet);
    const auto after = lookup(at);
    EXPECT_TRUE(after.missResult()) << describe(after);
}
