// Real hovers with the real program, started as at login (no window of its own), in the private
// session. Each hover's time is the program's own, from the pointer coming to rest to the meaning
// on screen, with its stages, as diagnostics.json records them. In one run:
//   - fresh words: every word of a GTK window's sentences once, through accessibility, none of them
//     in a cache and none read ahead (they are hovered last word first), translated on this computer;
//   - cached words: the same words again, served from the cache;
//   - screen text: the words of a window that only paints its text (capture and recognition), and
//     the same sentences in xterm's bitmap font (xterm shows nothing to accessibility).
// Prints n, p50, p95 and max per case and the stages of the slowest hovers. Exits with 1 when the
// program does not start or a case shows no hover at all.
//
//   scripts/run-session.sh build/release/bench/hover_road_bench [path/to/lumivox]
// (without --wm: the terminal's words are found by its cells, in a window at the screen's corner).
//
// With --scale N the program runs at QT_SCALE_FACTOR=N and the GTK window at GDK_SCALE=N, on a screen
// large enough for both (LUMIVOX_SESSION_SCREEN=2560x1600), and only the GTK window's first word is
// hovered; those hovers are counted by where their word came from.
//
//   LUMIVOX_SESSION_SCREEN=2560x1600 scripts/run-session.sh build/release/bench/hover_road_bench --scale 2

#include "Support/RunningLumivox.h"
#include "Support/XTestInjector.h"

#include <QApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

// Common words, none of them part of another (the fixture finds a word by its text).
const char *const sentences = "Farmers carry fresh bread across quiet valleys. Young doctors visit distant villages "
                              "during winter. Strong rivers flood green meadows every spring. Clever students write "
                              "careful letters before breakfast. Old sailors mend torn nets beside calm harbours.";

struct Hover
{
    QString word;
    qint64 ms = 0;
    QString stages;
};

// The events of the hovers since `start` (diagnostics.json keeps times in whole seconds; the cases
// are more than a second apart).
std::vector<QJsonObject> eventsSince(RunningLumivox &app, const QDateTime &start)
{
    std::vector<QJsonObject> out;
    const QJsonObject root =
        QJsonDocument::fromJson(WordBookEnvironment::contents(app.data.path() + "/Lumivox/diagnostics.json")).object();
    const QDateTime from = QDateTime::fromSecsSinceEpoch(start.toSecsSinceEpoch(), Qt::UTC);
    for (const QJsonValue &v : root.value(QStringLiteral("events")).toArray()) {
        if (QDateTime::fromString(v.toObject().value("at").toString(), Qt::ISODate) >= from)
            out.push_back(v.toObject());
    }
    return out;
}

// Prints the case's figures over the shown hovers whose source it counts, and what became of the
// others; false when it counted none.
bool report(const char *name, std::size_t hovered, const std::vector<QJsonObject> &events,
            const std::function<bool(const QString &)> &counts)
{
    std::vector<Hover> hovers;
    std::map<QString, QStringList> others;
    for (const QJsonObject &e : events) {
        const QString reason = e.value("reason").toString();
        const QString source = e.value("source").toString();
        if (reason == QStringLiteral("shown") && counts(source))
            hovers.push_back({e.value("word").toString(), e.value("ms").toInteger(), e.value("stages").toString()});
        else
            others[reason + QStringLiteral(" (") + source + u')'].append(e.value("word").toString());
    }
    if (hovers.empty()) {
        std::printf("%-40s of %3zu hovers none was shown\n", name, hovered);
    } else {
        std::sort(hovers.begin(), hovers.end(), [](const Hover &a, const Hover &b) { return a.ms < b.ms; });
        const auto at = [&](double q) {
            return hovers[std::min(hovers.size() - 1, std::size_t(q * hovers.size()))].ms;
        };
        std::printf("%-40s n=%3zu of %3zu  p50 %4lld ms  p95 %4lld ms  max %4lld ms\n", name, hovers.size(), hovered,
                    at(0.5), at(0.95), hovers.back().ms);
        for (std::size_t i = hovers.size() > 3 ? hovers.size() - 3 : 0; i < hovers.size(); ++i)
            std::printf("    slow: %-12s %4lld ms  %s\n", qPrintable(hovers[i].word), hovers[i].ms,
                        qPrintable(hovers[i].stages));
    }
    for (const auto &[outcome, words] : others) {
        QStringList some = words;
        some.removeDuplicates();
        some.removeAll(QString());
        std::printf("    not counted: %3lld x %s %s\n", static_cast<long long>(words.size()), qPrintable(outcome),
                    qPrintable(some.mid(0, 8).join(u' ')));
    }
    return !hovers.empty();
}

