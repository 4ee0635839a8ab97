// The colour scheme against the real settings portal of the private session: switching the
// desktop's preference recolours an open surface without the view being asked to repaint.

#include "Features/Design/Appearance.h"
#include "Features/Design/Brand.h"
#include "Features/Design/Styling.h"
#include "Support/DesktopScheme.h"
#include "Support/TestSupport.h"

#include <QDBusMessage>
#include <QEvent>
#include <QLabel>

#include <gtest/gtest.h>

using namespace Lumivox;

namespace {

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

TEST(BrandSession, TheDesktopsSchemeRecoloursAnOpenSurface)
{
    // Start the portal (by activation) and make sure it answers before relying on it.
    const QDBusMessage reply = Testing::askPortalForScheme();
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << "the settings portal did not start: " << reply.errorMessage().toStdString();

    Appearance &appearance = Appearance::shared();
    ASSERT_FALSE(appearance.isDark()) << "the session starts without a dark preference";

    QLabel surface(QStringLiteral("preview"));
    surface.resize(160, 60);
    previewSurface(&surface, appearance);
    surface.show();
    PaintCounter counter;
    surface.installEventFilter(&counter);
    ASSERT_TRUE(Testing::spinUntil([&] { return counter.paints > 0; }));

    // Counted when the change is announced: the repaint it asks for comes later.
    int paintsAtSwitch = -1;
    QObject::connect(&appearance, &Appearance::isDarkChanged, &surface, [&] { paintsAtSwitch = counter.paints; });
    ASSERT_TRUE(Testing::setDesktopScheme("prefer-dark"));
    ASSERT_TRUE(Testing::spinUntil([&] { return appearance.isDark(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(Testing::spinUntil([&] { return counter.paints > paintsAtSwitch; }))
        << "the open surface was not repainted";
    EXPECT_EQ(QColor(surface.grab().toImage().pixel(0, 30)), Brand::rule().resolved(ColorScheme::dark));

    ASSERT_TRUE(Testing::setDesktopScheme("default"));
    EXPECT_TRUE(Testing::spinUntil([&] { return !appearance.isDark(); }, std::chrono::seconds(10)));
}
