// A wrong word is worse than none: the user believes it. Every word of each fixture is read at its
// centre and 2 px inside its first and its last character, and each reading must be that word or
// nothing; another word fails. The fixtures reproduce what real providers answer:
// - an editor that answers offset 0 everywhere with character boxes of no height: accessibility
//   reads nothing there and says why, and screen text reads the words; KWrite, whose editor
//   component answers so, the same;
// - a paragraph wrapped over two rows that answers -1 at some points;
// - a page in the real browser, with bold, italic and linked words inside wrapped paragraphs: those
//   take their paragraph's sentence;
// - a terminal with its default bitmap font showing accented words, read as screen text.
// Each test prints its tally of right, nothing and wrong.

#include "Native/Accessibility/AtspiRequests.h"
#include "Services/Detection/AccessibilityTextService.h"
#include "Services/Detection/OffsetTrust.h"
#include "Services/Detection/ScreenCaptureService.h"
#include "Services/Detection/TextRecognizer.h"
#include "Shared/Platform/WindowLookup.h"
#include "Support/FixtureProcess.h"
#include "Support/RealApplication.h"
#include "Support/RunningLumivox.h"
#include "Support/ScreenText.h"
#include "Support/TestSupport.h"
#include "Support/WorkerThread.h"
#include "Support/Xterm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

using namespace Lumivox;
namespace ATS = Lumivox::AccessibilityTextService;

// libxkbcommon, under Qt's xcb platform, hands strndup a buffer that is not NUL-terminated within
// the length it passes: legitimate, but it trips the strict string checks the sanitizer build turns on.
extern "C" const char *__asan_default_suppressions()
{
    return "interceptor_via_lib:libxkbcommon-x11.so\n";
}

namespace {

constexpr double screenHeight = 800;

Testing::WorkerThread &worker()
{
    static Testing::WorkerThread w;
    return w;
}

struct Word
{
    QString text;
    /// X11 pixels, root coordinates.
    QRect box;
};

// "word <text> <x> <y> <width> <height>" lines.
std::vector<Word> wordsIn(const QList<QByteArray> &lines)
{
    std::vector<Word> words;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> f = line.trimmed().split(' ');
        if (f.size() == 6 && f[0] == "word")
            words.push_back({QString::fromUtf8(f[1]), QRect(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt())});
    }
    return words;
}

std::vector<Word> wordsOf(const Testing::Xterm &terminal)
{
    std::vector<Word> words;
    for (const auto &word : terminal.words())
        words.push_back({word.text, word.box});
    return words;
}

// What one way of reading gave at a point: a word, or nothing.
using Reading = std::function<std::optional<QString>(QPointF)>;

struct Tally
{
    int right = 0;
    int nothing = 0;
    int wrong = 0;
    QStringList wrongs;
    QStringList nothings;

    void print(const char *name) const
    {
        std::printf("[tally] %s: right %d, nothing %d, wrong %d\n", name, right, nothing, wrong);
        if (!nothings.isEmpty())
            std::printf("[tally]   nothing at: %s\n", qPrintable(nothings.join(QStringLiteral(", "))));
        std::fflush(stdout);
    }
};

// Words of fewer than two letters are never read; they are not counted.
Tally readEveryWord(const std::vector<Word> &words, const Reading &read)
{
    Tally tally;
    for (const Word &word : words) {
        if (word.text.size() < 2)
            continue;
        const double y = word.box.y() + word.box.height() / 2.0;
        for (const double x :
             {word.box.x() + 2.0, word.box.x() + word.box.width() / 2.0, word.box.x() + word.box.width() - 2.0}) {
            const auto got = read(QPointF(x, y));
            if (!got) {
                ++tally.nothing;
                tally.nothings << QStringLiteral("%1 (%2, %3)").arg(word.text).arg(x).arg(y);
            } else if (*got == word.text)
                ++tally.right;
            else {
                ++tally.wrong;
                tally.wrongs << QStringLiteral("%1 at (%2, %3) read as %4").arg(word.text).arg(x).arg(y).arg(*got);
            }
        }
    }
    return tally;
}

