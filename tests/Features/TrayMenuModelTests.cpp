// The tray menu as data in each state the program can be in, and what choosing its rows does.

#include "Fakes/ShellHarness.h"
#include "Features/Shell/UpdateNotifier.h"
#include "Models/LanguageCatalog.h"
#include "Services/Words/WordBook.h"
#include "Support/TestSupport.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

// Failures show the lists as text.
inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '"' << list.join(QStringLiteral("\" \"")).toStdString() << '"';
}

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

// One line per row: "id: text", with [off] for a disabled action, [x] for a checked radio row, its
// key in brackets, "---" for a separator and "> id" for a submenu (its rows are left out here).
QStringList outline(const std::vector<TrayMenuRow> &rows)
{
    QStringList lines;
    for (const TrayMenuRow &row : rows) {
        switch (row.kind) {
        case TrayMenuRow::Kind::separator:
            lines << QStringLiteral("---");
            break;
        case TrayMenuRow::Kind::submenu:
            lines << QStringLiteral("> ") + row.text;
            break;
        case TrayMenuRow::Kind::label:
            lines << QStringLiteral("label ") + row.text;
            break;
        case TrayMenuRow::Kind::action:
            lines << row.text + (row.enabled ? QString() : QStringLiteral(" [off]"))
                    + (row.checked ? QStringLiteral(" [x]") : QString())
                    + (row.shortcut.isEmpty()
                           ? QString()
                           : QStringLiteral(" (") + row.shortcut.toString(QKeySequence::NativeText) + QLatin1Char(')'));
            break;
        }
    }
    return lines;
}

void trigger(const std::vector<TrayMenuRow> &rows, const QString &id)
{
    const TrayMenuRow *row = TrayMenuModel::find(rows, id);
    ASSERT_TRUE(row) << id.toStdString();
    ASSERT_TRUE(row->enabled);
    row->trigger();
}

QStringList checkedIn(const std::vector<TrayMenuRow> &rows)
{
    QStringList ids;
    for (const TrayMenuRow &row : rows) {
        if (row.checked)
            ids << row.id;
        ids << checkedIn(row.children);
    }
    return ids;
}

const QStringList tail {QStringLiteral("> Translate To"),
                        QStringLiteral("> Translate When"),
                        QStringLiteral("---"),
                        QStringLiteral("Copy Last Translation [off]"),
                        QStringLiteral("Report a Problem…"),
                        QStringLiteral("---"),
                        QStringLiteral("About Lumivox"),
                        QStringLiteral("Settings… (Ctrl+,)"),
                        QStringLiteral("Check for Updates…"),
                        QStringLiteral("---"),
                        QStringLiteral("Quit Lumivox")};

} // namespace

