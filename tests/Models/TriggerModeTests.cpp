#include "Models/TriggerMode.h"

#include <gtest/gtest.h>

#include <array>
#include <map>

using namespace Lumivox;
using namespace Lumivox::Native::Modifier;

TEST(TriggerMode, StoredValuesMatchExactlyAndFallBackToOption)
{
    for (TriggerMode mode : TriggerMode::allCases())
        EXPECT_EQ(TriggerMode::fromRawValue(mode.rawValue()), mode);
    EXPECT_EQ(TriggerMode::allCases().front(), TriggerMode::option);
    EXPECT_EQ(TriggerMode::allCases().back(), TriggerMode::always);

    for (const char *stored : {"Option", "option ", "", "alt", "ALWAYS"}) {
        EXPECT_FALSE(TriggerMode::fromRawValue(QString::fromUtf8(stored))) << stored;
        EXPECT_EQ(TriggerMode::fromStored(QString::fromUtf8(stored)), TriggerMode::option) << stored;
    }
    EXPECT_EQ(TriggerMode::fromStored(QStringLiteral("shift")), TriggerMode::shift);
}

TEST(TriggerMode, OnlyTheModesOwnKeyCounts)
{
    const Native::ModifierFlags optionAndShift = option | shift;
    EXPECT_TRUE(TriggerMode(TriggerMode::option).isSatisfied(optionAndShift));
    EXPECT_TRUE(TriggerMode(TriggerMode::shift).isSatisfied(optionAndShift));
    EXPECT_FALSE(TriggerMode(TriggerMode::command).isSatisfied(optionAndShift));
    EXPECT_FALSE(TriggerMode(TriggerMode::control).isSatisfied(optionAndShift));

    EXPECT_TRUE(TriggerMode(TriggerMode::always).isSatisfied(0));
    EXPECT_FALSE(TriggerMode(TriggerMode::always).tooltipKeyLabels().hold);
    // Caps lock alone satisfies nothing but `always`.
    for (TriggerMode mode : TriggerMode::allCases())
        EXPECT_EQ(mode.isSatisfied(capsLock), mode == TriggerMode::always) << mode.rawValue().toStdString();
}

TEST(TriggerMode, FlagsKeepExactlyTheFourModifiers)
{
    EXPECT_EQ(TriggerMode::flags(capsLock | function), 0u);
    const Native::ModifierFlags four = control | option | command | shift;
    // Device-dependent low bits, caps lock, numeric pad and help all go.
    EXPECT_EQ(TriggerMode::flags(four | capsLock | numericPad | help | function | 0x1 | 0x20), four);
}

TEST(TriggerMode, TooltipKeyLabelsAgreeWithTheirMask)
{
    constexpr std::uint32_t controlKey = 4096;
    constexpr std::uint32_t optionKey = 2048;
    for (TriggerMode mode : TriggerMode::allCases()) {
        const TooltipKeyLabels labels = mode.tooltipKeyLabels();
        const std::uint32_t mask = mode.tooltipKeyModifiers();
        // Control (and Alt) are pressed on top of the hold key exactly when the labels say so; with
        // Control or Alt as the hold key it is the hold key itself.
        const bool extraControl = (mask & controlKey) && mode != TriggerMode::control;
        const bool extraAlt = (mask & optionKey) && mode != TriggerMode::option;
        EXPECT_EQ(labels.save.startsWith(QStringLiteral("Ctrl+")), extraControl) << mode.rawValue().toStdString();
        EXPECT_EQ(labels.copy.startsWith(QStringLiteral("Ctrl+")), extraControl) << mode.rawValue().toStdString();
        EXPECT_EQ(labels.save.contains(QStringLiteral("Alt+")), extraAlt) << mode.rawValue().toStdString();
        EXPECT_EQ(labels.copy.contains(QStringLiteral("Alt+")), extraAlt) << mode.rawValue().toStdString();
        EXPECT_TRUE(labels.save.endsWith(QLatin1Char('S')) && labels.copy.endsWith(QLatin1Char('C')));
        EXPECT_EQ(labels.hold.has_value(), mode != TriggerMode::always);
    }
    // With nothing held, bare Ctrl+S and Ctrl+C stay the applications' Save and Copy.
    EXPECT_EQ(TriggerMode(TriggerMode::always).tooltipKeyModifiers(), controlKey + optionKey);
    EXPECT_EQ(TriggerMode(TriggerMode::always).tooltipKeyLabels().save, QStringLiteral("Ctrl+Alt+S"));
    // Labels with and without a hold symbol are different values, also to a hash.
    const TooltipKeyLabels withHold {QStringLiteral("Ctrl+S"), QStringLiteral("Ctrl+C"), QString()};
    const TooltipKeyLabels withoutHold {QStringLiteral("Ctrl+S"), QStringLiteral("Ctrl+C"), std::nullopt};
    EXPECT_NE(withHold, withoutHold);
    EXPECT_NE(qHash(withHold), qHash(withoutHold));
}

TEST(TriggerMode, TextsNameTheKeysAsTheLinuxKeyboardDoes)
{
    const std::map<TriggerMode::Value, std::array<const char *, 3>> expected {
        {TriggerMode::option, {"Holding Alt", "Hold Alt and point at a word", "Alt"}},
        {TriggerMode::command, {"Holding Super", "Hold Super and point at a word", "Super"}},
        {TriggerMode::control, {"Holding Ctrl", "Hold Ctrl and point at a word", "Ctrl"}},
        {TriggerMode::shift, {"Holding Shift", "Hold Shift and point at a word", "Shift"}},
        {TriggerMode::always, {"Always", "Point at a word", ""}},
    };
    for (const auto &[value, texts] : expected) {
        const TriggerMode mode(value);
        EXPECT_EQ(mode.title(), QString::fromUtf8(texts[0]));
        EXPECT_EQ(mode.hint(), QString::fromUtf8(texts[1]));
        EXPECT_EQ(mode.tooltipKeyLabels().hold.value_or(QString()), QString::fromUtf8(texts[2]));
    }
}