ATS::LookupResult lookup(QPointF at)
{
    return worker().run([at] { return ATS::lookupWord(at, screenHeight); });
}

std::optional<QString> accessibilityWord(QPointF at)
{
    const auto result = lookup(at);
    if (const auto *hit = result.hitResult())
        return hit->word;
    return std::nullopt;
}

// As the program reads screen text: the strip around the point, of the window there.
std::optional<QString> screenTextWord(QPointF at)
{
    const auto hit = Testing::screenTextAt(at);
    return hit ? std::optional(hit->text) : std::nullopt;
}

// As the program reads a word: through accessibility (the application's tree walked again where
// the hit test ends on a container), else from screen text.
std::optional<QString> programsWord(QPointF at)
{
    auto result = lookup(at);
    const auto *miss = result.missResult();
    if (miss && miss->pid && ATS::isContainerRole(miss->role)) {
        const std::int32_t pid = *miss->pid;
        result = worker().run([pid, at] { return ATS::lookupWordInProcess(pid, at, screenHeight, false); });
    }
    if (const auto *hit = result.hitResult())
        return hit->word;
    return screenTextWord(at);
}

// Waits until the application answers over the bus with the given role at a point.
bool answers(QPointF at, const QString &role)
{
    return Testing::spinUntil(
        [&] {
            const auto result = lookup(at);
            const auto *miss = result.missResult();
            return result.hitResult() || (miss && miss->role == role);
        },
        std::chrono::seconds(20));
}

// The text of every element under `object` that has some, one element to a line.
void gatherText(AtspiAccessible *object, QString &into, int depth)
{
    namespace Atspi = Native::Atspi;
    if (depth > 40)
        return;
    if (const auto own = Atspi::interfacesOf(object); own && own->text) {
        if (const auto count = Atspi::characterCountOf(object); count && *count > 0)
            into += Atspi::textOf(object, 0, *count).value_or(QString()) + QLatin1Char('\n');
    }
    const int children = std::min(Atspi::childCountOf(object).value_or(0), 256);
    for (int i = 0; i < children; ++i) {
        if (AtspiAccessible *child = Atspi::childOf(object, i)) {
            gatherText(child, into, depth + 1);
            g_object_unref(child);
        }
    }
}

// Waits until the application of `pid` exposes a page: its accessible tree holds every word of the
// page, and its first and last words answer where they are drawn. A browser exposes a page some
// time after it has drawn it, later still on a busy machine.
bool exposesPage(qint64 pid, const std::vector<Word> &words)
{
    const auto answersAt = [](const Word &word) { return lookup(QRectF(word.box).center()).hitResult() != nullptr; };
    return Testing::spinUntil(
        [&] {
            const QString text = worker().run([pid] {
                QString gathered;
                Native::Atspi::Session &session = Native::Atspi::Session::instance();
                std::lock_guard lock(session.mutex);
                if (!session.ready())
                    return gathered;
                session.drain();
                if (AtspiAccessible *app = session.application(std::int32_t(pid))) {
                    gatherText(app, gathered, 0);
                    g_object_unref(app);
                }
                return gathered;
            });
            return std::all_of(words.begin(), words.end(), [&](const Word &w) { return text.contains(w.text); })
                && answersAt(words.front()) && answersAt(words.back());
        },
        std::chrono::seconds(60));
}

class ProviderFixture
{
public:
    explicit ProviderFixture(const QString &behaviour)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        m_process.start(QStringLiteral("provider_fixture"),
                        {QStringLiteral("--at"), QStringLiteral("40"), QStringLiteral("40"), behaviour}, env);
        words = wordsIn(m_process.lines());
    }
    bool isReady() const { return m_process.isReady() && !words.empty(); }
    std::vector<Word> words;

private:
    Testing::FixtureProcess m_process;
};

} // namespace

