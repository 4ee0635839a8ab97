// The General, Appearance, Apps and About panes over a coordinator on fakes: what each shows and
// what each change stores.

#include "Fakes/FakeCoordinator.h"
#include "Fakes/FakeSecrets.h"
#include "Features/Settings/AboutSettingsModel.h"
#include "Features/Settings/AppearanceSettingsModel.h"
#include "Features/Settings/AppsSettingsModel.h"
#include "Features/Settings/GeneralSettingsModel.h"
#include "Features/Settings/GoogleKeyModel.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

class SettingsPanesTest : public ::testing::Test, protected CoordinatorOverFakes
{
protected:
    std::shared_ptr<FakeSecrets> secrets = std::make_shared<FakeSecrets>();
    Native::ScopedOverride<Native::Secrets> secretsOverride {secrets};
    FakeUpdater updater;
};

InstalledApp app(const char *name, const char *id)
{
    return {QString::fromUtf8(name), QString::fromUtf8(id), {}};
}

} // namespace

TEST_F(SettingsPanesTest, GeneralShowsPermissionRowsUnlessBothAreGranted)
{
    GeneralSettingsModel model(*controller, &updater);
    QSignalSpy rows(&model, &GeneralSettingsModel::showsPermissionRowsChanged);
    EXPECT_TRUE(model.showsPermissionRows());
    grant(false, true);
    EXPECT_TRUE(model.showsPermissionRows()) << "screen text alone is not all set";
    grant(true, true);
    EXPECT_FALSE(model.showsPermissionRows());
    model.reviewPermissions();
    EXPECT_TRUE(model.showsPermissionRows());
    grant(true, false);
    grant(true, true);
    EXPECT_TRUE(model.showsPermissionRows()) << "once reviewed, the rows stay";
    EXPECT_EQ(rows.count(), 2);
    model.disappear(); // the window was closed; it lives on for the next opening
    EXPECT_FALSE(model.showsPermissionRows());
    EXPECT_EQ(rows.count(), 3);
}

TEST_F(SettingsPanesTest, GeneralGoogleRowFollowsAnyStoredItemEvenABlankOne)
{
    await(KeychainStorage::remove(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService));
    GeneralSettingsModel model(*controller, &updater);
    EXPECT_EQ(model.googleRowButtonTitle(), QStringLiteral("Add Key…"));
    EXPECT_EQ(model.googleRowSubtitle(),
              QStringLiteral("5 languages are translated on this computer. Add your key "
                             "for Sinhala, Tamil and 47 more"));
    model.openGoogleKey();
    EXPECT_TRUE(controller->showsGoogleKeyScreen());

    // Whatever writes or reads the keyring, the row and the picker's locks follow its answer at once,
    // without the pane being shown again.
    QSignalSpy row(&model, &GeneralSettingsModel::hasStoredGoogleKeyChanged);
    await(KeychainStorage::save(KeychainStorage::googleAPIKeyAccount, QStringLiteral("  "),
                                KeychainStorage::licenseService));
    ASSERT_TRUE(spinUntil([&] { return row.count() == 1; }));
    EXPECT_EQ(model.googleRowButtonTitle(), QStringLiteral("Manage Key…"));
    EXPECT_EQ(model.googleRowSubtitle(), QStringLiteral("Your Google Cloud key is active in your keyring"));
    ASSERT_FALSE(picker->keyAnswers.empty());
    EXPECT_FALSE(picker->keyAnswers.back()) << "a key of blanks translates nothing";
    await(KeychainStorage::save(KeychainStorage::googleAPIKeyAccount, QStringLiteral("AIzaKey"),
                                KeychainStorage::licenseService));
    ASSERT_TRUE(spinUntil([&] { return !picker->keyAnswers.empty() && picker->keyAnswers.back(); }));
    controller->setShowsGoogleKeyScreen(false); // back from the key screen
    EXPECT_EQ(model.googleRowButtonTitle(), QStringLiteral("Manage Key…"));
}

