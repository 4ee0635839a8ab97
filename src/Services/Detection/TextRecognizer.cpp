#include "Services/Detection/TextRecognizer.h"

#include "Native/Geometry/Containment.h"
#include "Native/Services.h"
#include "Native/TextRecognition/TextRecognition.h"
#include "Services/Detection/SentenceSlice.h"
#include "Services/Detection/TextArea.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Text/TextUtils.h"

#include <QCoroFuture>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QtConcurrent/qtconcurrenttask.h>

#include <algorithm>
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

// The word under the pointer as the strip's reading gives it, with its line; `read` is false where
// the engine was unsure of it (its text is then empty).
struct StripHit
{
    RecognizedHit hit;
    bool read = true;
    QString line;
    QRectF lineBox; // normalised to the image, as the hit's box
    qsizetype start = 0; // the word's UTF-16 range in `line`
    qsizetype length = 0;
    double pitch = 0; // image pixels per character of the line
};

// How wide a character of the line is, in image pixels: its words' ink over their characters, each
// word given back the gap its outer letters leave inside their cells.
double pitchOf(const Native::RecognizedLine &line, const QRectF &region, int imageWidth)
{
    double width = 0;
    double characters = 0;
    for (const Native::RecognizedWord &word : line.words) {
        width += imageRect(word.box, region).width() * imageWidth + 1;
        characters += double(Text::graphemeCount(QStringView(line.text).mid(word.start, word.length)));
    }
    if (characters < 1) {
        width = imageRect(line.box, region).width() * imageWidth;
        characters = double(std::max<qsizetype>(Text::graphemeCount(line.text), 1));
    }
    return width / characters;
}

// The engine may read one word as two pieces, and be unsure of one of them: "Trave" and "llers",
// where a terminal's cursor touched the first letters. A word that another box of its line comes
// nearer to than the line's spaces are wide may be such a piece. Boxes as the engine gives them.
bool mayBeAPiece(const Native::RecognizedLine &line, const QRectF &region, const QRectF &box, int imageWidth,
                 double pitch)
{
    std::vector<std::pair<double, double>> spans;
    for (const Native::RecognizedWord &word : line.words) {
        const QRectF r = imageRect(word.box, region);
        spans.emplace_back(r.left() * imageWidth, r.right() * imageWidth);
    }
    for (const QRectF &unsure : line.unsure) {
        const QRectF r = imageRect(unsure, region);
        spans.emplace_back(r.left() * imageWidth, r.right() * imageWidth);
    }
    std::sort(spans.begin(), spans.end());
    const double centre = box.center().x() * imageWidth;
    std::vector<double> own;
    std::vector<double> others;
    for (std::size_t i = 1; i < spans.size(); ++i) {
        const double gap = spans[i].first - spans[i - 1].second;
        const bool touchesIt = (spans[i - 1].first <= centre && centre <= spans[i - 1].second)
            || (spans[i].first <= centre && centre <= spans[i].second);
        (touchesIt ? own : others).push_back(gap);
    }
    if (own.empty())
        return false;
    // Without other spaces to go by, half a character is narrower than any space between words.
    double nearer = 0.5 * pitch;
    if (!others.empty()) {
        std::nth_element(others.begin(), others.begin() + std::ptrdiff_t(others.size() / 2), others.end());
        nearer = 0.6 * others[others.size() / 2];
    }
    return std::any_of(own.begin(), own.end(), [&](double gap) { return gap <= nearer; });
}

std::optional<StripHit> bestHit(const std::vector<Native::RecognizedLine> &lines, const QRectF &region, QPointF pointer,
                                QSizeF cropSize, int imageWidth)
{
    std::optional<Best> best;
    const Native::RecognizedLine *bestLine = nullptr;
    for (const Native::RecognizedLine &line : lines) {
        const QRectF lineBox = imageRect(line.box, region);
        for (const QRectF &unsure : line.unsure) {
            auto candidate = candidateHit(QString(), imageRect(unsure, region), pointer, cropSize);
            if (candidate && (!best || candidate->isBetter(best->candidate))) {
                candidate->unsure = true;
                best = Best {std::move(*candidate), line.text, lineBox, 0, 0};
                bestLine = &line;
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
            if (candidate && (!best || candidate->isBetter(best->candidate))) {
                best = Best {std::move(*candidate), line.text, lineBox, segment.start, segment.length};
                bestLine = &line;
            }
            return true;
        });
    }
    if (!best)
        return std::nullopt;
    const double pitch = pitchOf(*bestLine, region, imageWidth);
    if (mayBeAPiece(*bestLine, region, best->candidate.box, imageWidth, pitch))
        return std::nullopt;
    StripHit found {RecognizedHit {best->candidate.word, best->candidate.box, std::nullopt, std::nullopt},
                    true,
                    best->line,
                    best->lineBox,
                    best->start,
                    best->length,
                    pitch};
    // A pointer on a word the engine was unsure of is on that word, not on its neighbour: only the
    // readings of the word on its own can give it.
    if (best->candidate.unsure) {
        found.hit.text.clear();
        found.read = false;
    }
    return found;
}