TEST(WordTruth, AnEditorAnsweringOffsetZeroEverywhereIsReadAsScreenTextOnly)
{
    ProviderFixture editor(QStringLiteral("--offset-zero"));
    ASSERT_TRUE(editor.isReady());
    ASSERT_TRUE(answers(QRectF(editor.words.front().box).center(), QStringLiteral("AXTextArea")));

    // Accessibility reads nothing, never the first word, and says why.
    const Tally accessibility = readEveryWord(editor.words, accessibilityWord);
    accessibility.print("offset 0 with flat boxes, accessibility");
    EXPECT_EQ(accessibility.wrong, 0) << qPrintable(accessibility.wrongs.join(QLatin1Char('\n')));
    EXPECT_EQ(accessibility.right, 0);
    for (const Word &word : {editor.words.front(), editor.words.back()}) {
        const auto result = lookup(QRectF(word.box).center());
        ASSERT_TRUE(result.missResult());
        const auto reason = result.missResult()->reason;
        EXPECT_TRUE(reason == OffsetTrust::flatBoxesDoubt() || reason == OffsetTrust::oneOffsetDoubt()
                    || reason == OffsetTrust::defaultIndexDoubt())
            << qPrintable(result.missResult()->reason.value_or(QStringLiteral("no reason")));
    }

    // The words are on the screen all the same.
    const Tally screen = readEveryWord(editor.words, screenTextWord);
    screen.print("offset 0 with flat boxes, screen text");
    EXPECT_EQ(screen.wrong, 0) << qPrintable(screen.wrongs.join(QLatin1Char('\n')));
    EXPECT_GE(screen.right, 3 * screen.nothing) << "most words are read";
}

TEST(WordTruth, KWriteWhichAnswersOffsetZeroEverywhereIsNeverReadAsAnotherWord)
{
    // The known text's long line makes KWrite show a bar above the text, which moves it down.
    Testing::RealApplication editor;
    ASSERT_TRUE(editor.start(
        QStringLiteral("kwrite"), {}, true,
        [](const std::function<void()> &job) {
            worker().run([&] {
                job();
                return true;
            });
        },
        QStringLiteral("raise limit")))
        << qPrintable(editor.error());
    std::vector<Word> words;
    for (const auto &word : editor.words())
        words.push_back({word.text, word.box});

    const Tally accessibility = readEveryWord(words, accessibilityWord);
    accessibility.print("kwrite, accessibility");
    EXPECT_EQ(accessibility.wrong, 0) << qPrintable(accessibility.wrongs.join(QLatin1Char('\n')));
    const Tally program = readEveryWord(words, programsWord);
    program.print("kwrite, as the program reads");
    EXPECT_EQ(program.wrong, 0) << qPrintable(program.wrongs.join(QLatin1Char('\n')));
    EXPECT_GT(program.right, 3 * program.nothing) << "most words are read";
}

TEST(WordTruth, AWrappedParagraphAnsweringMinusOneNeverGivesAnotherRowsWord)
{
    ProviderFixture paragraph(QStringLiteral("--minus-one"));
    ASSERT_TRUE(paragraph.isReady());
    // The left half of the first word answers.
    const QRect first = paragraph.words.front().box;
    ASSERT_TRUE(answers(QPointF(first.x() + 2, first.center().y()), QStringLiteral("AXStaticText")));

    const Tally tally = readEveryWord(paragraph.words, accessibilityWord);
    tally.print("wrapped paragraph answering -1, accessibility");
    EXPECT_EQ(tally.wrong, 0) << qPrintable(tally.wrongs.join(QLatin1Char('\n')));
    EXPECT_GT(tally.right, int(paragraph.words.size())) << "the points that answer are read";

    // Where accessibility reads nothing the program reads the screen.
    const Tally program = readEveryWord(paragraph.words, programsWord);
    program.print("wrapped paragraph answering -1, as the program reads");
    EXPECT_EQ(program.wrong, 0) << qPrintable(program.wrongs.join(QLatin1Char('\n')));
    EXPECT_GT(program.right, tally.right);
}

