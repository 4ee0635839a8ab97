// What the program tells the user where the desktop has no page for it: the permission help for each
// desktop, what became of a report no mail program took, and the notifications at start; and the one
// dialog that shows the first two.

#include "Features/Shell/NoticeTexts.h"
#include "Features/Shell/StartNotices.h"
#include "Features/Shell/Views/NoticeDialog.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace Lumivox;
using Permission = CoordinatorWindows::Permission;
using Route = DiagnosticReport::Delivery::Route;

TEST(Notices, AccessibilityHelpNamesTheSwitchOfThisDesktop)
{
    const struct
    {
        const char *desktop;
        const char *step;
    } cases[] = {
        {"XFCE", "Turn on “Enable assistive technologies” in Settings › Accessibility."},
        {"MATE", "Turn on “Enable assistive technologies” in Control Center › Assistive Technologies."},
        {"ubuntu:GNOME",
         "Turn on assistive technologies: in a terminal, run\n"
         "gsettings set org.gnome.desktop.interface toolkit-accessibility true"},
        {"",
         "Turn on assistive technologies in your desktop’s accessibility settings, or in a terminal run\n"
         "gsettings set org.gnome.desktop.interface toolkit-accessibility true"},
        {"KDE",
         "Turn on assistive technologies in your desktop’s accessibility settings, or in a terminal run\n"
         "gsettings set org.gnome.desktop.interface toolkit-accessibility true"},
    };
    for (const auto &c : cases) {
        const auto help = NoticeTexts::permissionHelp(Permission::accessibility, QString::fromUtf8(c.desktop));
        ASSERT_EQ(help.steps.size(), 3) << c.desktop;
        EXPECT_TRUE(help.steps[0].contains(QStringLiteral("at-spi2-core")));
        EXPECT_EQ(help.steps[1], QString::fromUtf8(c.step)) << c.desktop;
        EXPECT_TRUE(help.steps[2].contains(QStringLiteral("started again")));
    }
    const auto screen = NoticeTexts::permissionHelp(Permission::screenRecording, QStringLiteral("GNOME"));
    EXPECT_EQ(screen.title, QStringLiteral("Screen capture needs an X11 session"));
    EXPECT_TRUE(screen.steps.join(QLatin1Char(' ')).contains(QStringLiteral("X11 session")));
}

TEST(Notices, AReportThatWasNotAttachedSaysWhatWasDoneAndWhereTheFileIs)
{
    const QString file = QDir::homePath() + QStringLiteral("/.cache/Lumivox/reports/Lumivox-diagnostic-report.txt");
    const QString shown = QStringLiteral("~/.cache/Lumivox/reports/Lumivox-diagnostic-report.txt");
    const struct
    {
        DiagnosticReport::Delivery delivery;
        const char *title;
        QString text;
        QString step;
    } cases[] = {
        {{Route::noMailProgram, file, true, true},
         "No mail program is set up",
         QStringLiteral("The diagnostic report is on the clipboard. It is saved as %1, and its folder is open.")
             .arg(shown),
         QStringLiteral("Write to support@lumivox.app from any mail program or web mail, and paste the report or "
                        "attach the file.")},
        {{Route::webBrowser, file, true, false},
         "Mail links open in your web browser",
         QStringLiteral("A web page cannot take an attached file, so nothing was sent. The diagnostic report is on the "
                        "clipboard. It is saved as %1.")
             .arg(shown),
         QStringLiteral("Write to support@lumivox.app from any mail program or web mail, and paste the report or "
                        "attach the file.")},
        {{Route::mailProgramFailed, file, false, true},
         "Your mail program did not open",
         QStringLiteral("The diagnostic report could not be put on the clipboard. It is saved as %1, and its folder "
                        "is open.")
             .arg(shown),
         QStringLiteral("Write to support@lumivox.app from any mail program or web mail, and attach the file.")},
        {{Route::noFile, std::nullopt, true, false},
         "The report could not be saved",
         QStringLiteral("The diagnostic report is on the clipboard."),
         QStringLiteral("Write to support@lumivox.app from any mail program or web mail, and paste the report.")},
        {{Route::noFile, std::nullopt, false, false},
         "The report could not be saved",
         QStringLiteral("The diagnostic report could not be put on the clipboard. Nothing was kept to send; please "
                        "try again."),
         QString()},
    };
    for (const auto &c : cases) {
        const auto notice = NoticeTexts::reportNotice(c.delivery);
        EXPECT_EQ(notice.title, QString::fromUtf8(c.title));
        EXPECT_EQ(notice.text, c.text);
        EXPECT_EQ(notice.steps.value(0), c.step);
    }
}

