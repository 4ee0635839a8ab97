#include "Features/Words/Views/WordDetailView.h"

#include "Features/Design/Brand.h"
#include "Features/Design/Styling.h"
#include "Features/Design/Symbols.h"
#include "Features/Words/AppIcons.h"
#include "Features/Words/Views/WordTag.h"
#include "Features/Words/Views/WordsStyle.h"
#include "Features/Words/WordDetailModel.h"
#include "Features/Words/WordHighlight.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

using WordsStyle::points;

// Wrapped text never widens the column: a single token longer than a line (a long compound, a
// pasted link) is cut at the edge instead of pushing the whole detail past the window.
QLabel *wrapping(QLabel *label)
{
    label->setWordWrap(true);
    label->setMinimumWidth(1);
    return label;
}

QLabel *selectable(QLabel *label)
{
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return wrapping(label);
}

// The word in its large serif, made smaller (down to 60 %) when it is wider than the column, and cut
// with "…" only past that. The full word stays in the tooltip.
class WordTitle final : public QLabel
{
public:
    WordTitle(const QString &word, const QFont &font, QWidget *parent)
        : QLabel(parent)
        , m_word(word)
        , m_font(font)
    {
        setTextFormat(Qt::PlainText);
        setTextInteractionFlags(Qt::TextSelectableByMouse);
        setFont(font);
        setText(word);
        setAccessibleName(word);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(m_font);
        return {metrics.horizontalAdvance(m_word) + 2, metrics.height()};
    }
    QSize minimumSizeHint() const override { return {1, QFontMetrics(m_font).height()}; }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        fit();
    }

private:
    void fit()
    {
        QFont font = m_font;
        const qreal full = m_font.pointSizeF();
        for (qreal size = full; size >= full * 0.6; size -= 1) {
            font.setPointSizeF(size);
            if (QFontMetrics(font).horizontalAdvance(m_word) <= width())
                break;
        }
        setFont(font);
        const QFontMetrics metrics(font);
        const bool cut = metrics.horizontalAdvance(m_word) > width();
        const QString shown = cut ? metrics.elidedText(m_word, Qt::ElideRight, width()) : m_word;
        if (shown != text())
            setText(shown);
        setToolTip(cut ? m_word : QString());
    }

    QString m_word;
    QFont m_font;
};

// One line of text that ends in "…" when the column is too narrow (application names and window
// titles can be any length).
class ElidingLabel final : public QLabel
{
public:
    explicit ElidingLabel(const QString &text, QWidget *parent = nullptr)
        : QLabel(parent)
        , m_full(text)
    {
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setToolTip(text);
        setAccessibleName(text);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(m_full, Qt::ElideRight, width()));
    }
    QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(m_full), fontMetrics().height()}; }
    QSize minimumSizeHint() const override { return {0, fontMetrics().height()}; }

private:
    QString m_full;
};

using WordsStyle::appIcon;

// The marked word of a sentence on the hovered word's highlighter colour, as the tooltip marks it.
QString markedHtml(const StyledText &text, ColorScheme scheme)
{
    return WordHighlight::html(text, Brand::highlighter().resolved(scheme));
}

QLabel *sectionLabel(const QString &text, ColorScheme scheme, QWidget *parent)
{
    auto *label = WordsStyle::plainLabel(text, parent);
    QFont font = Brand::label();
    font.setPointSizeF(points(11));
    font.setCapitalization(QFont::AllUppercase);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    label->setFont(font);
    WordsStyle::makeSecondary(label, scheme);
    return label;
}

