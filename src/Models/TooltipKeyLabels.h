#pragma once

#include <QHashFunctions>
#include <QString>

#include <optional>

namespace Lumivox {

/// The labels of the tooltip's save and copy keys and the symbol of the held modifier key
/// (absent when no key needs holding).
struct TooltipKeyLabels
{
    QString save;
    QString copy;
    std::optional<QString> hold;

    bool operator==(const TooltipKeyLabels &) const = default;
};

inline size_t qHash(const TooltipKeyLabels &labels, size_t seed = 0)
{
    return qHashMulti(seed, labels.save, labels.copy, labels.hold.value_or(QString()), labels.hold.has_value());
}

} // namespace Lumivox
