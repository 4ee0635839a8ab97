// What a route through Spanish gives with the real pairs: a hovered word's rendering is a word of
// the target or none, without the article or preposition the second pair joins to it; a proper noun
// reaches the target as the first pair left it; a word alone that the second dictionary lacks is
// untranslated, and one it has in another part of speech is that word.

#include "Native/Translation/ApertiumTranslator.h"

#include <gtest/gtest.h>

using namespace Lumivox::Native;
namespace AT = Lumivox::Native::ApertiumTranslation;

namespace {

QString markedText(const MarkedPassage &passage)
{
    QStringList parts;
    for (const MarkedPassage::Span &span : passage.marks)
        parts.append(passage.text.mid(span.location, span.length));
    return parts.join(u' ');
}

struct Row
{
    const char *target;
    const char *sentence;
    const char *hovered;
    /// The hovered word's rendering, empty for none; not checked when null.
    const char *mark;
    /// Words that must not be in the translated sentence.
    QStringList absent;
};

} // namespace

TEST(RoutedMeanings, HoveredWordsAndNamesThroughSpanish)
{
    ApertiumTranslator translator;
    const QString english = QStringLiteral("en");
    const auto direct = translator.session(english, QStringLiteral("es"));
    ASSERT_TRUE(direct);

    const std::vector<Row> rows {
        // Spanish words the second pair has no entry for: no rendering, and the user's word in the sentence.
        {"fr", "The cat sat on the mat.", "mat", "", {"estera"}},
        {"it", "The cat sat on the mat.", "mat", "", {"estera"}},
        {"it", "We bought bread at the market.", "market", "", {"lonja"}},
        {"fr", "I saw the horse yesterday.", "horse", "", {"caballar"}},
        // The second pair's article or preposition is not part of the rendering.
        {"it", "The house is big.", "house", "casa", {}},
        {"it", "The garden is green.", "garden", "giardino", {}},
        {"it", "The library keeps rare books.", "library", "biblioteca", {}},
        {"fr", "The house is big.", "house", "maison", {}},
        // Nor the article the first pair's transfer adds before it, on a direct pair too.
        {"es", "My sister likes to read novels in the evening.", "novels", "novelas", {}},
        {"it", "My sister likes to read novels in the evening.", "novels", "romanzi", {}},
        // Names as the first pair reads them.
        {"fr", "I saw Nevada yesterday.", "saw", nullptr, {"Neigée"}},
        {"it", "I saw Nevada yesterday.", "saw", nullptr, {"Nevata"}},
        {"fr", "Victoria sings in Granada.", "sings", nullptr, {"Victoire", "Grenade"}},
        {"it", "Victoria sings in Granada.", "sings", nullptr, {"Melograno"}},
        {"it", "They live in Los Angeles now.", "live", nullptr, {"Angeli", "GLI"}},
        {"fr", "Esperanza and Dolores are here.", "here", nullptr, {"Espoir", "Douleurs"}},
        {"fr", "I met Rosa in the town.", "town", nullptr, {"Rose "}},
    };
    for (const Row &row : rows) {
        const QString sentence = QString::fromUtf8(row.sentence);
        const QString word = QString::fromUtf8(row.hovered);
        const MarkedPassage passage {sentence, {{sentence.indexOf(word), word.size()}}};
        const auto session = translator.session(english, QString::fromLatin1(row.target));
        ASSERT_TRUE(session);
        const auto routed = session->translate(passage);
        ASSERT_TRUE(routed.ok()) << row.sentence;
        const std::string seen =
            routed.value->text.toStdString() + " [" + markedText(*routed.value).toStdString() + "]";
        if (row.mark) {
            EXPECT_EQ(markedText(*routed.value), QString::fromUtf8(row.mark)) << row.target << ": " << seen;
        }
        for (const QString &absent : row.absent)
            EXPECT_FALSE(routed.value->text.contains(absent)) << row.target << ": " << seen;
        // Every name of the sentence stands in the target as the direct pair gives it.
        const auto spanish = direct->translate(MarkedPassage {sentence, {}});
        ASSERT_TRUE(spanish.ok());
        for (const char *name : {"Nevada", "Victoria", "Granada", "Los Ángeles", "Esperanza", "Dolores", "Rosa"}) {
            if (spanish.value->text.contains(QString::fromUtf8(name))) {
                EXPECT_TRUE(routed.value->text.contains(QString::fromUtf8(name))) << row.target << ": " << seen;
            }
        }
    }

    // A word alone that the French dictionary lacks is untranslated, not the tagger's verb.
    const auto french = translator.session(english, QStringLiteral("fr"));
    EXPECT_EQ(french->translate(QStringLiteral("mat")).error, (TranslationError {AT::errorDomain, AT::untranslated}));
    EXPECT_EQ(french->translate(QStringLiteral("Rosa")).value, QStringLiteral("Rosa"));
    // One the Italian pair knows as a noun only ("verde") is carried as that word.
    EXPECT_EQ(translator.session(english, QStringLiteral("it"))->translate(QStringLiteral("green")).value,
              QStringLiteral("verde"));
}
