// Screen pictures on X11. Displays are the RandR monitors (else the whole root window); a display
// strip is read from the root window (through shared memory when the server offers it); a window is
// read from its own off-screen pixmap when a compositing manager keeps one, else from the screen
// clipped to it. X11 has no way to leave windows out of a picture of the screen, so the windows of
// excluded applications, and always our own (the tooltip sits in the very strip we read), are painted
// over with the colour around them before the image is handed back.

#include "Native/Capture/ScreenCapture.h"
#include "Native/Services.h"
#include "Native/Windows/WindowList.h"
#include "Native/X11/X11Connection.h"
#include "Native/X11/X11Screen.h"

#include <QHash>
#include <QLoggingCategory>
#include <QRegion>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xcomposite.h>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

namespace Lumivox::Native {

namespace {

Q_LOGGING_CATEGORY(lcCapture, "app.lumivox.Capture")

using namespace CaptureFailureCode;

CaptureFailure failure(long long code, const char *message)
{
    return CaptureFailure {CaptureFailureCode::domain, code, QString::fromLatin1(message)};
}

QRect toPixels(const QRectF &points, double scale)
{
    const int left = static_cast<int>(std::lround(points.left() * scale));
    const int top = static_cast<int>(std::lround(points.top() * scale));
    const int right = static_cast<int>(std::lround(points.right() * scale));
    const int bottom = static_cast<int>(std::lround(points.bottom() * scale));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QRect rootRect(Display *d)
{
    const Screen *screen = DefaultScreenOfDisplay(d);
    return QRect(0, 0, WidthOfScreen(screen), HeightOfScreen(screen));
}

// ---- pixels ---------------------------------------------------------------------------------

struct Channel
{
    int shift = 0;
    unsigned long max = 0;
};

Channel channel(unsigned long mask)
{
    Channel c;
    if (!mask)
        return c;
    while (!(mask & 1UL)) {
        mask >>= 1;
        ++c.shift;
    }
    c.max = mask;
    return c;
}

int channelValue(unsigned long pixel, const Channel &c)
{
    if (!c.max)
        return 0;
    return static_cast<int>(((pixel >> c.shift) & c.max) * 255 / c.max);
}

QImage toQImage(XImage *image)
{
    QImage out(image->width, image->height, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    const bool plain = image->bits_per_pixel == 32 && image->byte_order == LSBFirst && image->red_mask == 0xff0000
        && image->green_mask == 0xff00 && image->blue_mask == 0xff;
    if (plain) {
        const std::size_t rowBytes = static_cast<std::size_t>(image->width) * 4;
        for (int y = 0; y < image->height; ++y) {
            auto *row = reinterpret_cast<quint32 *>(out.scanLine(y));
            std::memcpy(row, image->data + static_cast<std::ptrdiff_t>(y) * image->bytes_per_line, rowBytes);
            for (int x = 0; x < image->width; ++x)
                row[x] |= 0xff000000u; // the server leaves the unused byte undefined
        }
        return out;
    }
    const Channel red = channel(image->red_mask);
    const Channel green = channel(image->green_mask);
    const Channel blue = channel(image->blue_mask);
    for (int y = 0; y < image->height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < image->width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            row[x] = qRgb(channelValue(p, red), channelValue(p, green), channelValue(p, blue));
        }
    }
    return out;
}

// One shared-memory image per thread (each thread has its own connection), reused while the strip
// size stays the same, which it does from hover to hover.
class SharedMemoryGrabber
{
public:
    SharedMemoryGrabber() = default;
    SharedMemoryGrabber(const SharedMemoryGrabber &) = delete;
    SharedMemoryGrabber &operator=(const SharedMemoryGrabber &) = delete;
    ~SharedMemoryGrabber() { release(); }

    std::optional<QImage> grab(Display *d, Drawable drawable, const QRect &rect)
    {
        if (m_unusable.count(d) > 0)
            return std::nullopt;
        if (!m_image || m_display != d || m_image->width != rect.width() || m_image->height != rect.height()) {
            release();
            if (!create(d, rect.width(), rect.height())) {
                m_unusable.insert(d);
                return std::nullopt;
            }
        }
        if (!XShmGetImage(d, drawable, m_image, rect.x(), rect.y(), AllPlanes))
            return std::nullopt;
        return toQImage(m_image);
    }

private:
    bool create(Display *d, int width, int height)
    {
        if (!XShmQueryExtension(d))
            return false;
        const int screen = DefaultScreen(d);
        m_image = XShmCreateImage(d, DefaultVisual(d, screen), static_cast<unsigned>(DefaultDepth(d, screen)), ZPixmap,
                                  nullptr, &m_info, static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (!m_image)
            return false;
        m_info.shmid =
            shmget(IPC_PRIVATE, static_cast<std::size_t>(m_image->bytes_per_line) * height, IPC_CREAT | 0600);
        if (m_info.shmid < 0) {
            destroyImage();
            return false;
        }
        void *address = shmat(m_info.shmid, nullptr, 0);
        if (address == reinterpret_cast<void *>(-1)) {
            shmctl(m_info.shmid, IPC_RMID, nullptr);
            destroyImage();
            return false;
        }
        m_info.shmaddr = m_image->data = static_cast<char *>(address);
        m_info.readOnly = False;
        bool attached = false;
        {
            X11::ErrorTrap trap(d); // a server on another machine cannot attach
            attached = XShmAttach(d, &m_info) && !trap.failed();
        }
        // Marked for removal at once, so the segment never outlives the process, however it ends.
        shmctl(m_info.shmid, IPC_RMID, nullptr);
        if (!attached) {
            shmdt(m_info.shmaddr);
            destroyImage();
            return false;
        }
        m_display = d;
        return true;
    }

    void destroyImage()
    {
        if (m_image) {
            m_image->data = nullptr; // the segment is not Xlib's to free
            XDestroyImage(m_image);
            m_image = nullptr;
        }
    }

    void release()
    {
        if (!m_image)
            return;
        if (m_display) {
            XShmDetach(m_display, &m_info);
            XSync(m_display, False);
        }
        shmdt(m_info.shmaddr);
        destroyImage();
        m_display = nullptr;
    }

    Display *m_display = nullptr;
    XImage *m_image = nullptr;
    XShmSegmentInfo m_info {};
    std::set<Display *> m_unusable;
};

std::optional<QImage> readDrawable(Display *d, Drawable drawable, const QRect &rect, bool viaSharedMemory)
{
    if (viaSharedMemory) {
        thread_local SharedMemoryGrabber grabber;
        if (auto image = grabber.grab(d, drawable, rect))
            return image;
    }
    XImage *image = XGetImage(d, drawable, rect.x(), rect.y(), static_cast<unsigned>(rect.width()),
                              static_cast<unsigned>(rect.height()), AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt; // outside the drawable, or no such drawable
    QImage out = toQImage(image);
    XDestroyImage(image);
    if (out.isNull())
        return std::nullopt;
    return out;
}

// ---- windows over the strip -------------------------------------------------------------------

struct TopLevel
{
    Window id = 0;
    QRect rect; // root pixels, border included
};

std::vector<Window> rootChildrenBottomFirst(Display *d);

/// The viewable top-level windows that overlap `area`, topmost first.
std::vector<TopLevel> topLevelsOver(Display *d, const QRect &area)
{
    std::vector<TopLevel> out;
    const std::vector<Window> stack = rootChildrenBottomFirst(d);
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        XWindowAttributes a {};
        if (!XGetWindowAttributes(d, *it, &a))
            continue; // gone meanwhile
        if (a.map_state != IsViewable || a.c_class == InputOnly)
            continue;
        const QRect rect(a.x, a.y, a.width + 2 * a.border_width, a.height + 2 * a.border_width);
        if (rect.intersects(area))
            out.push_back({*it, rect});
    }
    return out;
}

// A property of 32-bit items (Xlib hands them over as longs); empty when absent or of another kind.
std::vector<unsigned long> longProperty(Display *d, Window w, Atom name, Atom type, long maxItems)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(d, w, name, 0, maxItems, False, type, &actualType, &format, &count, &after, &data) == Success
        && data && format == 32) {
        const auto *items = reinterpret_cast<const unsigned long *>(data);
        out.assign(items, items + count);
    }
    if (data)
        XFree(data);
    return out;
}

std::optional<std::int32_t> netWMPid(Display *d, Window w)
{
    static thread_local Atom pidAtom = 0;
    if (!pidAtom)
        pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    const auto values = longProperty(d, w, pidAtom, XA_CARDINAL, 1);
    if (values.size() != 1)
        return std::nullopt;
    return static_cast<std::int32_t>(values.front());
}

std::optional<std::int32_t> clientPid(Display *d, Window w)
{
    int event = 0;
    int error = 0;
    if (!XResQueryExtension(d, &event, &error))
        return std::nullopt;
    XResClientIdSpec wanted {w, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue *values = nullptr;
    if (XResQueryClientIds(d, 1, &wanted, &count, &values) != Success)
        return std::nullopt;
    std::optional<std::int32_t> pid;
    for (long i = 0; i < count && !pid; ++i) {
        if (const pid_t p = XResGetClientPid(&values[i]); p > 0)
            pid = p;
    }
    XResClientIdsDestroy(count, values);
    return pid;
}

/// The process behind a top-level window: the window's own, else that of the client a window
/// manager framed inside it (a few levels down), else the X client that made the window.
std::optional<std::int32_t> ownerPid(Display *d, Window top)
{
    std::vector<Window> level {top};
    for (int depth = 0; depth < 4 && !level.empty(); ++depth) {
        std::vector<Window> next;
        for (Window w : level) {
            if (auto pid = netWMPid(d, w))
                return pid;
            Window rootReturn = 0;
            Window parent = 0;
            Window *children = nullptr;
            unsigned int count = 0;
            if (XQueryTree(d, w, &rootReturn, &parent, &children, &count))
                next.insert(next.end(), children, children + count);
            if (children)
                XFree(children);
        }
        level = std::move(next);
    }
    return clientPid(d, top);
}

Window topLevelAncestor(Display *d, Window w)
{
    const Window root = DefaultRootWindow(d);
    for (int guard = 0; guard < 64; ++guard) {
        Window rootReturn = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        const bool ok = XQueryTree(d, w, &rootReturn, &parent, &children, &count);
        if (children)
            XFree(children);
        if (!ok || parent == 0 || parent == root)
            return w;
        w = parent;
    }
    return w;
}

/// The colour that surrounds a region in the image: what the painted-over windows most likely hid.
QRgb surroundingColour(const QImage &image, const QRegion &region)
{
    QHash<QRgb, int> counts;
    auto sample = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < image.width() && y < image.height() && !region.contains(QPoint(x, y)))
            ++counts[image.pixel(x, y)];
    };
    for (const QRect &r : region) {
        for (int x = r.left() - 1; x <= r.right() + 1; ++x) {
            sample(x, r.top() - 1);
            sample(x, r.bottom() + 1);
        }
        for (int y = r.top(); y <= r.bottom(); ++y) {
            sample(r.left() - 1, y);
            sample(r.right() + 1, y);
        }
    }
    QRgb best = qRgb(255, 255, 255);
    int bestCount = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > bestCount) {
            best = it.key();
            bestCount = it.value();
        }
    }
    return best;
}

