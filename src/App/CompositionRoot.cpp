#include "App/CompositionRoot.h"

#include "App/CoordinatorPanels.h"
#include "App/DesktopWindows.h"
#include "App/ShellWindows.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Features/Design/Appearance.h"
#include "Features/LanguagePicker/Views/LanguagePickerPanel.h"
#include "Features/Onboarding/OnboardingWindowOwner.h"
#include "Features/Overlay/OverlayPanel.h"
#include "Features/Shell/SettingsWindowOwner.h"
#include "Features/Shell/WriteNotices.h"
#include "Models/LanguageCatalog.h"
#include "Native/Accessibility/Accessibility.h"
#include "Native/Capture/ScreenCapture.h"
#include "Native/Input/Input.h"
#include "Native/Services.h"
#include "Native/Session/LoginItem.h"
#include "Native/Session/Notifications.h"
#include "Native/Translation/ApertiumTranslator.h"
#include "Native/Translation/TranslationRoutes.h"
#include "Native/Windows/WindowList.h"
#include "Services/Detection/TextRecognizer.h"
#include "Services/Learn/EnglishGrammarNote.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Services/Translation/GoogleTranslateClient.h"
#include "Services/Words/ReviewReminder.h"
#include "Services/Words/WordBook.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Shared/Preferences/PreferenceStore.h"

#include <QCoreApplication>
#include <QCoroFuture>
#include <QtConcurrent>

