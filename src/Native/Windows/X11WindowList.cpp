// The window list on X11. Every hover reads it, and a round trip to the X server costs a tenth of a
// millisecond on a busy machine, so it is read over XCB in stages: each stage sends all of its
// requests before waiting for any reply, and costs one round trip whatever the number of windows.
//
// Stacking: the root window's children are in stacking order. With a window manager they are its
// frames, and _NET_CLIENT_LIST_STACKING names the application windows (clients) inside them; so the
// list is the root's children, top first, each frame replaced by its client, while override-redirect
// windows (menus, tooltips) stand for themselves. Without a window manager the root's children are
// the clients. Process ids come from _NET_WM_PID, else from the X-Resource extension (the client
// connection that created the window), which needs no cooperation from the application.

#include "Native/Windows/ProcessIdentity.h"
#include "Native/Windows/WindowList.h"
#include "Native/X11/X11Connection.h"
#include "Native/X11/X11Screen.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRect>
#include <QStandardPaths>

#include <xcb/res.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace Lumivox::Native {

namespace {

Q_LOGGING_CATEGORY(lcWindows, "app.lumivox.Windows")

// Layers as the rest of the program reads them: above 19 is a system overlay (never captured).
constexpr int normalLayer = 0;
constexpr int aboveLayer = 3;
constexpr int dockLayer = 20;
constexpr int popupLayer = 101;

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template<class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// A reply, or null when the request failed (a window that vanished since it was listed, say).
template<class R, class Cookie, class Fn>
Reply<R> reply(xcb_connection_t *c, Cookie cookie, Fn fn)
{
    xcb_generic_error_t *error = nullptr;
    R *r = fn(c, cookie, &error);
    std::free(error);
    return Reply<R>(r);
}

enum AtomID {
    netClientListStacking,
    netActiveWindow,
    netSupportingWmCheck,
    netWmPid,
    netWmWindowType,
    netWmState,
    netWmStateAbove,
    netWmWindowOpacity,
    netWmName,
    utf8String,
    gtkApplicationID,
    typeDesktop,
    typeDock,
    typeTooltip,
    typePopupMenu,
    typeDropdownMenu,
    typeNotification,
    typeCombo,
    typeDnd,
    atomCount
};

constexpr std::array<const char *, atomCount> atomNames {
    "_NET_CLIENT_LIST_STACKING",
    "_NET_ACTIVE_WINDOW",
    "_NET_SUPPORTING_WM_CHECK",
    "_NET_WM_PID",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_STATE",
    "_NET_WM_STATE_ABOVE",
    "_NET_WM_WINDOW_OPACITY",
    "_NET_WM_NAME",
    "UTF8_STRING",
    "_GTK_APPLICATION_ID",
    "_NET_WM_WINDOW_TYPE_DESKTOP",
    "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_TOOLTIP",
    "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU",
    "_NET_WM_WINDOW_TYPE_NOTIFICATION",
    "_NET_WM_WINDOW_TYPE_COMBO",
    "_NET_WM_WINDOW_TYPE_DND",
};

// This thread's connection with the atoms interned once.
struct Server
{
    xcb_connection_t *c = nullptr;
    xcb_window_t root = 0;
    std::array<xcb_atom_t, atomCount> atoms {};
    bool hasXRes = false;
    // The window manager's check window as last seen (0: none).
    mutable xcb_window_t knownCheckWindow = 0;

