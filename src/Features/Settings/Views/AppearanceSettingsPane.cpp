#include "Features/Settings/Views/AppearanceSettingsPane.h"

#include "Features/Design/Styling.h"
#include "Features/Overlay/Views/OverlayTooltip.h"
#include "Features/Settings/Views/SettingsStyle.h"
#include "Features/Settings/Views/SettingsWidgets.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace Lumivox {

AppearanceSettingsPane::AppearanceSettingsPane(HoverTextController &controller, const Appearance &appearance,
                                               QWidget *parent)
    : QWidget(parent)
    , m_appearance(appearance)
    , m_model(new AppearanceSettingsModel(controller, this))
    , m_preview(new OverlayTooltip)
    , m_fonts(new QComboBox)
    , m_fontSubtitle(nullptr)
    , m_size(new QSlider(Qt::Horizontal))
    , m_sizeLabel(plainLabel({}))
{
    setObjectName(QStringLiteral("appearance"));
    windowBackground(this);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(18);

    // The preview: the tooltip's arrow overlaps the sentence by 8 points, pointing at the word.
    auto *previewCard = new SettingsCard(appearance);
    auto *stage = new QWidget;
    stage->setMinimumHeight(130);
    m_stage = stage;
    auto *stack = new QVBoxLayout(stage);
    stack->setSpacing(-8);
    stack->setAlignment(Qt::AlignCenter);
    m_preview->setParent(stage);
    stack->addWidget(m_preview, 0, Qt::AlignHCenter);
    auto *sentence = new QHBoxLayout;
    sentence->setSpacing(0);
    QFont title3;
    title3.setPointSizeF(title3.pointSizeF() > 0 ? title3.pointSizeF() * 1.45 : 15);
    for (QLabel **part : {&m_sentenceBefore, &m_sentenceWord, &m_sentenceAfter}) {
        *part = plainLabel({}, stage);
        (*part)->setFont(title3);
        sentence->addWidget(*part);
    }
    hoveredWord(m_sentenceWord, true, appearance);
    stack->addLayout(sentence);
    stack->setAlignment(sentence, Qt::AlignHCenter);
    previewCard->addWidget(stage);
    column->addWidget(formSection({}, previewCard));

    // Tooltip
    auto *tooltip = new SettingsCard(appearance);
    m_fonts->setObjectName(QStringLiteral("appearance.font"));
    m_fonts->setMaximumWidth(220);
    SettingsRow *fontRow = tooltip->addRow(QStringLiteral("Font"), QStringLiteral(" "), m_fonts);
    m_fontSubtitle = fontRow->detail();
    connect(m_fonts, &QComboBox::activated, m_model,
            [this](int index) { m_model->chooseFont(m_fonts->itemText(index)); });

    auto *sizeRow = new QWidget;
    auto *sizes = new QHBoxLayout(sizeRow);
    sizes->setContentsMargins(0, 0, 0, 0);
    sizes->setSpacing(10);
    QLabel *small = plainLabel(QStringLiteral("A"));
    small->setFont(captionFont());
    QLabel *large = plainLabel(QStringLiteral("A"));
    large->setFont(title3);
    m_size->setObjectName(QStringLiteral("appearance.size"));
    m_size->setAccessibleName(QStringLiteral("Size"));
    m_size->setRange(int(AppearanceSettingsModel::minimumSize * sliderScale),
                     int(AppearanceSettingsModel::maximumSize * sliderScale));
    m_size->setFixedWidth(220);
    m_sizeLabel->setObjectName(QStringLiteral("appearance.sizeLabel"));
    m_sizeLabel->setFixedWidth(44);
    m_sizeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    tone(m_sizeLabel, Brand::secondaryText(), appearance);
    sizes->addWidget(small);
    sizes->addWidget(m_size);
    sizes->addWidget(large);
    sizes->addWidget(m_sizeLabel);
    tooltip->addRow(QStringLiteral("Size"), {}, sizeRow);
    connect(m_size, &QSlider::valueChanged, m_model,
            [this](int value) { m_model->setSliderValue(double(value) / sliderScale); });
    column->addWidget(formSection(QStringLiteral("Tooltip"), tooltip));
    column->addStretch(1);

    connect(m_model, &AppearanceSettingsModel::changed, this, &AppearanceSettingsPane::showValues);
    connect(&appearance, &Appearance::isDarkChanged, this, &AppearanceSettingsPane::showValues);
    showValues();
}

void AppearanceSettingsPane::showValues()
{
    m_preview->setColorScheme(m_appearance.scheme());
    m_preview->setContent(m_model->preview(), ArrowEdge::bottom);
    const AppearanceSettingsModel::PreviewSentence sentence = m_model->previewSentence();
    m_sentenceBefore->setText(sentence.before);
    m_sentenceWord->setText(sentence.word);
    m_sentenceAfter->setText(sentence.after);
    m_stage->setAccessibleName(m_model->previewDescription());
    {
        const QSignalBlocker quiet(m_fonts);
        const QStringList fonts = m_model->fonts();
        QStringList shown;
        for (int i = 0; i < m_fonts->count(); ++i)
            shown.append(m_fonts->itemText(i));
        if (shown != fonts) {
            m_fonts->clear();
            m_fonts->addItems(fonts);
        }
        m_fonts->setCurrentIndex(fonts.indexOf(m_model->selectedFont()));
    }
    m_fontSubtitle->setText(m_model->fontSubtitle());
    {
        const QSignalBlocker quiet(m_size);
        const double size = m_model->fontSize();
        if (std::isfinite(size))
            m_size->setValue(int(std::lround(size * sliderScale)));
    }
    m_sizeLabel->setText(m_model->sizeLabel());
}

} // namespace Lumivox
