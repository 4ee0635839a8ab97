#pragma once

// The owner of the word book's three windows: the Words window, the Review window and the
// keep-words prompt. Each is made on first use and kept: the Words window with its state for the
// life of the program, the Review window with a fresh session for every new review, the prompt anew
// each time it is shown. Every opening brings the window forward, out of its minimised state. In a
// test host nothing is shown. Main thread; the coordinator is its only caller.

#include "Features/Words/WordsModel.h"
#include "Models/TooltipKeyLabels.h"
#include "Shared/Async/Clock.h"

#include <QObject>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <memory>
#include <optional>

namespace Lumivox {

class Appearance;
class PreferenceStore;
class ReviewView;
class WordBook;

class WordsWindows final : public QObject
{
    Q_OBJECT
public:
    static inline const QString wordsID = QStringLiteral("lumivox.words.list");
    static inline const QString reviewID = QStringLiteral("lumivox.words.review");
    static inline const QString promptID = QStringLiteral("lumivox.words.prompt");

    /// `defaults` keeps the Words window's frame; the windows draw in the scheme of `appearance`.
    /// `hostingTests` false shows the windows even in a test (the owner's own tests).
    WordsWindows(std::shared_ptr<PreferenceStore> defaults, const Appearance &appearance,
                 std::shared_ptr<Clock> clock = Clock::system(), bool hostingTests = isHostingTests(),
                 QObject *parent = nullptr);
    ~WordsWindows() override;

    /// True for the Words, Review and prompt windows, by their names.
    static bool isWordsWindow(const QWidget *window);

    /// Opens or brings forward the Words window; a later call only brings the same window forward.
    void showWords(WordBook &book, WordsModel::OpenReview openReview);
    /// Reviews the one saved word, or the due words when none is given; a review of the due words
    /// already on screen is only brought forward.
    void showReview(WordBook &book, std::optional<QUuid> only);
    /// Asks whether to keep looked-up words, unless that was answered or the question is on screen.
    void showKeepPrompt(WordBook &book, const TooltipKeyLabels &keys);

    QWidget *wordsWindow() const { return m_words.data(); }
    /// Keeps the Words window's frame while it is on screen, for a program that ends with it open
    /// (hiding it keeps the frame too).
    void storeFrame() const;
    QWidget *reviewWindow() const { return m_review.data(); }
    /// The review on show in the Review window.
    ReviewView *reviewView() const;
    QWidget *promptWindow() const { return m_prompt.data(); }

private:
    static bool isHostingTests();
    void present(QWidget *window) const;

    std::shared_ptr<PreferenceStore> m_defaults;
    const Appearance &m_appearance;
    std::shared_ptr<Clock> m_clock;
    bool m_hostingTests;
    QPointer<QWidget> m_words;
    QPointer<QWidget> m_review;
    QPointer<QWidget> m_reviewView;
    QPointer<QWidget> m_prompt;
};

} // namespace Lumivox
