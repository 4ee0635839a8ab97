#pragma once

// Per-application counters of how hovers ended. They tell, for one application, whether its text is
// read through the accessibility interface, only by capture and recognition, or not at all, which is
// what a support reply needs first.

#include <QString>
#include <QStringList>

#include <map>

namespace Lumivox {

struct AppTally
{
    qint64 shownAccessibility = 0;
    qint64 shownOCR = 0;
    qint64 shownCache = 0;
    qint64 axThenUnreadable = 0;
    qint64 axThenCaptureEmpty = 0;
    qint64 axThenCaptureFailed = 0;
    qint64 axThenNoScreenRecording = 0;
    qint64 pointerMoved = 0;
    qint64 filtered = 0;
    qint64 webAXFirst = 0;
    qint64 webAXStillMissed = 0;
    /// Accessibility roles met on a miss; at most `roleLimit` keys.
    std::map<QString, qint64> roles;
    /// Translation error texts (at most 80 characters each); at most `translationErrorLimit` keys.
    std::map<QString, qint64> translationErrors;

    static constexpr std::size_t roleLimit = 6;
    static constexpr std::size_t translationErrorLimit = 8;

    /// One change to a tally, as the hover coordinator reports it with an outcome.
    struct Update
    {
        enum class Kind { shown, axMiss, translation, filtered, pointerMoved };
        Kind kind = Kind::filtered;
        /// The source of `shown`, the stage of `axMiss`, or the error text of `translation`.
        QString text;
        QString role;
        QString webAX;

        /// "ocr", "cache", or anything else for text read through the accessibility interface.
        static Update shown(QString source) { return {Kind::shown, std::move(source), {}, {}}; }
        /// `webAX` is "first", "already", or anything else when no web-content request was involved.
        static Update axMiss(QString stage, QString role, QString webAX)
        {
            return {Kind::axMiss, std::move(stage), std::move(role), std::move(webAX)};
        }
        static Update translation(QString error) { return {Kind::translation, std::move(error), {}, {}}; }
        static Update filtered() { return {Kind::filtered, {}, {}, {}}; }
        static Update pointerMoved() { return {Kind::pointerMoved, {}, {}, {}}; }

        bool operator==(const Update &) const = default;
    };

    qint64 shown() const { return shownAccessibility + shownOCR + shownCache; }
    qint64 readMisses() const
    {
        return axThenUnreadable + axThenCaptureEmpty + axThenCaptureFailed + axThenNoScreenRecording;
    }

    void apply(const Update &update);

    /// The report's lines for this application (one to five lines, each indented).
    QStringList reportLines(const QString &app) const;

    bool operator==(const AppTally &) const = default;
};

} // namespace Lumivox
