#include "Models/TriggerMode.h"

namespace Lumivox {

namespace CarbonModifier {
constexpr std::uint32_t cmdKey = 256;
constexpr std::uint32_t shiftKey = 512;
constexpr std::uint32_t optionKey = 2048;
constexpr std::uint32_t controlKey = 4096;
} // namespace CarbonModifier

std::optional<TriggerMode> TriggerMode::fromRawValue(const QString &raw)
{
    for (TriggerMode mode : allCases()) {
        if (mode.rawValue() == raw)
            return mode;
    }
    return std::nullopt;
}

const std::array<TriggerMode, 5> &TriggerMode::allCases()
{
    static const std::array<TriggerMode, 5> cases {option, command, control, shift, always};
    return cases;
}

QString TriggerMode::rawValue() const
{
    switch (m_value) {
    case option:
        return QStringLiteral("option");
    case command:
        return QStringLiteral("command");
    case control:
        return QStringLiteral("control");
    case shift:
        return QStringLiteral("shift");
    case always:
        return QStringLiteral("always");
    }
    return {};
}

QString TriggerMode::title() const
{
    switch (m_value) {
    case option:
        return QStringLiteral("Holding Alt");
    case command:
        return QStringLiteral("Holding Super");
    case control:
        return QStringLiteral("Holding Ctrl");
    case shift:
        return QStringLiteral("Holding Shift");
    case always:
        return QStringLiteral("Always");
    }
    return {};
}

QString TriggerMode::hint() const
{
    switch (m_value) {
    case option:
        return QStringLiteral("Hold Alt and point at a word");
    case command:
        return QStringLiteral("Hold Super and point at a word");
    case control:
        return QStringLiteral("Hold Ctrl and point at a word");
    case shift:
        return QStringLiteral("Hold Shift and point at a word");
    case always:
        return QStringLiteral("Point at a word");
    }
    return {};
}

TooltipKeyLabels TriggerMode::tooltipKeyLabels() const
{
    switch (m_value) {
    case option:
        return {QStringLiteral("S"), QStringLiteral("C"), QStringLiteral("Alt")};
    case command:
        return {QStringLiteral("Ctrl+S"), QStringLiteral("Ctrl+C"), QStringLiteral("Super")};
    case control:
        return {QStringLiteral("S"), QStringLiteral("C"), QStringLiteral("Ctrl")};
    case shift:
        return {QStringLiteral("Ctrl+S"), QStringLiteral("Ctrl+C"), QStringLiteral("Shift")};
    case always:
        // Bare Ctrl+S and Ctrl+C are Save and Copy in every application; with nothing held, the
        // tooltip's keys must be a combination no common desktop or application binds by default.
        return {QStringLiteral("Ctrl+Alt+S"), QStringLiteral("Ctrl+Alt+C"), std::nullopt};
    }
    return {};
}

std::uint32_t TriggerMode::tooltipKeyModifiers() const
{
    using namespace CarbonModifier;
    switch (m_value) {
    case option:
        return optionKey;
    case command:
        return cmdKey + controlKey;
    case control:
        return controlKey;
    case shift:
        return shiftKey + controlKey;
    case always:
        return controlKey + optionKey;
    }
    return controlKey;
}

bool TriggerMode::isSatisfied(Native::ModifierFlags flags) const
{
    switch (m_value) {
    case option:
        return flags & Native::Modifier::option;
    case command:
        return flags & Native::Modifier::command;
    case control:
        return flags & Native::Modifier::control;
    case shift:
        return flags & Native::Modifier::shift;
    case always:
        return true;
    }
    return false;
}

Native::ModifierFlags TriggerMode::flags(Native::ModifierFlags eventFlags)
{
    // Qualified: inside the class, plain `option` and friends are the mode's own enumerators.
    return eventFlags
        & (Native::Modifier::control | Native::Modifier::option | Native::Modifier::command | Native::Modifier::shift);
}

} // namespace Lumivox
