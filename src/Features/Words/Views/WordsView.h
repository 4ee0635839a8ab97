#pragma once

// The Words window: the sections on the left, the listed words in the middle, the selected word on
// the right, and a toolbar with the sort and export menus and the search field. Made once and kept:
// hiding and showing it again keeps its state, and its size and place are remembered across runs.

#include "Features/Words/WordsModel.h"

#include <QMainWindow>

#include <memory>

class QLineEdit;
class QSplitter;
class QStackedWidget;
class QToolButton;

namespace Lumivox {

class Appearance;
class EmptyMessageView;
class PreferenceStore;
class WordDetailView;
class WordsListView;
class WordsSidebarView;

class WordsView : public QMainWindow
{
    Q_OBJECT
public:
    /// Where the window's size and place are kept in the preference store.
    static inline const QString geometryKey = QStringLiteral("LumivoxWords");

    /// `defaults` keeps the window's size and place; the views draw in the scheme of `appearance`.
    WordsView(WordBook &book, WordsModel::OpenReview openReview, std::shared_ptr<PreferenceStore> defaults,
              const Appearance &appearance, std::shared_ptr<Clock> clock = Clock::system(), QWidget *parent = nullptr);
    ~WordsView() override;

    WordsModel *model() const { return m_model; }
    /// Keeps the window's size and place in the preference store, as hiding it does.
    void saveGeometryToDefaults();

    /// The save dialog of an export, over `parent`; none when the user cancels.
    static std::optional<QString> chooseExportFile(QWidget *parent, const QString &suggestedName,
                                                   const QString &filter);
    /// Tells, over `parent`, that an export could not be written.
    static void showExportFailure(QWidget *parent, const QString &title, const QString &message);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolbar();
    void showDetail();

    std::shared_ptr<PreferenceStore> m_defaults;
    WordsModel *m_model;
    QLineEdit *m_search = nullptr;
    QToolButton *m_sortButton = nullptr;
    QToolButton *m_exportButton = nullptr;
    QSplitter *m_splitter = nullptr;
    WordsSidebarView *m_sidebar = nullptr;
    WordsListView *m_list = nullptr;
    QStackedWidget *m_detailStack = nullptr;
    WordDetailView *m_detail = nullptr;
    EmptyMessageView *m_noSelection = nullptr;
};

} // namespace Lumivox
