#include "Features/Words/WordsSidebarModel.h"

#include "Features/Words/AppIcons.h"
#include "Features/Words/WordLanguages.h"
#include "Services/Words/WordBook.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_set>

namespace Lumivox {

std::vector<WordsSidebarModel::PairRow> WordsSidebarModel::pairs(const std::vector<SavedWord> &saved)
{
    std::map<std::pair<QString, QString>, qint64> counts;
    for (const SavedWord &word : saved)
        ++counts[{word.source.value_or(QString()), word.target}];
    std::vector<PairRow> rows;
    rows.reserve(counts.size());
    for (const auto &[key, count] : counts)
        rows.push_back({WordsSection::pair(key.first, key.second), WordLanguages::pair(key.first, key.second), count});
    std::stable_sort(rows.begin(), rows.end(), [](const PairRow &a, const PairRow &b) {
        return a.count != b.count ? a.count > b.count : a.title < b.title;
    });
    return rows;
}

std::vector<WordsSidebarModel::AppRow> WordsSidebarModel::apps(const std::vector<SavedWord> &saved)
{
    std::map<QString, QString> names;
    std::map<QString, qint64> counts;
    for (const SavedWord &word : saved) {
        std::set<QString> metIn;
        for (const WordLookup &encounter : word.encounters) {
            if (!encounter.appID)
                continue;
            metIn.insert(*encounter.appID);
            if (encounter.appName)
                names.try_emplace(*encounter.appID, *encounter.appName);
        }
        for (const QString &id : metIn)
            ++counts[id];
    }
    std::vector<AppRow> rows;
    rows.reserve(counts.size());
    for (const auto &[id, count] : counts) {
        const auto name = names.find(id);
        rows.push_back({id, name != names.end() ? name->second : AppIcons::name(id), count});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const AppRow &a, const AppRow &b) {
        return a.count != b.count ? a.count > b.count : a.name < b.name;
    });
    return rows;
}

WordsSidebarModel::WordsSidebarModel(const WordBook &book, Now now, QObject *parent)
    : QAbstractListModel(parent)
    , m_book(book)
    , m_now(std::move(now))
{
    refresh();
}

void WordsSidebarModel::refresh()
{
    std::unordered_set<WordKey> historyKeys;
    for (const WordLookup &lookup : m_book.history())
        historyKeys.insert(lookup.key());
    m_due = qint64(m_book.reviewQueue(m_now()).size());

    std::vector<Row> rows;
    rows.push_back({Kind::section,
                    QStringLiteral("Saved"),
                    QStringLiteral("bookmark"),
                    {},
                    qint64(m_book.saved().size()),
                    {},
                    WordsSection::saved()});
    rows.push_back({Kind::section,
                    QStringLiteral("History"),
                    QStringLiteral("clock"),
                    {},
                    qint64(historyKeys.size()),
                    {},
                    WordsSection::history()});
    rows.push_back({Kind::review,
                    QStringLiteral("Review"),
                    QStringLiteral("rectangle.stack"),
                    {},
                    m_due,
                    m_due == 0
                        ? QStringLiteral("Nothing to review right now")
                        : (m_due == 1 ? QStringLiteral("Review 1 word") : QStringLiteral("Review %1 words").arg(m_due)),
                    std::nullopt});
    if (const auto pairRows = pairs(m_book.saved()); !pairRows.empty()) {
        rows.push_back({Kind::header, QStringLiteral("Languages"), {}, {}, 0, {}, std::nullopt});
        for (const PairRow &pair : pairRows)
            rows.push_back({Kind::section, pair.title, QStringLiteral("globe"), {}, pair.count, {}, pair.section});
    }
    if (const auto appRows = apps(m_book.saved()); !appRows.empty()) {
        rows.push_back({Kind::header, QStringLiteral("Met in"), {}, {}, 0, {}, std::nullopt});
        for (const AppRow &app : appRows)
            rows.push_back({Kind::section, app.name, {}, app.id, app.count, {}, WordsSection::app(app.id)});
    }
    if (rows == m_rows)
        return;
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int WordsSidebarModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant WordsSidebarModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() >= rowCount())
        return {};
    const Row &row = m_rows[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return row.title;
    case Qt::ToolTipRole:
        return row.help.isEmpty() ? QVariant() : QVariant(row.help);
    case Qt::AccessibleTextRole:
        return row.badge > 0 ? QStringLiteral("%1, %2").arg(row.title).arg(row.badge) : row.title;
    case KindRole:
        return int(row.kind);
    case SymbolRole:
        return row.symbol;
    case AppIDRole:
        return row.appID;
    case BadgeRole:
        return row.badge;
    case SectionRole:
        return row.section ? QVariant::fromValue(*row.section) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags WordsSidebarModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() >= rowCount())
        return Qt::NoItemFlags;
    switch (m_rows[std::size_t(index.row())].kind) {
    case Kind::section:
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    case Kind::review:
        // Clicked, never selected: opening the review leaves the listed section as it was.
        return Qt::ItemIsEnabled;
    case Kind::header:
        return Qt::NoItemFlags;
    }
    return Qt::NoItemFlags;
}

std::optional<int> WordsSidebarModel::row(const WordsSection &section) const
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].section == section)
            return int(i);
    }
    return std::nullopt;
}

std::optional<WordsSection> WordsSidebarModel::section(int row) const
{
    if (row < 0 || std::size_t(row) >= m_rows.size())
        return std::nullopt;
    return m_rows[std::size_t(row)].section;
}

WordsSidebarModel::Kind WordsSidebarModel::kind(int row) const
{
    if (row < 0 || std::size_t(row) >= m_rows.size())
        return Kind::header;
    return m_rows[std::size_t(row)].kind;
}

} // namespace Lumivox