TEST(TrayMenuModel, EachStateShowsItsRows)
{
    struct Row
    {
        const char *name;
        std::function<void(ShellHarness &)> arrange;
        QStringList head;
    };
    const auto granted = [](ShellHarness &h) {
        h.accessibility->trusted = true;
        h.controller->checkPermission();
    };
    const auto saveWords = [](ShellHarness &h, int count) {
        for (int i = 0; i < count; ++i)
            h.book->save(lookup(QStringLiteral("word%1").arg(i), h.now()), h.now());
        // Saved words come due for their first review the next day.
        h.clock->setWallNow(h.clock->wallNow() + std::chrono::hours(48));
    };
    const std::vector<Row> rows {
        {"needs permission: the grant button, and no switching on or off",
         [](ShellHarness &h) {
             h.accessibility->trusted = false;
             h.controller->checkPermission();
         },
         {QStringLiteral("label Lumivox needs permission"), QStringLiteral("Grant Permission…"), QStringLiteral("---"),
          QStringLiteral("Turn Lumivox Off [off]"), QStringLiteral("---"), QStringLiteral("Words…"),
          QStringLiteral("---")}},
        {"on, Alt held, nothing due",
         granted,
         {QStringLiteral("label Lumivox is on"), QStringLiteral("label Hold Alt and point at a word"),
          QStringLiteral("---"), QStringLiteral("Turn Lumivox Off"), QStringLiteral("---"), QStringLiteral("Words…"),
          QStringLiteral("---")}},
        {"off",
         [&](ShellHarness &h) {
             granted(h);
             h.controller->setEnabled(false);
         },
         {QStringLiteral("label Lumivox is off"), QStringLiteral("label Words aren’t translated"),
          QStringLiteral("---"), QStringLiteral("Turn Lumivox On"), QStringLiteral("---"), QStringLiteral("Words…"),
          QStringLiteral("---")}},
        {"always: no key to hold; one word due",
         [&](ShellHarness &h) {
             granted(h);
             h.controller->setTriggerMode(TriggerMode::always);
             saveWords(h, 1);
         },
         {QStringLiteral("label Lumivox is on"), QStringLiteral("label Point at a word"), QStringLiteral("---"),
          QStringLiteral("Turn Lumivox Off"), QStringLiteral("---"), QStringLiteral("Review 1 Word"),
          QStringLiteral("Words…"), QStringLiteral("---")}},
        {"two words due",
         [&](ShellHarness &h) {
             granted(h);
             saveWords(h, 2);
         },
         {QStringLiteral("label Lumivox is on"), QStringLiteral("label Hold Alt and point at a word"),
          QStringLiteral("---"), QStringLiteral("Turn Lumivox Off"), QStringLiteral("---"),
          QStringLiteral("Review 2 Words"), QStringLiteral("Words…"), QStringLiteral("---")}},
        {"an update found",
         [&](ShellHarness &h) {
             granted(h);
             h.notifier.show(QStringLiteral("2.0"));
         },
         {QStringLiteral("Update to 2.0…"), QStringLiteral("---"), QStringLiteral("label Lumivox is on"),
          QStringLiteral("label Hold Alt and point at a word"), QStringLiteral("---"),
          QStringLiteral("Turn Lumivox Off"), QStringLiteral("---"), QStringLiteral("Words…"), QStringLiteral("---")}},
        {"an update ready to install",
         [&](ShellHarness &h) {
             granted(h);
             h.notifier.showReadyToInstall(QStringLiteral("2.0"), [] {});
         },
         {QStringLiteral("Restart to Update to 2.0"), QStringLiteral("---"), QStringLiteral("label Lumivox is on"),
          QStringLiteral("label Hold Alt and point at a word"), QStringLiteral("---"),
          QStringLiteral("Turn Lumivox Off"), QStringLiteral("---"), QStringLiteral("Words…"), QStringLiteral("---")}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ShellHarness h;
        row.arrange(h);
        EXPECT_EQ(outline(h.menu->rows()), row.head + tail);
        UpdateNotifier::clearInstallOnQuit();
    }
}

TEST(TrayMenuModel, RowsDriveTheCoordinatorAndTheUpdater)
{
    ShellHarness h;
    h.accessibility->trusted = true;
    h.controller->checkPermission();
    QSignalSpy changed(h.menu.get(), &TrayMenuModel::changed);

    // The radio rows: the popular languages, then every other under "All Languages"; one check mark.
    auto rows = h.menu->rows();
    const TrayMenuRow *to = TrayMenuModel::find(rows, QStringLiteral("translateTo"));
    ASSERT_TRUE(to);
    ASSERT_EQ(to->children.size(), LanguageCatalog::popularLanguages().size() + 2);
    EXPECT_EQ(to->children.front().text, LanguageCatalog::popularLanguages().front().name);
    const Language other = LanguageCatalog::otherLanguages().back();
    trigger(rows, QStringLiteral("language.") + other.id);
    EXPECT_EQ(h.controller->targetLanguage(), other.id);
    EXPECT_EQ(h.defaults->string(QStringLiteral("translateTarget")), other.id);
    rows = h.menu->rows();
    EXPECT_EQ(checkedIn(TrayMenuModel::find(rows, QStringLiteral("translateTo"))->children).join(u','),
              QStringLiteral("language.") + other.id);

    const TrayMenuRow *when = TrayMenuModel::find(rows, QStringLiteral("translateWhen"));
    EXPECT_EQ(outline(when->children),
              (QStringList {QStringLiteral("Holding Alt [x]"), QStringLiteral("Holding Super"),
                            QStringLiteral("Holding Ctrl"), QStringLiteral("Holding Shift"), QStringLiteral("---"),
                            QStringLiteral("Always")}));
    trigger(rows, QStringLiteral("holdKey.control"));
    EXPECT_EQ(h.defaults->string(QStringLiteral("holdKey")), QStringLiteral("control"));

    trigger(rows, QStringLiteral("toggleEnabled"));
    EXPECT_FALSE(h.controller->isEnabled());
    EXPECT_GE(changed.count(), 3) << "each change rebuilds the menu";

    trigger(rows, QStringLiteral("settings"));
    EXPECT_EQ(h.controller->selectedSettingsTab(), SettingsTab::general);
    trigger(rows, QStringLiteral("quit"));
    EXPECT_EQ(h.quits, 1);

    // "Check for Updates…" follows the updater, and the check starts after the menu has closed.
    h.updater.setCanCheck(false);
    EXPECT_FALSE(TrayMenuModel::find(h.menu->rows(), QStringLiteral("checkForUpdates"))->enabled);
    h.updater.setCanCheck(true);
    trigger(h.menu->rows(), QStringLiteral("checkForUpdates"));
    EXPECT_EQ(h.updater.checks, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(h.updater.checks, 1);

    // A found update starts the updater's flow; a downloaded one installs at once.
    h.notifier.show(QStringLiteral("2.0"));
    trigger(h.menu->rows(), QStringLiteral("update"));
    QCoreApplication::processEvents();
    EXPECT_EQ(h.updater.checks, 2);
    int installs = 0;
    h.notifier.showReadyToInstall(QStringLiteral("2.0"), [&installs] { ++installs; });
    trigger(h.menu->rows(), QStringLiteral("update"));
    QCoreApplication::processEvents();
    EXPECT_EQ(installs, 1);
    EXPECT_EQ(h.updater.checks, 2);
    UpdateNotifier::clearInstallOnQuit();
}
