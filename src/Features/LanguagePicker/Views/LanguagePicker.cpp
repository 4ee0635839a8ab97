#include "Features/LanguagePicker/Views/LanguagePicker.h"

#include "Features/LanguagePicker/LanguageOptions.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include <algorithm>

namespace Lumivox {

namespace {

// Section headers in the open menu: small, bold and muted, so they read as labels, not as choices.
class OptionDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(LanguageOptions::IsHeaderRole).toBool()) {
            option->font.setBold(true);
            if (option->font.pointSizeF() > 0)
                option->font.setPointSizeF(option->font.pointSizeF() * 0.85);
            else
                option->font.setPixelSize(std::max(1, int(option->font.pixelSize() * 0.85)));
            option->state &= ~(QStyle::State_Selected | QStyle::State_MouseOver);
        }
    }
};

} // namespace

LanguagePicker::LanguagePicker(const QString &title, QWidget *parent)
    : QWidget(parent)
    , m_options(new LanguageOptions(this))
    , m_title(new QLabel(title, this))
    , m_menu(new QComboBox(this))
{
    setObjectName(QStringLiteral("languageControl"));
    m_menu->setObjectName(QStringLiteral("languageControl.menu"));
    m_menu->setModel(m_options);
    m_menu->setItemDelegate(new OptionDelegate(m_menu));
    // A scrolling list of 20 rows rather than a menu of all 56, which would run past the screen and
    // open scrolled away from the "Popular" section (the program's style opens a list for a pop-up
    // with more choices than it shows).
    m_menu->setMaxVisibleItems(20);
    m_menu->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_menu->setAccessibleName(title);
    m_title->setTextFormat(Qt::PlainText);
    m_title->setBuddy(m_menu);
    m_title->setVisible(!title.isEmpty());

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_title);
    row->addStretch(1);
    row->addWidget(m_menu);

    connect(m_menu, &QComboBox::activated, this, [this](int row) {
        const QString code = m_options->index(row).data(LanguageOptions::CodeRole).toString();
        if (code.isEmpty() || code == m_selection)
            return;
        m_selection = code;
        emit selectionChanged(m_selection);
    });
    showSelection();
}

void LanguagePicker::setSelection(const QString &code)
{
    if (code == m_selection)
        return;
    m_selection = code;
    showSelection();
    emit selectionChanged(m_selection);
}

void LanguagePicker::showSelection()
{
    const QSignalBlocker blocker(m_menu);
    m_menu->setCurrentIndex(m_options->rowOf(m_selection));
}

} // namespace Lumivox