/// `region` is in root pixels; `origin` is where the image's top-left pixel lies on the root.
void paintOut(QImage &image, const QRegion &region, QPoint origin)
{
    const QRegion local = region.translated(-origin) & QRect(QPoint(0, 0), image.size());
    if (local.isEmpty())
        return;
    const QRgb fill = surroundingColour(image, local);
    for (const QRect &r : local) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            std::fill(row + r.left(), row + r.right() + 1, fill);
        }
    }
}

std::vector<Window> rootChildrenBottomFirst(Display *d)
{
    Window rootReturn = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &rootReturn, &parent, &children, &count))
        count = 0;
    std::vector<Window> out(children, children + count);
    if (children)
        XFree(children);
    return out;
}

std::optional<QRect> viewableRect(Display *d, Window w)
{
    XWindowAttributes a {};
    if (!XGetWindowAttributes(d, w, &a))
        return std::nullopt; // gone meanwhile
    if (a.map_state != IsViewable || a.c_class == InputOnly)
        return std::nullopt;
    return QRect(a.x, a.y, a.width + 2 * a.border_width, a.height + 2 * a.border_width);
}

/// The processes of the server's clients, by the base of the ids each client creates, so that a
/// window's owner is known without asking about each window.
struct ClientProcesses
{
    unsigned long idMask = 0;
    std::map<XID, std::int32_t> pidByBase;

