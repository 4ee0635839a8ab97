// The floating picker and the Settings language control driven as a user would, offscreen: keys
// typed into the search field, clicks on rows, the pop-up closed from outside.

#include "Features/Design/Appearance.h"
#include "Features/LanguagePicker/LanguageOptions.h"
#include "Features/LanguagePicker/Views/LanguagePicker.h"
#include "Features/LanguagePicker/Views/LanguagePickerPanel.h"
#include "Features/LanguagePicker/Views/LanguagePickerView.h"
#include "Models/LanguageCatalog.h"
#include "Support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

using namespace Lumivox;

namespace {

// The panel as its owner wires it: a choice or a cancel ends the showing.
class PickerPanel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        panel.model()->onChoose = [this](const Language &language) {
            chosen.push_back(language.id);
            panel.dismiss();
        };
        panel.model()->onCancel = [this] { panel.dismiss(); };
    }

    void open(const QString &current, const QStringList &recents = {})
    {
        panel.model()->prepare(current, recents, false);
        panel.showNear(QPointF(300, 500));
        ASSERT_TRUE(panel.isVisible());
    }

    QLineEdit *field() const { return panel.view()->searchField(); }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(field(), key, modifiers);
    }

    Appearance appearance {std::nullopt};
    LanguagePickerPanel panel {appearance};
    std::vector<QString> chosen;
    QSignalSpy dismissed {&panel, &LanguagePickerPanel::dismissed};
};

} // namespace

TEST_F(PickerPanel, KeysFilterMoveAndChooseWhileTheFieldKeepsTheFocus)
{
    open(QStringLiteral("fr"), {QStringLiteral("fr"), QStringLiteral("ja")});
    EXPECT_TRUE(Testing::spinUntil([&] { return field()->hasFocus(); }));
    EXPECT_EQ(panel.model()->selectedLanguage()->id, QStringLiteral("fr"));
    // Placed by its full size, before any layout ran.
    EXPECT_EQ(panel.width(), LanguagePickerView::width);

    press(Qt::Key_Down);
    EXPECT_EQ(panel.model()->selectedLanguage()->id, QStringLiteral("ja"));
    press(Qt::Key_Up);
    press(Qt::Key_Up);
    EXPECT_EQ(panel.model()->selectedIndex(), 0);

    // Nothing matches: the empty text shows, and Return keeps the panel open.
    QTest::keyClicks(field(), QStringLiteral("qqq"));
    EXPECT_EQ(panel.model()->query(), QStringLiteral("qqq"));
    auto *empty = panel.findChild<QLabel *>(QStringLiteral("languagePicker.empty"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->text(), QStringLiteral("No languages match"));
    press(Qt::Key_Return);
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE(chosen.empty());

    field()->clear();
    QTest::keyClicks(field(), QStringLiteral("chin"));
    EXPECT_FALSE(empty->isVisible());
    press(Qt::Key_Down);
    press(Qt::Key_Enter);
    EXPECT_EQ(chosen, std::vector<QString> {QStringLiteral("zh-TW")});
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(dismissed.count(), 1);
}

TEST_F(PickerPanel, EscapeAndTheHotKeyCloseWithoutChoosingAndAReopenStartsAfresh)
{
    // Each showing, the first one too, puts the highlighted row in the middle of the list.
    const auto centred = [&] {
        auto *list = panel.findChild<QListView *>(QStringLiteral("languagePicker.list"));
        const QRect row = list->visualRect(panel.view()->listModel()->indexOfRow(panel.model()->selectedIndex()));
        return list->verticalScrollBar()->value() > 0
            && std::abs(row.center().y() - list->viewport()->height() / 2) < row.height();
    };
    open(QStringLiteral("de"));
    EXPECT_TRUE(centred());
    QTest::keyClicks(field(), QStringLiteral("span"));
    press(Qt::Key_Escape);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_TRUE(chosen.empty());

    open(QStringLiteral("de"));
    EXPECT_EQ(field()->text(), QString());
    EXPECT_EQ(panel.model()->selectedLanguage()->id, QStringLiteral("de"));
    EXPECT_TRUE(Testing::spinUntil([&] { return field()->hasFocus(); }));
    EXPECT_TRUE(centred());

    // Typed Alt+L or Super+L is text; Super+Alt+L is the hot key, which closes the open picker.
    press(Qt::Key_L, Qt::AltModifier);
    EXPECT_TRUE(panel.isVisible());
    press(Qt::Key_L, Qt::AltModifier | Qt::MetaModifier);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_TRUE(chosen.empty());
    EXPECT_EQ(dismissed.count(), 2);
}

TEST_F(PickerPanel, EveryWayOfClosingGoesThroughOneDismissal)
{
    open(QStringLiteral("fr"));
    // A click outside the pop-up, which the toolkit answers with a close; a close without one (the
    // toolkit's answer to a lost activation) leaves the picker that is still taking the keyboard.
    panel.close();
    EXPECT_TRUE(panel.isVisible());
    QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(-20, -20));
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(dismissed.count(), 1);

    open(QStringLiteral("fr"));
    panel.hide();
    EXPECT_EQ(dismissed.count(), 2);

    // A dismissal asked for while one runs (here from the hide) returns at once; one asked for
    // on a hidden panel reports again.
    open(QStringLiteral("fr"));
    struct Reentry : QObject
    {
        LanguagePickerPanel *panel = nullptr;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Hide)
                panel->dismiss();
            return false;
        }
    } reentry;
    reentry.panel = &panel;
    panel.installEventFilter(&reentry);
    panel.dismiss();
    EXPECT_EQ(dismissed.count(), 3);
    panel.dismiss();
    EXPECT_EQ(dismissed.count(), 4);
    EXPECT_FALSE(panel.isVisible());
}

