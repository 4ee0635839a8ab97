#include "Services/Detection/AccessibilityTextService.h"

#include "Native/Accessibility/Accessibility.h"
#include "Native/Geometry/Containment.h"
#include "Native/Services.h"
#include "Services/Detection/OffsetTrust.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Platform/WindowLookup.h"
#include "Shared/Text/TextUtils.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <set>
#include <utility>

namespace Lumivox::AccessibilityTextService {

namespace {

using Native::AccessibilityElement;
using Native::AXElement;
using Native::AXRange;
using Native::AXTextMarker;
using Native::AXTextMarkerRange;
using Native::AXValue;

constexpr double messagingTimeout = 0.15;

// A child walk visits at most this many children of one element before giving up on it: the bounds
// of every child are one request each, and a list with thousands of rows would otherwise hold the
// worker for seconds.
constexpr int maxChildrenScanned = 128;

// A child walk goes as deep as the tree under the point goes (a tabbed editor keeps its text view
// fourteen levels below the application) until this much time has passed; the depth guard only
// protects the stack. A few milliseconds are the rule; the budget leaves room for a loaded machine.
constexpr auto walkTimeBudget = std::chrono::milliseconds(250);
constexpr int walkDepthGuard = 64;
using Clock = std::chrono::steady_clock;

// A run of an element's text: `start` is its offset in the full text, `endsText` whether it reaches
// the full text's end.
struct TextWindow
{
    QString text;
    qint64 start = 0;
    bool endsText = false;
    qint64 end() const { return start + text.size(); }
};

struct LocatedWord
{
    QString word;
    qint64 location = 0;
    qint64 length = 0;
};

const std::set<QString> &nonTextRoles()
{
    static const std::set<QString> roles {
        QStringLiteral("AXScrollArea"),  QStringLiteral("AXScrollBar"),  QStringLiteral("AXSplitter"),
        QStringLiteral("AXSplitGroup"),  QStringLiteral("AXWindow"),     QStringLiteral("AXToolbar"),
        QStringLiteral("AXApplication"), QStringLiteral("AXLayoutArea"), QStringLiteral("AXRuler"),
        QStringLiteral("AXRulerMarker"), QStringLiteral("AXGrowArea"),   QStringLiteral("AXHandle"),
        QStringLiteral("AXDrawer"),      QStringLiteral("AXSheet"),      QStringLiteral("AXHelpTag"),
        QStringLiteral("AXMatte"),       QStringLiteral("AXGroup"),      QStringLiteral("AXMenu"),
        QStringLiteral("AXMenuItem"),    QStringLiteral("AXMenuBar"),    QStringLiteral("AXMenuBarItem"),
    };
    return roles;
}

// A tab group holds its pages' content: a tabbed editor's text view lies below one.
const std::set<QString> &containerRoles()
{
    static const std::set<QString> roles {
        QStringLiteral("AXScrollArea"), QStringLiteral("AXWebArea"),    QStringLiteral("AXGroup"),
        QStringLiteral("AXScrollView"), QStringLiteral("AXLayoutArea"), QStringLiteral("AXList"),
        QStringLiteral("AXUnknown"),    QStringLiteral("AXTabGroup"),
    };
    return roles;
}

bool isMenuRole(const QString &role)
{
    return role == QLatin1String("AXMenu") || role == QLatin1String("AXMenuItem") || role == QLatin1String("AXMenuBar")
        || role == QLatin1String("AXMenuBarItem");
}

template<class T>
std::optional<T> as(const std::optional<AXValue> &value)
{
    if (!value)
        return std::nullopt;
    if (const T *v = std::get_if<T>(&*value))
        return *v;
    return std::nullopt;
}

std::optional<QString> stringAttribute(AccessibilityElement &element, std::string_view name)
{
    return as<QString>(element.attribute(name));
}

QRectF grown(const QRectF &r, double by)
{
    return r.adjusted(-by, -by, by, by);
}

// An empty rectangle stays empty: a word without a box has no place on the screen, and a flipped
// empty one would stand at the screen's edge.
QRectF converted(const QRectF &quartz, std::optional<double> primaryMaxY)
{
    if (quartz.isEmpty())
        return QRectF();
    const double flip = primaryMaxY.value_or(quartz.bottom());
    return QRectF(quartz.left(), flip - quartz.bottom(), quartz.width(), quartz.height());
}

bool hasLetter(QStringView text)
{
    bool found = false;
    Text::forEachScalar(text, [&](char32_t c) { found = found || QChar::isLetter(c); });
    return found;
}

bool hasLineBreak(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029)
            return true;
    }
    return false;
}

