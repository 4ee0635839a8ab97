// What the program tells the user where the desktop has no page for it: the permission help for each
// desktop, what became of a report no mail program took, the notifications at start and those of
// files that could not be written; and the one dialog that shows the first two.

#include "Features/Shell/NoticeTexts.h"
#include "Features/Shell/StartNotices.h"
#include "Features/Shell/Views/NoticeDialog.h"
#include "Features/Shell/WriteNotices.h"
#include "Support/LayoutCheck.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>

using namespace Lumivox;
using Route = DiagnosticReport::Delivery::Route;

TEST(Notices, AccessibilityHelpNamesTheSwitchOfThisDesktop)
{
    for (const auto &[desktop, step] : std::vector<std::pair<const char *, const char *>> {
             {"XFCE", "in Settings › Accessibility"},
             {"MATE", "in Control Center › Assistive Technologies"},
             {"ubuntu:GNOME", "run\ngsettings set org.gnome.desktop.interface toolkit-accessibility true"},
             {"KDE", "in your desktop’s accessibility settings, or in a terminal run\ngsettings set"},
         }) {
        const auto help =
            NoticeTexts::permissionHelp(CoordinatorWindows::Permission::accessibility, QString::fromUtf8(desktop));
        ASSERT_EQ(help.steps.size(), 3) << desktop;
        EXPECT_TRUE(help.steps[0].contains(QStringLiteral("at-spi2-core")));
        EXPECT_TRUE(help.steps[1].contains(QString::fromUtf8(step))) << help.steps[1].toStdString();
    }
}

