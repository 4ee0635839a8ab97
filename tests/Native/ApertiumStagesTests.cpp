// The installed Apertium pairs run as shared stages: translations come out as the whole pipeline
// gives them, the analysers, dictionaries and generators that run in the program answer as lt-proc
// does, and each stage's data is loaded once for the whole program.

#include "Native/Apertium/StageChain.h"
#include "Native/Apertium/Transducer.h"
#include "Native/Language/ApertiumTagger.h"
#include "Native/Translation/ApertiumTranslator.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

using namespace Lumivox::Native;
using namespace Lumivox::Native::Apertium;

namespace {

// Generous: on a loaded machine the stages alone can take seconds to load.
constexpr std::chrono::milliseconds patient(15000);

QString programOf(pid_t pid)
{
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(cmdline.readAll().split('\0').value(0)).section(QLatin1Char('/'), -1);
}

struct Mode
{
    const char *name;
    std::vector<const char *> texts;
};

// Texts for each mode: sentences, marks, unknown words, names, numbers, stream characters.
const std::vector<Mode> &modes()
{
    static const std::vector<Mode> all {
        {"eng-spa",
         {"The cats were running home.", "I saw a [[b]]red[[/]] car and [[b]]a very big[[/]] house.",
          "Don't you think he'll go? Mary Smith's dog at least gave up smoking.", "The zorblax ate 3.5 e-mails",
          "a\\/b \\^x \\[y\\] \\@home \\{z\\} 50\\% \\<n\\>", "THE BIG HOUSE Is Here", "house", ".",
          "She gave up her job in London because she couldn't stand her boss any longer.",
          "He has been working there since 2001, hasn't he?"}},
        {"spa-eng",
         {"El perro come la comida en la cocina.", "Vi un coche [[b]]rojo[[/]].", "¿Dónde está? Dámelo ahora.",
          "Se lo di a María ayer por la tarde."}},
        {"fr-es", {"Le chat dort sur le canapé du salon.", "J'ai mangé du pain.", "Il ne faut pas le faire."}},
        {"ita-spa", {"Il cane mangia la carne.", "Non lo so."}},
        {"es-pt", {"Los perros rojos comieron la carne."}},
    };
    return all;
}

} // namespace

TEST(ApertiumStages, TranslateAsTheWholePipelineDoes)
{
    for (const Mode &mode : modes()) {
        const auto script = NullFlushPipeline::translationScript(QString::fromUtf8(mode.name));
        ASSERT_TRUE(script) << mode.name << " is not installed";
        NullFlushPipeline whole(QString::fromUtf8(mode.name), *script, {QStringLiteral("-g"), QString()}, patient);
        const StageChain stages(stagesOf(modeCommands(*script)), patient);
        EXPECT_EQ(stages.inProcessStages(), 3u) << mode.name;
        for (const char *text : mode.texts) {
            const QString request = QString::fromUtf8(text);
            const auto expected = whole.request(request);
            ASSERT_TRUE(expected) << mode.name << ": " << text;
            EXPECT_EQ(stages.request(request).value_or(QStringLiteral("(failed)")), *expected)
                << mode.name << ": " << text;
        }
    }
}

