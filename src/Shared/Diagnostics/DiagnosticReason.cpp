#include "Shared/Diagnostics/DiagnosticReason.h"

namespace Lumivox::DiagnosticReasons {

namespace {

struct Row
{
    DiagnosticReason reason;
    const char *raw;
    const char *label;
    bool skip;
    bool routine;
};

constexpr Row rows[] = {
    {DiagnosticReason::shown, "shown", "shown", false, true},
    {DiagnosticReason::holdKeyNotPressed, "holdKeyNotPressed", "hold key not pressed", true, true},
    {DiagnosticReason::disabled, "disabled", "turned off", true, true},
    {DiagnosticReason::noPermission, "noPermission", "no permission", true, false},
    {DiagnosticReason::menuTracking, "menuTracking", "menu open", true, true},
    {DiagnosticReason::menuBar, "menuBar", "panel", true, true},
    {DiagnosticReason::ownWindow, "ownWindow", "own window", true, true},
    {DiagnosticReason::drmProtected, "drmProtected", "protected app", true, false},
    {DiagnosticReason::ownProcess, "ownProcess", "own process", true, true},
    {DiagnosticReason::accessibilitySuppressed, "accessibilitySuppressed", "accessibility suppressed", false, false},
    {DiagnosticReason::appNotAllowed, "appNotAllowed", "app not allowed", true, false},
    {DiagnosticReason::wordFiltered, "wordFiltered", "word filtered", false, true},
    {DiagnosticReason::noScreenRecording, "noScreenRecording", "no screen capture", false, false},
    {DiagnosticReason::pointerMoved, "pointerMoved", "pointer moved", true, true},
    {DiagnosticReason::captureFailed, "captureFailed", "capture failed", false, false},
    {DiagnosticReason::captureEmpty, "captureEmpty", "capture empty", false, false},
    {DiagnosticReason::ocrMiss, "ocrMiss", "text not recognized", false, false},
    {DiagnosticReason::busy, "busy", "busy", true, false},
    {DiagnosticReason::appleModelMissing, "appleModelMissing", "on-device model missing", false, false},
    {DiagnosticReason::appleSessionMissing, "appleSessionMissing", "on-device translation unavailable", false, false},
    {DiagnosticReason::appleFailed, "appleFailed", "on-device translation failed", false, false},
    {DiagnosticReason::sourceIsTarget, "sourceIsTarget", "already target language", false, false},
    {DiagnosticReason::googleKeyMissing, "googleKeyMissing", "google key missing", false, false},
    {DiagnosticReason::googleFailed, "googleFailed", "google translation failed", false, false},
    {DiagnosticReason::translationEmpty, "translationEmpty", "translation empty", false, false},
    {DiagnosticReason::translationCooldown, "translationCooldown", "translation cooling down", false, false},
};

static_assert(std::size(rows) == 26);

const Row &row(DiagnosticReason reason)
{
    return rows[static_cast<int>(reason)];
}

} // namespace

const std::array<DiagnosticReason, 26> &allCases()
{
    static const std::array<DiagnosticReason, 26> cases = [] {
        std::array<DiagnosticReason, 26> out {};
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = rows[i].reason;
        return out;
    }();
    return cases;
}

QString rawValue(DiagnosticReason reason)
{
    return QString::fromLatin1(row(reason).raw);
}

std::optional<DiagnosticReason> fromRawValue(const QString &raw)
{
    for (const Row &r : rows) {
        if (raw == QLatin1String(r.raw))
            return r.reason;
    }
    return std::nullopt;
}

QString label(DiagnosticReason reason)
{
    return QString::fromLatin1(row(reason).label);
}
bool isSkip(DiagnosticReason reason)
{
    return row(reason).skip;
}
bool isRoutine(DiagnosticReason reason)
{
    return row(reason).routine;
}

QString reportOutcome(DiagnosticReason reason)
{
    if (reason == DiagnosticReason::shown)
        return QStringLiteral("shown");
    return isSkip(reason) ? QStringLiteral("skipped") : QStringLiteral("not shown");
}

} // namespace Lumivox::DiagnosticReasons