    xcb_atom_t atom(AtomID id) const { return atoms[id]; }
};

Server *server()
{
    // Through XWayland only the X clients would be listed, and a point over a native Wayland window
    // would be blamed on whatever X window lies beneath it: better no answer than a wrong one.
    if (X11::isWaylandSession()) {
        static std::once_flag reported;
        std::call_once(reported, [] {
            qCWarning(lcWindows) << "this is a Wayland session: the desktop's windows cannot be listed";
        });
        return nullptr;
    }
    thread_local std::optional<Server> state;
    thread_local bool tried = false;
    thread_local bool reportedBroken = false;
    if (!tried) {
        tried = true;
        xcb_connection_t *c = X11::xcbConnection();
        if (!c)
            return nullptr;
        Server s;
        s.c = c;
        s.root = X11::xcbRootWindow();
        std::array<xcb_intern_atom_cookie_t, atomCount> cookies {};
        for (int i = 0; i < atomCount; ++i)
            cookies[i] = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(atomNames[i])), atomNames[i]);
        const xcb_query_extension_reply_t *res = xcb_get_extension_data(c, &xcb_res_id);
        std::optional<xcb_res_query_version_cookie_t> resVersion;
        if (res && res->present)
            resVersion = xcb_res_query_version(c, 1, 2);
        for (int i = 0; i < atomCount; ++i) {
            if (auto r = reply<xcb_intern_atom_reply_t>(c, cookies[i], xcb_intern_atom_reply))
                s.atoms[i] = r->atom;
        }
        if (resVersion) {
            auto r = reply<xcb_res_query_version_reply_t>(c, *resVersion, xcb_res_query_version_reply);
            // Client ids (and so process ids) came with version 1.2.
            s.hasXRes = r && (r->server_major > 1 || (r->server_major == 1 && r->server_minor >= 2));
        }
        state = s;
    }
    if (!state)
        return nullptr;
    if (xcb_connection_has_error(state->c)) {
        if (!reportedBroken) {
            reportedBroken = true;
            qCWarning(lcWindows) << "the connection to the X server broke; the window list is empty from now on";
        }
        return nullptr;
    }
    return &*state;
}

xcb_get_property_cookie_t askProperty(const Server &x, xcb_window_t w, xcb_atom_t name, xcb_atom_t type)
{
    return xcb_get_property(x.c, 0, w, name, type, 0, 1 << 16);
}

Reply<xcb_get_property_reply_t> property(const Server &x, xcb_get_property_cookie_t cookie)
{
    return reply<xcb_get_property_reply_t>(x.c, cookie, xcb_get_property_reply);
}

std::vector<std::uint32_t> values32(const xcb_get_property_reply_t *r)
{
    if (!r || r->format != 32)
        return {};
    const auto *data = static_cast<const std::uint32_t *>(xcb_get_property_value(r));
    const int count = xcb_get_property_value_length(r) / 4;
    return std::vector<std::uint32_t>(data, data + std::max(count, 0));
}

QByteArray bytes(const xcb_get_property_reply_t *r)
{
    if (!r || r->format != 8)
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
}

// WM_CLASS holds "instance\0class\0".
std::pair<QString, QString> wmClass(const xcb_get_property_reply_t *r)
{
    const QList<QByteArray> parts = bytes(r).split('\0');
    return {parts.size() > 0 ? QString::fromLocal8Bit(parts[0]) : QString(),
            parts.size() > 1 ? QString::fromLocal8Bit(parts[1]) : QString()};
}

bool viewable(const xcb_get_window_attributes_reply_t *a)
{
    return a && a->map_state == XCB_MAP_STATE_VIEWABLE && a->_class != XCB_WINDOW_CLASS_INPUT_ONLY;
}

// One window in stacking order, with where it is on screen (device pixels, root coordinates).
struct Placed
{
    xcb_window_t id = 0;
    bool overrideRedirect = false;
    QRect pixels;
};

QRect outerRect(const xcb_get_geometry_reply_t *g)
{
    // A window's x and y are those of its border's outer corner; width and height leave the border out.
    return QRect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
}

// What the root window tells about the desktop as a whole.
struct Desktop
{
    std::vector<xcb_window_t> children; // the root's children, bottom to top
    bool managed = false; // a live window manager keeps a client list
    std::unordered_map<xcb_window_t, std::size_t> stackingIndex; // client -> position, bottom first
    xcb_window_t childAtPoint = 0; // the server's own hit test, when one was asked for
};

