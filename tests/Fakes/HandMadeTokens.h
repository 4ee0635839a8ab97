#pragma once

// Tokens written by hand, so that tests of the grammar rules do not depend on what a tagger says:
// "She/Pronoun/she went/Verb/go home" gives three tokens, "-" or a missing part meaning no class or
// no lemma. Each text is found in the sentence after the previous one.

#include "Services/Learn/EnglishGrammar.h"

#include <QStringList>

#include <vector>

namespace Lumivox::Testing {

inline std::vector<EnglishGrammar::Token> handMadeTokens(const QString &sentence, const QString &described)
{
    auto part = [](const QStringList &parts, int i) -> std::optional<QString> {
        if (i >= parts.size() || parts[i] == QLatin1String("-"))
            return std::nullopt;
        return parts[i];
    };
    std::vector<EnglishGrammar::Token> tokens;
    qsizetype from = 0;
    for (const QString &word : described.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = word.split(QLatin1Char('/'));
        const qsizetype at = sentence.indexOf(parts[0], from);
        Q_ASSERT(at >= 0);
        tokens.push_back({parts[0], {at, parts[0].size()}, part(parts, 1), part(parts, 2)});
        from = at + parts[0].size();
    }
    return tokens;
}

} // namespace Lumivox::Testing
