#pragma once

// The hold key: the modifier that must be held while pointing at a word, or none ("always").
// Stored under the preference key "holdKey" as the raw value.

#include "Models/TooltipKeyLabels.h"
#include "Native/Input/Input.h"

#include <QHashFunctions>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace Lumivox {

class TriggerMode
{
public:
    enum Value { option, command, control, shift, always };

    constexpr TriggerMode(Value value = option)
        : m_value(value)
    { }

    /// Exact, case-sensitive match of a raw value.
    static std::optional<TriggerMode> fromRawValue(const QString &raw);
    /// A stored value that matches no raw value counts as `option`.
    static TriggerMode fromStored(const QString &raw) { return fromRawValue(raw).value_or(TriggerMode(option)); }
    static const std::array<TriggerMode, 5> &allCases();

    constexpr Value value() const { return m_value; }
    QString rawValue() const;
    QString id() const { return rawValue(); }
    QString title() const;
    QString hint() const;
    TooltipKeyLabels tooltipKeyLabels() const;
    /// Carbon modifier mask under which the tooltip's save and copy keys are registered.
    std::uint32_t tooltipKeyModifiers() const;

    /// Tests only this mode's own bit; `always` is always satisfied.
    bool isSatisfied(Native::ModifierFlags flags) const;

    /// Keeps exactly control, option, command and shift. The keys held at this moment come from the
    /// pointer tracker (MouseTracker::currentFlags()), so that this type stays a plain value.
    static Native::ModifierFlags flags(Native::ModifierFlags eventFlags);

    constexpr bool operator==(const TriggerMode &) const = default;

private:
    Value m_value;
};

/// Hashed by raw value, as the mode is identified by it.
inline size_t qHash(TriggerMode mode, size_t seed = 0)
{
    return qHash(mode.rawValue(), seed);
}

} // namespace Lumivox
