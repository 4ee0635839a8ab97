#pragma once

// The Words window's state and logic: which section is listed, the search, the order, the selected
// word, the window title and the message of an empty list, and the export of the saved words. The
// lists follow the word book as it changes. The view binds to it and paints; it holds no logic.
//
// Made once per window and kept as long as the window: closing and showing the window again finds
// the same section, selection, search and order.

#include "Features/Words/WordDetailModel.h"
#include "Features/Words/WordExporter.h"
#include "Features/Words/WordItem.h"
#include "Features/Words/WordsListModel.h"
#include "Features/Words/WordsSection.h"
#include "Features/Words/WordsSidebarModel.h"
#include "Models/TooltipKeyLabels.h"
#include "Services/Words/Calendar.h"
#include "Shared/Async/Clock.h"

#include <QObject>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Lumivox {

class WordBook;

class WordsModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(QString title READ title NOTIFY titleChanged)
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY titleChanged)
    Q_PROPERTY(QString windowTitle READ windowTitle NOTIFY titleChanged)
    Q_PROPERTY(bool canExport READ canExport NOTIFY canExportChanged)
    Q_PROPERTY(QString emptyTitle READ emptyTitle NOTIFY emptyMessageChanged)
    Q_PROPERTY(QString emptyDetail READ emptyDetail NOTIFY emptyMessageChanged)

public:
    /// Opens the review of one saved word, or of every due word with none.
    using OpenReview = WordDetailModel::OpenReview;
    /// The tooltip's key labels for the user's hold key, for the empty list's hint.
    using KeyLabels = std::function<TooltipKeyLabels()>;

    struct EmptyMessage
    {
        QString title;
        QString detail;
        bool operator==(const EmptyMessage &) const = default;
    };

    /// The calendar defaults to the user's current one, read afresh at every use.
    WordsModel(WordBook &book, OpenReview openReview, std::shared_ptr<Clock> clock = Clock::system(),
               std::optional<Calendar> calendar = std::nullopt, QObject *parent = nullptr);

    WordsListModel *list() const { return m_list; }
    WordsSidebarModel *sidebar() const { return m_sidebar; }
    WordDetailModel *detail() const { return m_detail; }

    const WordsSection &section() const { return m_section; }
    /// Lists another section and selects its first word.
    void setSection(const WordsSection &section);
    const std::optional<WordKey> &selection() const { return m_selection; }
    void setSelection(const std::optional<WordKey> &key);
    const QString &query() const { return m_query; }
    /// Filters the list; the selection stays, even when the search hides it.
    void setQuery(const QString &query);
    WordSort sort() const { return m_sort; }
    void setSort(WordSort sort);

    /// The listed words, filtered and in order.
    const std::vector<WordItemRef> &items() const { return m_list->items(); }
    /// The listed item whose key is the selection; none when nothing is selected or the search hides it.
    const WordItem *selectedItem() const;

    QString title() const;
    /// "1 word", "N words".
    QString subtitle() const;
    /// "Saved — 3 words".
    QString windowTitle() const;
    EmptyMessage emptyMessage() const;
    QString emptyTitle() const { return emptyMessage().title; }
    QString emptyDetail() const { return emptyMessage().detail; }
    bool canExport() const;

    void setKeyLabels(KeyLabels labels);
    /// The hold key changed: the empty list's hint is written again.
    void refreshKeyLabels() { publish(items()); }
    void setFileChooser(WordExporter::FileChooser chooser) { m_chooseFile = std::move(chooser); }

    /// The window is shown: selects the first word when nothing is selected yet.
    void appear();
    /// The sidebar's Review row: every due word; the section stays.
    void openDueReview();
    /// Writes every saved word, whatever is listed; a failure is reported through exportFailed.
    WordExporter::Outcome exportSaved(WordExport::Format format);

    Date now() const;
    Calendar calendar() const;

signals:
    void sectionChanged();
    void selectionChanged();
    void queryChanged();
    void sortChanged();
    void itemsChanged();
    void titleChanged();
    void canExportChanged();
    void emptyMessageChanged();
    void exportFailed(const QString &title, const QString &message);

private:
    void bookChanged();
    /// The section's items again from the book, sorted, then filtered.
    void rebuild();
    /// Filters the section's sorted items by the query.
    void refilter();
    void publish(std::vector<WordItemRef> items);
    void updateDetail();

    WordBook &m_book;
    OpenReview m_openReview;
    std::shared_ptr<Clock> m_clock;
    std::optional<Calendar> m_calendar;
    KeyLabels m_keyLabels;
    WordExporter::FileChooser m_chooseFile;

    WordsSection m_section;
    std::optional<WordKey> m_selection;
    QString m_query;
    WordSort m_sort = WordSort::newest;

    std::vector<WordItemRef> m_sectionItems;
    QString m_lastTitle;
    EmptyMessage m_lastEmpty;
    bool m_lastCanExport = false;

    WordsListModel *m_list;
    WordsSidebarModel *m_sidebar;
    WordDetailModel *m_detail;
};

} // namespace Lumivox