TEST(WordTruth, ABrowserPageReadsInlineWordsInTheirParagraphsSentence)
{
    QTemporaryDir profile;
    ASSERT_TRUE(profile.isValid());
    QProcess browser;
    browser.setProcessChannelMode(QProcess::SeparateChannels);
    browser.start(QStringLiteral("chromium"),
                  {QStringLiteral("--no-sandbox"), QStringLiteral("--test-type"),
                   QStringLiteral("--user-data-dir=") + profile.path(), QStringLiteral("--no-first-run"),
                   QStringLiteral("--force-renderer-accessibility"), QStringLiteral("--disable-gpu"),
                   QStringLiteral("--enable-logging=stderr"), QStringLiteral("--window-position=0,0"),
                   QStringLiteral("--window-size=700,500"),
                   QStringLiteral("--app=file://")
                       + Testing::sourcePath(QStringLiteral("tests/System/Fixtures/inline_words.html"))});
    ASSERT_TRUE(browser.waitForStarted(10000)) << "the browser (chromium) must be installed";
    struct Stop
    {
        QProcess &p;
        ~Stop() { Testing::endProcess(p); }
    } stop {browser};

    // The page logs where its words are, then "ready".
    static const QRegularExpression console(QStringLiteral("CONSOLE[^\"]*\"([^\"]*)\""));
    QList<QByteArray> lines;
    bool ready = false;
    QByteArray pending;
    ASSERT_TRUE(Testing::spinUntil(
        [&] {
            browser.waitForReadyRead(100);
            pending += browser.readAllStandardError();
            qsizetype end = 0;
            while ((end = pending.indexOf('\n')) >= 0) {
                const auto m = console.match(QString::fromUtf8(pending.left(end)));
                pending.remove(0, end + 1);
                if (!m.hasMatch())
                    continue;
                if (m.captured(1) == QLatin1String("ready"))
                    ready = true;
                else
                    lines << m.captured(1).toUtf8();
            }
            return ready;
        },
        std::chrono::seconds(60)))
        << "the page did not load";
    const std::vector<Word> words = wordsIn(lines);
    ASSERT_GE(words.size(), 40u);
    ASSERT_TRUE(exposesPage(browser.processId(), words)) << "the browser did not expose its page";

    const Tally tally = readEveryWord(words, accessibilityWord);
    tally.print("browser page, accessibility");
    EXPECT_EQ(tally.wrong, 0) << qPrintable(tally.wrongs.join(QLatin1Char('\n')));
    EXPECT_GT(tally.right, tally.nothing);
    const Tally program = readEveryWord(words, programsWord);
    program.print("browser page, as the program reads");
    EXPECT_EQ(program.wrong, 0) << qPrintable(program.wrongs.join(QLatin1Char('\n')));

    // Bold, italic, linked and spanned words carry their paragraph's sentence.
    std::map<QString, QString> inline_ {
        {QStringLiteral("bold"),
         QStringLiteral("The harbour keeps a bold lantern burning while the quiet ferryman rows past the old pier at "
                        "night.")},
        {QStringLiteral("ferryman"),
         QStringLiteral("The harbour keeps a bold lantern burning while the quiet ferryman rows past the old pier at "
                        "night.")},
        {QStringLiteral("weathered"),
         QStringLiteral("Travellers read the weathered signs correctly before the moonlight fades over the water.")},
        {QStringLiteral("visual"),
         QStringLiteral("Every sailor checks the visual markers twice when fog settles on the narrow channel.")},
    };
    // Beside a link, the link itself, a span, and runs nested in one another.
    const QString tavern =
        QStringLiteral("Sailors drink bitter coffee at the tavern and tell mixed tales of distant islands.");
    const QString quay = QStringLiteral("The stormy night kept every small fishing boat tied to the quay.");
    for (const char *word : {"bitter", "tavern", "mixed", "distant"})
        inline_[QString::fromLatin1(word)] = tavern;
    for (const char *word : {"stormy", "small", "fishing"})
        inline_[QString::fromLatin1(word)] = quay;
    int withSentence = 0;
    for (const Word &word : words) {
        const auto sentence = inline_.find(word.text);
        if (sentence == inline_.end())
            continue;
        const auto result = lookup(QRectF(word.box).center());
        SCOPED_TRACE(word.text.toStdString());
        ASSERT_TRUE(result.hitResult());
        EXPECT_EQ(result.hitResult()->word, word.text);
        EXPECT_EQ(result.hitResult()->fullText, sentence->second);
        EXPECT_EQ(result.hitResult()->wordOffset, sentence->second.indexOf(word.text));
        withSentence += result.hitResult()->fullText == sentence->second;
    }
    std::printf("[tally] browser page, inline words with their paragraph's sentence: %d of %zu\n", withSentence,
                inline_.size());
}

