// Glance timings: a hover on a word whose glance is cached (goal under 50 µs), and on a fresh word
// over the warm Apertium en→es pair with the real tagger and cld2 (goal p95 under 30 ms). Prints its
// figures; run by hand: build/release/bench/glance_bench

#include "Fakes/FakeGlanceTranslation.h"
#include "Models/LanguageCatalog.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Shared/Text/TextUtils.h"
#include "Support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Lumivox;

namespace {

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

void report(const char *label, const std::vector<double> &values, const char *unit)
{
    std::printf("%-52s n=%-5zu p50 %8.2f %s   p95 %8.2f %s   max %8.2f %s\n", label, values.size(),
                percentile(values, 0.5), unit, percentile(values, 0.95), unit, percentile(values, 1.0), unit);
}

const QStringList sentences {
    QStringLiteral("I saw a red car in the street yesterday."),
    QStringLiteral("She went home after the long meeting with her team."),
    QStringLiteral("The children play in the garden every afternoon."),
    QStringLiteral("We walked along the river bank in the early morning."),
    QStringLiteral("My brother bought a new house near the old church."),
    QStringLiteral("The teacher explained the difficult lesson very clearly."),
    QStringLiteral("They are building a bridge over the wide river."),
    QStringLiteral("Please open the window because it is very hot today."),
    QStringLiteral("The small dog was sleeping under the kitchen table."),
    QStringLiteral("He writes long letters to his friends every week."),
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // As the program does at start: the pairs the installed modes join.
    LanguageCatalog::setOnDevicePairs(Testing::installedPairs());
    const QString es = QStringLiteral("es");

    // Cached: the coordinator's take() on a hover, and start() answering from the cache.
    {
        auto fake = Testing::FakeGlanceCompute::make();
        fake->answerAtOnce(true);
        GlanceTranslator translator(fake->compute());
        for (const QString &sentence : sentences) {
            for (const Text::Segment &segment : Text::words(sentence)) {
                const QString word = sentence.mid(segment.start, segment.length);
                Testing::await(translator.start(word, sentence, es, false, segment.start, false).value());
            }
        }
        std::vector<double> taken;
        std::vector<double> started;
        for (int round = 0; round < 200; ++round) {
            for (const QString &sentence : sentences) {
                const auto first = Text::words(sentence).front();
                const QString word = sentence.mid(first.start, first.length);
                QElapsedTimer timer;
                timer.start();
                const auto glance = translator.take(word, sentence, es, first.start);
                taken.push_back(double(timer.nsecsElapsed()) / 1e3);
                timer.restart();
                const GlanceTask task = translator.start(word, sentence, es, false, first.start, false);
                const auto result = task.result();
                started.push_back(double(timer.nsecsElapsed()) / 1e3);
                if (!glance || !result) {
                    std::fprintf(stderr, "a cached glance was missing\n");
                    return 1;
                }
            }
        }
        report("cached word, take()", taken, "µs");
        report("cached word, start() answering at once", started, "µs");
    }

    // Fresh words over the real pair. The first glance starts the tagger and the pair's pipeline.
    {
        GlanceTranslator translator {AppleTranslateService::shared()};
        QElapsedTimer timer;
        timer.start();
        const auto first = Testing::await(
            translator
                .start(QStringLiteral("house"), QStringLiteral("This is a big house on a hill."), es, false, 10, false)
                .value());
        std::printf("%-52s %8.2f ms\n", "first glance (tagger and pipeline start)", double(timer.nsecsElapsed()) / 1e6);
        if (!first) {
            std::fprintf(stderr, "no glance: is apertium-eng-spa installed?\n");
            return 1;
        }
        std::vector<double> fresh;
        int missing = 0;
        for (const QString &sentence : sentences) {
            for (const Text::Segment &segment : Text::words(sentence)) {
                const QString word = sentence.mid(segment.start, segment.length);
                QElapsedTimer one;
                one.start();
                const auto glance =
                    Testing::await(translator.start(word, sentence, es, false, segment.start, false).value());
                fresh.push_back(double(one.nsecsElapsed()) / 1e6);
                missing += glance ? 0 : 1;
            }
        }
        report("fresh word, warm en-es (tagger, cld2, Apertium)", fresh, "ms");
        std::printf("%-52s %d of %zu\n", "fresh words without a glance", missing, fresh.size());
    }
    return 0;
}