std::optional<Desktop> readDesktop(const Server &x, std::optional<QPoint> hitTest)
{
    xcb_connection_t *c = x.c;
    const auto treeCookie = xcb_query_tree(c, x.root);
    const auto listCookie = askProperty(x, x.root, x.atom(netClientListStacking), XCB_ATOM_WINDOW);
    const auto checkCookie = askProperty(x, x.root, x.atom(netSupportingWmCheck), XCB_ATOM_WINDOW);
    // The window manager's check window rarely changes, so the question whether it is alive goes
    // out with the first batch; only a new one costs a round trip of its own.
    std::optional<xcb_get_property_cookie_t> knownCheckCookie;
    if (x.knownCheckWindow)
        knownCheckCookie = askProperty(x, x.knownCheckWindow, x.atom(netSupportingWmCheck), XCB_ATOM_WINDOW);
    std::optional<xcb_translate_coordinates_cookie_t> hitCookie;
    if (hitTest) {
        auto coordinate = [](int v) { return static_cast<std::int16_t>(std::clamp(v, -32768, 32767)); };
        hitCookie = xcb_translate_coordinates(c, x.root, x.root, coordinate(hitTest->x()), coordinate(hitTest->y()));
    }
    auto tree = reply<xcb_query_tree_reply_t>(c, treeCookie, xcb_query_tree_reply);
    auto list = property(x, listCookie);
    const auto check = values32(property(x, checkCookie).get());
    std::optional<std::vector<std::uint32_t>> knownCheck;
    if (knownCheckCookie)
        knownCheck = values32(property(x, *knownCheckCookie).get());
    Desktop d;
    if (hitCookie) {
        if (auto r = reply<xcb_translate_coordinates_reply_t>(c, *hitCookie, xcb_translate_coordinates_reply))
            d.childAtPoint = r->child;
    }
    if (!tree)
        return std::nullopt;
    const xcb_window_t *childData = xcb_query_tree_children(tree.get());
    d.children.assign(childData, childData + xcb_query_tree_children_length(tree.get()));
    // With no client at all the list is still there, empty: the manager's own windows are then all
    // there is at the top, and none of them is an application's.
    const bool listed = list && list->type == XCB_ATOM_WINDOW;
    const std::vector<std::uint32_t> clientList = listed ? values32(list.get()) : std::vector<std::uint32_t> {};
    // A window manager that has gone leaves its properties on the root; its check window, which
    // names itself while it lives, tells a live one from a stale list.
    if (listed && !check.empty()) {
        if (knownCheck && check.front() == x.knownCheckWindow) {
            d.managed = *knownCheck == check;
        } else {
            const auto liveCookie = askProperty(x, check.front(), x.atom(netSupportingWmCheck), XCB_ATOM_WINDOW);
            d.managed = values32(property(x, liveCookie).get()) == check;
        }
    }
    x.knownCheckWindow = check.empty() ? 0 : check.front();
    if (d.managed) {
        for (std::size_t i = 0; i < clientList.size(); ++i)
            d.stackingIndex.emplace(clientList[i], i);
    }
    return d;
}

