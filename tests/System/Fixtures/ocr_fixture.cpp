// A window of known text (or a plain colour) at a known place, for the screen-capture and
// text-recognition tests. Once it is on screen it prints one line "word <text> <centre x>
// <centre y> <line>" per word (screen pixels), then "ready <window id>", and stays until killed.
// --lines takes the text's lines from a file; --gutter numbers them in a gutter at the left, as an
// editor does, its own shade and a line setting it off from the text.
//
//   ocr_fixture [--dark] [--blank] [--fill RRGGBB] [--ink RRGGBB] [--lines FILE] [--gutter] X Y WIDTH HEIGHT

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdio>

#include <X11/Xlib.h>

namespace {

QStringList textLines = {
    QStringLiteral("The quick brown fox jumps over the lazy dog."),
    QStringLiteral("Reading words from pixels is harder than it looks."),
    QStringLiteral("Every sentence here ends with a full stop."),
};

int leftMargin = 20;
constexpr int gutterWidth = 40;
constexpr int firstBaseline = 40;
constexpr int lineSpacing = 40;

class TextWindow : public QWidget
{
public:
    TextWindow(QColor fill, QColor ink, bool blank, bool gutter)
        : QWidget(nullptr, Qt::FramelessWindowHint)
        , m_fill(fill)
        , m_ink(ink)
        , m_blank(blank)
        , m_gutter(gutter)
    {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(18);
        f.setHintingPreference(QFont::PreferFullHinting);
        setFont(f);
    }

    void report()
    {
        if (!m_blank) {
            const QFontMetrics metrics(font());
            const QPoint origin = mapToGlobal(QPoint(0, 0));
            for (int line = 0; line < textLines.size(); ++line) {
                const int baseline = firstBaseline + line * lineSpacing;
                const int centreY = baseline - metrics.ascent() / 2 + metrics.descent() / 2;
                int start = 0;
                for (const QString &word : textLines[line].split(QLatin1Char(' '))) {
                    const int x = leftMargin + metrics.horizontalAdvance(textLines[line].left(start));
                    const int centreX = x + metrics.horizontalAdvance(word) / 2;
                    std::printf("word %s %d %d %d\n", qPrintable(word), origin.x() + centreX, origin.y() + centreY,
                                line);
                    start += word.size() + 1;
                }
            }
        }
        std::printf("ready %llu\n", static_cast<unsigned long long>(winId()));
        std::fflush(stdout);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        paint();
        if (m_painted)
            return;
        m_painted = true;
        // Reported once the first frame is on the server: the frame is put on the screen when this
        // paint returns, and a round trip after it has the server take it in before the test looks.
        QTimer::singleShot(0, this, [this] {
            if (auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>())
                XSync(x11->display(), False);
            report();
        });
    }

private:
    void paint()
    {
        QPainter painter(this);
        painter.fillRect(rect(), m_fill);
        if (m_blank)
            return;
        if (m_gutter) {
            painter.fillRect(QRect(0, 0, gutterWidth, height()), QColor(240, 240, 240));
            painter.fillRect(QRect(gutterWidth, 0, 1, height()), QColor(213, 213, 213));
        }
        painter.setPen(m_ink);
        painter.setFont(font());
        for (int line = 0; line < textLines.size(); ++line) {
            const int baseline = firstBaseline + line * lineSpacing;
            if (m_gutter)
                painter.drawText(QPoint(8, baseline), QString::number(line + 1));
            painter.drawText(QPoint(leftMargin, baseline), textLines[line]);
        }
    }

    QColor m_fill;
    QColor m_ink;
    bool m_blank;
    bool m_gutter;
    bool m_painted = false;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool dark = false;
    bool blank = false;
    bool gutter = false;
    QColor fill;
    QColor ink;
    QList<int> numbers;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dark"))
            dark = true;
        else if (args[i] == QLatin1String("--blank"))
            blank = true;
        else if (args[i] == QLatin1String("--fill") && i + 1 < args.size())
            fill = QColor(QLatin1Char('#') + args[++i]);
        else if (args[i] == QLatin1String("--ink") && i + 1 < args.size())
            ink = QColor(QLatin1Char('#') + args[++i]);
        else if (args[i] == QLatin1String("--gutter"))
            gutter = true;
        else if (args[i] == QLatin1String("--lines") && i + 1 < args.size()) {
            QFile file(args[++i]);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "ocr_fixture: cannot read %s\n", qPrintable(file.fileName()));
                return 2;
            }
            textLines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        } else
            numbers.append(args[i].toInt());
    }
    if (numbers.size() != 4) {
        std::fprintf(stderr,
                     "usage: ocr_fixture [--dark] [--blank] [--fill RRGGBB] [--ink RRGGBB] [--lines FILE] "
                     "[--gutter] X Y W H\n");
        return 2;
    }
    if (!fill.isValid())
        fill = dark ? QColor(0x20, 0x20, 0x20) : QColor(Qt::white);
    if (!ink.isValid())
        ink = dark ? QColor(Qt::white) : QColor(Qt::black);

    if (gutter)
        leftMargin = gutterWidth + 8;
    TextWindow window(fill, ink, blank, gutter);
    window.setGeometry(numbers[0], numbers[1], numbers[2], numbers[3]);
    window.show();
    return app.exec();
}