// The box an element reports, empty or negative sizes included.
std::optional<QRectF> reportedBounds(AccessibilityElement &element)
{
    const auto values = element.attributes({"AXPosition", "AXSize"});
    if (values.size() != 2)
        return std::nullopt;
    const auto position = as<QPointF>(values[0]);
    const auto size = as<QSizeF>(values[1]);
    if (!position || !size)
        return std::nullopt;
    return QRectF(*position, *size);
}

// The element's box, when it has an area.
std::optional<QRectF> elementBounds(AccessibilityElement &element)
{
    const auto r = reportedBounds(element);
    if (!r || !(r->width() > 0) || !(r->height() > 0))
        return std::nullopt;
    return r;
}

// Characters an application keeps in its text but does not draw: the zero-width no-break space
// some leave after emoji, soft hyphens, zero-width spaces and the invisible operators, and the
// object replacement character standing for an embedded object. Joiners and direction marks stay:
// they change how the text around them is shown.
bool isUnshown(char16_t c)
{
    switch (c) {
    case 0x00AD:
    case 0x180E:
    case 0x200B:
    case 0x2060:
    case 0x2061:
    case 0x2062:
    case 0x2063:
    case 0x2064:
    case 0xFEFF:
    case 0xFFF9:
    case 0xFFFA:
    case 0xFFFB:
    case 0xFFFC:
        return true;
    default:
        return false;
    }
}

// The text of the object embedded at an index of some text (where the text keeps an object
// replacement character), when it can be read.
using EmbeddedText = std::function<std::optional<QString>(qint64 index)>;

// The text as shown: without the characters above, except that an object replacement character
// gives way to the embedded object's text where `embedded` reads it (a paragraph's link). `location`
// (a UTF-16 offset in `text`, may be null) follows what is removed or put in before it.
QString shown(QStringView text, qsizetype *location = nullptr, const EmbeddedText &embedded = {})
{
    QString out;
    out.reserve(text.size());
    qsizetype shift = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool before = location && i < *location;
        if (text[i].unicode() == 0xFFFC && embedded) {
            if (const auto inner = embedded(i)) {
                const QString inserted = Text::trimmed(shown(*inner));
                out += inserted;
                if (before)
                    shift += inserted.size() - 1;
                continue;
            }
        }
        if (!isUnshown(text[i].unicode()))
            out.append(text[i]);
        else if (before)
            --shift;
    }
    if (location)
        *location += shift;
    return out;
}

// What `element` embeds at a UTF-16 index of its text.
std::optional<QString> embeddedText(AccessibilityElement &element, qint64 index)
{
    return as<QString>(element.parameterizedAttribute("AXEmbeddedTextForIndex", index));
}

std::optional<QString> snippet(AccessibilityElement &element)
{
    for (const char *name : {"AXValue", "AXTitle"}) {
        if (const auto value = stringAttribute(element, name)) {
            const QString text = Text::trimmed(*value);
            if (!text.isEmpty())
                return Text::graphemePrefix(text, 48);
        }
    }
    return std::nullopt;
}

std::optional<TextWindow> textWindow(AccessibilityElement &element, qint64 location, qint64 radius)
{
    if (const auto count = as<qint64>(element.attribute("AXNumberOfCharacters")); count && location < *count) {
        const qint64 start = std::max<qint64>(0, location - radius);
        const qint64 end = std::min(location + radius, *count);
        const auto text = as<QString>(element.parameterizedAttribute("AXStringForRange", AXRange {start, end - start}));
        if (text && !text->isEmpty())
            return TextWindow {*text, start, location + radius >= *count};
    }
    if (const auto value = stringAttribute(element, "AXValue"); value && !value->isEmpty())
        return TextWindow {*value, 0, true};
    return std::nullopt;
}

