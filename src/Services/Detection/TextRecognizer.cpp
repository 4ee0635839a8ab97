#include "Services/Detection/TextRecognizer.h"

#include "Native/Geometry/Containment.h"
#include "Native/Services.h"
#include "Native/TextRecognition/TextRecognition.h"
#include "Services/Detection/SentenceSlice.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Text/TextUtils.h"

#include <QCoroFuture>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QtConcurrent/qtconcurrenttask.h>

#include <array>
#include <cmath>

namespace Lumivox::TextRecognizer {

namespace {

using WordReader = Native::TextRecognition::WordReader;
using WordReading = Native::TextRecognition::WordReading;

// Thread-pool priorities: a hover waits on its recognition, the warm-up waits on nothing.
constexpr int userInitiatedPriority = 2;
constexpr int utilityPriority = 0;

constexpr double bandHeight = 80; // points of a tall strip that are recognised around the pointer
constexpr qsizetype maximumWordLength = 32;
// A word read again on its own counts as a reading from this confidence on (the engine's 0 to 100).
constexpr float minimumConfidence = 60;

struct CandidateHit
{
    QString word;
    QRectF box;
    bool isDirectHit = false;
    double edgeDistance = 0;
    double centerDistance = 0;
    /// A word the engine was unsure of: when it is the best candidate, nothing is read.
    bool unsure = false;