TEST(WordTruth, ATerminalsBitmapFontReadsAccentedWordsRightOrNotAtAll)
{
    // 50 cells to a row, so that the capture holds both edges of the window. The fourth line fills
    // its row to the last column; the fifth runs on into the next row, splitting "lighthouse": either
    // half is that word or nothing.
    Testing::Xterm terminal;
    ASSERT_TRUE(terminal.start(50, 9, QPoint(0, 0),
                               {
                                   QStringLiteral("Les mots naïve crème brûlée façade über déjà vu"),
                                   QStringLiteral("Don't señor rôle café piñata Zoë résumé élan"),
                                   QStringLiteral("The harbour master checks every vessel at dawn."),
                                   QStringLiteral("This row is as wide as the window, up to its walls"),
                                   QStringLiteral("The next row goes on past its last column; a lighthouse splits."),
                               }))
        << "xterm must be installed";

    const Tally tally = readEveryWord(wordsOf(terminal), screenTextWord);
    tally.print("terminal bitmap font, screen text");
    EXPECT_EQ(tally.wrong, 0) << qPrintable(tally.wrongs.join(QLatin1Char('\n')));
    EXPECT_GT(tally.right, 2 * tally.nothing);
}

TEST(WordTruth, ATerminalsWrappedWordIsNeverReadAsItsSecondHalf)
{
    // 120 cells are wider than the strip read around a word at a row's start, so the end of the row
    // above, where the word's first half is, lies outside it. Two words run past the last column,
    // each split into two words of their own: "light|house" and "moon|light". A row that starts
    // under a short one is no half.
    constexpr int columns = 120;
    const auto endingAt = [](QString line, int column, const QString &rest) {
        return line.leftJustified(column, QLatin1Char(' ')) + rest;
    };
    Testing::Xterm terminal;
    ASSERT_TRUE(terminal.start(
        columns, 8, QPoint(0, 0),
        {
            endingAt(QStringLiteral("Boats rest by the quay at night"), columns - 5,
                     QStringLiteral("lighthouse beams sweep the bay.")),
            endingAt(QStringLiteral("Gulls circle the masts"), columns - 4, QStringLiteral("moonlight fades away.")),
            QStringLiteral("Lanterns glow along the harbour wall."),
            QStringLiteral("The night is calm."),
        }))
        << "xterm must be installed";
    const std::vector<Word> words = wordsOf(terminal);
    for (const QString &split : {QStringLiteral("lighthouse"), QStringLiteral("moonlight")}) {
        ASSERT_EQ(std::count_if(words.begin(), words.end(), [&](const Word &w) { return w.text == split; }), 2)
            << qPrintable(split) << " is split over two rows";
    }

    const Tally tally = readEveryWord(words, screenTextWord);
    tally.print("terminal wider than the strip, a word wrapped at its right edge, screen text");
    EXPECT_EQ(tally.wrong, 0) << qPrintable(tally.wrongs.join(QLatin1Char('\n')));
    EXPECT_GT(tally.right, tally.nothing);
}

namespace {

// The rows of text Konsole shows: where its light glyphs are on its dark ground, one box per row
// (window pixels), top first. The ground is the colour at the window's lower left corner, where
// nothing is written; the text area starts where that colour does, under the tool bar.
std::vector<QRect> inkRows(const QImage &window)
{
    const QRgb ground = window.pixel(8, window.height() - 8);
    const auto differs = [&](QRgb p) { return std::abs(qGray(p) - qGray(ground)) > 80; };
    const int probe = window.width() - 40;
    int top = 0;
    while (top < window.height() && window.pixel(probe, top) != ground)
        ++top;
    std::vector<QRect> rows;
    QRect current;
    for (int y = top; y < window.height(); ++y) {
        int left = -1;
        int right = -1;
        for (int x = 0; x < probe; ++x) {
            if (differs(window.pixel(x, y))) {
                left = left < 0 ? x : left;
                right = x;
            }
        }
        if (left >= 0)
            current |= QRect(left, y, right - left + 1, 1);
        else if (!current.isNull()) {
            rows.push_back(current);
            current = QRect();
        }
    }
    return rows;
}

} // namespace

