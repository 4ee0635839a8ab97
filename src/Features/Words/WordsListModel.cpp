#include "Features/Words/WordsListModel.h"

#include "Features/Words/WordDates.h"

namespace Lumivox {

WordsListModel::WordsListModel(Now now, QObject *parent)
    : QAbstractListModel(parent)
    , m_now(std::move(now))
{ }

int WordsListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant WordsListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() >= rowCount())
        return {};
    const WordItem &item = *m_items[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case WordRole:
        return item.word;
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole: {
        const QString meanings = data(index, MeaningsRole).toString();
        return meanings.isEmpty() ? item.word : item.word + QStringLiteral(" — ") + meanings;
    }
    case TagRole:
        return item.tag() ? QVariant(*item.tag()) : QVariant();
    case MeaningsRole: {
        QStringList meanings;
        for (const WordSense &sense : item.senses)
            meanings << sense.meaning;
        return meanings.join(QStringLiteral(" · "));
    }
    case DateRole: {
        const auto [now, calendar] = m_now();
        return WordDates::shortText(item.date, now, calendar);
    }
    case IsSavedRole:
        return item.isSaved();
    default:
        return {};
    }
}

QHash<int, QByteArray> WordsListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(WordRole, "word");
    names.insert(TagRole, "tag");
    names.insert(MeaningsRole, "meanings");
    names.insert(DateRole, "date");
    names.insert(IsSavedRole, "isSaved");
    return names;
}

void WordsListModel::setItems(std::vector<WordItemRef> items)
{
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

std::optional<int> WordsListModel::row(const WordKey &key) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i]->key == key)
            return int(i);
    }
    return std::nullopt;
}

std::optional<WordKey> WordsListModel::key(int row) const
{
    if (row < 0 || std::size_t(row) >= m_items.size())
        return std::nullopt;
    return m_items[std::size_t(row)]->key;
}

} // namespace Lumivox
