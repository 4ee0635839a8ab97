// The one hook through which every stage of a hover records its outcome, the diagnostic report
// (its text, headed by the program's state, and its way to the user's mail program), and the action
// that forgets remembered translations.

#include "Features/Coordinator/HoverTextController.h"
#include "Services/Translation/TranslationStore.h"

#include <QCoreApplication>
#include <QSysInfo>

namespace Lumivox {

void HoverTextController::note(DiagnosticReason reason, HoverNote details)
{
    if (!m_deps.recordNote)
        return;
    DiagnosticLog::Note out;
    out.detail = std::move(details.detail);
    // The hovered application, else the front one: a refusal before any lookup still names where
    // the user was.
    out.app =
        details.app ? *details.app : m_hover.lastHoveredAppID.value_or(m_currentFrontmostAppID.value_or(QString()));
    out.tally = std::move(details.tally);
    out.word = std::move(details.word);
    out.meaning = std::move(details.meaning);
    out.role = std::move(details.role);
    if (details.timing) {
        out.ms = details.timing->total(m_deps.clock->now());
        out.stages = details.timing->summary();
    }
    m_deps.recordNote(reason, std::move(out));
}

DiagnosticSnapshot HoverTextController::diagnosticSnapshot() const
{
    DiagnosticSnapshot snapshot;
    snapshot.version = QCoreApplication::applicationVersion();
    // No separate build number on Linux: packages carry the version alone.
    // PRETTY_NAME of os-release, and the kernel that runs it.
    snapshot.system = QSysInfo::prettyProductName() + QStringLiteral(", kernel ") + QSysInfo::kernelVersion();
    snapshot.enabled = m_isEnabled;
    snapshot.trigger = triggerMode().title();
    snapshot.accessibility = m_hasAccessibilityPermission;
    snapshot.screenRecording = m_hasScreenRecordingPermission;
    snapshot.targetLanguage = m_targetLanguage;
    snapshot.appleLanguage = currentLanguage().isAppleSupported();
    snapshot.hasGoogleKey = hasGoogleKey();
    snapshot.limitToSelectedApps = m_limitToSelectedApps;
    snapshot.allowedAppCount = m_allowedAppIDs.size();
    return snapshot;
}

QCoro::Task<QString> HoverTextController::diagnosticReportText()
{
    QPointer<HoverTextController> self(this);
    std::vector<DiagnosticLog::Entry> entries;
    std::map<QString, AppTally> apps;
    std::vector<DiagnosticEvent> events;
    // The log is the program's and outlives the coordinator; only the snapshot needs the coordinator.
    if (DiagnosticLog *log = m_deps.diagnosticLog) {
        entries = co_await log->snapshot();
        apps = co_await log->appTallies();
        events = co_await log->recordedEvents();
    }
    if (!self)
        co_return QString();
    co_return DiagnosticReport::text(entries, apps, events, self->diagnosticSnapshot());
}

void HoverTextController::emailDiagnosticReport()
{
    // A second request while the first is on its way would open a second message.
    if (m_isSendingReport)
        return;
    m_isSendingReport = true;
    [[maybe_unused]] auto task = sendDiagnosticReport(QPointer<HoverTextController>(this));
}

QCoro::Task<> HoverTextController::sendDiagnosticReport(QPointer<HoverTextController> self)
{
    const std::shared_ptr<Native::MailHandOff> mail =
        self->m_deps.mail ? self->m_deps.mail : Native::service<Native::MailHandOff>();
    QString report = co_await self->diagnosticReportText();
    if (!self)
        co_return;
    // The hand-off gives up waiting on a mail program that stays open, and never ends it: the
    // user may still be writing the message.
    const DiagnosticReport::Delivery delivery =
        co_await DiagnosticReport::send(std::move(report), QCoreApplication::applicationVersion(), mail);
    if (!self)
        co_return;
    self->m_isSendingReport = false;
    // Only a message with the report attached speaks for itself.
    if (!delivery.attached())
        self->m_deps.windows->showReportNotice(delivery);
}

void HoverTextController::clearCache()
{
    m_deps.translationCache->clear();
    m_hover.failedTranslations.clear();
    cancelReadAhead();
    clearOverlay();
}

} // namespace Lumivox
