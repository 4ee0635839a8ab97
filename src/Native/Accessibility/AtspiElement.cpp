#include "Native/Accessibility/AtspiElement.h"

#include "Native/Accessibility/AtspiRoles.h"
#include "Native/Text/Utf16.h"
#include "Native/X11/X11Connection.h"
#include "Native/X11/X11Screen.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <utility>

#include <unistd.h>

#include <X11/Xlib.h>

namespace Lumivox::Native::Atspi {

namespace {

// Texts up to this many code points are read whole and converted exactly.
constexpr int wholeTextLimit = 32768;
// Longer texts are read this far either side of the pointer.
constexpr int frameRadius = 2048;
// The longest text handed out whole as "AXValue".
constexpr int valueLimit = 1 << 20;

// Text ends that AT-SPI word runs carry ("brown ", "pointer. ") but a word does not.
bool isWordPadding(char32_t c)
{
    return QChar::isSpace(c) || QChar::isPunct(c);
}

std::optional<QRect> windowGeometry(std::uint32_t windowID)
{
    Display *display = X11::display();
    if (!display || !windowID)
        return std::nullopt;
    XWindowAttributes attributes {};
    int x = 0;
    int y = 0;
    Window child = 0;
    X11::ErrorTrap trap(display);
    if (!XGetWindowAttributes(display, windowID, &attributes)
        || !XTranslateCoordinates(display, windowID, DefaultRootWindow(display), 0, 0, &x, &y, &child) || trap.failed())
        return std::nullopt;
    return QRect(x, y, attributes.width, attributes.height);
}

} // namespace

std::shared_ptr<AtspiElement> AtspiElement::wrap(AtspiAccessible *object, std::optional<std::int32_t> pid,
                                                 Coordinates coordinates)
{
    auto element = std::make_shared<AtspiElement>(Kind::object);
    element->m_object = object;
    element->m_pid = pid;
    element->m_coordinates = std::move(coordinates);
    return element;
}

std::shared_ptr<AtspiElement> AtspiElement::child(std::shared_ptr<AtspiElement> parent, int index)
{
    auto element = std::make_shared<AtspiElement>(Kind::object);
    element->m_coordinates = parent->m_coordinates;
    element->m_parent = std::move(parent);
    element->m_index = index;
    return element;
}

std::shared_ptr<AtspiElement> AtspiElement::processOnly(std::int32_t pid)
{
    auto element = std::make_shared<AtspiElement>(Kind::processOnly);
    element->m_pid = pid;
    return element;
}

std::shared_ptr<AtspiElement> AtspiElement::systemWide(AXWindowLocator locator)
{
    auto element = std::make_shared<AtspiElement>(Kind::systemWide);
    element->m_locator = std::move(locator);
    return element;
}

AtspiElement::Coordinates AtspiElement::coordinatesFor(std::optional<std::int32_t> pid,
                                                       std::optional<QPointF> anchorPixel)
{
    const auto screens = X11::screenSnapshot();
    const auto space = pid ? Session::instance().applicationSpace(*pid, screens->generation) : std::nullopt;
    return std::make_shared<const AppCoordinates>(screens->layout, space.value_or(AppSpace {}), anchorPixel);
}

AtspiElement::~AtspiElement()
{
    if (m_object) {
        std::lock_guard lock(Session::instance().mutex);
        g_object_unref(m_object);
    }
}

std::optional<std::int32_t> AtspiElement::pid()
{
    if (m_kind == Kind::processOnly)
        return m_pid;
    std::lock_guard lock(Session::instance().mutex);
    AtspiAccessible *object = resolve();
    if (!object)
        return m_pid;
    if (auto pid = Session::instance().pidOf(object))
        return pid;
    return m_pid;
}

void AtspiElement::setMessagingTimeout(double seconds)
{
    if (!(seconds > 0))
        return;
    std::lock_guard lock(Session::instance().mutex);
    Session::instance().setTimeout(int(std::clamp(seconds * 1000.0, 1.0, 60000.0)));
}

AXElement AtspiElement::elementAtPosition(QPointF quartzPoint)
{
    if (m_kind == Kind::systemWide)
        return hitTestScreen(quartzPoint);
    if (m_kind != Kind::object)
        return nullptr;
    std::lock_guard lock(Session::instance().mutex);
    AtspiAccessible *object = resolve();
    if (!object)
        return nullptr;
    const QPoint px = appPoint(quartzPoint);
    AtspiAccessible *start = nullptr;
    if (roleOf(object) == ATSPI_ROLE_APPLICATION) {
        const auto screens = X11::screenSnapshot();
        start = windowAt(object, screens->layout.toPixels(quartzPoint), std::nullopt, screens->layout,
                         m_coordinates->space(), nullptr);
    } else {
        start = static_cast<AtspiAccessible *>(g_object_ref(object));
    }
    if (!start)
        return nullptr;
    return wrap(descend(start, px), m_pid, m_coordinates);
}

std::optional<AXValue> AtspiElement::attribute(std::string_view name)
{
    if (m_kind != Kind::object)
        return std::nullopt;
    std::lock_guard lock(Session::instance().mutex);
    AtspiAccessible *object = resolve();
    if (!object)
        return std::nullopt;
    if (name == "AXRole") {
        if (auto role = axRole())
            return *role;
    } else if (name == "AXPosition") {
        if (auto r = bounds())
            return r->topLeft();
    } else if (name == "AXSize") {
        if (auto r = bounds())
            return r->size();
    } else if (name == "AXTitle") {
        if (auto title = nameOf(object); title && !title->isEmpty())
            return *title;
    } else if (name == "AXValue") {
        if (auto value = valueText())
            return *value;
    } else if (name == "AXNumberOfCharacters") {
        if (hasText() && frame(std::nullopt))
            return m_frame.utf16Count();
    } else if (name == "AXChildren") {
        return children();
    } else if (name == "AXParent") {
        if (auto parent = parentElement())
            return AXElement(parent);
    } else if (name == "AXRangeInParent") {
        return rangeInParent();
    } else if (name == "AXInline") {
        // A link runs on in its paragraph's text; a browser says of its other elements how they are
        // laid out, and only "inline" ones (not inline-block: a box of its own) do. A run of text
        // says nothing.
        if (roleOf(object) == ATSPI_ROLE_LINK)
            return true;
        if (const auto display = objectAttributeOf(object, "display"))
            return *display == QLatin1String("inline");
    } else if (name == "AXWindow") {
        if (auto window = topLevelWindow())
            return window;
    }
    return std::nullopt;
}

std::vector<std::optional<AXValue>> AtspiElement::attributes(const std::vector<std::string_view> &names)
{
    std::vector<std::optional<AXValue>> out;
    out.reserve(names.size());
    for (std::string_view name : names)
        out.push_back(attribute(name));
    return out;
}

std::optional<AXValue> AtspiElement::parameterizedAttribute(std::string_view name, const AXValue &parameter)
{
    if (m_kind != Kind::object)
        return std::nullopt;
    std::lock_guard lock(Session::instance().mutex);
    AtspiAccessible *object = resolve();
    if (!object)
        return std::nullopt;
    if (const QPointF *point = std::get_if<QPointF>(&parameter)) {
        if (name == "AXRangeForPosition")
            return rangeForPosition(*point);
        if (name == "AXTextMarkerForPosition")
            return markerForPosition(*point);
    } else if (const AXRange *range = std::get_if<AXRange>(&parameter)) {
        if (name == "AXStringForRange")
            return stringForRange(*range);
        if (name == "AXBoundsForRange")
            return boundsForRange(*range);
    } else if (const qint64 *location = std::get_if<qint64>(&parameter)) {
        if (name == "AXEmbeddedTextForIndex")
            return embeddedText(*location);
    } else if (const AXTextMarker *marker = std::get_if<AXTextMarker>(&parameter)) {
        const auto anchor = anchorOf(*marker);
        if (!anchor)
            return std::nullopt;
        if (name == "AXRightWordTextMarkerRangeForTextMarker")
            return anchor->wordRange(marker->position);
        if (name == "AXLeftWordTextMarkerRangeForTextMarker")
            return marker->position > 0 ? anchor->wordRange(marker->position - 1) : std::nullopt;
        if (name == "AXSentenceTextMarkerRangeForTextMarker")
            return anchor->sentenceRange(marker->position);
    } else if (const AXTextMarkerRange *range = std::get_if<AXTextMarkerRange>(&parameter)) {
        const auto anchor = anchorOf(range->start);
        if (!anchor || anchorOf(range->end) != anchor)
            return std::nullopt;
        if (name == "AXStringForTextMarkerRange") {
            if (auto text = anchor->markedText(range->start.position, range->end.position))
                return *text;
        } else if (name == "AXLengthForTextMarkerRange") {
            if (auto text = anchor->markedText(range->start.position, range->end.position))
                return qint64(text->size());
        } else if (name == "AXBoundsForTextMarkerRange") {
            return anchor->markedBounds(range->start.position, range->end.position);
        }
    } else if (const auto *markers = std::get_if<std::vector<AXTextMarker>>(&parameter)) {
        if (name == "AXTextMarkerRangeForUnorderedTextMarkers" && markers->size() == 2) {
            const auto anchor = anchorOf((*markers)[0]);
            if (!anchor || anchorOf((*markers)[1]) != anchor)
                return std::nullopt;
            const auto [from, to] = std::minmax((*markers)[0].position, (*markers)[1].position);
            return AXTextMarkerRange {anchor->marker(from), anchor->marker(to)};
        }
    }
    return std::nullopt;
}

AtspiAccessible *AtspiElement::resolve()
{
    if (m_object || !m_parent || m_index < 0)
        return m_object;
    if (AtspiAccessible *parent = m_parent->resolve())
        m_object = childOf(parent, m_index);
    m_parent.reset(); // resolved once, found or not
    return m_object;
}

AXElement AtspiElement::hitTestScreen(QPointF point)
{
    // The window list and the X server answer without the accessibility lock.
    const auto window = m_locator ? m_locator(point) : std::nullopt;
    if (!window)
        return nullptr;
    // Asking ourselves over the bus would wait on our own main thread.
    if (window->pid == getpid())
        return processOnly(window->pid);
    const auto screens = X11::screenSnapshot();
    const QPointF pixel = screens->layout.toPixels(point);

    std::lock_guard lock(Session::instance().mutex);
    Session &session = Session::instance();
    if (!session.ready())
        return processOnly(window->pid);
    session.drain();
    AtspiAccessible *app = session.application(window->pid);
    if (!app)
        return processOnly(window->pid);
    const auto previous = session.applicationSpace(window->pid, screens->generation);
    // The space is told once per window (and again when the screens change).
    const auto known = session.space(window->windowID, screens->generation);
    std::optional<AppSpace> measured;
    AtspiAccessible *top = session.window(window->windowID, app);
    const bool remembered = top != nullptr;
    if (!top) {
        top = windowAt(app, pixel, windowGeometry(window->windowID), screens->layout, previous, &measured);
        if (!top) {
            if (!childCountOf(app) && !session.isUnresponsive(app))
                session.forgetApplication(window->pid);
            return wrap(app, window->pid, coordinatesFor(window->pid, pixel));
        }
        session.rememberWindow(window->windowID, top);
    } else if (!known) {
        const auto geometry = windowGeometry(window->windowID);
        const auto reported = extentsOf(top);
        if (geometry && reported)
            measured = AppSpace::measure(*geometry, *reported, screens->layout, previous);
    }
    const AppSpace used = measured ? *measured : known.value_or(previous.value_or(AppSpace {}));
    if (!known)
        session.rememberSpace(window->pid, window->windowID, used, measured.has_value(), screens->generation);
    const auto coordinates = std::make_shared<const AppCoordinates>(screens->layout, used, pixel);
    const QPoint px = coordinates->fromPixel(pixel);
    g_object_unref(app);
    // Where a search found text in this window before, the hit test starts there, as long as the
    // point lies inside it and the hit test from it reaches text.
    if (AtspiAccessible *entry = remembered ? session.entry(window->windowID) : nullptr) {
        const auto box = extentsOf(entry);
        AtspiAccessible *leaf = box && box->contains(px) ? hitTestLeaf(entry, px) : nullptr;
        g_object_unref(entry);
        if (leaf && !isDeadEnd(leaf)) {
            g_object_unref(top);
            return wrap(leaf, window->pid, coordinates);
        }
        if (leaf)
            g_object_unref(leaf);
    }
    bool moved = false;
    AtspiAccessible *entry = nullptr;
    AtspiAccessible *leaf = descend(top, px, &moved, &entry);
    if (remembered && !moved)
        session.forgetWindow(window->windowID); // perhaps no longer that window's element
    else if (entry)
        session.rememberEntry(window->windowID, entry);
    if (entry)
        g_object_unref(entry);
    return wrap(leaf, window->pid, coordinates);
}

// The application's top-level window at a pixel. Given the X window's geometry, each accessible
// window's frame tells the space it would be reported in, and the window whose frame, read in that
// space, comes closest to the X window is the one (its space goes to `measured`). Without it, the
// smallest window holding the point in the space known before (dialogs and popups sit above their
// owners).
AtspiAccessible *AtspiElement::windowAt(AtspiAccessible *app, QPointF pixel, std::optional<QRect> geometry,
                                        const ScreenLayout &screens, std::optional<AppSpace> previous,
                                        std::optional<AppSpace> *measured)
{
    const auto count = childCountOf(app);
    if (!count)
        return nullptr;
    AtspiAccessible *best = nullptr;
    double bestScore = std::numeric_limits<double>::infinity();
    for (int i = 0; i < std::min(*count, 64); ++i) {
        AtspiAccessible *window = childOf(app, i);
        if (!window)
            continue;
        const auto r = extentsOf(window);
        const auto space = r && geometry ? AppSpace::measure(*geometry, *r, screens, previous) : std::nullopt;
        const AppCoordinates coordinates(screens, space.value_or(previous.value_or(AppSpace {})));
        if (!r || !r->contains(coordinates.fromPixel(pixel))) {
            g_object_unref(window);
            continue;
        }
        double score = double(r->width()) * r->height();
        if (geometry) {
            const QRectF onScreen = coordinates.toPixels(*r);
            score = std::abs(onScreen.x() - geometry->x()) + std::abs(onScreen.y() - geometry->y())
                + std::abs(onScreen.width() - geometry->width()) + std::abs(onScreen.height() - geometry->height());
        }
        if (score < bestScore) {
            if (best)
                g_object_unref(best);
            best = window;
            bestScore = score;
            if (measured)
                *measured = space;
        } else {
            g_object_unref(window);
        }
    }
    return best;
}

namespace {

// The search around a dead end of a toolkit's hit test stops after this long: deep trees are
// searched as far as time allows rather than to a fixed depth. A few milliseconds are the rule;
// the budget leaves room for a loaded machine.
constexpr auto searchBudget = std::chrono::milliseconds(250);
// Children of one element looked at in that search: every one costs a request.
constexpr int childrenSearched = 128;
// A guard for the stack, far below any real tree's depth.
constexpr int searchDepthGuard = 64;

AtspiAccessible *ref(AtspiAccessible *object)
{
    return static_cast<AtspiAccessible *>(g_object_ref(object));
}

void unrefAll(std::vector<AtspiAccessible *> &objects)
{
    for (AtspiAccessible *object : objects)
        g_object_unref(object);
    objects.clear();
}

// The toolkit's own hit test from `from` as far as it goes: the elements passed, `from` first
// (new references).
std::vector<AtspiAccessible *> hitTestPath(AtspiAccessible *from, QPoint px)
{
    std::vector<AtspiAccessible *> path {ref(from)};
    while (path.size() < std::size_t(searchDepthGuard)) {
        AtspiAccessible *next = accessibleAtPoint(path.back(), px);
        if (!next)
            break;
        if (std::find(path.begin(), path.end(), next) != path.end()) {
            g_object_unref(next);
            break;
        }
        path.push_back(next);
    }
    return path;
}

// Takes `leaf`. Qt's editors answer with their viewport; the text belongs to its parent.
AtspiAccessible *textOwner(AtspiAccessible *leaf)
{
    if (const auto own = interfacesOf(leaf); own && !own->text) {
        if (AtspiAccessible *parent = parentOf(leaf)) {
            if (const auto theirs = interfacesOf(parent); theirs && theirs->text) {
                g_object_unref(leaf);
                return parent;
            }
            g_object_unref(parent);
        }
    }
    return leaf;
}

} // namespace

class AtspiElement::Search
{
public:
    explicit Search(QPoint px)
        : m_px(px)
        , m_deadline(Clock::now() + searchBudget)
    { }
    ~Search()
    {
        if (m_entry)
            g_object_unref(m_entry);
    }

