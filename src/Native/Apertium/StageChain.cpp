#include "Native/Apertium/StageChain.h"

#include <QFileInfo>

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace Lumivox::Native::Apertium {

namespace {

const QString separator = QStringLiteral(" | ");

// The look-up a command runs, when it is one this program can run itself.
enum class LookUp { none, analysis, analysisInDictionaryCase, bilingual, generation };

LookUp lookUpOf(const QString &command)
{
    // "lt-proc -z 'file'" and the like, with one quoted file and no other option (-a is analysis, as
    // with no option).
    if (!command.endsWith(QLatin1Char('\'')) || command.count(QLatin1Char('\'')) != 2)
        return LookUp::none;
    if (command.startsWith(QLatin1String("lt-proc -z '")) || command.startsWith(QLatin1String("lt-proc -z -a '")))
        return LookUp::analysis;
    if (command.startsWith(QLatin1String("lt-proc -z -w '")))
        return LookUp::analysisInDictionaryCase;
    if (command.startsWith(QLatin1String("lt-proc -z -b '")))
        return LookUp::bilingual;
    if (command.startsWith(QLatin1String("lt-proc -z -g '")))
        return LookUp::generation;
    return LookUp::none;
}

// "apertium-wblank-attach|apertium-tagger eng-spa.prob" for the log lines of a stage.
QString stageName(const QString &stage)
{
    QStringList programs;
    for (const QString &command : stage.split(separator))
        programs.append(command.section(QLatin1Char(' '), 0, 0).remove(QLatin1Char('{')));
    programs.removeAll(QString());
    const auto file = commandFile(stage);
    return programs.join(QLatin1Char('|')) + (file ? QLatin1Char(' ') + QFileInfo(*file).fileName() : QString());
}

} // namespace

std::optional<QString> commandFile(const QString &command)
{
    const qsizetype close = command.lastIndexOf(QLatin1Char('\''));
    const qsizetype open = close > 0 ? command.lastIndexOf(QLatin1Char('\''), close - 1) : -1;
    if (open < 0 || close - open < 2)
        return std::nullopt;
    return command.mid(open + 1, close - open - 1);
}

std::shared_ptr<NullFlushPipeline> sharedStage(const QString &command, std::chrono::milliseconds timeout)
{
    // Never destroyed: stages may still be released by objects that outlive static destruction.
    static auto *mutex = new std::mutex;
    static auto *stages = new std::map<std::pair<QString, long long>, std::weak_ptr<NullFlushPipeline>>;
    std::lock_guard lock(*mutex);
    std::erase_if(*stages, [](const auto &entry) { return entry.second.expired(); });
    auto &slot = (*stages)[{command, timeout.count()}];
    if (auto running = slot.lock())
        return running;
    auto stage = std::make_shared<NullFlushPipeline>(stageName(command), command, QStringList {}, timeout);
    slot = stage;
    return stage;
}

QStringList modeCommands(const QString &script)
{
    QStringList commands;
    for (const QString &part : script.split(separator)) {
        QString command = part.trimmed();
        command.replace(QLatin1String("$1"), QLatin1String("-g")).replace(QLatin1String("$2"), QLatin1String("-p"));
        // An option left empty would leave two blanks, and a command that differs from its twin in
        // another mode by a blank would not be shared.
        command = command.simplified();
        if (!command.isEmpty())
            commands.append(command);
    }
    return commands;
}

bool isTagger(const QString &stage)
{
    return stage.startsWith(QLatin1String("apertium-tagger ")) || stage.contains(QLatin1String("| apertium-tagger "))
        || stage.contains(QLatin1String("{ apertium-tagger "));
}

QStringList stagesOf(const QStringList &commands)
{
    QStringList stages;
    QStringList run;
    const auto endRun = [&] {
        if (run.size() == 1) {
            stages.append(run.front());
        } else if (run.size() > 1) {
            // The last program's end, for whatever reason, ends the others, which would otherwise hold
            // the pipeline's input open and leave its caller waiting for the time-out: a program that
            // crashes ends the programs after it, and so the last one.
            const QString last = run.takeLast();
            stages.append(run.join(separator) + separator + QStringLiteral("{ %1; kill 0; }").arg(last));
        }
        run.clear();
    };
    for (const QString &command : commands) {
        if (lookUpOf(command) != LookUp::none) {
            endRun();
            stages.append(command);
            continue;
        }
        run.append(command);
        if (isTagger(command))
            endRun();
    }
    endRun();
    return stages;
}

QStringList taggingStages(const QStringList &commands)
{
    for (qsizetype i = 0; i < commands.size(); ++i) {
        if (isTagger(commands[i]))
            return stagesOf(commands.mid(0, i + 1));
    }
    return {};
}

QString withoutSurfaceForms(QStringView stream)
{
    QString out;
    out.reserve(stream.size());
    const qsizetype n = stream.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = stream[i];
        if (c == u'\\' && i + 1 < n) {
            out.append(c);
            out.append(stream[++i]);
            continue;
        }
        out.append(c);
        if (c != u'^')
            continue;
        // A unit: drop what stands before its first unescaped '/', if it has one.
        qsizetype j = i + 1;
        while (j < n && stream[j] != u'/' && stream[j] != u'$') {
            j += stream[j] == u'\\' ? 2 : 1;
        }
        if (j < n && stream[j] == u'/')
            i = j;
    }
    return out;
}

