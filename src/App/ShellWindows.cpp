#include "App/ShellWindows.h"

#include "Features/Shell/NoticeTexts.h"
#include "Features/Shell/Views/NoticeDialog.h"

#include <QLoggingCategory>

namespace Lumivox::App {

namespace {
Q_LOGGING_CATEGORY(lcApp, "app.lumivox.App")
}

void ShellWindows::showPermissionHelp(Permission permission)
{
    const NoticeTexts::Notice help =
        NoticeTexts::permissionHelp(permission, qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    qCInfo(lcApp).noquote() << help.title;
    NoticeDialog::present(help);
}

void ShellWindows::showReportNotice(const DiagnosticReport::Delivery &delivery)
{
    NoticeDialog::present(NoticeTexts::reportNotice(delivery));
}

} // namespace Lumivox::App
