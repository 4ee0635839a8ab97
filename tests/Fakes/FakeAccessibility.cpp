#include "Fakes/FakeAccessibility.h"

#include "Shared/Text/TextUtils.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace Lumivox::Testing {

using Native::AXElement;
using Native::AXRange;
using Native::AXTextMarker;
using Native::AXTextMarkerRange;
using Native::AXValue;

namespace {

// Fixed-width layout of a text in lines split at '\n'.
struct Layout
{
    QString text;
    QPointF origin;
    double charWidth = 8;
    double lineHeight = 16;

    QRectF charRect(qint64 index) const
    {
        qint64 line = 0;
        qint64 lineStart = 0;
        for (qint64 i = 0; i < index && i < text.size(); ++i) {
            if (text[i] == QLatin1Char('\n')) {
                ++line;
                lineStart = i + 1;
            }
        }
        return QRectF(origin.x() + double(index - lineStart) * charWidth, origin.y() + double(line) * lineHeight,
                      charWidth, lineHeight);
    }

    QRectF rangeRect(qint64 start, qint64 end) const
    {
        QRectF r;
        for (qint64 i = start; i < end; ++i)
            r = r.isNull() ? charRect(i) : r.united(charRect(i));
        return r;
    }

    qint64 indexAt(QPointF p) const
    {
        const qint64 line = qint64(std::floor((p.y() - origin.y()) / lineHeight));
        const qint64 column = qint64(std::floor((p.x() - origin.x()) / charWidth));
        if (line < 0 || column < 0)
            return -1;
        const QStringList lines = text.split(QLatin1Char('\n'));
        if (line >= lines.size())
            return -1;
        qint64 start = 0;
        for (qint64 k = 0; k < line; ++k)
            start += lines[k].size() + 1;
        return start + std::min<qint64>(column, lines[line].size());
    }

    QRectF bounds() const
    {
        const QStringList lines = text.split(QLatin1Char('\n'));
        qint64 longest = 0;
        for (const QString &l : lines)
            longest = std::max<qint64>(longest, l.size());
        return QRectF(origin, QSizeF(double(longest) * charWidth, double(lines.size()) * lineHeight));
    }

    std::optional<std::pair<qint64, qint64>> segmentAt(qint64 index, bool sentences) const
    {
        const auto segments = sentences ? Text::sentences(text) : Text::words(text);
        for (const Text::Segment &s : segments) {
            if (index >= s.start && index < s.end())
                return std::make_pair(s.start, s.end());
        }
        return std::nullopt;
    }
};

template<class T>
const T *get(const AXValue &v)
{
    return std::get_if<T>(&v);
}

} // namespace

FakeElement &FakeElement::role(const QString &role)
{
    values["AXRole"] = role;
    return *this;
}

FakeElement &FakeElement::title(const QString &title)
{
    values["AXTitle"] = title;
    return *this;
}

FakeElement &FakeElement::value(const QString &value)
{
    values["AXValue"] = value;
    return *this;
}

FakeElement &FakeElement::bounds(const QRectF &r)
{
    values["AXPosition"] = r.topLeft();
    values["AXSize"] = r.size();
    return *this;
}

FakeElement &FakeElement::pid(std::int32_t pid)
{
    processID = pid;
    return *this;
}

FakeElement &FakeElement::children(const std::vector<std::shared_ptr<FakeElement>> &children)
{
    values["AXChildren"] = std::vector<AXElement>(children.begin(), children.end());
    return *this;
}

FakeElement &FakeElement::text(const QString &text, QPointF origin, double charWidth, double lineHeight)
{
    const auto layout = std::make_shared<Layout>(Layout {text, origin, charWidth, lineHeight});
    values["AXNumberOfCharacters"] = qint64(text.size());
    if (!values.contains("AXValue"))
        values["AXValue"] = text;
    if (!values.contains("AXPosition"))
        bounds(layout->bounds());
    parameterized["AXRangeForPosition"] = [layout](const AXValue &p) -> std::optional<AXValue> {
        const auto *point = get<QPointF>(p);
        if (!point)
            return std::nullopt;
        return AXRange {layout->indexAt(*point), 1};
    };
    parameterized["AXStringForRange"] = [layout](const AXValue &p) -> std::optional<AXValue> {
        const auto *range = get<AXRange>(p);
        if (!range || range->location < 0 || range->length < 0 || range->location > layout->text.size())
            return std::nullopt;
        return layout->text.mid(range->location, range->length);
    };
    parameterized["AXBoundsForRange"] = [layout](const AXValue &p) -> std::optional<AXValue> {
        const auto *range = get<AXRange>(p);
        if (!range || range->location < 0 || range->location + range->length > layout->text.size())
            return std::nullopt;
        return layout->rangeRect(range->location, range->location + range->length);
    };
    return *this;
}