std::optional<TextWindow> sentenceWindow(qint64 location, qint64 radius, const TextWindow &window)
{
    const qint64 start = std::max<qint64>(0, location - radius);
    const qint64 end = location + radius;
    if (start < window.start)
        return std::nullopt;
    if (!(window.end() >= end || window.endsText))
        return std::nullopt;
    const qint64 stop = std::min(window.end(), end);
    if (stop < start)
        return std::nullopt;
    return TextWindow {window.text.mid(start - window.start, stop - start), start,
                       window.endsText && end >= window.end()};
}

// Context for a word found in `source` at `location` (relative to the source): the cut sentence
// with the word's offset, else the source itself when the word does not fit it, else nothing. Word
// and sentence are made to read as shown, the offset following them; `embedded` reads the objects
// embedded in the source (indexes relative to the source).
void chooseContext(HitResult &hit, const TextWindow &source, qint64 location, qint64 length,
                   const EmbeddedText &embedded = {})
{
    hit.word = shown(hit.word);
    if (const auto slice = sentenceSlice(source.text, location, length, source.start == 0, source.endsText)) {
        // Only the sentence's own embedded objects are read: each costs requests.
        const qint64 sliceStart = location - slice->wordOffset;
        EmbeddedText inSlice;
        if (embedded)
            inSlice = [&](qint64 i) { return embedded(sliceStart + i); };
        qsizetype offset = slice->wordOffset;
        hit.fullText = shown(slice->text, &offset, inSlice);
        hit.wordOffset = offset;
        return;
    }
    const bool fits = location >= 0 && location + length <= source.text.size();
    hit.fullText = fits ? QString() : shown(source.text, nullptr, embedded);
    hit.wordOffset = std::nullopt;
}

// A word's context read from an element's text (`source` is a window of it).
struct Context
{
    TextWindow source;
    qint64 location = 0;
    EmbeddedText embedded;
};

// An inline element (a bold run or a link inside a paragraph) holds only part of its sentence: the
// sentence comes from the text block around it, with the element's whole text (`own`) in the place
// the block keeps for it. Inline elements nest (a bold run in a link, in an italic one), so the
// walk goes up until it reaches an element that is no inline part of its parent's text: the block.
// Gives the joined window and the word's location in it.
std::optional<Context> inEnclosingText(AccessibilityElement &element, const TextWindow &own, qint64 location)
{
    constexpr int deepest = 8;
    std::optional<Context> out;
    AccessibilityElement *inner = &element;
    AXElement holder; // keeps the inner element alive once the walk has left the first
    TextWindow text = own;
    qint64 at = location;
    EmbeddedText innerEmbedded = [&element](qint64 i) { return embeddedText(element, i); };
    for (int depth = 0; depth < deepest; ++depth) {
        // Only an element's whole text can stand in its parent's place for it.
        if (text.start != 0 || !text.endsText)
            break;
        const auto range = as<AXRange>(inner->attribute("AXRangeInParent"));
        if (!range || range->location < 0 || range->length < 0)
            break;
        const auto parent = as<AXElement>(inner->attribute("AXParent"));
        if (!parent || !*parent)
            break;
        // A block (a paragraph) is the text around its inline elements, never one of them.
        if (depth == 0 && as<bool>(element.attribute("AXInline")) == false)
            break;
        const auto around = textWindow(**parent, range->location, 240);
        if (!around)
            break;
        const qint64 place = range->location - around->start;
        if (place < 0 || place + range->length > around->text.size())
            break;
        TextWindow joined {around->text.left(place) + text.text + around->text.mid(place + range->length),
                           around->start, around->endsText};
        // Indexes of the joined text back to the element that holds them.
        const qint64 innerEnd = place + text.text.size();
        const qint64 shift = range->length - text.text.size();
        EmbeddedText embedded = [block = *parent, inside = std::move(innerEmbedded), place, innerEnd, shift,
                                 start = around->start](qint64 i) {
            if (i < place)
                return embeddedText(*block, start + i);
            if (i < innerEnd)
                return inside(i - place);
            return embeddedText(*block, start + i + shift);
        };
        out = Context {joined, place + at, embedded};
        if (as<bool>((*parent)->attribute("AXInline")) != true)
            break;
        holder = *parent;
        inner = holder.get();
        text = std::move(joined);
        at = out->location;
        innerEmbedded = std::move(embedded);
    }
    return out;
}

