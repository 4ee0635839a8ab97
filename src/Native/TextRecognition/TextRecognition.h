#pragma once

// On-device text recognition: lines of text found in an image, each with its words' boxes.
// Boxes are normalised to the recognised region (0 to 1 on both axes) with the origin at its
// bottom-left corner; QRectF::top() is the box's lower edge there and bottom() its upper edge.

#include <QImage>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace Lumivox::Native {

struct RecognizedWord
{
    qsizetype start = 0; // UTF-16 range in the line's text
    qsizetype length = 0;
    QRectF box;
};

struct RecognizedLine
{
    QString text;
    QRectF box;
    std::vector<RecognizedWord> words;

    /// The box of a UTF-16 range of `text`: the union of the words it touches; none when it
    /// touches no recognised word.
    std::optional<QRectF> boundingBox(qsizetype start, qsizetype length) const;
};

struct RecognitionFailure
{
    QString message;
};

/// Lines in reading order, or why recognition failed.
using RecognitionReply = std::variant<std::vector<RecognizedLine>, RecognitionFailure>;

class TextRecognition
{
public:
    virtual ~TextRecognition() = default;

    /// Recognises the text inside `regionOfInterest` (normalised to the image, bottom-left origin)
    /// and reports boxes relative to that region. Blocks until done; never call it on the UI
    /// thread. The first call loads the recognition model.
    virtual RecognitionReply recognize(const QImage &image, const QRectF &regionOfInterest) = 0;

    static std::shared_ptr<TextRecognition> makeDefault();
};

} // namespace Lumivox::Native
