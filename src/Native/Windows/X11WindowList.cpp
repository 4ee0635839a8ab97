// The window list on X11. With a window manager, its _NET_CLIENT_LIST_STACKING gives the managed
// clients (bottom to top); override-redirect popups (tooltips, menus) are root children outside that
// list and sit above it. Without a window manager the root's children are the clients themselves.
// Process ids come from _NET_WM_PID, else from the X-Resource extension (the owning client).

#include "Native/Windows/WindowList.h"
#include "Native/X11/X11Connection.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QSettings>
#include <QStandardPaths>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>

#include <map>
#include <mutex>

Q_DECLARE_LOGGING_CATEGORY(lcX11)

namespace Lumivox::Native {

namespace {

// Layers in the order the rest of the program reads them: above 19 is a system overlay.
constexpr int normalLayer = 0;
constexpr int aboveLayer = 3;
constexpr int dockLayer = 20;
constexpr int popupLayer = 101;

Atom atom(Display *d, const char *name)
{
    return XInternAtom(d, name, False);
}

std::vector<unsigned char> property(Display *d, Window w, Atom name, Atom type, int &format, unsigned long &count)
{
    Atom actualType = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    count = 0;
    format = 0;
    X11::ErrorTrap trap(d);
    if (XGetWindowProperty(d, w, name, 0, 1 << 16, False, type, &actualType, &format, &count, &after, &data) != Success
        || trap.failed() || !data) {
        if (data)
            XFree(data);
        count = 0;
        return {};
    }
    const std::size_t bytes = format == 32 ? count * sizeof(long) : count * (format / 8);
    std::vector<unsigned char> out(data, data + bytes);
    XFree(data);
    return out;
}

std::optional<unsigned long> cardinal(Display *d, Window w, const char *name)
{
    int format = 0;
    unsigned long count = 0;
    auto data = property(d, w, atom(d, name), XA_CARDINAL, format, count);
    if (format != 32 || count < 1)
        return std::nullopt;
    return reinterpret_cast<const unsigned long *>(data.data())[0];
}

std::vector<Atom> atoms(Display *d, Window w, const char *name)
{
    int format = 0;
    unsigned long count = 0;
    auto data = property(d, w, atom(d, name), XA_ATOM, format, count);
    if (format != 32)
        return {};
    const auto *values = reinterpret_cast<const Atom *>(data.data());
    return std::vector<Atom>(values, values + count);
}

QString utf8Property(Display *d, Window w, const char *name)
{
    int format = 0;
    unsigned long count = 0;
    auto data = property(d, w, atom(d, name), atom(d, "UTF8_STRING"), format, count);
    if (format != 8 || data.empty())
        return {};
    return QString::fromUtf8(reinterpret_cast<const char *>(data.data()), static_cast<qsizetype>(data.size()));
}

QString windowTitle(Display *d, Window w)
{
    QString title = utf8Property(d, w, "_NET_WM_NAME");
    if (!title.isEmpty())
        return title;
    int format = 0;
    unsigned long count = 0;
    auto data = property(d, w, XA_WM_NAME, AnyPropertyType, format, count);
    if (format == 8 && !data.empty())
        return QString::fromLocal8Bit(reinterpret_cast<const char *>(data.data()), static_cast<qsizetype>(data.size()));
    return {};
}

std::pair<QString, QString> wmClass(Display *d, Window w)
{
    XClassHint hint {};
    X11::ErrorTrap trap(d);
    if (!XGetClassHint(d, w, &hint) || trap.failed())
        return {};
    std::pair<QString, QString> out {QString::fromLocal8Bit(hint.res_name ? hint.res_name : ""),
                                     QString::fromLocal8Bit(hint.res_class ? hint.res_class : "")};
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return out;
}

std::optional<std::int32_t> pidOfClient(Display *d, Window w)
{
    if (auto pid = cardinal(d, w, "_NET_WM_PID"); pid && *pid > 0)
        return static_cast<std::int32_t>(*pid);
    int event = 0;
    int error = 0;
    if (!XResQueryExtension(d, &event, &error))
        return std::nullopt;
    XResClientIdSpec spec {w, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue *values = nullptr;
    X11::ErrorTrap trap(d);
    if (XResQueryClientIds(d, 1, &spec, &count, &values) != Success || trap.failed())
        return std::nullopt;
    std::optional<std::int32_t> pid;
    for (long i = 0; i < count; ++i) {
        const pid_t p = XResGetClientPid(&values[i]);
        if (p > 0) {
            pid = p;
            break;
        }
    }
    XResClientIdsDestroy(count, values);
    return pid;
}

double devicePixelRatio()
{
    // X11 pixels are points times the device pixel ratio.
    if (const QByteArray factor = qgetenv("QT_SCALE_FACTOR"); !factor.isEmpty()) {
        bool ok = false;
        const double value = factor.toDouble(&ok);
        if (ok && value > 0)
            return value;
    }
    return 1.0;
}

struct RawWindow
{
    Window id = 0;
    bool overrideRedirect = false;
};

// Desktop-file ids by StartupWMClass and by file name, read once.
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

std::optional<QString> desktopFileFromEnvironment(std::int32_t pid)
{
    QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &entry : file.readAll().split('\0')) {
        if (entry.startsWith("GIO_LAUNCHED_DESKTOP_FILE=")) {
            QString name = QFileInfo(QString::fromLocal8Bit(entry.mid(26))).fileName();
            if (name.endsWith(QLatin1String(".desktop")))
                name.chop(8);
            if (!name.isEmpty())
                return name;
        }
    }
    return std::nullopt;
}

std::optional<QString> executableName(std::int32_t pid)
{
    const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (!exe.isEmpty())
        return QFileInfo(exe).fileName();
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (comm.open(QIODevice::ReadOnly)) {
        const QString name = QString::fromLocal8Bit(comm.readAll()).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return std::nullopt;
}

class X11WindowList final : public WindowList
{
public:
    std::vector<WindowInfo> windows() override
    {
        std::vector<WindowInfo> out;
        Display *d = X11::display();
        if (!d)
            return out;
        const double scale = devicePixelRatio();
        for (const RawWindow &raw : stackTopFirst(d)) {
            if (auto info = describe(d, raw, scale))
                out.push_back(std::move(*info));
        }
        return out;
    }

    std::optional<QString> applicationID(std::int32_t pid) override
    {
        if (pid <= 0 || !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
            return std::nullopt;
        if (Display *d = X11::display()) {
            for (const RawWindow &raw : stackTopFirst(d)) {
                if (raw.overrideRedirect || pidOfClient(d, raw.id) != pid)
                    continue;
                const QString gtkID = utf8Property(d, raw.id, "_GTK_APPLICATION_ID");
                if (!gtkID.isEmpty())
                    return gtkID;
                break;
            }
        }
        if (auto id = desktopFileFromEnvironment(pid))
            return id;
        if (Display *d = X11::display()) {
            for (const RawWindow &raw : stackTopFirst(d)) {
                if (raw.overrideRedirect || pidOfClient(d, raw.id) != pid)
                    continue;
                const auto [instance, klass] = wmClass(d, raw.id);
                const auto &table = desktopIDsByWMClass();
                for (const QString &key : {klass, instance}) {
                    if (key.isEmpty())
                        continue;
                    if (auto it = table.find(key); it != table.end())
                        return it->second;
                    if (auto it = table.find(QStringLiteral("file:") + key.toLower()); it != table.end())
                        return it->second;
                }
                break;
            }
        }
        return executableName(pid);
    }

    std::uint32_t topmostWindowNumber(QPointF quartzPoint) override
    {
        for (const WindowInfo &w : windows()) {
            if (w.bounds && w.windowID && contains(*w.bounds, quartzPoint))
                return *w.windowID;
        }
        return 0;
    }

private:
    static bool contains(const QRectF &r, QPointF p)
    {
        return p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom();
    }

    static std::vector<RawWindow> stackTopFirst(Display *d)
    {
        std::vector<RawWindow> out;
        const Window root = DefaultRootWindow(d);
        Window rootReturn = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        {
            X11::ErrorTrap trap(d);
            if (!XQueryTree(d, root, &rootReturn, &parent, &children, &count) || trap.failed())
                count = 0;
        }
        std::vector<Window> rootChildren(children, children + count);
        if (children)
            XFree(children);

        int format = 0;
        unsigned long n = 0;
        auto data = property(d, root, atom(d, "_NET_CLIENT_LIST_STACKING"), XA_WINDOW, format, n);
        const bool managed = format == 32 && n > 0;

        // Root children, top first; with a window manager only the override-redirect ones (the
        // others are its frames, which the client list stands for).
        for (auto it = rootChildren.rbegin(); it != rootChildren.rend(); ++it) {
            XWindowAttributes attributes {};
            X11::ErrorTrap trap(d);
            if (!XGetWindowAttributes(d, *it, &attributes) || trap.failed())
                continue;
            if (managed && !attributes.override_redirect)
                continue;
            out.push_back({*it, attributes.override_redirect != 0});
        }
        if (managed) {
            const auto *clients = reinterpret_cast<const Window *>(data.data());
            for (unsigned long i = n; i-- > 0;)
                out.push_back({clients[i], false});
        }
        return out;
    }

    static std::optional<WindowInfo> describe(Display *d, const RawWindow &raw, double scale)
    {
        XWindowAttributes attributes {};
        {
            X11::ErrorTrap trap(d);
            if (!XGetWindowAttributes(d, raw.id, &attributes) || trap.failed())
                return std::nullopt; // vanished mid-query
        }
        if (attributes.map_state != IsViewable || attributes.c_class == InputOnly)
            return std::nullopt;

        const std::vector<Atom> types = atoms(d, raw.id, "_NET_WM_WINDOW_TYPE");
        auto hasType = [&](const char *name) {
            const Atom a = atom(d, name);
            return std::find(types.begin(), types.end(), a) != types.end();
        };
        if (hasType("_NET_WM_WINDOW_TYPE_DESKTOP"))
            return std::nullopt;

        int x = 0;
        int y = 0;
        Window child = 0;
        {
            X11::ErrorTrap trap(d);
            if (!XTranslateCoordinates(d, raw.id, DefaultRootWindow(d), 0, 0, &x, &y, &child) || trap.failed())
                return std::nullopt;
        }

        WindowInfo info;
        info.windowID = static_cast<std::uint32_t>(raw.id);
        info.bounds = QRectF(x / scale, y / scale, attributes.width / scale, attributes.height / scale);
        info.pid = pidOfClient(d, raw.id);
        if (raw.overrideRedirect || hasType("_NET_WM_WINDOW_TYPE_TOOLTIP") || hasType("_NET_WM_WINDOW_TYPE_POPUP_MENU")
            || hasType("_NET_WM_WINDOW_TYPE_DROPDOWN_MENU") || hasType("_NET_WM_WINDOW_TYPE_NOTIFICATION")) {
            info.layer = popupLayer;
        } else if (hasType("_NET_WM_WINDOW_TYPE_DOCK")) {
            info.layer = dockLayer;
        } else {
            const std::vector<Atom> state = atoms(d, raw.id, "_NET_WM_STATE");
            const bool above = std::find(state.begin(), state.end(), atom(d, "_NET_WM_STATE_ABOVE")) != state.end();
            info.layer = above ? aboveLayer : normalLayer;
        }
        if (auto opacity = cardinal(d, raw.id, "_NET_WM_WINDOW_OPACITY"))
            info.alpha = static_cast<double>(*opacity & 0xffffffffUL) / 4294967295.0;
        info.title = windowTitle(d, raw.id);
        info.ownerName = wmClass(d, raw.id).second;
        return info;
    }
};

} // namespace

std::shared_ptr<WindowList> WindowList::makeDefault()
{
    return std::make_shared<X11WindowList>();
}

} // namespace Lumivox::Native
