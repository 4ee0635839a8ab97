// Translation through a language in between, against a direct pair, over the installed Apertium
// pairs: how often the hovered word's meaning is found in its marked sentence (en→es directly, en→fr
// and en→it through Spanish), over the sentences below and over template sentences for the lone-word
// list (bench/data/lone-words-en-es.tsv), a meaning that is a word of the middle language, or carries
// an article or preposition, counted as lost; how many names keep the form the first pair gave them
// (bench/data/names-en-es.tsv); how many common words alone get their dictionary sense in French and
// Italian (bench/data/lone-words-en-fr-it.tsv); how long a fresh word and a marked sentence take
// through the service as the hover asks for them; and how many processes run at rest for the pairs in
// use. Prints its figures; run by hand: build/release/bench/routed_translation_bench

#include "Models/LanguageCatalog.h"
#include "Native/Language/LanguageRecognizer.h"
#include "Native/Translation/ApertiumTranslator.h"
#include "Services/Learn/MarkedText.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Support/TestSupport.h"
#include "Timings.h"
#include "WordLists.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include <unistd.h>

using namespace Lumivox;
using Bench::report;

namespace {

// Each sentence with the word the user points at.
const std::vector<std::pair<const char *, const char *>> hovered {
    {"I saw a red car in the street yesterday.", "red"},
    {"She went home after the long meeting with her team.", "meeting"},
    {"The children play in the garden every afternoon.", "garden"},
    {"We walked along the river bank in the early morning.", "river"},
    {"My brother bought a new house near the old church.", "church"},
    {"The teacher explained the difficult lesson very clearly.", "difficult"},
    {"They are building a bridge over the wide river.", "bridge"},
    {"Please open the window because it is very hot today.", "window"},
    {"The small dog was sleeping under the kitchen table.", "sleeping"},
    {"He writes long letters to his friends every week.", "letters"},
    {"The old man sat quietly on the wooden bench.", "bench"},
    {"Our neighbours grow tomatoes in their back yard.", "tomatoes"},
    {"The train leaves the station at seven o'clock.", "station"},
    {"A cold wind blew across the empty field.", "wind"},
    {"The doctor gave her some medicine for the cough.", "medicine"},
    {"I need a new pair of shoes for the winter.", "shoes"},
    {"The museum opens its doors to visitors on Sunday.", "visitors"},
    {"Birds were singing in the tall trees behind the house.", "singing"},
    {"The soup was too salty for my taste.", "salty"},
    {"He forgot his umbrella on the bus this morning.", "umbrella"},
    {"The library keeps thousands of rare books.", "rare"},
    {"She painted the walls of her bedroom blue.", "walls"},
    {"We should answer the letter before Friday.", "answer"},
    {"The farmer feeds the cows twice a day.", "farmer"},
    {"The students listened carefully to the speaker.", "carefully"},
    {"A strong storm destroyed several houses in the village.", "storm"},
    {"The baker sells fresh bread every morning.", "fresh"},
    {"My sister likes to read novels in the evening.", "novels"},
    {"The company hired three new engineers last month.", "engineers"},
    {"The lake was frozen during the whole winter.", "frozen"},
    {"They celebrated their victory with a big party.", "victory"},
    {"The road to the mountain village is very narrow.", "narrow"},
    {"He keeps his money in a small wooden box.", "wooden"},
    {"The nurse checked the patient's temperature again.", "temperature"},
    {"Children often ask difficult questions about the sky.", "questions"},
    {"The market sells fish, vegetables and fruit.", "vegetables"},
    {"The ship sailed slowly into the harbour.", "slowly"},
    {"I lost my keys somewhere in the garden.", "keys"},
    {"The workers repaired the broken fence yesterday.", "broken"},
    {"Her grandmother tells wonderful stories about the war.", "stories"},
    {"The cat jumped onto the roof of the shed.", "roof"},
    {"We drank hot chocolate after the long walk.", "chocolate"},
    {"The king lived in a large castle on the hill.", "castle"},
    {"The price of bread has risen this year.", "price"},
};

struct LoneWord
{
    QString word;
    std::map<QString, QStringList> accepted; // by target code
};

std::vector<LoneWord> readLoneWords(const QString &path)
{
    std::vector<LoneWord> words;
    for (const QStringList &fields : Bench::tabRows(path, 3)) {
        words.push_back({fields[0],
                         {{QStringLiteral("fr"), fields[1].split(QLatin1Char('|'))},
                          {QStringLiteral("it"), fields[2].split(QLatin1Char('|'))}}});
    }
    return words;
}

// Every process below this one: the pipelines' stages and the shells that run them.
int descendantProcesses()
{
    std::map<pid_t, pid_t> parents;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (fields.size() > 1)
            parents[pid] = pid_t(fields[1].toInt());
    }
    int count = 0;
    for (const auto &[pid, parent] : parents) {
        for (pid_t up = parent; up > 1; up = parents.count(up) ? parents[up] : 0) {
            if (up == getpid()) {
                ++count;
                break;
            }
        }
    }
    return count;
}