TEST(ApertiumStages, LookUpsInTheProgramAnswerAsLtProc)
{
    // Each program of a mode gets what the one before it gave, from lt-proc's own processes; the
    // analyser, dictionary and generator this program runs itself are held to lt-proc's answer for
    // the same input. Inputs no sentence gives are added: letter case, unknown and untranslated
    // words, unknown tags, joined and multi-word units, blanks of every kind.
    const std::vector<const char *> analyserTexts {
        "HOUSE House hOuSe houses' soft\u00ADware at least give up", "xyzzy 123 3.5 e-mail co-op don't",
        "[[b]]red[[/]] [superblank] a\\/b \\@x  two  spaces\ttab", "Mr. Smith's U.S.A. -- ... \u00ABquoted\u00BB"};
    const std::vector<const char *> bilingualUnits {"^House<n><sg>$ ^HOUSE<n><sg>$ ^house<n><sg>$",
                                                    "^*zorblax$ ^@casa<n>$ ^house<n><xyz><sg>$",
                                                    "[[b]]^red<adj>$ \\[x\\] [superblank] ^head<n><sg>$",
                                                    "^give# up<vblex><past>$ ^at least<adv>$",
                                                    "^London<np><loc>$ ^a\\/b<n><sg>$",
                                                    "^house<n>$ ^house$ ^=house<n><sg>$",
                                                    "^hou[se]<n><sg>$ ^head<n>[x]<sg>$ ^ca\\[t<n><sg>$"};
    const std::vector<const char *> generatorUnits {
        "^casa<n><f><pl>$ ^Casa<n><f><pl>$ ^CASA<n><f><pl>$",
        "^*zorblax$ ^@house<n><sg>$ ^%x$",
        "^casa<n><xyz>$ ^ser<vbser><pri><p3><sg>$ ^zzz<n><f><sg>$",
        "^=casa<n><f><sg>$ ^$",
        "[[b]]^rojo<adj><m><sg>$[[/]] \\[x\\] [superblank] ^dar<vblex><inf># cuenta$",
        "^de<pr>$ ^el<det><def><m><sg>$ ^a\\/b<n><m><sg>$",
        "^ca[sa]<n><f><sg>$ ^perro<n>[x]<m><sg>$ ^gat\\[o<n><m><sg>$"};
    for (const Mode &mode : modes()) {
        const auto script = NullFlushPipeline::translationScript(QString::fromUtf8(mode.name));
        ASSERT_TRUE(script) << mode.name;
        const QStringList commands = modeCommands(*script);
        std::vector<QString> texts;
        for (const char *text : mode.texts)
            texts.push_back(QString::fromUtf8(text));
        std::vector<std::unique_ptr<NullFlushPipeline>> lt;
        for (const QString &command : commands)
            lt.push_back(
                std::make_unique<NullFlushPipeline>(QStringLiteral("stage"), command, QStringList {}, patient));
        // Which look-up a command is, if this program runs it itself.
        enum class LookUp { none, analysis, bilingual, generation };
        const auto inProgram = [](const QString &command) {
            if (command.startsWith(QLatin1String("lt-proc -z '"))
                || command.startsWith(QLatin1String("lt-proc -z -w '")))
                return LookUp::analysis;
            if (command.startsWith(QLatin1String("lt-proc -z -b ")))
                return LookUp::bilingual;
            if (command.startsWith(QLatin1String("lt-proc -z -g ")))
                return LookUp::generation;
            return LookUp::none;
        };
        const auto compare = [&](qsizetype stage, const QString &request, const char *what) {
            const auto expected = lt[stage]->request(request);
            if (!expected) {
                ADD_FAILURE() << mode.name << " " << commands[stage].toStdString() << " failed: " << what;
                return std::optional<QString>();
            }
            const LookUp lookUp = inProgram(commands[stage]);
            if (lookUp != LookUp::none) {
                const auto transducer = Transducer::shared(*commandFile(commands[stage]));
                EXPECT_TRUE(transducer) << commands[stage].toStdString();
                if (transducer) {
                    const QString text = request + QLatin1Char('\n');
                    const bool dictionaryCase = commands[stage].startsWith(QLatin1String("lt-proc -z -w "));
                    const auto own = lookUp == LookUp::analysis ? transducer->analysis(text, dictionaryCase)
                        : lookUp == LookUp::bilingual           ? transducer->bilingual(text)
                                                                : transducer->generation(text);
                    EXPECT_EQ(own.value_or(QStringLiteral("(failed)")), *expected + QLatin1Char('\n'))
                        << mode.name << " " << commands[stage].toStdString() << ": " << what;
                }
            }
            return expected;
        };
        int compared = 0;
        for (const QString &text : texts) {
            QString stream = text;
            for (qsizetype stage = 0; stage < commands.size(); ++stage) {
                const auto expected = compare(stage, stream, text.toUtf8().constData());
                if (!expected)
                    break;
                compared += inProgram(commands[stage]) != LookUp::none ? 1 : 0;
                stream = isTagger(commands[stage]) ? withoutSurfaceForms(*expected) : *expected;
            }
        }
        if (QLatin1String(mode.name) == QLatin1String("eng-spa")) {
            for (qsizetype stage = 0; stage < commands.size(); ++stage) {
                const LookUp lookUp = inProgram(commands[stage]);
                if (lookUp == LookUp::none)
                    continue;
                const auto &inputs = lookUp == LookUp::analysis ? analyserTexts
                    : lookUp == LookUp::bilingual               ? bilingualUnits
                                                                : generatorUnits;
                for (const char *input : inputs)
                    compare(stage, QString::fromUtf8(input), input);
            }
        }
        EXPECT_EQ(compared, int(3 * texts.size())) << mode.name;
    }
}

