#include "Support/Xterm.h"

#include "Support/FixtureProcess.h"
#include "Support/RunningLumivox.h"
#include "Support/TestSupport.h"

#include <QFile>
#include <QRegularExpression>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace Lumivox::Testing {

namespace {

// Some pixel of the rectangle is dark: xterm draws black glyphs on white.
bool hasInk(Display *d, const QRect &r)
{
    XImage *image =
        XGetImage(d, DefaultRootWindow(d), r.x(), r.y(), unsigned(r.width()), unsigned(r.height()), AllPlanes, ZPixmap);
    if (!image)
        return false;
    bool ink = false;
    for (int y = 0; y < r.height() && !ink; ++y) {
        for (int x = 0; x < r.width() && !ink; ++x)
            ink = (XGetPixel(image, x, y) & 0xff) < 0x80;
    }
    XDestroyImage(image);
    return ink;
}

} // namespace

Xterm::~Xterm()
{
    endProcess(m_process);
}

bool Xterm::start(int columns, int rows, QPoint at, const QStringList &lines)
{
    QFile file(m_dir.filePath(QStringLiteral("lines.txt")));
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly))
        return false;
    file.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    file.close();

    m_words.clear();
    static const QRegularExpression wordPattern(QStringLiteral("[\\w']+"),
                                                QRegularExpression::UseUnicodePropertiesOption);
    const QPoint origin = at + QPoint(border, border);
    int row = 0;
    for (const QString &line : lines) {
        for (auto m = wordPattern.globalMatch(line); m.hasNext();) {
            const auto match = m.next();
            for (int cell = int(match.capturedStart()); cell < int(match.capturedEnd());) {
                const int end = std::min(int(match.capturedEnd()), (cell / columns + 1) * columns);
                m_words.push_back(
                    {match.captured(),
                     QRect(origin.x() + cellWidth * (cell % columns), origin.y() + cellHeight * (row + cell / columns),
                           cellWidth * (end - cell), cellHeight)});
                cell = end;
            }
        }
        row += std::max(1, int(line.size() + columns - 1) / columns);
    }
    if (m_words.empty())
        return false;

    m_process.start(QStringLiteral("xterm"),
                    {QStringLiteral("-u8"), QStringLiteral("-geometry"),
                     QStringLiteral("%1x%2+%3+%4").arg(columns).arg(rows).arg(at.x()).arg(at.y()), QStringLiteral("-e"),
                     QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("cat \"$0\"; echo; sleep 600"),
                     file.fileName()});
    if (!m_process.waitForStarted(10000))
        return false;
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return false;
    // Mapped, and the last word drawn: a terminal that has just mapped shows its ground alone.
    const bool drawn = spinUntil(
        [&] {
            const auto frames = windowsOf(d, m_process.processId());
            if (frames.empty())
                return false;
            m_frame = frames.front();
            return hasInk(d, m_words.back().box);
        },
        std::chrono::seconds(30));
    XCloseDisplay(d);
    return drawn;
}

} // namespace Lumivox::Testing
