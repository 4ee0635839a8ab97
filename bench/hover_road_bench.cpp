// Real hovers with the real program in the private session, timed by the program itself: each
// hover's total (from the pointer coming to rest to the outcome) and its stages, as diagnostics.json
// records them. 100 hovers each: a word through accessibility served from the translation cache, fresh
// words through accessibility translated on this computer, and fresh words read from screen text.
// Prints p50, p95 and max per case and the stages of the slowest hovers.
//
//   scripts/run-session.sh build/dev/bench/hover_road_bench
//
// With --scale N the program runs at QT_SCALE_FACTOR=N and the GTK window at GDK_SCALE=N, on a screen
// large enough for both (LUMIVOX_SESSION_SCREEN=2560x1600), and only the GTK word is hovered; the
// hovers are counted by where their word came from.
//
//   LUMIVOX_SESSION_SCREEN=2560x1600 scripts/run-session.sh build/dev/bench/hover_road_bench --scale 2

#include "Fakes/FakeWordBookEnvironment.h"
#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"
#include "Support/XTestInjector.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <QThread>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <map>

using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

struct Hover
{
    QString word;
    qint64 ms = 0;
    QString stages;
    QString source;
    QString reason;
};

std::vector<Hover> events(const QString &file)
{
    std::vector<Hover> out;
    const QJsonObject root = QJsonDocument::fromJson(WordBookEnvironment::contents(file)).object();
    for (const QJsonValue &v : root.value(QStringLiteral("events")).toArray()) {
        const QJsonObject e = v.toObject();
        out.push_back({e.value("word").toString(), e.value("ms").toInteger(), e.value("stages").toString(),
                       e.value("source").toString(), e.value("reason").toString()});
    }
    return out;
}

void report(const char *name, std::vector<Hover> hovers)
{
    if (hovers.empty()) {
        std::printf("%-40s no hover was shown\n", name);
        return;
    }
    std::sort(hovers.begin(), hovers.end(), [](const Hover &a, const Hover &b) { return a.ms < b.ms; });
    const auto at = [&](double q) { return hovers[std::min(hovers.size() - 1, std::size_t(q * hovers.size()))].ms; };
    std::printf("%-40s n=%3zu  p50 %4lld ms  p95 %4lld ms  max %4lld ms\n", name, hovers.size(), at(0.5), at(0.95),
                hovers.back().ms);
    for (std::size_t i = hovers.size() > 3 ? hovers.size() - 3 : 0; i < hovers.size(); ++i)
        std::printf("    slow: %-12s %4lld ms  %s\n", qPrintable(hovers[i].word), hovers[i].ms,
                    qPrintable(hovers[i].stages));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype scaleAt = arguments.indexOf(QStringLiteral("--scale"));
    const QString scale = scaleAt > 0 && scaleAt + 1 < arguments.size() ? arguments[scaleAt + 1] : QString();
    QTemporaryDir config, data;
    QDir().mkpath(config.path() + "/Lumivox");
    QFile prefs(config.path() + "/Lumivox/app.lumivox.json");
    prefs.open(QIODevice::WriteOnly);
    prefs.write(R"({"translateTarget": "es", "holdKey": "option", "hasCompletedOnboarding": true,
                   "wordsAskedAboutHistory": true})");
    prefs.close();
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("XDG_DATA_HOME", data.path());
    env.insert("QT_LOGGING_RULES", "app.lumivox.App.debug=true");
    if (!scale.isEmpty())
        env.insert("QT_SCALE_FACTOR", scale);
    app.setProcessEnvironment(env);
    app.setProgram(qEnvironmentVariable("LUMIVOX_APP", QStringLiteral("build/dev/src/App/lumivox")));
    // Started as at login: no window of its own lies over the words.
    app.setArguments({QStringLiteral("--autostart")});
    app.start();
    QByteArray log;
    if (!spinUntil([&] { return (log += app.readAllStandardError()).contains("idle after"); }, 30s)) {
        std::fprintf(stderr, "lumivox did not start\n");
        return 1;
    }
    XTestInjector input;
    const QString file = data.path() + "/Lumivox/diagnostics.json";
    // One hover: rest on the point, hold Alt long enough for the outcome, let go.
    const auto hoverAt = [&](QPoint p) {
        input.moveTo(p.x(), p.y());
        QThread::msleep(200);
        input.key(XK_Alt_L, true);
        QThread::msleep(400);
        input.key(XK_Alt_L, false);
        QThread::msleep(50);
    };
    // The log is written 1.5 s after activity and keeps the newest 200 events.
    const auto collect = [&](auto pick) {
        QThread::msleep(2500);
        std::vector<Hover> out;
        for (const Hover &h : events(file))
            if (h.reason == QStringLiteral("shown") && pick(h))
                out.push_back(h);
        return out;
    };

    FixtureProcess gtk;
    QProcessEnvironment gtkEnv = QProcessEnvironment::systemEnvironment();
    if (!scale.isEmpty())
        gtkEnv.insert("GDK_SCALE", scale);
    if (!gtk.start("gtk_text_fixture", {"--at", "40", "40"}, gtkEnv))
        return 1;
    QRect box;
    for (const QByteArray &line : gtk.lines()) {
        const auto parts = line.split(' ');
        if (parts.size() >= 6 && parts[1] == "view:pineapple")
            box = QRect(parts[2].toInt(), parts[3].toInt(), parts[4].toInt(), parts[5].toInt());
    }
    for (int i = 0; i < 101; ++i)
        hoverAt(box.center() + QPoint(i % 2, 0));
    if (!scale.isEmpty()) {
        const std::vector<Hover> all = collect([](const Hover &h) { return h.word == QStringLiteral("pineapple"); });
        std::vector<Hover> ax, ocr;
        for (const Hover &h : all)
            (h.source.startsWith(QStringLiteral("accessibility")) ? ax : ocr).push_back(h);
        std::printf("GTK at x%s, program at x%s\n", qPrintable(scale), qPrintable(scale));
        report("  read through accessibility", ax);
        report("  read from screen text", ocr);
        std::map<QString, int> others;
        for (const Hover &h : events(file))
            if (h.reason != QStringLiteral("shown"))
                ++others[h.reason + QLatin1Char(' ') + h.word];
        for (const auto &[what, count] : others)
            std::printf("  not shown: %-30s %d\n", qPrintable(what), count);
        app.terminate();
        app.waitForFinished(10000);
        return 0;
    }
    report("accessibility, translation cached", collect([](const Hover &h) { return h.source.contains("cached"); }));
    gtk.stop();

    FixtureProcess painted;
    if (!painted.start("ocr_fixture", {"60", "60", "900", "200"}))
        return 1;
    std::vector<QPoint> words;
    for (const QByteArray &line : painted.lines()) {
        const auto parts = line.split(' ');
        if (parts.size() >= 4 && parts[0] == "word")
            words.emplace_back(parts[2].toInt(), parts[3].toInt());
    }
    for (int i = 0; i < 100 && !words.empty(); ++i)
        hoverAt(words[i % words.size()]);
    report("screen text (capture + recognition)",
           collect([](const Hover &h) { return h.source.startsWith(QStringLiteral("ocr")); }));
    painted.stop();
    app.terminate();
    app.waitForFinished(10000);
    return 0;
}