TEST(ApertiumStages, EachStageRunsOnceForTheWholeProgram)
{
    // The pair's sentence pipeline, its word lookup (after a word that takes every stage) and the
    // English tagger, as the program holds them.
    ApertiumSession session(QStringLiteral("en"), QStringLiteral("es"), QStringLiteral("eng-spa"));
    ASSERT_TRUE(session.prepare());
    ASSERT_EQ(session.translate(QStringLiteral("head")).value, QStringLiteral("cabeza"));
    ApertiumTagger tagger(ApertiumTagger::defaultStages());
    ASSERT_FALSE(tagger.words(u"The house", {0, 9}).empty());

    const std::vector<pid_t> pipeline = session.processGroups();
    const std::set<pid_t> running(pipeline.begin(), pipeline.end());
    const auto script = NullFlushPipeline::translationScript(QStringLiteral("eng-spa"));
    ASSERT_TRUE(script);
    // Every stage but the analyser, the dictionary and the generator is a process, and none runs
    // twice.
    EXPECT_EQ(running.size(), std::size_t(stagesOf(modeCommands(*script)).size()) - 3);
    EXPECT_EQ(running.count(0), 0u);
    for (const auto &groups : {session.wordLookupProcessGroups(), tagger.processGroups()}) {
        for (pid_t group : groups)
            EXPECT_EQ(running.count(group), 1u) << "a stage of its own: " << programOf(group).toStdString();
    }
}

TEST(ApertiumStages, AProgramThatCrashesEndsItsPipelineAtOnce)
{
    // Debian's Russian tagger crashes on a word it has to choose for ("стали": steel, or became). The
    // programs before it in its pipeline would hold the request open until the time-out, here longer
    // than the test may run: the request fails when the tagger does, and the next one is answered.
    const auto script = NullFlushPipeline::translationScript(QStringLiteral("rus-ukr"));
    ASSERT_TRUE(script);
    const StageChain stages(stagesOf(modeCommands(*script)), std::chrono::minutes(30));
    EXPECT_FALSE(stages.request(QStringLiteral("Они стали сильнее.")));
    EXPECT_EQ(stages.request(QStringLiteral("Красная книга лежит на столе.")),
              QStringLiteral("Червона книга *лежит на стілі."));
}