TEST(WordTruth, KonsolesFirstRowUnderItsToolBarIsReadRightOrNotAtAll)
{
    // Konsole draws its first row of text a pixel or two under the line that closes its tool bar.
    const QStringList lines {
        QStringLiteral("Harbour lanterns glow above quiet water tonight"),
        QStringLiteral("Sailors mend their nets beside the old pier"),
        QStringLiteral("The ferryman rows slowly across the channel"),
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("words.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    file.close();
    QProcess terminal;
    terminal.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    terminal.start(QStringLiteral("konsole"),
                   {QStringLiteral("--nofork"), QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                    QStringLiteral("cat \"$0\"; sleep 600"), file.fileName()});
    ASSERT_TRUE(terminal.waitForStarted(10000)) << "konsole must be installed";
    struct Stop
    {
        QProcess &p;
        ~Stop() { Testing::endProcess(p); }
    } stop {terminal};

    // Where the words are, from what Konsole drew: its cells are as wide as the widest row's ink
    // divided by its characters, and a row's first cell starts where its ink does, less the
    // glyphs' side bearings.
    Display *d = XOpenDisplay(nullptr);
    ASSERT_TRUE(d);
    std::vector<QRect> rows;
    QRect frame;
    const bool drawn = Testing::spinUntil(
        [&] {
            const auto frames = Testing::windowsOf(d, terminal.processId());
            if (frames.empty())
                return false;
            frame = frames.front();
            XImage *shot = XGetImage(d, DefaultRootWindow(d), frame.x(), frame.y(), unsigned(frame.width()),
                                     unsigned(frame.height()), AllPlanes, ZPixmap);
            if (!shot)
                return false;
            QImage window(frame.size(), QImage::Format_RGB32);
            for (int y = 0; y < frame.height(); ++y) {
                for (int x = 0; x < frame.width(); ++x)
                    window.setPixel(x, y, QRgb(XGetPixel(shot, x, y)) | 0xff000000u);
            }
            XDestroyImage(shot);
            rows = inkRows(window);
            return rows.size() >= std::size_t(lines.size());
        },
        std::chrono::seconds(30));
    XCloseDisplay(d);
    ASSERT_TRUE(drawn) << "Konsole did not show its text";
    const double cell = double(rows[0].width() + 2) / double(lines[0].size());
    std::vector<Word> words;
    static const QRegularExpression wordPattern(QStringLiteral("\\w+"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRect &ink = rows[std::size_t(i)];
        const double start = ink.left() - (double(lines[i].size()) * cell - ink.width()) / 2;
        for (auto m = wordPattern.globalMatch(lines[i]); m.hasNext();) {
            const auto match = m.next();
            words.push_back(
                {match.captured(),
                 QRect(frame.x() + int(std::lround(start + match.capturedStart() * cell)), frame.y() + ink.top(),
                       int(std::lround(match.capturedLength() * cell)), ink.height())});
        }
    }

    // A hand rests on the upper half of the letters as often as on their middle.
    const auto firstRowEnd = words.begin() + lines[0].split(QLatin1Char(' ')).size();
    std::vector<Word> upper;
    for (auto w = words.begin(); w != firstRowEnd; ++w)
        upper.push_back({w->text, w->box.translated(0, -w->box.height() / 4)});
    const Tally first = readEveryWord({words.begin(), firstRowEnd}, programsWord);
    first.print("konsole, first row, as the program reads");
    const Tally top = readEveryWord(upper, programsWord);
    top.print("konsole, first row at the upper half of its letters, as the program reads");
    const Tally others = readEveryWord({firstRowEnd, words.end()}, programsWord);
    others.print("konsole, the rows below, as the program reads");
    for (const Tally *tally : {&first, &top, &others})
        EXPECT_EQ(tally->wrong, 0) << qPrintable(tally->wrongs.join(QLatin1Char('\n')));
    EXPECT_GT(first.right + top.right + others.right, first.nothing + top.nothing + others.nothing);
}
