#include "Support/RunningLumivox.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <functional>

namespace Lumivox::Testing {

namespace {

int xErrorCode = 0;
int recordXError(Display *, XErrorEvent *event)
{
    xErrorCode = event->error_code;
    return 0;
}

} // namespace

bool keyIsTaken(Display *d, unsigned long keysym, unsigned int modifiers)
{
    xErrorCode = 0;
    const auto previous = XSetErrorHandler(recordXError);
    const Window root = DefaultRootWindow(d);
    const KeyCode code = XKeysymToKeycode(d, keysym);
    XGrabKey(d, code, modifiers, root, True, GrabModeAsync, GrabModeAsync);
    XSync(d, False);
    const bool taken = xErrorCode == BadAccess;
    if (!taken)
        XUngrabKey(d, code, modifiers, root);
    XSync(d, False);
    XSetErrorHandler(previous);
    return taken;
}

bool keyboardIsHeld(Display *d)
{
    const int status = XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (status == GrabSuccess)
        XUngrabKeyboard(d, CurrentTime);
    XSync(d, False);
    return status == AlreadyGrabbed;
}

bool pointerIsHeld(Display *d)
{
    const int status = XGrabPointer(d, DefaultRootWindow(d), False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None,
                                    None, CurrentTime);
    if (status == GrabSuccess)
        XUngrabPointer(d, CurrentTime);
    XSync(d, False);
    return status == AlreadyGrabbed;
}

std::vector<unsigned long> windowIDsOf(Display *d, qint64 pid)
{
    std::vector<unsigned long> out;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    const Atom netWmPid = XInternAtom(d, "_NET_WM_PID", False);
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
        return out;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes a {};
        if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable)
            continue;
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char *value = nullptr;
        if (XGetWindowProperty(d, children[i], netWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                               &value)
                == Success
            && value) {
            if (items == 1 && qint64(*reinterpret_cast<unsigned long *>(value)) == pid)
                out.push_back(children[i]);
            XFree(value);
        }
    }
    XFree(children);
    return out;
}

std::optional<QJsonObject> RunningLumivox::altHoverOutcome(XTestInjector &input, Display *display, QPoint pixel)
{
    const qsizetype before = events().size();
    if (!moveAndRest(input, pixel))
        return std::nullopt;
    input.key(XK_Alt_L, true);
    std::optional<QJsonObject> outcome;
    spinUntil(
        [&] {
            const QJsonArray all = events();
            for (qsizetype i = before; i < all.size() && !outcome; ++i) {
                // "busy" is a rest that came while this hover was still being read: the hover's own
                // outcome follows.
                const QString reason = all[i].toObject().value(QStringLiteral("reason")).toString();
                if (reason != QLatin1String("holdKeyNotPressed") && reason != QLatin1String("busy"))
                    outcome = all[i].toObject();
            }
            return outcome.has_value();
        },
        30s);
    input.key(XK_Alt_L, false);
    spinUntil([&] { return windowsOf(display, process.processId()).empty(); }, 10s);
    return outcome;
}

std::optional<QString> RunningLumivox::wordRead(const QJsonObject &outcome)
{
    static const QStringList read {
        "shown",          "wordFiltered",     "appleModelMissing", "appleSessionMissing", "appleFailed",
        "sourceIsTarget", "googleKeyMissing", "googleFailed",      "translationEmpty",    "translationCooldown"};
    const QString word = outcome.value(QStringLiteral("word")).toString();
    if (!read.contains(outcome.value(QStringLiteral("reason")).toString()) || word.isEmpty())
        return std::nullopt;
    return word;
}

std::vector<QRect> windowsOf(Display *d, qint64 pid)
{
    std::vector<QRect> out;
    for (const unsigned long window : windowIDsOf(d, pid)) {
        XWindowAttributes a {};
        if (XGetWindowAttributes(d, window, &a))
            out.emplace_back(a.x, a.y, a.width, a.height);
    }
    return out;
}

