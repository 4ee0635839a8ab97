#pragma once

// On-device translation: one session per installed language pair, and whether a pair's model is
// installed, could be installed, or is not offered at all. Language codes are the lower-case codes of
// the language table ("en", "es", "zh-cn").
//
// Session calls block until the engine answers (a few milliseconds once it runs, a few hundred for
// its first start): call them from a worker thread, never from the UI thread.

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace Lumivox::Native {

/// Why the engine gave no translation: a domain and an integer code, the way diagnostics keep errors.
struct TranslationError
{
    QString domain;
    long long code = 0;

    bool operator==(const TranslationError &) const = default;
};

template<class T>
struct TranslationResult
{
    std::optional<T> value;
    std::optional<TranslationError> error;

    static TranslationResult success(T value) { return {std::move(value), std::nullopt}; }
    static TranslationResult failure(TranslationError error) { return {std::nullopt, std::move(error)}; }
    bool ok() const { return value.has_value(); }
};

/// Plain text with marked spans (UTF-16 offsets), the form marks cross the engine in.
struct MarkedPassage
{
    struct Span
    {
        qsizetype location = 0;
        qsizetype length = 0;
        qsizetype end() const { return location + length; }
        bool operator==(const Span &) const = default;
    };

    QString text;
    /// In order and not overlapping.
    std::vector<Span> marks;

    bool operator==(const MarkedPassage &) const = default;
};

/// Where a word was met: the sentence, and the word's UTF-16 offset in it.
struct WordContext
{
    QString sentence;
    qsizetype offset = 0;

    bool operator==(const WordContext &) const = default;
};

class TranslationSession
{
public:
    virtual ~TranslationSession() = default;

    virtual QString source() const = 0;
    virtual QString target() const = 0;

    /// Starts the engine ahead of the first request. False when it cannot start.
    virtual bool prepare() = 0;

    /// A text of one word gives that word's dictionary sense in its dictionary form (a noun as a
    /// noun, a verb in the infinitive), in the part of speech the word most often has.
    virtual TranslationResult<QString> translate(const QString &text) = 0;

    /// The word's dictionary sense, in the part of speech it has in `context` when given. A text that
    /// is not one word is translated as it stands.
    virtual TranslationResult<QString> translateWord(const QString &word, const std::optional<WordContext> &context)
    {
        Q_UNUSED(context);
        return translate(word);
    }

    /// Translates with the marks carried over to the words they were on; neighbouring marked words
    /// come back as one span.
    virtual TranslationResult<MarkedPassage> translate(const MarkedPassage &passage) = 0;
};

class Translator
{
public:
    enum class Availability {
        installed,
        /// A pair the platform offers whose model is not installed.
        supported,
        unsupported,
    };

    virtual ~Translator() = default;

    /// Cheap (no engine is started); safe on any thread.
    virtual Availability availability(const QString &source, const QString &target) = 0;

    /// The one session of an installed pair (the same object on every call), or null when the pair
    /// is not installed. Nothing starts until the session is used.
    virtual std::shared_ptr<TranslationSession> session(const QString &source, const QString &target) = 0;

    static std::shared_ptr<Translator> makeDefault();
};

} // namespace Lumivox::Native