    bool isBetter(const CandidateHit &other) const
    {
        if (isDirectHit != other.isDirectHit)
            return isDirectHit;
        if (isDirectHit)
            return centerDistance < other.centerDistance;
        if (std::abs(edgeDistance - other.edgeDistance) > 0.5)
            return edgeDistance < other.edgeDistance;
        return centerDistance < other.centerDistance;
    }
};

struct Best
{
    CandidateHit candidate;
    QString line;
    QRectF lineBox;
    qsizetype start = 0;
    qsizetype length = 0;
};

bool isWordCharacter(char32_t c)
{
    // Apostrophes, straight and curly, belong to words such as "don't".
    return c == U'\'' || c == U'\u2019' || QChar::isLetter(c) || QChar::category(c) == QChar::Number_DecimalDigit;
}

std::optional<QString> normalizedWord(QStringView token)
{
    const QString trimmed = Text::trimmed(token);
    if (trimmed.isEmpty())
        return std::nullopt;
    const QList<uint> scalars = trimmed.toUcs4();
    for (uint c : scalars) {
        if (Text::isWhitespaceOrNewline(c))
            return std::nullopt;
    }
    qsizetype first = 0;
    qsizetype last = scalars.size();
    while (first < last && !isWordCharacter(scalars[first]))
        ++first;
    while (last > first && !isWordCharacter(scalars[last - 1]))
        --last;
    if (first == last)
        return std::nullopt;
    const QString word =
        QString::fromUcs4(reinterpret_cast<const char32_t *>(scalars.constData()) + first, last - first);
    const qsizetype length = Text::graphemeCount(word);
    if (length < 1 || length > maximumWordLength)
        return std::nullopt;
    bool hasLetter = false;
    for (qsizetype i = first; i < last && !hasLetter; ++i)
        hasLetter = QChar::isLetter(static_cast<char32_t>(scalars[i]));
    if (!hasLetter)
        return std::nullopt;
    return word;
}

QRectF regionOfInterest(double pointerY, double cropHeight)
{
    if (cropHeight > bandHeight) {
        const double h = bandHeight / cropHeight;
        return QRectF(0, std::min(1 - h, std::max(0.0, pointerY - h / 2)), 1, h);
    }
    return QRectF(0, 0, 1, 1);
}

QRectF imageRect(const QRectF &box, const QRectF &region)
{
    return QRectF(region.left() + box.left() * region.width(), region.top() + box.top() * region.height(),
                  box.width() * region.width(), box.height() * region.height());
}

std::optional<CandidateHit> candidateHit(const QString &word, const QRectF &box, QPointF pointer, QSizeF cropSize)
{
    const double width = cropSize.width();
    const double height = cropSize.height();
    // A pointer just beside a word still means that word: 4 points either side, 6 above and below.
    const double dx = width > 1 ? 4 / width : 4;
    const double dy = 6 / std::max(height, 1.0);
    // Boxes have their origin at the bottom left, so a word's lower edge is inside and its upper edge
    // outside: a pointer on the line between two lines of text belongs to the upper one.
    if (!Native::containsHalfOpen(box.adjusted(-dx, -dy, dx, dy), pointer))
        return std::nullopt;
    const double ex = std::max({box.left() - pointer.x(), pointer.x() - box.right(), 0.0});
    const double ey = std::max({box.top() - pointer.y(), pointer.y() - box.bottom(), 0.0});
    const QPointF centre = box.center();
    return CandidateHit {word, box, Native::containsHalfOpen(box, pointer), std::hypot(width * ex, height * ey),
                         std::hypot(width * (pointer.x() - centre.x()), height * (pointer.y() - centre.y()))};
}

/// The sentence of the word's line; a line cut by the capture's edge does not start or end the text.
void context(RecognizedHit &hit, const Best &best)
{
    const bool startsText = best.lineBox.left() > 0.01;
    const bool endsText = best.lineBox.right() < 0.99;
    const auto slice =
        AccessibilityTextService::sentenceSlice(best.line, best.start, best.length, startsText, endsText);
    if (slice && slice->text.contains(hit.text) && slice->text != hit.text) {
        hit.context = slice->text;
        hit.wordOffset = slice->wordOffset;
    }
}

// The word under the pointer as the strip's reading gives it; `read` is false where the engine was
// unsure of it (its text is then empty).
struct StripHit
{
    RecognizedHit hit;
    bool read = true;
};

std::optional<StripHit> bestHit(const std::vector<Native::RecognizedLine> &lines, const QRectF &region, QPointF pointer,
                                QSizeF cropSize)
{
    std::optional<Best> best;
    for (const Native::RecognizedLine &line : lines) {
        const QRectF lineBox = imageRect(line.box, region);
        for (const QRectF &unsure : line.unsure) {
            auto candidate = candidateHit(QString(), imageRect(unsure, region), pointer, cropSize);
            if (candidate && (!best || candidate->isBetter(best->candidate))) {
                candidate->unsure = true;
                best = Best {std::move(*candidate), line.text, lineBox, 0, 0};
            }
        }
        if (line.text.isEmpty())
            continue;
        const double characters = static_cast<double>(std::max<qsizetype>(Text::graphemeCount(line.text), 1));
        Text::enumerateWords(line.text, [&](const Text::Segment &segment) {
            if (!Text::isWordLike(segment))
                return true;
            const auto word = normalizedWord(QStringView(line.text).mid(segment.start, segment.length));
            if (!word)
                return true;
            QRectF box;
            if (auto framed = line.boundingBox(segment.start, segment.length)) {
                box = *framed;
            } else {
                const double before = Text::graphemeCount(QStringView(line.text).left(segment.start));
                const double inWord = Text::graphemeCount(QStringView(line.text).mid(segment.start, segment.length));
                box = QRectF(line.box.left() + before / characters * line.box.width(), line.box.top(),
                             inWord / characters * line.box.width(), line.box.height());
            }
            box = imageRect(box, region);
            auto candidate = candidateHit(*word, box, pointer, cropSize);
            if (candidate && (!best || candidate->isBetter(best->candidate)))
                best = Best {std::move(*candidate), line.text, lineBox, segment.start, segment.length};
            return true;
        });
    }
    if (!best)
        return std::nullopt;
    // A pointer on a word the engine was unsure of is on that word, not on its neighbour: only the
    // readings of the word on its own can give it.
    if (best->candidate.unsure)
        return StripHit {RecognizedHit {QString(), best->candidate.box, std::nullopt, std::nullopt}, false};
    RecognizedHit hit {best->candidate.word, best->candidate.box, std::nullopt, std::nullopt};
    context(hit, *best);
    return StripHit {std::move(hit), true};
}

// A word without its accents and case: two readings that agree in it are of the same word.
QString folded(const QString &word)
{
    QString out;
    for (const QChar c : word.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            out.append(c);
    }
    return out.toCaseFolded();
}

// A character without its accents and case, and whether it had an accent.
std::pair<QString, bool> baseOf(char32_t c)
{
    const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_D);
    bool accented = false;
    for (const QChar mark : QStringView(decomposed).mid(1))
        accented = accented || mark.category() == QChar::Mark_NonSpacing;
    return {decomposed.left(1).toCaseFolded(), accented};
}

// Two readings of one word agree on every letter, except that an accented letter of `accented` may
// stand for one or two other characters of `plain`: a model that cannot write "ñ" or "ô" reads "fi"
// or "é" there. Compared without case.
bool sameButForAccents(const QString &plain, const QString &accented)
{
    std::vector<std::pair<QString, bool>> letters;
    for (const uint c : accented.toUcs4())
        letters.push_back(baseOf(char32_t(c)));
    std::vector<QString> others;
    for (const uint c : plain.toUcs4())
        others.push_back(baseOf(char32_t(c)).first);
    // stands[i][j]: the first i characters of `plain` stand for the first j letters of `accented`.
    const std::size_t m = others.size();
    const std::size_t n = letters.size();
    std::vector<std::vector<bool>> stands(m + 1, std::vector<bool>(n + 1, false));
    stands[0][0] = true;
    for (std::size_t i = 0; i <= m; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            if (!stands[i][j])
                continue;
            const auto &[base, isAccented] = letters[j];
            if (i < m && (isAccented || others[i] == base))
                stands[i + 1][j + 1] = true;
            if (isAccented && i + 2 <= m)
                stands[i + 2][j + 1] = true;
        }
    }
    return stands[m][n];
}

