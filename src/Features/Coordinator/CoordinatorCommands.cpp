// The coordinator's commands that the tray menu and the application shell call: opening the word
// windows, the keep-words question, copying, the problem report and the About page.

#include "Features/Coordinator/HoverTextController.h"
#include "Models/LanguageCatalog.h"
#include "Services/Words/WordBook.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Diagnostics/DiagnosticReport.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QSysInfo>

namespace Lumivox {

void HoverTextController::openWords()
{
    if (m_deps.hostingTests)
        return;
    const QPointer<HoverTextController> self(this);
    m_deps.windows->showWords(*m_deps.wordBook, [self](std::optional<QUuid> id) {
        if (self)
            self->openReview(id);
    });
}

void HoverTextController::openReview(std::optional<QUuid> only)
{
    if (m_deps.hostingTests)
        return;
    m_deps.windows->showReview(*m_deps.wordBook, only);
}

void HoverTextController::askAboutKeepingWords(double afterSeconds)
{
    if (m_deps.hostingTests || m_deps.wordBook->hasAskedAboutHistory())
        return;
    const auto delay = std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(afterSeconds));
    m_deps.clock->schedule(delay, this, [this] {
        // The user may have answered in the meantime (in Settings, say).
        if (m_deps.wordBook->hasAskedAboutHistory())
            return;
        m_deps.windows->showKeepPrompt(*m_deps.wordBook, triggerMode().tooltipKeyLabels());
    });
}

void HoverTextController::copyLastTranslation()
{
    QString text;
    for (const auto *candidate : {&m_hover.lastTranslationForCopy, &m_hover.translatedText, &m_hover.recognizedText}) {
        if (*candidate && !(*candidate)->isEmpty()) {
            text = **candidate;
            break;
        }
    }
    if (text.isEmpty() || !qGuiApp)
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

QCoro::Task<> HoverTextController::emailDiagnosticReport()
{
    const QPointer<HoverTextController> self(this);
    DiagnosticLog &log = DiagnosticLog::shared();
    const auto entries = co_await log.snapshot();
    const auto apps = co_await log.appTallies();
    const auto events = co_await log.recordedEvents();
    if (!self)
        co_return;
    DiagnosticSnapshot state;
    state.version = QCoreApplication::applicationVersion();
    state.build = state.version;
    state.macOS = QSysInfo::prettyProductName();
    state.enabled = m_isEnabled;
    state.trigger = triggerMode().title();
    state.accessibility = m_hasAccessibilityPermission;
    state.screenRecording = m_hasScreenRecordingPermission;
    state.targetLanguage = m_targetLanguage;
    state.appleLanguage = currentLanguage().isAppleSupported();
    state.hasGoogleKey = hasGoogleKey();
    state.limitToSelectedApps = m_limitToSelectedApps;
    state.allowedAppCount = m_allowedAppIDs.size();
    co_await DiagnosticReport::send(DiagnosticReport::text(entries, apps, events, state), state.version);
}

void HoverTextController::showAboutPanel()
{
    setSelectedSettingsTab(SettingsTab::about);
    openSettings();
}

} // namespace Lumivox
