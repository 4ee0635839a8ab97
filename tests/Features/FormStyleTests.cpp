// The program's style draws each form control so that it can be told from the surface it sits on,
// in a light and in a dark scheme: outlines that show, a scroll bar whose handle stands out of its
// trough, pop-up buttons in the scheme's own colours. Measured on the pixels the style draws.

#include "Features/Design/FormStyle.h"
#include "Screenshots/Shooter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace Lumivox;

namespace {

int distance(const QColor &a, const QColor &b)
{
    return std::abs(a.lightness() - b.lightness());
}

// How many pixels of the widget's drawing stand out of `surface` by at least `by` in lightness.
int standingOut(QWidget &widget, const QColor &surface, int by = 40)
{
    const QImage image = widget.grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (distance(image.pixelColor(x, y), surface) >= by)
                ++count;
        }
    }
    return count;
}

// How far the widget's left edge, half-way down, stands out of `surface`: its outline.
int edgeStandingOut(QWidget &widget, const QColor &surface)
{
    const QImage image = widget.grab().toImage();
    int most = 0;
    for (int x = 0; x < 3; ++x)
        most = std::max(most, distance(image.pixelColor(x, image.height() / 2), surface));
    return most;
}

struct ScrollBar : QScrollBar
{
    using QScrollBar::initStyleOption;
    using QScrollBar::QScrollBar;
};

} // namespace

TEST(FormStyle, EveryControlShowsOnItsSurfaceInBothSchemes)
{
    ASSERT_TRUE(qobject_cast<FormStyle *>(QApplication::style())) << "the tests draw in the program's style";
    struct Control
    {
        const char *name;
        std::function<std::unique_ptr<QWidget>()> make;
        QSize size;
        int outlinePixels; // at least this many stand out of the window colour: its outline
    };
    const std::vector<Control> controls {
        {"an unchecked check box", [] { return std::make_unique<QCheckBox>(); }, {20, 20}, 30},
        {"an unchecked radio button", [] { return std::make_unique<QRadioButton>(); }, {20, 20}, 24},
        {"an empty text field", [] { return std::make_unique<QLineEdit>(); }, {200, 28}, 300},
        {"an empty progress bar",
         [] {
             auto bar = std::make_unique<QProgressBar>();
             bar->setRange(0, 4);
             bar->setValue(0);
             bar->setTextVisible(false);
             return bar;
         },
         {200, 6},
         300},
    };
    for (const auto &[scheme, palette] :
         {std::pair {"light", QApplication::style()->standardPalette()}, std::pair {"dark", Testing::darkPalette()}}) {
        SCOPED_TRACE(scheme);
        const QColor window = palette.color(QPalette::Window);
        for (const Control &control : controls) {
            SCOPED_TRACE(control.name);
            const auto widget = control.make();
            widget->setPalette(palette);
            widget->resize(control.size);
            EXPECT_GE(standingOut(*widget, window), control.outlinePixels);
        }

        // A pop-up button wears the scheme's button colour, never a light face on a dark surface.
        QComboBox combo;
        combo.addItems({QStringLiteral("Spanish"), QStringLiteral("French")});
        combo.setPalette(palette);
        combo.resize(160, 28);
        const QImage face = combo.grab().toImage();
        EXPECT_LT(distance(face.pixelColor(face.width() * 2 / 3, face.height() / 2), palette.color(QPalette::Button)),
                  30);
        EXPECT_GE(standingOut(combo, window), 300) << "its outline";
        // Fusion's own outline is the window colour darkened, which a dark window swallows.
        EXPECT_GE(edgeStandingOut(combo, window), 65) << "the pop-up button's outline";
        QSpinBox spin;
        spin.setPalette(palette);
        spin.resize(80, 28);
        EXPECT_GE(edgeStandingOut(spin, window), 65) << "the number field's outline";

        // The scroll bar's handle stands out of the trough more than the trough out of the field.
        QScrollBar bar(Qt::Vertical);
        bar.setRange(0, 100);
        bar.setPageStep(20);
        bar.setValue(0);
        bar.setPalette(palette);
        bar.resize(bar.sizeHint().width(), 200);
        const QImage image = bar.grab().toImage();
        const QColor base = palette.color(QPalette::Base);
        const QColor handle = image.pixelColor(image.width() / 2, 12);
        const QColor trough = image.pixelColor(image.width() / 2, 160);
        EXPECT_GE(distance(handle, base), distance(trough, base) + 60)
            << "handle " << handle.name().toStdString() << ", trough " << trough.name().toStdString();
    }
}