// The word under the pointer is read again on its own by a model that knows accented letters, and
// shown (with its accents) only when another sure reading is the same word: the strip's, else the
// word read alone by the strip's model. Where those differ only at accented letters, which the
// strip's model cannot write, the accented model must read the word the same once more, from a
// larger image (where it is less sure, but the same answer from other pixels is what counts). An
// accented reading the model is unsure of counts where both other readings are sure of its letters,
// and its accents where it reads them again the same. Anything else is a guess, and nothing is shown.
std::optional<RecognizedHit> confirmed(StripHit found,
                                       const std::function<std::optional<WordReading>(WordReader)> &read)
{
    const auto reading = [&](WordReader reader) -> std::optional<std::pair<QString, bool>> {
        const auto word = read(reader);
        const auto text = word ? normalizedWord(word->text) : std::nullopt;
        if (!text)
            return std::nullopt;
        return std::pair {*text, word->confidence >= minimumConfidence};
    };
    const auto accentedReading = reading(WordReader::accented);
    if (!accentedReading)
        return std::nullopt;
    const auto &[accented, sure] = *accentedReading;
    const std::optional<QString> strip = found.read ? std::optional<QString>(found.hit.text) : std::nullopt;
    std::optional<QString> alone;
    const auto readAlone = [&] {
        if (const auto word = reading(WordReader::lines); word && word->second)
            alone = word->first;
    };
    const auto same = [&](const std::optional<QString> &other) { return other && folded(*other) == folded(accented); };
    const auto readAgainTheSame = [&] {
        const auto again = reading(WordReader::accentedLarger);
        return again && again->first == accented;
    };
    bool agreed = false;
    if (sure) {
        agreed = same(strip);
        if (!agreed) {
            readAlone();
            agreed = same(alone);
        }
        if (!agreed) {
            const bool alike =
                (strip && sameButForAccents(*strip, accented)) || (alone && sameButForAccents(*alone, accented));
            agreed = alike && readAgainTheSame();
        }
    } else {
        readAlone();
        agreed =
            same(strip) && same(alone) && (accented.compare(*strip, Qt::CaseInsensitive) == 0 || readAgainTheSame());
    }
    if (!agreed)
        return std::nullopt;
    RecognizedHit hit = std::move(found.hit);
    if (hit.context && hit.wordOffset && hit.context->mid(*hit.wordOffset, hit.text.size()) == hit.text)
        hit.context->replace(*hit.wordOffset, hit.text.size(), accented);
    hit.text = accented;
    return hit;
}