/// The sentence of the word's line, as far as the row read shows it: where the row's text may go
/// on beyond what was read (past the strip's edge, or on the next row of a terminal), a partial
/// word at that end is left out, and a sentence that runs on there is marked cut on that side with
/// an ellipsis, as a sentence cut from a longer text is.
void context(RecognizedHit &hit, const StripHit &found, const TextArea::RowEnds &ends)
{
    const auto slice =
        AccessibilityTextService::sentenceSlice(found.line, found.start, found.length, !ends.cutBefore, !ends.cutAfter);
    if (!slice || !slice->text.contains(hit.text) || slice->text == hit.text)
        return;
    Text::Segment sentence {0, found.line.size()};
    Text::enumerateSentences(found.line, [&](const Text::Segment &s) {
        if (found.start >= s.start && found.start < s.end()) {
            sentence = s;
            return false;
        }
        return true;
    });
    static const QString ellipsis(QChar(0x2026));
    QString text = slice->text;
    qsizetype offset = slice->wordOffset;
    if (ends.cutBefore && sentence.start == 0 && !text.startsWith(ellipsis)) {
        text.prepend(ellipsis);
        offset += ellipsis.size();
    }
    if (ends.cutAfter && sentence.end() == found.line.size() && !text.endsWith(ellipsis))
        text.append(ellipsis);
    hit.context = std::move(text);
    hit.wordOffset = offset;
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

// A word the strip's edge cuts shows only part of its letters: the edge is the strip's own, not the
// window's, wherever the word's box meets it (image pixels, within one).
bool touchesTheEdge(const QImage &image, const QRectF &word)
{
    const QRect w = TextArea::pixelRect(image, word);
    return w.left() <= 1 || w.top() <= 1 || w.right() >= image.width() - 2 || w.bottom() >= image.height() - 2;
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
    std::optional<TextArea::Beside> beside;
    const double scale = image.height() / cropRect.height();
    if (const auto &end = capture.windowEnd) {
        const double sx = image.width() / cropRect.width();
        beside = TextArea::Beside {end->image,
                                   QRectF((end->rect.left() - cropRect.left()) * sx,
                                          (end->rect.top() - cropRect.top()) * scale, end->rect.width() * sx,
                                          end->rect.height() * scale)};
    }

    auto engine = Native::service<Native::TextRecognition>();
    // Named, not a temporary of the co_await expression: GCC 12 destroys such temporaries twice.
    QFuture<std::optional<RecognizedHit>> recognition =
        QtConcurrent::task(
            [engine, strip = image, region, pointer, windowInImage, beside, scale, size = cropRect.size()] {
                if (strip.isNull())
                    return std::optional<RecognizedHit>();
                const QRect regionPixels = TextArea::pixelRect(strip, region) & strip.rect();
                const QPoint pointerPixel(int(pointer.x() * strip.width()), int((1 - pointer.y()) * strip.height()));
                std::optional<QRect> windowPixels;
                if (windowInImage)
                    windowPixels = TextArea::pixelRect(strip, *windowInImage);
                const TextArea::Area area = TextArea::find(strip, regionPixels, windowPixels, pointerPixel, scale);
                const QImage image = TextArea::paneOnly(strip, regionPixels, area);
                // Only the pointer's line is read: the sentence comes from it alone.
                const double focus = (pointer.y() - region.top()) / region.height();
                const Native::RecognitionReply reply = engine->recognize(image, region, focus);
                const auto *lines = std::get_if<std::vector<Native::RecognizedLine>>(&reply);
                if (!lines)
                    return std::optional<RecognizedHit>();
                auto found = bestHit(*lines, region, pointer, size, image.width());
                if (!found || touchesTheEdge(image, found->hit.visionBox))
                    return std::optional<RecognizedHit>();
                const TextArea::RowEnds ends =
                    TextArea::rowEnds(image, area, TextArea::pixelRect(image, found->lineBox), found->pitch, beside);
                if (ends.mayBeHalf(TextArea::pixelRect(image, found->hit.visionBox)))
                    return std::optional<RecognizedHit>();
                if (found->read)
                    context(found->hit, *found, ends);
                const QRectF box = found->hit.visionBox;
                return confirmed(std::move(*found),
                                 [&](WordReader reader) { return engine->readWord(image, box, reader); });
            })
            .withPriority(userInitiatedPriority)
            .spawn();
    co_return co_await recognition;
}

} // namespace Lumivox::TextRecognizer
