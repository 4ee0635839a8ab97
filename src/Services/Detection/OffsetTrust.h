#pragma once

// Whether an offset that an application's accessibility interface answers for a screen point may be
// believed. A word is read only where two independent answers agree: the offset under the point,
// and the box of the characters at that offset holding the point. Some providers answer a default
// (offset 0 wherever the pointer is) with boxes of no height; others give no boxes at all. Their
// offsets are then judged by asking again far away: a provider that names the same offset for two
// points far apart is answering nothing about either.
//
// Pure rules over Quartz points (top-left origin, y downwards); the lookup asks the questions.

#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

namespace Lumivox::OffsetTrust {

/// Two points at least this far apart (in points) are never over the same character.
constexpr double farApart = 40;

/// What the box answered for the characters at an offset says about that offset.
enum class BoxVerdict {
    /// A box with an area that holds the point: the offset stands.
    holdsPoint,
    /// A box with an area elsewhere: the offset names other characters than those under the point.
    elsewhere,
    /// A box with width but no height, or height but no width: the provider's geometry, and so its
    /// offsets, cannot be checked.
    flat,
    /// No box at all (none answered, or neither width nor height).
    none,
};

BoxVerdict judgeBox(const std::optional<QRectF> &box, QPointF point);

/// The box holds the point within a word's tolerance: 8 points either side, and up or down a
/// quarter of the box's height, at most 8 points, so that a box on the row above or below never
/// holds a point on this row.
bool holds(const QRectF &box, QPointF point);

/// A point inside `element` at least `farApart` from `point` (a corner, inset by 2 points), where
/// the offset can be asked a second time; none when the element is too small for one.
std::optional<QPointF> probePoint(const QRectF &element, QPointF point);

/// Some text views answer offset 0 or 1 for every point: far into a wide field (more than 12 %
/// across one wider than 40 points) such an index is a default, not the character under the point.
bool isDefaultIndexFarIn(const std::optional<QRectF> &element, qint64 index, QPointF point);

/// The doubts, as the diagnostics record them.
QString flatBoxesDoubt();
QString oneOffsetDoubt();
QString defaultIndexDoubt();

} // namespace Lumivox::OffsetTrust
