#include "App/CompositionRoot.h"
#include "Native/Services.h"
#include "Services/Words/WordBook.h"
#include "Shared/Preferences/PreferenceStore.h"

#include <gtest/gtest.h>

using namespace Lumivox;

TEST(CompositionRoot, BuildsEachLongLivedObjectOnceOverOneStore)
{
    CompositionRoot root(Native::services());
    CompositionRoot again(Native::services());
    EXPECT_EQ(&root.platform, &Native::services());
    EXPECT_EQ(root.preferences, again.preferences);
    EXPECT_EQ(&root.diagnosticLog, &again.diagnosticLog);
    EXPECT_EQ(&root.appearance, &again.appearance);
    EXPECT_EQ(&root.onDeviceTranslation, &again.onDeviceTranslation);
    EXPECT_EQ(&root.glanceTranslator, &again.glanceTranslator);
    EXPECT_EQ(&root.wordBook, &again.wordBook);
    // A program under test never touches the user's settings.
    EXPECT_FALSE(root.preferences->isPersistent());

    // The objects that keep state in preferences keep it in the store the root hands out.
    root.wordBook.setSuggestAfter(root.wordBook.suggestAfter() + 1);
    EXPECT_EQ(root.preferences->integer(WordBook::suggestAfterKey), root.wordBook.suggestAfter());
    root.translationCache.set(QStringLiteral("hola"), QStringLiteral("es:en:hello"));
    root.translationCache.flush();
    EXPECT_EQ(TranslationStore(root.preferences, 10, 0).value(QStringLiteral("es:en:hello")), QStringLiteral("hola"));
}