std::optional<LocatedWord> wordAtFraction(QStringView text, double fraction)
{
    const QString trimmedText = Text::trimmed(text);
    if (trimmedText.isEmpty())
        return std::nullopt;
    std::vector<Text::Segment> candidates;
    for (const Text::Segment &segment : Text::words(trimmedText)) {
        if (hasLetter(QStringView(trimmedText).mid(segment.start, segment.length)))
            candidates.push_back(segment);
    }
    if (candidates.empty())
        return std::nullopt;
    if (std::isnan(fraction))
        fraction = 0;
    const qint64 target =
        qint64(std::floor(std::clamp(fraction, 0.0, 1.0) * double(std::max<qint64>(trimmedText.size() - 1, 0))));
    const Text::Segment *best = &candidates.front();
    if (candidates.size() > 1) {
        auto distance = [&](const Text::Segment &s) -> qint64 {
            if (target >= s.start && target < s.end())
                return 0;
            return target < s.start ? s.start - target : target - (s.end() - 1);
        };
        qint64 bestDistance = distance(*best);
        for (const Text::Segment &segment : candidates) {
            const qint64 d = distance(segment);
            if (d < bestDistance) {
                best = &segment;
                bestDistance = d;
            }
        }
    }
    return LocatedWord {trimmedText.mid(best->start, best->length), best->start, best->length};
}

QRectF wordRect(const QRectF &rect, qint64 location, qint64 length, qint64 textLength)
{
    if (textLength <= 0 || rect.width() <= 0)
        return rect;
    const double from = double(location) / double(textLength);
    const double to = double(location + length) / double(textLength);
    return QRectF(rect.left() + from * rect.width(), rect.top(), std::max((to - from) * rect.width(), 8.0),
                  rect.height());
}

// Why an element's offsets were not believed, for the diagnostics of a miss; the first doubt stands.
using Doubt = std::optional<QString>;

void doubt(Doubt &out, const QString &why)
{
    if (!out)
        out = why;
}

// `onNoWord`, where given, is set when the element's offset under the point is believed (its
// character's box holds the point) and lies on no word: the pointer is between words by the
// element's own account, and any estimate of a word there would be a guess against it.
std::optional<HitResult> extractFromParameterizedText(AccessibilityElement &element, QPointF at,
                                                      std::optional<double> primaryMaxY, Doubt &doubts,
                                                      bool *onNoWord = nullptr)
{
    const auto range = as<AXRange>(element.parameterizedAttribute("AXRangeForPosition", at));
    if (!range)
        return std::nullopt;
    const qint64 index = range->location;
    const auto bounds = elementBounds(element);
    // The first character or two far into a text is what a provider that cannot tell says
    // everywhere, unless that character's own box is where the pointer is (a short run of a
    // paragraph's text).
    if (OffsetTrust::isDefaultIndexFarIn(bounds, index, at)) {
        const auto box = as<QRectF>(element.parameterizedAttribute("AXBoundsForRange", AXRange {index, 1}));
        if (!box || !Native::containsHalfOpen(*box, at)) {
            doubt(doubts, OffsetTrust::defaultIndexDoubt());
            return std::nullopt;
        }
    }
    if (index < 0)
        return std::nullopt;

    const auto window = textWindow(element, index, 320);
    if (!window)
        return std::nullopt;
    const qint64 i = index - window->start;
    if (i < 0 || i >= window->text.size())
        return std::nullopt;

    const qint64 from = std::max<qint64>(0, i - 80);
    const qint64 to = std::min<qint64>(i + 81, window->text.size());
    std::optional<Text::Segment> found;
    Text::enumerateWords(QStringView(window->text).mid(from, to - from), [&](const Text::Segment &s) {
        if (Text::isWordLike(s) && i >= from + s.start && i < from + s.end()) {
            found = Text::Segment {from + s.start, s.length, s.ruleStatus};
            return false;
        }
        return true;
    });
    if (!found) {
        if (onNoWord) {
            const auto box = as<QRectF>(element.parameterizedAttribute("AXBoundsForRange", AXRange {index, 1}));
            *onNoWord = box && Native::containsHalfOpen(*box, at);
        }
        return std::nullopt;
    }
    const QString word = window->text.mid(found->start, found->length);
    if (Text::graphemeCount(word) < 2)
        return std::nullopt;

    // The offset alone never names the word: the box of its characters must hold the pointer, or,
    // where the provider draws no boxes, the offset must change when asked far away.
    const qint64 wordLocation = window->start + found->start;
    QRectF wordBounds;
    const auto answered =
        as<QRectF>(element.parameterizedAttribute("AXBoundsForRange", AXRange {wordLocation, found->length}));
    switch (OffsetTrust::judgeBox(answered, at)) {
    case OffsetTrust::BoxVerdict::holdsPoint:
        wordBounds = *answered;
        break;
    case OffsetTrust::BoxVerdict::elsewhere:
        return std::nullopt;
    case OffsetTrust::BoxVerdict::flat:
        doubt(doubts, OffsetTrust::flatBoxesDoubt());
        return std::nullopt;
    case OffsetTrust::BoxVerdict::none:
        if (!bounds)
            return std::nullopt;
        if (const auto probe = OffsetTrust::probePoint(*bounds, at)) {
            const auto there = as<AXRange>(element.parameterizedAttribute("AXRangeForPosition", *probe));
            if (!there || there->location == index) {
                doubt(doubts, OffsetTrust::oneOffsetDoubt());
                return std::nullopt;
            }
        }
        // A small element is as good as the word's box; a larger one leaves the word without one.
        if (bounds->width() <= 120 && bounds->height() <= 40)
            wordBounds = *bounds;
        break;
    }

    std::optional<TextWindow> source = sentenceWindow(wordLocation, 240, *window);
    if (!source)
        source = textWindow(element, wordLocation, 240);
    if (!source)
        source = window;

    HitResult hit {word, {}, converted(wordBounds, primaryMaxY), std::nullopt};
    auto context = inEnclosingText(element, *source, wordLocation - source->start);
    if (!context) {
        context = Context {*source, wordLocation - source->start,
                           [&element, start = source->start](qint64 i) { return embeddedText(element, start + i); }};
    }
    chooseContext(hit, context->source, context->location, found->length, context->embedded);
    return hit;
}