StyledText markedSentence(const QString &sentence, const QString &word)
{
    return MarkedText::attributed(sentence, {TextRange {sentence.indexOf(word), word.size()}});
}

// A sentence for each word of the lone-word list, by its class.
std::vector<std::pair<QString, QString>> templateSentences()
{
    const std::map<QString, QString> templates {
        {QStringLiteral("noun"), QStringLiteral("I saw the %1 yesterday.")},
        {QStringLiteral("verb"), QStringLiteral("We %1 together every day.")},
        {QStringLiteral("adjective"), QStringLiteral("The room looked very %1 today.")},
        {QStringLiteral("adverb"), QStringLiteral("She answered %1 in the morning.")},
    };
    std::vector<std::pair<QString, QString>> sentences;
    for (const QStringList &row : Bench::tabRows(QStringLiteral(LUMIVOX_BENCH_DATA "/lone-words-en-es.tsv"), 3)) {
        if (const auto it = templates.find(row[1]); it != templates.end())
            sentences.emplace_back(it->second.arg(row[0]), row[0]);
    }
    return sentences;
}

// A meaning that starts with an article or a preposition joined to one ("La casa", "nella lonja",
// "l'uomo"); a word of several that starts with a bare preposition ("a menudo") is a word of its own.
bool carriesArticle(const QString &meaning)
{
    static const std::set<QString> words {// Italian
                                          "il", "lo", "la", "i", "gli", "le", "un", "uno", "una", "nel", "nella",
                                          "nello", "nei", "negli", "nelle", "del", "della", "dello", "dei", "degli",
                                          "delle", "al", "alla", "allo", "ai", "agli", "alle", "dal", "dalla", "dallo",
                                          "dai", "dagli", "dalle", "sul", "sulla", "sullo", "sui", "sugli", "sulle",
                                          // French
                                          "les", "une", "des", "du", "au", "aux",
                                          // Spanish
                                          "el", "los", "las", "unos", "unas"};
    static const std::set<QString> elided {"l", "d", "un", "dell", "nell", "all", "dall", "sull", "quell"};
    QString lower = meaning.toLower();
    lower.replace(u'\u2019', u'\'');
    const QStringList parts = lower.split(u' ', Qt::SkipEmptyParts);
    if (parts.size() > 1 && words.count(parts.front()) > 0)
        return true;
    const qsizetype apostrophe = lower.indexOf(u'\'');
    return apostrophe > 0 && elided.count(lower.left(apostrophe)) > 0;
}

struct Meanings
{
    int found = 0;
    int none = 0;
    int middle = 0;
    int article = 0;
    QStringList lost;
};

