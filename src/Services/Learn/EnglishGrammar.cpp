#include "Services/Learn/EnglishGrammar.h"

#include "Native/Language/Tagger.h"
#include "Native/Services.h"
#include "Shared/Platform/AppIdentity.h"

#include <mutex>

namespace Lumivox::EnglishGrammar {

namespace {

// One lock for each shared tagger, held for the whole tagging step. The two are never held together.
std::mutex &taggerLock()
{
    static std::mutex lock;
    return lock;
}

std::mutex &adjectiveTaggerLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

std::vector<Token> tokens(const QString &sentence)
{
    if (AppIdentity::isRunningInCI())
        return {};
    const auto tagger = Native::service<Native::Tagger>();
    if (!tagger)
        return {};
    std::vector<Native::TaggedWord> words;
    {
        std::lock_guard lock(taggerLock());
        words = tagger->words(sentence, {0, sentence.size()});
    }
    std::vector<Token> out;
    out.reserve(words.size());
    for (const Native::TaggedWord &word : words) {
        out.push_back(Token {sentence.mid(word.range.start, word.range.length),
                             Range {word.range.start, word.range.length}, word.lexicalClass, word.lemma});
    }
    return out;
}

bool isAdjective(const QString &word)
{
    if (AppIdentity::isRunningInCI())
        return false;
    if (word.isEmpty())
        return false;
    const QString probe = QStringLiteral("It is very ") + word + QLatin1Char('.');
    const qsizetype at = probe.lastIndexOf(word);
    if (at < 0)
        return false;
    const auto tagger = Native::service<Native::Tagger>();
    if (!tagger)
        return false;
    std::lock_guard lock(adjectiveTaggerLock());
    // The tag at the word's first character: the tagged word that covers it.
    for (const Native::TaggedWord &tagged : tagger->words(probe, {at, 1})) {
        if (tagged.range.start <= at && at < tagged.range.end())
            return tagged.lexicalClass == QLatin1String("Adjective") && tagged.lemma.has_value();
    }
    return false;
}

} // namespace Lumivox::EnglishGrammar
