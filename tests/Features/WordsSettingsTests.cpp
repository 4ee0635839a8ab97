// The Words pane of Settings over a coordinator on fakes: what its controls show and allow, the
// reminder switch against the notification service's answers, and the applications never kept.

#include "Fakes/FakeCoordinator.h"
#include "Fakes/WordsFixture.h"
#include "Features/Words/Views/WordsSettingsPane.h"
#include "Services/Words/WordBook.h"
#include "Support/TestSupport.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QCoroSignal>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

// The notification service's answer, given when the test says so.
class Answer final : public QObject
{
    Q_OBJECT
signals:
    void given(bool granted);
};

class WordsSettingsTest : public ::testing::Test, protected CoordinatorOverFakes
{
protected:
    WordsSettingsPane &pane()
    {
        if (!m_pane) {
            m_pane = std::make_unique<WordsSettingsPane>(
                *book, *controller,
                [this]() -> QCoro::Task<bool> {
                    ++asked;
                    co_return co_await qCoro(&answer, &Answer::given);
                },
                [] { return std::vector<InstalledApp> {}; }, appearance);
        }
        return *m_pane;
    }
    template<class T>
    T *find(const char *name)
    {
        T *found = pane().findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    /// The rows' "−" buttons on show; rows made before the last change are gone once events ran.
    QList<QToolButton *> removeButtons()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return pane().findChildren<QToolButton *>(QStringLiteral("words.removeApp"));
    }
    void give(bool granted)
    {
        emit answer.given(granted);
        QCoreApplication::processEvents();
    }

    Appearance appearance {std::nullopt};
    Answer answer;
    int asked = 0;
    std::unique_ptr<WordsSettingsPane> m_pane;
};

} // namespace

TEST_F(WordsSettingsTest, HistoryOffDisablesItsPickersButKeepsTheirValues)
{
    book->setHistoryRetention(HistoryRetention::year);
    book->setSuggestAfter(5);
    book->setKeepsHistory(true);
    auto *retention = find<QComboBox>("words.retention");
    auto *suggest = find<QComboBox>("words.suggestAfter");
    EXPECT_TRUE(retention->isEnabled() && suggest->isEnabled());
    find<QCheckBox>("words.keepHistory")->click();
    EXPECT_FALSE(book->keepsHistory());
    EXPECT_FALSE(retention->isEnabled() || suggest->isEnabled());
    EXPECT_TRUE(find<QComboBox>("words.reviewsPerDay")->isEnabled());
    EXPECT_EQ(retention->currentText(), QStringLiteral("1 year"));
    EXPECT_EQ(suggest->currentText(), QStringLiteral("5 look-ups"));
    EXPECT_EQ(book->historyRetention(), HistoryRetention::year);
    suggest->setCurrentIndex(0);
    EXPECT_EQ(book->suggestAfter(), 0) << "Never";
}

TEST_F(WordsSettingsTest, TheReminderTurnsOnOnlyWhenGrantedAndALateAnswerIsDropped)
{
    auto *reminder = find<QCheckBox>("words.reminder");
    auto *hint = find<QLabel>("words.reminderHint");
    reminder->click();
    EXPECT_FALSE(reminder->isChecked()) << "on only once the service said yes";
    give(false);
    EXPECT_FALSE(book->remindsToReview());
    EXPECT_TRUE(pane().model()->notificationsDenied());
    EXPECT_FALSE(hint->isHidden());

    reminder->click();
    give(true);
    EXPECT_TRUE(book->remindsToReview());
    EXPECT_TRUE(reminder->isChecked());
    EXPECT_TRUE(hint->isHidden());

    // Off while an answer is pending: the late "granted" must not switch it back on.
    reminder->click();
    EXPECT_FALSE(book->remindsToReview());
    pane().model()->setRemindsToReview(true);
    pane().model()->setRemindsToReview(false);
    give(true);
    EXPECT_FALSE(book->remindsToReview());
    EXPECT_FALSE(reminder->isChecked());
    EXPECT_EQ(asked, 3);
}

