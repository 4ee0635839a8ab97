// Word lookup latency over AT-SPI against the GTK and the Qt fixture windows, the fixtures that
// reproduce the structures of real editors, and two real editors (gedit, FocusWriter). Run it
// inside the private session:  scripts/run-session.sh build/<preset>/bench/accessibility_lookup_bench
// Prints p50 / p95 / max over 200 lookups per target: once end to end, once with the window list
// read a single time up front, which leaves the accessibility requests alone; the structures and
// the real editors are measured end to end, each alone on the screen.

#include "Native/Services.h"
#include "Native/Windows/WindowList.h"
#include "Services/Detection/AccessibilityTextService.h"
#include "Shared/Platform/WindowLookup.h"
#include "Support/FixtureProcess.h"
#include "Support/RealApplication.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QRect>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <future>
#include <map>
#include <thread>
#include <vector>

using namespace Lumivox;
namespace ATS = Lumivox::AccessibilityTextService;

namespace {

constexpr int samples = 200;

struct Fixture
{
    Testing::FixtureProcess process;
    std::map<QString, QRect> words;

    bool start(const QString &name, QPoint at, bool qt, const QStringList &options = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (qt)
            env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        if (!process.start(
                name, QStringList {QStringLiteral("--at"), QString::number(at.x()), QString::number(at.y())} + options,
                env))
            return false;
        for (const QByteArray &line : process.lines()) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() == 6 && f[0] == "word")
                words[QString::fromUtf8(f[1])] = QRect(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt());
        }
        return true;
    }
};

