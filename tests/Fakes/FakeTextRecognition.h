#pragma once

// A recognition engine that answers with scripted lines (boxes as the real one gives them:
// normalised to the requested region, origin bottom-left) and records the regions it was asked for.

#include "Fakes/Guarded.h"
#include "Native/TextRecognition/TextRecognition.h"

namespace Lumivox::Testing {

class FakeTextRecognition final : public Native::TextRecognition
{
public:
    void setReply(Native::RecognitionReply reply) { m_reply.set(std::move(reply)); }

    std::vector<QRectF> regions() const { return m_regions.get(); }

    Native::RecognitionReply recognize(const QImage &, const QRectF &regionOfInterest) override
    {
        m_regions.with([&](std::vector<QRectF> &regions) { regions.push_back(regionOfInterest); });
        return m_reply.get();
    }

    /// A line whose words are the space-separated tokens of `text`, each given its own box.
    static Native::RecognizedLine line(const QString &text, const QRectF &lineBox, const std::vector<QRectF> &wordBoxes)
    {
        Native::RecognizedLine out {text, lineBox, {}};
        qsizetype start = 0;
        std::size_t i = 0;
        for (const QString &token : text.split(QLatin1Char(' '))) {
            if (i < wordBoxes.size())
                out.words.push_back({start, token.size(), wordBoxes[i++]});
            start += token.size() + 1;
        }
        return out;
    }

private:
    Guarded<Native::RecognitionReply> m_reply {std::vector<Native::RecognizedLine>()};
    Guarded<std::vector<QRectF>> m_regions;
};

} // namespace Lumivox::Testing
