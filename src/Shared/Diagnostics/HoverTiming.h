#pragma once

// How long one hover takes, from the pointer coming to rest to the outcome, and how that splits into
// stages. The hover coordinator keeps one value per hover, closes a stage after each step, and hands
// the total and the summary to the diagnostic log.
//
// Each step is also a debug line in the "app.lumivox.Hover" logging category, tagged with the
// hover's number so the lines of one hover can be picked out. The category is quiet unless debug
// output is enabled for it (QT_LOGGING_RULES="app.lumivox.Hover.debug=true"); the bookkeeping
// happens regardless.

#include "Shared/Async/Clock.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace Lumivox {

struct HoverTiming
{
    struct Stage
    {
        QString name;
        /// Whole milliseconds since the previous stage (or the start).
        qint64 ms = 0;

        bool operator==(const Stage &) const = default;
    };

    Clock::Instant start;
    /// End of the last closed stage.
    Clock::Instant lap;
    std::vector<Stage> stages;
    std::uint64_t signpostID = 0;

    /// Starts a hover at `now` (monotonic clock).
    explicit HoverTiming(Clock::Instant now);

    /// Closes a stage: records the whole milliseconds since the last mark and moves the mark to now.
    void mark(const QString &name, Clock::Instant now);
    /// Milliseconds since the start, including time after the last mark. Does not change the value.
    qint64 total(Clock::Instant now) const;

    QString summary() const { return summary(stages); }
    /// "window 3 · ax 12 · translate 140"; empty for no stages.
    static QString summary(const std::vector<Stage> &stages);
    /// Truncated toward zero, never rounded.
    static qint64 milliseconds(Clock::Duration duration);
};

} // namespace Lumivox