// The hovered word's meaning found as the marked rendering in each sentence; a word of the middle
// language (unknown to the target's analyser, known to Spanish) or one that carries an article is lost.
Meanings meaningsFound(AppleTranslateService &service, const std::vector<std::pair<QString, QString>> &sentences,
                       const QString &target)
{
    const QString en = QStringLiteral("en");
    const QString es = QStringLiteral("es");
    Meanings m;
    for (const auto &[sentence, word] : sentences) {
        const auto result = Testing::await(service.translateMarked(markedSentence(sentence, word), en, target));
        const QString mark = result ? MarkedText::markedWords(*result).trimmed() : QString();
        QString why;
        if (mark.isEmpty()) {
            ++m.none;
            why = QStringLiteral("none");
        } else if (carriesArticle(mark)) {
            ++m.article;
            why = QStringLiteral("article");
        } else if (target != es && !Testing::await(service.translate(mark, target, es))
                   && Testing::await(service.translate(mark, es, en))) {
            ++m.middle;
            why = QStringLiteral("middle language");
        } else {
            ++m.found;
            continue;
        }
        m.lost.append(word + QStringLiteral(" (") + why + QStringLiteral(") in \"")
                      + (result ? result->text() : QStringLiteral("(none)")) + u'"');
    }
    return m;
}

