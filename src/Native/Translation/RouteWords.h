#pragma once

// The source's words on a route through a language in between. The second pair reads the first's
// output as text of the middle language, and on its own would translate the first pair's proper nouns
// as common words ("Nevada" → "Neigée") and pass off a middle-language word it has no entry for as
// the target's ("estera" into French). So the first pair's tagger numbers the units that matter with
// a word-bound blank ([[w:3]]), which Apertium keeps on the words that unit becomes; the second pair's
// stages then read each number back: a word unknown to either pair becomes the user's own word again,
// unknown, as a direct pair leaves it, and a proper noun goes through as itself. The second pair's
// marks are read back by the caller (ApertiumTranslation::decode); unmarkLeadingArticles serves every
// pair, routed or not.

#include <QString>
#include <QStringView>

#include <vector>

namespace Lumivox::Native {

class RouteWords
{
public:
    /// Called on the first pair's tagged stream (surface forms kept, blanks attached): gives each
    /// unit that is unknown, a proper noun or a content word a number in its blank, and notes it.
    void number(QString &tagged);

    /// Called on the second pair's tagged stream: a unit this pair does not know, or from a word the
    /// first pair did not know, becomes the source word, unknown; the units of one proper noun become
    /// one proper noun whose lemma is its text.
    void carry(QString &tagged) const;

    /// Called on the second pair's bilingual dictionary's reply: a proper noun translates to itself,
    /// and a word the dictionary has no entry for ("@lonja") stands as the source word, untranslated.
    void carryTranslations(QString &translated) const;

    /// Called on the second pair's generator's reply: a proper noun the target dictionary lacks is no
    /// unknown word.
    void unmarkNames(QString &generated) const;

    /// Called on the generator's request of a translation's last pair, routed or direct: a mark that the transfer
    /// spread from a word to the article or preposition before it ("to read [[b]]novels" → "leer [[b]]las novelas")
    /// leaves them, so that the rendering is the word.
    static void unmarkLeadingArticles(QString &toGenerate);

    /// The blank entry that marks a span ("b" in [[b; w:3]]), as encode writes it.
    static bool isMarkBlank(QStringView content);

private:
    struct Word
    {
        /// As the user wrote it, unescaped.
        QString surface;
        bool unknown = false;
        /// The tags of the first pair's reading when it is a proper noun ("<np><loc><sg>"), else empty.
        QString nameTags;
    };

    /// The single name a blank's numbers stand for, or -1.
    qsizetype nameOf(const std::vector<qsizetype> &numbers) const;

    std::vector<Word> m_words;
};

} // namespace Lumivox::Native
