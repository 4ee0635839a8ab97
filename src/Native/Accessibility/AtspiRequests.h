#pragma once

// Single libatspi requests, each bounded by the session's timeout. The caller holds the session
// lock. A failed request of any kind is an absent value.

#include "Native/Accessibility/AtspiSession.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>
#include <utility>

namespace Lumivox::Native::Atspi {

// libatspi answers requests over a broken direct connection with defaults and no error.
inline bool connected(AtspiAccessible *object)
{
    const AtspiApplication *app = object ? object->parent.app : nullptr;
    return app && app->bus && dbus_connection_get_is_connected(app->bus);
}

// Runs one request on `object`: fails at once for an application that just timed out or went away,
// remembers a timeout, and moves any connection the request made libatspi open.
template<class Body>
bool request(AtspiAccessible *object, Body &&body)
{
    Session &session = Session::instance();
    if (!object || !connected(object) || session.isUnresponsive(object))
        return false;
    session.applyTimeout(object);
    GError *error = nullptr;
    const auto started = Clock::now();
    const bool answered = body(&error);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    session.adoptConnections();
    if (error)
        g_error_free(error);
    // libatspi reports a timeout on a direct connection as an empty answer without an error; a
    // request that ran into its deadline failed, whatever it returned.
    if (session.ranOutOfTime(elapsed)) {
        session.noteUnresponsive(object);
        return false;
    }
    return answered && !error && connected(object);
}

/// Registers the application of a newly returned object with the session; passes it through.
AtspiAccessible *tracked(AtspiAccessible *object);

struct Interfaces
{
    bool text = false;
    bool component = false;
};

std::optional<Interfaces> interfacesOf(AtspiAccessible *object);

// Rectangles are in X11 screen pixels; an element that reports no usable box has none.
std::optional<QRect> extentsOf(AtspiAccessible *object);
/// The box an element reports, empty or negative sizes included (a notebook page whose tabs are
/// hidden says -1 x -1 while its content is on screen); none for a hidden element or a failure.
std::optional<QRect> reportedExtentsOf(AtspiAccessible *object);
std::optional<QRect> rangeExtentsOf(AtspiAccessible *object, qint64 start, qint64 end);
std::optional<QRect> characterExtentsOf(AtspiAccessible *object, qint64 offset);

// Objects returned are new references (or nullptr) and already tracked.
AtspiAccessible *accessibleAtPoint(AtspiAccessible *object, QPoint px);
AtspiAccessible *childOf(AtspiAccessible *object, int index);
AtspiAccessible *parentOf(AtspiAccessible *object);

// Offsets are in the application's own units (see countsUtf16).
std::optional<qint64> offsetAtPoint(AtspiAccessible *object, QPoint px);
std::optional<qint64> characterCountOf(AtspiAccessible *object);
std::optional<QString> textOf(AtspiAccessible *object, qint64 start, qint64 end);

std::optional<AtspiRole> roleOf(AtspiAccessible *object);
std::optional<QString> nameOf(AtspiAccessible *object);
std::optional<int> childCountOf(AtspiAccessible *object);
/// One of the object's attributes (the toolkit's name = value pairs, such as a browser's "display").
std::optional<QString> objectAttributeOf(AtspiAccessible *object, const char *name);
std::optional<bool> isSingleLine(AtspiAccessible *object);

/// Where an element embedded in its parent's text (a link, or an inline run a browser exposes on
/// its own) stands in that text, in the parent's units: its hyperlink's index range.
std::optional<std::pair<qint64, qint64>> rangeInParentOf(AtspiAccessible *object);

/// The text of the object embedded at `offset` of a hypertext element's text (where the text keeps
/// an object replacement character, as browsers do for links): the object's own text, else its name.
std::optional<QString> embeddedTextOf(AtspiAccessible *object, qint64 offset);

/// The toolkit an application names on its application object ("Qt", "GTK" …); other elements
/// answer nothing in some toolkits.
std::optional<QString> toolkitNameOf(AtspiAccessible *application);

struct TextRun
{
    QString text;
    qint64 start = 0;
    qint64 end = 0;
};

/// The word or sentence run at an offset: GetStringAtOffset where the application has it, else
/// the older GetTextAtOffset.
std::optional<TextRun> runAt(AtspiAccessible *object, qint64 offset, bool sentence);

} // namespace Lumivox::Native::Atspi
