// A window of known text (or a plain colour) at a known place, for the screen-capture and
// text-recognition tests. Once it is on screen it prints one line "word <text> <centre x>
// <centre y> <line>" per word (screen pixels), then "ready <window id>", and stays until killed.
//
//   ocr_fixture [--dark] [--blank] [--fill RRGGBB] [--ink RRGGBB] X Y WIDTH HEIGHT

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

const QStringList textLines = {
    QStringLiteral("The quick brown fox jumps over the lazy dog."),
    QStringLiteral("Reading words from pixels is harder than it looks."),
    QStringLiteral("Every sentence here ends with a full stop."),
};

constexpr int leftMargin = 20;
constexpr int firstBaseline = 40;
constexpr int lineSpacing = 40;

class TextWindow : public QWidget
{
public:
    TextWindow(QColor fill, QColor ink, bool blank)
        : QWidget(nullptr, Qt::FramelessWindowHint)
        , m_fill(fill)
        , m_ink(ink)
        , m_blank(blank)
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
        QPainter painter(this);
        painter.fillRect(rect(), m_fill);
        if (m_blank)
            return;
        painter.setPen(m_ink);
        painter.setFont(font());
        for (int line = 0; line < textLines.size(); ++line)
            painter.drawText(QPoint(leftMargin, firstBaseline + line * lineSpacing), textLines[line]);
    }

private:
    QColor m_fill;
    QColor m_ink;
    bool m_blank;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool dark = false;
    bool blank = false;
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
        else
            numbers.append(args[i].toInt());
    }
    if (numbers.size() != 4) {
        std::fprintf(stderr, "usage: ocr_fixture [--dark] [--blank] [--fill RRGGBB] [--ink RRGGBB] X Y W H\n");
        return 2;
    }
    if (!fill.isValid())
        fill = dark ? QColor(0x20, 0x20, 0x20) : QColor(Qt::white);
    if (!ink.isValid())
        ink = dark ? QColor(Qt::white) : QColor(Qt::black);

    TextWindow window(fill, ink, blank);
    window.setGeometry(numbers[0], numbers[1], numbers[2], numbers[3]);
    window.show();
    // Reported once the first frame has had time to reach the screen.
    QTimer::singleShot(300, &window, [&window] { window.report(); });
    return app.exec();
}
