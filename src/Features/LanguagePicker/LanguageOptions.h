#pragma once

// The choices of the target-language pop-up in Settings and onboarding: a "Popular" section with
// the popular languages in their fixed order, then "All Languages" with every other one by name.
// Section headers are items that can be neither selected nor chosen.

#include <QAbstractListModel>

namespace Lumivox {

class LanguageOptions : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        /// The language code the option writes, exactly as the table has it; empty on a header.
        CodeRole = Qt::UserRole + 1,
        IsHeaderRole,
    };

    explicit LanguageOptions(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    /// The row of the option tagged with exactly this code (letter case counts); -1 for none.
    int rowOf(const QString &code) const;

private:
    struct Item
    {
        QString text;
        QString code;
    };
    std::vector<Item> m_items;
};

} // namespace Lumivox
