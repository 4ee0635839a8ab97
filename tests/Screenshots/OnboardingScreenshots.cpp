// Renders the first-run guide, light and dark: each of its four steps to onboarding-<n>[-dark].png
// and the demonstration's frames, caught halfway through their movement and at rest, to
// onboarding-demo-<frame>[-dark].png.

#include "Fakes/FakeCoordinator.h"
#include "Fakes/FakeMotionPreference.h"
#include "Features/Design/AppIcon.h"
#include "Features/Design/FormStyle.h"
#include "Features/Onboarding/Views/OnboardingDemos.h"
#include "Features/Onboarding/Views/OnboardingWindow.h"
#include "Features/Settings/Views/SettingsStyle.h"
#include "Support/TestSupport.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

bool save(QWidget &widget, const QString &name, bool dark)
{
    const QString file = QDir(qEnvironmentVariable("LUMIVOX_SCREENSHOTS_DIR", QStringLiteral(".")))
                             .filePath(QStringLiteral("onboarding-%1%2.png").arg(name, dark ? "-dark" : ""));
    const bool ok = widget.grab().save(file);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(file));
    return ok;
}

void settle(std::chrono::milliseconds time)
{
    spinUntil([] { return false; }, time);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FormStyle::install();
    // What the language pairs the project installs translate into, as the program finds at start.
    LanguageCatalog::setOnDevicePairs(installedPairs());
    QApplication::setWindowIcon(AppIcon::icon());
    bool ok = true;
    for (bool dark : {false, true}) {
        CoordinatorOverFakes scene;
        scene.grant(true, false);
        // Without a portal the palette decides the scheme: the windows' own dark palette.
        if (dark)
            QApplication::setPalette(Appearance::palette(ColorScheme::dark));
        Appearance appearance {std::nullopt};
        OnboardingWindow window(*scene.controller, std::make_shared<FakeMotionPreference>(), scene.clock, appearance);
        window.show();
        settle(300ms);
        // The demonstration: at rest, the key held, halfway through the pointer's spring, reading.
        HoverDemo &demo = *window.hoverDemo();
        ok = save(window, QStringLiteral("1"), dark) && ok;
        scene.clock->advance(1100ms);
        settle(300ms);
        ok = save(demo, QStringLiteral("demo-holding"), dark) && ok;
        scene.clock->advance(900ms);
        settle(120ms);
        ok = save(demo, QStringLiteral("demo-pointing-midway"), dark) && ok;
        scene.clock->advance(900ms);
        settle(800ms);
        ok = save(window, QStringLiteral("1-reading"), dark) && ok;
        scene.clock->advance(1600ms);
        settle(800ms);
        ok = save(demo, QStringLiteral("demo-released"), dark) && ok;
        for (int step = 1; step < 4; ++step) {
            window.model()->go(step);
            settle(400ms);
            ok = save(window, QString::number(step + 1), dark) && ok;
        }
        window.model()->go(1);
        scene.controller->setSkipNonWords(false);
        settle(400ms);
        ok = save(window, QStringLiteral("2-unfiltered"), dark) && ok;
        window.close();
    }
    return ok ? 0 : 1;
}