// A rectangle normalised to the image (origin bottom-left) in the image's pixels (origin top-left).
QRect pixelRect(const QImage &image, const QRectF &r)
{
    return QRectF(r.left() * image.width(), (1 - r.bottom()) * image.height(), r.width() * image.width(),
                  r.height() * image.height())
        .toAlignedRect();
}

// Something is drawn in the rectangle (image pixels): it is not one even tone.
bool hasInk(const QImage &image, const QRect &rect)
{
    const QRect inside = rect & image.rect();
    int lowest = 255;
    int highest = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const int grey = qGray(image.pixel(x, y));
            lowest = std::min(lowest, grey);
            highest = std::max(highest, grey);
        }
    }
    return highest - lowest > 96;
}

// Pixels read beside the strip, placed in the strip image's pixels (which they lie outside of).
struct Beside
{
    QImage image;
    QRectF place;

    // Something is drawn in a rectangle of the strip image's pixels that lies in these.
    std::optional<bool> hasInkAt(const QRect &r) const
    {
        if (image.isNull() || !(place.width() > 0) || !(place.height() > 0))
            return std::nullopt;
        const double sx = image.width() / place.width();
        const double sy = image.height() / place.height();
        const QRect mapped =
            QRectF((r.left() - place.left()) * sx, (r.top() - place.top()) * sy, r.width() * sx, r.height() * sy)
                .toAlignedRect()
            & image.rect();
        if (mapped.isEmpty())
            return std::nullopt;
        return hasInk(image, mapped);
    }
};

// A terminal breaks a long line at its last column, inside a word if need be. A word that reaches
// the window's right edge may go on at the start of the next row: it is half a word where that row
// starts at the window's left edge, and may be where that edge is not in the capture. A word at the
// left edge under a row that reaches the right edge may be the rest of one; where the right edge is
// not in the strip, the window's end read beside it (`beside`) tells, and without it that cannot be
// told. Near is within the height of the word's glyphs; rectangles are normalised to the image
// (origin bottom-left), the window's (inside its border) may reach beyond it.
bool mayBeHalfAWord(const QImage &image, const QRectF &word, const QRectF &window, const std::optional<Beside> &beside)
{
    const QRect w = pixelRect(image, word);
    const QRect f = pixelRect(image, window);
    const int near = std::max(w.height(), 1);
    const bool leftInView = f.left() >= 0;
    const bool rightInView = f.right() < image.width();
    if (rightInView && f.right() - w.right() <= near)
        return !leftInView || hasInk(image, QRect(f.left(), w.bottom() + 1, near, near) & f);
    if (leftInView && w.left() - f.left() <= near) {
        const QRect rowAboveEnds = QRect(f.right() - near + 1, w.top() - near, near, near) & f;
        if (rightInView)
            return hasInk(image, rowAboveEnds);
        return !beside || beside->hasInkAt(rowAboveEnds).value_or(true);
    }
    return false;
}

// A word the strip's edge cuts shows only part of its letters: the edge is the strip's own, not the
// window's, wherever the word's box meets it (image pixels, within one).
bool touchesTheEdge(const QImage &image, const QRectF &word)
{
    const QRect w = pixelRect(image, word);
    return w.left() <= 1 || w.top() <= 1 || w.right() >= image.width() - 2 || w.bottom() >= image.height() - 2;
}

