#pragma once

// A recognition engine that answers with scripted lines (boxes as the real one gives them:
// normalised to the requested region, origin bottom-left) and records the regions it was asked for.
// A word read again is the scripted word at that place, unless the rereadings of its reader say
// otherwise.

#include "Fakes/Guarded.h"
#include "Native/TextRecognition/TextRecognition.h"

#include <map>
#include <set>

namespace Lumivox::Testing {

class FakeTextRecognition final : public Native::TextRecognition
{
public:
    void setReply(Native::RecognitionReply reply) { m_reply.set(std::move(reply)); }

    std::vector<QRectF> regions() const { return m_regions.get(); }
    /// The image of the last recognition.
    QImage image() const { return m_image.get(); }

    Native::RecognitionReply recognize(const QImage &image, const QRectF &regionOfInterest,
                                       std::optional<double>) override
    {
        m_regions.with([&](std::vector<QRectF> &regions) { regions.push_back(regionOfInterest); });
        m_image.set(image);
        return m_reply.get();
    }

    std::optional<WordReading> readWord(const QImage &, const QRectF &box, WordReader reader) override
    {
        readers.with([&](std::vector<WordReader> &r) { r.push_back(reader); });
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
                if (inImage.contains(box.center()))
                    return reread(line.text.mid(word.start, word.length), reader);
            }
            for (const QRectF &unsure : line.unsure) {
                const QRectF inImage(r.left() + unsure.left() * r.width(), r.top() + unsure.top() * r.height(),
                                     unsure.width() * r.width(), unsure.height() * r.height());
                if (inImage.contains(box.center()))
                    return reread(QString(), reader);
            }
        }
        return std::nullopt;
    }

    /// What reading a word again gives instead of the word itself: with the accented model (also
    /// from the larger image unless `largerRereadings` says otherwise), and with the strip's model.
    /// A word the strip was unsure of is the empty text here; by default it reads as nothing.
    Guarded<std::map<QString, std::optional<QString>>> rereadings;
    Guarded<std::map<QString, std::optional<QString>>> largerRereadings;
    Guarded<std::map<QString, std::optional<QString>>> aloneRereadings;
    /// Rereadings by the accented model that the engine is unsure of (all others it is sure of).
    Guarded<std::set<QString>> unsureRereadings;
    /// The readers asked, in order.
    Guarded<std::vector<WordReader>> readers;

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
    std::optional<WordReading> reread(const QString &text, WordReader reader) const
    {
        for (const auto *changes : rereadingsOf(reader)) {
            const auto again = changes->get();
            if (const auto changed = again.find(text); changed != again.end()) {
                if (!changed->second)
                    return std::nullopt;
                const bool unsure = reader != WordReader::lines && unsureRereadings.get().contains(*changed->second);
                return WordReading {*changed->second, unsure ? 30.0f : 90.0f};
            }
        }
        if (text.isEmpty())
            return std::nullopt;
        return WordReading {text, 90};
    }

    std::vector<const Guarded<std::map<QString, std::optional<QString>>> *> rereadingsOf(WordReader reader) const
    {
        switch (reader) {
        case WordReader::accented:
            return {&rereadings};
        case WordReader::accentedLarger:
            return {&largerRereadings, &rereadings};
        case WordReader::lines:
            return {&aloneRereadings};
        }
        return {};
    }

    Guarded<Native::RecognitionReply> m_reply {std::vector<Native::RecognizedLine>()};
    Guarded<std::vector<QRectF>> m_regions;
    Guarded<QImage> m_image;
};

} // namespace Lumivox::Testing
