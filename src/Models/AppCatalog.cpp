#include "Models/AppCatalog.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLocale>
#include <QLoggingCategory>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

Q_LOGGING_CATEGORY(lcApps, "app.lumivox.Apps")

namespace Lumivox::AppCatalog {

namespace {

// Real entries, with every translation of their comments and keywords, stay far below this; a
// larger file is not a desktop entry, and reading it whole would stall the settings window.
constexpr qint64 maxEntrySize = 1 << 20;

const QLatin1String desktopSuffix(".desktop");

struct DesktopEntry
{
    QString name;
    QString icon;
    /// Hidden (deleted at this level) or NoDisplay: the entry still takes its id, so a user's copy
    /// can hide a system one, but it is not offered.
    bool concealed = false;
};

QString unescaped(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out.append(c);
            continue;
        }
        switch (value.at(++i).unicode()) {
        case 's':
            out.append(QLatin1Char(' '));
            break;
        case 'n':
            out.append(QLatin1Char('\n'));
            break;
        case 't':
            out.append(QLatin1Char('\t'));
            break;
        case 'r':
            out.append(QLatin1Char('\r'));
            break;
        case '\\':
            out.append(QLatin1Char('\\'));
            break;
        default:
            out.append(c).append(value.at(i));
            break;
        }
    }
    return out;
}

bool isTrue(const QString &value)
{
    return value == QLatin1String("true") || value == QLatin1String("1");
}

// The keys of the [Desktop Entry] group; the first occurrence of a key wins.
std::optional<std::map<QString, QString>> readEntryGroup(const QFileInfo &info)
{
    // Devices and pipes named *.desktop would block or never end.
    if (!info.isFile())
        return std::nullopt;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.read(maxEntrySize + 1);
    if (data.size() > maxEntrySize) {
        qCDebug(lcApps) << "skipping an oversized desktop entry" << info.fileName();
        return std::nullopt;
    }
    if (data.contains('\0'))
        return std::nullopt;

    std::map<QString, QString> keys;
    bool inEntry = false;
    bool sawEntry = false;
    for (const QByteArray &rawLine : data.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            if (inEntry)
                break;
            inEntry = line == "[Desktop Entry]";
            sawEntry = sawEntry || inEntry;
            continue;
        }
        if (!inEntry)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        keys.try_emplace(QString::fromUtf8(line.left(equals).trimmed()),
                         QString::fromUtf8(line.mid(equals + 1).trimmed()));
    }
    if (!sawEntry)
        return std::nullopt;
    return keys;
}

QString localizedName(const std::map<QString, QString> &keys)
{
    const QString locale = QLocale().name(); // "de_DE"
    QStringList candidates;
    if (locale != QLatin1String("C")) {
        candidates << QStringLiteral("Name[%1]").arg(locale);
        if (const qsizetype underscore = locale.indexOf(QLatin1Char('_')); underscore > 0)
            candidates << QStringLiteral("Name[%1]").arg(locale.left(underscore));
    }
    candidates << QStringLiteral("Name");
    for (const QString &key : candidates) {
        if (auto it = keys.find(key); it != keys.end()) {
            // A name is one line in a list, whatever escapes the entry used.
            const QString name = unescaped(it->second).simplified();
            if (!name.isEmpty())
                return name;
        }
    }
    return {};
}

std::optional<DesktopEntry> readDesktopEntry(const QFileInfo &info)
{
    const auto keys = readEntryGroup(info);
    if (!keys)
        return std::nullopt;
    auto value = [&](const char *key) {
        auto it = keys->find(QString::fromLatin1(key));
        return it == keys->end() ? QString() : it->second;
    };
    if (value("Type") != QLatin1String("Application"))
        return std::nullopt;
    DesktopEntry entry;
    entry.name = localizedName(*keys);
    entry.icon = unescaped(value("Icon")).trimmed();
    entry.concealed = isTrue(value("Hidden")) || isTrue(value("NoDisplay"));
    return entry;
}

bool isImageFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && QImageReader(path).canRead();
}

