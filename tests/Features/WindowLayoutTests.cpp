// Every window, pane and dialog, laid out offscreen in the program's style, shows all of its text:
// no label cut or elided, no title wider than its button, nothing outside its window or past the
// edge of a scroll area that cannot scroll that way. And the check itself finds each kind of fault.

#include "App/DesktopWindows.h"
#include "Fakes/FakeCoordinator.h"
#include "Fakes/FakeMotionPreference.h"
#include "Fakes/FakeSecrets.h"
#include "Fakes/WordsFixture.h"
#include "Features/LanguagePicker/Views/LanguagePickerPanel.h"
#include "Features/Onboarding/OnboardingModel.h"
#include "Features/Onboarding/Views/OnboardingWindow.h"
#include "Features/Settings/Views/GeneralSettingsPane.h"
#include "Features/Settings/Views/GoogleKeyView.h"
#include "Features/Settings/Views/SettingsWindow.h"
#include "Features/Shell/NoticeTexts.h"
#include "Features/Shell/Views/NoticeDialog.h"
#include "Features/Words/Views/ReviewView.h"
#include "Features/Words/Views/WordsSettingsPane.h"
#include "Features/Words/Views/WordsView.h"
#include "Features/Words/WordsWindows.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Support/LayoutCheck.h"
#include "Support/TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

void settle(QWidget *window)
{
    window->show();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// The window as it is on screen now fits its text; `state` names it in a failure.
void expectFits(QWidget *window, const QString &state)
{
    settle(window);
    EXPECT_EQ(layoutProblems(window), QStringList()) << state.toStdString();
}

class WindowLayout : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    Appearance appearance {std::nullopt};
};

// Words met in several applications, one of them on four pages, as a reader's book holds them.
void fillWords(WordsFixture &f)
{
    std::vector<WordLookup> maison;
    const char *sentences[] = {"Nous avons acheté une vieille maison au bord de la mer.",
                               "La maison de mes grands-parents sentait le pain chaud.",
                               "Il est rentré à la maison très tard."};
    for (int i = 0; i < 3; ++i) {
        maison.push_back(makeLookup({.word = QStringLiteral("maison"),
                                     .meaning = QStringLiteral("house"),
                                     .date = f.ago(i * 1900.0 + 40),
                                     .source = QStringLiteral("fr"),
                                     .target = QStringLiteral("en"),
                                     .sentence = QString::fromUtf8(sentences[i]),
                                     .translation = QStringLiteral("We bought an old house by the sea."),
                                     .appID = QStringLiteral("org.mozilla.firefox"),
                                     .appName = QStringLiteral("Firefox"),
                                     .grammarTag = QStringLiteral("Noun"),
                                     .grammarText = QStringLiteral("feminine noun: la maison, les maisons")}));
    }
    f.saved = {makeSaved({.word = QStringLiteral("maison"),
                          .meaning = QStringLiteral("house"),
                          .date = f.ago(3 * 1440.0),
                          .source = QStringLiteral("fr"),
                          .target = QStringLiteral("en"),
                          .grammarTag = QStringLiteral("Noun")},
                         maison, 3),
               makeSaved({.word = QStringLiteral("fleur"),
                          .meaning = QStringLiteral("flower"),
                          .date = f.ago(60),
                          .source = QStringLiteral("fr"),
                          .target = QStringLiteral("en"),
                          .sentence = QStringLiteral("Une fleur pousse entre les pavés.")})};
    for (const SavedWord &word : f.saved)
        f.history.insert(f.history.end(), word.encounters.rbegin(), word.encounters.rend());
}

} // namespace