// The UTF-16 range in `raw` of a range of the text it reads as (`Text::trimmed(shown(raw))`).
AXRange rawRange(const QString &raw, qint64 location, qint64 length)
{
    std::vector<qint64> kept;
    kept.reserve(std::size_t(raw.size()));
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (!isUnshown(raw[i].unicode()))
            kept.push_back(i);
    }
    const QString visible = shown(raw);
    const qint64 lead = std::max<qint64>(visible.indexOf(Text::trimmed(visible)), 0);
    const auto at = [&](qint64 k) { return kept[std::size_t(std::clamp<qint64>(k, 0, qint64(kept.size()) - 1))]; };
    if (kept.empty() || length < 1)
        return AXRange {location, length};
    const qint64 start = at(lead + location);
    return AXRange {start, at(lead + location + length - 1) + 1 - start};
}

std::optional<HitResult> extractFromStandardAttribute(AccessibilityElement &element, QPointF at,
                                                      std::optional<double> primaryMaxY, Doubt &doubts)
{
    if (const auto role = stringAttribute(element, "AXRole"); role && nonTextRoles().contains(*role))
        return std::nullopt;
    const auto bounds = elementBounds(element);
    if (!bounds || !Native::containsHalfOpen(*bounds, at) || bounds->width() > 1000 || bounds->height() > 200)
        return std::nullopt;

    QString text;
    // The element's own text, when the word was taken from it (not from its title).
    std::optional<QString> ownText;
    for (const char *name : {"AXValue", "AXTitle"}) {
        if (const auto value = stringAttribute(element, name)) {
            text = Text::trimmed(shown(*value));
            if (!text.isEmpty()) {
                if (name == std::string_view("AXValue"))
                    ownText = *value;
                break;
            }
        }
    }
    if (text.isEmpty())
        return std::nullopt;

    if (const auto word = extractSingleWord(text))
        return HitResult {*word, text, converted(*bounds, primaryMaxY), std::nullopt};

    // A one-line element: the word under the pointer is estimated from how far across it the
    // pointer is.
    if (bounds->height() <= 48 && bounds->width() > 0 && !hasLineBreak(text)) {
        const double fraction = (at.x() - bounds->left()) / bounds->width();
        const auto located = wordAtFraction(text, fraction);
        if (!located)
            return std::nullopt;
        QRectF rect = wordRect(*bounds, located->location, located->length, text.size());
        // An element that draws its text can say where the estimated word is; a wrapped one puts it
        // on another row than the pointer's, and then the estimate is no reading at all.
        if (ownText && element.attribute("AXNumberOfCharacters")) {
            const auto box = as<QRectF>(element.parameterizedAttribute(
                "AXBoundsForRange", rawRange(*ownText, located->location, located->length)));
            switch (OffsetTrust::judgeBox(box, at)) {
            case OffsetTrust::BoxVerdict::holdsPoint:
                rect = *box;
                break;
            case OffsetTrust::BoxVerdict::elsewhere:
                return std::nullopt;
            case OffsetTrust::BoxVerdict::flat:
                doubt(doubts, OffsetTrust::flatBoxesDoubt());
                return std::nullopt;
            case OffsetTrust::BoxVerdict::none:
                break;
            }
        }
        return HitResult {located->word, text, converted(rect, primaryMaxY), located->location};
    }
    return std::nullopt;
}

