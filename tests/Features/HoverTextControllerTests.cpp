// The coordinator over fakes, with no display: its settings and their effects, the computed states,
// the permission poll on a fake clock, the desktop's events, the picker, the login item and the way
// the program ends.

#include "Fakes/FakeAccessibility.h"
#include "Fakes/FakeCapture.h"
#include "Fakes/FakeCoordinatorViews.h"
#include "Fakes/FakeHotKeys.h"
#include "Fakes/FakeInput.h"
#include "Fakes/FakeMailHandOff.h"
#include "Fakes/FakeSecrets.h"
#include "Fakes/FakeWindowList.h"
#include "Fakes/FakeWordBookEnvironment.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Models/FontCatalog.h"
#include "Models/LanguageCatalog.h"
#include "Native/Services.h"
#include "Services/Detection/MouseTracker.h"
#include "Services/Translation/TranslationStore.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Support/TestSupport.h"

#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

class HoverTextControllerTest : public ::testing::Test, protected WordBookEnvironment
{
protected:
    std::shared_ptr<FakeInput> input = std::make_shared<FakeInput>();
    std::shared_ptr<FakeWindowList> windowList = std::make_shared<FakeWindowList>();
    std::shared_ptr<FakeAccessibility> accessibility = std::make_shared<FakeAccessibility>();
    std::shared_ptr<FakeCapture> capture = std::make_shared<FakeCapture>();
    std::shared_ptr<Native::LoginItem> loginItem = Native::LoginItem::autostartEntry(
        path(QStringLiteral("autostart")), QStringLiteral("/opt/My Apps/lumi$vox%"), QStringLiteral("app.lumivox"));
    std::shared_ptr<FakeOverlay> overlay = std::make_shared<FakeOverlay>();
    std::shared_ptr<FakePicker> picker = std::make_shared<FakePicker>();
    std::shared_ptr<FakeWindows> windows = std::make_shared<FakeWindows>();
    std::shared_ptr<FakeHotKeys> hotKeys = std::make_shared<FakeHotKeys>();
    Native::ScopedOverride<Native::HotKeys> hotKeyOverride {hotKeys};
    Native::ScopedOverride<Native::Accessibility> accessibilityOverride {accessibility};
    std::unique_ptr<WordBook> book = makeBook();
    std::vector<std::pair<QString, QString>> preparedSessions;
    std::function<bool(std::chrono::milliseconds)> flushDiagnostics = [](std::chrono::milliseconds) { return true; };
    HoverTextController::WarmUpSteps warmUpSteps;
    std::shared_ptr<FakeMailHandOff> mail = std::make_shared<FakeMailHandOff>();
    DiagnosticLog *diagnosticLog = nullptr;
    // One per coordinator made, over the store it is given.
    std::vector<std::unique_ptr<TranslationStore>> caches;

    std::unique_ptr<HoverTextController> make(bool hostingTests = true)
    {
        HoverTextController::Dependencies d;
        d.defaults = defaults;
        d.wordBook = book.get();
        d.translationCache = caches.emplace_back(std::make_unique<TranslationStore>(defaults, 3000, 2.0, clock)).get();
        d.clock = clock;
        d.input = input;
        d.windowList = windowList;
        d.accessibility = accessibility;
        d.capture = capture;
        d.loginItem = loginItem;
        d.overlay = overlay;
        d.picker = picker;
        d.windows = windows;
        d.prepareOnDeviceSession = [this](const QString &source, const QString &target) {
            preparedSessions.emplace_back(source, target);
        };
        d.flushDiagnostics = [this](std::chrono::milliseconds limit) { return flushDiagnostics(limit); };
        d.hostingTests = hostingTests;
        d.warmUp = warmUpSteps;
        d.mail = mail;
        d.diagnosticLog = diagnosticLog;
        return std::make_unique<HoverTextController>(std::move(d));
    }

    void grant(bool accessibilityGranted, bool screenRecordingGranted)
    {
        accessibility->trusted = accessibilityGranted;
        capture->screenRecordingGranted = screenRecordingGranted;
    }
};

QStringList strings(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *s : list)
        out.append(QString::fromUtf8(s));
    return out;
}

} // namespace

