#include "Features/Words/Views/WordsView.h"

#include "Features/Design/Brand.h"
#include "Features/Design/Symbols.h"
#include "Features/Words/Views/EmptyMessageView.h"
#include "Features/Words/Views/WordDetailView.h"
#include "Features/Words/Views/WordsListView.h"
#include "Features/Words/Views/WordsSidebarView.h"
#include "Features/Words/Views/WordsStyle.h"
#include "Shared/Preferences/PreferenceStore.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

constexpr QSize defaultSize {1100, 720};
constexpr QSize minimumWindowSize {820, 520};

struct ColumnWidths
{
    int minimum;
    int ideal;
    int maximum;
};
constexpr ColumnWidths sidebarWidths {190, 220, 280};
constexpr ColumnWidths listWidths {260, 330, 440};

// Columns divided by a hairline in the rule colour rather than the style's grip.
class RuleHandle final : public QSplitterHandle
{
public:
    RuleHandle(Qt::Orientation orientation, QSplitter *parent, const Appearance &appearance)
        : QSplitterHandle(orientation, parent)
        , m_appearance(appearance)
    { }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Brand::rule().resolved(m_appearance.scheme()));
    }

private:
    const Appearance &m_appearance;
};

class ColumnSplitter final : public QSplitter
{
public:
    ColumnSplitter(const Appearance &appearance, QWidget *parent)
        : QSplitter(Qt::Horizontal, parent)
        , m_appearance(appearance)
    { }

protected:
    QSplitterHandle *createHandle() override { return new RuleHandle(orientation(), this, m_appearance); }

private:
    const Appearance &m_appearance;
};

// "Kept on this computer only", under the sections.
class PrivacyNote final : public QWidget
{
public:
    PrivacyNote(const Appearance &appearance, QWidget *parent)
        : QWidget(parent)
        , m_appearance(appearance)
        , m_icon(new QLabel(this))
        , m_text(WordsStyle::plainLabel(QStringLiteral("Kept on this computer only"), this))
    {
        setObjectName(QStringLiteral("wordsPrivacyNote"));
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(16, 10, 16, 10);
        layout->setSpacing(6);
        layout->addWidget(m_icon);
        m_text->setFont(WordsStyle::caption(font()));
        layout->addWidget(m_text, 1);
        connect(&appearance, &Appearance::isDarkChanged, this, &PrivacyNote::restyle);
        restyle();
    }

private:
    void restyle()
    {
        const ColorScheme scheme = m_appearance.scheme();
        const int side = QFontMetrics(m_text->font()).height() - 2;
        m_icon->setPixmap(Symbols::pixmap(QStringLiteral("lock.fill"), side, Brand::secondaryText().resolved(scheme),
                                          devicePixelRatioF()));
        WordsStyle::makeSecondary(m_text, scheme);
    }

    const Appearance &m_appearance;
    QLabel *m_icon;
    QLabel *m_text;
};

// A toolbar button with its label beside its symbol that opens its (empty) menu at once; `name`
// gives the object names "<name>Button" and "<name>Menu".
QToolButton *menuButton(const QString &name, const QString &text, const QString &symbol, const QString &help,
                        QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name + QStringLiteral("Button"));
    button->setText(text);
    button->setIcon(Symbols::icon(symbol));
    button->setToolTip(help);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(button);
    menu->setObjectName(name + QStringLiteral("Menu"));
    button->setMenu(menu);
    return button;
}

void applyWidths(QWidget *column, const ColumnWidths &widths)
{
    column->setMinimumWidth(widths.minimum);
    column->setMaximumWidth(widths.maximum);
}

} // namespace