namespace Lumivox {

namespace {

// The client lives in the coroutine's frame for as long as its request runs; it reads the stored
// key from the keyring's cache, never from the keyring itself.
QCoro::Task<TranslationAttempt> translateWithGoogle(QString word, QString target, std::optional<QString> source)
{
    const GoogleTranslateClient client(target);
    auto job = client.translateExplained(word, GlanceTranslator::googleSource(source.value_or(QString())));
    co_return co_await job;
}

QCoro::Task<TranslationAttempt> translateOnDevice(AppleTranslateService &engine, QString word, QString target,
                                                  std::optional<QString> source)
{
    auto job = engine.translateExplained(word, target, source);
    co_return co_await job;
}

QCoro::Task<> warmUpGoogle(QString target)
{
    const GoogleTranslateClient client(target);
    co_await client.warmUp();
}

// The grammar note of one word runs every model the tagger loads on first use.
QCoro::Task<> warmUpTagger()
{
    co_await QtConcurrent::task([] {
        const QString sentence = QStringLiteral("Lumivox warms up the tagger.");
        (void)EnglishGrammar::line(QStringLiteral("warm"), sentence, EnglishGrammar::tokens(sentence), std::nullopt);
    })
        .withPriority(0)
        .spawn();
}

// One reading of the installed modes, for the catalogue and the translator alike: a pair removed
// later cannot leave a language unlocked that the translator no longer reaches.
std::set<LanguageCatalog::OnDevicePair> handOverOnDevicePairs(Native::Services &platform)
{
    QStringList table;
    for (const Language &language : LanguageCatalog::allLanguages())
        table.append(language.id.toLower());
    const Native::TranslationRoutes routes = Native::TranslationRoutes::installed();
    const std::set<LanguageCatalog::OnDevicePair> found = routes.pairsAmong(table);
    LanguageCatalog::setOnDevicePairs(found);
    // A translator already in place (a test's) stays.
    if (auto given = platform.exchange<Native::Translator>(nullptr))
        platform.exchange<Native::Translator>(std::move(given));
    else
        platform.exchange<Native::Translator>(std::make_shared<Native::ApertiumTranslator>(routes));
    return found;
}

std::unique_ptr<HoverTextController> makeHoverController(CompositionRoot &root)
{
    HoverTextController::Dependencies d;
    d.defaults = root.preferences;
    d.wordBook = &root.wordBook;
    d.translationCache = &root.translationCache;
    d.clock = Clock::system();
    d.input = root.platform.get<Native::Input>();
    d.windowList = root.platform.get<Native::WindowList>();
    d.accessibility = root.platform.get<Native::Accessibility>();
    d.capture = root.platform.get<Native::ScreenCapture>();
    d.loginItem = Native::LoginItem::autostartEntry(Native::LoginItem::userAutostartFolder(),
                                                    QCoreApplication::applicationFilePath(),
                                                    AppIdentity::bundleID().value_or(AppIdentity::appID));
    d.overlay = std::make_shared<App::TooltipOverlay>(*root.tooltipPanel);
    d.picker = std::make_shared<App::PickerPanel>(*root.languagePicker);
    d.windows = std::make_shared<App::ShellWindows>(root.settingsWindow, root.onboardingWindow,
                                                    std::make_shared<WordsWindows>(root.preferences, root.appearance));
    d.appWindows = std::make_shared<App::DesktopWindows>();
    d.prepareOnDeviceSession = [&engine = root.onDeviceTranslation](const QString &source, const QString &target) {
        engine.prepareSession(source, target);
    };
    d.flushDiagnostics = [&log = root.diagnosticLog](std::chrono::milliseconds limit) {
        return log.flushBeforeQuit(limit);
    };
    d.hostingTests = AppIdentity::isHostingTests();
    d.glanceTranslator = &root.glanceTranslator;
    d.translation.onDevice = [&engine = root.onDeviceTranslation](QString word, QString target,
                                                                  std::optional<QString> source) {
        return translateOnDevice(engine, std::move(word), std::move(target), std::move(source));
    };
    d.translation.google = translateWithGoogle;
    d.recordNote = [&log = root.diagnosticLog](DiagnosticReason reason, DiagnosticLog::Note note) {
        log.note(reason, std::move(note));
    };
    d.diagnosticLog = &root.diagnosticLog;
    d.isOnDeviceModelInstalled = [&engine = root.onDeviceTranslation](QString source, QString target) {
        return engine.isInstalled(std::move(source), std::move(target));
    };
    d.warmUp.google = warmUpGoogle;
    d.warmUp.tagger = warmUpTagger;
    d.warmUp.onDevice = [&engine = root.onDeviceTranslation](QString target) {
        return engine.warmUpDirect(std::move(target));
    };
    d.warmUp.recognition = TextRecognizer::warmUp;
    d.reviewReminder = root.reviewReminder;
    return std::make_unique<HoverTextController>(std::move(d));
}

} // namespace

CompositionRoot::CompositionRoot(Native::Services &platform)
    : platform(platform)
    , onDevicePairs(handOverOnDevicePairs(platform))
    , preferences(PreferenceStore::standard())
    , diagnosticLog(DiagnosticLog::shared())
    , appearance(Appearance::shared())
    , onDeviceTranslation(AppleTranslateService::shared())
    , glanceTranslator(GlanceTranslator::shared(onDeviceTranslation))
    , wordBook(WordBook::shared(preferences))
    , translationCache(preferences, translationCacheLimit, translationCacheSaveDelay)
    , settingsWindow(std::make_shared<SettingsWindowOwner>())
    , onboardingWindow(std::make_shared<OnboardingWindowOwner>())
    , tooltipPanel(std::make_unique<OverlayPanel>())
    , languagePicker(std::make_unique<LanguagePickerPanel>(appearance))
    , notifications(Native::Notifications::overDBus())
    , reviewReminder(AppIdentity::isHostingTests() ? nullptr
                                                   : std::make_shared<ReviewReminder>(notifications, Clock::system()))
    , hoverController(makeHoverController(*this))
{
    // Before any window shows: every window, dialog and menu draws in the desktop's scheme.
    appearance.keepApplicationPalette();

    // No quit hook here: the coordinator writes the cache, the word book and the diagnostics at
    // quit, in that order, on the one path every way of ending takes.

    // A write of the user's files that fails is told at once, once per cause, while the stores keep
    // what they could not write and try again.
    const auto tell = [notifications = notifications](const WriteFailure &failure) {
        WriteNotices::send(*notifications, failure);
    };
    QObject::connect(preferences.get(), &PreferenceStore::writeFailed, preferences.get(), tell);
    QObject::connect(&wordBook, &WordBook::writeFailed, &wordBook, tell);

    // The one read of the keyring, on its worker: Settings, the picker and the key screen follow its
    // answer when it arrives (KeychainStorage::announcer()).
    KeychainStorage::readInBackground(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService);
}

CompositionRoot::~CompositionRoot() = default;

bool CompositionRoot::writePending()
{
    const bool written = hoverController->applicationWillTerminate();
    if (!written) {
        std::vector<WriteFailure> failures = wordBook.writeFailures();
        if (const auto settings = preferences->writeFailure())
            failures.insert(failures.begin(), *settings);
        WriteNotices::tellAtEnd(*notifications, failures, endNoticeLimit);
    }
    return written;
}

} // namespace Lumivox