// The on-screen windows among `candidates` (children of the root, bottom to top) whose rectangle in
// device pixels passes `keep`, top first.
//
// Every request costs a few microseconds of its own even when batched, and a hover asks about one
// point, so the work narrows as early as it can: the geometry of each candidate first, then
// everything else only for those that pass `keep`.
std::vector<Placed> place(const Server &x, const Desktop &d, const std::vector<xcb_window_t> &candidates,
                          const std::function<bool(const QRect &)> &keep)
{
    xcb_connection_t *c = x.c;
    const bool managed = d.managed;
    const auto &stackingIndex = d.stackingIndex;
    // A hover's few candidates cost less asked all at once than narrowed down first: each stage
    // is a round trip, which is dearer than a handful of extra requests.
    const bool oneBatch = candidates.size() <= 16;
    struct Cookies
    {
        xcb_get_geometry_cookie_t geometry;
        std::optional<xcb_get_window_attributes_cookie_t> attributes;
        std::optional<xcb_query_tree_cookie_t> tree;
    };
    std::vector<Cookies> cookies;
    for (xcb_window_t w : candidates) {
        Cookies k {xcb_get_geometry(c, w), std::nullopt, std::nullopt};
        if (oneBatch) {
            k.attributes = xcb_get_window_attributes(c, w);
            if (managed && !stackingIndex.count(w))
                k.tree = xcb_query_tree(c, w);
        }
        cookies.push_back(k);
    }

    struct Top
    {
        xcb_window_t id;
        QRect rect;
        Reply<xcb_get_window_attributes_reply_t> attributes;
        Reply<xcb_query_tree_reply_t> tree;
        std::vector<xcb_window_t> clients; // bottom to top
    };
    std::vector<Top> tops; // bottom to top
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        auto g = reply<xcb_get_geometry_reply_t>(c, cookies[i].geometry, xcb_get_geometry_reply);
        Reply<xcb_get_window_attributes_reply_t> a;
        Reply<xcb_query_tree_reply_t> t;
        if (cookies[i].attributes)
            a = reply<xcb_get_window_attributes_reply_t>(c, *cookies[i].attributes, xcb_get_window_attributes_reply);
        if (cookies[i].tree)
            t = reply<xcb_query_tree_reply_t>(c, *cookies[i].tree, xcb_query_tree_reply);
        if (g && keep(outerRect(g.get())))
            tops.push_back({candidates[i], outerRect(g.get()), std::move(a), std::move(t), {}});
    }

    // Whether they are on screen, and with a window manager which clients each one holds: its
    // frame's descendants that are in the client list (the window itself when the manager does
    // not reparent). Nested frames take one more batch per level.
    if (!oneBatch) {
        std::vector<xcb_get_window_attributes_cookie_t> attributeCookies;
        for (const Top &t : tops)
            attributeCookies.push_back(xcb_get_window_attributes(c, t.id));
        for (std::size_t i = 0; i < tops.size(); ++i)
            tops[i].attributes =
                reply<xcb_get_window_attributes_reply_t>(c, attributeCookies[i], xcb_get_window_attributes_reply);
    }
    std::vector<std::pair<std::size_t, xcb_window_t>> searching; // (top, window whose children to look at)
    for (std::size_t i = 0; i < tops.size(); ++i) {
        if (managed && stackingIndex.count(tops[i].id))
            tops[i].clients.push_back(tops[i].id);
        else if (managed && viewable(tops[i].attributes.get())) // frames off screen hold nothing to show
            searching.emplace_back(i, tops[i].id);
    }
    for (int depth = 0; depth < 4 && !searching.empty(); ++depth) {
        std::vector<std::optional<xcb_query_tree_cookie_t>> treeCookies;
        for (const auto &[top, w] : searching) {
            const bool known = depth == 0 && tops[top].tree;
            treeCookies.push_back(known ? std::nullopt : std::optional(xcb_query_tree(c, w)));
        }
        std::vector<std::pair<std::size_t, xcb_window_t>> deeper;
        for (std::size_t k = 0; k < searching.size(); ++k) {
            const std::size_t top = searching[k].first;
            Reply<xcb_query_tree_reply_t> t = treeCookies[k]
                ? reply<xcb_query_tree_reply_t>(c, *treeCookies[k], xcb_query_tree_reply)
                : std::move(tops[top].tree);
            if (!t)
                continue;
            const xcb_window_t *kids = xcb_query_tree_children(t.get());
            for (int j = 0; j < xcb_query_tree_children_length(t.get()); ++j) {
                if (stackingIndex.count(kids[j]))
                    tops[top].clients.push_back(kids[j]);
                else
                    deeper.emplace_back(top, kids[j]);
            }
        }
        // Stop descending into a frame once its clients are found.
        std::erase_if(deeper, [&](const auto &entry) { return !tops[entry.first].clients.empty(); });
        searching = std::move(deeper);
    }

    // The clients' own state, and their own rectangles where several share a frame. A lone
    // client's frame is exactly what the user sees of it, title bar included.
    struct ClientCookies
    {
        xcb_get_window_attributes_cookie_t attributes;
        std::optional<xcb_get_geometry_cookie_t> geometry;
        std::optional<xcb_translate_coordinates_cookie_t> origin;
    };
    std::map<xcb_window_t, ClientCookies> clientCookies;
    for (Top &t : tops) {
        std::sort(t.clients.begin(), t.clients.end(),
                  [&](xcb_window_t a, xcb_window_t b) { return stackingIndex.at(a) < stackingIndex.at(b); });
        for (xcb_window_t w : t.clients) {
            if (w == t.id)
                continue;
            ClientCookies cookies {xcb_get_window_attributes(c, w), std::nullopt, std::nullopt};
            if (t.clients.size() > 1) {
                cookies.geometry = xcb_get_geometry(c, w);
                cookies.origin = xcb_translate_coordinates(c, w, x.root, 0, 0);
            }
            clientCookies.emplace(w, cookies);
        }
    }

    std::vector<Placed> out;
    for (auto t = tops.rbegin(); t != tops.rend(); ++t) {
        const auto *a = t->attributes.get();
        if (t->clients.empty()) {
            // Without a window manager every window at the top is a client; with one, only the
            // override-redirect ones (menus, tooltips) stand for themselves, and anything else there
            // is the manager's own.
            if (viewable(a) && (!managed || a->override_redirect))
                out.push_back({t->id, a->override_redirect != 0, t->rect});
            continue;
        }
        for (auto w = t->clients.rbegin(); w != t->clients.rend(); ++w) {
            if (*w == t->id) {
                if (viewable(a))
                    out.push_back({t->id, a->override_redirect != 0, t->rect});
                continue;
            }
            const ClientCookies &cookies = clientCookies.at(*w);
            auto clientAttributes =
                reply<xcb_get_window_attributes_reply_t>(c, cookies.attributes, xcb_get_window_attributes_reply);
            QRect rect = t->rect;
            if (cookies.geometry) {
                auto g = reply<xcb_get_geometry_reply_t>(c, *cookies.geometry, xcb_get_geometry_reply);
                auto o = reply<xcb_translate_coordinates_reply_t>(c, *cookies.origin, xcb_translate_coordinates_reply);
                if (!g || !o)
                    continue;
                rect = QRect(o->dst_x, o->dst_y, g->width, g->height);
                if (!keep(rect))
                    continue;
            }
            if (viewable(a) && viewable(clientAttributes.get()))
                out.push_back({*w, clientAttributes->override_redirect != 0, rect});
        }
    }
    return out;
}