    std::optional<std::int32_t> owner(XID id) const
    {
        auto it = pidByBase.find(id & ~idMask);
        return it == pidByBase.end() ? std::nullopt : std::optional<std::int32_t>(it->second);
    }
};

std::optional<ClientProcesses> clientProcesses(Display *d)
{
    static thread_local const bool hasClientIds = [d] {
        int event = 0;
        int error = 0;
        int major = 0;
        int minor = 0;
        return XResQueryExtension(d, &event, &error) && XResQueryVersion(d, &major, &minor)
            && (major > 1 || (major == 1 && minor >= 2));
    }();
    if (!hasClientIds)
        return std::nullopt;
    ClientProcesses out;
    {
        int count = 0;
        XResClient *clients = nullptr;
        if (!XResQueryClients(d, &count, &clients) || count < 1) {
            if (clients)
                XFree(clients);
            return std::nullopt;
        }
        out.idMask = clients[0].resource_mask;
        XFree(clients);
    }
    XResClientIdSpec all {0, XRES_CLIENT_ID_PID_MASK}; // client 0: every client
    long count = 0;
    XResClientIdValue *values = nullptr;
    if (XResQueryClientIds(d, 1, &all, &count, &values) != Success)
        return std::nullopt;
    for (long i = 0; i < count; ++i) {
        const auto &[client, length, value] = values[i];
        if (const pid_t pid = XResGetClientPid(&values[i]); pid > 0)
            out.pidByBase[client.client & ~out.idMask] = pid;
    }
    XResClientIdsDestroy(count, values);
    return out;
}

