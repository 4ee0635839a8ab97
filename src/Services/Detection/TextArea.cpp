#include "Services/Detection/TextArea.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

namespace Lumivox::TextArea {

namespace {

// Two even lines of pixels whose tones differ by more than this meet at a border: the edge of a
// tool bar, a scroll bar or a gutter, which no line of text draws.
constexpr int borderContrast = 24;
// Ink differs from the ground by more than this; smoothing at a glyph's edge may not.
constexpr int inkContrast = 64;
// A column is told from a glyph's stroke only over more than a row of text or two: over fewer
// points of height the pane's sides are not looked for.
constexpr double columnSpanPoints = 30;
// A pane lower than a line of small text is no pane to read from.
constexpr int lowestPane = 8;

QImage flat(const QImage &image)
{
    const auto format = image.format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
        || format == QImage::Format_ARGB32_Premultiplied)
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

QRgb pixelAt(const QImage &image, int x, int y)
{
    return reinterpret_cast<const QRgb *>(image.constScanLine(y))[x];
}

// A line of pixels that is all one tone (within a little, for smoothing), and that tone: the
// median of the `total` greys counted.
std::optional<int> evenTone(const std::array<int, 256> &counts, int total)
{
    if (total < 1)
        return std::nullopt;
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

std::optional<int> rowTone(const QImage &image, int y, int left, int right)
{
    std::array<int, 256> counts {};
    for (int x = left; x <= right; ++x)
        ++counts[std::size_t(qGray(pixelAt(image, x, y)))];
    return evenTone(counts, right - left + 1);
}

std::optional<int> columnTone(const QImage &image, int x, int top, int bottom)
{
    std::array<int, 256> counts {};
    for (int y = top; y <= bottom; ++y)
        ++counts[std::size_t(qGray(pixelAt(image, x, y)))];
    return evenTone(counts, bottom - top + 1);
}

bool meetAtBorder(const std::optional<int> &a, const std::optional<int> &b)
{
    return a && b && std::abs(*a - *b) > borderContrast;
}

// From `from` towards `to` (one step at a time), the first line that meets the next at a border;
// `tone` gives a line's tone. None when there is no border.
std::optional<int> firstBorder(int from, int to, const std::function<std::optional<int>(int)> &tone)
{
    const int step = to >= from ? 1 : -1;
    std::optional<int> previous = tone(from);
    for (int i = from; i != to; i += step) {
        const std::optional<int> next = tone(i + step);
        if (meetAtBorder(previous, next))
            return i;
        previous = next;
    }
    return std::nullopt;
}

// The rows of the pane: between the borders above and below `pointerRow`, across the columns.
std::pair<int, int> paneRows(const QImage &image, int top, int bottom, int left, int right, int pointerRow)
{
    if (bottom - top < 2 || right - left < 8 || pointerRow <= top || pointerRow >= bottom)
        return {top, bottom};
    std::vector<std::optional<int>> tones(std::size_t(bottom - top + 1));
    for (int y = top; y <= bottom; ++y)
        tones[std::size_t(y - top)] = rowTone(image, y, left, right);
    const auto tone = [&](int y) { return tones[std::size_t(y - top)]; };
    const auto above = firstBorder(pointerRow, top, tone);
    const auto below = firstBorder(pointerRow, bottom, tone);
    const int paneTop = above ? *above : top;
    const int paneBottom = below ? *below : bottom;
    if (paneBottom - paneTop < lowestPane)
        return {top, bottom};
    return {paneTop, paneBottom};
}

int medianGrey(const QImage &image, const QRect &r)
{
    std::array<int, 256> counts {};
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            ++counts[std::size_t(qGray(pixelAt(image, x, y)))];
    }
    const int total = r.width() * r.height();
    int seen = 0;
    int median = 0;
    while (median < 255 && seen + counts[std::size_t(median)] <= total / 2)
        seen += counts[std::size_t(median++)];
    return median;
}

// Some pixel of the rectangle stands out from the ground.
bool hasInk(const QImage &image, const QRect &rect, int ground)
{
    const QRect inside = rect & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (std::abs(qGray(pixelAt(image, x, y)) - ground) > inkContrast)
                return true;
        }
    }
    return false;
}