// One walk of an element's children under the point; its time budget runs from its start.
struct ChildWalk
{
    QPointF at;
    std::optional<double> primaryMaxY;
    const std::stop_token &stop;
    Doubt &doubts;
    Clock::time_point deadline = Clock::now() + walkTimeBudget;

    bool over() const { return stop.stop_requested() || Clock::now() >= deadline; }

    // `budget` counts the children one level visits; what a child's own walk spends is not taken
    // back from it. Children that report no area (a notebook page with hidden tabs says -1 x -1)
    // are passed through: their own children are looked at, they are not read.
    std::optional<HitResult> wordInChildren(AccessibilityElement &element, int depth, int budget) const
    {
        if (depth >= walkDepthGuard || budget < 1 || over())
            return std::nullopt;
        const auto children = as<std::vector<AXElement>>(element.attribute("AXChildren"));
        if (!children || children->empty())
            return std::nullopt;

        int remaining = budget;
        int taken = 0;
        int scanned = 0;
        for (const AXElement &child : *children) {
            if (taken == 8 || scanned == maxChildrenScanned)
                break;
            ++scanned;
            if (over())
                return std::nullopt;
            if (!child)
                continue;
            const auto bounds = reportedBounds(*child);
            if (!bounds)
                continue;
            const bool unplaced = !(bounds->width() > 0) || !(bounds->height() > 0);
            if (!unplaced && !Native::containsHalfOpen(grown(*bounds, 2), at))
                continue;
            ++taken;
            if (--remaining < 0 || over())
                return std::nullopt;
            if (!unplaced) {
                if (auto hit = extractFromParameterizedText(*child, at, primaryMaxY, doubts))
                    return hit;
                if (auto hit = extractFromStandardAttribute(*child, at, primaryMaxY, doubts))
                    return hit;
            }
            if (auto hit = wordInChildren(*child, depth + 1, remaining))
                return hit;
        }
        return std::nullopt;
    }
};

