// Renders every tab of the settings window, light and dark, to settings-<tab>[-dark].png: General
// with its permission rows and with "All set", the Google key screen's entry and saved screens,
// Appearance with its live preview, Apps with a few applications, Words (its pane is made by the
// Words feature) and About.

#include "Fakes/FakeCoordinator.h"
#include "Fakes/FakeSecrets.h"
#include "Features/Settings/Views/GoogleKeyView.h"
#include "Features/Settings/Views/SettingsWindow.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Support/TestSupport.h"

#include <QApplication>
#include <QDir>

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
    const bool ok = window.grab().save(file);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
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
        ok = render(window, QStringLiteral("general"), dark) && ok;
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