// The pids of windows, by _NET_WM_PID, else by the X-Resource extension. 0 when neither tells.
std::vector<std::int32_t> pidsOf(const Server &x, const std::vector<xcb_window_t> &windows,
                                 const std::vector<Reply<xcb_get_property_reply_t>> *netWmPids = nullptr)
{
    std::vector<std::int32_t> pids(windows.size(), 0);
    std::vector<xcb_get_property_cookie_t> cookies;
    if (!netWmPids) {
        for (xcb_window_t w : windows)
            cookies.push_back(askProperty(x, w, x.atom(netWmPid), XCB_ATOM_CARDINAL));
    }
    for (std::size_t i = 0; i < windows.size(); ++i) {
        Reply<xcb_get_property_reply_t> owned;
        const xcb_get_property_reply_t *r = nullptr;
        if (netWmPids) {
            r = (*netWmPids)[i].get();
        } else {
            owned = property(x, cookies[i]);
            r = owned.get();
        }
        const auto v = values32(r);
        if (!v.empty() && v.front() > 0 && v.front() <= 0x7fffffffu)
            pids[i] = static_cast<std::int32_t>(v.front());
    }
    if (!x.hasXRes)
        return pids;
    std::vector<std::pair<std::size_t, xcb_res_query_client_ids_cookie_t>> asked;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        if (pids[i] == 0) {
            xcb_res_client_id_spec_t wanted {windows[i], XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
            asked.emplace_back(i, xcb_res_query_client_ids(x.c, 1, &wanted));
        }
    }
    for (auto &[i, cookie] : asked) {
        auto r = reply<xcb_res_query_client_ids_reply_t>(x.c, cookie, xcb_res_query_client_ids_reply);
        if (!r)
            continue;
        for (auto it = xcb_res_query_client_ids_ids_iterator(r.get()); it.rem; xcb_res_client_id_value_next(&it)) {
            const auto &[client, length] = *it.data;
            if ((client.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)
                && xcb_res_client_id_value_value_length(it.data) >= 1) {
                const std::uint32_t pid = xcb_res_client_id_value_value(it.data)[0];
                if (pid > 0 && pid <= 0x7fffffffu) {
                    pids[i] = static_cast<std::int32_t>(pid);
                    break;
                }
            }
        }
    }
    return pids;
}

