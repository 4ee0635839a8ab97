#include "Features/Overlay/WordStatus.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using Row = WordStatus::Row;
using Flash = WordStatus::Flash;

namespace {

WordStatus unsaved(int lookups, bool hints, int suggestAfter, bool hasKeys = true)
{
    WordStatus s;
    s.lookups = lookups;
    s.showsKeyHints = hints;
    s.suggestAfter = suggestAfter;
    s.hasKeys = hasKeys;
    return s;
}

} // namespace

TEST(WordStatus, TheFirstRuleThatAppliesChoosesTheRow)
{
    WordStatus savedWithoutKeys = unsaved(9, true, 3, false);
    savedWithoutKeys.isSaved = true;
    savedWithoutKeys.met = 5;
    WordStatus justSaved = savedWithoutKeys;
    justSaved.flash = Flash::saved(12);
    WordStatus copiedWithoutKeys = unsaved(1, false, 3, false);
    copiedWithoutKeys.flash = Flash::copied();

    struct Case
    {
        const char *what;
        WordStatus status;
        Row row;
    };
    const Case cases[] = {
        {"a confirmation wins over the saved header", justSaved, Row::flashing(Flash::saved(12))},
        {"a confirmation shows where the keys may not be used", copiedWithoutKeys, Row::flashing(Flash::copied())},
        {"a saved word shows how often it was met, keys or not", savedWithoutKeys, Row::saved(5)},
        {"no keys: nothing, not even the suggestion", unsaved(7, true, 3, false), Row::none()},
        {"looked up as often as suggestAfter", unsaved(3, false, 3), Row::suggest(3)},
        {"looked up more often", unsaved(8, true, 3), Row::suggest(8)},
        {"one short of the suggestion, during the hint period", unsaved(2, true, 3), Row::keys()},
        {"one short of the suggestion, after it", unsaved(2, false, 3), Row::keys()},
        {"first look-up after the hint period", unsaved(1, false, 3), Row::none()},
        {"first look-up during the hint period", unsaved(1, true, 3), Row::keys()},
        {"suggestAfter 0 never suggests", unsaved(50, false, 0), Row::keys()},
        {"suggestAfter 0, first look-up after the hint period", unsaved(1, false, 0), Row::none()},
        {"a negative suggestAfter never suggests", unsaved(50, true, -1), Row::keys()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.status.row(), c.row) << c.what;
}

TEST(WordStatus, EqualityLooksAtEveryFieldAndTheFlashPayload)
{
    WordStatus a = unsaved(2, true, 3);
    WordStatus withoutHold = a;
    withoutHold.keys.hold = std::nullopt;
    WordStatus altHold = a;
    altHold.keys.hold = QStringLiteral("⌥");
    EXPECT_NE(withoutHold, altHold);
    EXPECT_NE(qHash(withoutHold), qHash(altHold));

    WordStatus one = a;
    one.flash = Flash::saved(1);
    WordStatus two = a;
    two.flash = Flash::saved(2);
    EXPECT_NE(one, two);

    // Built without arguments, the labels are those of the Alt hold key.
    EXPECT_EQ(TooltipKeyLabels(), (TooltipKeyLabels {QStringLiteral("S"), QStringLiteral("C"), QStringLiteral("⌥")}));
}

TEST(WordStatus, KeyCapsUseTheWordsOfALinuxKeyboard)
{
    const std::pair<const char *, const char *> cases[] = {
        {"S", "S"},     {"⌃S", "Ctrl+S"},        {"⌥", "Alt"}, {"⌘", "Super"},
        {"⇧", "Shift"}, {"⌃⇧X", "Ctrl+Shift+X"}, {"", ""},     {"S⌃", "S⌃"},
    };
    for (const auto &[label, text] : cases)
        EXPECT_EQ(keyCapText(QString::fromUtf8(label)), QString::fromUtf8(text)) << label;
}
