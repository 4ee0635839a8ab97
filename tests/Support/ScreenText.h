#pragma once

// Screen text as the program reads it in a hover: the strip around a point, of the window there,
// recognised and the word under the point picked.

#include "Services/Detection/TextRecognizer.h"

#include <QPointF>

#include <optional>

namespace Lumivox::Testing {

std::optional<RecognizedHit> screenTextAt(QPointF at);

} // namespace Lumivox::Testing
