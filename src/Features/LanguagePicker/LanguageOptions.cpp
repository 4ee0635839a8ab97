#include "Features/LanguagePicker/LanguageOptions.h"

#include "Models/LanguageCatalog.h"

namespace Lumivox {

LanguageOptions::LanguageOptions(QObject *parent)
    : QAbstractListModel(parent)
{
    m_items.push_back({QStringLiteral("Popular"), QString()});
    for (const Language &language : LanguageCatalog::popularLanguages())
        m_items.push_back({language.name, language.id});
    m_items.push_back({QStringLiteral("All Languages"), QString()});
    for (const Language &language : LanguageCatalog::otherLanguages())
        m_items.push_back({language.name, language.id});
}

int LanguageOptions::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant LanguageOptions::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() >= int(m_items.size()))
        return {};
    const Item &item = m_items[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return item.text;
    case CodeRole:
        return item.code;
    case IsHeaderRole:
        return item.code.isEmpty();
    default:
        return {};
    }
}

Qt::ItemFlags LanguageOptions::flags(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent().isValid() || index.row() >= int(m_items.size()))
        return Qt::NoItemFlags;
    if (m_items[size_t(index.row())].code.isEmpty())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int LanguageOptions::rowOf(const QString &code) const
{
    for (size_t row = 0; row < m_items.size(); ++row) {
        if (!code.isEmpty() && m_items[row].code == code)
            return int(row);
    }
    return -1;
}

} // namespace Lumivox