// The card of the newest place the word was met, outlined with the rule colour.
class EncounterCard final : public QWidget
{
public:
    EncounterCard(const WordDetailModel::Encounter &encounter, ColorScheme scheme, QWidget *parent)
        : QWidget(parent)
        , m_scheme(scheme)
    {
        setObjectName(QStringLiteral("wordEncounterCard"));
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(14, 14, 14, 14);
        layout->setSpacing(8);

        auto *top = new QHBoxLayout;
        top->setSpacing(8);
        top->addWidget(appIcon(encounter.appID, 18, scheme, this));
        auto *source = new ElidingLabel(encounter.source, this);
        source->setObjectName(QStringLiteral("wordEncounterSource"));
        source->setFont(WordsStyle::callout(font()));
        WordsStyle::makeSecondary(source, scheme);
        top->addWidget(source, 1);
        auto *date = WordsStyle::plainLabel(encounter.date, this);
        date->setFont(WordsStyle::callout(font()));
        WordsStyle::makeSecondary(date, scheme);
        top->addWidget(date);
        layout->addLayout(top);

        if (encounter.sentence) {
            auto *sentence = selectable(WordsStyle::richLabel(markedHtml(*encounter.sentence, scheme), this));
            sentence->setObjectName(QStringLiteral("wordEncounterSentence"));
            sentence->setFont(Brand::title(points(17)));
            layout->addWidget(sentence);
        } else {
            auto *none = WordsStyle::plainLabel(QStringLiteral("No sentence was kept for this word."), this);
            none->setObjectName(QStringLiteral("wordEncounterSentence"));
            none->setFont(WordsStyle::callout(font()));
            WordsStyle::makeSecondary(none, scheme, true);
            layout->addWidget(none);
        }
        if (encounter.translation) {
            auto *translation = selectable(WordsStyle::richLabel(WordHighlight::html(*encounter.translation), this));
            translation->setObjectName(QStringLiteral("wordEncounterTranslation"));
            translation->setFont(WordsStyle::sized(font(), points(13.5)));
            WordsStyle::makeSecondary(translation, scheme);
            layout->addWidget(translation);
        }
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Brand::rule().resolved(m_scheme), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    }

private:
    ColorScheme m_scheme;
};

// An earlier place: icon, the sentence (at most two lines) and the day, under a rule.
class AlsoMetRow final : public QWidget
{
public:
    AlsoMetRow(const WordDetailModel::AlsoMet &row, ColorScheme scheme, QWidget *parent)
        : QWidget(parent)
        , m_scheme(scheme)
    {
        setObjectName(QStringLiteral("wordAlsoMetRow"));
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 7, 0, 7);
        layout->setSpacing(10);
        layout->addWidget(appIcon(row.appID, 16, scheme, this), 0, Qt::AlignTop);
        auto *sentence = wrapping(WordsStyle::richLabel(markedHtml(row.sentence, scheme), this));
        sentence->setFont(Brand::title(points(14.5)));
        sentence->setMaximumHeight(QFontMetrics(sentence->font()).lineSpacing() * 2 + 2);
        sentence->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        layout->addWidget(sentence, 1, Qt::AlignTop);
        layout->addSpacing(8);
        auto *date = WordsStyle::plainLabel(row.date, this);
        date->setFont(WordsStyle::caption(font()));
        WordsStyle::makeSecondary(date, scheme);
        layout->addWidget(date, 0, Qt::AlignTop);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(QRectF(0, 0, width(), 1), Brand::rule().resolved(m_scheme));
    }

private:
    ColorScheme m_scheme;
};

QPushButton *button(const QString &name, const QString &text, const QString &symbol, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    if (!symbol.isEmpty())
        b->setIcon(Symbols::icon(symbol));
    return b;
}

} // namespace

