#pragma once

// An English part-of-speech and name tagger. It gives each word of a text its lexical class under
// the platform's tag names ("Noun", "Verb", "Adjective", "Adverb", "Determiner", "Number",
// "Pronoun", "Preposition", "Conjunction", "Particle", "Interjection", "OtherWord"), its dictionary
// form, and its name type ("PersonalName", "PlaceName", "OrganizationName").
//
// Calls block while the tagger works (about a millisecond once warm, a few hundred on first use), so
// never call it on the UI thread. The object may be shared across threads; callers that keep a shared
// tagger of their own guard each use with that tagger's own lock.

#include <QString>
#include <QStringView>

#include <memory>
#include <optional>
#include <vector>

namespace Lumivox::Native {

/// A UTF-16 range of a text.
struct TextRange
{
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end() const { return start + length; }
    bool operator==(const TextRange &) const = default;
};

/// One word the tagger found; `range` indexes the text that was tagged.
struct TaggedWord
{
    TextRange range;
    std::optional<QString> lexicalClass; // absent for a word the tagger does not know
    std::optional<QString> lemma;
    std::optional<QString> nameType;
    bool operator==(const TaggedWord &) const = default;
};

struct TaggerOptions
{
    /// A personal name of several words ("Mary Smith") comes back as one word.
    bool joinNames = false;
};

class Tagger
{
public:
    virtual ~Tagger() = default;

    /// The words of `text` that overlap `range`, in text order; punctuation and white space are left
    /// out. Surrounding text is read for context as needed. An empty text or range, or a tagger that
    /// is not available, gives no words; a tagger that fails part-way gives the words it had.
    virtual std::vector<TaggedWord> words(QStringView text, TextRange range, TaggerOptions options = {}) = 0;

    static std::shared_ptr<Tagger> makeDefault();
};

} // namespace Lumivox::Native
