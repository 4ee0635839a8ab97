#include "Features/Words/WordsWindows.h"

#include "Features/Coordinator/CoordinatorSettings.h"
#include "Features/Shell/AppDelegate.h"
#include "Features/Words/Views/KeepWordsPrompt.h"
#include "Features/Words/Views/ReviewView.h"
#include "Features/Words/Views/WordsView.h"
#include "Models/TriggerMode.h"
#include "Services/Words/WordBook.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Preferences/PreferenceStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace Lumivox {

namespace {

// The tooltip's key labels for the hold key the coordinator keeps in the store.
TooltipKeyLabels holdKeyLabels(const PreferenceStore &defaults)
{
    return TriggerMode::fromStored(defaults.string(CoordinatorSettings::holdKeyKey).value_or(QString()))
        .tooltipKeyLabels();
}

void centre(QWidget *window)
{
    window->adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

} // namespace

WordsWindows::WordsWindows(std::shared_ptr<PreferenceStore> defaults, const Appearance &appearance,
                           std::shared_ptr<Clock> clock, bool hostingTests, QObject *parent)
    : QObject(parent)
    , m_defaults(std::move(defaults))
    , m_appearance(appearance)
    , m_clock(std::move(clock))
    , m_hostingTests(hostingTests)
{ }

WordsWindows::~WordsWindows()
{
    delete m_words.data();
    delete m_review.data();
    delete m_prompt.data();
}

bool WordsWindows::isHostingTests()
{
    return AppIdentity::isHostingTests();
}

ReviewView *WordsWindows::reviewView() const
{
    return static_cast<ReviewView *>(m_reviewView.data());
}

bool WordsWindows::isWordsWindow(const QWidget *window)
{
    return window && window->objectName().startsWith(QStringLiteral("lumivox.words"));
}

void WordsWindows::showWords(WordBook &book, WordsModel::OpenReview openReview)
{
    if (!m_words) {
        // The view places itself: centred at its first size, or where an earlier run left it.
        auto *view = new WordsView(book, std::move(openReview), m_defaults, m_appearance, m_clock);
        view->setObjectName(wordsID);
        view->model()->setKeyLabels([defaults = m_defaults] { return holdKeyLabels(*defaults); });
        // The empty list's hint names the hold key the user has now.
        connect(m_defaults.get(), &PreferenceStore::changed, view->model(),
                [model = view->model()](const QString &key) {
                    if (key == CoordinatorSettings::holdKeyKey)
                        model->refreshKeyLabels();
                });
        m_words = view;
    }
    present(m_words);
}

void WordsWindows::showReview(WordBook &book, std::optional<QUuid> only)
{
    if (m_review && m_review->isVisible() && !only) {
        present(m_review);
        return;
    }
    auto *view = new ReviewView(
        book, only,
        [self = QPointer(this)] {
            if (self && self->m_review)
                self->m_review->close();
        },
        m_appearance, m_clock);
    if (m_review) {
        // The window keeps its place; the earlier session is dropped with its view.
        delete m_reviewView.data();
        m_review->layout()->addWidget(view);
    } else {
        auto *window = new QWidget(nullptr,
                                   Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                                       | Qt::WindowMinimizeButtonHint | Qt::CustomizeWindowHint);
        window->setObjectName(reviewID);
        window->setWindowTitle(QStringLiteral("Review"));
        auto *layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        layout->addWidget(view);
        centre(window);
        m_review = window;
    }
    m_reviewView = view;
    present(m_review);
}

void WordsWindows::showKeepPrompt(WordBook &book, const TooltipKeyLabels &keys)
{
    if (book.hasAskedAboutHistory())
        return;
    if (m_prompt && m_prompt->isVisible())
        return;
    // The book outlives every window; the owner may not.
    auto answer = [self = QPointer(this), book = &book](bool keep) {
        book->setKeepsHistory(keep);
        book->setHasAskedAboutHistory(true);
        if (self && self->m_prompt)
            self->m_prompt->close();
    };
    // A dialog of its own, not resizable, without a close button: the question goes away with an
    // answer.
    auto *window = new QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    window->setObjectName(promptID);
    window->setWindowTitle(QStringLiteral("Keep Words"));
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(new KeepWordsPrompt(keys, std::move(answer), m_appearance));
    centre(window);
    if (m_prompt)
        m_prompt->deleteLater();
    m_prompt = window;
    present(m_prompt);
}

void WordsWindows::storeFrame() const
{
    if (m_words && m_words->isVisible())
        static_cast<WordsView *>(m_words.data())->saveGeometryToDefaults();
}

void WordsWindows::present(QWidget *window) const
{
    if (!window || m_hostingTests)
        return;
    AppDelegate::dockIconSuppressed = false;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace Lumivox