// The last column of the text area in the window's end read beside the strip, over the rows
// `top` to `bottom` of that piece: before its first border from the left, else inside the
// window's edge.
int endOfBeside(const QImage &piece, int top, int bottom, int edge, int minimumSpan)
{
    const int last = piece.width() - 1 - edge;
    if (bottom - top + 1 < minimumSpan || last < 1)
        return last;
    const auto border = firstBorder(0, last, [&](int x) { return columnTone(piece, x, top, bottom); });
    return border ? *border : last;
}

} // namespace

QRect pixelRect(const QImage &image, const QRectF &r)
{
    return QRectF(r.left() * image.width(), (1 - r.bottom()) * image.height(), r.width() * image.width(),
                  r.height() * image.height())
        .toAlignedRect();
}

Area find(const QImage &picture, const QRect &readRegion, const std::optional<QRect> &window, QPoint pointer,
          double scale)
{
    const QImage image = flat(picture);
    const QRect region = readRegion & image.rect();
    Area area;
    area.rect = region;
    area.scale = scale;
    area.leftIsEnd = window && window->left() >= 0;
    area.rightIsEnd = window && window->right() < image.width();
    if (region.isEmpty())
        return area;
    // A pointer on the region's very edge is taken for the pixel inside it.
    pointer = QPoint(std::clamp(pointer.x(), region.left(), region.right()),
                     std::clamp(pointer.y(), region.top(), region.bottom()));
    int top = region.top();
    int bottom = region.bottom();
    if (window) {
        top = std::max(top, window->top());
        bottom = std::min(bottom, window->bottom());
        if (bottom - top < lowestPane || pointer.y() < top || pointer.y() > bottom) {
            top = region.top();
            bottom = region.bottom();
        }
    }
    int left = region.left();
    int right = region.right();
    const int minimumSpan = int(std::ceil(columnSpanPoints * scale));
    // The rows and the sides depend on each other: a scroll bar breaks the rows' evenness in a
    // narrow window, a tool bar the columns'. The rows are looked for again within the sides.
    for (int pass = 0; pass < 2; ++pass) {
        std::tie(top, bottom) = paneRows(image, top, bottom, left, right, pointer.y());
        if (bottom - top + 1 < minimumSpan)
            break;
        const auto tone = [&](int x) { return columnTone(image, x, top, bottom); };
        if (const auto border = firstBorder(pointer.x(), left, tone)) {
            left = *border;
            area.leftIsEnd = true;
        }
        if (const auto border = firstBorder(pointer.x(), right, tone)) {
            right = *border;
            area.rightIsEnd = true;
        }
    }
    area.rect = QRect(QPoint(left, top), QPoint(right, bottom));
    area.ground = medianGrey(image, area.rect);
    area.groundColour = qRgb(area.ground, area.ground, area.ground);
    // A pixel of the ground itself, where the pointer's row has one, keeps its colour.
    for (int x = left; x <= right; ++x) {
        if (qGray(pixelAt(image, x, pointer.y())) == area.ground) {
            area.groundColour = pixelAt(image, x, pointer.y());
            break;
        }
    }
    return area;
}

QImage paneOnly(const QImage &picture, const QRect &readRegion, const Area &area)
{
    const QRect region = readRegion & picture.rect();
    const QRect &keep = area.rect;
    if (region.isEmpty() || keep.isEmpty() || keep == region || !region.contains(keep))
        return picture;
    QImage image = flat(picture);
    const auto paint = [&](int fromX, int toX, int fromY, int toY) {
        for (int y = fromY; y <= toY; ++y) {
            auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
            std::fill(row + fromX, row + toX + 1, area.groundColour);
        }
    };
    paint(region.left(), region.right(), region.top(), keep.top() - 1);
    paint(region.left(), region.right(), keep.bottom() + 1, region.bottom());
    paint(region.left(), keep.left() - 1, keep.top(), keep.bottom());
    paint(keep.right() + 1, region.right(), keep.top(), keep.bottom());
    return image;
}

