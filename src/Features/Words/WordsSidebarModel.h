#pragma once

// The rows of the Words sidebar: Saved and History with their counts, the Review row, then the
// language pairs and the applications of the saved words under their headings. Counts follow the
// book; a count of 0 shows no badge.

#include "Features/Words/WordsSection.h"
#include "Models/WordRecords.h"
#include "Services/Words/Calendar.h"

#include <QAbstractListModel>

#include <functional>
#include <optional>
#include <vector>

namespace Lumivox {

class WordBook;

class WordsSidebarModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum class Kind { section, review, header };

    enum Role {
        KindRole = Qt::UserRole + 1,
        /// The symbol drawn before the title; empty for application rows and headings.
        SymbolRole,
        /// An application row's id, for its icon.
        AppIDRole,
        /// The count; 0 shows none.
        BadgeRole,
        /// The WordsSection a row lists; invalid for the Review row and headings.
        SectionRole,
    };

    struct PairRow
    {
        WordsSection section;
        QString title;
        qint64 count = 0;
        bool operator==(const PairRow &) const = default;
    };
    struct AppRow
    {
        QString id;
        QString name;
        qint64 count = 0;
        bool operator==(const AppRow &) const = default;
    };

    /// One row per language pair of the saved words (source and target as stored), the pair with more
    /// words first, ties by title.
    static std::vector<PairRow> pairs(const std::vector<SavedWord> &saved);
    /// One row per application the saved words were met in; a word counts once per application. The
    /// first name an encounter gives an application is its name.
    static std::vector<AppRow> apps(const std::vector<SavedWord> &saved);

    using Now = std::function<Date()>;

    WordsSidebarModel(const WordBook &book, Now now, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    /// The row listing that section; none when no row does (a pair whose last word was removed).
    std::optional<int> row(const WordsSection &section) const;
    std::optional<WordsSection> section(int row) const;
    Kind kind(int row) const;
    /// The number of words today's review holds.
    qint64 due() const { return m_due; }

    /// Counts, pairs and apps again from the book.
    void refresh();

private:
    struct Row
    {
        Kind kind = Kind::section;
        QString title;
        QString symbol;
        QString appID;
        qint64 badge = 0;
        QString help;
        std::optional<WordsSection> section;
        bool operator==(const Row &) const = default;
    };

    const WordBook &m_book;
    Now m_now;
    std::vector<Row> m_rows;
    qint64 m_due = 0;
};

} // namespace Lumivox
