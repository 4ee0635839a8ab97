#pragma once

// How long the word book keeps look-ups in its history. Stored in the preferences by raw value.

#include <QString>

#include <array>
#include <optional>

namespace Lumivox {

// `forever_`: Qt defines `forever` as a loop macro.
enum class HistoryRetention { month, quarter, year, forever_ };

namespace HistoryRetentions {

/// Every retention, shortest first.
const std::array<HistoryRetention, 4> &all();

QString rawValue(HistoryRetention retention);
std::optional<HistoryRetention> fromRawValue(const QString &raw);
/// The settings pane's picker text.
QString title(HistoryRetention retention);
/// Days of 86,400 s that a look-up is kept; none for `forever_`.
std::optional<int> days(HistoryRetention retention);

} // namespace HistoryRetentions

} // namespace Lumivox
