// The settings window offscreen, found by object names: the tab follows the coordinator both ways,
// the key screen takes General's place without a change of tab and survives closing the window, the
// window comes forward only when it may, closing the last window returns to the tray, and the
// panes' controls reach the coordinator.

#include "Fakes/FakeCoordinator.h"
#include "Fakes/FakeSecrets.h"
#include "Features/LanguagePicker/Views/LanguagePicker.h"
#include "Features/Settings/Views/AboutSettingsPane.h"
#include "Features/Settings/Views/AppsSettingsPane.h"
#include "Features/Settings/Views/GoogleKeyView.h"
#include "Features/Settings/Views/PermissionRowView.h"
#include "Features/Settings/Views/SettingsWidgets.h"
#include "Features/Settings/Views/SettingsWindow.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

class SettingsWindowTest : public ::testing::Test, protected CoordinatorOverFakes
{
protected:
    std::shared_ptr<FakeSecrets> secrets = std::make_shared<FakeSecrets>();
    Native::ScopedOverride<Native::Secrets> secretsOverride {secrets};
    Appearance appearance {std::nullopt};
    FakeUpdater updater;
    std::shared_ptr<FakePresence> presence = std::make_shared<FakePresence>();
    std::unique_ptr<SettingsWindow> window;

    void SetUp() override
    {
        await(KeychainStorage::remove(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService));
        SettingsWindow::Dependencies d;
        d.controller = controller.get();
        d.appearance = &appearance;
        d.updater = &updater;
        d.presence = presence;
        d.apps = AppsSettingsModel::Sources {
            [] {
                return std::vector<InstalledApp> {{QStringLiteral("Kitty"), QStringLiteral("kitty"), {}}};
            },
            [] { return std::set<QString>(); }};
        window = std::make_unique<SettingsWindow>(std::move(d));
    }

    template<class T>
    T *find(const char *name) const
    {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
};

} // namespace

TEST_F(SettingsWindowTest, TheTabFollowsTheCoordinatorBothWaysWithAHeightPerTab)
{
    window->present();
    for (SettingsTab tab : {SettingsTab::apps, SettingsTab::about, SettingsTab::appearance, SettingsTab::general}) {
        controller->setSelectedSettingsTab(tab);
        EXPECT_EQ(window->tabs()->tabText(window->tabs()->currentIndex()), SettingsWindowModel::title(tab));
        EXPECT_EQ(window->width(), 520);
        // Its designed height, or more where the desktop's fonts make the content taller.
        EXPECT_GE(window->height() - window->tabs()->tabBar()->sizeHint().height() - 6,
                  SettingsWindowModel::height(tab, false));
    }
    window->tabs()->tabBar()->setCurrentIndex(3);
    EXPECT_EQ(controller->selectedSettingsTab(), SettingsTab::words);
    controller->setSelectedSettingsTab(SettingsTab::general);
    QTest::mouseClick(find<QPushButton>("general.openWords"), Qt::LeftButton);
    EXPECT_EQ(window->tabs()->currentIndex(), 3) << "\"Open…\" goes to the Words tab";
}

TEST_F(SettingsWindowTest, TheKeyScreenTakesGeneralsPlaceAndSurvivesClosingTheWindow)
{
    window->present();
    QTest::mouseClick(find<QPushButton>("general.googleKey"), Qt::LeftButton);
    ASSERT_NE(window->googleKeyView(), nullptr);
    EXPECT_EQ(controller->selectedSettingsTab(), SettingsTab::general);
    EXPECT_TRUE(window->googleKeyView()->isVisible());

    // Typing, then closing and opening the window again: the same screen, the text kept.
    auto *field = find<QLineEdit>("googleKey.field");
    auto *save = find<PrimaryButton>("googleKey.save");
    EXPECT_TRUE(save->isDimmed());
    QTest::keyClicks(field, QStringLiteral("  AIzaTyped1234 "));
    EXPECT_FALSE(save->isDimmed());
    EXPECT_FALSE(find<QPushButton>("googleKey.paste")->isVisible());
    window->close();
    window->present();
    ASSERT_NE(window->googleKeyView(), nullptr);
    EXPECT_EQ(find<QLineEdit>("googleKey.field")->text(), QStringLiteral("  AIzaTyped1234 "));

    QTest::keyClick(find<QLineEdit>("googleKey.field"), Qt::Key_Return);
    ASSERT_TRUE(spinUntil([&] { return window->googleKeyView()->model()->hasSavedKey(); }));
    EXPECT_EQ(find<QLabel>("googleKey.tail")->text(), QStringLiteral("1234"));
    EXPECT_EQ(secrets->item(KeychainStorage::licenseService, KeychainStorage::googleAPIKeyAccount),
              QByteArray("AIzaTyped1234"));

    QTest::mouseClick(find<QPushButton>("googleKey.back"), Qt::LeftButton);
    EXPECT_FALSE(controller->showsGoogleKeyScreen());
    EXPECT_EQ(window->googleKeyView(), nullptr);
    EXPECT_EQ(find<QPushButton>("general.googleKey")->text(), QStringLiteral("Manage Key…"));
}

