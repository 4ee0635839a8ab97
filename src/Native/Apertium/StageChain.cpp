#include "Native/Apertium/StageChain.h"

#include <QFileInfo>

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace Lumivox::Native::Apertium {

namespace {

const QString separator = QStringLiteral(" | ");

// "lt-proc eng-spa.automorf.bin" for the log lines of a stage.
QString stageName(const QString &command)
{
    const QString program = command.section(QLatin1Char(' '), 0, 0);
    const auto file = commandFile(command);
    return file ? program + QLatin1Char(' ') + QFileInfo(*file).fileName() : program;
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

QStringList stageCommands(const QString &script)
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

bool isTagger(const QString &command)
{
    return command.startsWith(QLatin1String("apertium-tagger "));
}

QStringList taggingCommands(const QStringList &commands)
{
    for (qsizetype i = 0; i < commands.size(); ++i) {
        if (isTagger(commands[i]))
            return commands.mid(0, i + 1);
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

StageChain::StageChain(const QStringList &commands, std::chrono::milliseconds timeout)
{
    for (qsizetype i = 0; i < commands.size(); ++i) {
        const QString &command = commands[i];
        Step step;
        // "lt-proc -z -b 'file'" and "lt-proc -z -g 'file'", and no other option.
        const auto file = commandFile(command);
        const bool plain = file && command.endsWith(QLatin1Char('\'')) && command.count(QLatin1Char('\'')) == 2;
        if (plain && command.startsWith(QLatin1String("lt-proc -z -b '")))
            step.kind = Kind::bilingual;
        else if (plain && command.startsWith(QLatin1String("lt-proc -z -g '")))
            step.kind = Kind::generation;
        if (step.kind != Kind::process) {
            step.transducer = Transducer::shared(*file);
            if (!step.transducer)
                step.kind = Kind::process; // lt-proc reads it, whatever it holds
        }
        if (step.kind == Kind::process)
            step.stage = sharedStage(command, timeout);
        // The tagger keeps surface forms for the words it tags; a translation's later stages read
        // units without them.
        step.dropsSurfaceForms = isTagger(command) && i + 1 < commands.size();
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
    if (m_steps.empty())
        return std::nullopt;
    std::optional<QString> reply = text;
    for (const Step &step : m_steps) {
        if (step.kind == Kind::process) {
            reply = step.stage->request(*reply);
        } else {
            // As a process gets it: the request with a line end, the reply without.
            const QString request = *reply + QLatin1Char('\n');
            reply = step.kind == Kind::bilingual ? step.transducer->bilingual(request)
                                                 : step.transducer->generation(request);
            if (reply && reply->endsWith(QLatin1Char('\n')))
                reply->chop(1);
        }
        if (!reply)
            return std::nullopt;
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
