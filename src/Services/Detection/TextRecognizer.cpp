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

#include <cmath>

namespace Lumivox::TextRecognizer {

namespace {

// Thread-pool priorities: a hover waits on its recognition, the warm-up waits on nothing.
constexpr int userInitiatedPriority = 2;
constexpr int utilityPriority = 0;

constexpr double bandHeight = 80; // points of a tall strip that are recognised around the pointer
constexpr qsizetype maximumWordLength = 32;

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

std::optional<RecognizedHit> bestHit(const std::vector<Native::RecognizedLine> &lines, const QRectF &region,
                                     QPointF pointer, QSizeF cropSize)
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
    // A guess is worse than nothing: a pointer on a word read without confidence reads none.
    if (!best || best->candidate.unsure)
        return std::nullopt;
    RecognizedHit hit {best->candidate.word, best->candidate.box, std::nullopt, std::nullopt};
    context(hit, *best);
    return hit;
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

// The word under the pointer is read a second time on its own, by a model that knows accented
// letters: where the two readings are the same word, the second (with its accents) is shown; where
// they differ, the reading is a guess, and nothing is shown.
std::optional<RecognizedHit> confirmed(RecognizedHit hit, const std::optional<QString> &again)
{
    const auto second = again ? normalizedWord(*again) : std::nullopt;
    if (!second || folded(*second) != folded(hit.text))
        return std::nullopt;
    if (hit.context && hit.wordOffset && hit.context->mid(*hit.wordOffset, hit.text.size()) == hit.text)
        hit.context->replace(*hit.wordOffset, hit.text.size(), *second);
    hit.text = *second;
    return hit;
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

QCoro::Task<std::optional<RecognizedHit>> recognizeWord(QImage image, QRectF cropRect, QPointF mouse)
{
    if (AppIdentity::isRunningInCI() || !(cropRect.width() > 0) || !(cropRect.height() > 0))
        co_return std::nullopt;
    const QPointF pointer((mouse.x() - cropRect.left()) / cropRect.width(),
                          1 - (mouse.y() - cropRect.top()) / cropRect.height());
    const QRectF region = regionOfInterest(pointer.y(), cropRect.height());

    // Only the pointer's line is read: the sentence comes from it alone.
    const double focus = (pointer.y() - region.top()) / region.height();
    auto engine = Native::service<Native::TextRecognition>();
    // Named, not a temporary of the co_await expression: GCC 12 destroys such temporaries twice.
    QFuture<std::optional<RecognizedHit>> recognition =
        QtConcurrent::task([engine, image, region, focus, pointer, size = cropRect.size()] {
            const Native::RecognitionReply reply = engine->recognize(image, region, focus);
            const auto *lines = std::get_if<std::vector<Native::RecognizedLine>>(&reply);
            if (!lines)
                return std::optional<RecognizedHit>();
            auto hit = bestHit(*lines, region, pointer, size);
            if (!hit)
                return hit;
            return confirmed(std::move(*hit), engine->readWord(image, hit->visionBox));
        })
            .withPriority(userInitiatedPriority)
            .spawn();
    co_return co_await recognition;
}

} // namespace Lumivox::TextRecognizer