std::vector<Window> managedClients(Display *d)
{
    static thread_local Atom listAtom = 0;
    if (!listAtom)
        listAtom = XInternAtom(d, "_NET_CLIENT_LIST", False);
    const auto ids = longProperty(d, DefaultRootWindow(d), listAtom, XA_WINDOW, 1 << 16);
    return std::vector<Window>(ids.begin(), ids.end());
}

/// The visible parts of the windows that belong to `pids`, within `area`. Only the windows of
/// those processes and the ones stacked above them are looked at: a strip is read on every hover,
/// and a round trip for each of the desktop's windows would cost more than reading the pixels.
QRegion visibleWindowsOf(Display *d, const QRect &area, const std::set<std::int32_t> &pids)
{
    const auto processes = clientProcesses(d);
    if (!processes) {
        // No X-Resource extension: ask each window for its process.
        QRegion covered;
        QRegion out;
        for (const TopLevel &top : topLevelsOver(d, area)) {
            const QRegion visible = QRegion(top.rect & area) - covered;
            if (!visible.isEmpty()) {
                if (auto pid = ownerPid(d, top.id); pid && pids.count(*pid) > 0)
                    out += visible;
            }
            covered += top.rect;
        }
        return out;
    }

    auto isExcluded = [&](XID id) {
        const auto pid = processes->owner(id);
        return pid && pids.count(*pid) > 0;
    };
    const std::vector<Window> stack = rootChildrenBottomFirst(d);
    std::set<Window> excludedTops;
    for (Window w : stack) {
        if (isExcluded(w))
            excludedTops.insert(w);
    }
    // A window manager frames the clients it manages: the frame is its, the client inside ours.
    for (Window client : managedClients(d)) {
        if (isExcluded(client))
            excludedTops.insert(topLevelAncestor(d, client));
    }

    std::map<Window, QRect> shown;
    for (Window w : excludedTops) {
        if (auto rect = viewableRect(d, w); rect && rect->intersects(area))
            shown.emplace(w, *rect);
    }
    QRegion out;
    QRegion covered;
    for (auto it = stack.rbegin(); it != stack.rend() && !shown.empty(); ++it) {
        if (auto found = shown.find(*it); found != shown.end()) {
            out += QRegion(found->second & area) - covered;
            covered += found->second;
            shown.erase(found);
        } else if (auto rect = viewableRect(d, *it); rect && rect->intersects(area)) {
            covered += *rect;
        }
    }
    return out;
}

