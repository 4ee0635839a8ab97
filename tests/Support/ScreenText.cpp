#include "Support/ScreenText.h"

#include "Services/Detection/ScreenCaptureService.h"
#include "Shared/Platform/WindowLookup.h"
#include "Support/TestSupport.h"

namespace Lumivox::Testing {

std::optional<RecognizedHit> screenTextAt(QPointF at)
{
    ScreenCaptureService capture;
    const auto outcome = await(capture.captureRegion(at, WindowLookup::window(at), QSizeF(640, 80)));
    if (!outcome.result)
        return std::nullopt;
    return await(TextRecognizer::recognizeWord(*outcome.result));
}

} // namespace Lumivox::Testing
