#include "Support/TerminalWindow.h"

#include "Support/FixtureProcess.h"
#include "Support/RunningLumivox.h"
#include "Support/TestSupport.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSaveFile>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace Lumivox::Testing {

namespace {

// Ink stands out from the ground by this much; a glyph's smoothed edge may not.
constexpr int inkContrast = 80;

QImage grab(Display *d, const QRect &r)
{
    XImage *shot =
        XGetImage(d, DefaultRootWindow(d), r.x(), r.y(), unsigned(r.width()), unsigned(r.height()), AllPlanes, ZPixmap);
    if (!shot)
        return {};
    QImage image(r.size(), QImage::Format_RGB32);
    for (int y = 0; y < r.height(); ++y) {
        for (int x = 0; x < r.width(); ++x)
            image.setPixel(x, y, QRgb(XGetPixel(shot, x, y)) | 0xff000000u);
    }
    XDestroyImage(shot);
    return image;
}

// Where the window shows its rows: the ground, the columns of text (up to whatever stands at their
// right, which is unlike the ground down the whole text area), and the bands of ink, top first.
struct Layout
{
    int ground = 0;
    int top = 0;
    int textRight = 0;
    std::vector<std::pair<int, int>> bands;

    bool isInk(QRgb p) const { return std::abs(qGray(p) - ground) > inkContrast; }
};

Layout layoutOf(const QImage &window)
{
    Layout l;
    // The ground is the colour of the lower left corner, where nothing is written; the text area
    // starts where that colour does, under any tool bar.
    l.ground = qGray(window.pixel(8, window.height() - 8));
    const int probe = window.width() - 40;
    while (l.top < window.height() && l.isInk(window.pixel(probe, l.top)))
        ++l.top;
    while (l.top < window.height() && qGray(window.pixel(probe, l.top)) != l.ground)
        ++l.top;
    const int bottom = window.height() - 8;
    l.textRight = window.width();
    for (int x = probe; x < window.width(); ++x) {
        int unlike = 0;
        for (int y = l.top; y < bottom; ++y)
            unlike += qGray(window.pixel(x, y)) != l.ground;
        if (unlike * 10 >= (bottom - l.top) * 9) {
            l.textRight = x;
            break;
        }
    }
    int bandTop = -1;
    for (int y = l.top; y < bottom; ++y) {
        bool ink = false;
        for (int x = 2; x < l.textRight && !ink; ++x)
            ink = l.isInk(window.pixel(x, y));
        if (ink && bandTop < 0)
            bandTop = y;
        else if (!ink && bandTop >= 0) {
            l.bands.emplace_back(bandTop, y - 1);
            bandTop = -1;
        }
    }
    return l;
}

// The leftmost and rightmost ink of a band.
std::pair<int, int> inkSpan(const QImage &window, const Layout &l, std::pair<int, int> band)
{
    int left = l.textRight;
    int right = -1;
    for (int y = band.first; y <= band.second; ++y) {
        for (int x = 2; x < l.textRight; ++x) {
            if (l.isInk(window.pixel(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return {left, right};
}

} // namespace

std::vector<QPoint> TerminalWindow::Word::points() const
{
    const int cell = box.width() / std::max<int>(1, int(text.size()));
    const int y = box.center().y();
    return {QPoint(box.left() + cell / 2, y), QPoint(box.center().x(), y), QPoint(box.right() - cell / 2, y)};
}

TerminalWindow::~TerminalWindow()
{
    endProcess(m_process);
}

bool TerminalWindow::fail(const QString &why)
{
    m_error = why;
    return false;
}

QStringList TerminalWindow::brokenWords(int columns, const std::vector<std::pair<QString, int>> &splits)
{
    static const QStringList starts {QStringLiteral("Sailors mend their nets"), QStringLiteral("Harbour lights glow"),
                                     QStringLiteral("Fishermen sing at dawn"), QStringLiteral("Travellers rest awhile"),
                                     QStringLiteral("Lighthouses stand tall")};
    QStringList lines {QStringLiteral("Lanterns glow by the quay till late")};
    for (std::size_t i = 0; i < splits.size(); ++i) {
        const auto &[word, inRow] = splits[i];
        const int at = columns - inRow;
        const QString filler = at > 30 ? QStringLiteral("Boats rest by the old quay") : QStringLiteral("Boats rest");
        lines << filler.leftJustified(at, u' ') + word + QStringLiteral(" and the tide");
        lines << starts[qsizetype(i) % starts.size()];
    }
    return lines;
}

bool TerminalWindow::start(const QString &program, const QStringList &arguments,
                           const std::function<QStringList(int columns)> &compose,
                           const QProcessEnvironment &environment)
{
    if (!m_dir.isValid())
        return fail(QStringLiteral("no folder for the terminal's text"));
    const QString text = m_dir.filePath(QStringLiteral("text"));
    // The script waits for a size the terminal has settled on (a window not yet shown has none),
    // tells it, and shows the text once it is there, the cursor a row below it: a block that
    // touches a row's letters makes them hard to read.
    const QString script = QStringLiteral("until s=$(stty size) && [ \"$s\" != \"0 0\" ]; do sleep 0.05; done; "
                                          "echo \"$s\" > \"$0.part\" && mv \"$0.part\" \"$0.size\"; "
                                          "until [ -s \"$0\" ]; do sleep 0.05; done; cat \"$0\"; echo; sleep 600");
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program,
                    QStringList(arguments)
                        << QStringLiteral("-e") << QStringLiteral("sh") << QStringLiteral("-c") << script << text);
    if (!m_process.waitForStarted(10000))
        return fail(program + QStringLiteral(" must be installed"));

    QFile sizeFile(text + QStringLiteral(".size"));
    if (!spinUntil([&] { return sizeFile.exists(); }, std::chrono::seconds(30)) || !sizeFile.open(QIODevice::ReadOnly))
        return fail(program + QStringLiteral(" never ran its script"));
    const QList<QByteArray> size = sizeFile.readAll().trimmed().split(' ');
    m_columns = size.value(1).toInt();
    if (m_columns < 20)
        return fail(QStringLiteral("the terminal is %1 columns wide").arg(m_columns));
    const QStringList lines = compose(m_columns);
    QSaveFile out(text);
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("no file for the terminal's text"));
    out.write(lines.join(u'\n').toUtf8() + '\n');
    if (!out.commit())
        return fail(QStringLiteral("the terminal's text was not written"));

    // Each line takes its rows; a broken word's pieces are found by where its letters fall.
    struct Piece
    {
        QString text;
        QString whole;
        int row;
        int column;
        bool first;
        bool second;
    };
    std::vector<Piece> pieces;
    static const QRegularExpression wordPattern(QStringLiteral("[\\w']+"),
                                                QRegularExpression::UseUnicodePropertiesOption);
    int rows = 0;
    for (const QString &line : lines) {
        for (auto m = wordPattern.globalMatch(line); m.hasNext();) {
            const auto match = m.next();
            const int start = int(match.capturedStart());
            const int end = int(match.capturedEnd());
            for (int at = start; at < end;) {
                const int rowEnd = std::min(end, (at / m_columns + 1) * m_columns);
                pieces.push_back({line.mid(at, rowEnd - at), match.captured(), rows + at / m_columns, at % m_columns,
                                  rowEnd<end, at> start});
                at = rowEnd;
            }
        }
        rows += std::max(1, int(line.size() + m_columns - 1) / m_columns);
    }

    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return fail(QStringLiteral("no display"));
    QImage window;
    Layout layout;
    // Shown once every row of the text has its ink (the cursor's row below them may too).
    const bool shown = spinUntil(
        [&] {
            const auto frames = windowsOf(d, m_process.processId());
            if (frames.empty())
                return false;
            m_frame = frames.front();
            window = grab(d, m_frame);
            if (window.isNull())
                return false;
            layout = layoutOf(window);
            return int(layout.bands.size()) >= rows;
        },
        std::chrono::seconds(30));
    XCloseDisplay(d);
    if (!shown)
        return fail(
            QStringLiteral("the terminal did not show its %1 rows (%2 seen)").arg(rows).arg(layout.bands.size()));

    // The cells' width and the first one's place, from the rows that fill every column: their ink
    // runs from the first cell to the last, less a glyph's side bearing at either end.
    std::vector<int> widths;
    std::vector<int> origins;
    for (const Piece &piece : pieces) {
        if (!piece.first)
            continue;
        const auto [left, right] = inkSpan(window, layout, layout.bands[std::size_t(piece.row)]);
        const int width = int(std::lround(double(right - left + 3) / m_columns));
        widths.push_back(width);
        origins.push_back(
            (std::max(left - 2, right + 1 - m_columns * width) + std::min(left, right + 3 - m_columns * width)) / 2);
    }
    if (widths.empty())
        return fail(QStringLiteral("no row fills the terminal's width"));
    std::sort(widths.begin(), widths.end());
    std::sort(origins.begin(), origins.end());
    const int cell = widths[widths.size() / 2];
    const int origin = origins[origins.size() / 2];
    m_words.clear();
    for (const Piece &piece : pieces) {
        const auto band = layout.bands[std::size_t(piece.row)];
        m_words.push_back({piece.text, piece.whole, piece.row, piece.column,
                           QRect(m_frame.x() + origin + piece.column * cell, m_frame.y() + band.first,
                                 int(piece.text.size()) * cell, band.second - band.first + 1),
                           piece.first, piece.second});
    }
    return true;
}

} // namespace Lumivox::Testing
