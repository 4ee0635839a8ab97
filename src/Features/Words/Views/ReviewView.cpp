#include "Features/Words/Views/ReviewView.h"

#include "Features/Design/Brand.h"
#include "Features/Design/Styling.h"
#include "Features/Design/Symbols.h"
#include "Features/Words/Views/WordTag.h"
#include "Features/Words/Views/WordsStyle.h"
#include "Features/Words/WordHighlight.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

using WordsStyle::points;

QLabel *centred(QLabel *label, int maxWidth)
{
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setMaximumWidth(maxWidth);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return label;
}

// A wrapped label of bounded width centred by stretches rather than an alignment flag: given the
// full row, it knows its width and takes the height of all its lines.
void addCentred(QVBoxLayout *column, QWidget *widget)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(widget, 100);
    row->addStretch(1);
    column->addLayout(row);
}

QString rgba(const QColor &color)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF(), 0, 'f', 2);
}

// A prominent button in the user's accent colour, as the one thing to press on a question.
void prominent(QPushButton *button, ColorScheme scheme)
{
    const QColor accent = Brand::accent().resolved(scheme);
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 7px;"
                                         " padding: 7px 16px; } QPushButton:pressed { background: %2; }")
                              .arg(rgba(accent), rgba(accent.darker(115))));
}

