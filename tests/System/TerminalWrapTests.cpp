// Real terminals read as screen text, as the program reads them: a terminal breaks a long line at
// its last column, inside a word where one falls there, and each piece looks like a word of its own
// ("sun|flower", "pass|word"). Neither piece may ever be shown; the whole word or nothing is right.
// A word that starts a row under a row that does not run on is read, the first row's first word
// too. xterm bare and with its scroll bar at the right, Konsole and QTerminal with their default
// profiles (a scroll bar at the right): each draws something else beside its text. Every word is
// read at its first cell, its centre and its last cell; no word may come back as another.

#include "Services/Detection/ScreenCaptureService.h"
#include "Services/Detection/TextRecognizer.h"
#include "Shared/Platform/WindowLookup.h"
#include "Support/ScreenText.h"
#include "Support/TerminalWindow.h"
#include "Support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

using namespace Lumivox;
using Testing::TerminalWindow;

// libxkbcommon, under Qt's xcb platform, hands strndup a buffer that is not NUL-terminated within
// the length it passes: legitimate, but it trips the strict string checks the sanitizer build turns on.
extern "C" const char *__asan_default_suppressions()
{
    return "interceptor_via_lib:libxkbcommon-x11.so\n";
}

namespace {

std::optional<QString> screenTextWord(QPointF at)
{
    const auto hit = Testing::screenTextAt(at);
    return hit ? std::optional(hit->text) : std::nullopt;
}

struct Tally
{
    int right = 0;
    int nothing = 0;
    int wrong = 0;
    QStringList wrongs;
    QStringList nothings;
};

void print(const char *terminal, const char *kind, const Tally &t)
{
    std::printf("[tally] %s, %s: right %d, nothing %d, wrong %d\n", terminal, kind, t.right, t.nothing, t.wrong);
    if (!t.nothings.isEmpty())
        std::printf("[tally]   nothing at: %s\n", qPrintable(t.nothings.join(QStringLiteral(", "))));
    std::fflush(stdout);
}

// Words the terminal breaks, each with the letters that end its row: pieces that are words of their
// own, and pieces that are not.
const std::vector<std::pair<QString, int>> splits {
    {QStringLiteral("sunflower"), 3},
    {QStringLiteral("password"), 4},
    {QStringLiteral("rainbow"), 4},
    {QStringLiteral("stretch"), 2},
};

void readEveryWord(const char *name, const QString &program, const QStringList &arguments,
                   const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    TerminalWindow terminal;
    ASSERT_TRUE(terminal.start(
        program, arguments, [](int columns) { return TerminalWindow::brokenWords(columns, splits); }, environment))
        << qPrintable(terminal.error());
    Testing::await(TextRecognizer::warmUp());

    // A piece is right when nothing or the whole word is read; a row's first word when it is read.
    Tally halves;
    Tally rowStarts;
    Tally others;
    for (const TerminalWindow::Word &word : terminal.words()) {
        if (word.text.size() < 2 && !word.isHalf())
            continue;
        Tally &tally = word.isHalf() ? halves : word.column == 0 ? rowStarts : others;
        for (const QPoint at : word.points()) {
            const auto read = screenTextWord(at);
            const QString where =
                QStringLiteral("%1 (row %2) at %3,%4").arg(word.text).arg(word.row).arg(at.x()).arg(at.y());
            if (word.isHalf() ? (!read || *read == word.whole) : read == word.text)
                ++tally.right;
            else if (!read) {
                ++tally.nothing;
                tally.nothings << where;
            } else {
                ++tally.wrong;
                tally.wrongs << where + QStringLiteral(" read as ") + *read;
            }
        }
    }
    print(name, "broken words' pieces", halves);
    print(name, "rows' first words", rowStarts);
    print(name, "other words", others);
    for (const Tally *t : {&halves, &rowStarts, &others})
        EXPECT_EQ(t->wrong, 0) << qPrintable(t->wrongs.join(QLatin1Char('\n')));
    EXPECT_EQ(rowStarts.nothing, 0) << "a row's first word under a row that does not run on is read";
    EXPECT_GT(others.right, 2 * others.nothing);
}

} // namespace

TEST(TerminalWraps, Xterm)
{
    readEveryWord("xterm", QStringLiteral("xterm"), {QStringLiteral("-u8"), QStringLiteral("-geometry"), "100x24+0+0"});
}

TEST(TerminalWraps, XtermWithItsScrollBarAtTheRight)
{
    readEveryWord("xterm -sb -rightbar", QStringLiteral("xterm"),
                  {QStringLiteral("-u8"), QStringLiteral("-sb"), QStringLiteral("-rightbar"),
                   QStringLiteral("-geometry"), "100x24+0+0"});
}

TEST(TerminalWraps, Konsole)
{
    readEveryWord("konsole", QStringLiteral("konsole"), {QStringLiteral("--nofork")});
}

TEST(TerminalWraps, QTerminal)
{
    // Its settings in a folder of its own, so that it starts with its defaults.
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    readEveryWord("qterminal", QStringLiteral("qterminal"), {}, environment);
}