std::optional<HitResult> extractFromTextMarkers(AccessibilityElement &element, QPointF at,
                                                std::optional<double> primaryMaxY, const std::stop_token &stop,
                                                Doubt &doubts)
{
    const auto marker = as<AXTextMarker>(element.parameterizedAttribute("AXTextMarkerForPosition", at));
    if (!marker)
        return std::nullopt;

    std::optional<AXTextMarkerRange> wordRange;
    QString word;
    QRectF wordBounds;
    for (const char *name : {"AXRightWordTextMarkerRangeForTextMarker", "AXLeftWordTextMarkerRangeForTextMarker"}) {
        if (stop.stop_requested())
            break;
        const auto range = as<AXTextMarkerRange>(element.parameterizedAttribute(name, *marker));
        if (!range)
            continue;
        const auto text = as<QString>(element.parameterizedAttribute("AXStringForTextMarkerRange", *range));
        if (!text)
            continue;
        const auto single = extractSingleWord(*text);
        if (!single || *single != *text)
            continue;
        // Markers come from the same offsets: the word's box must hold the pointer.
        const auto bounds = as<QRectF>(element.parameterizedAttribute("AXBoundsForTextMarkerRange", *range));
        const OffsetTrust::BoxVerdict verdict = OffsetTrust::judgeBox(bounds, at);
        if (verdict == OffsetTrust::BoxVerdict::flat)
            doubt(doubts, OffsetTrust::flatBoxesDoubt());
        if (verdict != OffsetTrust::BoxVerdict::holdsPoint)
            continue;
        wordRange = range;
        word = *text;
        wordBounds = *bounds;
        break;
    }
    if (!wordRange)
        return std::nullopt;

    HitResult hit {shown(word), shown(word), converted(wordBounds, primaryMaxY), std::nullopt};
    if (stop.stop_requested())
        return hit;

    const auto sentenceRange =
        as<AXTextMarkerRange>(element.parameterizedAttribute("AXSentenceTextMarkerRangeForTextMarker", *marker));
    if (!sentenceRange)
        return hit;
    const auto sentence = as<QString>(element.parameterizedAttribute("AXStringForTextMarkerRange", *sentenceRange));
    if (!sentence)
        return hit;
    const auto lead = as<AXTextMarkerRange>(
        element.parameterizedAttribute("AXTextMarkerRangeForUnorderedTextMarkers",
                                       std::vector<AXTextMarker> {sentenceRange->start, wordRange->start}));
    if (!lead)
        return hit;
    const auto offset = as<qint64>(element.parameterizedAttribute("AXLengthForTextMarkerRange", *lead));
    if (!offset)
        return hit;

    const TextWindow whole {*sentence, 0, true};
    const TextWindow window = sentenceWindow(*offset, 240, whole).value_or(whole);
    const qint64 location = *offset - window.start;
    if (location < 0 || location + word.size() > window.text.size()
        || QStringView(window.text).mid(location, word.size()) != word)
        return hit;
    hit.word = word;
    chooseContext(hit, window, location, word.size());
    return hit;
}

AXElement systemWideElement(Native::Accessibility &accessibility)
{
    return accessibility.systemWideElement([](QPointF point) -> std::optional<Native::AXWindowUnderPoint> {
        const auto window = WindowLookup::window(point);
        if (!window)
            return std::nullopt;
        return Native::AXWindowUnderPoint {window->pid, window->windowID};
    });
}

// The platform takes positions as 32-bit floats.
QPointF asFloats(QPointF p)
{
    return QPointF(double(float(p.x())), double(float(p.y())));
}

bool isFinite(QPointF p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

} // namespace

bool isTrusted()
{
    return Native::service<Native::Accessibility>()->isProcessTrusted();
}

void requestAccess()
{
    Native::service<Native::Accessibility>()->requestTrust();
}

bool isContainerRole(const std::optional<QString> &role)
{
    return role && containerRoles().contains(*role);
}

std::optional<QString> extractSingleWord(QStringView text)
{
    const QString trimmedText = Text::trimmed(text);
    if (trimmedText.isEmpty())
        return std::nullopt;
    std::vector<Text::Segment> found;
    Text::enumerateWords(trimmedText, [&](const Text::Segment &s) {
        if (Text::isWordLike(s))
            found.push_back(s);
        return found.size() < 2;
    });
    if (found.size() != 1)
        return std::nullopt;
    const QString word = trimmedText.mid(found.front().start, found.front().length);
    if (Text::graphemeCount(word) < 2 || !hasLetter(word))
        return std::nullopt;
    return word;
}

