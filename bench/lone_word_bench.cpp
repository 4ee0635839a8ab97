// A word translated alone on the device: how often English→Spanish gives the word's dictionary sense
// in dictionary form over a fixed list of common words (bench/data/lone-words-en-es.tsv, which no test
// uses), how long the first lone word takes on a session nothing has warmed, and how long a lone word
// takes on a warm session, through the session and through the service as the hover uses it. Prints
// its figures; run by hand: build/release/bench/lone_word_bench

#include "Models/LanguageCatalog.h"
#include "Native/Translation/ApertiumTranslator.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Support/TestSupport.h"
#include "Timings.h"
#include "WordLists.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <vector>

using namespace Lumivox;
using Bench::report;

namespace {

struct Entry
{
    QString word;
    QString lexicalClass;
    QStringList accepted;
};

std::vector<Entry> readList(const QString &path)
{
    std::vector<Entry> entries;
    for (const QStringList &fields : Bench::tabRows(path, 3))
        entries.push_back({fields[0], fields[1], fields[2].split(QLatin1Char('|'))});
    return entries;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // As the program does at start: the pairs the installed modes join.
    LanguageCatalog::setOnDevicePairs(Testing::installedPairs());
    const QString path =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(LUMIVOX_BENCH_DATA "/lone-words-en-es.tsv");
    const std::vector<Entry> entries = readList(path);
    if (entries.empty()) {
        std::fprintf(stderr, "no words in %s\n", qPrintable(path));
        return 1;
    }

    // A lone word on a session nothing has warmed: its stages start, and load their data, for it.
    {
        Native::ApertiumSession cold(QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("eng-spa"));
        QElapsedTimer first;
        first.start();
        const auto result = cold.translate(entries.front().word);
        std::printf("first lone word on a cold session (en-es, stages started by it): %.1f ms (%s)\n",
                    double(first.nsecsElapsed()) / 1e6, qPrintable(result.value.value_or(QStringLiteral("(none)"))));
    }

    Native::ApertiumSession session(QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("eng-spa"));
    if (!session.prepare()) {
        std::fprintf(stderr, "the eng-spa pipeline did not start\n");
        return 1;
    }

    int right = 0;
    QStringList misses;
    for (const Entry &entry : entries) {
        const auto result = session.translate(entry.word);
        const QString got = result.value.value_or(QStringLiteral("(none)"));
        if (entry.accepted.contains(got.toLower()))
            ++right;
        else
            misses.append(entry.word + QStringLiteral(" → ") + got);
    }
    std::printf("lone words right (en-es): %d of %zu\n", right, entries.size());
    for (const QString &miss : misses)
        std::printf("  miss: %s\n", qPrintable(miss));

    // Warm lone words, session alone: the blocking call a pair's worker makes.
    std::vector<double> direct;
    for (int round = 0; round < 10; ++round) {
        for (const Entry &entry : entries) {
            QElapsedTimer one;
            one.start();
            session.translate(entry.word);
            direct.push_back(double(one.nsecsElapsed()) / 1e6);
        }
    }
    report("warm lone word, session (en-es)", direct);

    // The full pipeline on the same words, as every lone word went before: the yardstick for the
    // figures above on a machine whose load varies.
    std::vector<double> pipeline;
    for (int round = 0; round < 10; ++round) {
        for (const Entry &entry : entries) {
            QElapsedTimer one;
            one.start();
            session.translate(Native::MarkedPassage {entry.word, {}});
            pipeline.push_back(double(one.nsecsElapsed()) / 1e6);
        }
    }
    report("warm lone word, full pipeline (en-es)", pipeline);

    // The same through the service: main thread → pair worker → main thread.
    AppleTranslateService service;
    // Warm: every stage the words need has started and answered once.
    for (const Entry &entry : entries)
        Testing::await(service.translateExplained(entry.word, QStringLiteral("es"), QStringLiteral("en")));
    std::vector<double> explained;
    for (int round = 0; round < 10; ++round) {
        for (const Entry &entry : entries) {
            QElapsedTimer one;
            one.start();
            Testing::await(service.translateExplained(entry.word, QStringLiteral("es"), QStringLiteral("en")));
            explained.push_back(double(one.nsecsElapsed()) / 1e6);
        }
    }
    report("warm lone word, translateExplained (en-es)", explained);
    return 0;
}