WordsView::WordsView(WordBook &book, WordsModel::OpenReview openReview, std::shared_ptr<PreferenceStore> defaults,
                     const Appearance &appearance, std::shared_ptr<Clock> clock, QWidget *parent)
    : QMainWindow(parent)
    , m_defaults(std::move(defaults))
    , m_model(new WordsModel(book, std::move(openReview), std::move(clock), std::nullopt, this))
{
    setObjectName(QStringLiteral("wordsWindow"));
    setMinimumSize(minimumWindowSize);
    m_model->setFileChooser(
        [this](const QString &name, const QString &filter) { return chooseExportFile(this, name, filter); });

    buildToolbar();

    m_splitter = new ColumnSplitter(appearance, this);
    m_splitter->setObjectName(QStringLiteral("wordsSplitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(1);
    auto *sidebarColumn = new QWidget(m_splitter);
    sidebarColumn->setObjectName(QStringLiteral("wordsSidebarColumn"));
    applyWidths(sidebarColumn, sidebarWidths);
    auto *sidebarLayout = new QVBoxLayout(sidebarColumn);
    sidebarLayout->setContentsMargins(0, 6, 0, 0);
    sidebarLayout->setSpacing(0);
    m_sidebar = new WordsSidebarView(m_model, appearance, sidebarColumn);
    // The sections sit on the window colour, the words and the detail on the text background.
    m_sidebar->viewport()->setBackgroundRole(QPalette::Window);
    sidebarLayout->addWidget(m_sidebar, 1);
    sidebarLayout->addWidget(new PrivacyNote(appearance, sidebarColumn));
    m_list = new WordsListView(m_model, appearance, m_splitter);
    applyWidths(m_list, listWidths);
    m_list->list()->setAutoFillBackground(true);
    m_list->list()->setBackgroundRole(QPalette::Base);

    m_detailStack = new QStackedWidget(m_splitter);
    m_detailStack->setObjectName(QStringLiteral("wordDetailColumn"));
    // As wide as the word on show needs: WordDetailView keeps its own minimum width.
    m_detail = new WordDetailView(m_model->detail(), appearance, m_detailStack);
    m_noSelection = new EmptyMessageView(QStringLiteral("bookmark"), appearance, m_detailStack);
    m_noSelection->setObjectName(QStringLiteral("wordDetailEmpty"));
    m_noSelection->setMessage(QStringLiteral("No word selected"),
                              QStringLiteral("Choose a word to see its meaning and where you met it."));
    m_detailStack->addWidget(m_detail);
    m_detailStack->addWidget(m_noSelection);

    m_splitter->addWidget(sidebarColumn);
    m_splitter->addWidget(m_list);
    m_splitter->addWidget(m_detailStack);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setStretchFactor(2, 1);
    m_splitter->setSizes(
        {sidebarWidths.ideal, listWidths.ideal, defaultSize.width() - sidebarWidths.ideal - listWidths.ideal});
    setCentralWidget(m_splitter);

    connect(&appearance, &Appearance::isDarkChanged, m_splitter, [this] {
        for (int i = 1; i < m_splitter->count(); ++i)
            m_splitter->handle(i)->update();
    });
    connect(m_model, &WordsModel::titleChanged, this, [this] { setWindowTitle(m_model->windowTitle()); });
    connect(m_model->detail(), &WordDetailModel::changed, this, &WordsView::showDetail);
    connect(m_model, &WordsModel::exportFailed, this,
            [this](const QString &title, const QString &message) { showExportFailure(this, title, message); });
    setWindowTitle(m_model->windowTitle());
    showDetail();

    // Centred at its first size; a frame kept by an earlier run then takes the place of both.
    resize(defaultSize);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), defaultSize);
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    if (const auto stored = m_defaults->data(geometryKey))
        restoreGeometry(*stored);
}

WordsView::~WordsView() = default;

