#pragma once

// The in-context meaning of a hovered word (a Glance), and the single owner of what surrounds it:
// the cache of finished glances, one shared task per key while a glance is computed, and the
// precedence of glances the user hovered over glances started in advance for the following words.
//
// Main thread only. A glance's English analysis runs the tagger, which blocks, so it runs on the
// thread pool and is awaited; translations run on their back-ends' own workers or the network.
//
// Building a glance: the word is marked in its sentence before translation and the mark is read back
// from the result, so the meaning is the rendering the translator chose for this occurrence. Marks
// can land on the wrong words, so the choice is guarded by plausibility limits and cross-checked
// against a short phrase, a noun compound and the word alone.

#include "Models/StyledText.h"
#include "Services/Learn/EnglishGrammar.h"
#include "Services/Learn/Glance.h"
#include "Services/Learn/GlanceTask.h"

#include <QCoroTask>
#include <QHash>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace Lumivox {

class AppleTranslateService;

class GlanceTranslator
{
public:
    /// Stands in for the built-in computation (tests); gets the word, the sentence, the target code and
    /// whether a Google key may be used, and the task's stop token.
    using Compute = std::function<QCoro::Task<std::optional<Glance>>(QString word, QString sentence, QString target,
                                                                     bool hasGoogleKey, std::stop_token stop)>;

    /// One back-end's plain translation of a text; none for any failure. Stopping the token may end
    /// the request early.
    using PlainTranslation = std::function<QCoro::Task<std::optional<QString>>(QString text, std::stop_token stop)>;
    /// One back-end's translation of a text with ranges of it (UTF-16) marked; the result's strongly
    /// emphasised runs are the marked words' renderings.
    using MarkedTranslation = std::function<QCoro::Task<std::optional<StyledText>>(
        QString text, std::vector<TextRange> marks, std::stop_token stop)>;
    /// A translation asked for only when the meaning choice gets that far.
    using LazyTranslation = std::function<QCoro::Task<std::optional<QString>>()>;

    /// Most looked-up keys kept; read-ahead keys have their own, smaller room, so a long read-ahead
    /// run never pushes hovered words out.
    static constexpr std::size_t limit = 300;
    static constexpr std::size_t readAheadLimit = 24;

    struct Taken
    {
        Glance glance;
        /// The glance had been computed in advance and is now counted as looked up.
        bool wasReadAhead = false;
    };

    /// The program's one instance, made by the first call (the composition root's) over the
    /// on-device service it is given; later calls return it.
    static GlanceTranslator &shared(AppleTranslateService &onDevice);

    /// Computes glances with `onDevice` and, when the caller has a key, Google. The service must
    /// outlive the translator.
    explicit GlanceTranslator(AppleTranslateService &onDevice);
    /// Runs `compute` in place of the built-in computation (tests).
    explicit GlanceTranslator(Compute compute);
    /// Running tasks yield no glance to their awaiters.
    ~GlanceTranslator();
    GlanceTranslator(const GlanceTranslator &) = delete;
    GlanceTranslator &operator=(const GlanceTranslator &) = delete;

    /// The glance for the word at `wordOffset` (UTF-16, when known) in the sentence: at once when
    /// cached, the running task when one is computing the same key, else a new task. A hover
    /// (`readAhead` false) takes precedence: it files a joined read-ahead task's result as looked up,
    /// cancels every other read-ahead task when it starts new work, and, when it has a Google key that
    /// the running task was started without, tries once more with the key should that task yield none.
    /// Never fails: none means no glance.
    GlanceTask start(const QString &word, const QString &sentence, const QString &target, bool hasGoogleKey,
                     std::optional<qsizetype> wordOffset, bool readAhead);

    /// The cached glance; a read-ahead glance taken here becomes looked up.
    std::optional<Taken> take(const QString &word, const QString &sentence, const QString &target,
                              std::optional<qsizetype> wordOffset);
    /// The cached glance, leaving every order as it is.
    std::optional<Glance> cached(const QString &word, const QString &sentence, const QString &target,
                                 std::optional<qsizetype> wordOffset) const;
    /// Whether a task for the key runs and is still filed as read-ahead.
    bool isReadingAhead(const QString &word, const QString &sentence, const QString &target,
                        std::optional<qsizetype> wordOffset) const;

    /// Target lower-cased, the offset when known, the word as given and the trimmed sentence, joined
    /// by "|".
    static QString cacheKey(const QString &word, const QString &sentence, const QString &target,
                            std::optional<qsizetype> wordOffset);

    /// Whether the sentence reads the word in context: it holds the word and another word. A word
    /// alone on its line gets no glance, only its own translation.
    static bool hasContext(const QString &word, const QString &sentence);

