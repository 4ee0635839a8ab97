// The program's style draws each form control so that it can be told from the surface it sits on,
// in a light and in a dark scheme: outlines that show, a scroll bar whose handle stands out of its
// trough, pop-up buttons in the scheme's own colours. Measured on the pixels the style draws.

#include "Features/Design/FormStyle.h"
#include "Screenshots/Shooter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>

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
