#pragma once

// Why a hover did or did not end in a tooltip. The raw values are stored in diagnostics.json:
// never rename a case or change its raw value.

#include <QString>

#include <array>
#include <optional>

namespace Lumivox {

enum class DiagnosticReason {
    shown,
    holdKeyNotPressed,
    disabled,
    noPermission,
    menuTracking,
    menuBar,
    ownWindow,
    drmProtected,
    ownProcess,
    accessibilitySuppressed,
    appNotAllowed,
    wordFiltered,
    noScreenRecording,
    pointerMoved,
    captureFailed,
    captureEmpty,
    ocrMiss,
    busy,
    appleModelMissing,
    appleSessionMissing,
    appleFailed,
    sourceIsTarget,
    googleKeyMissing,
    googleFailed,
    translationEmpty,
    translationCooldown,
};

namespace DiagnosticReasons {

/// Every case in declaration order (the report lists reasons in this order).
const std::array<DiagnosticReason, 26> &allCases();

QString rawValue(DiagnosticReason reason);
/// Exact, case-sensitive match of a raw value.
std::optional<DiagnosticReason> fromRawValue(const QString &raw);

/// Short English text for the report, event lines and the log file.
QString label(DiagnosticReason reason);
/// Skipped rather than failed: cheap to evict and a repeat does not cause a write.
bool isSkip(DiagnosticReason reason);
/// An expected outcome: logged at debug level rather than error level.
bool isRoutine(DiagnosticReason reason);
/// "shown", "skipped" or "not shown".
QString reportOutcome(DiagnosticReason reason);

} // namespace DiagnosticReasons

/// The result of one translation attempt by a back-end.
struct TranslationAttempt
{
    std::optional<QString> text;
    std::optional<DiagnosticReason> failure;
    QString detail;

    static TranslationAttempt success(QString text) { return {std::move(text), std::nullopt, QString()}; }
    static TranslationAttempt failed(DiagnosticReason reason, QString detail)
    {
        return {std::nullopt, reason, std::move(detail)};
    }

    bool operator==(const TranslationAttempt &) const = default;
};

} // namespace Lumivox