// A row of pixels within the region that is all one tone (within a little, for smoothing), and
// that tone.
std::optional<int> evenTone(const QImage &image, int y, int left, int right)
{
    std::array<int, 256> counts {};
    const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
    for (int x = left; x <= right; ++x)
        ++counts[std::size_t(qGray(row[x]))];
    const int total = right - left + 1;
    int seen = 0;
    int median = 0;
    while (median < 255 && seen + counts[std::size_t(median)] <= total / 2)
        seen += counts[std::size_t(median++)];
    int near = 0;
    for (int g = std::max(0, median - 24); g <= std::min(255, median + 24); ++g)
        near += counts[std::size_t(g)];
    if (near * 20 < total * 19)
        return std::nullopt;
    return median;
}

// The strip with only the pane the pointer is in left to read: a pane's border (a tool bar's edge
// over a terminal's text, the frame of a text view) is a straight line between two even rows of
// clearly different tones across the whole region, which no line of text draws. Letters that come
// within a pixel or two of such a line would be read as one shape with it, and whatever lies beyond
// it holds none of the pointer's words: across the region it is painted over with the pane's own
// ground, which leaves the letters the margin of ground the engine reads best with. `pointerRow` is
// in image pixels.
QImage paneOnly(const QImage &picture, const QRectF &region, int pointerRow)
{
    const bool flat = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
        || picture.format() == QImage::Format_ARGB32_Premultiplied;
    QImage image = flat ? picture : picture.convertToFormat(QImage::Format_RGB32);
    const QRect r = pixelRect(image, region) & image.rect();
    if (r.height() < 3 || r.width() < 8 || pointerRow <= r.top() || pointerRow >= r.bottom())
        return picture;
    std::vector<std::optional<int>> tones;
    tones.reserve(std::size_t(r.height()));
    for (int y = r.top(); y <= r.bottom(); ++y)
        tones.push_back(evenTone(image, y, r.left(), r.right()));
    const auto borderBelow = [&](int y) {
        const auto &a = tones[std::size_t(y - r.top())];
        const auto &b = tones[std::size_t(y + 1 - r.top())];
        return a && b && std::abs(*a - *b) > 48;
    };
    int top = r.top();
    for (int y = pointerRow - 1; y >= r.top(); --y) {
        if (borderBelow(y)) {
            top = y + 1;
            break;
        }
    }
    int bottom = r.bottom();
    for (int y = pointerRow; y < r.bottom(); ++y) {
        if (borderBelow(y)) {
            bottom = y;
            break;
        }
    }
    // A pane lower than a line of small text is no pane to read from.
    if (bottom - top < 8 || (top == r.top() && bottom == r.bottom()))
        return picture;
    const auto paint = [&](int from, int to, int edge) {
        const QRgb ground = reinterpret_cast<const QRgb *>(image.constScanLine(edge))[r.left()];
        for (int y = from; y <= to; ++y) {
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            std::fill(row + r.left(), row + r.right() + 1, ground);
        }
    };
    paint(r.top(), top - 1, top);
    paint(bottom + 1, r.bottom(), bottom);
    return image;
}

QImage sampleImage()
{
    // Fonts need the GUI application; without one there is nothing to draw with.
    if (!qGuiApp)
        return {};
    QImage image(240, 48, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("Helvetica"));
    font.setPixelSize(28);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(12, image.height() - 12), QStringLiteral("Lumivox")); // baseline 12 px up
    return image;
}

} // namespace

QCoro::Task<> warmUp()
{
    if (AppIdentity::isRunningInCI())
        co_return;
    auto engine = Native::service<Native::TextRecognition>();
    QFuture<void> done = QtConcurrent::task([engine] {
                             const QImage sample = sampleImage();
                             if (!sample.isNull())
                                 (void)engine->recognize(sample, QRectF(0, 0, 1, 1));
                         })
                             .withPriority(utilityPriority)
                             .spawn();
    co_await done;
}