// How much to read of each window: a hover needs where it is, whose it is and how it stacks; the
// names cost three more requests per window.
enum class Detail { full, placeAndOwner };

// Fills in what the rest of the program reads of each window; desktop windows are left out. Bounds
// are seen from `seenFrom`, the screen of the point a hover asks about: a window across monitors of
// different scales has no one rectangle in points, and seen from the point's screen it holds the
// point exactly when its pixels hold the point's pixel. Without one, each goes through the screen
// that holds its centre.
std::vector<WindowInfo> describe(const Server &x, const std::vector<Placed> &placed, Detail detail = Detail::full,
                                 const std::optional<LayoutScreen> &seenFrom = std::nullopt)
{
    enum { type, pid, state, opacity, netName, name, klass, perWindow };
    const int asked = detail == Detail::full ? perWindow : netName;
    std::vector<std::array<xcb_get_property_cookie_t, perWindow>> cookies(placed.size());
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const xcb_window_t w = placed[i].id;
        cookies[i][type] = askProperty(x, w, x.atom(netWmWindowType), XCB_ATOM_ATOM);
        cookies[i][pid] = askProperty(x, w, x.atom(netWmPid), XCB_ATOM_CARDINAL);
        cookies[i][state] = askProperty(x, w, x.atom(netWmState), XCB_ATOM_ATOM);
        cookies[i][opacity] = askProperty(x, w, x.atom(netWmWindowOpacity), XCB_ATOM_CARDINAL);
        if (detail == Detail::full) {
            cookies[i][netName] = askProperty(x, w, x.atom(netWmName), x.atom(utf8String));
            cookies[i][name] = askProperty(x, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY);
            cookies[i][klass] = askProperty(x, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
        }
    }
    std::vector<std::array<Reply<xcb_get_property_reply_t>, perWindow>> replies(placed.size());
    for (std::size_t i = 0; i < placed.size(); ++i) {
        for (int k = 0; k < asked; ++k)
            replies[i][k] = property(x, cookies[i][k]);
    }
    std::vector<xcb_window_t> ids;
    std::vector<Reply<xcb_get_property_reply_t>> netWmPids;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        ids.push_back(placed[i].id);
        netWmPids.push_back(std::move(replies[i][pid]));
    }
    const std::vector<std::int32_t> pids = pidsOf(x, ids, &netWmPids);

    const ScreenLayout layout = X11::screenLayout();
    std::vector<WindowInfo> out;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const auto types = values32(replies[i][type].get());
        auto hasType = [&](AtomID a) { return std::find(types.begin(), types.end(), x.atom(a)) != types.end(); };
        if (hasType(typeDesktop))
            continue;
        WindowInfo info;
        info.windowID = placed[i].id;
        if (pids[i] > 0)
            info.pid = pids[i];
        info.bounds = seenFrom ? ScreenLayout::toPointsOn(*seenFrom, QRectF(placed[i].pixels))
                               : layout.toPoints(QRectF(placed[i].pixels));
        if (placed[i].overrideRedirect || hasType(typeTooltip) || hasType(typePopupMenu) || hasType(typeDropdownMenu)
            || hasType(typeNotification) || hasType(typeCombo) || hasType(typeDnd)) {
            info.layer = popupLayer;
        } else if (hasType(typeDock)) {
            info.layer = dockLayer;
        } else {
            const auto states = values32(replies[i][state].get());
            const bool above = std::find(states.begin(), states.end(), x.atom(netWmStateAbove)) != states.end();
            info.layer = above ? aboveLayer : normalLayer;
        }
        if (const auto v = values32(replies[i][opacity].get()); !v.empty())
            info.alpha = static_cast<double>(v.front()) / 4294967295.0;
        if (detail == Detail::full) {
            info.title = QString::fromUtf8(bytes(replies[i][netName].get()));
            if (info.title.isEmpty()) {
                const auto *r = replies[i][name].get();
                info.title =
                    r && r->type == XCB_ATOM_STRING ? QString::fromLatin1(bytes(r)) : QString::fromLocal8Bit(bytes(r));
            }
            info.ownerName = wmClass(replies[i][klass].get()).second;
        }
        out.push_back(std::move(info));
    }
    return out;
}

