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
    /// Boxes of the words the engine was unsure of: left out of `text`, but a pointer on one of them
    /// is on an unread word, not near its neighbour.
    std::vector<QRectF> unsure;

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
    /// and reports boxes relative to that region. With `focusLine` (a height in the region, 0 at its
    /// bottom and 1 at its top), only the text line at that height (within a few points) is read.
    /// Blocks until done; never call it on the UI thread. The first call loads the recognition
    /// models.
    virtual RecognitionReply recognize(const QImage &image, const QRectF &regionOfInterest,
                                       std::optional<double> focusLine = std::nullopt) = 0;

    /// How a word is read again on its own.
    enum class WordReader {
        /// The model that knows the accented letters of Latin script.
        accented,
        /// The same model, from the image scaled up half as much again: a second look at the same
        /// glyphs.
        accentedLarger,
        /// The model that reads the lines, on the word alone.
        lines,
    };

    struct WordReading
    {
        QString text;
        /// How sure the engine is of it, 0 to 100.
        float confidence = 0;
    };

    /// Reads the word in `box` (normalised to the image, bottom-left origin) again on its own; none
    /// when it reads nothing. Blocks like recognize().
    virtual std::optional<WordReading> readWord(const QImage &image, const QRectF &box, WordReader reader) = 0;

    static std::shared_ptr<TextRecognition> makeDefault();
};

} // namespace Lumivox::Native