    /// Whether a glance can come of the word in this sentence: it has context, and its language is
    /// known, is not the target's and has a back-end that translates it. A hover that can have none
    /// shows the word's own translation at once, from the cache the next time. Translators over an
    /// injected computation leave all but the context to it.
    bool canGlance(const QString &word, const QString &sentence, const QString &target, bool hasGoogleKey) const;

    /// The detected language of a text as an on-device code, else the detected code lower-cased; none
    /// when nothing is detected or the text is one word of the Latin script, and always none on a
    /// build machine.
    static std::optional<QString> sourceLanguage(const QString &text);
    /// The source handed to Google: a two-letter code as it is, anything else left to detection.
    static std::optional<QString> googleSource(const QString &source);

    // ---- Building one glance --------------------------------------------------------------------

    /// The word's glance in the sentence, translated by `plain` and `marked` (one back-end). English
    /// sentences (source "en") also get the idiom, the grammar line, the base form and the noun
    /// compound. None when the word is not in the sentence or no meaning can be chosen.
    static QCoro::Task<std::optional<Glance>> build(QString word, QString sentence, QString source,
                                                    std::optional<qsizetype> wordOffset, PlainTranslation plain,
                                                    MarkedTranslation marked, std::stop_token stop = {});

    /// The word's UTF-16 range: at the offset when the word stands there exactly, else its first
    /// whole-word occurrence. None for an empty word.
    static std::optional<TextRange> wordRange(const QString &word, const QString &sentence,
                                              std::optional<qsizetype> utf16Offset);

    struct Phrase
    {
        QString text;
        /// The marks moved into `text`.
        std::vector<TextRange> marks;
        bool operator==(const Phrase &) const = default;
    };
    /// Up to `radius` words on each side of the marks, within their clause. None when nothing would be
    /// added, or when the phrase is the whole sentence anyway.
    static std::optional<Phrase> phrase(const std::vector<TextRange> &marks, const QString &sentence, int radius);

    /// Two or three nouns ending in the hovered noun with nothing but spaces between them.
    static std::optional<QString> compound(TextRange word, const QString &sentence,
                                           const std::vector<EnglishGrammar::Token> &tokens);

    /// Chooses the word's meaning from the marked renderings of the sentence and of the phrase, falling
    /// back to the compound's and the word's own translation, preferring what the sentence translation
    /// agrees with. Marks are empty when missing.
    static QCoro::Task<std::optional<QString>> contextMeaning(QString sentenceMark, QString phraseMark,
                                                              std::optional<QString> phrase,
                                                              std::optional<QString> sentence, QString word,
                                                              LazyTranslation compound, LazyTranslation alone);

    /// The trimmed candidate, unless it cannot be the rendering of one word: no letter, five words or
    /// more, or far longer than the word.
    static std::optional<QString> trustedMeaning(const QString &candidate, const QString &word);

    /// The base form, unless it is the word itself in another letter case.
    static std::optional<QString> distinct(const std::optional<QString> &base, const QString &word);

private:
    struct Running
    {
        quint64 id = 0;
        GlanceTask task;
        bool usesGoogleKey = false;
        /// Whether the result will be filed as read-ahead; a hover that joins turns it off.
        bool isReadAhead = false;
    };

    using Job = std::function<QCoro::Task<std::optional<Glance>>(std::stop_token stop)>;

    static QCoro::Task<> run(std::weak_ptr<void> life, GlanceTranslator *self, QString key, quint64 id, bool readAhead,
                             Job job, GlanceTask task);
    static QCoro::Task<> retryWithKey(std::weak_ptr<void> life, GlanceTranslator *self, GlanceTask running,
                                      GlanceTask result, QString word, QString sentence, QString target,
                                      std::optional<qsizetype> wordOffset);
    /// The sentence's language when a glance can come of it (see canGlance).
    static std::optional<QString> glanceSource(const QString &word, const QString &sentence, const QString &target,
                                               bool hasGoogleKey);
    static QCoro::Task<std::optional<Glance>> translate(AppleTranslateService *onDevice, QString word, QString sentence,
                                                        QString target, bool hasGoogleKey,
                                                        std::optional<qsizetype> wordOffset, std::stop_token stop);

    void keepAsLookedUp(const QString &key);
    void stopReadingAhead(const QString &except);
    void remember(const Glance &glance, const QString &key, bool readAhead);

    QHash<QString, Glance> m_cache;
    std::deque<QString> m_order;
    std::deque<QString> m_readAheadOrder;
    std::map<QString, Running> m_inFlight;
    AppleTranslateService *m_onDevice = nullptr;
    Compute m_compute;
    quint64 m_nextID = 1;
    /// Tasks hold it weakly: once it is gone, so is the translator.
    std::shared_ptr<void> m_life;
};

} // namespace Lumivox