WordDetailView::WordDetailView(WordDetailModel *model, const Appearance &appearance, QWidget *parent)
    : QScrollArea(parent)
    , m_model(model)
    , m_appearance(appearance)
{
    setObjectName(QStringLiteral("wordDetail"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    windowBackground(this);
    connect(model, &WordDetailModel::changed, this, &WordDetailView::rebuild);
    connect(&appearance, &Appearance::isDarkChanged, this, &WordDetailView::rebuild);
    connect(model, &WordDetailModel::removeConfirmationRequested, this, &WordDetailView::confirmRemoval);
    rebuild();
}

void WordDetailView::changeEvent(QEvent *event)
{
    QScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        rebuild();
}

void WordDetailView::showEvent(QShowEvent *event)
{
    QScrollArea::showEvent(event);
    // Date texts are written for the moment they are shown.
    rebuild();
}

void WordDetailView::rebuild()
{
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("wordDetailContent"));
    content->setAutoFillBackground(false);
    auto *outer = new QHBoxLayout(content);
    outer->setContentsMargins(30, 26, 30, 26);
    auto *column = new QWidget(content);
    column->setMaximumWidth(640);
    outer->addWidget(column, 1, Qt::AlignTop);
    outer->addStretch(0);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);

    const ColorScheme scheme = m_appearance.scheme();
    if (!m_model->hasItem()) {
        replaceContent(content);
        return;
    }

    // Header.
    auto *header = new QHBoxLayout;
    header->setSpacing(12);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(10);
    auto *word = new WordTitle(m_model->word(), Brand::title(points(36)), column);
    word->setObjectName(QStringLiteral("wordTitle"));
    titleRow->addWidget(word, 0);
    auto *hear = new QToolButton(column);
    hear->setObjectName(QStringLiteral("wordHear"));
    hear->setIcon(Symbols::icon(QStringLiteral("speaker.wave.2.fill")));
    hear->setIconSize(QSize(18, 18));
    hear->setAutoRaise(true);
    hear->setToolTip(m_model->hearHelp());
    hear->setEnabled(m_model->canHear());
    hear->setAccessibleName(m_model->hearLabel());
    connect(hear, &QToolButton::clicked, m_model, &WordDetailModel::hear);
    titleRow->addWidget(hear, 0, Qt::AlignVCenter);
    titleRow->addStretch(1);
    titles->addLayout(titleRow);
    auto *subtitle = selectable(WordsStyle::plainLabel(m_model->subtitle(), column));
    subtitle->setObjectName(QStringLiteral("wordSubtitle"));
    subtitle->setFont(WordsStyle::callout(font()));
    WordsStyle::makeSecondary(subtitle, scheme);
    titles->addWidget(subtitle);
    header->addLayout(titles, 1);
    auto *toggle = button(QStringLiteral("wordSaveToggle"), m_model->saveToggleText(),
                          m_model->isSaved() ? QStringLiteral("bookmark.fill") : QStringLiteral("bookmark"), column);
    toggle->setToolTip(m_model->saveToggleHelp());
    connect(toggle, &QPushButton::clicked, m_model, &WordDetailModel::toggleSaved);
    header->addWidget(toggle, 0, Qt::AlignTop);
    layout->addLayout(header);

    // Meanings.
    if (const auto senses = m_model->senses(); !senses.empty()) {
        auto *meanings = new QVBoxLayout;
        meanings->setSpacing(8);
        for (std::size_t i = 0; i < senses.size(); ++i) {
            const WordSense &sense = senses[i];
            auto *entry = new QVBoxLayout;
            entry->setSpacing(6);
            auto *meaning = selectable(WordsStyle::plainLabel(sense.meaning, column));
            meaning->setObjectName(QStringLiteral("wordMeaning%1").arg(i));
            meaning->setFont(WordsStyle::sized(font(), points(i == 0 ? 26 : 18), QFont::Medium));
            entry->addWidget(meaning);
            if (sense.grammarTag) {
                auto *tagRow = new QHBoxLayout;
                tagRow->setSpacing(8);
                tagRow->addWidget(new WordTag(*sense.grammarTag, m_appearance, column));
                if (sense.grammarText) {
                    auto *note = WordsStyle::plainLabel(*sense.grammarText, column);
                    note->setFont(WordsStyle::callout(font()));
                    wrapping(note);
                    WordsStyle::makeSecondary(note, scheme);
                    tagRow->addWidget(note, 1);
                } else {
                    tagRow->addStretch(1);
                }
                entry->addLayout(tagRow);
            }
            meanings->addLayout(entry);
        }
        layout->addLayout(meanings);
    }

    // Where the word was met.
    if (const auto encounter = m_model->lastEncounter()) {
        auto *where = new QVBoxLayout;
        where->setSpacing(8);
        where->addWidget(sectionLabel(QStringLiteral("Where you met it"), scheme, column));
        where->addWidget(new EncounterCard(*encounter, scheme, column));
        layout->addLayout(where);
    }
    if (const auto earlier = m_model->alsoMet(); !earlier.empty()) {
        auto *also = new QVBoxLayout;
        also->setSpacing(0);
        also->addWidget(sectionLabel(QStringLiteral("Also met in"), scheme, column));
        also->addSpacing(4);
        for (const auto &row : earlier)
            also->addWidget(new AlsoMetRow(row, scheme, column));
        layout->addLayout(also);
    }

    // Statistics.
    auto *statistics = new QHBoxLayout;
    statistics->setSpacing(18);
    for (const QString &piece : m_model->statistics()) {
        auto *label = WordsStyle::richLabel(piece, column);
        label->setObjectName(QStringLiteral("wordStatistic"));
        label->setFont(WordsStyle::callout(font()));
        WordsStyle::makeSecondary(label, scheme);
        statistics->addWidget(label);
    }
    statistics->addStretch(1);
    layout->addLayout(statistics);

    // Actions.
    auto *actions = new QHBoxLayout;
    actions->setContentsMargins(0, 4, 0, 0);
    actions->setSpacing(8);
    auto *primary = button(QStringLiteral("wordPrimaryAction"), m_model->primaryActionText(), QString(), column);
    primary->setDefault(true);
    primary->setEnabled(m_model->primaryActionEnabled());
    connect(primary, &QPushButton::clicked, m_model, &WordDetailModel::performPrimaryAction);
    actions->addWidget(primary);
    auto *copy = button(QStringLiteral("wordCopy"), QStringLiteral("Copy"), QStringLiteral("doc.on.doc"), column);
    connect(copy, &QPushButton::clicked, m_model, &WordDetailModel::copy);
    actions->addWidget(copy);
    if (m_model->canRemove()) {
        auto *remove = button(QStringLiteral("wordRemove"), QStringLiteral("Remove"), QStringLiteral("trash"), column);
        connect(remove, &QPushButton::clicked, m_model, &WordDetailModel::requestRemove);
        actions->addWidget(remove);
    }
    actions->addStretch(1);
    layout->addLayout(actions);
    layout->addStretch(1);

    replaceContent(content);
}

