#pragma once

// The coordinator's windows: onboarding, settings, the permission help, the report notice, and the
// Words, Review and keep-words windows. Each lives with its own feature; the application wires them to this interface.

#include "Models/TooltipKeyLabels.h"
#include "Shared/Diagnostics/DiagnosticReport.h"

#include <QObject>
#include <QUuid>

#include <functional>
#include <optional>

namespace Lumivox {

class WordBook;

class CoordinatorWindows : public QObject
{
    Q_OBJECT
public:
    enum class Permission { accessibility, screenRecording };

    using QObject::QObject;

    /// Opens the first-run window (restarting it at its first step unless it is on screen) and
    /// brings it forward.
    virtual void showOnboarding() = 0;
    virtual bool isOnboardingVisible() const = 0;
    /// Closes the first-run window (it stays made, for the next showOnboarding()).
    virtual void closeOnboarding() = 0;

    /// Opens the settings window on the coordinator's selected tab and brings it forward.
    virtual void openSettings() = 0;

    /// Where the desktop has no settings page to send the user to, tells how to grant the permission
    /// (for accessibility: applications started before it was enabled need a restart).
    virtual void showPermissionHelp(Permission permission) = 0;

    /// The diagnostic report did not go out as an attachment: tells the user what was done with it
    /// (on the clipboard, its file and folder) and how to send it.
    virtual void showReportNotice(const DiagnosticReport::Delivery &delivery) = 0;

    /// Opens or brings forward the Words window; `openReview` opens the review of one saved word
    /// (or of every due word).
    virtual void showWords(WordBook &book, std::function<void(std::optional<QUuid>)> openReview) = 0;
    virtual void showReview(WordBook &book, std::optional<QUuid> only) = 0;
    /// Asks whether to keep looked-up words, unless that question is on screen already.
    virtual void showKeepPrompt(WordBook &book, const TooltipKeyLabels &keys) = 0;

    /// The program is ending with its windows open: what a window keeps of itself when it is hidden
    /// (its size and place) goes to the preference store now.
    virtual void storeFrames() { }

signals:
    /// The onboarding window is closing, by the user or because onboarding was completed.
    void onboardingClosed();
};

} // namespace Lumivox
