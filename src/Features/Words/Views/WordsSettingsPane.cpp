#include "Features/Words/Views/WordsSettingsPane.h"

#include "Features/Coordinator/HoverTextController.h"
#include "Features/Design/Brand.h"
#include "Features/Design/Styling.h"
#include "Features/Design/Symbols.h"
#include "Features/Settings/Views/SettingsStyle.h"
#include "Features/Settings/Views/SettingsWidgets.h"
#include "Features/Words/AppIcons.h"
#include "Features/Words/Views/WordsStyle.h"
#include "Features/Words/Views/WordsView.h"
#include "Features/Words/WordExporter.h"
#include "Services/Words/WordBook.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

// Asks before a destructive action; true when the user confirmed.
bool confirm(QWidget *parent, const QString &title, const QString &message, const QString &action, const char *name)
{
    QMessageBox box(QMessageBox::Warning, title, title, QMessageBox::NoButton, parent);
    box.setObjectName(QString::fromLatin1(name));
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(message);
    QPushButton *destroy = box.addButton(action, QMessageBox::DestructiveRole);
    box.setDefaultButton(box.addButton(QMessageBox::Cancel));
    box.exec();
    return box.clickedButton() == destroy;
}

// The chooser of applications: the installed ones not yet excluded, several at once, kept in the
// order the user picked them.
class AppChooser final : public QDialog
{
public:
    AppChooser(const std::vector<InstalledApp> &apps, QWidget *parent)
        : QDialog(parent)
        , m_list(new QListWidget)
    {
        setObjectName(QStringLiteral("words.appChooser"));
        setWindowTitle(QStringLiteral("Add App"));
        m_list->setObjectName(QStringLiteral("words.appChooser.list"));
        m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        m_list->setIconSize(QSize(20, 20));
        for (const InstalledApp &app : apps) {
            auto *item = new QListWidgetItem(app.icon, app.name, m_list);
            item->setData(Qt::UserRole, app.bundleID);
        }
        connect(m_list, &QListWidget::itemSelectionChanged, this, &AppChooser::follow);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
        m_add = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
        m_add->setObjectName(QStringLiteral("words.appChooser.add"));
        m_add->setEnabled(false);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(m_list);
        layout->addWidget(buttons);
        resize(360, 420);
    }

    const QStringList &chosen() const { return m_chosen; }

private:
    void follow()
    {
        QStringList now;
        for (const QListWidgetItem *item : m_list->selectedItems())
            now << item->data(Qt::UserRole).toString();
        // Kept: those still selected, in the order they were picked; then the newly picked ones.
        m_chosen.removeIf([&](const QString &id) { return !now.contains(id); });
        for (const QString &id : std::as_const(now)) {
            if (!m_chosen.contains(id))
                m_chosen << id;
        }
        m_add->setEnabled(!m_chosen.isEmpty());
    }

    QListWidget *m_list;
    QPushButton *m_add;
    QStringList m_chosen;
};

} // namespace

// The save key as a key cap, then "while holding Alt" when a key must be held. One label painted
// whole, not a row of two: a screen reader meets one element and reads its one sentence ("S while
// holding Alt"), where two would be read apart, the letter alone first.
class SaveKeyLabel final : public QLabel
{
public:
    explicit SaveKeyLabel(const Appearance &appearance)
        : m_appearance(appearance)
    {
        setObjectName(QStringLiteral("words.saveKey"));
        setTextFormat(Qt::PlainText);
        m_capFont = font();
        m_capFont.setPointSizeF(WordsStyle::points(11.5));
        m_capFont.setWeight(QFont::DemiBold);
    }

    void setKeys(const QString &cap, const QString &hold, const QString &sentence)
    {
        m_cap = cap;
        m_hold = hold;
        // The text is what accessibility reads; the parts are painted.
        setText(sentence);
        updateGeometry();
        update();
    }

