// Renders the notices, light and dark, to notice-<name>[-dark].png: the accessibility help (GNOME),
// the screen-capture help, and what became of a report that mail links would have sent to a web
// browser.

#include "Features/Design/AppIcon.h"
#include "Features/Design/FormStyle.h"
#include "Features/Shell/NoticeTexts.h"
#include "Features/Shell/Views/NoticeDialog.h"
#include "Screenshots/Shooter.h"

#include <QApplication>

using namespace Lumivox;
using namespace Lumivox::Testing;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FormStyle::install();
    QApplication::setWindowIcon(AppIcon::icon());
    Shooter shooter(qEnvironmentVariable("LUMIVOX_SCREENSHOTS_DIR", QStringLiteral(".")), QStringLiteral("notice-"));
    const std::pair<const char *, NoticeTexts::Notice> notices[] = {
        {"accessibility",
         NoticeTexts::permissionHelp(CoordinatorWindows::Permission::accessibility, QStringLiteral("GNOME"))},
        {"screen-capture", NoticeTexts::permissionHelp(CoordinatorWindows::Permission::screenRecording, QString())},
        {"report",
         NoticeTexts::reportNotice({DiagnosticReport::Delivery::Route::webBrowser,
                                    QDir::homePath()
                                        + QStringLiteral("/.local/share/Lumivox/Reports/"
                                                         "Lumivox-diagnostic-report-2025-03-09-141502.txt"),
                                    true, true})},
    };
    for (bool dark : {false, true}) {
        shooter.setDark(dark);
        for (const auto &[name, notice] : notices) {
            NoticeDialog dialog(notice);
            shooter.shoot(&dialog, QString::fromLatin1(name));
        }
    }
    return shooter.ok() ? 0 : 1;
}