// Desktop-file ids by StartupWMClass and by lower-cased file name, read once.
const std::map<QString, QString> &desktopIDsByWMClass()
{
    static const std::map<QString, QString> table = [] {
        std::map<QString, QString> out;
        const QStringList roots = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
        for (const QString &root : roots) {
            QDirIterator it(root, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                QString id = QDir(root).relativeFilePath(path);
                id.replace(QLatin1Char('/'), QLatin1Char('-'));
                id.chop(8); // ".desktop"
                QFile file(path);
                if (!file.open(QIODevice::ReadOnly) || file.size() > 1 << 20)
                    continue;
                for (const QByteArray &line : file.readAll().split('\n')) {
                    if (line.startsWith("StartupWMClass=")) {
                        const QString wmClass = QString::fromUtf8(line.mid(15)).trimmed();
                        if (!wmClass.isEmpty())
                            out.try_emplace(wmClass, id);
                        break;
                    }
                }
                out.try_emplace(QStringLiteral("file:") + id.toLower(), id);
            }
        }
        return out;
    }();
    return table;
}

class X11WindowList final : public WindowList
{
public:
    std::vector<WindowInfo> windows() override
    {
        const Server *x = server();
        if (!x)
            return {};
        const auto desktop = readDesktop(*x, std::nullopt);
        if (!desktop)
            return {};
        return describe(*x, place(*x, *desktop, desktop->children, everything));
    }

    std::vector<WindowInfo> windowsAt(QPointF quartzPoint) override
    {
        const Server *x = server();
        if (!x)
            return {};
        const ScreenLayout layout = X11::screenLayout();
        const QPointF pixel = layout.toPixels(quartzPoint);
        const auto desktop = readDesktop(*x, std::nullopt);
        if (!desktop)
            return {};
        return describe(*x, place(*x, *desktop, desktop->children, containing(pixel)), Detail::placeAndOwner,
                        layout.screenAtPixel(pixel));
    }