TEST(Notices, StartNotificationsNameTheKeptFilesAndTheMissingTray)
{
    const QString data = QDir::homePath() + QStringLiteral("/.local/share/app.lumivox");
    EXPECT_FALSE(StartNotices::keptFiles({}));
    const auto one =
        StartNotices::keptFiles({{StartNotices::KeptFile::Store::savedWords, data + QStringLiteral("/Words.json"),
                                  data + QStringLiteral("/Words-unreadable-1800000000.json")}});
    ASSERT_TRUE(one);
    EXPECT_EQ(one->title, QStringLiteral("Lumivox kept a file it could not read"));
    EXPECT_EQ(one->body,
              QStringLiteral("Your saved words could not be read; the list starts empty. Words.json is kept "
                             "as ~/.local/share/app.lumivox/Words-unreadable-1800000000.json."));
    const auto three = StartNotices::keptFiles(
        {{StartNotices::KeptFile::Store::preferences, QStringLiteral("/etc/x/app.lumivox.json"),
          QStringLiteral("/etc/x/app.lumivox-unreadable-5.json")},
         {StartNotices::KeptFile::Store::savedWords, QStringLiteral("/d/Words.json"), QStringLiteral("/d/W-2.json")},
         {StartNotices::KeptFile::Store::history, QStringLiteral("/d/History.jsonl"), QStringLiteral("/d/H-1.jsonl")}});
    EXPECT_EQ(three->title, QStringLiteral("Lumivox kept 3 files it could not read"));
    EXPECT_EQ(three->body.split(QLatin1Char('\n')),
              QStringList({"Your settings could not be read and are back to their defaults. app.lumivox.json is kept "
                           "as /etc/x/app.lumivox-unreadable-5.json.",
                           "Your saved words could not be read; the list starts empty. Words.json is kept as "
                           "/d/W-2.json.",
                           "Your look-up history could not be read; it starts empty. History.jsonl is kept as "
                           "/d/H-1.jsonl."}));
    EXPECT_EQ(StartNotices::noTray().desktopEntry, QStringLiteral("app.lumivox"));
    EXPECT_TRUE(StartNotices::noTray().body.contains(QStringLiteral("Start Lumivox again")));
}

TEST(Notices, TheDialogShowsEveryPartOnceAndClosesWithOk)
{
    const auto help = NoticeTexts::permissionHelp(Permission::accessibility, QStringLiteral("GNOME"));
    NoticeDialog *first = NoticeDialog::present(help);
    QPointer<NoticeDialog> second = NoticeDialog::present(help);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int open = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        open += qobject_cast<NoticeDialog *>(window) && window->isVisible() ? 1 : 0;
    EXPECT_EQ(open, 1) << "a second click shows one dialog, not two";
    ASSERT_TRUE(second);
    Q_UNUSED(first);
    EXPECT_EQ(second->findChild<QLabel *>(QStringLiteral("accessibilityHelp.title"))->text(), help.title);
    EXPECT_EQ(second->findChild<QLabel *>(QStringLiteral("accessibilityHelp.text"))->text(), help.text);
    EXPECT_EQ(second->findChild<QLabel *>(QStringLiteral("accessibilityHelp.step2"))->text(), help.steps[1]);
    EXPECT_EQ(second->findChild<QLabel *>(QStringLiteral("accessibilityHelp.step2"))->textFormat(), Qt::PlainText);
    QTest::mouseClick(second->findChild<QPushButton *>(QStringLiteral("accessibilityHelp.ok")), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(second) << "closed and gone";
}
