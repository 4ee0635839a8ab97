// The one hook through which every stage of a hover records its outcome, and the state that heads
// the diagnostic report.

#include "Features/Coordinator/HoverTextController.h"

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
    snapshot.macOS = QSysInfo::prettyProductName() + u' ' + QSysInfo::kernelType() + u' ' + QSysInfo::kernelVersion();
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

} // namespace Lumivox