// The counts of the General row and of the key screens come from what this computer translates.
TEST_F(SettingsPanesTest, KeyTextsCountTheLanguagesThisComputerTranslates)
{
    struct Case
    {
        std::set<LanguageCatalog::OnDevicePair> onDevice;
        const char *summary;
        const char *moreChip;
        const char *saved;
    };
    for (const Case &c : std::vector<Case> {
             // English, Spanish, and French, Portuguese and Italian through Spanish; not Russian or
             // Ukrainian, which English reaches on no route.
             {Testing::installedPairs(),
              "5 languages are translated on this computer. Add your key for Sinhala, Tamil and 47 more", "+ 45 more",
              "Sinhala, Tamil and 47 more now translate through your Google key."},
             {{{QStringLiteral("en"), QStringLiteral("es")}},
              "1 language is translated on this computer. Add your key for Sinhala, Tamil and 51 more",
              "+ 49 more",
              "Sinhala, Tamil and 51 more now translate through your Google key."},
             {{},
              "No language is translated on this computer. Add your key for Sinhala, Tamil and 52 more",
              "+ 50 more",
              "Sinhala, Tamil and 52 more now translate through your Google key."},
         }) {
        Testing::ScopedOnDevicePairs set(c.onDevice);
        EXPECT_EQ(GeneralSettingsModel::onDeviceSummary(), QString::fromUtf8(c.summary));
        GoogleKeyModel keyScreen;
        EXPECT_EQ(keyScreen.moreChipText(), QString::fromUtf8(c.moreChip));
        EXPECT_TRUE(keyScreen.savedLine().startsWith(QString::fromUtf8(c.saved)))
            << keyScreen.savedLine().toStdString();
    }
}

TEST_F(SettingsPanesTest, GeneralSaysWhenThePanelHasNoTray)
{
    GeneralSettingsModel model(*controller, &updater);
    EXPECT_FALSE(model.showsNoTrayNote()) << "without a way to ask, a tray is taken to be there";
    bool tray = false;
    QSignalSpy note(&model, &GeneralSettingsModel::showsNoTrayNoteChanged);
    model.setTrayCheck([&] { return tray; });
    EXPECT_TRUE(model.showsNoTrayNote());
    tray = true; // the panel's tray came up later
    model.appear();
    EXPECT_FALSE(model.showsNoTrayNote());
    EXPECT_EQ(note.count(), 2);
}

TEST_F(SettingsPanesTest, GeneralUpdateSwitchWritesTheUsersChangeOnly)
{
    updater.automatic = true;
    GeneralSettingsModel model(*controller, &updater);
    model.appear();
    EXPECT_TRUE(model.checksForUpdates());
    EXPECT_TRUE(updater.writes.empty()) << "loading the updater's value is not written back";
    model.setChecksForUpdates(false);
    EXPECT_EQ(updater.writes, std::vector<bool>({false}));

    controller->setSelectedSettingsTab(SettingsTab::general);
    controller->openWordsSettings();
    EXPECT_EQ(controller->selectedSettingsTab(), SettingsTab::words);
}

TEST_F(SettingsPanesTest, AppearanceStoresWholeSizesAndFontsPerLanguage)
{
    AppearanceSettingsModel model(*controller);
    model.setSliderValue(12.6);
    EXPECT_EQ(controller->fontSize(), 13.0);
    EXPECT_EQ(defaults->doubleValue(QStringLiteral("fontSize")), 13.0);
    EXPECT_EQ(model.sizeLabel(), QStringLiteral("13 pt"));
    EXPECT_EQ(model.preview().fontSize, 13.0);
    model.setSliderValue(14.5);
    EXPECT_EQ(controller->fontSize(), 15.0) << "halves away from zero";

    controller->setFontSize(16.5); // stored by something other than the slider
    EXPECT_EQ(model.sizeLabel(), QStringLiteral("16 pt"));
    EXPECT_EQ(model.preview().fontSize, 16.5);
    EXPECT_FALSE(model.preview().status.has_value());
    // The preview is a translation into the language the font is chosen for, over a word of
    // another language.
    for (const auto &[target, tooltip, word] :
         {std::tuple {"es", "Hola", "hello"}, std::tuple {"si", "ආයුබෝවන්", "hello"},
          std::tuple {"en", "Hello", "bonjour"}}) {
        controller->setTargetLanguage(QString::fromUtf8(target));
        EXPECT_EQ(model.preview().text, QString::fromUtf8(tooltip));
        EXPECT_EQ(model.previewSentence().word, QString::fromUtf8(word));
        EXPECT_EQ(model.preview().fontName, controller->font(QString::fromUtf8(target)));
    }

    controller->setTargetLanguage(QStringLiteral("fr"));
    const QString spanishBefore = controller->font(QStringLiteral("es"));
    model.chooseFont(QStringLiteral("Some Family"));
    EXPECT_EQ(controller->font(QStringLiteral("fr")), QStringLiteral("Some Family"));
    EXPECT_EQ(controller->font(QStringLiteral("es")), spanishBefore);
    EXPECT_EQ(model.fontSubtitle(), QStringLiteral("Used for French translations."));
}

