#include "Native/Language/LanguageRecognizer.h"

#include <gtest/gtest.h>

using Lumivox::Native::LanguageRecognizer;

TEST(LanguageRecognizer, NamesLanguagesOfSentencesOnly)
{
    const auto recognizer = LanguageRecognizer::makeDefault();
    EXPECT_EQ(recognizer->dominantLanguage(QStringLiteral("The weather is lovely today and we will walk to the park.")),
              QStringLiteral("en"));
    EXPECT_EQ(recognizer->dominantLanguage(QStringLiteral("El perro come la comida en la cocina de la casa.")),
              QStringLiteral("es"));
    EXPECT_EQ(recognizer->dominantLanguage(QString::fromUtf16(u"今天天气很好，我们去公园散步吧。我们下午一起喝茶。")),
              QStringLiteral("zh-Hans"));
    // Too short to tell: no answer rather than a guess.
    EXPECT_FALSE(recognizer->dominantLanguage(QStringLiteral("house")));
    EXPECT_FALSE(recognizer->dominantLanguage(QString()));
    // Broken text and very long text are answered without trouble.
    const QString broken =
        QStringLiteral("Der Hund ") + QChar(0xD800) + QStringLiteral(" frisst das Futter in der Küche.");
    EXPECT_EQ(recognizer->dominantLanguage(broken), QStringLiteral("de"));
    EXPECT_EQ(recognizer->dominantLanguage(QStringLiteral("Le chat dort sur le canapé du salon. ").repeated(5000)),
              QStringLiteral("fr"));
}
