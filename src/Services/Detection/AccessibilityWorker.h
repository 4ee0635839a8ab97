#pragma once

// The one place where the accessibility and window-list queries of a hover run: a serial executor,
// so a slow or frozen application never blocks the UI thread and two queries never overlap.
// Each operation is awaited from the UI thread and resumes there.

#include "Services/Detection/AccessibilityTextService.h"
#include "Shared/Async/SerialExecutor.h"
#include "Shared/Platform/WindowLookup.h"

#include <QCoroTask>
#include <QPointF>

#include <cstdint>
#include <optional>
#include <stop_token>

namespace Lumivox {

class AccessibilityWorker
{
public:
    struct Lookup
    {
        AccessibilityTextService::LookupResult result;
        bool isTranslatable = false;
        bool operator==(const Lookup &) const = default;
    };

    AccessibilityWorker();

    /// The window under a point (Quartz coordinates).
    QCoro::Task<std::optional<WindowLookup::Hit>> window(QPointF at);
    QCoro::Task<std::optional<QString>> windowTitle(QPointF at);
    /// Asks a process to build its accessibility tree; done when the request has been made. The
    /// caller limits how often it asks and retries the lookup itself.
    QCoro::Task<> requestWebAccessibility(std::int32_t pid);
    QCoro::Task<Lookup> lookupWord(QPointF at, std::optional<double> primaryMaxY, bool skipNonWords,
                                   std::stop_token stop = {});
    QCoro::Task<Lookup> lookupWordInProcess(std::int32_t pid, QPointF at, std::optional<double> primaryMaxY,
                                            bool hitTestAgain, bool skipNonWords, std::stop_token stop = {});

    /// A hit is worth translating unless the filter is on and judges it not a dictionary word;
    /// anything but a hit never is.
    static Lookup judged(AccessibilityTextService::LookupResult result, bool skipNonWords);

    SerialExecutor &executor() { return m_queue; }

private:
    SerialExecutor m_queue;
};

} // namespace Lumivox