    // The element to read at the point around a hit test that ended at a dead end (`path` from its
    // start to that end; a new reference, or nullptr): the elements under the point beside each
    // element of the path, the deepest first.
    AtspiAccessible *around(const std::vector<AtspiAccessible *> &path, int depth)
    {
        AtspiAccessible *found = nullptr;
        for (std::size_t i = path.size(); i-- > 0 && !found;) {
            AtspiAccessible *passed = i + 1 < path.size() ? path[i + 1] : nullptr;
            found = amongChildren(path[i], passed, depth + int(i));
        }
        return found;
    }

    /// The element from which the toolkit's hit test reached the text; a new reference, or nullptr.
    AtspiAccessible *takeEntry() { return std::exchange(m_entry, nullptr); }

private:
    bool inTime(int depth) const { return depth < searchDepthGuard && Clock::now() < m_deadline; }

    // The element to read at the point under `start` (a new reference), or nullptr.
    AtspiAccessible *from(AtspiAccessible *start, int depth)
    {
        std::vector<AtspiAccessible *> path = hitTestPath(start, m_px);
        AtspiAccessible *leaf = textOwner(ref(path.back()));
        AtspiAccessible *found = nullptr;
        if (!isDeadEnd(leaf))
            found = ref(leaf);
        else
            found = around(path, depth);
        g_object_unref(leaf);
        unrefAll(path);
        return found;
    }