TEST_F(WindowLayout, EveryTabOfSettingsShowsAllOfItsFormWithoutScrolling)
{
    CoordinatorOverFakes scene;
    auto secrets = std::make_shared<FakeSecrets>();
    Native::ScopedOverride<Native::Secrets> secretsOverride(secrets);
    await(KeychainStorage::remove(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService));
    scene.grant(true, false);
    FakeUpdater updater;
    SettingsWindow::Dependencies d;
    d.controller = scene.controller.get();
    d.appearance = &appearance;
    d.updater = &updater;
    d.presence = std::make_shared<FakePresence>();
    d.apps = AppsSettingsModel::Sources {[] {
                                             return std::vector<InstalledApp> {
                                                 {QStringLiteral("Firefox"), QStringLiteral("firefox"), {}},
                                                 {QStringLiteral("Kitty"), QStringLiteral("kitty"), {}}};
                                         },
                                         [] { return std::set<QString> {QStringLiteral("kitty")}; }};
    SettingsWindow window(std::move(d));
    window.setWordsPane(new WordsSettingsPane(*scene.book, *scene.controller, {}, {}, appearance));
    scene.book->setKeepsHistory(true);
    scene.book->record(lookup(QStringLiteral("river"), scene.now(), QStringLiteral("A river runs.")));

    // Every pane but the long Words form fits the window on a screen of 800 points without scrolling.
    const auto formFits = [&](const QString &state, bool mayScroll = false) {
        window.present();
        expectFits(&window, state);
        for (QScrollArea *form : window.findChildren<QScrollArea *>()) {
            if (form->isVisibleTo(&window) && !mayScroll) {
                EXPECT_EQ(form->verticalScrollBar()->maximum(), 0) << state.toStdString() << ": the form scrolls";
            }
        }
    };
    formFits(QStringLiteral("General, a permission missing"));
    scene.grant(true, true);
    formFits(QStringLiteral("General, all set"));
    window.generalPane()->model()->setTrayCheck([] { return false; });
    formFits(QStringLiteral("General, all set, no tray in the panel"));
    window.generalPane()->model()->setTrayCheck({});
    scene.controller->setShowsGoogleKeyScreen(true);
    formFits(QStringLiteral("Google key screen"));
    scene.controller->setShowsGoogleKeyScreen(false);
    for (SettingsTab tab : {SettingsTab::appearance, SettingsTab::apps, SettingsTab::words, SettingsTab::about}) {
        scene.controller->setSelectedSettingsTab(tab);
        formFits(SettingsTabs::rawValue(tab), tab == SettingsTab::words);
    }
    window.close();
}

TEST_F(WindowLayout, TheWordsWindowShowsAWordFullyAtItsFirstAndItsSmallestSize)
{
    WordsFixture words;
    fillWords(words);
    const auto book = words.book();
    WordsView view(*book, {}, std::make_shared<PreferenceStore>(QString()), appearance, words.clock);
    for (const QSize size : {QSize(1100, 720), view.minimumSize()}) {
        view.resize(size);
        const QString at = QStringLiteral("%1×%2, ").arg(size.width()).arg(size.height());
        view.model()->setSection(WordsSection::saved());
        view.model()->setSelection(words.saved[0].key());
        expectFits(&view, at + QStringLiteral("a word met three times"));
        view.model()->setSection(WordsSection::history());
        expectFits(&view, at + QStringLiteral("history"));
        view.model()->setQuery(QStringLiteral("zebra"));
        expectFits(&view, at + QStringLiteral("no matches"));
        view.model()->setQuery(QString());
    }
    view.close();
}

TEST_F(WindowLayout, TheGuideTheReviewThePromptAndThePickerFit)
{
    CoordinatorOverFakes scene;
    OnboardingWindow guide(*scene.controller, std::make_shared<FakeMotionPreference>(), scene.clock, appearance);
    for (int step = 0; step < OnboardingModel::stepCount; ++step) {
        guide.model()->go(step);
        expectFits(&guide, QStringLiteral("guide, step %1").arg(step + 1));
    }
    guide.close();

    WordsFixture words;
    fillWords(words);
    for (SavedWord &word : words.saved)
        word.review.due = words.ago(10);
    const auto book = words.book();
    WordsWindows owner(words.defaults, appearance, words.clock, false);
    owner.showReview(*book, std::nullopt);
    expectFits(owner.reviewWindow(), QStringLiteral("review, a question"));
    owner.reviewView()->model()->reveal();
    expectFits(owner.reviewWindow(), QStringLiteral("review, the answer"));
    owner.reviewView()->model()->answer(ReviewAnswer::gotIt);
    owner.reviewView()->model()->reveal();
    owner.reviewView()->model()->answer(ReviewAnswer::gotIt);
    expectFits(owner.reviewWindow(), QStringLiteral("review, done"));
    owner.showKeepPrompt(*book, TooltipKeyLabels {});
    expectFits(owner.promptWindow(), QStringLiteral("keep-words prompt"));

    LanguagePickerPanel picker(appearance);
    picker.model()->prepare(QStringLiteral("fr"), {QStringLiteral("ja"), QStringLiteral("my")}, false);
    picker.showNear(QPointF(300, 300));
    expectFits(&picker, QStringLiteral("language picker"));
    picker.dismiss();
}

