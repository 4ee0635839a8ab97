#pragma once

// A recognition engine that answers with scripted lines (boxes as the real one gives them:
// normalised to the requested region, origin bottom-left) and records the regions it was asked for.
// A word read again is the scripted word at that place, unless `rereadings` says otherwise.

#include "Fakes/Guarded.h"
#include "Native/TextRecognition/TextRecognition.h"

#include <map>

namespace Lumivox::Testing {

class FakeTextRecognition final : public Native::TextRecognition
{
public:
    void setReply(Native::RecognitionReply reply) { m_reply.set(std::move(reply)); }

    std::vector<QRectF> regions() const { return m_regions.get(); }

    Native::RecognitionReply recognize(const QImage &, const QRectF &regionOfInterest, std::optional<double>) override
    {
        m_regions.with([&](std::vector<QRectF> &regions) { regions.push_back(regionOfInterest); });
        return m_reply.get();
    }

    std::optional<QString> readWord(const QImage &, const QRectF &box) override
    {
        const auto regions = m_regions.get();
        const auto reply = m_reply.get();
        const auto *lines = std::get_if<std::vector<Native::RecognizedLine>>(&reply);
        if (regions.empty() || !lines)
            return std::nullopt;
        const QRectF &r = regions.back();
        for (Native::RecognizedLine line : *lines) {
            // A line without word boxes shares its box among its words by characters.
            if (line.words.empty()) {
                const double n = double(std::max<qsizetype>(line.text.size(), 1));
                qsizetype start = 0;
                for (const QString &token : line.text.split(QLatin1Char(' '))) {
                    line.words.push_back({start, token.size(),
                                          QRectF(line.box.left() + double(start) / n * line.box.width(), line.box.top(),
                                                 double(token.size()) / n * line.box.width(), line.box.height())});
                    start += token.size() + 1;
                }
            }
            for (const Native::RecognizedWord &word : line.words) {
                const QRectF inImage(r.left() + word.box.left() * r.width(), r.top() + word.box.top() * r.height(),
                                     word.box.width() * r.width(), word.box.height() * r.height());
                if (inImage.contains(box.center())) {
                    const QString text = line.text.mid(word.start, word.length);
                    const auto again = rereadings.get();
                    const auto changed = again.find(text);
                    return changed == again.end() ? std::optional<QString>(text) : changed->second;
                }
            }
        }
        return std::nullopt;
    }

    /// What reading a word again gives instead of the word itself.
    Guarded<std::map<QString, std::optional<QString>>> rereadings;

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