    // The server's own hit test names the topmost child of the root at the point, so in the common
    // case only the windows from there up are looked at; the bounds test of the others still
    // decides (a window with a hole in its input shape is still in the way), and the windows below
    // are read only when nothing above them is taken.
    std::optional<WindowInfo> frontmostWindowAt(QPointF quartzPoint,
                                                const std::function<bool(const WindowInfo &)> &accept) override
    {
        const Server *x = server();
        if (!x)
            return std::nullopt;
        const ScreenLayout layout = X11::screenLayout();
        const QPointF pixel = layout.toPixels(quartzPoint);
        const std::optional<LayoutScreen> seenFrom = layout.screenAtPixel(pixel);
        const auto desktop =
            readDesktop(*x, QPoint(static_cast<int>(std::floor(pixel.x())), static_cast<int>(std::floor(pixel.y()))));
        if (!desktop)
            return std::nullopt;
        const auto &all = desktop->children;
        const auto split = std::find(all.begin(), all.end(), desktop->childAtPoint);
        const auto from = split == all.end() ? all.begin() : split;
        for (const auto &group :
             {std::vector<xcb_window_t>(from, all.end()), std::vector<xcb_window_t>(all.begin(), from)}) {
            if (group.empty())
                continue;
            for (const WindowInfo &w :
                 describe(*x, place(*x, *desktop, group, containing(pixel)), Detail::placeAndOwner, seenFrom)) {
                if (accept(w))
                    return w;
            }
        }
        return std::nullopt;
    }

    std::optional<QString> applicationID(std::int32_t pid) override
    {
        if (pid <= 0 || !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
            return std::nullopt;
        std::optional<QString> fromWMClass;
        if (const Server *x = server(); x) {
            std::vector<xcb_window_t> ids;
            if (const auto desktop = readDesktop(*x, std::nullopt)) {
                for (const Placed &p : place(*x, *desktop, desktop->children, everything)) {
                    if (!p.overrideRedirect)
                        ids.push_back(p.id);
                }
            }
            const std::vector<std::int32_t> pids = pidsOf(*x, ids);
            const auto found = std::find(pids.begin(), pids.end(), pid);
            if (found != pids.end()) {
                const xcb_window_t w = ids[static_cast<std::size_t>(found - pids.begin())];
                const auto gtkCookie = askProperty(*x, w, x->atom(gtkApplicationID), x->atom(utf8String));
                const auto classCookie = askProperty(*x, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
                const QString gtkID = QString::fromUtf8(bytes(property(*x, gtkCookie).get()));
                const auto [instance, klass] = wmClass(property(*x, classCookie).get());
                if (!gtkID.isEmpty())
                    return gtkID;
                const auto &table = desktopIDsByWMClass();
                for (const QString &key : {klass, instance}) {
                    if (key.isEmpty() || fromWMClass)
                        continue;
                    if (auto it = table.find(key); it != table.end())
                        fromWMClass = it->second;
                    else if (auto byName = table.find(QStringLiteral("file:") + key.toLower()); byName != table.end())
                        fromWMClass = byName->second;
                }
            }
        }
        if (auto id = ProcessIdentity::desktopFileFromEnvironment(pid))
            return id;
        if (fromWMClass)
            return fromWMClass;
        return ProcessIdentity::executableName(pid);
    }

    std::optional<QString> processName(std::int32_t pid) override { return ProcessIdentity::commandName(pid); }

    std::optional<ActiveWindow> activeWindow() override
    {
        const Server *x = server();
        if (!x)
            return std::nullopt;
        const auto active =
            values32(property(*x, askProperty(*x, x->root, x->atom(netActiveWindow), XCB_ATOM_WINDOW)).get());
        if (active.empty() || active.front() == XCB_WINDOW_NONE)
            return std::nullopt;
        ActiveWindow out;
        out.windowID = active.front();
        if (const std::int32_t pid = pidsOf(*x, {out.windowID}).front(); pid > 0) {
            out.pid = pid;
            out.applicationID = applicationID(pid);
        }
        return out;
    }

    std::uint32_t topmostWindowNumber(QPointF quartzPoint) override
    {
        const auto w = frontmostWindowAt(quartzPoint, [](const WindowInfo &info) { return info.windowID.has_value(); });
        return w ? *w->windowID : 0;
    }

private:
    static bool everything(const QRect &) { return true; }
    static std::function<bool(const QRect &)> containing(QPointF pixel)
    {
        return [pixel](const QRect &r) { return containsHalfOpen(QRectF(r), pixel); };
    }
};

} // namespace

std::shared_ptr<WindowList> WindowList::makeDefault()
{
    return std::make_shared<X11WindowList>();
}

} // namespace Lumivox::Native