QCoro::Task<std::optional<RecognizedHit>> recognizeWord(QImage image, QRectF cropRect, QPointF mouse,
                                                        std::optional<QRectF> window)
{
    return recognizeWord(ScreenCaptureService::CaptureResult {std::move(image), cropRect, mouse, window, std::nullopt});
}

QCoro::Task<std::optional<RecognizedHit>> recognizeWord(ScreenCaptureService::CaptureResult capture)
{
    const QRectF cropRect = capture.cropRect;
    const QPointF mouse = capture.mouse;
    const std::optional<QRectF> &window = capture.windowFrame;
    if (AppIdentity::isRunningInCI() || !(cropRect.width() > 0) || !(cropRect.height() > 0))
        co_return std::nullopt;
    const QImage image = std::move(capture.image);
    const QPointF pointer((mouse.x() - cropRect.left()) / cropRect.width(),
                          1 - (mouse.y() - cropRect.top()) / cropRect.height());
    QRectF region = regionOfInterest(pointer.y(), cropRect.height());
    // Only the window's part of the capture is read: a neighbour's text holds none of its words, and a
    // neighbour of the other tone (a dark terminal beside a light page) would mislead the engine as
    // to which is text and which is ground. A window that does not hold the pointer is out of date.
    // Its border, which the engine would read as a letter of the words beside it, is left out.
    std::optional<QRectF> windowInImage;
    if (const QRectF inside = window ? window->adjusted(2, 2, -2, -2) : QRectF(); inside.contains(mouse)) {
        windowInImage = QRectF((inside.left() - cropRect.left()) / cropRect.width(),
                               1 - (inside.bottom() - cropRect.top()) / cropRect.height(),
                               inside.width() / cropRect.width(), inside.height() / cropRect.height());
        region.setLeft(std::max(region.left(), windowInImage->left()));
        region.setRight(std::min(region.right(), windowInImage->right()));
    }
    std::optional<Beside> beside;
    if (const auto &end = capture.windowEnd) {
        const double sx = image.width() / cropRect.width();
        const double sy = image.height() / cropRect.height();
        beside = Beside {end->image,
                         QRectF((end->rect.left() - cropRect.left()) * sx, (end->rect.top() - cropRect.top()) * sy,
                                end->rect.width() * sx, end->rect.height() * sy)};
    }

    auto engine = Native::service<Native::TextRecognition>();
    // Named, not a temporary of the co_await expression: GCC 12 destroys such temporaries twice.
    QFuture<std::optional<RecognizedHit>> recognition =
        QtConcurrent::task([engine, strip = image, region, pointer, windowInImage, beside, size = cropRect.size()] {
            const QImage image =
                strip.isNull() ? strip : paneOnly(strip, region, int((1 - pointer.y()) * strip.height()));
            // Only the pointer's line is read: the sentence comes from it alone.
            const double focus = (pointer.y() - region.top()) / region.height();
            const Native::RecognitionReply reply = engine->recognize(image, region, focus);
            const auto *lines = std::get_if<std::vector<Native::RecognizedLine>>(&reply);
            if (!lines)
                return std::optional<RecognizedHit>();
            auto found = bestHit(*lines, region, pointer, size);
            if (!found || touchesTheEdge(image, found->hit.visionBox)
                || (windowInImage && mayBeHalfAWord(image, found->hit.visionBox, *windowInImage, beside)))
                return std::optional<RecognizedHit>();
            const QRectF box = found->hit.visionBox;
            return confirmed(std::move(*found),
                             [&](WordReader reader) { return engine->readWord(image, box, reader); });
        })
            .withPriority(userInitiatedPriority)
            .spawn();
    co_return co_await recognition;
}

} // namespace Lumivox::TextRecognizer
