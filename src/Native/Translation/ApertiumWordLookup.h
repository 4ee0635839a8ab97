#pragma once

// A word translated alone, from a language pair's own data: the analyser's readings with their parts
// of speech, the pair's tagger for the reading the word has in its sentence (or on its own), the
// bilingual dictionary for the target lemma of that reading in its dictionary form, and the target
// generator for the word form. The full pipeline is no good at this: it keeps the tagger's guess for
// a word with no context and carries its inflection over ("eat" → "come", "run" → "corrido"), and a
// noun that Apertium also lists as a modifier comes out as an adjective ("car" → "automovilístico").
//
// The stages are the pair's own, shared with its sentence pipeline: the analyser and the tagger as
// processes (started on first use; one that dies is started again), the dictionaries and the
// generator in this process. Thread-safe. Calls block, so never make them on the UI thread.

#include "Native/Apertium/StageChain.h"
#include "Native/Apertium/StreamUnits.h"
#include "Native/Language/ApertiumTagger.h"
#include "Native/Translation/Translator.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <optional>
#include <vector>

#include <sys/types.h>

namespace Lumivox::Native {

namespace ApertiumWords {

/// The shell commands of a pair's stages, taken from the null-flush form of its mode (each list runs
/// its commands one after the other).
struct Stages
{
    /// The source analyser alone.
    QStringList analyser;
    /// The mode's stages up to and including its tagger, which keeps the surface forms.
    QStringList tagger;
    /// The pair's bilingual dictionary.
    QStringList bilingual;
    /// The target generator, marking what it cannot generate, and the post-generator.
    QStringList generator;
    /// The reverse pair's bilingual dictionary, when that pair is installed.
    std::optional<QStringList> reverseBilingual;

    bool operator==(const Stages &) const = default;
};

/// The stages in a pair's null-flush script (apertium-wblank-mode -z) and its reverse pair's; none
/// when the script lacks one of them.
std::optional<Stages> stages(const QString &script, const std::optional<QString> &reverseScript);

/// The reading to translate, among the single-word readings of the word. `tagged` is the tagger's
/// reading of the word (in its sentence, or alone), when it has one; without it the word is read as
/// a noun, else a verb, an adjective, an adverb, in that order. A word `alone` is never an adjective
/// that is only a noun used as a modifier (just "car<adj>" and "car<n><sg>").
std::optional<Apertium::ReadingPart> chooseReading(const std::vector<Apertium::ReadingPart> &readings,
                                                   const std::optional<TaggedWord> &tagged, bool alone);

/// Whether the bilingual dictionary and the generator can give this reading's dictionary sense:
/// nouns, full verbs, adjectives and adverbs. Other words are the pipeline's, whose transfer rules
/// know them.
bool isContentWord(const Apertium::ReadingPart &reading);

/// The dictionary form of `chosen` (infinitive, singular, nominative, masculine) among the readings
/// of its lemma; none when its lemma has no reading of the same part of speech.
std::optional<Apertium::ReadingPart> dictionaryReading(const std::vector<Apertium::ReadingPart> &lemmaReadings,
                                                       const Apertium::ReadingPart &chosen);

/// The units to ask the generator for, most likely first: the target reading with the dictionary's
/// to-be-decided gender and number settled, with agreement added where the source had none to give
/// (English adjectives into Spanish), and without the source's agreement where the target has none
/// (Spanish nouns into English).
QStringList generationUnits(const Apertium::ReadingPart &target);

/// The translation in the source word's letter case: "Casa" for "House", "CASA" for "HOUSE",
/// otherwise as the dictionary writes it.
QString followCase(const QString &translation, QStringView source);

} // namespace ApertiumWords

class ApertiumWordLookup
{
public:
    enum class Outcome {
        translated,
        /// The analyser does not know the word: there is nothing to translate.
        unknownWord,
        /// Not a word this lookup translates (a function word, a name, several words) or a stage
        /// failed: the full pipeline should translate it.
        notTranslated,
    };

    struct Result
    {
        Outcome outcome = Outcome::notTranslated;
        QString text;
        bool operator==(const Result &) const = default;
    };

    /// A word's senses in the target language: readings of the target dictionary, the likeliest first.
    struct Senses
    {
        Outcome outcome = Outcome::notTranslated;
        /// Not empty when `outcome` is translated.
        std::vector<Apertium::ReadingPart> readings;
    };

    ApertiumWordLookup(ApertiumWords::Stages stages, std::chrono::milliseconds timeout);

    /// One word (no white space); `context` when the sentence it was met in is known.
    Result translate(const QString &word, const std::optional<WordContext> &context);

    /// The senses of one word (no white space), in the part of speech it has in `context` when known.
    Senses senses(const QString &word, const std::optional<WordContext> &context);
    /// The senses of readings of this pair's source language that another pair's dictionary gave
    /// (the next step of a route through a language in between): the first reading this pair's
    /// dictionary has an entry for, in the same part of speech. Empty when it has none.
    std::vector<Apertium::ReadingPart> sensesOf(const std::vector<Apertium::ReadingPart> &sourceReadings);
    /// A target reading generated, in the letter case of the word it translates.
    QString wordForm(const Apertium::ReadingPart &target, QStringView source);

    /// Starts the stages without waiting for them to load. False when one cannot start.
    bool start();
    /// Starts every stage and waits until each has answered once. False when one cannot start.
    bool prepare();

    /// The process groups of the running stages (tests end them to check the restart).
    std::vector<pid_t> processGroups();

private:
    std::vector<Apertium::StageChain *> chains();
    std::optional<TaggedWord> tagged(const QString &word, const std::optional<WordContext> &context, bool *alone);
    std::vector<Apertium::ReadingPart> analyse(const QString &text, bool *unknown);
    std::vector<Apertium::ReadingPart> translations(const Apertium::ReadingPart &source);
    std::vector<Apertium::ReadingPart> reversible(std::vector<Apertium::ReadingPart> alternatives,
                                                  const Apertium::ReadingPart &source);
    QString generate(const Apertium::ReadingPart &target);

    Apertium::StageChain m_analyser;
    ApertiumTagger m_tagger;
    /// Until when a tagger that failed is left alone.
    std::atomic<std::chrono::steady_clock::time_point> m_taggerRestsUntil {};
    Apertium::StageChain m_bilingual;
    Apertium::StageChain m_generator;
    std::optional<Apertium::StageChain> m_reverse;
};

} // namespace Lumivox::Native
