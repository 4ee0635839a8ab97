#include "Native/Language/LanguageRecognizer.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

using Lumivox::Native::LanguageRecognizer;

TEST(LanguageRecognizer, NamesLanguagesOfSentencesOnlyAndAnswersAlikeWhenAskedAgain)
{
    const auto recognizer = LanguageRecognizer::makeDefault();
    const std::vector<std::pair<QString, std::optional<QString>>> rows {
        {QStringLiteral("The weather is lovely today and we will walk to the park."), QStringLiteral("en")},
        {QStringLiteral("El perro come la comida en la cocina de la casa."), QStringLiteral("es")},
        {QString::fromUtf16(u"今天天气很好，我们去公园散步吧。我们下午一起喝茶。"), QStringLiteral("zh-Hans")},
        // Too short to tell: no answer rather than a guess.
        {QStringLiteral("house"), std::nullopt},
        {QString(), std::nullopt},
        // Broken text and very long text are answered without trouble.
        {QStringLiteral("Der Hund ") + QChar(0xD800) + QStringLiteral(" frisst das Futter in der Küche."),
         QStringLiteral("de")},
        {QStringLiteral("Le chat dort sur le canapé du salon. ").repeated(5000), QStringLiteral("fr")},
    };
    // Asked again right away, in another order, and after many other texts have been asked about.
    const auto askAll = [&](const char *pass, bool backwards) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const auto &[text, language] = rows[backwards ? rows.size() - 1 - i : i];
            EXPECT_EQ(recognizer->dominantLanguage(text), language) << pass << ": " << text.left(40).toStdString();
        }
    };
    askAll("first", false);
    askAll("again", true);
    for (int i = 0; i < 40; ++i)
        recognizer->dominantLanguage(QStringLiteral("Il pleut sur la ville numéro %1 depuis ce matin.").arg(i));
    askAll("after others", false);
}
