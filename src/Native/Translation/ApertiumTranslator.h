#pragma once

// The Linux backend of on-device translation: Apertium language pairs, each run as the stages of the
// pair's installed mode file, one persistent null-flush process per stage, shared with the word
// lookup and the tagger. A pair is installed when its mode file exists; a pair with none is translated
// through a language in between when two installed pairs join them (TranslationRoutes). Marks travel
// through the stages as word-bound blanks ([[b]]…[[/]]), which Apertium keeps on the word they wrap
// even when the word moves. A word on its own goes through the pair's dictionaries instead
// (ApertiumWordLookup), with the full pipeline as its fallback.

#include "Native/Apertium/StageChain.h"
#include "Native/Translation/ApertiumWordLookup.h"
#include "Native/Translation/TranslationRoutes.h"
#include "Native/Translation/Translator.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <sys/types.h>

namespace Lumivox::Native {

namespace ApertiumTranslation {

/// The error domain of this backend, and its codes.
inline const QString errorDomain = QStringLiteral("Apertium");
enum ErrorCode : long long {
    /// The pipeline could not start, died twice in a row or did not answer in time.
    engineFailed = 1,
    /// No word of the text was known to the pair.
    untranslated = 2,
    /// Longer than maximumTextLength.
    textTooLong = 3,
};

/// Longer texts are refused: the request is written whole before the reply is read, and the socket
/// and pipe buffers between the stages must be able to hold what is in flight.
inline constexpr qsizetype maximumTextLength = 20000;

/// Longer "words" are in no dictionary, and the analyser takes seconds over one of thousands of
/// letters: such a word is untranslated without asking it.
inline constexpr qsizetype longestWord = 100;

/// The mode names that may hold a pair, from the two-letter codes of the language table and their
/// three-letter forms ("en","es" → en-es, en-spa, eng-es, eng-spa).
QStringList modeNames(const QString &source, const QString &target);

/// The language table's code of one side of a mode name ("spa" → "es", "es" → "es"); empty for what
/// names no language ("pt_BR", "eco").
QString languageOfModeCode(const QString &code);

/// A request: the text escaped for Apertium, with every mark widened to whole words and wrapped in a
/// word-bound blank.
QString encode(const MarkedPassage &passage);

struct Decoded
{
    MarkedPassage passage;
    int words = 0;
    /// Words Apertium marked as unknown ("*word", "@word", "#word").
    int unknownWords = 0;
};

/// Reads a reply back: escapes and blanks removed, unknown-word marks stripped, marked spans taken
/// from the blanks and neighbouring ones merged; white space at the ends and the initial letter case
/// follow the source text. A mark over words only that the analyser or the bilingual dictionary did
/// not know is dropped (they came back as they went in, with no rendering). Given the generator's reply to the same
/// request, each mark is narrowed to the words the generator marked: the post-generator's contractions join an article
/// or preposition to a marked word ("nella lonja") and widen its blank over them.
Decoded decode(QStringView reply, QStringView sourceText, std::optional<QStringView> generated = std::nullopt);

/// One pair's reply (its generator's) made the next pair's request on a route through a language in
/// between: the stream as it stands, escapes and word-bound blanks kept, without the first pair's
/// marks of unknown words and for its post-generator, which the next pair would read as text (the
/// words it must not translate are told by their blanks, RouteWords).
QString carriedOn(QStringView reply, QStringView sourceText);

} // namespace ApertiumTranslation

class ApertiumSession final : public TranslationSession
{
public:
    /// A session for an installed mode; its stages are made from the mode file on first use, and so
    /// are the word lookup's, from it and from the reverse pair's mode when that is installed.
    ApertiumSession(QString source, QString target, QString mode);
    /// A session over a given shell pipeline run as one process, without a word lookup (tests put
    /// faulty pipelines in place with it).
    ApertiumSession(QString source, QString target, QString name, QString script, std::chrono::milliseconds timeout);

    QString source() const override { return m_source; }
    QString target() const override { return m_target; }
    bool prepare() override;
    TranslationResult<QString> translate(const QString &text) override;
    TranslationResult<QString> translateWord(const QString &word, const std::optional<WordContext> &context) override;
    TranslationResult<MarkedPassage> translate(const MarkedPassage &passage) override;

    /// The process groups of the pipeline's stages (0 for one not running); none before first use.
    std::vector<pid_t> processGroups();
    /// The process groups of the word lookup's running stages.
    std::vector<pid_t> wordLookupProcessGroups();

    /// Passes a request (raw: the caller escapes) through the pair's pipeline; absent when the pipeline
    /// cannot start or fails.
    std::optional<QString> pass(const QString &stream, const Apertium::StageChain::Taps &taps);
    /// The pair's word lookup, made and started on first use; null for a session over a given script
    /// or a pair whose stages cannot be found.
    ApertiumWordLookup *wordLookup();

private:
    Apertium::StageChain *pipeline();

    QString m_source;
    QString m_target;
    QString m_name;
    std::optional<QString> m_script;
    std::chrono::milliseconds m_timeout;
    std::mutex m_mutex;
    std::optional<Apertium::StageChain> m_pipeline;
    bool m_wordLookupMade = false;
    std::unique_ptr<ApertiumWordLookup> m_wordLookup;
};

/// A session on a route through a language in between: the sessions of the route's two pairs, shared
/// with their own direct use, so that a route runs no process of its own. A sentence goes through both
/// pipelines as one stream, its marks riding along; a word alone takes the first pair's dictionary
/// sense through the second pair's dictionary, keeping its part of speech.
class ApertiumRouteSession final : public TranslationSession
{
public:
    ApertiumRouteSession(QString source, QString target, std::shared_ptr<ApertiumSession> first,
                         std::shared_ptr<ApertiumSession> second);

    QString source() const override { return m_source; }
    QString target() const override { return m_target; }
    bool prepare() override;
    TranslationResult<QString> translate(const QString &text) override;
    TranslationResult<QString> translateWord(const QString &word, const std::optional<WordContext> &context) override;
    TranslationResult<MarkedPassage> translate(const MarkedPassage &passage) override;

private:
    QString m_source;
    QString m_target;
    std::shared_ptr<ApertiumSession> m_first;
    std::shared_ptr<ApertiumSession> m_second;
};

class ApertiumTranslator final : public Translator
{
public:
    /// Over the modes installed on this computer, read at the first call.
    ApertiumTranslator() = default;
    /// Over given routes: the program's one reading of the installed modes at start, which the
    /// language catalogue has too (and tests').
    explicit ApertiumTranslator(TranslationRoutes routes);

    Availability availability(const QString &source, const QString &target) override;
    std::shared_ptr<TranslationSession> session(const QString &source, const QString &target) override;

private:
    const TranslationRoutes &routes();
    std::shared_ptr<ApertiumSession> pairSession(const QString &source, const QString &target, const QString &mode);

    std::once_flag m_routesFound;
    std::optional<TranslationRoutes> m_routes;
    std::mutex m_mutex;
    std::map<QString, std::shared_ptr<ApertiumSession>> m_pairs;
    std::map<QString, std::shared_ptr<ApertiumRouteSession>> m_routeSessions;
};

} // namespace Lumivox::Native
