// On-device translation timings over the installed Apertium pairs: starting a pair's pipeline, how
// long the main thread stalls meanwhile, and warm word translations through the service as callers
// use it. Prints its figures; run by hand: build/release/bench/on_device_translation_bench

#include "Models/LanguageCatalog.h"
#include "Native/Language/LanguageRecognizer.h"
#include "Native/Translation/ApertiumTranslator.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Support/TestSupport.h"
#include "Timings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Lumivox;
using Bench::report;

namespace {

AppleTranslationEngine::Dependencies freshPlatform()
{
    // A translator of its own, so that no pipeline is already running.
    return {std::make_shared<Native::ApertiumTranslator>(), Native::LanguageRecognizer::makeDefault(), Clock::system(),
            true};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // As the program does at start: the pairs the installed modes join.
    LanguageCatalog::setOnDevicePairs(Testing::installedPairs());
    const QStringList words {"house", "dog",   "cat",  "red",    "water", "book",  "tree",  "run", "happy", "window",
                             "table", "river", "city", "friend", "green", "light", "small", "eat", "write", "night"};

    // Start: pipeline made from the mode file, every stage loaded, first answer back. Goal < 400 ms.
    std::vector<double> starts;
    for (int i = 0; i < 8; ++i) {
        Native::ApertiumSession session(QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("eng-spa"));
        QElapsedTimer timer;
        timer.start();
        if (!session.prepare()) {
            std::fprintf(stderr, "the eng-spa pipeline did not start\n");
            return 1;
        }
        starts.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    report("pipeline start (en-es, first answer)", starts);

    // The same start through the service, while the main thread's timer ticks every millisecond.
    {
        AppleTranslateService service(freshPlatform);
        QElapsedTimer sinceTick;
        double longestGap = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        sinceTick.start();
        ticker.start(1);
        // The same measure with nothing to do, as the yardstick for the figure below.
        QEventLoop idle;
        QTimer::singleShot(200, &idle, &QEventLoop::quit);
        idle.exec();
        std::printf("%-44s longest main-thread gap %.2f ms (timer 1 ms)\n", "idle main thread, 200 ms", longestGap);
        longestGap = 0;
        QElapsedTimer timer;
        timer.start();
        Testing::await(service.warmUpDirect(QStringLiteral("es")));
        const double total = double(timer.nsecsElapsed()) / 1e6;
        ticker.stop();
        std::printf("%-44s %7.2f ms; longest main-thread gap %.2f ms (timer 1 ms)\n", "warm-up through the service",
                    total, longestGap);

        // Warm words through the service: main thread → pair worker → pipeline → main thread. Goal p95 < 10 ms.
        std::vector<double> service_ms;
        for (int round = 0; round < 25; ++round) {
            for (const QString &word : words) {
                QElapsedTimer one;
                one.start();
                const auto result = Testing::await(service.translate(word, QStringLiteral("en"), QStringLiteral("es")));
                service_ms.push_back(double(one.nsecsElapsed()) / 1e6);
                if (!result) {
                    std::fprintf(stderr, "no translation for %s\n", qPrintable(word));
                    return 1;
                }
            }
        }
        report("warm word, service.translate (en-es)", service_ms);

        std::vector<double> explained;
        for (int round = 0; round < 10; ++round) {
            for (const QString &word : words) {
                QElapsedTimer one;
                one.start();
                Testing::await(service.translateExplained(word, QStringLiteral("es")));
                explained.push_back(double(one.nsecsElapsed()) / 1e6);
            }
        }
        report("warm word, translateExplained (detected)", explained);
    }

    // The pipeline alone, for comparison.
    Native::ApertiumSession session(QStringLiteral("es"), QStringLiteral("en"), QStringLiteral("spa-eng"));
    session.prepare();
    const QStringList spanish {"casa", "perro", "gato", "rojo", "agua", "libro", "árbol", "correr", "feliz", "ventana"};
    std::vector<double> raw;
    for (int round = 0; round < 50; ++round) {
        for (const QString &word : spanish) {
            QElapsedTimer one;
            one.start();
            session.translate(word);
            raw.push_back(double(one.nsecsElapsed()) / 1e6);
        }
    }
    report("warm word, pipeline only (es-en)", raw);
    return 0;
}
