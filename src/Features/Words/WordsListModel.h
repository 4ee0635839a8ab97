#pragma once

// The rows of the Words list: one per listed word, in the window's order. Date texts are worked out
// each time a row is drawn, so "Today" turns into "Yesterday" without a rebuild.

#include "Features/Words/WordItem.h"
#include "Services/Words/Calendar.h"
#include "Shared/Async/Clock.h"

#include <QAbstractListModel>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Lumivox {

using WordItemRef = std::shared_ptr<const WordItem>;

class WordsListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        /// The word (also Qt::DisplayRole).
        WordRole = Qt::UserRole + 1,
        /// The first meaning's grammar tag; an invalid variant when there is none.
        TagRole,
        /// Every meaning, joined by " · ".
        MeaningsRole,
        /// The item's date in short form.
        DateRole,
        IsSavedRole,
    };

    /// `now` gives the moment and calendar the date texts are written for.
    using Now = std::function<std::pair<Date, Calendar>()>;

    explicit WordsListModel(Now now, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const std::vector<WordItemRef> &items() const { return m_items; }
    void setItems(std::vector<WordItemRef> items);
    std::optional<int> row(const WordKey &key) const;
    /// The key of a row; none outside the list.
    std::optional<WordKey> key(int row) const;

private:
    Now m_now;
    std::vector<WordItemRef> m_items;
};

} // namespace Lumivox
