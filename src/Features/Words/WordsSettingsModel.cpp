#include "Features/Words/WordsSettingsModel.h"

#include "Features/Coordinator/HoverTextController.h"
#include "Services/Words/WordBook.h"

#include <QCollator>
#include <QPointer>

#include <unordered_set>

namespace Lumivox {

WordsSettingsModel::WordsSettingsModel(WordBook &book, HoverTextController &controller,
                                       NotificationPermission permission, QObject *parent)
    : QObject(parent)
    , m_book(book)
    , m_controller(controller)
    , m_permission(std::move(permission))
{
    connect(&book, &WordBook::remindsToReviewChanged, this, &WordsSettingsModel::remindsToReviewChanged);
    connect(&book, &WordBook::savedChanged, this, &WordsSettingsModel::countsChanged);
    connect(&book, &WordBook::historyChanged, this, &WordsSettingsModel::countsChanged);
}

const std::vector<std::pair<qint64, QString>> &WordsSettingsModel::suggestAfterOptions()
{
    static const std::vector<std::pair<qint64, QString>> options {
        {0, QStringLiteral("Never")},
        {2, QStringLiteral("2 look-ups")},
        {3, QStringLiteral("3 look-ups")},
        {5, QStringLiteral("5 look-ups")},
    };
    return options;
}

const std::vector<qint64> &WordsSettingsModel::reviewsPerDayOptions()
{
    static const std::vector<qint64> options {5, 8, 12, 20};
    return options;
}

QString WordsSettingsModel::saveKeyCap() const
{
    return keyCapText(m_controller.triggerMode().tooltipKeyLabels().save);
}

QString WordsSettingsModel::saveKeyHold() const
{
    const std::optional<QString> hold = m_controller.triggerMode().tooltipKeyLabels().hold;
    return hold ? QStringLiteral("while holding ") + keyCapText(*hold) : QString();
}

QString WordsSettingsModel::saveKeyText() const
{
    const QString hold = saveKeyHold();
    return hold.isEmpty() ? saveKeyCap() : saveKeyCap() + QLatin1Char(' ') + hold;
}

bool WordsSettingsModel::remindsToReview() const
{
    return m_book.remindsToReview();
}

void WordsSettingsModel::setRemindsToReview(bool on)
{
    const quint64 change = ++m_reminderChange;
    if (!on) {
        m_book.setRemindsToReview(false);
        setDenied(false);
        return;
    }
    askForReminder(change);
}

QCoro::Task<> WordsSettingsModel::askForReminder(quint64 change)
{
    const QPointer<WordsSettingsModel> self(this);
    bool granted = false;
    if (m_permission)
        granted = co_await m_permission();
    // The pane may be gone, or the switch changed again while the service was answering.
    if (!self || change != m_reminderChange)
        co_return;
    setDenied(!granted);
    m_book.setRemindsToReview(granted);
    // The switch was drawn on when the user clicked it; show the book's value again.
    emit remindsToReviewChanged();
}

void WordsSettingsModel::setDenied(bool denied)
{
    if (denied == m_notificationsDenied)
        return;
    m_notificationsDenied = denied;
    emit notificationsDeniedChanged();
}

qsizetype WordsSettingsModel::distinctHistoryWords() const
{
    std::unordered_set<WordKey> keys;
    for (const WordLookup &lookup : m_book.history())
        keys.insert(lookup.key());
    return qsizetype(keys.size());
}

QString WordsSettingsModel::countText() const
{
    return QStringLiteral("%1 saved, %2 in history.").arg(m_book.saved().size()).arg(distinctHistoryWords());
}

bool WordsSettingsModel::canExport() const
{
    return !m_book.saved().empty();
}

bool WordsSettingsModel::canClearHistory() const
{
    return !m_book.history().empty();
}

void WordsSettingsModel::addExcludedApps(const QStringList &appIDs)
{
    for (const QString &id : appIDs) {
        if (id.isEmpty() || m_book.excludedAppIDs().contains(id))
            continue;
        // One change per application: each forgets what was kept from it.
        m_book.setExcludedAppIDs(m_book.excludedAppIDs() + QStringList {id});
    }
}

void WordsSettingsModel::removeExcludedApp(const QString &appID)
{
    QStringList ids = m_book.excludedAppIDs();
    if (ids.removeAll(appID) > 0)
        m_book.setExcludedAppIDs(ids);
}

std::vector<InstalledApp> WordsSettingsModel::addableApps(std::vector<InstalledApp> installed) const
{
    std::erase_if(installed, [&](const InstalledApp &app) { return m_book.excludedAppIDs().contains(app.bundleID); });
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(installed.begin(), installed.end(), [&](const InstalledApp &a, const InstalledApp &b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return installed;
}

void WordsSettingsModel::clearHistory()
{
    m_book.clearHistory();
}

void WordsSettingsModel::clearRememberedTranslations()
{
    m_controller.clearCache();
}

void WordsSettingsModel::openWords()
{
    m_controller.openWords();
}

} // namespace Lumivox