QImage fitted(QImage image, QSize outputSize)
{
    if (outputSize.isValid() && !outputSize.isEmpty() && image.size() != outputSize)
        return image.scaled(outputSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

// ---- the backend ------------------------------------------------------------------------------

class X11ScreenCapture final : public ScreenCapture
{
public:
    bool hasScreenRecordingPermission() override { return !X11::isWaylandSession() && X11::isAvailable(); }

    ContentReply shareableContent(bool, bool) override
    {
        // The window list leaves desktop elements out and lists on-screen windows only; neither
        // changes what can be captured here.
        if (X11::isWaylandSession())
            return failure(notPermitted, "the screen cannot be read in a Wayland session");
        Display *d = X11::display();
        if (!d)
            return failure(noDisplay, "no X display");
        // One trap for the whole operation: each request reports its own failure, and a trap per
        // request would cost a round trip each.
        X11::ErrorTrap trap(d);

        ShareableContent content;
        content.displays = displays(d);

        auto windowList = service<WindowList>();
        std::set<std::int32_t> pids {static_cast<std::int32_t>(::getpid())};
        for (const WindowInfo &w : windowList->windows()) {
            if (!w.windowID || !w.bounds)
                continue;
            content.windows.push_back({*w.windowID, *w.bounds, w.pid});
            if (w.pid)
                pids.insert(*w.pid);
        }
        for (std::int32_t pid : pids)
            content.applications.push_back({pid, windowList->applicationID(pid)});
        return content;
    }

    ImageReply captureDisplay(const DisplayFilter &filter, const CaptureConfiguration &configuration) override
    {
        if (X11::isWaylandSession())
            return failure(notPermitted, "the screen cannot be read in a Wayland session");
        Display *d = X11::display();
        if (!d)
            return failure(noDisplay, "no X display");
        X11::ErrorTrap trap(d);
        const CaptureDisplay &display = filter.display;
        // Each monitor is scaled from its own corner, so the strip is scaled within the display and
        // then placed at the display's pixel origin.
        const ScreenLayout layout = X11::screenLayout();
        const QPointF origin = layout.toPixels(display.frame.topLeft());
        const double scale = display.frame.width() > 0 && display.pixelWidth > 0
            ? display.pixelWidth / display.frame.width()
            : layout.screenAtPixel(origin).value_or(LayoutScreen {}).factor;
        const QRect area = toPixels(configuration.sourceRect, scale)
                               .translated(int(std::lround(origin.x())), int(std::lround(origin.y())))
            & rootRect(d);
        if (area.isEmpty())
            return failure(invalidRegion, "the region lies outside the screen");

        auto image = readDrawable(d, DefaultRootWindow(d), area, true);
        if (!image)
            return failure(readFailed, "the screen could not be read");

        std::set<std::int32_t> excluded(filter.excludedApplicationPIDs.begin(), filter.excludedApplicationPIDs.end());
        excluded.insert(static_cast<std::int32_t>(::getpid()));
        paintOut(*image, visibleWindowsOf(d, area, excluded), area.topLeft());
        return fitted(std::move(*image), configuration.outputSize);
    }

    ImageReply captureWindow(const CaptureWindow &window, const CaptureConfiguration &configuration) override
    {
        if (X11::isWaylandSession())
            return failure(notPermitted, "the screen cannot be read in a Wayland session");
        Display *d = X11::display();
        if (!d)
            return failure(noDisplay, "no X display");
        X11::ErrorTrap trap(d);
        const Window target = static_cast<Window>(window.windowID);

        XWindowAttributes attributes {};
        int rootX = 0;
        int rootY = 0;
        {
            Window child = 0;
            if (!XGetWindowAttributes(d, target, &attributes)
                || !XTranslateCoordinates(d, target, DefaultRootWindow(d), 0, 0, &rootX, &rootY, &child))
                return failure(windowGone, "the window is gone");
        }
        if (attributes.map_state != IsViewable)
            return failure(windowGone, "the window is not on screen");

        // The source is in the points of the display the strip is read from (the window's frame as
        // seen from there), whose scale the output size carries; without one, the monitor that
        // holds the window's centre.
        const QRectF &source = configuration.sourceRect;
        const double scale = source.width() > 0 && configuration.outputSize.width() > 0
            ? configuration.outputSize.width() / source.width()
            : X11::screenLayout()
                  .screenAtPixel(QRectF(rootX, rootY, attributes.width, attributes.height).center())
                  .value_or(LayoutScreen {})
                  .factor;
        const QRect local =
            toPixels(configuration.sourceRect, scale) & QRect(0, 0, attributes.width, attributes.height);
        if (local.isEmpty())
            return failure(invalidRegion, "the region lies outside the window");

        if (auto image = fromWindowPixmap(d, target, local))
            return fitted(std::move(*image), configuration.outputSize);

        // No off-screen copy of the window: read the screen where the window is, and paint over
        // whatever covers it there, so that only the window itself shows.
        qCDebug(lcCapture) << "no off-screen copy of window" << window.windowID << "- reading the screen";
        const QRect windowOnRoot(rootX, rootY, attributes.width, attributes.height);
        const QRect wanted = local.translated(rootX, rootY);
        const QRect area = wanted & rootRect(d);
        if (area.isEmpty())
            return failure(invalidRegion, "the window lies outside the screen");
        auto read = readDrawable(d, DefaultRootWindow(d), area, true);
        if (!read)
            return failure(readFailed, "the screen could not be read");
        // Where the window hangs off the screen there is nothing to read; the image keeps the
        // window's proportions and that part is painted over like a covered one.
        std::optional<QImage> image = std::move(read);
        if (area != wanted) {
            QImage whole(wanted.size(), QImage::Format_RGB32);
            whole.fill(Qt::white);
            for (int y = 0; y < image->height(); ++y) {
                const auto *from = reinterpret_cast<const QRgb *>(image->constScanLine(y));
                auto *to = reinterpret_cast<QRgb *>(whole.scanLine(y + area.top() - wanted.top()));
                std::copy(from, from + image->width(), to + (area.left() - wanted.left()));
            }
            image = std::move(whole);
        }

        const Window targetTop = topLevelAncestor(d, target);
        QRegion covered;
        for (const TopLevel &top : topLevelsOver(d, area)) {
            if (top.id == targetTop)
                break;
            covered += top.rect;
        }
        const QRegion visible = QRegion(windowOnRoot & area) - covered;
        paintOut(*image, QRegion(wanted) - visible, wanted.topLeft());
        return fitted(std::move(*image), configuration.outputSize);
    }

private:
    static std::vector<CaptureDisplay> displays(Display *d)
    {
        const ScreenLayout layout = X11::screenLayout();
        const QRectF root(rootRect(d));
        std::vector<CaptureDisplay> out;
        for (const X11::Monitor &m : X11::monitors(d)) {
            const LayoutScreen screen =
                layout.screenAtPixel(QRectF(m.pixels).center()).value_or(LayoutScreen {m.pixels});
            out.push_back({m.name, ScreenLayout::toPointsOn(screen, QRectF(m.pixels)), m.pixels.width(),
                           m.pixels.height(), ScreenLayout::toPointsOn(screen, root)});
        }
        return out;
    }

    /// The window's own pixels, kept off screen by a compositing manager; none when it keeps none.
    static std::optional<QImage> fromWindowPixmap(Display *d, Window target, const QRect &local)
    {
        // Asked once per thread, as each thread has its own connection.
        static thread_local const bool hasWindowPixmaps = [d] {
            int event = 0;
            int error = 0;
            int major = 0;
            int minor = 2;
            return XCompositeQueryExtension(d, &event, &error) && XCompositeQueryVersion(d, &major, &minor)
                && (major > 0 || minor >= 2);
        }();
        if (!hasWindowPixmaps)
            return std::nullopt;
        // Redirection is per top-level window; a framed client lies inside its frame's pixmap.
        const Window top = topLevelAncestor(d, target);
        XWindowAttributes topAttributes {};
        int offsetX = 0;
        int offsetY = 0;
        {
            Window child = 0;
            if (!XGetWindowAttributes(d, top, &topAttributes)
                || !XTranslateCoordinates(d, target, top, 0, 0, &offsetX, &offsetY, &child))
                return std::nullopt;
        }
        // Without a compositing manager the window is not redirected: naming fails, and so does
        // reading the pixmap, which is how we learn it without another round trip.
        const Pixmap pixmap = XCompositeNameWindowPixmap(d, top);
        // The pixmap includes the frame's border.
        const QRect inPixmap =
            local.translated(offsetX + topAttributes.border_width, offsetY + topAttributes.border_width)
            & QRect(0, 0, topAttributes.width + 2 * topAttributes.border_width,
                    topAttributes.height + 2 * topAttributes.border_width);
        std::optional<QImage> image;
        if (!inPixmap.isEmpty())
            image = readDrawable(d, pixmap, inPixmap, false);
        XFreePixmap(d, pixmap);
        return image;
    }
};

} // namespace

std::shared_ptr<ScreenCapture> ScreenCapture::makeDefault()
{
    return std::make_shared<X11ScreenCapture>();
}

} // namespace Lumivox::Native
