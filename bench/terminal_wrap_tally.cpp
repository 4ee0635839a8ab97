// Tallies of what screen text reads in real terminals, with the real program in the private session:
//   - real hovers (Alt held until the hover's outcome is recorded) on the pieces of words a terminal
//     breaks at the end of a row ("sun|flower", "pass|word", "s|houted" …): shown as the piece,
//     shown as the whole word, nothing, or another word; and on the first word of every row (the
//     first row's apart): right, nothing, or wrong. Per terminal: xterm, xterm with its scroll bar
//     at the right, and Konsole and QTerminal with their scroll bars and without;
//   - sentences as screen text gives them (read in this process, as the program reads them): every
//     word of a sentence longer than the strip in xterm and in a window that paints its text, and
//     of lines numbered in an editor's gutter (a painted one, and KWrite): whole, marked where cut,
//     or wrong (cut without a mark, or with a number in it).
// Each word is hovered at its centre, `--runs` times (default 1).
//
// Every hover or sentence that is not right is listed under its tally with what was read.
//
//   scripts/run-session.sh build/release/bench/terminal_wrap_tally [--runs N] [--only TERMINAL]
//       [--no-sentences] [path/to/lumivox]
// --only keeps the terminals whose name holds TERMINAL ("konsole", "scroll bar"); --no-sentences
// leaves the sentences out.

#include "Services/Detection/ScreenCaptureService.h"
#include "Services/Detection/TextRecognizer.h"
#include "Shared/Platform/WindowLookup.h"
#include "Support/RealApplication.h"
#include "Support/RunningLumivox.h"
#include "Support/ScreenText.h"
#include "Support/TerminalWindow.h"
#include "Support/WorkerThread.h"
#include "Support/XTestInjector.h"
#include "Support/Xterm.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdio>
#include <map>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

// Every word the terminals break in the tallies, with the letters that end its row, four to a screen.
const std::vector<std::pair<QString, int>> splits {
    {QStringLiteral("sunflower"), 3},  {QStringLiteral("rainbow"), 4},  {QStringLiteral("fireworks"), 4},
    {QStringLiteral("blackboard"), 5}, {QStringLiteral("password"), 4}, {QStringLiteral("shouted"), 1},
    {QStringLiteral("mended"), 4},     {QStringLiteral("stretch"), 2},  {QStringLiteral("ancient"), 4},
    {QStringLiteral("every"), 2},      {QStringLiteral("third"), 3},    {QStringLiteral("O'Brien's"), 5},
};

struct Terminal
{
    const char *name;
    QString program;
    QStringList arguments;
    // QTerminal's settings: none for its defaults.
    QByteArray qterminalSettings;
};

struct Count
{
    int hovers = 0;
    std::map<QString, int> outcomes;
    // What each hover that was not right read, to tell where the nothing and the wrong come from.
    QStringList misses;

    void add(const QString &outcome, const QString &miss = {})
    {
        ++hovers;
        ++outcomes[outcome];
        if (!miss.isEmpty())
            misses << miss;
    }
    QString text() const
    {
        QStringList parts;
        for (const auto &[outcome, n] : outcomes)
            parts << QStringLiteral("%1 %2").arg(outcome).arg(n);
        QString text = QStringLiteral("%1 hovers: %2").arg(hovers).arg(parts.join(QStringLiteral(", ")));
        for (const QString &miss : misses)
            text += QStringLiteral("\n      ") + miss;
        return text;
    }
};

// A hover's outcome in a line: its reason and what it names.
QString outcomeText(const std::optional<QJsonObject> &outcome)
{
    if (!outcome)
        return QStringLiteral("no outcome");
    QStringList parts;
    for (const char *key : {"reason", "word", "source", "extra", "stages"}) {
        if (const QString value = outcome->value(QLatin1String(key)).toString(); !value.isEmpty())
            parts << value;
    }
    return parts.join(QStringLiteral(" | "));
}

// Whether a context is its sentence as far as the strip showed it: a piece of it, marked with an
// ellipsis on each side where it was cut, and no gutter's number in it.
QString sentenceOutcome(const std::optional<RecognizedHit> &hit, const QString &word, const QString &sentence)
{
    if (!hit)
        return QStringLiteral("nothing");
    if (hit->text != word)
        return QStringLiteral("another word");
    if (!hit->context)
        return QStringLiteral("no sentence");
    const QChar ellipsis(0x2026);
    QString shown = *hit->context;
    const bool before = shown.startsWith(ellipsis);
    const bool after = shown.endsWith(ellipsis);
    // Only letters, digits and the spaces between them are compared: the engine reads no emoji, and
    // may take a stop for a comma or a letter's case for the other.
    const auto bare = [](QString text) {
        static const QRegularExpression others(QStringLiteral("[^\\p{L}\\p{N}' ]"));
        static const QRegularExpression spaces(QStringLiteral(" {2,}"));
        return text.remove(others).replace(spaces, QStringLiteral(" ")).trimmed().toLower();
    };
    shown = bare(shown.mid(before ? 1 : 0, shown.size() - before - after));
    const QString whole = bare(sentence);
    const qsizetype at = whole.indexOf(shown);
    if (at < 0)
        return shown.contains(QRegularExpression(QStringLiteral("\\d"))) ? QStringLiteral("wrong: a number in it")
                                                                         : QStringLiteral("wrong: not the sentence");
    if ((at > 0) != before || (at + shown.size() < whole.size()) != after)
        return QStringLiteral("wrong: cut without a mark");
    return before || after ? QStringLiteral("marked where cut") : QStringLiteral("whole");
}

