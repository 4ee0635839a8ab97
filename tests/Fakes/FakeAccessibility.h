#pragma once

// A scripted accessibility tree for the word-lookup tests. Elements answer the attributes they were
// given; text helpers lay a string out as fixed-width lines so that positions, ranges and bounds
// agree with each other. Every request is recorded by name.

#include "Native/Accessibility/Accessibility.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Lumivox::Testing {

class FakeElement : public Native::AccessibilityElement, public std::enable_shared_from_this<FakeElement>
{
public:
    using Handler = std::function<std::optional<Native::AXValue>(const Native::AXValue &)>;

    static std::shared_ptr<FakeElement> make() { return std::make_shared<FakeElement>(); }

    std::optional<std::int32_t> processID;
    std::map<std::string, Native::AXValue, std::less<>> values;
    std::map<std::string, Handler, std::less<>> parameterized;
    /// The answer to elementAtPosition (nullptr: none).
    std::function<Native::AXElement(QPointF)> hitTest;
    /// A vanished element: every request fails from then on.
    bool gone = false;
    /// Makes the element vanish after this many more requests.
    int requestsBeforeGone = -1;

    std::vector<std::string> requests;
    std::map<std::string, Native::AXValue> writes;
    std::optional<double> timeout;

    FakeElement &role(const QString &role);
    FakeElement &title(const QString &title);
    FakeElement &value(const QString &value);
    FakeElement &bounds(const QRectF &quartzRect);
    FakeElement &pid(std::int32_t pid);
    FakeElement &children(const std::vector<std::shared_ptr<FakeElement>> &children);

    /// Lays `text` out from `origin` in lines split at '\n', each UTF-16 unit `charWidth` wide and
    /// each line `lineHeight` high, and answers the parameterized text attributes over it.
    FakeElement &text(const QString &text, QPointF origin, double charWidth = 8, double lineHeight = 16);
    /// The same layout answered only through text markers, as web content does.
    FakeElement &markerText(const QString &text, QPointF origin, double charWidth = 8, double lineHeight = 16);

    bool wasRequested(std::string_view name) const;

    std::optional<std::int32_t> pid() override;
    void setMessagingTimeout(double seconds) override;
    Native::AXElement elementAtPosition(QPointF quartzPoint) override;
    std::optional<Native::AXValue> attribute(std::string_view name) override;
    std::vector<std::optional<Native::AXValue>> attributes(const std::vector<std::string_view> &names) override;
    std::optional<Native::AXValue> parameterizedAttribute(std::string_view name,
                                                          const Native::AXValue &parameter) override;
    bool setAttribute(std::string_view name, const Native::AXValue &value) override;

private:
    bool request(std::string_view name);
};

class FakeAccessibility : public Native::Accessibility
{
public:
    bool trusted = true;
    int trustRequests = 0;
    bool locatorGiven = false;
    std::shared_ptr<FakeElement> systemWide = FakeElement::make();
    std::map<std::int32_t, std::shared_ptr<FakeElement>> applications;

    /// Makes the system-wide hit test answer `element` for every point.
    void elementEverywhere(const std::shared_ptr<FakeElement> &element);

    bool isProcessTrusted() override { return trusted; }
    void requestTrust() override { ++trustRequests; }
    Native::AXElement systemWideElement(Native::AXWindowLocator locator) override;
    Native::AXElement applicationElement(std::int32_t pid) override;
};

} // namespace Lumivox::Testing