TEST_F(PickerPanel, AClickChoosesItsRowAndHeadersAreInert)
{
    open(QStringLiteral("fr"), {QStringLiteral("fr"), QStringLiteral("bn")});
    auto *list = panel.findChild<QListView *>(QStringLiteral("languagePicker.list"));
    ASSERT_TRUE(list);
    const auto click = [&](int item) {
        const QRect rect = list->visualRect(list->model()->index(item, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    };
    click(0); // "RECENT"
    EXPECT_TRUE(chosen.empty());
    EXPECT_TRUE(panel.isVisible());
    click(2); // Bengali, not the highlighted row
    EXPECT_EQ(chosen, std::vector<QString> {QStringLiteral("bn")});
}

TEST(SettingsLanguageControl, ListsEveryLanguageOnceAndWritesExactCodes)
{
    LanguagePicker control(QStringLiteral("Translate to"));
    QAbstractItemModelTester tester(control.options(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    LanguageOptions &options = *control.options();

    // "Popular" in its fixed order, then "All Languages"; headers cannot be chosen.
    const int popular = int(LanguageCatalog::popularLanguages().size());
    ASSERT_EQ(options.rowCount(), 2 + 54);
    EXPECT_EQ(options.index(0).data().toString(), QStringLiteral("Popular"));
    EXPECT_EQ(options.index(popular + 1).data().toString(), QStringLiteral("All Languages"));
    std::set<QString> table;
    for (const Language &language : LanguageCatalog::allLanguages())
        table.insert(language.id);
    std::set<QString> listed;
    for (int row = 0; row < options.rowCount(); ++row) {
        const QModelIndex index = options.index(row);
        const bool header = index.data(LanguageOptions::IsHeaderRole).toBool();
        EXPECT_EQ(header, row == 0 || row == popular + 1);
        EXPECT_EQ(bool(options.flags(index) & Qt::ItemIsSelectable), !header);
        if (!header) {
            EXPECT_TRUE(listed.insert(index.data(LanguageOptions::CodeRole).toString()).second);
        }
    }
    EXPECT_EQ(listed, table);
    EXPECT_EQ(options.index(2).data(LanguageOptions::CodeRole).toString(), QStringLiteral("zh-CN"));

    QSignalSpy changed(&control, &LanguagePicker::selectionChanged);
    control.setSelection(QStringLiteral("zh-CN"));
    EXPECT_EQ(control.menu()->currentText(), QStringLiteral("Chinese (Simplified)"));
    // Another letter case matches no option: none shows as chosen, and the bound value stays.
    control.setSelection(QStringLiteral("ZH-CN"));
    EXPECT_EQ(control.menu()->currentIndex(), -1);
    EXPECT_EQ(control.selection(), QStringLiteral("ZH-CN"));
    EXPECT_EQ(changed.count(), 2);

    // A choice in the menu writes its code at once.
    control.setSelection(QStringLiteral("ta"));
    const int last = options.rowCount() - 1;
    control.menu()->setCurrentIndex(last - 1);
    QTest::keyClick(control.menu(), Qt::Key_Down);
    EXPECT_EQ(control.selection(), options.index(last).data(LanguageOptions::CodeRole).toString());
    EXPECT_EQ(changed.count(), 4);
    EXPECT_EQ(changed.last().first().toString(), control.selection());
}