StageChain::StageChain(const QStringList &stages, std::chrono::milliseconds timeout)
{
    for (qsizetype i = 0; i < stages.size(); ++i) {
        const QString &stage = stages[i];
        Step step;
        const LookUp lookUp = lookUpOf(stage);
        step.tags = isTagger(stage);
        step.translates = lookUp == LookUp::bilingual;
        step.generates = lookUp == LookUp::generation;
        switch (lookUp) {
        case LookUp::analysis:
            step.kind = Kind::analysis;
            break;
        case LookUp::analysisInDictionaryCase:
            step.kind = Kind::analysisInDictionaryCase;
            break;
        case LookUp::bilingual:
            step.kind = Kind::bilingual;
            break;
        case LookUp::generation:
            step.kind = Kind::generation;
            break;
        case LookUp::none:
            break;
        }
        if (step.kind != Kind::process) {
            step.transducer = Transducer::shared(*commandFile(stage));
            if (!step.transducer)
                step.kind = Kind::process; // lt-proc reads it, whatever it holds
        }
        if (step.kind == Kind::process)
            step.stage = sharedStage(stage, timeout);
        // The tagger keeps surface forms for the words it tags; a translation's later stages read
        // units without them.
        step.dropsSurfaceForms = isTagger(stage) && i + 1 < stages.size();
        m_steps.push_back(std::move(step));
    }
}

bool StageChain::start()
{
    // All at once, so that the stages load their data side by side.
    bool started = !m_steps.empty();
    for (const Step &step : m_steps) {
        if (step.stage)
            started = step.stage->start() && started;
    }
    return started;
}

std::optional<QString> StageChain::request(const QString &text) const
{
    return request(text, Taps {});
}

std::optional<QString> StageChain::request(const QString &text, const Taps &taps) const
{
    if (m_steps.empty())
        return std::nullopt;
    std::optional<QString> reply = text;
    for (const Step &step : m_steps) {
        if (step.generates && taps.toGenerate)
            taps.toGenerate(*reply);
        if (step.kind == Kind::process) {
            reply = step.stage->request(*reply);
        } else {
            // As a process gets it: the request with a line end, the reply without.
            const QString request = *reply + QLatin1Char('\n');
            switch (step.kind) {
            case Kind::analysis:
                reply = step.transducer->analysis(request);
                break;
            case Kind::analysisInDictionaryCase:
                reply = step.transducer->analysis(request, true);
                break;
            case Kind::bilingual:
                reply = step.transducer->bilingual(request);
                break;
            default:
                reply = step.transducer->generation(request);
                break;
            }
            if (reply && reply->endsWith(QLatin1Char('\n')))
                reply->chop(1);
        }
        if (!reply)
            return std::nullopt;
        const auto &tap = step.tags ? taps.tagged : step.translates ? taps.translated : taps.generated;
        if (tap && (step.tags || step.translates || step.generates))
            tap(*reply);
        if (step.generates && taps.endAfterGeneration)
            return reply;
        if (step.dropsSurfaceForms)
            reply = withoutSurfaceForms(*reply);
    }
    return reply;
}

std::vector<pid_t> StageChain::processGroups() const
{
    std::vector<pid_t> groups;
    for (const Step &step : m_steps) {
        if (step.stage)
            groups.push_back(step.stage->processGroup());
    }
    return groups;
}

std::size_t StageChain::inProcessStages() const
{
    return std::size_t(
        std::count_if(m_steps.begin(), m_steps.end(), [](const Step &step) { return step.kind != Kind::process; }));
}

} // namespace Lumivox::Native::Apertium