TEST_F(SettingsPanesTest, AppsFilterSearchAndTicks)
{
    std::set<QString> running {QStringLiteral("org.gnome.TextEditor")};
    AppsSettingsModel model(*controller,
                            {[] {
                                 return std::vector<InstalledApp> {app("Firefox", "firefox-esr"), app("Kitty", "kitty"),
                                                                   app("Text Editor", "org.gnome.TextEditor")};
                             },
                             [&] { return running; }});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const auto names = [&] {
        QStringList out;
        for (int i = 0; i < model.rowCount(); ++i)
            out.append(model.index(i).data().toString());
        return out;
    };
    // Before the pane is shown the list is empty: a change of the switch or the ticks names no row.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    controller->setLimitToSelectedApps(true);
    controller->setAllowedAppIDs({QStringLiteral("kitty")});
    controller->setLimitToSelectedApps(false);
    controller->setAllowedAppIDs({});
    EXPECT_EQ(changed.count(), 0);
    model.appear();
    EXPECT_EQ(names(), QStringList({"Firefox", "Kitty", "Text Editor"}));
    EXPECT_FALSE(model.isListEnabled());
    EXPECT_FALSE(model.flags(model.index(0)).testFlag(Qt::ItemIsEnabled)) << "\"All apps\" disables the rows";
    EXPECT_FALSE(model.setData(model.index(0), Qt::Checked, Qt::CheckStateRole));

    controller->setLimitToSelectedApps(true);
    EXPECT_TRUE(model.isListEnabled());
    for (const auto &[query, expected] :
         std::vector<std::pair<QString, QStringList>> {{QStringLiteral("  "), {"Firefox", "Kitty", "Text Editor"}},
                                                       {QStringLiteral("text"), {"Text Editor"}},
                                                       {QStringLiteral("GNOME"), {"Text Editor"}},
                                                       {QStringLiteral("esr"), {"Firefox"}},
                                                       {QStringLiteral("nothing"), {}}}) {
        model.setQuery(query);
        EXPECT_EQ(names(), expected) << query.toStdString();
    }
    model.setQuery({});

    model.setFilter(AppsSettingsModel::AppFilter::running);
    EXPECT_EQ(names(), QStringList({"Text Editor"}));
    running.clear(); // launches after the pane was shown do not count until it is shown again
    EXPECT_TRUE(model.index(0).data(AppsSettingsModel::IsRunningRole).toBool());
    model.appear();
    EXPECT_EQ(model.rowCount(), 0);

    model.setFilter(AppsSettingsModel::AppFilter::all);
    EXPECT_TRUE(model.setData(model.index(1), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(model.setData(model.index(1), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(model.setData(model.index(0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(controller->allowedAppIDs(), QSet<QString>({"kitty", "firefox-esr"}));
    EXPECT_EQ(defaults->stringList(QStringLiteral("allowedAppIDs")).value_or(QStringList()),
              QStringList({"firefox-esr", "kitty"}));

    model.setFilter(AppsSettingsModel::AppFilter::selected);
    EXPECT_EQ(names(), QStringList({"Firefox", "Kitty"}));
    EXPECT_TRUE(model.setData(model.index(0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(names(), QStringList({"Kitty"})) << "unticking under Selected drops the row at once";

    controller->setLimitToSelectedApps(false);
    EXPECT_EQ(controller->allowedAppIDs(), QSet<QString>({"kitty"})) << "\"All apps\" keeps the ticks";
}

TEST_F(SettingsPanesTest, AboutShowsTheBuildAndFollowsTheUpdater)
{
    int reports = 0;
    AboutSettingsModel about(
        &updater, [&] { ++reports; }, QString(), QString());
    EXPECT_EQ(about.versionText(), QStringLiteral("Version "));
    EXPECT_EQ(AboutSettingsModel(&updater, {}).versionText(), QStringLiteral("Version 0.1.0"));

    QSignalSpy canCheck(&about, &AboutSettingsModel::canCheckForUpdatesChanged);
    updater.setCanCheck(false);
    EXPECT_FALSE(about.canCheckForUpdates());
    about.checkForUpdates();
    EXPECT_EQ(updater.checks, 0);
    updater.setCanCheck(true);
    EXPECT_EQ(canCheck.count(), 2);
    about.checkForUpdates();
    EXPECT_EQ(updater.checks, 1);

    about.reportProblem();
    EXPECT_EQ(reports, 1);
    AboutSettingsModel(nullptr, {}).reportProblem(); // nobody to send it: nothing happens
}
