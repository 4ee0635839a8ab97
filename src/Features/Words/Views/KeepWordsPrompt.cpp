#include "Features/Words/Views/KeepWordsPrompt.h"

#include "Features/Design/Brand.h"
#include "Features/Design/Styling.h"
#include "Features/Design/Symbols.h"
#include "Features/Words/Views/WordsStyle.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace Lumivox {

namespace {

using WordsStyle::points;

// The box of the three facts, on a faint rounded fill.
class FactsBox final : public QWidget
{
public:
    explicit FactsBox(const Appearance &appearance)
        : m_appearance(appearance)
    { }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        QColor fill = Brand::primaryText().resolved(m_appearance.scheme());
        fill.setAlphaF(0.05);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()), 10, 10);
    }

private:
    const Appearance &m_appearance;
};

} // namespace

QString KeepWordsPrompt::explanation()
{
    return QStringLiteral("Lumivox can keep each word you point at with its meaning and the sentence you met it in, so "
                          "you can find it again and review it.");
}

QString KeepWordsPrompt::saveLine(const TooltipKeyLabels &keys)
{
    QString line = QStringLiteral("Press ") + keyCapText(keys.save);
    if (keys.hold)
        line += QStringLiteral(" while holding ") + keyCapText(*keys.hold);
    return line + QStringLiteral(" to save a word for review.");
}

KeepWordsPrompt::KeepWordsPrompt(const TooltipKeyLabels &keys, std::function<void(bool)> answer,
                                 const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_answer(std::move(answer))
{
    setObjectName(QStringLiteral("keepWords"));
    setFixedWidth(width);
    windowBackground(this);
    const ColorScheme scheme = appearance.scheme();
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(24, 26, 24, 20);
    column->setSpacing(10);
    column->setSizeConstraint(QLayout::SetFixedSize);

    auto *icon = new QLabel;
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(QApplication::windowIcon().pixmap(QSize(64, 64), devicePixelRatioF()));
    icon->setAccessibleName(QString());
    // A program started without its icon installed shows the question without it.
    icon->setVisible(!QApplication::windowIcon().isNull());
    column->addWidget(icon);

    QLabel *heading = WordsStyle::plainLabel(title());
    heading->setObjectName(QStringLiteral("keepWords.title"));
    heading->setFont(WordsStyle::sized(font(), points(15), QFont::Bold));
    heading->setAlignment(Qt::AlignCenter);
    heading->setContentsMargins(0, 2, 0, 0);
    column->addWidget(heading);

    QLabel *text = WordsStyle::plainLabel(explanation());
    text->setObjectName(QStringLiteral("keepWords.explanation"));
    text->setFont(WordsStyle::callout(font()));
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    text->setFixedWidth(width - 48);
    column->addWidget(text);

    auto *facts = new FactsBox(appearance);
    facts->setFixedWidth(width - 48);
    auto *rows = new QVBoxLayout(facts);
    rows->setContentsMargins(12, 12, 12, 12);
    rows->setSpacing(7);
    const std::pair<const char *, QString> lines[] = {
        {"lock.fill", QStringLiteral("Stays on this computer. Never uploaded.")},
        {"bookmark", saveLine(keys)},
        {"trash", QStringLiteral("Change it or clear it any time in Settings › Words.")},
    };
    for (const auto &[symbol, line] : lines) {
        auto *row = new QHBoxLayout;
        row->setSpacing(8);
        auto *glyph = new QLabel;
        glyph->setFixedWidth(16);
        glyph->setPixmap(Symbols::pixmap(QString::fromLatin1(symbol), 14, Brand::secondaryText().resolved(scheme),
                                         devicePixelRatioF()));
        QLabel *label = WordsStyle::plainLabel(line);
        label->setObjectName(QStringLiteral("keepWords.") + QString::fromLatin1(symbol));
        label->setFont(WordsStyle::callout(font()));
        label->setWordWrap(true);
        row->addWidget(glyph, 0, Qt::AlignTop);
        row->addWidget(label, 1);
        rows->addLayout(row);
    }
    column->addWidget(facts);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 6, 0, 0);
    buttons->setSpacing(8);
    auto *notNow = new QPushButton(QStringLiteral("Not Now"));
    notNow->setObjectName(QStringLiteral("keepWords.notNow"));
    auto *keep = new QPushButton(QStringLiteral("Keep Words"));
    keep->setObjectName(QStringLiteral("keepWords.keep"));
    keep->setDefault(true);
    for (QPushButton *button : {notNow, keep}) {
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setMinimumHeight(30);
        buttons->addWidget(button);
    }
    column->addLayout(buttons);

    const auto reply = [this](bool keeps) {
        if (m_answer)
            m_answer(keeps);
    };
    connect(notNow, &QPushButton::clicked, this, [reply] { reply(false); });
    connect(keep, &QPushButton::clicked, this, [reply] { reply(true); });
    // Return keeps, Escape declines, wherever the focus is in the prompt.
    for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter)})
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, [reply] { reply(true); });
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [reply] { reply(false); });
}

} // namespace Lumivox
