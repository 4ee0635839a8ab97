#pragma once

// The small pictures of the first-run guide, each drawn from its inputs alone: the looping
// hold-and-point demonstration over a French word, the word filter's example sentence with its
// legend, a drawn key, and the step dots of the footer. The tooltips in them are the real tooltip
// view, painted from a cached image so that a frame costs a blit. Main thread.

#include "Features/Design/Appearance.h"
#include "Features/Onboarding/DemoPhase.h"

#include <QPixmap>
#include <QStaticText>
#include <QWidget>

#include <memory>
#include <optional>

class QVariantAnimation;

namespace Lumivox {

class TooltipLayout;

/// A key cap: the key's name on a rounded face with a lower edge; a pressed key loses its edge and
/// sinks by its height.
class Keycap final : public QWidget
{
    Q_OBJECT
public:
    Keycap(const QString &symbol, const Appearance &appearance, QWidget *parent = nullptr);

    void setPressed(bool pressed);
    bool isPressed() const { return m_pressed; }
    QString symbol() const { return m_symbol; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    const Appearance &m_appearance;
    bool m_pressed = false;
};

/// One capsule per step: the current one wide and in the accent colour.
class PageDots final : public QWidget
{
    Q_OBJECT
public:
    PageDots(int count, const Appearance &appearance, QWidget *parent = nullptr);

    /// Animated unless `animated` is false.
    void setCurrent(int current, bool animated = true);
    int current() const { return m_current; }
    int count() const { return m_count; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_count;
    int m_current = 0;
    int m_previous = 0;
    const Appearance &m_appearance;
    QVariantAnimation *m_move;
};

/// The real tooltip's drawing with a plain text, as an image for the scheme it was drawn in. No
/// window of its own: a widget made only to be painted from would be a top-level window of the
/// program, which every "bring the windows forward" would show.
class TooltipPicture
{
public:
    TooltipPicture(const QString &text, double fontSize);
    ~TooltipPicture();
    /// Drawn again only when the scheme or the pixel ratio changed.
    const QPixmap &image(ColorScheme scheme, qreal devicePixelRatio);
    /// Where the arrow's tip is in the image, in logical pixels.
    QPointF arrowTip() const;

private:
    std::unique_ptr<TooltipLayout> m_layout;
    QPixmap m_image;
    std::optional<ColorScheme> m_scheme;
};

/// "Le café est prêt.": the hold key goes down, the pointer springs onto "café", the word lights up
/// and its tooltip rises into view, the key comes up and the tooltip fades.
class HoverDemo final : public QWidget
{
    Q_OBJECT
public:
    explicit HoverDemo(const Appearance &appearance, QWidget *parent = nullptr);
    ~HoverDemo() override;

    /// Moves to the frame, easing into it unless `animated` is false.
    void setPhase(DemoPhase phase, bool animated = true);
    DemoPhase phase() const { return m_phase; }
    bool isAnimating() const;
    Keycap *keycap() const { return m_key; }
    QSize sizeHint() const override { return {468, 200}; }

    /// The picture's state between two frames, each part 0…1.
    struct Pose
    {
        double highlight = 0;
        double translation = 0;
        double pointer = 0;
    };
    Pose pose() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeKey();
    void layoutScene(const QRectF &inner);

    struct Scene
    {
        double width = -1;
        QFont font;
        QFont captionFont;
        QStaticText before;
        QStaticText word;
        QStaticText after;
        QStaticText held;
        QRectF wordBox;
    };

    const Appearance &m_appearance;
    Scene m_scene;
    DemoPhase m_phase = DemoPhase::idle;
    Pose m_from;
    Pose m_to;
    QVariantAnimation *m_ease;
    QVariantAnimation *m_spring;
    Keycap *m_key;
    TooltipPicture m_tooltip;
};

/// "What a wonderful note from <name> about <code> on <link>": only "wonderful" gets a tooltip;
/// while filtering, the name, the code and the link are marked as ignored.
class WordFilterDemo final : public QWidget
{
    Q_OBJECT
public:
    explicit WordFilterDemo(const Appearance &appearance, QWidget *parent = nullptr);
    ~WordFilterDemo() override;

    void setFiltering(bool filtering);
    bool isFiltering() const { return m_filtering; }
    QSize sizeHint() const override { return {468, 146}; }

    static const QString personName;
    static const QString codeToken;
    static const QString linkToken;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const Appearance &m_appearance;
    bool m_filtering = true;
    TooltipPicture m_tooltip;
};

/// "Translated" and "Ignored" with their swatches.
class FilterLegend final : public QWidget
{
    Q_OBJECT
public:
    explicit FilterLegend(const Appearance &appearance, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const Appearance &m_appearance;
};

} // namespace Lumivox
