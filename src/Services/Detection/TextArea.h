#pragma once

// The text area of the pane under the pointer in a captured strip of screen, told from its pixels
// alone, whatever program drew it: its rows lie between the borders above and below the pointer (a
// tool bar's edge, a frame), its columns between the borders beside it (a scroll bar, the gutter of
// an editor's line numbers, a pane's frame) or the window's edges, and one ground fills it. A
// terminal breaks a long line at the area's last column, inside a word if need be, and goes on at
// the next row's first; whether a row runs on so is told from the ink at those ends.
// Everything here is in image pixels (origin top-left, inclusive QRects).

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRectF>

#include <optional>

namespace Lumivox::TextArea {

struct Area
{
    QRect rect;
    /// Whether a side of `rect` is the area's own end (a border, or the window's edge) rather than
    /// where the strip cuts it.
    bool leftIsEnd = false;
    bool rightIsEnd = false;
    /// The area's ground: its grey, and a pixel of it.
    int ground = 255;
    QRgb groundColour = qRgb(255, 255, 255);
    /// The image's pixels per point.
    double scale = 1;
};

/// Pixels of the window's right end read beside the strip, placed in the strip image's pixels
/// (which they lie to the right of).
struct Beside
{
    QImage image;
    QRectF place;
};

/// The area around `pointer` within `region`, the part of the strip that is read. `window` is the
/// window's inside, which may reach beyond the image; `scale` is the image's pixels per point.
Area find(const QImage &image, const QRect &region, const std::optional<QRect> &window, QPoint pointer,
          double scale = 1);

/// The image with all of `region` outside the area painted with the area's ground: the engine then
/// reads neither a neighbouring pane, nor a tool bar's labels, nor a gutter's numbers into the
/// pointer's line, and letters near a border keep the margin of ground it reads best with. The
/// image itself where nothing is painted.
QImage paneOnly(const QImage &image, const QRect &region, const Area &area);

/// How a row of text meets the ends of its area.
struct RowEnds
{
    /// The row starts at the area's left end under a row that runs on to its right end, or where
    /// that cannot be told: its first word may be the rest of one.
    bool continuesAbove = false;
    /// The row runs on to the area's right end over a row that starts at its left end, or where
    /// that cannot be told: its last word may go on there.
    bool continuesBelow = false;
    /// Where its text may go on beyond what was read, at either side: a terminal's break, the
    /// strip's own edge cutting the row, or ink beside the line that the engine did not read.
    bool cutBefore = false;
    bool cutAfter = false;

    QRect area;
    /// How near an end a word still reaches it: a character cell and a half.
    int reach = 0;

    /// A word of the row (its ink) that may be half of one the terminal broke: the row's first
    /// word under a row that runs on, or its last over one that goes on.
    bool mayBeHalf(const QRect &word) const
    {
        return (continuesAbove && word.left() - area.left() <= reach)
            || (continuesBelow && area.right() - word.right() <= reach);
    }
};

/// `line` is the row's ink, `pitch` the width of one of its characters.
RowEnds rowEnds(const QImage &image, const Area &area, const QRect &line, double pitch,
                const std::optional<Beside> &beside);

/// A rectangle normalised to the image (origin bottom-left) in the image's pixels.
QRect pixelRect(const QImage &image, const QRectF &normalised);

} // namespace Lumivox::TextArea