// The lookups run on a thread of their own, as on the accessibility worker.
template<class F>
auto onWorker(F f)
{
    return std::async(std::launch::async, std::move(f)).get();
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto index = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

void measure(const char *name, QPointF at, const QString &expected)
{
    const auto figures = onWorker([&] {
        std::vector<double> lookups;
        std::vector<double> windows;
        int hits = 0;
        // The first lookups start the accessibility session and wait for the application.
        for (int i = 0; i < 50 && !ATS::lookupWord(at, 800).hitResult(); ++i)
            QThread::msleep(100);
        for (int i = 0; i < 10; ++i)
            ATS::lookupWord(at, 800);
        for (int i = 0; i < samples; ++i) {
            QElapsedTimer timer;
            timer.start();
            const auto result = ATS::lookupWord(at, 800);
            lookups.push_back(double(timer.nsecsElapsed()) / 1e6);
            if (result.hitResult() && result.hitResult()->word == expected)
                ++hits;
            timer.restart();
            (void)WindowLookup::window(at);
            windows.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        return std::make_tuple(lookups, windows, hits);
    });
    const auto &[lookups, windows, hits] = figures;
    std::printf("%-26s p50 %6.2f ms  p95 %6.2f ms  max %6.2f ms  (window list alone: p50 %5.2f ms, p95 %5.2f ms)  "
                "%d/%d read '%s'\n",
                name, percentile(lookups, 0.5), percentile(lookups, 0.95), percentile(lookups, 1.0),
                percentile(windows, 0.5), percentile(windows, 0.95), hits, samples, qPrintable(expected));
}

// The real window list, read once: the windows of the fixtures do not move.
class SteadyWindowList : public Native::WindowList
{
public:
    explicit SteadyWindowList(std::shared_ptr<Native::WindowList> real)
        : m_real(std::move(real))
        , m_windows(m_real->windows())
    { }
    std::vector<Native::WindowInfo> windows() override { return m_windows; }
    std::optional<QString> applicationID(std::int32_t pid) override { return m_real->applicationID(pid); }
    std::uint32_t topmostWindowNumber(QPointF point) override { return m_real->topmostWindowNumber(point); }

private:
    std::shared_ptr<Native::WindowList> m_real;
    std::vector<Native::WindowInfo> m_windows;
};

QPointF centre(const QRect &r)
{
    return QPointF(r.x() + r.width() / 2.0, r.y() + r.height() / 2.0);
}

// A fixture started alone on the screen for one target.
void measureAlone(const char *name, const QString &fixture, bool qt, const QString &option, const QString &key,
                  const QString &expected)
{
    Fixture f;
    if (!f.start(fixture, QPoint(0, 0), qt, {option}) || !f.words.contains(key)) {
        std::printf("%-26s did not start\n", name);
        return;
    }
    measure(name, centre(f.words.at(key)), expected);
}

void measureRealApplication(const char *name, const QString &program, const QStringList &arguments, bool countsUtf16)
{
    Testing::RealApplication app;
    const bool started = app.start(program, arguments, countsUtf16, [](const std::function<void()> &job) {
        onWorker([&] {
            job();
            return true;
        });
    });
    if (!started) {
        std::printf("%-26s %s\n", name, qPrintable(app.error()));
        return;
    }
    // A word in the middle of the opening sentences.
    const auto &word = app.words().at(app.words().size() / 2);
    measure(name, centre(word.box), word.text);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Fixture gtk;
    Fixture qt;
    if (!gtk.start(QStringLiteral("gtk_text_fixture"), QPoint(0, 0), false)
        || !qt.start(QStringLiteral("qt_text_fixture"), QPoint(600, 0), true)) {
        std::fprintf(stderr, "the fixture applications did not start (looked in %s)\n",
                     qPrintable(Testing::FixtureProcess::fixturesDirectory()));
        return 1;
    }
    if (!onWorker([] { return ATS::isTrusted(); })) {
        std::fprintf(stderr, "the accessibility bus is not enabled; run inside scripts/run-session.sh\n");
        return 1;
    }
    auto targets = [&] {
        measure("GTK label", centre(gtk.words.at(QStringLiteral("label:clever"))), QStringLiteral("clever"));
        measure("GTK text view", centre(gtk.words.at(QStringLiteral("view:pineapple"))), QStringLiteral("pineapple"));
        measure("GTK button", centre(gtk.words.at(QStringLiteral("button:Save"))), QStringLiteral("Save"));
        measure("Qt text edit", centre(qt.words.at(QStringLiteral("edit:harbour"))), QStringLiteral("harbour"));
        measure("Qt line edit", centre(qt.words.at(QStringLiteral("line:lantern"))), QStringLiteral("lantern"));
        measure("Qt button", centre(qt.words.at(QStringLiteral("button:Save"))), QStringLiteral("Save"));
    };
    std::printf("word lookup over AT-SPI, %d lookups per target, end to end\n", samples);
    targets();
    std::printf("\nthe same with the window list read once (the accessibility requests alone)\n");
    {
        Native::ScopedOverride<Native::WindowList> steady(
            std::make_shared<SteadyWindowList>(onWorker([] { return Native::service<Native::WindowList>(); })));
        targets();
    }
    gtk.process.stop();
    qt.process.stop();
    std::printf("\nthe structures of real editors, each alone on the screen, end to end\n");
    measureAlone("GTK tab-less notebook", QStringLiteral("gtk_text_fixture"), false, QStringLiteral("--notebook"),
                 QStringLiteral("view:seventeen"), QStringLiteral("seventeen"));
    measureAlone("Qt full-window filler", QStringLiteral("qt_text_fixture"), true, QStringLiteral("--filler"),
                 QStringLiteral("edit:harbour"), QStringLiteral("harbour"));
    measureAlone("Qt 40,000-unit text", QStringLiteral("qt_text_fixture"), true, QStringLiteral("--long"),
                 QStringLiteral("edit:harbour"), QStringLiteral("harbour"));
    measureRealApplication("gedit", QStringLiteral("gedit"),
                           {QStringLiteral("--standalone"), QStringLiteral("--new-window")}, false);
    measureRealApplication("FocusWriter", QStringLiteral("focuswriter"), {}, true);
    return 0;
}
