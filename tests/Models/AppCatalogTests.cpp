#include "Models/AppCatalog.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocale>
#include <QPixmap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

#include <sys/stat.h>

using namespace Lumivox;

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// The XDG folders of one test: home, then sysA and sysB, then three that cannot be listed.
class XdgFolders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = {qgetenv("XDG_DATA_HOME"), qgetenv("XDG_DATA_DIRS")};
        qputenv("XDG_DATA_HOME", path("home").toLocal8Bit());
        QStringList dirs;
        for (const char *dir : {"sysA", "sysB", "missing", "plainfile", "locked"})
            dirs << path(dir);
        qputenv("XDG_DATA_DIRS", dirs.join(QLatin1Char(':')).toLocal8Bit());
    }
    void TearDown() override
    {
        qputenv("XDG_DATA_HOME", m_saved.first);
        qputenv("XDG_DATA_DIRS", m_saved.second);
        QLocale::setDefault(QLocale::c());
        chmod(path("locked").toLocal8Bit().constData(), 0700);
    }

    QString path(const char *relative) const { return m_root.filePath(QString::fromUtf8(relative)); }
    void write(const char *relative, const QByteArray &content) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile out(path(relative));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    void entry(const char *relative, const QByteArray &keys) const
    {
        write(relative, "[Desktop Entry]\nType=Application\n" + keys);
    }
    void image(const char *relative, QColor color) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QImage picture(48, 48, QImage::Format_ARGB32);
        picture.fill(color);
        ASSERT_TRUE(picture.save(path(relative)));
    }

    QTemporaryDir m_root;
    std::pair<QByteArray, QByteArray> m_saved;
};

std::map<QString, QString> namesByID(const std::vector<InstalledApp> &apps)
{
    std::map<QString, QString> out;
    for (const InstalledApp &app : apps)
        out[app.bundleID] = app.name;
    return out;
}

QRgb centre(const QIcon &icon)
{
    return icon.pixmap(InstalledApp::iconSize).toImage().pixel(16, 16);
}

} // namespace

TEST_F(XdgFolders, ListsEachApplicationOnceWithTheUsersCopyFirst)
{
    entry("home/applications/app.one.desktop", "Name=Alpha Home\nIcon=lumivox-test-red\n");
    entry("home/applications/app.gone.desktop", "Name=Gone\nHidden=true\n");
    entry("home/applications/twin.a.desktop", "Name=Twin\n");
    entry("sysA/applications/app.one.desktop", "Name=Alpha System\n");
    entry("sysA/applications/app.gone.desktop", "Name=Gone System\n");
    entry("sysA/applications/app.quiet.desktop", "Name=Quiet\nNoDisplay=true\n");
    entry("sysA/applications/beta.desktop", "Name=beta\nIcon=" + path("blue.png").toUtf8() + "\n");
    entry("sysA/applications/zed.desktop", "Name=Zed\nName[de]=Zett\n");
    entry("sysA/applications/tools/nested.desktop", "Name=Nested\n");
    entry("sysA/applications/tools/deeper/too-deep.desktop", "Name=Too Deep\n");
    entry("sysB/applications/app.one.desktop", "Name=Alpha B\n");
    entry("sysB/applications/twin.b.desktop", "Name=twin\n");
    image("sysB/icons/hicolor/48x48/apps/lumivox-test-red.png", Qt::red);
    image("blue.png", Qt::blue);

    const std::vector<InstalledApp> apps = AppCatalog::installed();
    QStringList ids;
    QStringList names;
    for (const InstalledApp &app : apps) {
        ids << app.bundleID;
        names << app.name;
    }
    // Names equal but for case keep the order the folders were read in.
    EXPECT_EQ(ids.join(QLatin1Char(' ')), QStringLiteral("app.one beta tools-nested twin.a twin.b zed"));
    EXPECT_EQ(names.join(QLatin1Char(',')), QStringLiteral("Alpha Home,beta,Nested,Twin,twin,Zed"));
    EXPECT_EQ(centre(apps[0].icon), QColor(Qt::red).rgb()) << "icon by name from the hicolor theme";
    EXPECT_EQ(centre(apps[1].icon), QColor(Qt::blue).rgb()) << "icon by absolute path";

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(namesByID(AppCatalog::installed())[QStringLiteral("zed")], QStringLiteral("Zett"));
}

TEST_F(XdgFolders, SkipsBrokenEntriesAndFoldersWithoutFailing)
{
    write("home/applications/binary.desktop",
          QByteArray("\x7f"
                     "ELF\0\0\x01[Desktop Entry]\0",
                     19));
    write("home/applications/huge.desktop",
          "[Desktop Entry]\nType=Application\nName=Huge\nComment=" + QByteArray(2 << 20, 'x'));
    write("home/applications/nogroup.desktop", "Type=Application\nName=No Group\n");
    write("home/applications/other.desktop", "[Other]\nType=Application\nName=Other\n");
    write("home/applications/link.desktop", "[Desktop Entry]\nType=Link\nName=Link\n");
    entry("home/applications/.secret.desktop", "Name=Secret\n");
    entry("home/applications/unnamed.desktop", "Icon=no-such-icon-anywhere\n");
    entry("home/applications/garbage-icon.desktop", "Name=Garbage Icon\nIcon=" + path("garbage.png").toUtf8() + "\n");
    entry("home/applications/escape.desktop", "Name=Escape\nIcon=../../../../blue\n");
    write("garbage.png", "not an image");
    image("blue.png", Qt::blue);
    QDir().mkpath(path("home/applications/folder.desktop"));
    ASSERT_EQ(mkfifo(path("home/applications/pipe.desktop").toLocal8Bit().constData(), 0600), 0);
    QFile::link(QStringLiteral("/dev/zero"), path("home/applications/zero.desktop"));
    QFile::link(path("nowhere"), path("home/applications/dangling.desktop"));
    write("plainfile", "not a folder");
    entry("locked/applications/locked.desktop", "Name=Locked\n");
    chmod(path("locked").toLocal8Bit().constData(), 0);

    const std::vector<InstalledApp> apps = AppCatalog::installed();
    std::map<QString, QString> found = namesByID(apps);
    found.erase(QStringLiteral("locked")); // readable anyway when the tests run as root
    // Without a Name the file name stands in.
    EXPECT_EQ(found,
              (std::map<QString, QString> {{QStringLiteral("escape"), QStringLiteral("Escape")},
                                           {QStringLiteral("garbage-icon"), QStringLiteral("Garbage Icon")},
                                           {QStringLiteral("unnamed"), QStringLiteral("unnamed")}}));
    for (const InstalledApp &app : apps) {
        EXPECT_FALSE(app.icon.pixmap(InstalledApp::iconSize).isNull()) << app.bundleID.toStdString();
        EXPECT_NE(centre(app.icon), QColor(Qt::blue).rgb()) << "an icon name must not leave the icon folders";
    }
}