RowEnds rowEnds(const QImage &picture, const Area &area, const QRect &line, double pitch,
                const std::optional<Beside> &beside)
{
    const QImage image = flat(picture);
    const QRect &r = area.rect;
    RowEnds ends;
    ends.area = r;
    ends.reach = int(std::ceil(1.5 * std::max(pitch, 1.0))) + 2;
    // A row's ink is lower than the row when it has no tall letters; monospaced cells are about
    // twice as high as wide.
    const int rowPitch = std::max(line.height(), int(std::lround(2 * pitch)));
    const int reach = ends.reach;

    const bool startsAtLeft = line.left() - r.left() <= reach;
    const bool endsAtRight = r.right() - line.right() <= reach;

    // The row may go on beyond what was read where a side is the strip's cut, not the area's end,
    // and the row comes within a space and a character of it (the cut can fall in the space between
    // two words, and the engine leaves out the letter it cut in half); and wherever the row has ink
    // that the engine did not read into its line (a word beside a text cursor).
    const double nearCut = std::max(2 * pitch, 0.01 * image.width());
    const int margin = std::max(2, int(std::lround(pitch / 2)));
    const auto inkBetween = [&](int left, int right) {
        return left <= right
            && hasInk(image, QRect(QPoint(left, line.top()), QPoint(right, line.bottom())), area.ground);
    };
    ends.cutBefore =
        (!area.leftIsEnd && line.left() - r.left() <= nearCut) || inkBetween(r.left(), line.left() - margin);
    ends.cutAfter =
        (!area.rightIsEnd && r.right() - line.right() <= nearCut) || inkBetween(line.right() + margin, r.right());

    if (area.leftIsEnd && startsAtLeft) {
        const QRect above = QRect(r.left(), line.top() - rowPitch, r.width(), rowPitch) & r;
        // The area's first row has none above it.
        if (above.height() * 2 >= rowPitch) {
            if (area.rightIsEnd) {
                ends.continuesAbove =
                    hasInk(image, QRect(r.right() - reach, above.top(), reach + 1, above.height()), area.ground);
            } else if (beside && !beside->image.isNull() && beside->place.width() > 0 && beside->place.height() > 0) {
                // The row above's end lies in the window's end read beside the strip.
                const QImage piece = flat(beside->image);
                const double sx = piece.width() / beside->place.width();
                const double sy = piece.height() / beside->place.height();
                const auto rowIn = [&](int y) {
                    return std::clamp(int(std::lround((y - beside->place.top()) * sy)), 0, piece.height() - 1);
                };
                const int end =
                    endOfBeside(piece, rowIn(r.top()), rowIn(r.bottom()), int(std::lround(2 * area.scale * sx)),
                                int(std::ceil(columnSpanPoints * area.scale * sy)));
                const int pieceReach = int(std::ceil(reach * sx));
                const QRect rows(QPoint(end - pieceReach, rowIn(above.top())), QPoint(end, rowIn(above.bottom())));
                ends.continuesAbove = hasInk(piece, rows, area.ground);
            } else {
                ends.continuesAbove = true; // the row above's end is not in sight
            }
        }
    }
    if (area.rightIsEnd && endsAtRight) {
        const QRect below = QRect(r.left(), line.bottom() + 1, r.width(), rowPitch) & r;
        if (below.height() * 2 >= rowPitch) {
            ends.continuesBelow =
                !area.leftIsEnd || hasInk(image, QRect(r.left(), below.top(), reach + 1, below.height()), area.ground);
        }
    }
    ends.cutBefore = ends.cutBefore || ends.continuesAbove;
    ends.cutAfter = ends.cutAfter || ends.continuesBelow;
    return ends;
}

} // namespace Lumivox::TextArea