// Which commands run in the program and how the others join into processes, spelled out for modes
// written by hand: the program's own look-ups alone, the tagger ending its process, any other program's
// end ending the programs before it.
TEST(ApertiumStages, CommandsBecomeStagesAsTheModeSays)
{
    const QString analyser = QStringLiteral("lt-proc -z -w '/d/eng-spa.automorf.bin'");
    const QString attach = QStringLiteral("apertium-wblank-attach -z");
    const QString tagger = QStringLiteral("apertium-tagger -z -g -p '/d/eng-spa.prob'");
    const QString pretransfer = QStringLiteral("apertium-pretransfer -z");
    const QString transfer = QStringLiteral("apertium-transfer -z -n '/d/genitive.t1x' '/d/genitive.bin'");
    const QString dictionary = QStringLiteral("lt-proc -z -b '/d/eng-spa.autobil.bin'");
    const QString lexical = QStringLiteral("lrx-proc -z -m '/d/eng-spa.autolex.bin'");
    const QString generator = QStringLiteral("lt-proc -z -g '/d/eng-spa.autogen.bin'");
    const QString postGenerator = QStringLiteral("lt-proc -z -p '/d/eng-spa.autopgen.bin'");
    const QString twoFiles = QStringLiteral("lt-proc -z '/d/a.bin' '/d/b.bin'");
    const QString otherOption = QStringLiteral("lt-proc -z -e '/d/compounds.bin'");
    const auto ending = [](const QString &last) { return QStringLiteral("{ %1; kill 0; }").arg(last); };
    const struct
    {
        const char *name;
        QStringList commands;
        QStringList stages;
        QStringList tagging;
    } rows[] = {
        {"a translation mode",
         {analyser, attach, tagger, pretransfer, transfer, dictionary, lexical, generator, postGenerator},
         {analyser, attach + " | " + ending(tagger), pretransfer + " | " + ending(transfer), dictionary, lexical,
          generator, postGenerator},
         {analyser, attach + " | " + ending(tagger)}},
        {"a mode without a tagger", {analyser, dictionary, generator}, {analyser, dictionary, generator}, {}},
        {"look-ups this program does not run itself join the processes",
         {pretransfer, twoFiles, otherOption, transfer},
         {pretransfer + " | " + twoFiles + " | " + otherOption + " | " + ending(transfer)},
         {}},
        {"a tagger alone", {tagger}, {tagger}, {tagger}},
        {"nothing", {}, {}, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(stagesOf(row.commands), row.stages);
        EXPECT_EQ(taggingStages(row.commands), row.tagging);
    }
}

// A look-up of the program's own that refuses what it is given fails the request (here an analyser
// after an analyser, which meets the first one's stream characters where it reads text), and one
// that answers gives what lt-proc gives.
TEST(ApertiumStages, ALookUpThatRefusesItsInputFailsTheRequest)
{
    const auto script = NullFlushPipeline::translationScript(QStringLiteral("eng-spa"));
    ASSERT_TRUE(script);
    const QString analyser = modeCommands(*script).value(0);
    const StageChain once(stagesOf({analyser}), patient);
    ASSERT_EQ(once.inProcessStages(), 1u);
    EXPECT_TRUE(once.request(QStringLiteral("house")).value_or(QString()).startsWith(u"^house/house<n><sg>/"));
    const StageChain twice(QStringList {analyser, analyser}, patient);
    ASSERT_EQ(twice.inProcessStages(), 2u);
    EXPECT_EQ(twice.request(QStringLiteral("house")), std::nullopt);
    EXPECT_EQ(once.request(QStringLiteral("a ^ b")), std::nullopt) << "an unescaped stream character";

    // Of a reply only the line end the request was given is taken off: a request whose last unit is
    // left open comes back as lt-proc gives it at the end of its input, without that unit and with
    // the blank before it.
    const struct
    {
        const char *option;
        const char *request;
        const char *reply;
    } open[] = {
        {"-b", "^house<n><sg>$ ^head<n>", "^house<n><sg>/casa<n><f><sg>/c\u00E1mara<n><f><sg>$ "},
        {"-g", "^casa<n><f><sg>$ ^perro<n>", "casa "},
    };
    for (const auto &c : open) {
        SCOPED_TRACE(c.option);
        const QStringList commands = modeCommands(*script).filter(QStringLiteral("lt-proc -z %1 ").arg(c.option));
        ASSERT_EQ(commands.size(), 1);
        const StageChain own(stagesOf(commands), patient);
        ASSERT_EQ(own.inProcessStages(), 1u);
        EXPECT_EQ(own.request(QString::fromUtf8(c.request)), QString::fromUtf8(c.reply));
    }
}

TEST(ApertiumStages, TheTaggersSurfaceFormsAreDroppedForTranslation)
{
    const std::vector<std::pair<const char *, const char *>> rows {
        {"^cats/cat<n><pl>$ ^./.<sent>$", "^cat<n><pl>$ ^.<sent>$"},
        {"^zorblax/*zorblax$", "^*zorblax$"},
        {"[[b]]^big/big<adj><sint>$ ^a\\/b/a\\/b<n>$", "[[b]]^big<adj><sint>$ ^a\\/b<n>$"},
        {"^gave up smoking/give<vblex><past># up smoking$", "^give<vblex><past># up smoking$"},
        {"\\^x/y \\[^at least/at least<adv>$\\]", "\\^x/y \\[^at least<adv>$\\]"},
        {"^unit without analysis$ ^cut/off", "^unit without analysis$ ^off"},
    };
    for (const auto &[stream, expected] : rows)
        EXPECT_EQ(withoutSurfaceForms(QString::fromUtf8(stream)), QString::fromUtf8(expected)) << stream;
}

TEST(ApertiumStages, ATransducerIsSmallAndADamagedFileIsRefused)
{
    const auto script = NullFlushPipeline::translationScript(QStringLiteral("eng-spa"));
    ASSERT_TRUE(script);
    for (const QString &command : modeCommands(*script)) {
        if (command.startsWith(QLatin1String("lt-proc -z ")) && !command.startsWith(QLatin1String("lt-proc -z -p "))) {
            const auto transducer = Transducer::read(*commandFile(command));
            ASSERT_TRUE(transducer) << command.toStdString();
            // lt-proc holds each in 18 to 30 MB.
            EXPECT_LT(transducer->size(), std::size_t(6) << 20) << command.toStdString();
        }
    }

    QTemporaryDir dir;
    QFile original(QStringLiteral("/usr/share/apertium/apertium-eng-spa/eng-spa.autogen.bin"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray whole = original.readAll();
    const auto written = [&](const char *name, const QByteArray &data) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return file.fileName();
    };
    // Cut short, with a count grown past the end, foreign, empty, missing: refused at once, never
    // read into memory the file cannot hold. So is a whole transducer with padding that takes it
    // past 64 MiB (sparse here), which no pair's file comes near: it is never read at all.
    QByteArray grown = whole;
    grown[14] = char(0xff);
    grown[15] = char(0xff);
    const QString padded = written("padded.bin", whole);
    ASSERT_TRUE(QFile::resize(padded, (qint64(64) << 20) + 1));
    const QString atTheCap = written("at-the-cap.bin", whole);
    ASSERT_TRUE(QFile::resize(atTheCap, qint64(64) << 20));
    EXPECT_TRUE(Transducer::read(atTheCap)) << "the same transducer padded to exactly 64 MiB";
    for (const QString &path : {written("cut.bin", whole.left(whole.size() / 2)), written("grown.bin", grown),
                                written("foreign.bin", QByteArray(4096, 'x')), written("empty.bin", {}),
                                dir.filePath(QStringLiteral("missing.bin")), padded})
        EXPECT_FALSE(Transducer::read(path)) << path.toStdString();
}