TEST_F(WindowLayout, TheDialogsFit)
{
    using Route = DiagnosticReport::Delivery::Route;
    using Permission = CoordinatorWindows::Permission;
    const QString report =
        QStringLiteral("/home/someone/.local/share/Lumivox/Reports/Lumivox-diagnostic-report-2025-03-09-141502.txt");
    const std::vector<NoticeTexts::Notice> notices {
        NoticeTexts::permissionHelp(Permission::accessibility, QStringLiteral("GNOME")),
        NoticeTexts::permissionHelp(Permission::accessibility, QStringLiteral("XFCE")),
        NoticeTexts::permissionHelp(Permission::screenRecording, QString()),
        NoticeTexts::reportNotice({Route::noMailProgram, report, true, true}),
        NoticeTexts::reportNotice({Route::webBrowser, report, true, true}),
        NoticeTexts::reportNotice({Route::mailProgramFailed, report, true, false}),
        NoticeTexts::reportNotice({Route::noFile, std::nullopt, true, false}),
    };
    for (const NoticeTexts::Notice &notice : notices) {
        NoticeDialog dialog(notice);
        expectFits(&dialog, notice.name + QStringLiteral(": ") + notice.title);
    }

    App::DesktopWindows windows;
    windows.showAboutPanel();
    auto *about = qobject_cast<QMessageBox *>([] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QStringLiteral("aboutPanel"))
                return window;
        }
        return static_cast<QWidget *>(nullptr);
    }());
    ASSERT_NE(about, nullptr);
    expectFits(about, QStringLiteral("the tray's About box"));
    about->close();

    WordsFixture words;
    fillWords(words);
    const auto book = words.book();
    WordsView view(*book, {}, std::make_shared<PreferenceStore>(QString()), appearance, words.clock);
    view.model()->setSelection(words.saved[0].key());
    settle(&view);
    auto *remove = view.findChild<QAbstractButton *>(QStringLiteral("wordRemove"));
    ASSERT_NE(remove, nullptr);
    remove->click();
    auto *confirmation = view.findChild<QMessageBox *>(QStringLiteral("wordRemoveConfirmation"));
    ASSERT_NE(confirmation, nullptr);
    expectFits(confirmation, QStringLiteral("the Remove confirmation"));
    confirmation->reject();
    view.close();
}

TEST(LayoutCheck, FindsEachKindOfCutOffText)
{
    const QString sentence = QStringLiteral("A word’s meaning, shown right where you found it.");
    struct Case
    {
        const char *fault;
        std::function<void(QWidget &window)> build;
        const char *reported;
    };
    const std::vector<Case> cases {
        {"a label narrower than its text",
         [&](QWidget &w) { (new QLabel(sentence, &w))->setGeometry(10, 10, 120, 30); }, "text cut"},
        {"a label lower than its text", [&](QWidget &w) { (new QLabel(sentence, &w))->setGeometry(10, 10, 380, 6); },
         "text cut"},
        {"a wrapped label cut at the bottom",
         [&](QWidget &w) {
             auto *label = new QLabel(sentence, &w);
             label->setWordWrap(true);
             label->setGeometry(10, 10, 100, 20);
         },
         "wrapped text cut"},
        {"an elided label",
         [&](QWidget &w) {
             auto *label = new QLabel(QStringLiteral("A word’s meaning, shown…"), &w);
             label->setAccessibleName(sentence);
             label->setGeometry(10, 10, 380, 30);
         },
         "text elided"},
        {"a button narrower than its title",
         [&](QWidget &w) { (new QPushButton(QStringLiteral("Check for Updates…"), &w))->setGeometry(10, 10, 50, 30); },
         "title cut"},
        {"a widget past the window's edge",
         [&](QWidget &w) { (new QLabel(QStringLiteral("Saved"), &w))->setGeometry(370, 10, 80, 30); },
         "outside its window"},
        {"a form wider than the scroll area that cannot scroll across",
         [&](QWidget &w) {
             auto *scroll = new QScrollArea(&w);
             scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
             scroll->setGeometry(0, 0, 200, 100);
             auto *form = new QWidget;
             (new QPushButton(QStringLiteral("Saved"), form))->setGeometry(230, 10, 80, 30);
             form->setMinimumSize(320, 60);
             scroll->setWidget(form);
         },
         "outside its window"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault);
        QWidget window;
        window.resize(400, 120);
        c.build(window);
        settle(&window);
        const QStringList problems = layoutProblems(&window);
        ASSERT_FALSE(problems.isEmpty());
        for (const QString &problem : problems)
            EXPECT_TRUE(problem.contains(QLatin1String(c.reported))) << problem.toStdString();
    }

    // The same kinds of widget, each with room for its text, pass.
    QWidget window;
    window.resize(400, 120);
    auto *column = new QVBoxLayout(&window);
    column->addWidget(new QLabel(sentence));
    auto *wrapped = new QLabel(sentence);
    wrapped->setWordWrap(true);
    column->addWidget(wrapped);
    column->addWidget(new QPushButton(QStringLiteral("Check for Updates…")));
    settle(&window);
    EXPECT_EQ(layoutProblems(&window), QStringList());
}