TEST_F(SettingsWindowTest, ABlankFieldIsInertAndPasteReadsTheClipboard)
{
    controller->setShowsGoogleKeyScreen(true);
    window->present();
    auto *field = find<QLineEdit>("googleKey.field");
    QTest::keyClicks(field, QStringLiteral("   "));
    QTest::keyClick(field, Qt::Key_Return);
    QTest::mouseClick(find<PrimaryButton>("googleKey.save"), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(secrets->writes, 0);

    field->clear();
    window->googleKeyView()->model()->setApiKey({});
    QGuiApplication::clipboard()->setText(QStringLiteral(" AIzaFromClipboard\n"));
    QTest::mouseClick(find<QPushButton>("googleKey.paste"), Qt::LeftButton);
    EXPECT_EQ(field->text(), QStringLiteral("AIzaFromClipboard"));
    EXPECT_EQ(field->echoMode(), QLineEdit::Password) << "the key is never shown whole";
}

TEST_F(SettingsWindowTest, BringingForwardAndReturningToTheTray)
{
    presence->hiddenByUser = true;
    EXPECT_FALSE(window->model()->mayBringToFront());
    presence->hiddenByUser = false;
    picker->visible = true;
    EXPECT_FALSE(window->model()->mayBringToFront());
    picker->visible = false;
    EXPECT_TRUE(window->model()->mayBringToFront());

    window->present();
    EXPECT_EQ(presence->shown, 1);
    QWidget other;
    other.setWindowTitle(QStringLiteral("Words"));
    other.show();
    window->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(presence->returnedToTray, 0) << "another window of ours is still open";

    window->present();
    other.close();
    window->close();
    EXPECT_TRUE(spinUntil([&] { return presence->returnedToTray == 1; }));
}

TEST_F(SettingsWindowTest, PanesReachTheCoordinator)
{
    window->present();
    // General
    find<QComboBox>("general.holdKey")->setCurrentIndex(4);
    EXPECT_EQ(controller->holdKey(), QStringLiteral("always"));
    QTest::mouseClick(find<QCheckBox>("general.skipNonWords"), Qt::LeftButton);
    EXPECT_FALSE(controller->skipNonWords());
    controller->setTargetLanguage(QStringLiteral("fr"));
    EXPECT_EQ(find<LanguagePicker>("general.targetLanguage")->selection(), QStringLiteral("fr"));
    grant(true, true);
    EXPECT_TRUE(find<QPushButton>("general.reviewPermissions")->isVisible());
    // "All set" leads with a green check, drawn.
    QWidget *check = find<QWidget>("general.allSetCheck");
    ASSERT_TRUE(check);
    EXPECT_TRUE(check->isVisible());
    const QImage mark = check->grab().toImage();
    int green = 0;
    for (int y = 0; y < mark.height(); ++y) {
        for (int x = 0; x < mark.width(); ++x)
            green += QColor(mark.pixel(x, y)).hueF() > 0.3 && qGreen(mark.pixel(x, y)) > 150;
    }
    EXPECT_GT(green, mark.width() * mark.height() / 3) << "green pixels of the check";
    // The compact row is as tall as its own texts, not as the hidden permission rows.
    QCoreApplication::processEvents();
    const QWidget *allSet = find<QPushButton>("general.reviewPermissions")->parentWidget();
    EXPECT_LE(allSet->height(), allSet->heightForWidth(allSet->width()));
    QTest::mouseClick(find<QPushButton>("general.reviewPermissions"), Qt::LeftButton);
    EXPECT_FALSE(find<QPushButton>("permission.accessibility.grant")->isVisible());
    EXPECT_FALSE(find<QPushButton>("general.reviewPermissions")->isVisible()) << "the rows in its place";
    // The window lives for the whole run: closed and opened again, the rows fold back to one line.
    window->close();
    window->present();
    EXPECT_TRUE(find<QPushButton>("general.reviewPermissions")->isVisible());
    grant(false, true);
    auto *grantAccessibility = find<QPushButton>("permission.accessibility.grant");
    EXPECT_TRUE(grantAccessibility->isVisible());
    QTest::mouseClick(grantAccessibility, Qt::LeftButton);
    EXPECT_EQ(accessibility->trustRequests, 1);

    // Apps: "All apps" disables search, filter and list.
    controller->setSelectedSettingsTab(SettingsTab::apps);
    EXPECT_TRUE(spinUntil([&] { return window->appsPane()->model()->hasLoaded(); }));
    EXPECT_FALSE(find<QLineEdit>("apps.search")->isEnabled());
    EXPECT_FALSE(find<QListView>("apps.list")->isEnabled());
    QTest::mouseClick(find<QRadioButton>("apps.onlySelected"), Qt::LeftButton);
    EXPECT_TRUE(controller->limitToSelectedApps());
    EXPECT_TRUE(find<QLineEdit>("apps.search")->isEnabled());
    QTest::keyClicks(find<QLineEdit>("apps.search"), QStringLiteral("zzz"));
    EXPECT_TRUE(find<QLabel>("apps.empty")->isVisible());

    // About: the update button follows the updater live.
    controller->setSelectedSettingsTab(SettingsTab::about);
    updater.setCanCheck(false);
    EXPECT_FALSE(find<QPushButton>("about.checkForUpdates")->isEnabled());
    updater.setCanCheck(true);
    QTest::mouseClick(find<QPushButton>("about.checkForUpdates"), Qt::LeftButton);
    EXPECT_EQ(updater.checks, 1);
}