    // The children of `parent` under the point, except `passed` (already searched): those whose box
    // holds the point, the later (drawn above) first; then, through those that report no area,
    // their own children.
    AtspiAccessible *amongChildren(AtspiAccessible *parent, AtspiAccessible *passed, int depth)
    {
        if (!inTime(depth))
            return nullptr;
        const int count = std::min(childCountOf(parent).value_or(0), childrenSearched);
        std::vector<AtspiAccessible *> under;
        std::vector<AtspiAccessible *> unplaced;
        for (int i = count - 1; i >= 0 && inTime(depth); --i) {
            AtspiAccessible *child = childOf(parent, i);
            if (!child)
                continue;
            const auto box = child == passed ? std::nullopt : reportedExtentsOf(child);
            if (box && (box->width() < 1 || box->height() < 1))
                unplaced.push_back(child);
            else if (box && box->contains(m_px))
                under.push_back(child);
            else
                g_object_unref(child);
        }
        AtspiAccessible *found = nullptr;
        for (AtspiAccessible *child : under) {
            if (!found && inTime(depth + 1)) {
                found = from(child, depth + 1);
                if (found)
                    keepEntry(child);
            }
        }
        for (AtspiAccessible *child : unplaced) {
            if (!found && inTime(depth + 1)) {
                if (const auto role = roleOf(child); role && onlyHoldsOthers(*role))
                    found = amongChildren(child, nullptr, depth + 1);
            }
        }
        unrefAll(under);
        unrefAll(unplaced);
        return found;
    }

