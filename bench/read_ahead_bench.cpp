// Read-ahead and warm-up timings over the warm Apertium en→es pair with the real tagger and cld2:
// the first hover after the warm-up against a warm hover (goal: within 2×), and the read-ahead of
// the three words after a hovered one, as the coordinator does it after its pause: the word search,
// then one glance after another (goal: done within 60 ms). Prints its figures; run by hand:
// build/release/bench/read_ahead_bench

#include "Timings.h"

#include "Models/LanguageCatalog.h"
#include "Services/Learn/EnglishGrammarNote.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Learn/ReadAhead.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Lumivox;
using namespace Lumivox::Bench;

namespace {

// The program's tagger step: the grammar note of one word off the UI thread, the event loop running.
void warmUpTagger()
{
    std::unique_ptr<QThread> tagger(QThread::create([] {
        const QString sentence = QStringLiteral("Lumivox warms up the tagger.");
        (void)EnglishGrammar::line(QStringLiteral("warm"), sentence, EnglishGrammar::tokens(sentence), std::nullopt);
    }));
    tagger->start();
    Testing::spinUntil([&] { return tagger->isFinished(); }, std::chrono::seconds(30));
    tagger->wait();
}

void idle()
{
    Testing::spinUntil([] { return false; }, std::chrono::milliseconds(1500));
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
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
    AppleTranslateService &engine = AppleTranslateService::shared();
    GlanceTranslator translator {engine};

    // The warm-up's steps in the program's order: the pair's session is asked for first and prepares
    // on the pair's worker once the event loop hands it over, which happens while the tagger step
    // runs off the UI thread; the on-device step's sample then queues behind that preparation, so the
    // warm-up ends only once the pair is ready. (Tagging first and asking for the session after left
    // the preparation running into the first hover, which then paid for the whole pipeline start.)
    QElapsedTimer timer;
    timer.start();
    engine.prepareSession(QStringLiteral("en"), es);
    warmUpTagger();
    Testing::await(engine.warmUpDirect(es));
    std::printf("%-56s %8.2f ms\n", "warm-up (tagger, en-es pair)", msSince(timer));

    // The user's first hover comes some time after the warm-up; the pipeline's processes have been
    // asleep meanwhile, as they are before any hover that follows a pause.
    idle();
    timer.restart();
    const auto first = Testing::await(
        translator
            .start(QStringLiteral("house"), QStringLiteral("This is a big house on a hill."), es, false, 10, false)
            .value());
    const double firstHover = msSince(timer);
    if (!first) {
        std::fprintf(stderr, "no glance: is apertium-eng-spa installed?\n");
        return 1;
    }

    // Warm hovers over fresh words, each after the same pause as the first, then back to back (over
    // other words, which the glance cache does not hold yet).
    const auto warmHovers = [&](bool pause) {
        std::vector<double> times;
        for (const QString &sentence : sentences) {
            const QString word = sentence.section(u' ', pause ? 1 : 2, pause ? 1 : 2);
            if (pause)
                idle();
            QElapsedTimer one;
            one.start();
            Testing::await(translator.start(word, sentence, es, false, sentence.indexOf(word), false).value());
            times.push_back(msSince(one));
        }
        return times;
    };
    const std::vector<double> afterPause = warmHovers(true);
    const std::vector<double> backToBack = warmHovers(false);
    std::printf("%-56s %8.2f ms   (%.2f× the warm p50 after the same pause)\n", "first hover after the warm-up",
                firstHover, firstHover / percentile(afterPause, 0.5));
    report("warm hover after the same pause", afterPause);
    report("warm hover, back to back", backToBack);

    // Read-ahead of the three words after each sentence's third word (fresh keys each time).
    std::vector<double> ahead;
    int words = 0;
    for (const QString &sentence : sentences) {
        const qsizetype offset = sentence.indexOf(sentence.section(u' ', 2, 2));
        QElapsedTimer one;
        one.start();
        const std::optional<QString> source = GlanceTranslator::sourceLanguage(sentence);
        if (!ReadAhead::isOnDevice(source, es)) {
            std::fprintf(stderr, "the pair does not qualify for read-ahead\n");
            return 1;
        }
        for (const ReadAhead::Word &word : ReadAhead::words(offset, sentence, 3, true)) {
            Testing::await(translator.start(word.text, sentence, es, false, word.offset, true).value());
            ++words;
        }
        ahead.push_back(msSince(one));
    }
    report("read-ahead of up to 3 words (search + glances)", ahead);
    std::printf("%-56s %d\n", "words read ahead", words);
    return 0;
}
