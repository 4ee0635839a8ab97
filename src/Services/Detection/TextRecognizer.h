#pragma once

// Finds the word under the pointer in a captured strip of screen with on-device text recognition,
// and cuts the sentence of its line as context. No state: the recognition engine is a platform
// service (Native::TextRecognition), used from worker threads so that no caller ever waits on it.

#include "Services/Detection/ScreenCaptureService.h"

#include <QCoroTask>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

namespace Lumivox {

struct RecognizedHit
{
    QString text; // the normalised word
    QRectF visionBox; // normalised to the whole captured image, origin bottom-left (top() is the lower edge)
    std::optional<QString> context; // the sentence of the word's line
    std::optional<qsizetype> wordOffset; // UTF-16 offset of the word in `context`

    bool operator==(const RecognizedHit &) const = default;
};

namespace TextRecognizer {

/// Loads the recognition model before the first hover (off the calling thread).
QCoro::Task<> warmUp();

/// The word under the capture's pointer. Only the window's part of the capture is read, and of it
/// only the text area the pointer is in. A word the strip's edge cuts, or that may be either half of
/// one a terminal broke at the end of a row, is none. Never fails: anything that goes wrong gives
/// none.
QCoro::Task<std::optional<RecognizedHit>> recognizeWord(ScreenCaptureService::CaptureResult capture);

/// The same for a capture of `cropRect` (Quartz points) around `mouse`, `window` being the frame of
/// the window under the pointer.
QCoro::Task<std::optional<RecognizedHit>> recognizeWord(QImage image, QRectF cropRect, QPointF mouse,
                                                        std::optional<QRectF> window = std::nullopt);

} // namespace TextRecognizer

} // namespace Lumivox
