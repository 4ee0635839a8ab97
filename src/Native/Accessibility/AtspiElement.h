#pragma once

// One AT-SPI element in the shape of the accessibility interface: the system-wide element that
// hit-tests across applications, an application or a deeper element, or a process we may not ask
// (our own, or one without an accessible application).
//
// Coordinates: every element converts through its application's own space (AppCoordinates), told
// from the window the hit test went through, never through our own device pixel ratio.
//
// Hit-testing: AT-SPI cannot tell which application is on top at a point, so the window list says
// which window (and process) is under the pointer; the process's AT-SPI application is found by its
// bus connection's process id, its window by geometry, and the element by descending with
// GetAccessibleAtPoint. Qt puts the text of an editor on the parent of its viewport, so a leaf
// without text whose parent has text stands for that parent. Where the toolkit's own hit test stops
// at an element that only holds others (a notebook page reporting -1 x -1, or the first of two
// full-window containers), the elements under the point around it are searched, within a time
// budget rather than a fixed depth.

#include "Native/Accessibility/Accessibility.h"
#include "Native/Accessibility/AppCoordinates.h"
#include "Native/Accessibility/AtspiRequests.h"
#include "Native/Accessibility/AtspiTextFrame.h"

#include <QPoint>
#include <QRect>

#include <atspi/atspi.h>

namespace Lumivox::Native::Atspi {

class AtspiElement final : public AccessibilityElement, public std::enable_shared_from_this<AtspiElement>
{
public:
    enum class Kind { object, systemWide, processOnly };

    using Coordinates = std::shared_ptr<const AppCoordinates>;

    /// Takes over the reference to `object`.
    static std::shared_ptr<AtspiElement> wrap(AtspiAccessible *object, std::optional<std::int32_t> pid,
                                              Coordinates coordinates);
    /// A child that is read only when first used.
    static std::shared_ptr<AtspiElement> child(std::shared_ptr<AtspiElement> parent, int index);
    static std::shared_ptr<AtspiElement> processOnly(std::int32_t pid);
    static std::shared_ptr<AtspiElement> systemWide(AXWindowLocator locator);
    /// The space last measured on a window of the process, over the current screens (the screen's
    /// pixels where none was). Under the session's lock.
    /// `anchorPixel`: where the lookup reads (root pixels); its screen's points are the boxes' space.
    static Coordinates coordinatesFor(std::optional<std::int32_t> pid,
                                      std::optional<QPointF> anchorPixel = std::nullopt);

    explicit AtspiElement(Kind kind)
        : m_kind(kind)
    { }
    ~AtspiElement() override;

    std::optional<std::int32_t> pid() override;
    void setMessagingTimeout(double seconds) override;
    AXElement elementAtPosition(QPointF quartzPoint) override;
    std::optional<AXValue> attribute(std::string_view name) override;
    std::vector<std::optional<AXValue>> attributes(const std::vector<std::string_view> &names) override;
    std::optional<AXValue> parameterizedAttribute(std::string_view name, const AXValue &parameter) override;

    // Nothing on this platform takes the attributes that ask an application to build its tree
    // ("AXManualAccessibility", "AXEnhancedUserInterface"); reading its children is what wakes it.
    bool setAttribute(std::string_view, const AXValue &) override { return false; }

    std::optional<QString> textWithheldReason() override;

private:
    QPoint appPoint(QPointF point) const { return m_coordinates->fromPoint(point); }
    QRectF points(const QRect &r) const { return m_coordinates->toPoints(r); }

    AtspiAccessible *resolve();
    AXElement hitTestScreen(QPointF point);
    static AtspiAccessible *windowAt(AtspiAccessible *app, QPointF pixel, std::optional<QRect> geometry,
                                     const ScreenLayout &screens, std::optional<AppSpace> previous,
                                     std::optional<AppSpace> *measured);
    static AtspiAccessible *descend(AtspiAccessible *current, QPoint px, bool *moved = nullptr,
                                    AtspiAccessible **entry = nullptr);
    static AtspiAccessible *hitTestLeaf(AtspiAccessible *from, QPoint px);
    // An element without text that only holds others: a toolkit's hit test should not end there.
    static bool isDeadEnd(AtspiAccessible *element);
    class Search;

    bool hasText();
    std::optional<QRectF> bounds();
    std::optional<QString> axRole();
    bool frame(std::optional<qint64> anchor);
    std::optional<QString> valueText();
    std::optional<qint64> offsetUnder(QPoint px);

    std::optional<AXValue> rangeForPosition(QPointF point);
    std::optional<AXValue> stringForRange(const AXRange &range);
    std::optional<AXValue> boundsForRange(const AXRange &range);
    std::optional<AXValue> embeddedText(qint64 location);

    // Text markers hold offsets in the application's own units and the element they belong to.
    AXTextMarker marker(qint64 position) { return AXTextMarker {shared_from_this(), position}; }
    static std::shared_ptr<AtspiElement> anchorOf(const AXTextMarker &marker);
    std::optional<AXValue> markerForPosition(QPointF point);
    std::optional<AXValue> wordRange(qint64 position);
    std::optional<AXValue> sentenceRange(qint64 position);
    std::optional<QString> markedText(qint64 from, qint64 to);
    std::optional<AXValue> markedBounds(qint64 from, qint64 to);

    std::optional<AXValue> children();
    std::shared_ptr<AtspiElement> parentElement();
    std::optional<AXValue> rangeInParent();
    std::optional<AXValue> runRange(AtspiAccessible *run);
    AXElement topLevelWindow();

    Kind m_kind;
    AtspiAccessible *m_object = nullptr;
    std::shared_ptr<AtspiElement> m_parent;
    // The parent as read for "AXParent" and "AXRangeInParent", one object so that both convert the
    // parent's offsets through the same text.
    std::optional<std::shared_ptr<AtspiElement>> m_parentElement;
    int m_index = -1;
    std::optional<std::int32_t> m_pid;
    Coordinates m_coordinates;
    AXWindowLocator m_locator;
    // What this element has read (one lookup's view of it).
    std::optional<std::optional<Interfaces>> m_interfaces;
    std::optional<std::optional<QRectF>> m_bounds;
    std::optional<std::optional<QString>> m_role;
    TextFrame m_frame;
    std::optional<QString> m_withheld;
};

} // namespace Lumivox::Native::Atspi