TEST(FormStyle, TheTroughPagesTowardsTheClickLongChoiceListsScrollAndTheRestIsFusion)
{
    QStyle *style = QApplication::style();
    // A click in the trough pages towards it, whichever way the bar lies; on the handle it drags.
    for (const Qt::Orientation orientation : {Qt::Vertical, Qt::Horizontal}) {
        SCOPED_TRACE(orientation == Qt::Vertical ? "vertical" : "horizontal");
        ScrollBar bar(orientation);
        bar.setRange(0, 100);
        bar.setPageStep(20);
        bar.setValue(50);
        bar.resize(orientation == Qt::Vertical ? QSize(12, 200) : QSize(200, 12));
        QStyleOptionSlider option;
        bar.initStyleOption(&option);
        const QRect handle = style->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, &bar);
        ASSERT_FALSE(handle.isEmpty());
        const auto along = [&](int at) { return orientation == Qt::Vertical ? QPoint(6, at) : QPoint(at, 6); };
        const int first = orientation == Qt::Vertical ? handle.top() : handle.left();
        const int last = orientation == Qt::Vertical ? handle.bottom() : handle.right();
        const std::vector<std::pair<int, QStyle::SubControl>> clicks {
            {2, QStyle::SC_ScrollBarSubPage},        {first - 1, QStyle::SC_ScrollBarSubPage},
            {first, QStyle::SC_ScrollBarSlider},     {last, QStyle::SC_ScrollBarSlider},
            {last + 1, QStyle::SC_ScrollBarAddPage}, {197, QStyle::SC_ScrollBarAddPage},
        };
        for (const auto &[at, expected] : clicks)
            EXPECT_EQ(style->hitTestComplexControl(QStyle::CC_ScrollBar, &option, along(at), &bar), expected) << at;
    }

    // Nothing to scroll: no handle, only the trough, barely off the field's colour.
    QScrollBar still(Qt::Vertical);
    still.setRange(0, 0);
    still.resize(12, 200);
    const QImage image = still.grab().toImage();
    EXPECT_LT(distance(image.pixelColor(6, 100), still.palette().color(QPalette::Base)), 12);

    // A pop-up button opens a menu of a handful of choices, and a scrolling list of more than it shows.
    for (const auto &[count, menu] : {std::pair {3, true}, std::pair {10, true}, std::pair {30, false}}) {
        QComboBox combo;
        combo.setMaxVisibleItems(10);
        for (int i = 0; i < count; ++i)
            combo.addItem(QString::number(i));
        QStyleOptionComboBox option;
        option.initFrom(&combo);
        EXPECT_EQ(style->styleHint(QStyle::SH_ComboBox_Popup, &option, &combo) != 0, menu) << count << " choices";
    }

    // What the style has no rule for is drawn as Fusion draws it.
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    const std::vector<std::pair<const char *, std::function<std::unique_ptr<QWidget>()>>> untouched {
        {"a group box", [] { return std::make_unique<QGroupBox>(QStringLiteral("Startup")); }},
        {"a tab widget's frame",
         [] {
             auto tabs = std::make_unique<QTabWidget>();
             tabs->addTab(new QWidget, QStringLiteral("General"));
             return tabs;
         }},
        {"a sunken panel",
         [] {
             auto frame = std::make_unique<QFrame>();
             frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
             return frame;
         }},
    };
    for (const auto &[name, make] : untouched) {
        const auto ours = make();
        const auto plain = make();
        plain->setStyle(fusion.get());
        for (QWidget *widget : {ours.get(), plain.get()}) {
            widget->setPalette(Testing::darkPalette());
            widget->resize(160, 80);
        }
        EXPECT_EQ(ours->grab().toImage(), plain->grab().toImage()) << name;
    }
}