void WordsView::buildToolbar()
{
    auto *toolbar = addToolBar(QStringLiteral("Words"));
    toolbar->setObjectName(QStringLiteral("wordsToolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setEnabled(false);
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);

    auto *spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);

    m_sortButton = menuButton(QStringLiteral("wordsSort"), QStringLiteral("Sort"),
                              QStringLiteral("line.3.horizontal.decrease"), QStringLiteral("Sort words"), toolbar);
    QMenu *sortMenu = m_sortButton->menu();
    auto *sortGroup = new QActionGroup(sortMenu);
    sortGroup->setExclusive(true);
    for (const WordSort sort : WordSorts::allCases) {
        QAction *action = sortMenu->addAction(WordSorts::title(sort));
        action->setObjectName(QStringLiteral("wordsSort_") + WordSorts::rawValue(sort));
        action->setCheckable(true);
        action->setChecked(sort == m_model->sort());
        sortGroup->addAction(action);
        connect(action, &QAction::triggered, m_model, [this, sort] { m_model->setSort(sort); });
        connect(m_model, &WordsModel::sortChanged, action,
                [this, action, sort] { action->setChecked(m_model->sort() == sort); });
    }
    toolbar->addWidget(m_sortButton);

    m_exportButton = menuButton(QStringLiteral("wordsExport"), QStringLiteral("Export"),
                                QStringLiteral("square.and.arrow.up"), QStringLiteral("Export saved words"), toolbar);
    QMenu *exportMenu = m_exportButton->menu();
    for (const WordExport::Format format : WordExport::allFormats) {
        QAction *action = exportMenu->addAction(QStringLiteral("Export for %1…").arg(WordExport::title(format)));
        action->setObjectName(QStringLiteral("wordsExport_") + WordExport::title(format).toLower());
        connect(action, &QAction::triggered, m_model, [this, format] { m_model->exportSaved(format); });
    }
    m_exportButton->setEnabled(m_model->canExport());
    connect(m_model, &WordsModel::canExportChanged, m_exportButton,
            [this] { m_exportButton->setEnabled(m_model->canExport()); });
    toolbar->addWidget(m_exportButton);

    m_search = new QLineEdit(toolbar);
    m_search->setObjectName(QStringLiteral("wordsSearch"));
    m_search->setPlaceholderText(QStringLiteral("Search words, meanings, sentences"));
    m_search->setAccessibleName(QStringLiteral("Search"));
    m_search->setClearButtonEnabled(true);
    m_search->addAction(Symbols::icon(QStringLiteral("magnifyingglass"), QPalette::PlaceholderText),
                        QLineEdit::LeadingPosition);
    m_search->setFixedWidth(280);
    m_search->setText(m_model->query());
    connect(m_search, &QLineEdit::textChanged, m_model, &WordsModel::setQuery);
    connect(m_model, &WordsModel::queryChanged, m_search, [this] {
        if (m_search->text() != m_model->query())
            m_search->setText(m_model->query());
    });
    toolbar->addWidget(m_search);

    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, m_search, [this] {
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });
}

void WordsView::showDetail()
{
    m_detailStack->setCurrentWidget(m_model->detail()->hasItem() ? static_cast<QWidget *>(m_detail) : m_noSelection);
}

void WordsView::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    m_model->appear();
}

void WordsView::hideEvent(QHideEvent *event)
{
    saveGeometryToDefaults();
    QMainWindow::hideEvent(event);
}

void WordsView::closeEvent(QCloseEvent *event)
{
    saveGeometryToDefaults();
    QMainWindow::closeEvent(event);
}

void WordsView::saveGeometryToDefaults()
{
    m_defaults->set(geometryKey, PreferenceValue(saveGeometry()));
}

std::optional<QString> WordsView::chooseExportFile(QWidget *parent, const QString &suggestedName, const QString &filter)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    QFileDialog dialog(parent, QStringLiteral("Export Saved Words"), folder, filter);
    dialog.setObjectName(QStringLiteral("wordsExportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without its ending still gets the format's.
    dialog.setDefaultSuffix(QFileInfo(suggestedName).suffix());
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void WordsView::showExportFailure(QWidget *parent, const QString &title, const QString &message)
{
    auto *box = new QMessageBox(QMessageBox::Warning, title, title, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("wordsExportError"));
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(message);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

} // namespace Lumivox
