#pragma once

// Pictures of the screen: the displays, windows and applications that can be captured, and single
// images of a part of a display or of one window.
// Rectangles are in Quartz coordinates: points, origin at the top-left corner of the primary
// screen, y downwards. Device pixels appear only as image and output sizes.

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace Lumivox::Native {

struct CaptureDisplay
{
    std::uint32_t displayID = 0;
    QRectF frame; // global points
    int pixelWidth = 0;
    int pixelHeight = 0;
    /// What a strip read from this display may take in (global points): the whole desktop in this
    /// display's points, carried on past its edges at its scale, so that a strip crosses into a
    /// neighbouring monitor and reads it in the pixels it shows, whatever that one's scale. Empty:
    /// the display alone.
    QRectF reach;
};

struct CaptureWindow
{
    std::uint32_t windowID = 0;
    QRectF frame; // global points
    std::optional<std::int32_t> pid;
};

struct CaptureApplication
{
    std::int32_t pid = 0;
    std::optional<QString> bundleIdentifier;
};

/// What can be captured at one moment. Displays come primary first.
struct ShareableContent
{
    std::vector<CaptureDisplay> displays;
    std::vector<CaptureWindow> windows;
    std::vector<CaptureApplication> applications;
};

/// Why a capture could not be made, reduced to what callers record of it.
struct CaptureFailure
{
    QString domain;
    long long code = 0;
    QString message;
};

/// The failures of the "Capture" domain, coded alike by every backend.
namespace CaptureFailureCode {
inline const QString domain = QStringLiteral("Capture");
inline constexpr long long noDisplay = 1;
inline constexpr long long notPermitted = 2;
inline constexpr long long invalidRegion = 3;
inline constexpr long long readFailed = 4;
inline constexpr long long windowGone = 5;
} // namespace CaptureFailureCode

/// A display, less the windows of some applications.
struct DisplayFilter
{
    CaptureDisplay display;
    std::vector<std::int32_t> excludedApplicationPIDs;
};

struct CaptureConfiguration
{
    QRectF sourceRect; // points, local to the captured display or window
    QSize outputSize; // pixels of the image handed back: the source at the scale of the pointer's display
    bool showsCursor = false;
};

using ContentReply = std::variant<ShareableContent, CaptureFailure>;
using ImageReply = std::variant<QImage, CaptureFailure>;

/// Every operation may block for a while and may be called from any thread, never the UI thread.
/// Our own visible windows never appear in an image: they are painted out before it is handed back.
class ScreenCapture
{
public:
    virtual ~ScreenCapture() = default;

    /// False where the desktop does not let us read the screen (a Wayland session).
    virtual bool hasScreenRecordingPermission() = 0;

    virtual ContentReply shareableContent(bool excludeDesktopWindows, bool onScreenWindowsOnly) = 0;

    virtual ImageReply captureDisplay(const DisplayFilter &filter, const CaptureConfiguration &configuration) = 0;

    /// The window alone, so that windows overlapping it do not show.
    virtual ImageReply captureWindow(const CaptureWindow &window, const CaptureConfiguration &configuration) = 0;

    static std::shared_ptr<ScreenCapture> makeDefault();
    /// Without a display: no permission, nothing to capture, every capture a failure.
    static std::shared_ptr<ScreenCapture> makeUnavailable();
};

} // namespace Lumivox::Native