// Counts a word's sentence, keeping what was read for every outcome that is not the sentence.
void addSentence(Count &count, const std::optional<RecognizedHit> &hit, const QString &word, const QString &sentence)
{
    const QString outcome = sentenceOutcome(hit, word, sentence);
    const bool read = outcome == QLatin1String("whole") || outcome == QLatin1String("marked where cut");
    count.add(
        outcome,
        read ? QString()
             : QStringLiteral("%1: %2").arg(word,
                                            hit ? hit->text + QStringLiteral(" | ") + hit->context.value_or(QString())
                                                : QStringLiteral("nothing")));
}

void tallySentences(int runs)
{
    const QString sentence =
        QStringLiteral("Lanterns glow while my friend reads a good book every evening beside the old clock and the "
                       "warm fire upstairs.");
    static const QRegularExpression wordPattern(QStringLiteral("[\\w']+"));
    std::map<QString, Count> counts;
    {
        Xterm terminal;
        if (!terminal.start(140, 4, QPoint(0, 0), {sentence})) {
            std::printf("xterm did not start\n");
            return;
        }
        for (int run = 0; run < runs; ++run) {
            for (const Xterm::Word &word : terminal.words()) {
                if (word.text.size() > 1)
                    addSentence(counts["xterm, a sentence longer than the strip"],
                                screenTextAt(QRectF(word.box).center()), word.text, sentence);
            }
        }
    }
    QTemporaryDir dir;
    QFile lines(dir.filePath(QStringLiteral("lines.txt")));
    const QStringList numbered {QStringLiteral("The house is big and the garden is green."),
                                QStringLiteral("The weather was fine and the river calm."),
                                QStringLiteral("Small boats drift past the harbour wall.")};
    const auto painted = [&](const char *name, const QStringList &arguments, const QStringList &text, int width) {
        lines.open(QIODevice::WriteOnly | QIODevice::Truncate);
        lines.write(text.join(u'\n').toUtf8() + '\n');
        lines.close();
        FixtureProcess window;
        if (!window.start(QStringLiteral("ocr_fixture"),
                          QStringList(arguments) << QStringLiteral("--lines") << lines.fileName() << "0"
                                                 << "100" << QString::number(width) << "160")) {
            std::printf("the painted window did not start\n");
            return;
        }
        for (int run = 0; run < runs; ++run) {
            for (const QByteArray &line : window.lines()) {
                const QList<QByteArray> parts = line.trimmed().split(' ');
                if (parts.value(0) != "word" || parts.size() != 5)
                    continue;
                const QString word = QString::fromUtf8(parts[1]).remove(QRegularExpression(QStringLiteral("[.,]")));
                if (word.size() > 1)
                    addSentence(counts[name], screenTextAt(QPointF(parts[2].toDouble(), parts[3].toDouble())), word,
                                text[parts[4].toInt()]);
            }
        }
    };
    painted("painted window, a sentence longer than the strip", {}, {sentence}, 1270);
    painted("painted window, lines numbered in a gutter", {QStringLiteral("--gutter")}, numbered, 700);
    {
        // KWrite numbers its lines in a gutter and wraps a long line at a space.
        WorkerThread worker;
        RealApplication editor;
        if (editor.start(
                QStringLiteral("kwrite"), {}, true,
                [&](const std::function<void()> &job) {
                    worker.run([&] {
                        job();
                        return true;
                    });
                },
                QStringLiteral("raise limit"))) {
            for (int run = 0; run < runs; ++run) {
                for (const RealApplication::Word &word : editor.words())
                    addSentence(counts["kwrite, numbered lines"], screenTextAt(QRectF(word.box).center()), word.text,
                                word.sentence);
            }
        } else {
            std::printf("kwrite did not start: %s\n", qPrintable(editor.error()));
        }
    }
    std::printf("\nSentences (read in this process, %d run(s), every word at its centre):\n", runs);
    for (const auto &[name, count] : counts)
        std::printf("  %-50s %s\n", qPrintable(name), qPrintable(count.text()));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    // An option with its value, taken out of the arguments; empty when it is not given.
    const auto take = [&](const QString &option) {
        const qsizetype at = arguments.indexOf(option);
        if (at < 0 || at + 1 >= arguments.size())
            return QString();
        const QString value = arguments[at + 1];
        arguments.remove(at, 2);
        return value;
    };
    const int runs = std::max(1, take(QStringLiteral("--runs")).toInt());
    const QString only = take(QStringLiteral("--only"));
    const bool sentences = !arguments.removeOne(QStringLiteral("--no-sentences"));
    if (!arguments.isEmpty())
        qputenv("LUMIVOX_APP", arguments.first().toLocal8Bit());
    else if (qEnvironmentVariableIsEmpty("LUMIVOX_APP"))
        qputenv("LUMIVOX_APP", (QCoreApplication::applicationDirPath() + "/../src/App/lumivox").toUtf8());

    XTestInjector input;
    Display *display = XOpenDisplay(nullptr);
    if (!input.ok() || !display) {
        std::fprintf(stderr, "no X display: run it inside scripts/run-session.sh\n");
        return 1;
    }
    const std::vector<Terminal> all {
        {"xterm", QStringLiteral("xterm"), {QStringLiteral("-u8")}, {}},
        {"xterm, scroll bar at the right",
         QStringLiteral("xterm"),
         {QStringLiteral("-u8"), QStringLiteral("-sb"), QStringLiteral("-rightbar")},
         {}},
        {"konsole, scroll bar (default)", QStringLiteral("konsole"), {QStringLiteral("--nofork")}, {}},
        {"konsole, no scroll bar",
         QStringLiteral("konsole"),
         {QStringLiteral("--nofork"), QStringLiteral("-p"), QStringLiteral("ScrollBarPosition=2")},
         {}},
        {"qterminal, scroll bar (default)", QStringLiteral("qterminal"), {}, {}},
        {"qterminal, no scroll bar", QStringLiteral("qterminal"), {}, "[General]\nScrollbarPosition=0\n"},
    };

    std::vector<Terminal> terminals;
    for (const Terminal &t : all) {
        if (only.isEmpty() || QString::fromUtf8(t.name).contains(only))
            terminals.push_back(t);
    }
    std::printf("Real hovers, %d run(s), each word at its centre; a piece is right shown whole or not at all.\n", runs);
    for (const Terminal &t : terminals) {
        Count first;
        Count second;
        Count rowStarts;
        Count firstRow;
        for (int run = 0; run < runs; ++run) {
            for (std::size_t from = 0; from < splits.size(); from += 4) {
                const std::vector<std::pair<QString, int>> screen(
                    splits.begin() + std::ptrdiff_t(from),
                    splits.begin() + std::ptrdiff_t(std::min(from + 4, splits.size())));
                QTemporaryDir config;
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
                if (!t.qterminalSettings.isEmpty()) {
                    QDir().mkpath(config.filePath(QStringLiteral("qterminal.org")));
                    QFile settings(config.filePath(QStringLiteral("qterminal.org/qterminal.ini")));
                    settings.open(QIODevice::WriteOnly);
                    settings.write(t.qterminalSettings);
                }
                // A program of its own for each screen: diagnostics.json keeps only the newest events.
                RunningLumivox app;
                if (!app.waitUntilIdle()) {
                    std::fprintf(stderr, "lumivox did not start:\n%s\n", app.log.constData());
                    return 1;
                }
                TerminalWindow terminal;
                if (!terminal.start(
                        t.program, t.arguments,
                        [&](int columns) { return TerminalWindow::brokenWords(columns, screen); }, environment)) {
                    std::printf("%s: %s\n", t.name, qPrintable(terminal.error()));
                    break;
                }
                std::fprintf(stderr, "%s, run %d, words %zu to %zu\n", t.name, run + 1, from + 1, from + screen.size());
                for (const TerminalWindow::Word &word : terminal.words()) {
                    if (!word.isHalf() && word.column != 0)
                        continue;
                    const auto hover = app.altHoverOutcome(input, display, word.points()[1]);
                    const auto shown = hover ? RunningLumivox::wordRead(*hover) : std::nullopt;
                    const QString outcome = !shown                           ? QStringLiteral("nothing")
                        : word.isHalf() && *shown == word.text               ? QStringLiteral("WRONG: the piece")
                        : *shown == (word.isHalf() ? word.whole : word.text) ? QStringLiteral("right")
                                                                             : QStringLiteral("WRONG: ") + *shown;
                    (word.firstHalf        ? first
                         : word.secondHalf ? second
                         : word.row == 0   ? firstRow
                                           : rowStarts)
                        .add(outcome,
                             outcome == QLatin1String("right") || (word.isHalf() && !shown)
                                 ? QString()
                                 : QStringLiteral("%1: %2").arg(word.text, outcomeText(hover)));
                }
            }
        }
        std::printf("%s\n  first halves:  %s\n  second halves: %s\n  rows' first words: %s\n  first row's first "
                    "word: %s\n",
                    t.name, qPrintable(first.text()), qPrintable(second.text()), qPrintable(rowStarts.text()),
                    qPrintable(firstRow.text()));
        std::fflush(stdout);
    }
    XCloseDisplay(display);
    if (sentences)
        tallySentences(runs);
    return 0;
}