void printMeanings(const char *label, const QString &target, const Meanings &m, std::size_t total, bool verbose)
{
    std::printf("  %s meaning found en→%s: %d of %zu (%.1f %%); lost: none %d, middle-language %d, with article %d\n",
                label, qPrintable(target), m.found, total, 100.0 * m.found / double(total), m.none, m.middle,
                m.article);
    for (const QString &miss : m.lost) {
        if (verbose || !miss.contains(QLatin1String("(none)")))
            std::printf("    lost: %s\n", qPrintable(miss));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // As the program does at start: the pairs the installed modes join.
    LanguageCatalog::setOnDevicePairs(Testing::installedPairs());
    const QString en = QStringLiteral("en");
    const QStringList targets {QStringLiteral("es"), QStringLiteral("fr"), QStringLiteral("it")};
    AppleTranslateService service;

    // Processes at rest: a pair's stages start with its first use and stay; a route adds only the
    // stages of the pair after the middle, and a direct use of that pair adds none.
    std::printf("processes at rest: none used %d", descendantProcesses());
    Testing::await(service.translate(QStringLiteral("house"), en, QStringLiteral("es")));
    Testing::await(service.translateMarked(markedSentence(QStringLiteral("The red car."), QStringLiteral("red")), en,
                                           QStringLiteral("es")));
    std::printf(", en→es %d", descendantProcesses());
    Testing::await(service.translate(QStringLiteral("house"), en, QStringLiteral("fr")));
    Testing::await(service.translateMarked(markedSentence(QStringLiteral("The red car."), QStringLiteral("red")), en,
                                           QStringLiteral("fr")));
    std::printf(", + en→fr (through es) %d", descendantProcesses());
    Testing::await(service.translate(QStringLiteral("casa"), QStringLiteral("es"), QStringLiteral("fr")));
    Testing::await(service.translateMarked(markedSentence(QStringLiteral("El coche rojo."), QStringLiteral("rojo")),
                                           QStringLiteral("es"), QStringLiteral("fr")));
    std::printf(", + es→fr %d", descendantProcesses());
    Testing::await(service.translate(QStringLiteral("house"), en, QStringLiteral("it")));
    Testing::await(service.translateMarked(markedSentence(QStringLiteral("The red car."), QStringLiteral("red")), en,
                                           QStringLiteral("it")));
    std::printf(", + en→it (through es) %d\n", descendantProcesses());

    // The hovered word's meaning found as the marked rendering in its translated sentence.
    std::vector<std::pair<QString, QString>> chosen;
    for (const auto &[sentence, word] : hovered)
        chosen.emplace_back(QString::fromUtf8(sentence), QString::fromUtf8(word));
    const std::vector<std::pair<QString, QString>> templated = templateSentences();
    std::printf("marked sentences: %zu, template sentences: %zu\n", chosen.size(), templated.size());
    for (const QString &target : targets) {
        printMeanings("sentences", target, meaningsFound(service, chosen, target), chosen.size(), true);
        printMeanings("templates", target, meaningsFound(service, templated, target), templated.size(), false);
    }

    // Names as the first pair gives them, in two sentences each.
    const auto names = Bench::tabRows(QStringLiteral(LUMIVOX_BENCH_DATA "/names-en-es.tsv"), 2);
    for (const QString &target : targets) {
        int kept = 0;
        QStringList changed;
        for (const QStringList &name : names) {
            const QString sentence =
                QStringLiteral("I met %1 in the garden. %1 is very beautiful in spring.").arg(name[0]);
            const auto result =
                Testing::await(service.translateMarked(markedSentence(sentence, QStringLiteral("garden")), en, target));
            const QString text = result ? result->text() : QString();
            if (text.count(name[1]) == 2)
                ++kept;
            else
                changed.append(name[0] + QStringLiteral(": ") + text);
        }
        std::printf("names kept en→%s: %d of %zu\n", qPrintable(target), kept, names.size());
        for (const QString &c : changed)
            std::printf("    changed: %s\n", qPrintable(c));
    }

    // Words alone.
    const std::vector<LoneWord> loneWords =
        readLoneWords(QStringLiteral(LUMIVOX_BENCH_DATA "/lone-words-en-fr-it.tsv"));
    for (const QString &target : {QStringLiteral("fr"), QStringLiteral("it")}) {
        int right = 0;
        QStringList all;
        for (const LoneWord &entry : loneWords) {
            const auto got =
                Testing::await(service.translate(entry.word, en, target)).value_or(QStringLiteral("(none)"));
            const bool isRight = entry.accepted.at(target).contains(got.toLower());
            right += isRight ? 1 : 0;
            all.append(entry.word + QStringLiteral("→") + got + (isRight ? QString() : QStringLiteral(" ✗")));
        }
        std::printf("lone words right en→%s: %d of %zu\n  %s\n", qPrintable(target), right, loneWords.size(),
                    qPrintable(all.join(QStringLiteral(", "))));
    }

    // Fresh words and sentences on warm sessions, through the service as the hover asks: each word
    // is new to its request, since nothing on this road keeps an answer. The targets take turns on
    // each word and sentence, so that a load on the machine weighs on the direct pair and the routes
    // alike.
    std::map<QString, std::vector<double>> words;
    std::map<QString, std::vector<double>> sentences;
    for (int round = 0; round < 5; ++round) {
        for (const LoneWord &entry : loneWords) {
            for (const QString &target : targets) {
                QElapsedTimer one;
                one.start();
                Testing::await(service.translateExplained(entry.word, target, en));
                words[target].push_back(double(one.nsecsElapsed()) / 1e6);
            }
        }
        for (const auto &[sentence, word] : hovered) {
            for (const QString &target : targets) {
                QElapsedTimer one;
                one.start();
                Testing::await(service.translateMarked(
                    markedSentence(QString::fromUtf8(sentence), QString::fromUtf8(word)), en, target));
                sentences[target].push_back(double(one.nsecsElapsed()) / 1e6);
            }
        }
    }
    std::map<QString, std::pair<double, double>> medians;
    for (const QString &target : targets) {
        report(qPrintable(QStringLiteral("fresh word en→") + target), words[target]);
        report(qPrintable(QStringLiteral("marked sentence en→") + target), sentences[target]);
        medians[target] = {Bench::percentile(words[target], 0.5), Bench::percentile(sentences[target], 0.5)};
    }
    for (const QString &target : {QStringLiteral("fr"), QStringLiteral("it")}) {
        std::printf("routed against direct p50, en→%s / en→es: word %.2f×, marked sentence %.2f×\n", qPrintable(target),
                    medians[target].first / medians[QStringLiteral("es")].first,
                    medians[target].second / medians[QStringLiteral("es")].second);
    }
    return 0;
}