unsigned long windowTitled(Display *d, qint64 pid, const char *title)
{
    for (const unsigned long window : windowIDsOf(d, pid)) {
        char *name = nullptr;
        if (!XFetchName(d, window, &name) || !name)
            continue;
        const bool found = qstrcmp(name, title) == 0;
        XFree(name);
        if (found)
            return window;
    }
    return 0;
}

std::vector<TreeWindow> windowsInTree(Display *d, qint64 pid)
{
    std::vector<TreeWindow> found;
    const Atom netWmPid = XInternAtom(d, "_NET_WM_PID", False);
    std::function<void(Window)> visit = [&](Window window) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(d, window, &root, &parent, &children, &count))
            return;
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes a {};
            if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable) {
                Atom type = 0;
                int format = 0;
                unsigned long items = 0, after = 0;
                unsigned char *value = nullptr;
                bool ours = false;
                if (XGetWindowProperty(d, children[i], netWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                                       &after, &value)
                        == Success
                    && value) {
                    ours = items == 1 && format == 32 && qint64(*reinterpret_cast<unsigned long *>(value)) == pid;
                    XFree(value);
                }
                if (ours) {
                    char *name = nullptr;
                    XFetchName(d, children[i], &name);
                    int x = 0, y = 0;
                    Window child = 0;
                    XTranslateCoordinates(d, children[i], DefaultRootWindow(d), 0, 0, &x, &y, &child);
                    found.push_back({children[i], QRect(x, y, a.width, a.height), QByteArray(name ? name : "")});
                    if (name)
                        XFree(name);
                }
            }
            visit(children[i]);
        }
        if (children)
            XFree(children);
    };
    visit(DefaultRootWindow(d));
    return found;
}

bool startTrayPanel(Display *d, QProcess &trayer, const QStringList &looks)
{
    trayer.start(QStringLiteral("trayer"),
                 QStringList {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                              QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                              QStringLiteral("--height"), QStringLiteral("24"), QStringLiteral("--SetDockType"),
                              QStringLiteral("true")}
                     + looks);
    if (!trayer.waitForStarted(10000))
        return false;
    const Atom trayOwner = XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False);
    return spinUntil([&] { return XGetSelectionOwner(d, trayOwner) != None; }, std::chrono::seconds(20));
}

QRect trayIconOf(Display *d, qint64 pid)
{
    // The panel is 24 pixels high at the top; the icon is the program's small window inside it.
    QRect icon;
    spinUntil(
        [&] {
            for (const TreeWindow &w : windowsInTree(d, pid)) {
                if (w.frame.width() <= 32 && w.frame.top() < 24)
                    icon = w.frame;
            }
            return !icon.isEmpty();
        },
        std::chrono::seconds(30));
    return icon;
}

void tapKey(Display *d, const char *key)
{
    const KeyCode code = XKeysymToKeycode(d, XStringToKeysym(key));
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XFlush(d);
}

bool openTrayMenu(Display *d, const QRect &icon, qint64 pid)
{
    // A click on the spot of the previous one within the double-click time is a double click,
    // which opens no menu: the clicks take turns left and right of the icon's centre, further
    // apart than a double click may be.
    static int clicks = 0;
    const int x = icon.center().x() + (clicks++ % 2 == 0 ? -5 : 5);
    XTestFakeMotionEvent(d, -1, x, icon.center().y(), CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XFlush(d);
    // The menu: tall and narrow, unlike the program's windows.
    const bool opened = spinUntil(
        [&] {
            for (const TreeWindow &w : windowsInTree(d, pid)) {
                if (w.frame.height() > 200 && w.frame.width() < 400)
                    return true;
            }
            return false;
        },
        std::chrono::seconds(10));
    return opened;
}

bool chooseInTrayMenu(Display *d, const QRect &icon, qint64 pid, int nth)
{
    if (!openTrayMenu(d, icon, pid))
        return false;
    for (int i = 0; i < std::abs(nth); ++i)
        tapKey(d, nth > 0 ? "Down" : "Up");
    tapKey(d, "Return");
    return true;
}

} // namespace Lumivox::Testing
