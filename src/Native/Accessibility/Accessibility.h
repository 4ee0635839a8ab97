#pragma once

// The accessibility interface of other applications, in the shape the word lookup reads it:
// elements with named attributes ("AXRole", "AXValue", "AXChildren" …) and named parameterized
// attributes ("AXRangeForPosition", "AXBoundsForRange", text-marker ranges …), the element under a
// screen point, the owning process, and whether we may read it at all. An element embedded in its
// parent's text (a link, an inline run) answers "AXParent" and "AXRangeInParent": the UTF-16 range
// of the parent's text that stands for it. Where an element's text keeps an object replacement
// character for an embedded object (a browser's link), "AXEmbeddedTextForIndex" with that
// character's UTF-16 index answers the object's text. "AXInline" tells whether an element runs on
// in its parent's text (a link, a browser's inline element) or is a block of its own; a run of
// text answers nothing.
//
// Geometry is in Quartz points (origin at the top-left of the primary screen, y downwards). Text
// positions and lengths are UTF-16 code units of the element's text; a backend whose platform counts
// otherwise converts both ways. Every read is synchronous and bounded by the messaging timeout set on
// the element that started the query; a failure of any kind is an absent value, never an exception.

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

namespace Lumivox::Native {

class AccessibilityElement;
using AXElement = std::shared_ptr<AccessibilityElement>;

/// A range of UTF-16 code units in an element's text.
struct AXRange
{
    qint64 location = 0;
    qint64 length = 0;
    bool operator==(const AXRange &) const = default;
};

/// A position in some element's text, as the text-marker attributes hand them out and take them
/// back. Only the backend that made a marker can read it.
struct AXTextMarker
{
    std::shared_ptr<const void> anchor;
    qint64 position = 0;
    bool operator==(const AXTextMarker &) const = default;
};

struct AXTextMarkerRange
{
    AXTextMarker start;
    AXTextMarker end;
    bool operator==(const AXTextMarkerRange &) const = default;
};

/// The value of an attribute, or the parameter of a parameterized attribute.
using AXValue = std::variant<QString, qint64, double, bool, QPointF, QSizeF, QRectF, AXRange, AXElement,
                             std::vector<AXElement>, AXTextMarker, AXTextMarkerRange, std::vector<AXTextMarker>>;

class AccessibilityElement
{
public:
    virtual ~AccessibilityElement() = default;

    /// The process that owns the element, when it can be told.
    virtual std::optional<std::int32_t> pid() = 0;

    /// Bounds every later request that starts from this element (and from the elements reached
    /// through it) by `seconds`.
    virtual void setMessagingTimeout(double seconds) = 0;

    /// The deepest element under a point, or nullptr.
    virtual AXElement elementAtPosition(QPointF quartzPoint) = 0;

    virtual std::optional<AXValue> attribute(std::string_view name) = 0;

    /// Several attributes in one request; one entry per name, absent where that one failed.
    virtual std::vector<std::optional<AXValue>> attributes(const std::vector<std::string_view> &names) = 0;

    virtual std::optional<AXValue> parameterizedAttribute(std::string_view name, const AXValue &parameter) = 0;

    /// False when the element does not take the attribute or the request failed.
    virtual bool setAttribute(std::string_view name, const AXValue &value) = 0;

    /// Why the element answers none of its text attributes, when it withholds them on purpose
    /// (offsets it cannot convert with certainty); for the diagnostics of a miss.
    virtual std::optional<QString> textWithheldReason() { return std::nullopt; }
};

/// The window under a point as the window list sees it, for backends whose accessibility layer
/// cannot hit-test across applications by itself.
struct AXWindowUnderPoint
{
    std::int32_t pid = 0;
    std::uint32_t windowID = 0;
};
using AXWindowLocator = std::function<std::optional<AXWindowUnderPoint>(QPointF quartzPoint)>;

class Accessibility
{
public:
    virtual ~Accessibility() = default;

    /// Whether this process may read other applications' accessibility trees.
    virtual bool isProcessTrusted() = 0;

    /// Asks for that trust the platform's way.
    virtual void requestTrust() = 0;

    /// The element that hit-tests across all applications; `locator` tells which window is under
    /// a point. nullptr when the accessibility layer is unavailable.
    virtual AXElement systemWideElement(AXWindowLocator locator) = 0;

    /// The root element of one application. nullptr when the accessibility layer is unavailable.
    virtual AXElement applicationElement(std::int32_t pid) = 0;

    static std::shared_ptr<Accessibility> makeDefault();
    /// Without a display: never trusted, no elements, and asking for trust does nothing.
    static std::shared_ptr<Accessibility> makeUnavailable();
};

} // namespace Lumivox::Native