FakeElement &FakeElement::markerText(const QString &text, QPointF origin, double charWidth, double lineHeight)
{
    const auto layout = std::make_shared<Layout>(Layout {text, origin, charWidth, lineHeight});
    if (!values.contains("AXPosition"))
        bounds(layout->bounds());
    const std::shared_ptr<const void> anchor = layout;
    auto marker = [anchor](qint64 position) { return AXTextMarker {anchor, position}; };
    auto range = [marker](std::pair<qint64, qint64> r) {
        return AXTextMarkerRange {marker(r.first), marker(r.second)};
    };

    parameterized["AXTextMarkerForPosition"] = [layout, marker](const AXValue &p) -> std::optional<AXValue> {
        const auto *point = get<QPointF>(p);
        if (!point)
            return std::nullopt;
        const qint64 index = layout->indexAt(*point);
        if (index < 0)
            return std::nullopt;
        return marker(index);
    };
    parameterized["AXRightWordTextMarkerRangeForTextMarker"] = [layout,
                                                                range](const AXValue &p) -> std::optional<AXValue> {
        const auto *m = get<AXTextMarker>(p);
        if (!m)
            return std::nullopt;
        const auto word = layout->segmentAt(m->position, false);
        return word ? std::optional<AXValue>(range(*word)) : std::nullopt;
    };
    parameterized["AXLeftWordTextMarkerRangeForTextMarker"] = [layout,
                                                               range](const AXValue &p) -> std::optional<AXValue> {
        const auto *m = get<AXTextMarker>(p);
        if (!m || m->position < 1)
            return std::nullopt;
        const auto word = layout->segmentAt(m->position - 1, false);
        return word ? std::optional<AXValue>(range(*word)) : std::nullopt;
    };
    parameterized["AXSentenceTextMarkerRangeForTextMarker"] = [layout,
                                                               range](const AXValue &p) -> std::optional<AXValue> {
        const auto *m = get<AXTextMarker>(p);
        if (!m)
            return std::nullopt;
        const auto sentence = layout->segmentAt(m->position, true);
        return sentence ? std::optional<AXValue>(range(*sentence)) : std::nullopt;
    };
    parameterized["AXStringForTextMarkerRange"] = [layout](const AXValue &p) -> std::optional<AXValue> {
        const auto *r = get<AXTextMarkerRange>(p);
        if (!r)
            return std::nullopt;
        return layout->text.mid(r->start.position, r->end.position - r->start.position);
    };
    parameterized["AXBoundsForTextMarkerRange"] = [layout](const AXValue &p) -> std::optional<AXValue> {
        const auto *r = get<AXTextMarkerRange>(p);
        if (!r)
            return std::nullopt;
        return layout->rangeRect(r->start.position, r->end.position);
    };
    parameterized["AXTextMarkerRangeForUnorderedTextMarkers"] = [](const AXValue &p) -> std::optional<AXValue> {
        const auto *markers = get<std::vector<AXTextMarker>>(p);
        if (!markers || markers->size() != 2)
            return std::nullopt;
        const auto [a, b] = std::minmax((*markers)[0].position, (*markers)[1].position);
        return AXTextMarkerRange {AXTextMarker {(*markers)[0].anchor, a}, AXTextMarker {(*markers)[0].anchor, b}};
    };
    parameterized["AXLengthForTextMarkerRange"] = [](const AXValue &p) -> std::optional<AXValue> {
        const auto *r = get<AXTextMarkerRange>(p);
        if (!r)
            return std::nullopt;
        return qint64(r->end.position - r->start.position);
    };
    return *this;
}

bool FakeElement::wasRequested(std::string_view name) const
{
    return std::find(requests.begin(), requests.end(), name) != requests.end();
}

bool FakeElement::request(std::string_view name)
{
    requests.emplace_back(name);
    if (requestsBeforeGone == 0)
        gone = true;
    if (requestsBeforeGone > 0)
        --requestsBeforeGone;
    return !gone;
}

std::optional<std::int32_t> FakeElement::pid()
{
    if (!request("pid"))
        return std::nullopt;
    return processID;
}

void FakeElement::setMessagingTimeout(double seconds)
{
    timeout = seconds;
}

AXElement FakeElement::elementAtPosition(QPointF quartzPoint)
{
    if (!request("elementAtPosition") || !hitTest)
        return nullptr;
    return hitTest(quartzPoint);
}

std::optional<AXValue> FakeElement::attribute(std::string_view name)
{
    if (!request(name))
        return std::nullopt;
    if (auto it = values.find(name); it != values.end())
        return it->second;
    return std::nullopt;
}

std::vector<std::optional<AXValue>> FakeElement::attributes(const std::vector<std::string_view> &names)
{
    std::vector<std::optional<AXValue>> out;
    for (std::string_view name : names)
        out.push_back(attribute(name));
    return out;
}

std::optional<AXValue> FakeElement::parameterizedAttribute(std::string_view name, const AXValue &parameter)
{
    if (!request(name))
        return std::nullopt;
    if (auto it = parameterized.find(name); it != parameterized.end())
        return it->second(parameter);
    return std::nullopt;
}

bool FakeElement::setAttribute(std::string_view name, const AXValue &value)
{
    if (!request(name))
        return false;
    writes[std::string(name)] = value;
    return true;
}

void FakeAccessibility::elementEverywhere(const std::shared_ptr<FakeElement> &element)
{
    systemWide->hitTest = [element](QPointF) -> AXElement { return element; };
}

AXElement FakeAccessibility::systemWideElement(Native::AXWindowLocator locator)
{
    locatorGiven = bool(locator);
    return systemWide;
}

AXElement FakeAccessibility::applicationElement(std::int32_t pid)
{
    if (auto it = applications.find(pid); it != applications.end())
        return it->second;
    return nullptr;
}

} // namespace Lumivox::Testing