    // Called from the innermost level outwards: the first is the element whose own hit test
    // reached the text, where a later lookup can start.
    void keepEntry(AtspiAccessible *element)
    {
        if (!m_entry)
            m_entry = ref(element);
    }

    QPoint m_px;
    Clock::time_point m_deadline;
    AtspiAccessible *m_entry = nullptr;
};

AtspiAccessible *AtspiElement::hitTestLeaf(AtspiAccessible *from, QPoint px)
{
    std::vector<AtspiAccessible *> path = hitTestPath(from, px);
    AtspiAccessible *leaf = textOwner(ref(path.back()));
    unrefAll(path);
    return leaf;
}

bool AtspiElement::isDeadEnd(AtspiAccessible *element)
{
    const auto own = interfacesOf(element);
    if (!own || own->text)
        return false;
    const auto role = roleOf(element);
    return role && onlyHoldsOthers(*role);
}

// Takes `current`; returns the deepest element at the point (a new reference). Where nothing
// better is found, the element the toolkit's hit test ended at, so that a miss names its role.
// `entry`, when given, receives where a search found the text (a new reference, or nullptr).
AtspiAccessible *AtspiElement::descend(AtspiAccessible *current, QPoint px, bool *moved, AtspiAccessible **entry)
{
    std::vector<AtspiAccessible *> path = hitTestPath(current, px);
    g_object_unref(current);
    AtspiAccessible *leaf = textOwner(ref(path.back()));
    if (moved)
        *moved = path.size() > 1;
    if (entry)
        *entry = nullptr;
    if (isDeadEnd(leaf)) {
        Search search(px);
        if (AtspiAccessible *found = search.around(path, 0)) {
            g_object_unref(leaf);
            leaf = found;
            if (moved)
                *moved = true;
            if (entry)
                *entry = search.takeEntry();
        }
    }
    unrefAll(path);
    return leaf;
}

bool AtspiElement::hasText()
{
    if (!m_interfaces)
        m_interfaces = interfacesOf(m_object);
    return *m_interfaces && (*m_interfaces)->text;
}

std::optional<QRectF> AtspiElement::bounds()
{
    if (!m_bounds) {
        // Empty and negative sizes are handed on: the lookup passes through such elements.
        const auto r = reportedExtentsOf(m_object);
        m_bounds = r ? std::optional<QRectF>(points(*r)) : std::nullopt;
    }
    return *m_bounds;
}

std::optional<QString> AtspiElement::axRole()
{
    if (m_role)
        return *m_role;
    const auto role = roleOf(m_object);
    if (!role || *role == ATSPI_ROLE_INVALID) {
        m_role = std::optional<QString>();
        return std::nullopt;
    }
    QString name = roleName(*role);
    if (*role == ATSPI_ROLE_MENU) {
        if (AtspiAccessible *parent = parentOf(m_object)) {
            if (roleOf(parent) == ATSPI_ROLE_MENU_BAR)
                name = QStringLiteral("AXMenuBarItem");
            g_object_unref(parent);
        }
    }
    m_role = name;
    return name;
}

// Reads the element's text once: all of it when short, else a stretch around `anchor` (an
// offset in the application's units). Later requests convert through what was read. An element
// whose offset unit cannot be told withholds its text (see TextFrame::countsUtf16).
bool AtspiElement::frame(std::optional<qint64> anchor)
{
    if (m_frame.ready)
        return true;
    if (m_withheld)
        return false;
    const auto count = characterCountOf(m_object);
    if (!count)
        return false;
    TextFrame f;
    f.count = *count;
    if (*count <= wholeTextLimit) {
        const auto text = textOf(m_object, 0, *count);
        if (!text)
            return false;
        const auto utf16 =
            TextFrame::countsUtf16(*count, QStringView(*text), Session::instance().countsUtf16(m_object));
        if (!utf16) {
            m_withheld = QStringLiteral("character count fits neither unit");
            return false;
        }
        f.utf16 = *utf16;
        f.text = *text;
        f.length = f.units(*text);
        f.count = f.length; // what was read is what the offsets refer to
    } else {
        const auto utf16 = TextFrame::countsUtf16(*count, std::nullopt, Session::instance().countsUtf16(m_object));
        if (!utf16) {
            m_withheld = QStringLiteral("offset unit of a long text unknown");
            return false;
        }
        f.utf16 = *utf16;
        if (anchor) {
            const qint64 from = std::clamp<qint64>(*anchor - frameRadius, 0, *count);
            const qint64 to = std::clamp<qint64>(*anchor + frameRadius, 0, *count);
            if (const auto text = textOf(m_object, from, to)) {
                f.start = from;
                f.text = *text;
                f.length = f.units(*text);
            }
        }
    }
    f.ready = true;
    m_frame = std::move(f);
    return true;
}

std::optional<QString> AtspiElement::textWithheldReason()
{
    std::lock_guard lock(Session::instance().mutex);
    return m_withheld;
}

std::optional<QString> AtspiElement::valueText()
{
    if (!hasText() || !frame(std::nullopt))
        return std::nullopt;
    if (m_frame.whole())
        return m_frame.text;
    if (m_frame.count > valueLimit)
        return std::nullopt;
    return textOf(m_object, 0, m_frame.count);
}

// The character under a point, where toolkits answer otherwise: Qt gives the nearest caret
// position (the character after the point when it lies in the right half of one), and GTK 3
// entries give -1 for screen points past their first character while their character boxes
// are right.
std::optional<qint64> AtspiElement::offsetUnder(QPoint px)
{
    const auto offset = offsetAtPoint(m_object, px);
    if (!offset)
        return offset;
    // Checked against the character boxes, so harmless where the toolkit cannot be told.
    if (*offset > 0 && Session::instance().countsUtf16(m_object).value_or(true)) {
        if (const auto box = characterExtentsOf(m_object, *offset); box && box->contains(px))
            return offset;
        if (const auto before = characterExtentsOf(m_object, *offset - 1); before && before->contains(px))
            return *offset - 1;
        return offset;
    }
    if (*offset >= 0)
        return offset;
    const auto box = extentsOf(m_object);
    if (!box || !box->contains(px) || !isSingleLine(m_object).value_or(false) || !frame(std::nullopt))
        return offset;
    qint64 low = 0;
    qint64 high = std::min<qint64>(m_frame.count, wholeTextLimit) - 1;
    while (low <= high) {
        const qint64 middle = low + (high - low) / 2;
        const auto r = characterExtentsOf(m_object, middle);
        if (!r)
            break;
        if (px.x() < r->left())
            high = middle - 1;
        else if (px.x() > r->right())
            low = middle + 1;
        else
            return middle;
    }
    return offset;
}

std::optional<AXValue> AtspiElement::rangeForPosition(QPointF point)
{
    if (!hasText())
        return std::nullopt;
    const auto offset = offsetUnder(appPoint(point));
    if (!offset)
        return std::nullopt;
    if (*offset < 0)
        return AXRange {-1, 0};
    if (!frame(*offset))
        return std::nullopt;
    const qint64 location = m_frame.toUtf16(*offset);
    const qint64 next = *offset < m_frame.count ? m_frame.toUtf16(*offset + 1) : location + 1;
    return AXRange {location, std::max<qint64>(next - location, 1)};
}

std::optional<AXValue> AtspiElement::stringForRange(const AXRange &range)
{
    if (!hasText() || range.location < 0 || range.length < 0 || !frame(std::nullopt))
        return std::nullopt;
    qint64 to = range.location + range.length;
    if (m_frame.whole())
        to = std::min(to, qint64(m_frame.text.size()));
    if (auto text = m_frame.utf16Slice(range.location, to))
        return *text;
    if (auto text = textOf(m_object, m_frame.fromUtf16(range.location), m_frame.fromUtf16(to)))
        return *text;
    return std::nullopt;
}

std::optional<AXValue> AtspiElement::boundsForRange(const AXRange &range)
{
    if (!hasText() || range.location < 0 || range.length < 1 || !frame(std::nullopt))
        return std::nullopt;
    const auto r =
        rangeExtentsOf(m_object, m_frame.fromUtf16(range.location), m_frame.fromUtf16(range.location + range.length));
    if (!r)
        return std::nullopt;
    return points(*r);
}

std::optional<AXValue> AtspiElement::embeddedText(qint64 location)
{
    if (!hasText() || location < 0 || !frame(std::nullopt))
        return std::nullopt;
    if (auto text = embeddedTextOf(m_object, m_frame.fromUtf16(location)))
        return *text;
    return std::nullopt;
}

std::shared_ptr<AtspiElement> AtspiElement::anchorOf(const AXTextMarker &marker)
{
    return std::const_pointer_cast<AtspiElement>(std::static_pointer_cast<const AtspiElement>(marker.anchor));
}

std::optional<AXValue> AtspiElement::markerForPosition(QPointF point)
{
    if (!hasText())
        return std::nullopt;
    const auto offset = offsetUnder(appPoint(point));
    if (!offset || *offset < 0)
        return std::nullopt;
    return marker(*offset);
}

std::optional<AXValue> AtspiElement::wordRange(qint64 position)
{
    if (!resolve() || !hasText() || !frame(std::nullopt))
        return std::nullopt;
    auto run = runAt(m_object, position, false);
    if (!run)
        return std::nullopt;
    // Trim the blanks and punctuation AT-SPI word runs carry at their ends.
    QStringView text(run->text);
    qint64 start = run->start;
    qint64 end = run->end;
    // A pair is one character to the application unless it counts UTF-16 units.
    while (!text.isEmpty()) {
        qsizetype width = 1;
        if (!isWordPadding(Text::scalarAt(text, 0, &width)))
            break;
        text = text.sliced(width);
        start += m_frame.utf16 ? width : 1;
    }
    while (!text.isEmpty()) {
        qsizetype from = text.size();
        if (!isWordPadding(Text::previousScalar(text, from)))
            break;
        end -= m_frame.utf16 ? text.size() - from : 1;
        text.truncate(from);
    }
    if (end < start)
        return std::nullopt;
    return AXTextMarkerRange {marker(start), marker(end)};
}

std::optional<AXValue> AtspiElement::sentenceRange(qint64 position)
{
    if (!resolve() || !hasText())
        return std::nullopt;
    const auto run = runAt(m_object, position, true);
    if (!run)
        return std::nullopt;
    return AXTextMarkerRange {marker(run->start), marker(run->end)};
}

std::optional<QString> AtspiElement::markedText(qint64 from, qint64 to)
{
    if (!resolve() || !hasText() || from < 0 || to < from || !frame(std::nullopt))
        return std::nullopt;
    if (auto text = m_frame.slice(from, to))
        return text;
    return textOf(m_object, from, to);
}

std::optional<AXValue> AtspiElement::markedBounds(qint64 from, qint64 to)
{
    if (!resolve() || !hasText() || to <= from)
        return std::nullopt;
    const auto r = rangeExtentsOf(m_object, from, to);
    if (!r)
        return std::nullopt;
    return points(*r);
}

std::optional<AXValue> AtspiElement::children()
{
    const auto count = childCountOf(m_object);
    if (!count)
        return std::nullopt;
    // Handles are resolved only when used; the lookup never walks further than this.
    const int n = std::min(*count, 4096);
    std::vector<AXElement> out;
    out.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i)
        out.push_back(child(shared_from_this(), i));
    return out;
}