// The sentences in an 80-column terminal, broken between words.
QStringList terminalRows()
{
    QStringList rows {QString()};
    for (const QString &word : QString::fromUtf8(sentences).split(u' ')) {
        if (!rows.back().isEmpty() && rows.back().size() + 1 + word.size() > 80)
            rows.append(QString());
        rows.back() += (rows.back().isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return rows;
}

// The centres of the words of `rows` in xterm's default font: 6 x 13 pixel cells inside a 2 pixel
// border, the window at the screen's corner.
std::vector<QPoint> terminalWords(const QStringList &rows)
{
    std::vector<QPoint> out;
    static const QRegularExpression word(QStringLiteral("[A-Za-z]+"));
    for (int row = 0; row < rows.size(); ++row) {
        for (auto m = word.globalMatch(rows[row]); m.hasNext();) {
            const auto match = m.next();
            out.emplace_back(2 + 6 * int(match.capturedStart()) + 3 * int(match.capturedLength()), 2 + 13 * row + 6);
        }
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    QString scale;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--scale")); at >= 0 && at + 1 < arguments.size()) {
        scale = arguments[at + 1];
        arguments.remove(at, 2);
    }
    if (!arguments.isEmpty())
        qputenv("LUMIVOX_APP", arguments.first().toLocal8Bit());
    else if (qEnvironmentVariableIsEmpty("LUMIVOX_APP"))
        qputenv("LUMIVOX_APP", (QCoreApplication::applicationDirPath() + "/../src/App/lumivox").toUtf8());

    XTestInjector input;
    if (!input.ok()) {
        std::fprintf(stderr, "no X display: run it inside scripts/run-session.sh\n");
        return 1;
    }
    // The program and the fixtures inherit this process's environment; it read its own at start.
    if (!scale.isEmpty())
        qputenv("QT_SCALE_FACTOR", scale.toLocal8Bit());
    RunningLumivox app;
    if (!app.waitUntilIdle()) {
        std::fprintf(stderr, "lumivox did not start:\n%s\n", app.log.constData());
        return 1;
    }
    // One hover: rest on the point, hold Alt until the outcome (or 10 s), let go.
    const auto hoverAt = [&](QPoint p) {
        input.moveTo(p.x(), p.y());
        QThread::msleep(200);
        input.key(XK_Alt_L, true);
        app.waitForLog(" Outcome ", 10s);
        input.key(XK_Alt_L, false);
        QThread::msleep(50);
    };
    // diagnostics.json is written 1.5 s after activity and keeps the newest 200 events: each case
    // is read before the next one starts.
    const auto settle = [] { spinUntil([] { return false; }, 2500ms); };
    bool everyCaseShown = true;

    FixtureProcess gtk;
    QProcessEnvironment gtkEnvironment = QProcessEnvironment::systemEnvironment();
    if (!scale.isEmpty())
        gtkEnvironment.insert(QStringLiteral("GDK_SCALE"), scale);
    if (!gtk.start(QStringLiteral("gtk_text_fixture"), {"--at", "40", "40", "--text", sentences}, gtkEnvironment)) {
        std::fprintf(stderr, "the GTK window did not start\n");
        return 1;
    }
    std::vector<QPoint> words;
    for (const QString &word :
         QString::fromUtf8(sentences).split(QRegularExpression("[^A-Za-z]+"), Qt::SkipEmptyParts)) {
        const QRect box = wordBox(gtk, "view:" + word.toUtf8());
        if (!box.isEmpty())
            words.push_back(box.center());
    }
    if (words.empty()) {
        std::fprintf(stderr, "the GTK window did not say where its words are\n");
        return 1;
    }
    QDateTime start = QDateTime::currentDateTimeUtc();
    if (!scale.isEmpty()) {
        for (int i = 0; i < 101; ++i)
            hoverAt(words.front() + QPoint(i % 2, 0));
        settle();
        const std::vector<QJsonObject> events = eventsSince(app, start);
        std::printf("GTK at x%s, program at x%s\n", qPrintable(scale), qPrintable(scale));
        const bool ax = report("  read through accessibility", 101, events,
                               [](const QString &s) { return s.startsWith(QStringLiteral("accessibility")); });
        const bool ocr = report("  read from screen text", 101, events,
                                [](const QString &s) { return s.startsWith(QStringLiteral("ocr")); });
        return ax || ocr ? 0 : 1;
    }
    for (auto word = words.rbegin(); word != words.rend(); ++word)
        hoverAt(*word);
    settle();
    everyCaseShown &= report("fresh word, translated on this computer", words.size(), eventsSince(app, start),
                             [](const QString &s) { return s == QStringLiteral("accessibility"); });

    const int repeats = 100;
    start = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < repeats; ++i)
        hoverAt(words[std::size_t(i) % words.size()] + QPoint(i % 2, 0));
    settle();
    everyCaseShown &= report("cached word", repeats, eventsSince(app, start),
                             [](const QString &s) { return s == QStringLiteral("accessibility cached"); });
    gtk.stop();

    FixtureProcess painted;
    if (!painted.start(QStringLiteral("ocr_fixture"), {"60", "60", "900", "200"})) {
        std::fprintf(stderr, "the painted window did not start\n");
        return 1;
    }
    std::vector<QPoint> paintedWords;
    for (const QByteArray &line : painted.lines()) {
        const auto parts = line.split(' ');
        if (parts.size() >= 4 && parts[0] == "word")
            paintedWords.emplace_back(parts[2].toInt(), parts[3].toInt());
    }
    start = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < repeats && !paintedWords.empty(); ++i)
        hoverAt(paintedWords[std::size_t(i) % paintedWords.size()]);
    settle();
    everyCaseShown &= report("screen text (capture + recognition)", repeats, eventsSince(app, start),
                             [](const QString &s) { return s.startsWith(QStringLiteral("ocr")); });
    painted.stop();

    QTemporaryDir folder;
    QFile text(folder.filePath(QStringLiteral("sentences.txt")));
    const QStringList rows = terminalRows();
    if (!folder.isValid() || !text.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "no file for the terminal's text\n");
        return 1;
    }
    text.write(rows.join(u'\n').toUtf8() + '\n');
    text.close();
    QProcess terminal;
    terminal.start(QStringLiteral("xterm"),
                   {QStringLiteral("-u8"), QStringLiteral("-geometry"),
                    QStringLiteral("80x%1+0+0").arg(rows.size() + 2), QStringLiteral("-e"), QStringLiteral("sh"),
                    QStringLiteral("-c"), QStringLiteral("cat \"$0\"; sleep 600"), text.fileName()});
    if (!terminal.waitForStarted(10000)) {
        std::fprintf(stderr, "xterm did not start\n");
        return 1;
    }
    // Mapped and drawn well within this.
    spinUntil([] { return false; }, 1500ms);
    const std::vector<QPoint> cells = terminalWords(rows);
    start = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < repeats; ++i)
        hoverAt(cells[std::size_t(i) % cells.size()]);
    settle();
    everyCaseShown &= report("screen text in xterm", repeats, eventsSince(app, start),
                             [](const QString &s) { return s.startsWith(QStringLiteral("ocr")); });
    endProcess(terminal);
    return everyCaseShown ? 0 : 1;
}