// A button drawn by the style with labels of its own laid over it; clicks go to the button.
QPushButton *stackedButton(QWidget *content)
{
    auto *button = new QPushButton;
    auto *layout = new QVBoxLayout(button);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(content);
    content->setAttribute(Qt::WA_TransparentForMouseEvents);
    button->setMinimumHeight(content->sizeHint().height() + 16);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Space and Return are the review's own keys: no button takes the keyboard focus from them.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

ReviewView::ReviewView(WordBook &book, std::optional<QUuid> only, std::function<void()> close,
                       const Appearance &appearance, std::shared_ptr<Clock> clock, QWidget *parent)
    : QWidget(parent)
    , m_model(new ReviewModel(book, only, std::move(clock), std::nullopt, this))
    , m_close(std::move(close))
    , m_appearance(appearance)
    , m_layout(new QVBoxLayout(this))
    , m_reveal(new QShortcut(QKeySequence(Qt::Key_Space), this))
{
    setObjectName(QStringLiteral("review"));
    setFixedSize(size);
    windowBackground(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    connect(m_reveal, &QShortcut::activated, m_model, &ReviewModel::reveal);
    for (size_t i = 0; i < m_grades.size(); ++i) {
        m_grades[i] = new QShortcut(QKeySequence(Qt::Key_1 + int(i)), this);
        connect(m_grades[i], &QShortcut::activated, m_model,
                [model = m_model, answer = ReviewModel::answers[i]] { model->answer(answer); });
    }
    m_closeKeys = {new QShortcut(QKeySequence(Qt::Key_Return), this), new QShortcut(QKeySequence(Qt::Key_Enter), this)};
    for (QShortcut *key : m_closeKeys)
        connect(key, &QShortcut::activated, this, [this] {
            if (m_close)
                m_close();
        });
    // The redraw waits for the event loop: an answer's own change of the book and the session's
    // move to the next card are drawn once.
    connect(m_model, &ReviewModel::changed, this, &ReviewView::rebuild, Qt::QueuedConnection);
    connect(&appearance, &Appearance::isDarkChanged, this, &ReviewView::rebuild);
    rebuild();
}

void ReviewView::rebuild()
{
    const std::optional<ReviewModel::Card> current = m_model->current();
    m_reveal->setEnabled(m_model->canReveal());
    for (QShortcut *grade : m_grades)
        grade->setEnabled(m_model->canAnswer());
    for (QShortcut *key : m_closeKeys)
        key->setEnabled(!current);

    auto *page = new QWidget(this);
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    if (current) {
        column->addWidget(progress(*current));
        column->addWidget(card(*current), 1);
    } else {
        column->addWidget(done(), 1);
    }
    if (m_page) {
        // Redraws arrive through the event loop, never from inside the page's own buttons, so the
        // old page can go at once.
        delete m_layout->replaceWidget(m_page, page);
        delete m_page;
    } else {
        m_layout->addWidget(page);
    }
    m_page = page;
}

QWidget *ReviewView::progress(const ReviewModel::Card &card)
{
    auto *box = new QWidget;
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(20, 12, 20, 0);
    column->setSpacing(8);
    QLabel *counter = WordsStyle::plainLabel(m_model->counterText(card));
    counter->setObjectName(QStringLiteral("review.counter"));
    counter->setAlignment(Qt::AlignRight);
    counter->setFont(WordsStyle::callout(font()));
    WordsStyle::makeSecondary(counter, m_appearance.scheme());
    column->addWidget(counter);
    auto *bar = new QProgressBar;
    bar->setObjectName(QStringLiteral("review.progress"));
    bar->setRange(0, ReviewModel::progressTotal(qsizetype(m_model->queue().size())));
    bar->setValue(int(card.index));
    bar->setTextVisible(false);
    bar->setFixedHeight(6);
    column->addWidget(bar);
    return box;
}

QWidget *ReviewView::card(const ReviewModel::Card &current)
{
    const SavedWord &word = *current.word;
    const ColorScheme scheme = m_appearance.scheme();
    const WordLookup *encounter = word.encounters.empty() ? nullptr : &word.encounters.front();

    auto *box = new QWidget;
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(40, 26, 40, 28);
    column->setSpacing(16);

    QLabel *question = WordsStyle::plainLabel(ReviewModel::question());
    question->setObjectName(QStringLiteral("review.question"));
    QFont label = Brand::label();
    label.setCapitalization(QFont::AllUppercase);
    label.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    question->setFont(label);
    question->setAlignment(Qt::AlignCenter);
    WordsStyle::makeSecondary(question, scheme);
    column->addStretch(1);
    column->addWidget(question);

    if (encounter && encounter->sentence) {
        // Text from another program: only escaped pieces reach the rich text.
        QLabel *sentence = centred(WordsStyle::richLabel(WordHighlight::html(
                                       WordHighlight::sentence(*encounter->sentence, word.word, encounter->wordOffset),
                                       Brand::highlighter().resolved(scheme))),
                                   480);
        sentence->setObjectName(QStringLiteral("review.sentence"));
        sentence->setFont(Brand::title(points(23)));
        addCentred(column, sentence);
    } else {
        QLabel *plain = centred(WordsStyle::plainLabel(word.word), 480);
        plain->setObjectName(QStringLiteral("review.word"));
        plain->setFont(Brand::title(points(36)));
        addCentred(column, plain);
    }

    if (encounter) {
        auto *row = new QHBoxLayout;
        row->setSpacing(7);
        row->addStretch(1);
        row->addWidget(WordsStyle::appIcon(encounter->appID, 16, scheme, box));
        QLabel *where = WordsStyle::plainLabel(m_model->encounterText(*encounter));
        where->setObjectName(QStringLiteral("review.encounter"));
        where->setFont(WordsStyle::callout(font()));
        WordsStyle::makeSecondary(where, scheme);
        row->addWidget(where);
        row->addStretch(1);
        column->addLayout(row);
    }

    if (!m_model->showsAnswer()) {
        column->addStretch(1);
        auto *content = new QWidget;
        auto *line = new QHBoxLayout(content);
        line->setContentsMargins(8, 0, 8, 0);
        line->setSpacing(10);
        QLabel *title = WordsStyle::plainLabel(QStringLiteral("Show Meaning"));
        title->setStyleSheet(QStringLiteral("color: white;"));
        QLabel *cap = WordsStyle::plainLabel(QStringLiteral("Space"));
        QFont capFont = font();
        capFont.setPointSizeF(points(10.5));
        capFont.setWeight(QFont::DemiBold);
        cap->setFont(capFont);
        cap->setStyleSheet(QStringLiteral("color: white; border: 1px solid rgba(255,255,255,0.5); border-radius: 4px;"
                                          " padding: 1px 5px;"));
        line->addWidget(title);
        line->addWidget(cap);
        QPushButton *show = stackedButton(content);
        show->setObjectName(QStringLiteral("review.showMeaning"));
        show->setAccessibleName(QStringLiteral("Show Meaning"));
        show->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        show->setFixedWidth(content->sizeHint().width() + 16);
        prominent(show, scheme);
        connect(show, &QPushButton::clicked, m_model, &ReviewModel::reveal);
        column->addWidget(show, 0, Qt::AlignHCenter);
        column->addStretch(1);
        return box;
    }

    auto *divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFixedHeight(5);
    divider->setStyleSheet(QStringLiteral("color: %1;").arg(rgba(Brand::separator().resolved(scheme))));
    column->addWidget(divider);

    QLabel *meaning = centred(WordsStyle::plainLabel(word.meaning()), 520);
    meaning->setObjectName(QStringLiteral("review.meaning"));
    meaning->setFont(WordsStyle::sized(font(), points(30), QFont::Medium));
    addCentred(column, meaning);

    if (!word.senses.empty() && word.senses.front().grammarTag) {
        const WordSense &sense = word.senses.front();
        auto *row = new QHBoxLayout;
        row->setSpacing(8);
        row->addStretch(1);
        row->addWidget(new WordTag(*sense.grammarTag, m_appearance, box));
        if (sense.grammarText) {
            QLabel *grammar = WordsStyle::plainLabel(*sense.grammarText);
            grammar->setFont(WordsStyle::callout(font()));
            WordsStyle::makeSecondary(grammar, scheme);
            row->addWidget(grammar);
        }
        row->addStretch(1);
        column->addLayout(row);
    }
    if (encounter && encounter->translation) {
        QLabel *translation = centred(WordsStyle::richLabel(WordHighlight::html(
                                          WordHighlight::translation(*encounter->translation, word.meaning()))),
                                      470);
        translation->setObjectName(QStringLiteral("review.translation"));
        translation->setFont(WordsStyle::sized(font(), points(14)));
        WordsStyle::makeSecondary(translation, scheme);
        addCentred(column, translation);
    }
    column->addStretch(1);
    auto *grades = new QHBoxLayout;
    grades->setSpacing(10);
    for (size_t i = 0; i < ReviewModel::answers.size(); ++i)
        grades->addWidget(answerButton(ReviewModel::answers[i], int(i) + 1, word));
    column->addLayout(grades);
    return box;
}

QWidget *ReviewView::answerButton(ReviewAnswer answer, int key, const SavedWord &word)
{
    auto *content = new QWidget;
    auto *lines = new QVBoxLayout(content);
    lines->setContentsMargins(0, 4, 0, 4);
    lines->setSpacing(3);
    QLabel *title = WordsStyle::plainLabel(QStringLiteral("%1  %2").arg(key).arg(ReviewModel::answerTitle(answer)));
    title->setFont(WordsStyle::sized(font(), font().pointSizeF(), QFont::DemiBold));
    title->setAlignment(Qt::AlignCenter);
    QLabel *when = WordsStyle::plainLabel(ReviewModel::answerLabel(answer, word.review));
    when->setFont(WordsStyle::caption(font()));
    when->setAlignment(Qt::AlignCenter);
    WordsStyle::makeSecondary(when, m_appearance.scheme());
    lines->addWidget(title);
    lines->addWidget(when);
    QPushButton *button = stackedButton(content);
    static const char *const names[] = {"review.again", "review.hard", "review.gotIt"};
    button->setObjectName(QString::fromLatin1(names[key - 1]));
    button->setAccessibleName(ReviewModel::answerTitle(answer));
    button->setToolTip(ReviewModel::answerHelp(answer, word.review));
    connect(button, &QPushButton::clicked, m_model, [model = m_model, answer] { model->answer(answer); });
    return button;
}

QWidget *ReviewView::done()
{
    const ColorScheme scheme = m_appearance.scheme();
    auto *box = new QWidget;
    auto *outer = new QVBoxLayout(box);
    outer->setContentsMargins(40, 40, 40, 40);
    outer->addStretch(1);
    auto *column = new QVBoxLayout;
    column->setSpacing(12);
    auto *symbol = new QLabel;
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setPixmap(
        Symbols::pixmap(m_model->doneSymbol(), 44, Brand::accent().resolved(scheme), devicePixelRatioF()));
    column->addWidget(symbol);
    QLabel *title = WordsStyle::plainLabel(m_model->doneTitle());
    title->setObjectName(QStringLiteral("review.doneTitle"));
    title->setFont(Brand::title(points(26)));
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);
    QLabel *detail = centred(WordsStyle::plainLabel(m_model->doneDetail()), 380);
    detail->setObjectName(QStringLiteral("review.doneDetail"));
    WordsStyle::makeSecondary(detail, scheme);
    addCentred(column, detail);
    column->addSpacing(8);
    auto *closeButton = new QPushButton(QStringLiteral("Close"));
    closeButton->setObjectName(QStringLiteral("review.close"));
    closeButton->setMinimumWidth(110);
    closeButton->setFocusPolicy(Qt::NoFocus);
    prominent(closeButton, scheme);
    connect(closeButton, &QPushButton::clicked, this, [this] {
        if (m_close)
            m_close();
    });
    column->addWidget(closeButton, 0, Qt::AlignHCenter);
    outer->addLayout(column);
    outer->addStretch(1);
    return box;
}

} // namespace Lumivox
