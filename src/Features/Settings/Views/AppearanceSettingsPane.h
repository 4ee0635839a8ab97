#pragma once

// The Appearance tab: the live preview (the real tooltip, in the target language, over a sample
// sentence), the font of the current target language and the tooltip size. Everything shown comes
// from AppearanceSettingsModel and follows the coordinator.

#include "Features/Design/Appearance.h"
#include "Features/Settings/AppearanceSettingsModel.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QSlider;

namespace Lumivox {

class OverlayTooltip;

class AppearanceSettingsPane final : public QWidget
{
    Q_OBJECT
public:
    /// The slider moves in tenths of a point, so a drag can land between whole sizes.
    static constexpr int sliderScale = 10;

    AppearanceSettingsPane(HoverTextController &controller, const Appearance &appearance, QWidget *parent = nullptr);

    AppearanceSettingsModel *model() const { return m_model; }
    OverlayTooltip *preview() const { return m_preview; }

private:
    void showValues();

    const Appearance &m_appearance;
    AppearanceSettingsModel *m_model;
    OverlayTooltip *m_preview;
    QWidget *m_stage = nullptr;
    QLabel *m_sentenceBefore = nullptr;
    QLabel *m_sentenceWord = nullptr;
    QLabel *m_sentenceAfter = nullptr;
    QComboBox *m_fonts;
    QLabel *m_fontSubtitle;
    QSlider *m_size;
    QLabel *m_sizeLabel;
};

} // namespace Lumivox
