#pragma once

// The English idioms the tooltip explains, with the conditions on the words around them that keep
// literal uses out ("the plane went down in flames"), and the small word sets the matcher and the
// gloss rewriter read. Every table is built once, on first use, thread-safely, and never changes.
//
// Pattern words: a literal word, compared with a token's lower-cased text or lemma; forms of one word
// joined by "|"; "one's" (a possessive, captured), "ONE" (a subject pronoun, captured), "oneself" (a
// reflexive), "someone" and "someone's" (any one word).
// Gloss: "V:" marks the verb to inflect like the idiom's head verb; "{subj}", "{obj}" and "{poss}" are
// filled from the captures.

#include "Services/Learn/EnglishGrammarTables.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace Lumivox::IdiomFinder {

using EnglishGrammar::WordMap;
using EnglishGrammar::WordSet;

/// A condition on the words around a match.
struct Context
{
    enum class Kind {
        opening, // opens the sentence or clause, or follows one of `words`
        after, // the word before is in `words`
        notAfter, // the word before is not in `words`
        notNear, // none of the three words before is in `words`
        notBefore, // the word after is not in `words`
        afterObjectOf, // one of the two words before is in `words` (a verb, its object, then the idiom)
        either, // `first` or `second` holds
        afterBe, // follows a form of "be" or a linking verb, fillers allowed in between
        notBeforeNoun, // the word after is not tagged as a noun
        clauseEnd, // ends the clause
    };

    Kind kind = Kind::afterBe;
    WordSet words {QStringList {}};
    std::shared_ptr<const Context> first;
    std::shared_ptr<const Context> second;

    static Context opening(QStringList words) { return {Kind::opening, WordSet(std::move(words)), {}, {}}; }
    static Context after(QStringList words) { return {Kind::after, WordSet(std::move(words)), {}, {}}; }
    static Context notAfter(QStringList words) { return {Kind::notAfter, WordSet(std::move(words)), {}, {}}; }
    static Context notNear(QStringList words) { return {Kind::notNear, WordSet(std::move(words)), {}, {}}; }
    static Context notBefore(QStringList words) { return {Kind::notBefore, WordSet(std::move(words)), {}, {}}; }
    static Context afterObjectOf(QStringList words) { return {Kind::afterObjectOf, WordSet(std::move(words)), {}, {}}; }
    static Context either(Context a, Context b)
    {
        return {Kind::either, WordSet(QStringList {}), std::make_shared<const Context>(std::move(a)),
                std::make_shared<const Context>(std::move(b))};
    }
    static Context afterBe() { return {Kind::afterBe, WordSet(QStringList {}), {}, {}}; }
    static Context notBeforeNoun() { return {Kind::notBeforeNoun, WordSet(QStringList {}), {}, {}}; }
    static Context clauseEnd() { return {Kind::clauseEnd, WordSet(QStringList {}), {}, {}}; }
};

struct Entry
{
    QString pattern;
    QString plain; // the gloss
    std::optional<Context> context;
};

/// In table order.
const std::vector<Entry> &entries();
/// The order the matcher tries them in: longest pattern first (in characters, "|" forms included);
/// equal lengths keep table order, so "feel under the weather" is tried before "under the weather".
const std::vector<Entry> &sortedEntries();

const WordMap &possessiveToObject();
/// The subject pronouns are EnglishGrammar::subjects().
const WordSet &reflexives();
const WordSet &articles();
/// Verbs whose past is their base form.
const WordSet &sameFormPast();
/// Verbs that double their last letter before "ed" and "ing".
const WordSet &doublesLastLetter();
/// Words allowed between a form of "be" and the idiom ("is just so over the moon").
const WordSet &fillers();
/// Forms of "be" and the linking verbs.
const WordSet &linking();
/// Words that may follow an idiom that has to end its clause ("missed the boat again").
const WordSet &clauseClosers();

} // namespace Lumivox::IdiomFinder