// Without a desktop platform theme Qt knows no icon theme, yet every theme lookup ends in hicolor
// and then the pixmaps folder, so those are searched here.
std::optional<QString> hicolorFile(const QString &name)
{
    static const char *const sizes[] = {"32x32",    "48x48", "64x64", "128x128", "256x256",
                                        "scalable", "24x24", "22x22", "16x16",   "512x512"};
    static const char *const extensions[] = {".png", ".svg", ".xpm"};
    QStringList bases {QDir::homePath() + QLatin1String("/.icons/hicolor")};
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        bases << data + QLatin1String("/icons/hicolor");
    for (const QString &base : bases) {
        if (!QFileInfo(base).isDir())
            continue;
        for (const char *size : sizes) {
            for (const char *extension : extensions) {
                const QString path = base + QLatin1Char('/') + QLatin1String(size) + QLatin1String("/apps/") + name
                    + QLatin1String(extension);
                if (isImageFile(path))
                    return path;
            }
        }
    }
    for (const char *extension : extensions) {
        const QString path = QLatin1String("/usr/share/pixmaps/") + name + QLatin1String(extension);
        if (isImageFile(path))
            return path;
    }
    return std::nullopt;
}

QIcon themedIcon(QString name)
{
    // A name with a folder in it would let an entry point the search anywhere.
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return {};
    for (const char *extension : {".png", ".svg", ".xpm"}) {
        if (name.endsWith(QLatin1String(extension))) {
            name.chop(4);
            break;
        }
    }
    if (QIcon icon = QIcon::fromTheme(name); !icon.isNull())
        return icon;
    if (auto file = hicolorFile(name))
        return QIcon(*file);
    return {};
}

QIcon placeholderIcon()
{
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x8E, 0x8E, 0x93));
    painter.drawRoundedRect(QRectF(6, 6, 52, 52), 12, 12);
    painter.setBrush(QColor(0xF2, 0xF2, 0xF7));
    painter.drawRoundedRect(QRectF(18, 18, 28, 28), 4, 4);
    painter.end();
    return QIcon(QPixmap::fromImage(image));
}

struct Scan
{
    std::vector<InstalledApp> apps;
    std::set<QString> seen;
    std::optional<QIcon> fallback;

    const QIcon &fallbackIcon()
    {
        if (!fallback) {
            QIcon generic = themedIcon(QStringLiteral("application-x-executable"));
            fallback = generic.isNull() ? placeholderIcon() : generic;
        }
        return *fallback;
    }

    QIcon icon(const QString &key)
    {
        if (QDir::isAbsolutePath(key)) {
            if (isImageFile(key))
                return QIcon(key);
        } else if (QIcon themed = themedIcon(key); !themed.isNull()) {
            return themed;
        }
        return fallbackIcon();
    }
};

// Subfolders give ids with their names joined by "-", as the desktop-entry rules say
// ("kde/konsole.desktop" is "kde-konsole").
void collect(const QString &folder, const QString &idPrefix, int depth, Scan &scan)
{
    if (depth > 1)
        return;
    const QDir dir(folder);
    if (!QFileInfo(folder).isDir())
        return;
    const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString fileName = entry.fileName();
        if (!fileName.endsWith(desktopSuffix)) {
            if (depth == 0)
                collect(entry.filePath(), idPrefix + fileName + QLatin1Char('-'), depth + 1, scan);
            continue;
        }
        const QString baseName = fileName.chopped(desktopSuffix.size());
        if (baseName.isEmpty())
            continue;
        const QString id = idPrefix + baseName;
        const auto desktopEntry = readDesktopEntry(entry);
        if (!desktopEntry)
            continue;
        if (!scan.seen.insert(id).second || desktopEntry->concealed)
            continue;
        InstalledApp app;
        app.name = desktopEntry->name.isEmpty() ? baseName : desktopEntry->name;
        app.bundleID = id;
        app.icon = scan.icon(desktopEntry->icon);
        scan.apps.push_back(std::move(app));
    }
}

} // namespace

std::vector<InstalledApp> installed()
{
    Scan scan;
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        collect(folder, QString(), 0, scan);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(scan.apps.begin(), scan.apps.end(), [&](const InstalledApp &a, const InstalledApp &b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return std::move(scan.apps);
}

} // namespace Lumivox::AppCatalog
