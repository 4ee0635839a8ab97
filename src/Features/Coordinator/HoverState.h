#pragma once

// The state of the hover on screen and of the work behind it, shared by the coordinator's stages
// (gating, lookup, translation, presentation, bookkeeping, keys, read-ahead). Plain data: each stage
// reads and writes the fields it owns; the coordinator resets them when the tooltip is cleared.

#include "Features/Overlay/WordStatus.h"
#include "Models/WordRecords.h"
#include "Services/Learn/Glance.h"
#include "Services/Learn/ReadAhead.h"
#include "Shared/Async/Clock.h"
#include "Shared/Platform/WindowLookup.h"

#include <QDateTime>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <stop_token>

namespace Lumivox {

/// One asynchronous job of the hover (lookup, translation, read-ahead, key claim): present while it
/// runs; cancelling asks it to stop at its next step and forgets it.
class HoverTask
{
public:
    bool isPresent() const { return m_stop.has_value(); }
    /// A fresh job's stop token; a job that was running is cancelled first.
    std::stop_token start()
    {
        cancel();
        m_stop.emplace();
        return m_stop->get_token();
    }
    void cancel()
    {
        if (m_stop)
            m_stop->request_stop();
        m_stop.reset();
    }
    /// The job ended by itself.
    void finished() { m_stop.reset(); }

private:
    std::optional<std::stop_source> m_stop;
};

struct HoverState
{
    /// Captures closer together than this wait out the rest.
    static constexpr std::chrono::milliseconds ocrInterval {150};
    /// A process is asked again to build its accessibility tree after this long.
    static constexpr std::chrono::seconds webAccessibilityRepeat {10};
    /// A word whose translation failed is not tried again for this long.
    static constexpr std::chrono::seconds failedTranslationRetryDelay {60};

    /// The word of the tooltip on screen, and its translation.
    std::optional<QString> recognizedText;
    std::optional<QString> translatedText;
    /// What "Copy Last Translation" copies.
    std::optional<QString> lastTranslationForCopy;
    std::optional<Glance> currentGlance;

    std::optional<QDateTime> lookupShownAt;
    std::optional<WordLookup> currentLookup;
    /// The footer's confirmation of the last save, removal or copy on this tooltip.
    std::optional<WordStatus::Flash> statusFlash;
    /// The sentence of the hovered word and the word's UTF-16 offset in it.
    std::optional<QString> currentContext;
    std::optional<qsizetype> currentWordOffset;
    std::optional<WindowLookup::Hit> lastHoveredWindow;
    std::optional<QString> lastHoveredAppID;

    std::map<QString, Clock::Instant> failedTranslations;
    std::optional<ReadAhead::Spot> lastGlanceSpot;
    bool contextFromAccessibility = false;
    struct ModelCheck
    {
        bool installed = false;
        Clock::Instant at;
    };
    std::map<QString, ModelCheck> readAheadModels;

    std::optional<Clock::Instant> lastOCRAt;
    std::map<std::int32_t, Clock::Instant> webAccessibilityRequests;
    /// Where the last lookup was made (bottom-left-origin screen points); the tooltip is placed there.
    QPointF lastHitLocation {-9999, -9999};
    std::optional<QRectF> lastWordRect;
    /// Where a word read without a rectangle was read (then lastWordRect is empty).
    std::optional<QPointF> lastWordPoint;
    bool lastWordFiltered = false;
    /// Grows when a lookup starts and when the tooltip is cleared; late results of an older
    /// generation are dropped.
    std::int64_t translateGeneration = 0;

    HoverTask captureTask;
    HoverTask translateTask;
    HoverTask readAheadTask;
    HoverTask keyClaimTask;
};

} // namespace Lumivox
