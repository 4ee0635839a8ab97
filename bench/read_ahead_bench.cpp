// Read-ahead and warm-up timings over the warm Apertium en→es pair with the real tagger and cld2:
// the first hover after the warm-up against a warm hover (goal: within 2×), and the read-ahead of
// the three words after a hovered one, as the coordinator does it after its pause: the word search,
// then one glance after another (goal: done within 60 ms). Prints its figures; run by hand:
// build/release/bench/read_ahead_bench

#include "Timings.h"

#include "Services/Learn/EnglishGrammarNote.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Learn/ReadAhead.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Lumivox;
using namespace Lumivox::Bench;

namespace {

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
    const QString es = QStringLiteral("es");
    AppleTranslateService &engine = AppleTranslateService::shared();
    GlanceTranslator translator {engine};

    // The warm-up's steps as the program runs them (the tagger, then the pair), then the first hover.
    QElapsedTimer timer;
    timer.start();
    const QString warmSentence = QStringLiteral("Lumivox warms up the tagger.");
    (void)EnglishGrammar::line(QStringLiteral("warm"), warmSentence, EnglishGrammar::tokens(warmSentence),
                               std::nullopt);
    engine.prepareSession(QStringLiteral("en"), es);
    Testing::await(engine.warmUpDirect(es));
    std::printf("%-56s %8.2f ms\n", "warm-up (tagger, en-es pair)", msSince(timer));

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

    std::vector<double> warm;
    for (const QString &sentence : sentences) {
        const QString word = sentence.section(u' ', 1, 1);
        QElapsedTimer one;
        one.start();
        Testing::await(translator.start(word, sentence, es, false, sentence.indexOf(word), false).value());
        warm.push_back(msSince(one));
    }
    std::printf("%-56s %8.2f ms   (%.2f× the warm p50)\n", "first hover after the warm-up", firstHover,
                firstHover / percentile(warm, 0.5));
    report("warm hover", warm);

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