TEST_F(HoverTextControllerTest, StoredSettingsReadWithTheirDefaultsAndTheLegacySwitch)
{
    struct Seen
    {
        bool skipNonWords = true;
        QString target = QStringLiteral("si");
        double fontSize = 16.0;
        QString holdKey = QStringLiteral("option");
        bool limit = false;
        QSet<QString> allowed;
        bool operator==(const Seen &) const = default;
    };
    struct Row
    {
        const char *name;
        std::map<QString, PreferenceValue> stored;
        Seen expected;
    };
    const std::vector<Row> rows {
        {"nothing stored", {}, {}},
        {"the old switch stands in for a missing one, or one of the wrong type",
         {{QStringLiteral("skipNonWords"), QStringLiteral("NO")},
          {QStringLiteral("useVelquistFilter"), false},
          {QStringLiteral("velquistApiKey"), QStringLiteral("k")}},
         {.skipNonWords = false}},
        {"the new switch wins over the old one",
         {{QStringLiteral("skipNonWords"), qint64(1)}, {QStringLiteral("useVelquistFilter"), false}},
         {}},
        {"mistyped values fall back",
         {{QStringLiteral("fontSize"), QStringLiteral("18")},
          {QStringLiteral("recentTargetLanguages"), PreferenceValue::List {PreferenceValue(qint64(1))}},
          {QStringLiteral("limitToSelectedApps"), PreferenceValue::List {}},
          {QStringLiteral("allowedAppIDs"), QStringLiteral("kitty")},
          {QStringLiteral("skipNonWords"), qint64(2)}},
         {}},
        {"values of the right type are taken as stored, an unknown hold key too",
         {{QStringLiteral("fontSize"), qint64(20)},
          {QStringLiteral("translateTarget"), QString()},
          {QStringLiteral("holdKey"), qint64(5)},
          {QStringLiteral("allowedAppIDs"), strings({"kitty", "emacs", "kitty"})},
          {QStringLiteral("limitToSelectedApps"), QStringLiteral("YES")}},
         {true, QString(), 20.0, QStringLiteral("5"), true, {QStringLiteral("kitty"), QStringLiteral("emacs")}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        for (const QString &key : defaults->keys())
            defaults->remove(key);
        for (const auto &[key, value] : row.stored)
            defaults->set(key, value);
        const auto c = make();
        EXPECT_EQ((Seen {c->skipNonWords(), c->targetLanguage(), c->fontSize(), c->holdKey(), c->limitToSelectedApps(),
                         c->allowedAppIDs()}),
                  row.expected);
        EXPECT_TRUE(c->recentLanguages().isEmpty());
        EXPECT_TRUE(c->isEnabled());
        EXPECT_FALSE(c->launchAtLogin());
        // The old keys are gone, and the switch is kept under its own key, whichever key it came from.
        EXPECT_FALSE(defaults->contains(QStringLiteral("useVelquistFilter")));
        EXPECT_FALSE(defaults->contains(QStringLiteral("velquistApiKey")));
        EXPECT_EQ(defaults->object(QStringLiteral("skipNonWords")), PreferenceValue(c->skipNonWords()));
    }
}

TEST_F(HoverTextControllerTest, APreferenceFileThatIsNotJsonGivesTheDefaultsAndIsSetAside)
{
    const QByteArray bytes("{\"fontSize\": 18,");
    QFile file(path(QStringLiteral("prefs.json")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    defaults = std::make_shared<PreferenceStore>(file.fileName(), clock);
    EXPECT_EQ(make()->fontSize(), 16.0);
    const QStringList aside = QDir(folder.path()).entryList({QStringLiteral("prefs-unreadable-*.json")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(contents(path(aside.front())), bytes);
}

TEST_F(HoverTextControllerTest, AssigningTheTargetLanguageRunsEveryEffectEvenWhenUnchanged)
{
    // A computer with a pair into German.
    Testing::ScopedOnDeviceLanguages onDevice({QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("fr")});
    defaults->set(QStringLiteral("translateTarget"), QStringLiteral("de"));
    defaults->set(QStringLiteral("recentTargetLanguages"), strings({"fr", "de", "es", "it"}));
    const auto controller = make();
    QSignalSpy target(controller.get(), &HoverTextController::targetLanguageChanged);
    QSignalSpy recents(controller.get(), &HoverTextController::recentLanguagesChanged);
    QSignalSpy language(controller.get(), &HoverTextController::currentLanguageChanged);
    QSignalSpy written(defaults.get(), &PreferenceStore::changed);
    const auto generation = controller->hover().translateGeneration;
    const std::stop_token readAhead = controller->hover().readAheadTask.start();
    const std::stop_token lookupTask = controller->hover().captureTask.start();
    overlay->visible = true;

    controller->setTargetLanguage(QStringLiteral("de"));
    EXPECT_EQ(target.count(), 0);
    EXPECT_EQ(language.count(), 0);
    EXPECT_EQ(controller->recentLanguages(), strings({"de", "fr", "es", "it"}));
    EXPECT_EQ(recents.count(), 1);
    QStringList keys;
    for (const auto &args : written)
        keys.append(args.at(0).toString());
    EXPECT_EQ(keys, strings({"translateTarget", "recentTargetLanguages"}));
    EXPECT_FALSE(overlay->visible) << "the tooltip is cleared";
    EXPECT_TRUE(readAhead.stop_requested());
    EXPECT_FALSE(controller->hover().readAheadTask.isPresent());
    EXPECT_TRUE(lookupTask.stop_requested()) << "clearing the tooltip cancels the lookup";
    EXPECT_EQ(controller->hover().translateGeneration, generation + 1);
    EXPECT_EQ(preparedSessions, (std::vector<std::pair<QString, QString>> {{"en", "de"}}));

    // A new code goes first and pushes the oldest out; a language only Google translates prepares no
    // on-device session.
    controller->setTargetLanguage(QStringLiteral("si"));
    EXPECT_EQ(controller->recentLanguages(), strings({"si", "de", "fr", "es"}));
    EXPECT_EQ(target.count(), 1);
    EXPECT_EQ(language.count(), 1);
    EXPECT_EQ(preparedSessions.size(), 1u);
    EXPECT_EQ(defaults->stringList(QStringLiteral("recentTargetLanguages")), controller->recentLanguages());

    // Two codes the table does not know are the same (first) row: no change of the language.
    controller->setTargetLanguage(QStringLiteral("xx"));
    controller->setTargetLanguage(QStringLiteral("yy"));
    EXPECT_EQ(language.count(), 2);
    EXPECT_EQ(controller->currentLanguage(), LanguageCatalog::allLanguages().front());
}

TEST_F(HoverTextControllerTest, SettersWriteTheirKeysAndNotifyOnlyOnChange)
{
    const auto controller = make();
    QSignalSpy fontSize(controller.get(), &HoverTextController::fontSizeChanged);
    QSignalSpy holdKey(controller.get(), &HoverTextController::holdKeyChanged);
    QSignalSpy trigger(controller.get(), &HoverTextController::triggerModeChanged);
    QSignalSpy allowed(controller.get(), &HoverTextController::allowedAppIDsChanged);

    // A meaning on screen is redrawn at every assignment, in place and without a new look-up.
    controller->hover().translatedText = QStringLiteral("río");
    controller->setFontSize(16.0);
    controller->setFontSize(21.5);
    controller->setFontSize(21.5);
    EXPECT_EQ(fontSize.count(), 1);
    EXPECT_EQ(defaults->object(QStringLiteral("fontSize")), PreferenceValue(21.5));
    ASSERT_EQ(overlay->shown.size(), 3u) << "the tooltip on screen is redrawn at every assignment";
    EXPECT_EQ(overlay->shown.back().first.fontSize, 21.5);
    EXPECT_EQ(overlay->shown.back().first.text, QStringLiteral("río"));

    // An unknown hold key is kept as written and reads as Alt.
    controller->setHoldKey(QStringLiteral("hyper"));
    EXPECT_EQ(holdKey.count(), 1);
    EXPECT_EQ(trigger.count(), 0);
    controller->setTriggerMode(TriggerMode::shift);
    EXPECT_EQ(defaults->string(QStringLiteral("holdKey")), QStringLiteral("shift"));
    EXPECT_EQ(trigger.count(), 1);
    controller->setHoldKey(QStringLiteral("shift"));
    EXPECT_EQ(holdKey.count(), 2);

    controller->setAllowedAppIDs({QStringLiteral("kitty"), QStringLiteral("emacs")});
    controller->setAllowedAppIDs({QStringLiteral("emacs"), QStringLiteral("kitty")});
    EXPECT_EQ(allowed.count(), 1);
    EXPECT_EQ(defaults->stringList(QStringLiteral("allowedAppIDs")), strings({"emacs", "kitty"}));
    controller->setAllowedAppIDs({});
    EXPECT_EQ(allowed.count(), 2);

    // The flags that views bind: one notification per change, none for the same value again; the
    // stored ones are written at every assignment.
    struct Flag
    {
        const char *key;
        bool (HoverTextController::*get)() const;
        void (HoverTextController::*set)(bool);
        void (HoverTextController::*changed)();
    };
    using C = HoverTextController;
    const Flag flags[] = {
        {"skipNonWords", &C::skipNonWords, &C::setSkipNonWords, &C::skipNonWordsChanged},
        {"limitToSelectedApps", &C::limitToSelectedApps, &C::setLimitToSelectedApps, &C::limitToSelectedAppsChanged},
        {nullptr, &C::canCopyLastTranslation, &C::setCanCopyLastTranslation, &C::canCopyLastTranslationChanged},
        {nullptr, &C::showsGoogleKeyScreen, &C::setShowsGoogleKeyScreen, &C::showsGoogleKeyScreenChanged},
        {nullptr, &C::isEnabled, &C::setEnabled, &C::isEnabledChanged},
    };
    for (const Flag &flag : flags) {
        QSignalSpy changed(controller.get(), flag.changed);
        bool held = (controller.get()->*flag.get)();
        int changes = 0;
        for (bool value : {true, true, false, false, true}) {
            changes += value != held;
            held = value;
            (controller.get()->*flag.set)(value);
            EXPECT_EQ((controller.get()->*flag.get)(), value);
            if (flag.key) {
                EXPECT_EQ(defaults->object(QString::fromUtf8(flag.key)), PreferenceValue(value));
            }
        }
        EXPECT_EQ(changed.count(), changes);
    }
    QSignalSpy tab(controller.get(), &HoverTextController::selectedSettingsTabChanged);
    controller->setSelectedSettingsTab(SettingsTab::general);
    controller->setSelectedSettingsTab(SettingsTab::about);
    controller->setSelectedSettingsTab(SettingsTab::about);
    EXPECT_EQ(tab.count(), 1);
}

TEST_F(HoverTextControllerTest, MenuBarStateFollowsEachOfItsInputs)
{
    const auto controller = make();
    QSignalSpy state(controller.get(), &HoverTextController::menuBarStateChanged);
    QSignalSpy title(controller.get(), &HoverTextController::statusTitleChanged);
    QSignalSpy any(controller.get(), &HoverTextController::hasAnyPermissionChanged);
    QSignalSpy accessibilityChanged(controller.get(), &HoverTextController::hasAccessibilityPermissionChanged);
    QSignalSpy screenChanged(controller.get(), &HoverTextController::hasScreenRecordingPermissionChanged);
    struct Row
    {
        bool accessibility;
        bool screenRecording;
        bool enabled;
        MenuBarState expected;
        const char *title;
        bool tracking;
    };
    const Row rows[] = {
        {false, false, true, MenuBarState::needsPermission, "Lumivox needs permission", false},
        // Screen text alone lets look-ups run, but the icon still asks for accessibility.
        {false, true, true, MenuBarState::needsPermission, "Lumivox needs permission", true},
        {true, true, true, MenuBarState::on, "Lumivox is on", true},
        {true, false, true, MenuBarState::on, "Lumivox is on", true},
        {true, false, false, MenuBarState::off, "Lumivox is off", false},
        {false, false, false, MenuBarState::needsPermission, "Lumivox needs permission", false},
    };
    MenuBarState previous = controller->menuBarState();
    bool previousAny = controller->hasAnyPermission();
    int expectedChanges = 0;
    int expectedAnyChanges = 0;
    int expectedAccessibilityChanges = 0;
    int expectedScreenChanges = 0;
    for (const Row &row : rows) {
        expectedAccessibilityChanges += controller->hasAccessibilityPermission() != row.accessibility;
        expectedScreenChanges += controller->hasScreenRecordingPermission() != row.screenRecording;
        grant(row.accessibility, row.screenRecording);
        controller->checkPermission();
        controller->setEnabled(row.enabled);
        expectedChanges += row.expected != previous;
        expectedAnyChanges += controller->hasAnyPermission() != previousAny;
        previous = row.expected;
        previousAny = controller->hasAnyPermission();
        EXPECT_EQ(controller->menuBarState(), row.expected);
        EXPECT_EQ(controller->statusTitle(), QString::fromUtf8(row.title));
        EXPECT_EQ(controller->isTracking(), row.tracking);
        EXPECT_EQ(state.count(), expectedChanges);
        EXPECT_EQ(title.count(), expectedChanges);
        EXPECT_EQ(any.count(), expectedAnyChanges);
        EXPECT_EQ(accessibilityChanged.count(), expectedAccessibilityChanges);
        EXPECT_EQ(screenChanged.count(), expectedScreenChanges);
    }
    // Turning off clears the tooltip; toggling back on follows the pointer again.
    grant(true, true);
    controller->setEnabled(true);
    controller->checkPermission();
    overlay->visible = true;
    controller->toggleEnabled();
    EXPECT_FALSE(controller->isEnabled());
    EXPECT_FALSE(overlay->visible);
    controller->toggleEnabled();
    EXPECT_TRUE(controller->isTracking());
}

TEST_F(HoverTextControllerTest, FontsComeFromTheLanguageKeyThenTheOldKeyThenTheCatalogue)
{
    defaults->set(QStringLiteral("font_si"), QString());
    defaults->set(QStringLiteral("sinhalaFont"), QStringLiteral("Noto Sans Sinhala"));
    defaults->set(QStringLiteral("englishFont"), QStringLiteral("Old English"));
    defaults->set(QStringLiteral("font_en"), QStringLiteral("DejaVu Serif"));
    defaults->set(QStringLiteral("font_fr"), QString());
    const auto controller = make();
    EXPECT_EQ(controller->font(QStringLiteral("si")), QStringLiteral("Noto Sans Sinhala"));
    EXPECT_EQ(controller->currentFont(), QStringLiteral("Noto Sans Sinhala"));
    EXPECT_EQ(controller->font(QStringLiteral("en")), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(controller->font(QStringLiteral("xx")), QStringLiteral("SF Pro"));
    const Language french = *LanguageCatalog::language(u"fr");
    EXPECT_EQ(controller->font(QStringLiteral("fr")),
              FontCatalog::bestFont(french.id, french.sampleScript, french.preferredFonts));

    // Setting a font writes the old key as well for Sinhala and English, and redraws a tooltip of
    // the target language.
    QSignalSpy currentFont(controller.get(), &HoverTextController::currentFontChanged);
    controller->hover().translatedText = QStringLiteral("río");
    controller->setFont(QStringLiteral("Lohit"), QStringLiteral("si"));
    EXPECT_EQ(defaults->string(QStringLiteral("font_si")), QStringLiteral("Lohit"));
    EXPECT_EQ(defaults->string(QStringLiteral("sinhalaFont")), QStringLiteral("Lohit"));
    EXPECT_EQ(currentFont.count(), 1);
    ASSERT_EQ(overlay->shown.size(), 1u);
    EXPECT_EQ(overlay->shown.front().first.fontName, QStringLiteral("Lohit"));
    controller->setFont(QStringLiteral("Lohit"), QStringLiteral("si"));
    EXPECT_EQ(currentFont.count(), 1);
    controller->setFont(QStringLiteral("Liberation Serif"), QStringLiteral("de"));
    EXPECT_EQ(defaults->string(QStringLiteral("font_de")), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(overlay->shown.size(), 2u) << "each setting redraws a tooltip of the target language";
    EXPECT_EQ(currentFont.count(), 1);
    EXPECT_FALSE(defaults->contains(QStringLiteral("germanFont")));
}

TEST_F(HoverTextControllerTest, TheLoginItemIsTheAutostartEntryInTheConfigFolder)
{
    const QString entry = path(QStringLiteral("autostart/app.lumivox.desktop"));
    const auto controller = make();
    QSignalSpy launch(controller.get(), &HoverTextController::launchAtLoginChanged);

    controller->setLaunchAtLogin(true);
    const QByteArray written = contents(entry);
    EXPECT_TRUE(written.startsWith("[Desktop Entry]\n"));
    // The path is quoted as the format wants: $ escaped twice over, % doubled.
    EXPECT_TRUE(written.contains("\nExec=\"/opt/My Apps/lumi\\\\$vox%%\" --autostart\n")) << written.toStdString();
    EXPECT_EQ(launch.count(), 1);

    // The desktop turns it off by marking it hidden; refreshing reads that.
    {
        QFile f(entry);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("Hidden=true\n");
    }
    controller->refreshLaunchAtLogin();
    EXPECT_FALSE(controller->launchAtLogin());
    controller->setLaunchAtLogin(true);
    controller->setLaunchAtLogin(false);
    EXPECT_FALSE(QFileInfo::exists(entry));

    // When the folder cannot be made the switch goes back to what the desktop really does.
    QFile blocker(path(QStringLiteral("autostart")));
    QDir(path(QStringLiteral("autostart"))).removeRecursively();
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    launch.clear();
    controller->setLaunchAtLogin(true);
    EXPECT_FALSE(controller->launchAtLogin());
    EXPECT_EQ(launch.count(), 2);
}

TEST_F(HoverTextControllerTest, PermissionsArePolledEveryTwoSecondsUntilBothAreGrantedAndOnboardingIsGone)
{
    grant(false, false);
    const auto controller = make(false);
    EXPECT_FALSE(controller->isTracking());
    EXPECT_EQ(controller->menuBarState(), MenuBarState::needsPermission);
    // A first start opens onboarding once the constructor has returned.
    EXPECT_EQ(windows->onboardingShown, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(windows->onboardingShown, 1);

    grant(false, true);
    clock->advance(1900ms);
    EXPECT_FALSE(controller->hasScreenRecordingPermission());
    // Coming to the front reads the permissions at once; going to the back does not.
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(controller->hasScreenRecordingPermission());
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_TRUE(controller->hasScreenRecordingPermission());
    clock->advance(100ms);
    EXPECT_TRUE(controller->isTracking());

    // A poll while the pointer settles does not restart the tracker, which would lose the rest.
    int stills = 0;
    QObject::connect(&controller->mouseTracker(), &MouseTracker::pointerRested, [&](QPointF) { ++stills; });
    clock->advance(1900ms);
    input->setLocation(QPointF(500, 500));
    controller->mouseTracker().handleEvent(Native::InputEvent {Native::InputEvent::Type::mouseMoved, 0});
    clock->advance(200ms);
    EXPECT_EQ(stills, 1);
    EXPECT_FALSE(controller->hasAccessibilityPermission());

    grant(true, true);
    clock->advance(1900ms);
    EXPECT_TRUE(controller->hasAccessibilityPermission());
    EXPECT_EQ(clock->pendingCount(), 1u) << "still polling while onboarding is on screen";

    windows->closeOnboarding();
    EXPECT_FALSE(defaults->boolValue(QStringLiteral("hasCompletedOnboarding"))) << "only Done finishes it";
    clock->advance(2s);
    EXPECT_EQ(clock->pendingCount(), 0u);
    grant(false, false);
    clock->advance(10s);
    EXPECT_TRUE(controller->hasAccessibilityPermission()) << "no poll runs any more";

    // Becoming the active application checks again, and a missing permission starts the poll anew.
    controller->checkPermission();
    EXPECT_FALSE(controller->isTracking());
    EXPECT_EQ(clock->pendingCount(), 1u);
}

TEST_F(HoverTextControllerTest, ThePickerOpensAtThePointerAndALockedChoiceOpensTheKeyScreen)
{
    // A computer with a pair into German.
    Testing::ScopedOnDeviceLanguages onDevice({QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("fr")});
    defaults->set(QStringLiteral("hasCompletedOnboarding"), true);
    defaults->set(QStringLiteral("translateTarget"), QStringLiteral("de"));
    defaults->set(QStringLiteral("recentTargetLanguages"), strings({"fr"}));
    const auto controller = make(false);
    // With everything granted and onboarding done, a start stays quiet: no window, no poll; only the
    // warm-up waits for its turn.
    QCoreApplication::processEvents();
    EXPECT_EQ(windows->onboardingShown, 0);
    EXPECT_EQ(clock->pendingCount(), 1u);
    ASSERT_EQ(hotKeys->registrationCount(), 1u);
    const auto &key = hotKeys->registrations().begin()->second;
    EXPECT_EQ(key.keyCode, 37u);
    EXPECT_EQ(key.modifiers, Native::HotKeyModifier::command | Native::HotKeyModifier::option);
    const auto hosted = make(true);
    EXPECT_EQ(hotKeys->registrationCount(), 1u) << "a test host takes no key";

    overlay->visible = true;
    input->setLocation(QPointF(40, 50));
    ASSERT_TRUE(hotKeys->press(37, key.modifiers));
    EXPECT_TRUE(picker->visible);
    EXPECT_EQ(picker->shownAt, std::vector<QPointF> {QPointF(40, 50)});
    EXPECT_FALSE(overlay->visible);
    ASSERT_TRUE(hotKeys->press(37, key.modifiers));
    EXPECT_FALSE(picker->visible);
    ASSERT_EQ(picker->preparations.size(), 1u);
    EXPECT_EQ(picker->preparations[0].currentID, QStringLiteral("de"));
    EXPECT_EQ(picker->preparations[0].recentIDs, strings({"de", "fr"}));
    EXPECT_EQ(controller->recentLanguages(), strings({"fr"})) << "only the picker's list has the current code";

    // Choosing the language already set changes nothing; cancelling dismisses.
    QSignalSpy recents(controller.get(), &HoverTextController::recentLanguagesChanged);
    controller->toggleLanguagePicker();
    emit picker->chosen(*LanguageCatalog::language(u"de"));
    EXPECT_EQ(recents.count(), 0);
    EXPECT_FALSE(picker->visible);
    controller->toggleLanguagePicker();
    emit picker->cancelled();
    EXPECT_FALSE(picker->visible);

    // Sinhala needs a Google key: the choice is taken, and Settings opens on the key screen.
    controller->setSelectedSettingsTab(SettingsTab::words);
    emit picker->chosen(*LanguageCatalog::language(u"si"));
    EXPECT_EQ(controller->targetLanguage(), QStringLiteral("si"));
    EXPECT_EQ(controller->selectedSettingsTab(), SettingsTab::general);
    EXPECT_TRUE(controller->showsGoogleKeyScreen());
    EXPECT_EQ(windows->settingsOpened, 1);

    // The picker hears whether a usable Google key is stored; a blank one is none.
    auto secrets = std::make_shared<FakeSecrets>();
    Native::ScopedOverride<Native::Secrets> secretsOverride(secrets);
    for (const QString &stored : {QStringLiteral(" \n"), QStringLiteral("AIza-key")}) {
        ASSERT_TRUE(Testing::await(
            KeychainStorage::save(KeychainStorage::googleAPIKeyAccount, stored, KeychainStorage::licenseService)));
        picker->visible = false;
        controller->toggleLanguagePicker();
        EXPECT_EQ(picker->preparations.back().hasGoogleKey, !stored.trimmed().isEmpty());
    }
    Testing::await(KeychainStorage::remove(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService));

    // Asking for accessibility enables the bus; when that is not enough, the help says what to do.
    accessibility->trusted = false;
    controller->requestAccessibilityPermission();
    EXPECT_EQ(accessibility->trustRequests, 1);
    capture->screenRecordingGranted = false;
    controller->requestScreenRecordingPermission();
    EXPECT_EQ(windows->help,
              (std::vector<CoordinatorWindows::Permission> {CoordinatorWindows::Permission::accessibility,
                                                            CoordinatorWindows::Permission::screenRecording}));
}

TEST_F(HoverTextControllerTest, SwitchingApplicationsAndDesktopsFollowsTheFrontApplication)
{
    windowList->setActiveWindow(Native::ActiveWindow {1, 10, QStringLiteral("org.example.Editor")});
    const auto controller = make();
    controller->checkPermission();
    EXPECT_EQ(controller->currentFrontmostAppID(), QStringLiteral("org.example.Editor"));
    controller->setLimitToSelectedApps(true);
    controller->setAllowedAppIDs({QStringLiteral("org.example.Editor")});

    struct Row
    {
        const char *name;
        std::optional<Native::ActiveWindow> active;
        std::optional<QString> frontmost;
        bool clears;
        int fetches; // refreshes of the capture cache
    };
    const std::vector<Row> rows {
        {"a not-allowed application clears the tooltip", Native::ActiveWindow {2, 20, QStringLiteral("kitty")},
         QStringLiteral("kitty"), true, 1},
        {"another window of it is no switch", Native::ActiveWindow {3, 20, QStringLiteral("kitty")},
         QStringLiteral("kitty"), false, 0},
        {"nothing in front is no switch", std::nullopt, QStringLiteral("kitty"), false, 0},
        {"an allowed application keeps it", Native::ActiveWindow {1, 10, QStringLiteral("org.example.Editor")},
         QStringLiteral("org.example.Editor"), false, 1},
        {"an application without an id keeps it", Native::ActiveWindow {4, 30, std::nullopt}, std::nullopt, false, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        overlay->visible = true;
        const int fetchesBefore = capture->fetchCount();
        windowList->setActiveWindow(row.active);
        input->sendDesktop(Native::DesktopEvent::Type::activeWindowChanged);
        EXPECT_EQ(controller->currentFrontmostAppID(), row.frontmost);
        EXPECT_EQ(overlay->visible, !row.clears);
        ASSERT_TRUE(spinUntil([&] { return !controller->isRefreshingCaptureCache(); }));
        EXPECT_EQ(capture->fetchCount(), fetchesBefore + row.fetches);
    }

    // Another desktop clears the tooltip; with the program off the cache is only dropped.
    overlay->visible = true;
    input->sendDesktop(Native::DesktopEvent::Type::desktopChanged);
    EXPECT_FALSE(overlay->visible);
    ASSERT_TRUE(spinUntil([&] { return !controller->isRefreshingCaptureCache(); }));
    controller->setEnabled(false);
    const int fetches = capture->fetchCount();
    input->sendDesktop(Native::DesktopEvent::Type::desktopChanged);
    ASSERT_TRUE(spinUntil([&] { return !controller->isRefreshingCaptureCache(); }));
    EXPECT_EQ(capture->fetchCount(), fetches);
}

TEST_F(HoverTextControllerTest, AnOpenMenuStopsTrackingUntilTheLastMenuCloses)
{
    const auto controller = make();
    controller->checkPermission();
    ASSERT_TRUE(controller->isTracking());
    overlay->visible = true;

    QMenu menu;
    QMenu *submenu = menu.addMenu(QStringLiteral("More"));
    submenu->addAction(QStringLiteral("Item"));
    menu.popup(QPoint(10, 10));
    EXPECT_TRUE(controller->isMenuTracking());
    EXPECT_FALSE(controller->isTracking());
    EXPECT_FALSE(overlay->visible);

    // Turning on or checking permissions while a menu is open does not start tracking.
    controller->setEnabled(true);
    controller->checkPermission();
    EXPECT_FALSE(controller->isTracking());

    submenu->popup(QPoint(60, 10));
    submenu->hide();
    EXPECT_TRUE(controller->isMenuTracking()) << "the main menu is still open";
    menu.hide();
    EXPECT_FALSE(controller->isMenuTracking());
    EXPECT_TRUE(controller->isTracking());

    // A menu that closes while the program is off leaves the pointer alone.
    controller->setEnabled(false);
    menu.popup(QPoint(10, 10));
    menu.hide();
    EXPECT_FALSE(controller->isTracking());

    // The tray menu as a status-notifier panel draws it: never shown as a widget, only announced.
    controller->setEnabled(true);
    QMenu tray;
    controller->followMenu(tray);
    overlay->visible = true;
    emit tray.aboutToShow();
    emit tray.aboutToShow(); // the panel may ask again while it is open
    EXPECT_TRUE(controller->isMenuTracking());
    EXPECT_FALSE(controller->isTracking());
    EXPECT_FALSE(overlay->visible);
    emit tray.aboutToHide();
    EXPECT_FALSE(controller->isMenuTracking());
    EXPECT_TRUE(controller->isTracking());
    // Shown as a widget (a tray that embeds the icon), both ways of telling count once.
    tray.addAction(QStringLiteral("Item"));
    tray.popup(QPoint(10, 10));
    EXPECT_TRUE(controller->isMenuTracking());
    tray.hide();
    EXPECT_FALSE(controller->isMenuTracking());
    EXPECT_TRUE(controller->isTracking());
}

TEST_F(HoverTextControllerTest, EndingWritesTheCacheThenTheWordBookThenTheDiagnostics)
{
    defaults = std::make_shared<PreferenceStore>(path(QStringLiteral("prefs.json")), clock);
    defaults->set(QStringLiteral("hasCompletedOnboarding"), true);
    ASSERT_TRUE(defaults->synchronize());
    const auto controller = make(false);
    controller->translationCache().set(QStringLiteral("Haus"), QStringLiteral("de:auto:house"));
    book->save(lookup(QStringLiteral("house"), now()), now());
    ASSERT_FALSE(QFileInfo::exists(savedPath())) << "the save waits for its delay";

    int diagnostics = 0;
    flushDiagnostics = [&](std::chrono::milliseconds limit) {
        EXPECT_EQ(limit, HoverTextController::terminationFlushLimit);
        // By now both earlier saves are on disk.
        EXPECT_TRUE(contents(path(QStringLiteral("prefs.json"))).contains("de:auto:house"));
        EXPECT_TRUE(contents(savedPath()).contains("\"house\""));
        ++diagnostics;
        return true;
    };
    EXPECT_TRUE(controller->applicationWillTerminate());
    // Only once: the quit hook after a signal finds it done.
    EXPECT_TRUE(controller->applicationWillTerminate());
    EXPECT_EQ(diagnostics, 1);

    // A write that overruns its limit is reported.
    const auto second = make(false);
    flushDiagnostics = [](std::chrono::milliseconds) { return false; };
    EXPECT_FALSE(second->applicationWillTerminate());

    // A test host keeps no diagnostics file.
    const auto hosted = make(true);
    bool flushed = false;
    flushDiagnostics = [&](std::chrono::milliseconds) { return flushed = true; };
    EXPECT_TRUE(hosted->applicationWillTerminate());
    EXPECT_FALSE(flushed);

    // So is one that fails: a folder is where the file goes.
    ASSERT_TRUE(QFile::remove(savedPath()) && QDir().mkpath(savedPath()));
    book->save(lookup(QStringLiteral("tree"), now()), now());
    EXPECT_FALSE(make(true)->applicationWillTerminate());
}

TEST_F(HoverTextControllerTest, WarmUpTouchesEachEngineInTurnAndFollowsATargetChangedMeanwhile)
{
    auto secrets = std::make_shared<FakeSecrets>();
    Native::ScopedOverride<Native::Secrets> secretsOverride(secrets);
    QString googleOnly;
    for (const Language &language : LanguageCatalog::allLanguages()) {
        if (!language.isAppleSupported()) {
            googleOnly = language.id;
            break;
        }
    }
    ASSERT_FALSE(googleOnly.isEmpty());

    std::vector<QString> calls;
    std::optional<std::function<void()>> duringTagger;
    warmUpSteps.google = [&](QString target) -> QCoro::Task<> {
        calls.push_back(QStringLiteral("google ") + target);
        co_return;
    };
    warmUpSteps.tagger = [&]() -> QCoro::Task<> {
        calls.push_back(QStringLiteral("tagger"));
        if (duringTagger)
            (*duringTagger)();
        co_return;
    };
    warmUpSteps.onDevice = [&](QString target) -> QCoro::Task<> {
        calls.push_back(QStringLiteral("on device ") + target);
        co_return;
    };
    warmUpSteps.recognition = [&]() -> QCoro::Task<> {
        calls.push_back(QStringLiteral("recognition"));
        co_return;
    };

    struct Row
    {
        const char *name;
        QString target;
        bool googleKey;
        bool screenRecording;
        std::vector<QString> expected;
        bool preparesSession;
    };
    const std::vector<Row> rows {
        {"translated on this computer: no Google even with a key",
         QStringLiteral("es"),
         true,
         true,
         {QStringLiteral("tagger"), QStringLiteral("on device es"), QStringLiteral("recognition")},
         true},
        {"Google's language with a key",
         googleOnly,
         true,
         true,
         {QStringLiteral("google ") + googleOnly, QStringLiteral("tagger"), QStringLiteral("on device ") + googleOnly,
          QStringLiteral("recognition")},
         false},
        {"no key and no screen recording",
         googleOnly,
         false,
         false,
         {QStringLiteral("tagger"), QStringLiteral("on device ") + googleOnly},
         false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        calls.clear();
        preparedSessions.clear();
        if (row.googleKey)
            ASSERT_TRUE(Testing::await(KeychainStorage::save(KeychainStorage::googleAPIKeyAccount,
                                                             QStringLiteral("AIza"), KeychainStorage::licenseService)));
        else
            Testing::await(
                KeychainStorage::remove(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService));
        grant(true, row.screenRecording);
        const auto controller = make();
        controller->checkPermission();
        controller->setTargetLanguage(row.target);
        preparedSessions.clear();
        controller->warmUp();
        clock->advance(HoverTextController::warmUpDelay - 1ms);
        EXPECT_TRUE(calls.empty()) << "nothing before the delay";
        clock->advance(1ms);
        ASSERT_TRUE(spinUntil([&] { return calls.size() >= row.expected.size(); }, 30s)) << calls.size();
        EXPECT_EQ(calls, row.expected);
        EXPECT_EQ(!preparedSessions.empty(), row.preparesSession);
    }

    // The target changes while the tagger warms up: the next step warms the new one.
    calls.clear();
    const auto controller = make();
    controller->setTargetLanguage(QStringLiteral("es"));
    duringTagger = [&] { controller->setTargetLanguage(QStringLiteral("fr")); };
    controller->warmUp();
    clock->advance(HoverTextController::warmUpDelay);
    ASSERT_TRUE(spinUntil([&] { return calls.size() >= 2; }, 30s));
    EXPECT_EQ(calls[1], QStringLiteral("on device fr"));
}

TEST_F(HoverTextControllerTest, TheReportIsMailedOnceAtATimeAndOtherwiseLandsOnTheClipboard)
{
    DiagnosticLog log(std::nullopt, false, 1s, clock);
    diagnosticLog = &log;
    const auto controller = make();
    controller->setTargetLanguage(QStringLiteral("de"));

    controller->emailDiagnosticReport();
    controller->emailDiagnosticReport();
    EXPECT_TRUE(controller->isSendingDiagnosticReport());
    ASSERT_TRUE(spinUntil([&] { return !controller->isSendingDiagnosticReport(); }));
    ASSERT_EQ(mail->drafts.size(), 1u) << "the second request while the first ran did nothing";
    QFile attached(mail->drafts[0].attachmentPath);
    ASSERT_TRUE(attached.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(attached.readAll()).contains(QStringLiteral("translate to: de")));
    EXPECT_EQ(attached.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions {})
        << "the report stays the user's";
    EXPECT_TRUE(mail->clipboard.empty());
    EXPECT_TRUE(windows->reportNotices.empty()) << "an attached report speaks for itself";

    // The mail program fails: the report goes to the clipboard, its folder opens and the user is told;
    // then it may be sent again.
    mail->composeOutcome = {Native::MailHandOff::Status::failed, 1, QStringLiteral("exit 1")};
    controller->emailDiagnosticReport();
    ASSERT_TRUE(spinUntil([&] { return !controller->isSendingDiagnosticReport(); }));
    ASSERT_EQ(mail->clipboard.size(), 1u);
    EXPECT_TRUE(mail->clipboard[0].contains(QStringLiteral("translate to: de")));
    EXPECT_EQ(mail->folders.size(), 1u);
    EXPECT_EQ(mail->drafts.size(), 2u);
    ASSERT_EQ(windows->reportNotices.size(), 1u);
    EXPECT_EQ(windows->reportNotices[0].route, DiagnosticReport::Delivery::Route::mailProgramFailed);
    EXPECT_EQ(windows->reportNotices[0].file, mail->drafts[1].attachmentPath);
}