    QSize sizeHint() const override
    {
        const QSize cap = capSize();
        if (m_hold.isEmpty())
            return cap;
        const QFontMetrics metrics(font());
        return {cap.width() + spacing + metrics.horizontalAdvance(m_hold), std::max(cap.height(), metrics.height())};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const ColorScheme scheme = m_appearance.scheme();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QSize size = capSize();
        const QRectF cap(0, (height() - size.height()) / 2.0, size.width(), size.height());
        // The outline is stroked inside the face's edge.
        painter.setPen(QPen(Brand::separator().resolved(scheme), 1));
        painter.setBrush(Brand::controlBackground().resolved(scheme));
        painter.drawRoundedRect(cap.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        painter.setPen(Brand::primaryText().resolved(scheme));
        painter.setFont(m_capFont);
        painter.drawText(cap, Qt::AlignCenter, m_cap);
        if (m_hold.isEmpty())
            return;
        painter.setPen(Brand::secondaryText().resolved(scheme));
        painter.setFont(font());
        painter.drawText(QRectF(cap.right() + spacing, 0, width() - cap.right() - spacing, height()),
                         Qt::AlignLeft | Qt::AlignVCenter, m_hold);
    }

private:
    static constexpr int spacing = 6;

    // At least 20 by 20, the letters padded 5 on either side.
    QSize capSize() const
    {
        const QFontMetrics metrics(m_capFont);
        return {std::max(20, metrics.horizontalAdvance(m_cap) + 10), std::max(20, metrics.height())};
    }

    const Appearance &m_appearance;
    QFont m_capFont;
    QString m_cap;
    QString m_hold;
};

WordsSettingsPane::WordsSettingsPane(WordBook &book, HoverTextController &controller,
                                     WordsSettingsModel::NotificationPermission permission, InstalledApps installed,
                                     const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_model(new WordsSettingsModel(book, controller, std::move(permission), this))
    , m_installed(std::move(installed))
    , m_appearance(appearance)
{
    setObjectName(QStringLiteral("words"));
    QVBoxLayout *column = formColumn(this);

    // History
    auto *history = new SettingsCard(appearance);
    auto *keeps = switchBox("words.keepHistory");
    bindProperty(&book, "keepsHistory", keeps, "checked");
    history->addRow(QStringLiteral("Keep the words I look up"),
                    QStringLiteral("Each word with its meaning and sentence, on this computer only."), keeps);
    QComboBox *retention = picker("words.retention");
    for (HistoryRetention r : HistoryRetentions::all())
        retention->addItem(HistoryRetentions::title(r));
    bindProperty(
        &book, "historyRetention", retention, "currentIndex",
        [](const QVariant &value) {
            const auto &all = HistoryRetentions::all();
            return QVariant(int(std::find(all.begin(), all.end(), value.value<HistoryRetention>()) - all.begin()));
        },
        [](const QVariant &index) {
            return QVariant::fromValue(HistoryRetentions::all().at(size_t(std::clamp(index.toInt(), 0, 3))));
        });
    history->addRow(QStringLiteral("Keep history for"), {}, retention);
    m_retention = retention;
    column->addWidget(formSection(QStringLiteral("History"), history));

    // Saving
    auto *saving = new SettingsCard(appearance);
    m_saveKey = new SaveKeyLabel(appearance);
    saving->addRow(QStringLiteral("Save the word under the pointer"), {}, m_saveKey);
    QComboBox *suggest = picker("words.suggestAfter");
    for (const auto &[value, title] : WordsSettingsModel::suggestAfterOptions())
        suggest->addItem(title, value);
    bindProperty(
        &book, "suggestAfter", suggest, "currentIndex",
        [suggest](const QVariant &value) { return QVariant(suggest->findData(value.toLongLong())); },
        [suggest](const QVariant &index) { return suggest->itemData(index.toInt()); });
    saving->addRow(QStringLiteral("Suggest saving after"), {}, suggest);
    m_suggest = suggest;
    column->addWidget(formSection(QStringLiteral("Saving"), saving));
    connect(&controller, &HoverTextController::triggerModeChanged, this, &WordsSettingsPane::showSaveKey);

    // Review
    auto *review = new SettingsCard(appearance);
    QComboBox *perDay = picker("words.reviewsPerDay");
    for (qint64 count : WordsSettingsModel::reviewsPerDayOptions())
        perDay->addItem(QString::number(count), count);
    bindProperty(
        &book, "reviewsPerDay", perDay, "currentIndex",
        [perDay](const QVariant &value) { return QVariant(perDay->findData(value.toLongLong())); },
        [perDay](const QVariant &index) { return perDay->itemData(index.toInt()); });
    review->addRow(QStringLiteral("Words a day"), {}, perDay);
    m_reminder = switchBox("words.reminder");
    m_reminderRow = review->addRow(QStringLiteral("Remind me when words are due"), {}, m_reminder);
    m_reminderRow->detail()->setObjectName(QStringLiteral("words.reminderHint"));
    connect(m_reminder, &QCheckBox::toggled, this, [this](bool on) {
        m_model->setRemindsToReview(on);
        // The switch shows on only once the book has the reminder on.
        showReminder();
    });
    connect(m_model, &WordsSettingsModel::remindsToReviewChanged, this, &WordsSettingsPane::showReminder);
    connect(m_model, &WordsSettingsModel::notificationsDeniedChanged, this, &WordsSettingsPane::showReminder);
    column->addWidget(formSection(QStringLiteral("Review"), review));

    // Never keep words from
    auto *excluded = new SettingsCard(appearance);
    auto *rows = new QWidget;
    m_excludedRows = new QVBoxLayout(rows);
    m_excludedRows->setContentsMargins(0, 0, 0, 0);
    m_excludedRows->setSpacing(0);
    excluded->addWidget(rows);
    auto *addRow = new QWidget;
    auto *addLine = new QHBoxLayout(addRow);
    addLine->setContentsMargins(0, 8, 0, 8);
    QPushButton *add = button(QStringLiteral("Add App…"), "words.addApp");
    connect(add, &QPushButton::clicked, this, [this] { m_model->addExcludedApps(chooseApps()); });
    addLine->addWidget(add);
    addLine->addStretch(1);
    excluded->addWidget(addRow);
    auto *excludedSection = formSection(QStringLiteral("Never keep words from"), excluded);
    QLabel *footer = plainLabel(QStringLiteral("Still translated there. Nothing goes to History, and a word saved "
                                               "there keeps no sentence. Adding an app also removes what was already "
                                               "kept from it."));
    footer->setWordWrap(true);
    footer->setFont(captionFont());
    footer->setContentsMargins(4, 0, 4, 0);
    tone(footer, Brand::secondaryText(), appearance);
    excludedSection->layout()->addWidget(footer);
    column->addWidget(excludedSection);
    connect(&book, &WordBook::excludedAppIDsChanged, this, &WordsSettingsPane::showExcluded);

    // Your words
    auto *yours = new SettingsCard(appearance);
    auto *actions = new QWidget;
    auto *actionRow = new QHBoxLayout(actions);
    actionRow->setContentsMargins(0, 0, 0, 0);
    actionRow->setSpacing(8);
    QPushButton *show = button(QStringLiteral("Show Words…"), "words.showWords");
    connect(show, &QPushButton::clicked, m_model, &WordsSettingsModel::openWords);
    // A push button with a menu keeps the look of its neighbours and leaves room for the arrow.
    m_export = button(QStringLiteral("Export"), "words.export");
    auto *menu = new QMenu(m_export);
    for (WordExport::Format format : WordExport::allFormats) {
        QAction *item = menu->addAction(QStringLiteral("For ") + WordExport::title(format) + QStringLiteral("…"));
        connect(item, &QAction::triggered, this, [this, format] { exportSaved(int(format)); });
    }
    m_export->setMenu(menu);
    m_clearHistory = button(QStringLiteral("Clear History…"), "words.clearHistory");
    connect(m_clearHistory, &QPushButton::clicked, this, &WordsSettingsPane::confirmClearHistory);
    actionRow->addWidget(show);
    actionRow->addWidget(m_export);
    actionRow->addWidget(m_clearHistory);
    m_countRow = yours->addRow(QStringLiteral("Words"), m_model->countText(), actions);
    m_countRow->detail()->setObjectName(QStringLiteral("words.counts"));
    QPushButton *clearCache = button(QStringLiteral("Clear…"), "words.clearCache");
    connect(clearCache, &QPushButton::clicked, this, &WordsSettingsPane::confirmClearCache);
    yours->addRow(QStringLiteral("Remembered translations"),
                  QStringLiteral("Kept on this computer so a word isn’t translated twice."), clearCache);
    column->addWidget(formSection(QStringLiteral("Your words"), yours));
    connect(m_model, &WordsSettingsModel::countsChanged, this, &WordsSettingsPane::showCounts);
    column->addStretch(1);

    connect(&book, &WordBook::keepsHistoryChanged, this, &WordsSettingsPane::showHistoryEnabled);

    showHistoryEnabled();
    showSaveKey();
    showReminder();
    showExcluded();
    showCounts();
}

void WordsSettingsPane::showHistoryEnabled()
{
    // Off keeps the values: they apply again when history is turned back on.
    const bool keeps = m_model->book().keepsHistory();
    m_retention->setEnabled(keeps);
    m_suggest->setEnabled(keeps);
}

void WordsSettingsPane::showSaveKey()
{
    m_saveKey->setKeys(m_model->saveKeyCap(), m_model->saveKeyHold(), m_model->saveKeyText());
}

void WordsSettingsPane::showReminder()
{
    const QSignalBlocker quiet(m_reminder);
    m_reminder->setChecked(m_model->remindsToReview());
    m_reminderRow->setDetail(m_model->notificationsDenied()
                                 ? QStringLiteral("Allow notifications for Lumivox in your desktop’s settings.")
                                 : QString());
}

void WordsSettingsPane::showExcluded()
{
    // The old rows go once the event that changed the list has returned: the change usually comes
    // from one of their own "−" buttons, which is still inside its click.
    while (QLayoutItem *item = m_excludedRows->takeAt(0)) {
        if (QWidget *old = item->widget()) {
            old->hide();
            old->deleteLater();
        }
        delete item;
    }
    const ColorScheme scheme = m_appearance.scheme();
    for (const QString &id : m_model->book().excludedAppIDs()) {
        auto *row = new QWidget;
        row->setObjectName(QStringLiteral("words.excluded.") + id);
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(0, 6, 0, 6);
        line->setSpacing(9);
        line->addWidget(WordsStyle::appIcon(id, 20, scheme, row));
        const QString name = AppIcons::name(id);
        line->addWidget(plainLabel(name), 1);
        auto *remove = new QToolButton;
        remove->setObjectName(QStringLiteral("words.removeApp"));
        remove->setAutoRaise(true);
        remove->setIcon(Symbols::icon(QStringLiteral("minus.circle")));
        remove->setToolTip(QStringLiteral("Keep words from this app again"));
        remove->setAccessibleName(QStringLiteral("Remove ") + name);
        connect(remove, &QToolButton::clicked, this, [this, id] { m_model->removeExcludedApp(id); });
        line->addWidget(remove);
        m_excludedRows->addWidget(row);
    }
}

void WordsSettingsPane::showCounts()
{
    m_countRow->setDetail(m_model->countText());
    m_export->setEnabled(m_model->canExport());
    m_clearHistory->setEnabled(m_model->canClearHistory());
}

QStringList WordsSettingsPane::chooseApps()
{
    AppChooser chooser(m_model->addableApps(m_installed ? m_installed() : std::vector<InstalledApp> {}), this);
    if (chooser.exec() != QDialog::Accepted)
        return {};
    return chooser.chosen();
}

void WordsSettingsPane::confirmClearHistory()
{
    if (confirm(this, QStringLiteral("Clear History?"),
                QStringLiteral("Every word you looked up is removed. Saved words stay."),
                QStringLiteral("Clear History"), "words.confirmClearHistory"))
        m_model->clearHistory();
}

void WordsSettingsPane::confirmClearCache()
{
    if (confirm(this, QStringLiteral("Clear remembered translations?"),
                QStringLiteral("Words will be translated again the next time you point at them."),
                QStringLiteral("Clear"), "words.confirmClearCache"))
        m_model->clearRememberedTranslations();
}

void WordsSettingsPane::exportSaved(int format)
{
    const WordExporter::Outcome outcome = WordExporter::exportWords(
        m_model->book().saved(), WordExport::Format(format),
        [this](const QString &name, const QString &filter) { return WordsView::chooseExportFile(this, name, filter); });
    if (outcome.failure)
        WordsView::showExportFailure(this, WordExporter::failureTitle(), outcome.failure->message());
}

} // namespace Lumivox
