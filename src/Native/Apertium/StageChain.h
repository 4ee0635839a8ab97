#pragma once

// Apertium's stages, shared by everything in the program that reads with them. A pair's sentence
// pipeline, its word look-up and the English tagger use the same analyser, tagger, dictionaries and
// generator, so each loads its data once. The analyser, the bilingual dictionary and the generator
// are look-ups over a transducer and run in this process (Transducer); the other programs run as
// child processes, so that one that crashes on some input (Debian's Russian tagger does) ends alone
// and is started again by its pipeline. A request goes from stage to stage through this process.
//
// Thread-safe: each stage serialises its own requests, and no lock is held between two stages.
// Calls block, so never make them on the UI thread.

#include "Native/Apertium/NullFlushPipeline.h"
#include "Native/Apertium/Transducer.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <sys/types.h>

namespace Lumivox::Native::Apertium {

/// The running stage for a shell command: one for each command and time-out in the whole program,
/// kept while anything holds it.
std::shared_ptr<NullFlushPipeline> sharedStage(const QString &command, std::chrono::milliseconds timeout);

/// The commands of a null-flush mode script (apertium-wblank-mode -z), one per program, with the
/// generator marking unknown words (-g for $1) and the tagger keeping surface forms (-p for $2), so
/// that the tagger serves translation and tagging alike.
QStringList modeCommands(const QString &script);

/// The stages a chain runs for these commands: each look-up over a transducer (the analyser, the
/// bilingual dictionary, the generator: lt-proc -z with no option but -a, -w, -b or -g) alone, since it
/// runs in the program; the commands between them joined into one process pipeline each, the
/// tagger ending its own (so that the tagging callers share it with translation). A pipeline ends
/// as a whole when any of its programs ends, rather than leaving the others waiting.
QStringList stagesOf(const QStringList &commands);

/// The stages up to and including the tagger: what reads a text into tagged words. None when there
/// is no tagger.
QStringList taggingStages(const QStringList &commands);

/// The file a command reads: its last quoted argument, as apertium-wblank-mode writes them.
std::optional<QString> commandFile(const QString &command);

/// Whether a stage runs Apertium's tagger.
bool isTagger(const QString &stage);

/// The stream without the surface forms the tagger keeps with -p (^cats/cat<n><pl>$ becomes
/// ^cat<n><pl>$): what the stages after a translation's tagger read.
QString withoutSurfaceForms(QStringView stream);

class StageChain
{
public:
    StageChain() = default;
    /// A chain of `stages` (see stagesOf), each shared with every other chain that runs the same one.
    /// A look-up over a transducer runs in this process when its file can be read here, and as
    /// lt-proc otherwise.
    StageChain(const QStringList &stages, std::chrono::milliseconds timeout);

    bool isEmpty() const { return m_steps.empty(); }

    /// Starts every stage without waiting for them to load their data. False when one cannot start.
    bool start();

    /// Where a request's stream may be read or changed between two stages. Each is called with the
    /// stream a stage gave, before the next stage reads it.
    struct Taps
    {
        /// After the tagger, the words' surface forms still in it and each word-bound blank attached
        /// to the unit it wraps.
        std::function<void(QString &)> tagged;
        /// After the bilingual dictionary (units ^source/target$).
        std::function<void(QString &)> translated;
        /// Before the generator: the target's units with their tags, blanks wrapping the units.
        std::function<void(QString &)> toGenerate;
        /// After the generator: the words before the post-generator joins and contracts them.
        std::function<void(QString &)> generated;
        /// The request ends with the generator's reply: the post-generator's contractions are for a
        /// reader, not for another pair's analyser.
        bool endAfterGeneration = false;
    };

    /// Passes one request (raw: the caller escapes) through the stages in turn, and gives the last
    /// one's reply; absent when a stage fails.
    std::optional<QString> request(const QString &text) const;
    std::optional<QString> request(const QString &text, const Taps &taps) const;

    /// The process groups of the stages that are processes, in order, 0 for one not running.
    std::vector<pid_t> processGroups() const;

    /// How many stages run in this process.
    std::size_t inProcessStages() const;

private:
    enum class Kind { process, analysis, analysisInDictionaryCase, bilingual, generation };
    struct Step
    {
        Kind kind = Kind::process;
        std::shared_ptr<NullFlushPipeline> stage;
        std::shared_ptr<const Transducer> transducer;
        bool dropsSurfaceForms = false;
        /// What the stage is, even when it runs as a process.
        bool tags = false;
        bool translates = false;
        bool generates = false;
    };
    std::vector<Step> m_steps;
};

} // namespace Lumivox::Native::Apertium