TEST_F(WordsSettingsTest, AddingAppsSkipsExcludedOnesAndKeepsTheChosenOrder)
{
    // One of the applications is installed: its row shows the desktop entry's name; the others,
    // with no entry, their ids.
    QTemporaryDir data;
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QDir().mkpath(data.filePath(QStringLiteral("applications")));
    QFile entry(data.filePath(QStringLiteral("applications/org.example.Mail.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Example Mail\nExec=true\n");
    entry.close();
    const auto shownName = [this](const char *id) {
        QWidget *row = pane().findChild<QWidget *>(QStringLiteral("words.excluded.") + QString::fromLatin1(id));
        const QList<QLabel *> labels = row ? row->findChildren<QLabel *>() : QList<QLabel *>();
        return labels.size() == 2 ? labels[1]->text() : QString();
    };

    book->setExcludedAppIDs({QStringLiteral("org.example.Mail")});
    QSignalSpy changes(book.get(), &WordBook::excludedAppIDsChanged);
    pane().model()->addExcludedApps({QStringLiteral("org.example.Mail"), QStringLiteral("org.example.Zed"),
                                     QStringLiteral("org.example.Atlas"), QStringLiteral("org.example.Zed"),
                                     QStringLiteral("org.example.Maps")});
    EXPECT_EQ(book->excludedAppIDs(),
              (QStringList {QStringLiteral("org.example.Mail"), QStringLiteral("org.example.Zed"),
                            QStringLiteral("org.example.Atlas"), QStringLiteral("org.example.Maps")}));
    EXPECT_EQ(changes.count(), 3) << "one change per added app";
    EXPECT_EQ(removeButtons().size(), 4);
    EXPECT_EQ(shownName("org.example.Mail"), QStringLiteral("Example Mail"));
    EXPECT_EQ(shownName("org.example.Zed"), QStringLiteral("org.example.Zed"));
    qputenv("XDG_DATA_HOME", savedDataHome);

    const std::vector<InstalledApp> offered =
        pane().model()->addableApps({{QStringLiteral("zoo"), QStringLiteral("org.example.Zoo"), {}},
                                     {QStringLiteral("Mail"), QStringLiteral("org.example.Mail"), {}},
                                     {QStringLiteral("Atlas"), QStringLiteral("org.example.Atlas"), {}},
                                     {QStringLiteral("apple"), QStringLiteral("org.example.Apple"), {}}});
    ASSERT_EQ(offered.size(), 2U) << "excluded apps are not offered again";
    EXPECT_EQ(offered[0].name, QStringLiteral("apple"));

    // Removed as a user removes them, with the mouse and with Space on the focused button. The
    // toolkit's button reads itself after its click has changed the list, in the toolkit's own code,
    // which the sanitizer does not watch: so the button pressed must still be there once the press
    // has been handled (the click is sent straight to it, and no events run in between).
    pane().resize(520, 1000);
    pane().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane()));
    QPointer<QToolButton> pressed = removeButtons().at(1);
    QTest::mouseClick(pressed, Qt::LeftButton);
    EXPECT_TRUE(pressed) << "the row was freed inside the click on its button";
    EXPECT_FALSE(book->excludedAppIDs().contains(QStringLiteral("org.example.Zed")));
    pressed = removeButtons().at(0);
    pressed->setFocus();
    QTest::keyClick(pressed, Qt::Key_Space);
    EXPECT_TRUE(pressed) << "the row was freed inside the key press on its button";
    EXPECT_EQ(book->excludedAppIDs(),
              (QStringList {QStringLiteral("org.example.Atlas"), QStringLiteral("org.example.Maps")}));
    EXPECT_EQ(removeButtons().size(), 2);
}

TEST_F(WordsSettingsTest, CountsAreOfDistinctWordsAndEmptyListsDisableTheirActions)
{
    auto *exportButton = find<QPushButton>("words.export");
    auto *clear = find<QPushButton>("words.clearHistory");
    auto *counts = find<QLabel>("words.counts");
    EXPECT_FALSE(exportButton->isEnabled());
    EXPECT_FALSE(clear->isEnabled());
    EXPECT_TRUE(find<QPushButton>("words.clearCache")->isEnabled());
    EXPECT_EQ(counts->text(), QStringLiteral("0 saved, 0 in history."));

    book->setKeepsHistory(true);
    for (int i = 0; i < 10; ++i)
        book->record(lookup(QStringLiteral("run"), plusSeconds(now(), i), QStringLiteral("Run %1 run.").arg(i)));
    book->record(lookup(QStringLiteral("walk"), now(), QStringLiteral("We walk.")));
    book->save(lookup(QStringLiteral("run"), now()), now());
    EXPECT_EQ(counts->text(), QStringLiteral("1 saved, 2 in history."));
    EXPECT_TRUE(exportButton->isEnabled());
    EXPECT_TRUE(clear->isEnabled());

    // The save key follows the hold key at once, and is read as one element with one sentence.
    QLabel *saveKey = find<QLabel>("words.saveKey");
    QAccessibleInterface *read = QAccessible::queryAccessibleInterface(saveKey);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->childCount(), 0);
    EXPECT_EQ(read->text(QAccessible::Name), QStringLiteral("S while holding Alt"));
    controller->setHoldKey(QStringLiteral("shift"));
    EXPECT_EQ(read->text(QAccessible::Name), QStringLiteral("Ctrl+S while holding Shift"));
    const int withHold = saveKey->sizeHint().width();
    controller->setHoldKey(QStringLiteral("always"));
    EXPECT_EQ(read->text(QAccessible::Name), QStringLiteral("Ctrl+Alt+S"));
    EXPECT_LT(saveKey->sizeHint().width(), withHold) << "the cap stands alone";
}

#include "WordsSettingsTests.moc"
