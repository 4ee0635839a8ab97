#include "Native/TextRecognition/TextRecognition.h"

namespace Lumivox::Native {

std::optional<QRectF> RecognizedLine::boundingBox(qsizetype start, qsizetype length) const
{
    std::optional<QRectF> out;
    for (const RecognizedWord &word : words) {
        if (word.start < start + length && start < word.start + word.length)
            out = out ? out->united(word.box) : word.box;
    }
    return out;
}

} // namespace Lumivox::Native