std::shared_ptr<AtspiElement> AtspiElement::parentElement()
{
    if (!m_parentElement) {
        AtspiAccessible *parent = parentOf(m_object);
        m_parentElement = parent ? wrap(parent, m_pid, m_coordinates) : nullptr;
    }
    return *m_parentElement;
}

// The UTF-16 range of the parent's text that this element's text stands for: where it is embedded
// there (the parent keeps an object replacement character in its place), or where it is one of the
// runs the parent's text is made of (a browser's bold or italic run, which is no link).
std::optional<AXValue> AtspiElement::rangeInParent()
{
    if (!hasText())
        return std::nullopt;
    const auto parent = parentElement();
    if (!parent || !parent->hasText())
        return std::nullopt;
    if (const auto range = rangeInParentOf(m_object)) {
        if (!parent->frame(range->first))
            return std::nullopt;
        const qint64 from = parent->m_frame.toUtf16(range->first);
        const qint64 to = parent->m_frame.toUtf16(range->second);
        return AXRange {from, to - from};
    }
    return parent->runRange(m_object);
}

// Where `run`, a child of this element, stands in this element's text, when that text is exactly its
// children's texts one after the other, each embedded object (a link) standing for the placeholder
// the text keeps for it. Anything else (a text of its own between them, a child that matches
// nothing) leaves the place unknown.
std::optional<AXValue> AtspiElement::runRange(AtspiAccessible *run)
{
    constexpr int runLimit = 64;
    if (!frame(std::nullopt) || !m_frame.whole())
        return std::nullopt;
    const auto count = childCountOf(m_object);
    if (!count || *count < 1 || *count > runLimit)
        return std::nullopt;
    const QString &whole = m_frame.text;
    qsizetype at = 0;
    std::optional<AXRange> found;
    for (int i = 0; i < *count; ++i) {
        AtspiAccessible *child = childOf(m_object, i);
        if (!child)
            return std::nullopt;
        const auto length = characterCountOf(child);
        const auto text = length ? textOf(child, 0, *length) : std::nullopt;
        const bool self = child == run;
        g_object_unref(child);
        AXRange range {at, 0};
        if (text && QStringView(whole).mid(at, text->size()) == *text)
            range.length = text->size();
        else if (at < whole.size() && whole[at].unicode() == 0xFFFC)
            range.length = 1;
        else
            return std::nullopt;
        if (self)
            found = range;
        at += range.length;
    }
    if (!found || at != whole.size())
        return std::nullopt;
    return *found;
}

AXElement AtspiElement::topLevelWindow()
{
    AtspiAccessible *current = static_cast<AtspiAccessible *>(g_object_ref(m_object));
    for (int depth = 0; depth < 64; ++depth) {
        AtspiAccessible *parent = parentOf(current);
        if (!parent)
            break;
        if (roleOf(parent) == ATSPI_ROLE_APPLICATION) {
            g_object_unref(parent);
            if (roleOf(current) == ATSPI_ROLE_APPLICATION)
                break;
            return wrap(current, m_pid, m_coordinates);
        }
        g_object_unref(current);
        current = parent;
    }
    g_object_unref(current);
    return nullptr;
}
} // namespace Lumivox::Native::Atspi