void WordDetailView::replaceContent(QWidget *content)
{
    // The old content goes later: a rebuild often runs inside one of its buttons' clicked signals.
    if (QWidget *old = takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    setWidget(content);
    // The column never scrolls across: it is as wide as the widest row of what it shows (the
    // actions of a saved word), with the scroll bar beside it, and the window's other columns give
    // way. Narrower, the scroll bar would cover the right edge of the buttons and the card.
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
    setMinimumWidth(std::max(minimumColumnWidth, content->minimumSizeHint().width() + scrollBar + 2 * frameWidth()));
}

void WordDetailView::confirmRemoval()
{
    if (m_confirmation)
        return;
    // The question is the message; the title bar gets a short name of its own, which a window
    // manager does not cut.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Remove Word"), m_model->removeTitle(),
                                QMessageBox::NoButton, window());
    box->setObjectName(QStringLiteral("wordRemoveConfirmation"));
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(m_model->removeMessage());
    QPushButton *remove = box->addButton(QStringLiteral("Remove"), QMessageBox::DestructiveRole);
    remove->setObjectName(QStringLiteral("wordRemoveConfirm"));
    QPushButton *cancel = box->addButton(QMessageBox::Cancel);
    cancel->setObjectName(QStringLiteral("wordRemoveCancel"));
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    m_confirmation = box;
    connect(box, &QMessageBox::finished, this, [this, box, remove] {
        const bool confirmed = box->clickedButton() == remove;
        m_confirmation = nullptr;
        if (confirmed)
            m_model->confirmRemove();
    });
    box->open();
}

} // namespace Lumivox
