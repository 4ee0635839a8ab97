#pragma once

// A recognition engine that answers with scripted lines (boxes as the real one gives them:
// normalised to the requested region, origin bottom-left) and records the regions it was asked for.

#include "Native/TextRecognition/TextRecognition.h"

#include <mutex>

namespace Lumivox::Testing {

class FakeTextRecognition final : public Native::TextRecognition
{
public:
    void setReply(Native::RecognitionReply reply)
    {
        std::lock_guard lock(m_mutex);
        m_reply = std::move(reply);
    }

    std::vector<QRectF> regions() const
    {
        std::lock_guard lock(m_mutex);
        return m_regions;
    }

    Native::RecognitionReply recognize(const QImage &, const QRectF &regionOfInterest) override
    {
        std::lock_guard lock(m_mutex);
        m_regions.push_back(regionOfInterest);
        return m_reply;
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
    mutable std::mutex m_mutex;
    Native::RecognitionReply m_reply = std::vector<Native::RecognizedLine>();
    std::vector<QRectF> m_regions;
};

} // namespace Lumivox::Testing
