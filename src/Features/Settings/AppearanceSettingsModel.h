#pragma once

// The Appearance pane: the tooltip font of the current target language, the one tooltip size for
// all languages, and what the live preview draws. Every value is the coordinator's; the model only
// shapes it for the pane and notifies when any of it changes.

#include "Features/Coordinator/HoverTextController.h"
#include "Features/Overlay/TooltipContent.h"

#include <QObject>
#include <QStringList>

namespace Lumivox {

class AppearanceSettingsModel final : public QObject
{
    Q_OBJECT

public:
    static constexpr double minimumSize = 12;
    static constexpr double maximumSize = 32;

    explicit AppearanceSettingsModel(HoverTextController &controller, QObject *parent = nullptr);

    QStringList fonts() const { return m_controller.availableFontsForCurrentLanguage(); }
    QString selectedFont() const { return m_controller.font(m_controller.targetLanguage()); }
    /// Stores the font for the current target language only.
    void chooseFont(const QString &name);
    QString fontSubtitle() const;

    double fontSize() const { return m_controller.fontSize(); }
    /// The slider moved: the size is stored as a whole number of points.
    void setSliderValue(double points);
    /// The whole points of the size, the fraction dropped.
    QString sizeLabel() const;

    /// The sentence under the preview, the pointed-at word apart: English, or French when the
    /// target language is English, so that the tooltip above it is always a translation.
    struct PreviewSentence
    {
        QString before;
        QString word;
        QString after;
        bool operator==(const PreviewSentence &) const = default;
    };
    PreviewSentence previewSentence() const;
    /// The real tooltip with the word's translation into the target language ("hello" in its
    /// script), in that language's font and the current size.
    TooltipContent preview() const;
    QString previewDescription() const;

signals:
    /// Any value the pane shows may have changed.
    void changed();

private:
    HoverTextController &m_controller;
};

} // namespace Lumivox