LookupResult lookupWord(QPointF at, std::optional<double> primaryMaxY, std::stop_token stop)
{
    const auto accessibility = Native::service<Native::Accessibility>();
    if (!accessibility->isProcessTrusted() || !isFinite(at))
        return LookupResult::miss();
    const AXElement systemWide = systemWideElement(*accessibility);
    if (!systemWide)
        return LookupResult::miss();
    systemWide->setMessagingTimeout(messagingTimeout);
    const AXElement element = systemWide->elementAtPosition(asFloats(at));
    if (!element)
        return LookupResult::miss();

    const std::optional<std::int32_t> pid = element->pid();
    if (pid && *pid == AppIdentity::currentProcessID())
        return LookupResult::ownProcess();
    const std::optional<QString> role = stringAttribute(*element, "AXRole");
    if (role && isMenuRole(*role))
        return LookupResult::suppressed();

    auto cancelled = [&] { return stop.stop_requested(); };
    Doubt doubts;
    if (cancelled())
        return LookupResult::miss(pid, role);
    bool onNoWord = false;
    if (auto hit = extractFromParameterizedText(*element, at, primaryMaxY, doubts, &onNoWord))
        return LookupResult::hit(std::move(*hit));
    // A browser that counts a run's offsets one off after a line break (Chromium does, where the
    // run starts with the space the break swallowed) answers a space for a word's first letter:
    // every estimate from the same element would name the word before it.
    if (onNoWord)
        return LookupResult::miss(pid, role, snippet(*element), doubts);
    if (cancelled())
        return LookupResult::miss(pid, role);
    if (auto hit = extractFromStandardAttribute(*element, at, primaryMaxY, doubts))
        return LookupResult::hit(std::move(*hit));
    if (cancelled())
        return LookupResult::miss(pid, role);
    if (isContainerRole(role)) {
        if (auto hit = ChildWalk {at, primaryMaxY, stop, doubts}.wordInChildren(*element, 0, 16))
            return LookupResult::hit(std::move(*hit));
        if (cancelled())
            return LookupResult::miss(pid, role);
    }
    if (auto hit = extractFromTextMarkers(*element, at, primaryMaxY, stop, doubts))
        return LookupResult::hit(std::move(*hit));
    if (cancelled())
        return LookupResult::miss(pid, role);
    // A browser's hit test can end on a run of a paragraph's text whose box spans two rows, over a
    // point that is not its own: the paragraph itself knows the character there.
    if (const auto parent = as<AXElement>(element->attribute("AXParent")); parent && *parent) {
        if (auto hit = extractFromParameterizedText(**parent, at, primaryMaxY, doubts))
            return LookupResult::hit(std::move(*hit));
        if (cancelled())
            return LookupResult::miss(pid, role);
    }
    if (!doubts)
        doubts = element->textWithheldReason();
    return LookupResult::miss(pid, role, snippet(*element), doubts);
}

LookupResult lookupWordInProcess(std::int32_t pid, QPointF at, std::optional<double> primaryMaxY, bool hitTestAgain,
                                 std::stop_token stop)
{
    if (!isFinite(at))
        return LookupResult::miss(pid);
    const auto accessibility = Native::service<Native::Accessibility>();
    Doubt doubts;
    if (const AXElement application = accessibility->applicationElement(pid)) {
        application->setMessagingTimeout(messagingTimeout);
        if (auto hit = ChildWalk {at, primaryMaxY, stop, doubts}.wordInChildren(*application, 0, 24))
            return LookupResult::hit(std::move(*hit));
    }
    if (!hitTestAgain || stop.stop_requested())
        return LookupResult::miss(pid, std::nullopt, std::nullopt, doubts);
    return lookupWord(at, primaryMaxY, stop);
}

void requestWebAccessibility(std::int32_t pid)
{
    const AXElement application = Native::service<Native::Accessibility>()->applicationElement(pid);
    if (!application)
        return;
    application->setMessagingTimeout(messagingTimeout);
    application->setAttribute("AXManualAccessibility", true);
    application->setAttribute("AXEnhancedUserInterface", true);
    (void)application->attribute("AXChildren");
}

std::optional<QString> windowTitle(QPointF at)
{
    const auto accessibility = Native::service<Native::Accessibility>();
    if (!accessibility->isProcessTrusted() || !isFinite(at))
        return std::nullopt;
    const AXElement systemWide = systemWideElement(*accessibility);
    if (!systemWide)
        return std::nullopt;
    systemWide->setMessagingTimeout(messagingTimeout);
    const AXElement element = systemWide->elementAtPosition(asFloats(at));
    if (!element)
        return std::nullopt;
    if (const auto pid = element->pid(); pid && *pid == AppIdentity::currentProcessID())
        return std::nullopt;
    const auto window = as<AXElement>(element->attribute("AXWindow"));
    if (!window || !*window)
        return std::nullopt;
    const auto title = stringAttribute(**window, "AXTitle");
    if (!title)
        return std::nullopt;
    const QString cleaned = Text::trimmed(*title);
    if (cleaned.isEmpty())
        return std::nullopt;
    const QString lower = Text::lowercased(cleaned);
    if (lower.contains(QLatin1String("://")) || lower.startsWith(QLatin1String("www.")))
        return std::nullopt;
    return Text::graphemePrefix(cleaned, 120);
}

} // namespace Lumivox::AccessibilityTextService
