// Renders every tab of the settings window, light and dark, to settings-<tab>[-dark].png: General
// with its permission rows, without a tray in the panel and with "All set", the Google key screen's entry and saved
// screens, Appearance with its live preview, Apps with a few applications, Words (its pane is made by the Words
// feature) and About.

#include "Fakes/FakeCoordinator.h"
#include "Fakes/FakeSecrets.h"
#include "Features/Design/AppIcon.h"
#include "Features/Design/FormStyle.h"
#include "Features/Settings/Views/GeneralSettingsPane.h"
#include "Features/Settings/Views/GoogleKeyView.h"
#include "Features/Settings/Views/SettingsWindow.h"
#include "Features/Words/Views/WordsSettingsPane.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Support/LayoutCheck.h"
#include "Support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QStandardPaths>

#include <cstdio>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

class Scene : public CoordinatorOverFakes
{
public:
    std::shared_ptr<FakeSecrets> secrets = std::make_shared<FakeSecrets>();
    Native::ScopedOverride<Native::Secrets> secretsOverride {secrets};
};

bool render(SettingsWindow &window, const QString &name, bool dark)
{
    window.present();
    spinUntil([] { return false; }, std::chrono::milliseconds(150));
    const QString file = QDir(qEnvironmentVariable("LUMIVOX_SCREENSHOTS_DIR", QStringLiteral(".")))
                             .filePath(QStringLiteral("settings-%1%2.png").arg(name, dark ? "-dark" : ""));
    // What the picture shows cut off, said beside it (the widget test of every window fails on it).
    for (const QString &problem : layoutProblems(&window))
        std::printf("%s: %s\n", qPrintable(file), qPrintable(problem));
    const bool ok = window.grab().save(file);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
    return ok;
}

} // namespace

// Desktop entries, with icons, for two of the applications Settings › Words never keeps words from
// by default; the third stays uninstalled and shows under its id.
void installSomeApps()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const std::pair<const char *, QColor> apps[] = {{"org.keepassxc.KeePassXC", QColor(0x6c, 0xac, 0x4d)},
                                                    {"org.gnome.seahorse.Application", QColor(0xe5, 0xa5, 0x0a)}};
    for (const auto &[id, colour] : apps) {
        const QString name = QString::fromLatin1(id).section(QLatin1Char('.'), 2, 2);
        QDir().mkpath(data + QStringLiteral("/applications"));
        QDir().mkpath(data + QStringLiteral("/icons/hicolor/32x32/apps"));
        QFile entry(data + QStringLiteral("/applications/%1.desktop").arg(QString::fromLatin1(id)));
        if (entry.open(QIODevice::WriteOnly))
            entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nIcon=%2\nExec=true\n")
                            .arg(name == QLatin1String("KeePassXC") ? name : QStringLiteral("Passwords and Keys"),
                                 name.toLower())
                            .toUtf8());
        QImage icon(32, 32, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        QPainter painter(&icon);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(colour);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(2, 2, 28, 28), 7, 7);
        painter.end();
        icon.save(data + QStringLiteral("/icons/hicolor/32x32/apps/%1.png").arg(name.toLower()));
    }
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FormStyle::install();
    installSomeApps();
    // What the language pairs the project installs translate into, as the program finds at start, and
    // the icon it sets.
    LanguageCatalog::setOnDevicePairs(installedPairs());
    QApplication::setWindowIcon(AppIcon::icon());
    bool ok = true;
    for (bool dark : {false, true}) {
        Scene scene;
        await(KeychainStorage::remove(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService));
        scene.grant(true, false);
        if (dark) {
            // The palette decides without a portal: a desktop's dark palette, dark surfaces and light text.
            QPalette palette = QApplication::palette();
            palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
            palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
            palette.setColor(QPalette::Button, QColor(0x3c, 0x3c, 0x3c));
            for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
                palette.setColor(role, QColor(0xe8, 0xe8, 0xe8));
            QApplication::setPalette(palette);
        }
        Appearance appearance {std::nullopt};
        FakeUpdater updater;
        SettingsWindow::Dependencies d;
        d.controller = scene.controller.get();
        d.appearance = &appearance;
        d.updater = &updater;
        d.presence = std::make_shared<FakePresence>();
        d.apps = AppsSettingsModel::Sources {
            [] {
                std::vector<InstalledApp> apps;
                for (const char *name : {"Firefox", "GNOME Text Editor", "Kitty", "LibreOffice Writer", "Thunderbird"})
                    apps.push_back({QString::fromLatin1(name), QString::fromLatin1(name).toLower(),
                                    QIcon::fromTheme(QStringLiteral("application"))});
                return apps;
            },
            [] { return std::set<QString> {QStringLiteral("kitty")}; }};
        scene.controller->setLimitToSelectedApps(true);
        scene.controller->setAllowedAppIDs({QStringLiteral("kitty"), QStringLiteral("firefox")});
        SettingsWindow window(std::move(d));
        window.setWordsPane(new WordsSettingsPane(*scene.book, *scene.controller, {}, {}, appearance));
        ok = render(window, QStringLiteral("general"), dark) && ok;
        window.generalPane()->model()->setTrayCheck([] { return false; });
        ok = render(window, QStringLiteral("general-no-tray"), dark) && ok;
        window.generalPane()->model()->setTrayCheck({});
        scene.grant(true, true);
        ok = render(window, QStringLiteral("general-all-set"), dark) && ok;
        scene.controller->setShowsGoogleKeyScreen(true);
        ok = render(window, QStringLiteral("google-key"), dark) && ok;
        window.googleKeyView()->model()->setApiKey(QStringLiteral("AIzaSyExample"));
        await(window.googleKeyView()->model()->saveKey());
        ok = render(window, QStringLiteral("google-key-saved"), dark) && ok;
        scene.controller->setShowsGoogleKeyScreen(false);
        for (SettingsTab tab : {SettingsTab::appearance, SettingsTab::apps, SettingsTab::words, SettingsTab::about}) {
            scene.controller->setSelectedSettingsTab(tab);
            ok = render(window, SettingsTabs::rawValue(tab), dark) && ok;
        }
        window.close();
    }
    return ok ? 0 : 1;
}