TEST(Notices, AReportThatWasNotAttachedSaysWhatWasDoneAndWhereTheFileIs)
{
    const QString file = QDir::homePath()
        + QStringLiteral("/.local/share/Lumivox/Reports/Lumivox-diagnostic-report-2025-03-09-141502.txt");
    const QString paste = QStringLiteral("Write to support@lumivox.app from any mail program or web mail, and %1.");
    const struct
    {
        DiagnosticReport::Delivery delivery;
        const char *title;
        QString text;
        QString step;
    } cases[] = {
        {{Route::webBrowser, file, true, true},
         "Mail links open in your web browser",
         QStringLiteral("A web page cannot take an attached file, so nothing was sent. The diagnostic report is on the "
                        "clipboard. It is saved as "
                        "~/.local/share/Lumivox/Reports/Lumivox-diagnostic-report-2025-03-09-141502.txt, and "
                        "Lumivox asked your desktop to open its folder."),
         paste.arg(QStringLiteral("paste the report or attach the file"))},
        {{Route::mailProgramFailed, file, false, false},
         "Your mail program did not open",
         QStringLiteral("The diagnostic report could not be put on the clipboard. It is saved as "
                        "~/.local/share/Lumivox/Reports/Lumivox-diagnostic-report-2025-03-09-141502.txt."),
         paste.arg(QStringLiteral("attach the file"))},
        {{Route::noFile, std::nullopt, true, false},
         "The report could not be saved",
         QStringLiteral("The diagnostic report is on the clipboard."),
         paste.arg(QStringLiteral("paste the report"))},
        {{Route::noMailProgram, std::nullopt, false, false},
         "No mail program is set up",
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

TEST(Notices, StartNotificationsNameEveryKeptFile)
{
    using Store = StartNotices::KeptFile::Store;
    const QString data = QDir::homePath() + QStringLiteral("/.local/share/app.lumivox");
    EXPECT_FALSE(StartNotices::keptFiles({}));
    const auto kept = StartNotices::keptFiles(
        {{Store::preferences, QStringLiteral("/c/app.lumivox.json"),
          QStringLiteral("/c/app.lumivox-unreadable-5.json")},
         {Store::savedWords, data + QStringLiteral("/Words.json"), data + QStringLiteral("/Words-unreadable-7.json")},
         {Store::history, QStringLiteral("/d/History.jsonl"), QStringLiteral("/d/History-unreadable-7.jsonl")},
         {Store::historyLines, QStringLiteral("/d/History.jsonl"), QStringLiteral("/d/History-unreadable-8.jsonl")},
         {Store::diagnostics, QDir::homePath() + QStringLiteral("/.local/share/Lumivox/diagnostics.json"),
          QDir::homePath() + QStringLiteral("/.local/share/Lumivox/diagnostics-unreadable-9.json")}});
    EXPECT_EQ(kept->title, QStringLiteral("Lumivox kept 5 files it could not read"));
    EXPECT_EQ(kept->body.split(QLatin1Char('\n')),
              QStringList({"Your settings could not be read and are back to their defaults. app.lumivox.json is kept "
                           "as /c/app.lumivox-unreadable-5.json.",
                           "Your saved words could not be read; the list starts empty. Words.json is kept as "
                           "~/.local/share/app.lumivox/Words-unreadable-7.json.",
                           "Your look-up history could not be read; it starts empty. History.jsonl is kept as "
                           "/d/History-unreadable-7.jsonl.",
                           "Some lines of your look-up history could not be read and were left out. They are kept in "
                           "/d/History-unreadable-8.jsonl.",
                           "The record kept for problem reports could not be read; it starts empty. diagnostics.json "
                           "is kept as ~/.local/share/Lumivox/diagnostics-unreadable-9.json."}));
}

// What is said depends on the system's number, never on its words, which follow the locale.
TEST(Notices, AFileThatCouldNotBeWrittenIsToldWithWhatWhyAndWhatNext)
{
    const QString words = QDir::homePath() + QStringLiteral("/.local/share/app.lumivox/Words.json");
    const auto failure = [&](UserFile file, const QString &path, int code, const char *reason) {
        return WriteFailure {file, path, {QString::fromUtf8(reason), code}};
    };
    struct Case
    {
        WriteFailure failure;
        const char *title;
        const char *body;
    };
    const std::vector<Case> cases {
        {failure(UserFile::savedWords, words, ENOSPC, "Kein Platz"), "Lumivox could not save your words",
         "~/.local/share/app.lumivox/Words.json could not be written: the disk is full. Your words are kept while "
         "Lumivox runs and written as soon as it can. Free some space, and keep Lumivox running until then."},
        {failure(UserFile::history, QStringLiteral("/d/History.jsonl"), EACCES, "Permission denied"),
         "Lumivox could not save your look-up history",
         "/d/History.jsonl could not be written: Lumivox has no permission to write there. Your look-ups are kept "
         "while Lumivox runs and written as soon as it can. Make the folder writable, and keep Lumivox running until "
         "then."},
        {failure(UserFile::preferences, QStringLiteral("/c/app.lumivox.json"), EROFS, "Read-only file system"),
         "Lumivox could not save your settings",
         "/c/app.lumivox.json could not be written: the disk is read-only. Your settings are kept while Lumivox runs "
         "and written as soon as it can. Make the folder writable, and keep Lumivox running until then."},
        {failure(UserFile::savedWords, words, 0, "another copy of Lumivox kept its folder locked"),
         "Lumivox could not save your words",
         "~/.local/share/app.lumivox/Words.json could not be written: another copy of Lumivox kept its folder "
         "locked. Your words are kept while Lumivox runs and written as soon as it can. Keep Lumivox running until "
         "then."},
    };
    for (const Case &c : cases) {
        const auto notice = WriteNotices::failed(c.failure);
        EXPECT_EQ(notice.title, QString::fromUtf8(c.title));
        EXPECT_EQ(notice.body, QString::fromUtf8(c.body));
        EXPECT_FALSE(notice.clickable);
    }

    // At the end: one notification for every file still not written, and a line each on the terminal.
    EXPECT_FALSE(WriteNotices::unwrittenAtEnd({}));
    const auto one = WriteNotices::unwrittenAtEnd({cases[0].failure});
    EXPECT_EQ(one->title, QStringLiteral("Lumivox quit without saving your words"));
    EXPECT_EQ(one->body,
              QStringLiteral("~/.local/share/app.lumivox/Words.json could not be written: the disk is full. "
                             "What changed in your saved words since it was last written is lost; the file "
                             "still holds what it held before."));
    const auto both = WriteNotices::unwrittenAtEnd({cases[2].failure, cases[0].failure});
    EXPECT_EQ(both->title, QStringLiteral("Lumivox quit without saving everything"));
    EXPECT_EQ(both->body.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(both->body.startsWith(QStringLiteral("/c/app.lumivox.json could not be written")));
    EXPECT_EQ(WriteNotices::terminalLines({cases[1].failure}),
              QStringList {QStringLiteral("lumivox: /d/History.jsonl could not be written (Permission denied); what "
                                          "changed in your look-up history since it was last written is lost.")});
}

TEST(Notices, TheDialogShowsEveryPartOnceFitsItAndClosesWithOk)
{
    for (const auto &notice :
         {NoticeTexts::permissionHelp(CoordinatorWindows::Permission::screenRecording, {}),
          NoticeTexts::reportNotice({Route::webBrowser, QDir::homePath() + QStringLiteral("/r.txt"), true, true})}) {
        NoticeDialog shown(notice);
        shown.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(Testing::layoutProblems(&shown), QStringList()) << notice.name.toStdString();
    }

    const auto help =
        NoticeTexts::permissionHelp(CoordinatorWindows::Permission::accessibility, QStringLiteral("GNOME"));
    NoticeDialog::present(help);
    QPointer<NoticeDialog> dialog = NoticeDialog::present(help);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int open = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        open += qobject_cast<NoticeDialog *>(window) && window->isVisible() ? 1 : 0;
    EXPECT_EQ(open, 1) << "a second click shows one dialog, not two";
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->findChild<QLabel *>(QStringLiteral("accessibilityHelp.text"))->text(), help.text);
    const auto *step = dialog->findChild<QLabel *>(QStringLiteral("accessibilityHelp.step2"));
    EXPECT_EQ(step->text(), help.steps[1]);
    EXPECT_EQ(step->textFormat(), Qt::PlainText);
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("accessibilityHelp.ok")), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dialog) << "closed and gone";
}
