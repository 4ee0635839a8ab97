// A Qt window whose text view answers the accessibility interface the way some real providers do,
// for the tests that a word is read right or not at all. It draws its own text and exposes it through
// an accessible text interface of its own. Once laid out it prints
//   word <text> <x> <y> <width> <height>      (X11 pixels, root coordinates; one line per word)
// then "pid <pid>" and "ready". Options: --at X Y places the window, and one behaviour:
//   --offset-zero  an editor that answers offset 0 for every point and character boxes without
//                  height (as the editor component of some desktop editors does)
//   --minus-one    a paragraph wrapped over two rows that answers -1 for points in the right half of
//                  each word (as a browser does at some points of a wrapped paragraph); its character
//                  boxes are right
// Start it with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 so that it registers with the bus.

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QPainter>
#include <QRegularExpression>
#include <QTextLayout>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

// libxkbcommon, under Qt's xcb platform, hands strndup a buffer that is not NUL-terminated within
// the length it passes: legitimate, but it trips the strict string checks of the sanitizer build.
extern "C" const char *__asan_default_suppressions()
{
    return "interceptor_via_lib:libxkbcommon-x11.so\n";
}

namespace {

enum class Behaviour { offsetZero, minusOne };

const QString editorText = QStringLiteral("Harbour lights shine on the water.\n"
                                          "Ferries leave before the morning tide.\n"
                                          "Gulls follow every boat past the pier.\n"
                                          "Sailors mend their nets along the quay.");
const QString paragraphText =
    QStringLiteral("Wrapped rows should be read correctly while the traveller checks the visual moonlight.");

class TextView : public QWidget
{
public:
    TextView(Behaviour behaviour)
        : behaviour(behaviour)
        , text(behaviour == Behaviour::offsetZero ? editorText : paragraphText)
    {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(15);
        setFont(f);
        if (behaviour == Behaviour::offsetZero)
            setFixedSize(520, 160);
        else
            setFixedSize(400, 44);
    }

    // Lays the text out in the widget: hard lines at '\n', wrapped at the widget's width.
    void layOut()
    {
        layouts.clear();
        qreal y = 4;
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            auto layout = std::make_unique<QTextLayout>(line, font());
            layout->beginLayout();
            for (QTextLine l = layout->createLine(); l.isValid(); l = layout->createLine()) {
                l.setLineWidth(width() - 8);
                l.setPosition(QPointF(4, y));
                y += l.height();
            }
            layout->endLayout();
            layouts.push_back(std::move(layout));
        }
    }

    // The layout holding a text offset, and the offset inside it.
    std::pair<QTextLayout *, int> locate(int offset) const
    {
        int start = 0;
        for (const auto &layout : layouts) {
            const int length = int(layout->text().size());
            if (offset <= start + length)
                return {layout.get(), offset - start};
            start += length + 1;
        }
        return {nullptr, 0};
    }

    // The character's box in widget coordinates.
    QRect characterRect(int offset) const
    {
        const auto [layout, at] = locate(offset);
        if (!layout)
            return {};
        const QTextLine line = layout->lineForTextPosition(at);
        if (!line.isValid())
            return {};
        const qreal x0 = line.cursorToX(at);
        const qreal x1 = line.cursorToX(at + 1);
        return QRectF(x0, line.y(), x1 - x0, line.height()).toAlignedRect();
    }

    // The character under a widget point, or -1.
    int offsetAt(QPoint p) const
    {
        int start = 0;
        for (const auto &layout : layouts) {
            for (int i = 0; i < layout->lineCount(); ++i) {
                const QTextLine line = layout->lineAt(i);
                if (p.y() >= line.y() && p.y() < line.y() + line.height()) {
                    const int at = line.xToCursor(p.x(), QTextLine::CursorOnCharacter);
                    return start + at;
                }
            }
            start += int(layout->text().size()) + 1;
        }
        return -1;
    }

    // Every word's box, in root coordinates.
    void printWords()
    {
        static const QRegularExpression words(QStringLiteral("\\w+"));
        for (auto m = words.globalMatch(text); m.hasNext();) {
            const auto match = m.next();
            const int from = int(match.capturedStart());
            const int to = int(match.capturedEnd());
            const QRect first = characterRect(from);
            const QRect last = characterRect(to - 1);
            const QRect box(mapToGlobal(first.topLeft()), mapToGlobal(last.bottomRight()));
            std::printf("word %s %d %d %d %d\n", qPrintable(match.captured()), box.x(), box.y(), box.width(),
                        box.height());
        }
    }

    Behaviour behaviour;
    QString text;
    std::vector<std::unique_ptr<QTextLayout>> layouts;

protected:
    void resizeEvent(QResizeEvent *) override { layOut(); }
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setPen(Qt::black);
        for (const auto &layout : layouts)
            layout->draw(&painter, QPointF(0, 0));
    }
};

class AccessibleTextView : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit AccessibleTextView(TextView *view)
        : QAccessibleWidget(
            view, view->behaviour == Behaviour::offsetZero ? QAccessible::EditableText : QAccessible::Paragraph)
        , view(view)
    { }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return view->text;
        return QAccessibleWidget::text(t);
    }

    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override { }
    QString text(int start, int end) const override { return view->text.mid(start, end - start); }
    int characterCount() const override { return int(view->text.size()); }
    void scrollToSubstring(int, int) override { }
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = offset;
        *end = offset + 1;
        return QString();
    }

    QRect characterRect(int offset) const override
    {
        const QRect r = view->characterRect(offset);
        if (r.isNull())
            return r;
        const QRect global(view->mapToGlobal(r.topLeft()), r.size());
        if (view->behaviour == Behaviour::offsetZero)
            return QRect(global.x(), global.y(), global.width(), 0);
        return global;
    }

    int offsetAtPoint(const QPoint &point) const override
    {
        if (view->behaviour == Behaviour::offsetZero)
            return 0;
        const int offset = view->offsetAt(view->mapFromGlobal(point));
        if (offset < 0)
            return offset;
        // In the right half of a word: no answer.
        static const QRegularExpression words(QStringLiteral("\\w+"));
        for (auto m = words.globalMatch(view->text); m.hasNext();) {
            const auto match = m.next();
            const int middle = int(match.capturedStart() + match.capturedEnd()) / 2;
            if (offset >= middle && offset < match.capturedEnd())
                return -1;
        }
        return offset;
    }

private:
    TextView *view;
};

QAccessibleInterface *factory(const QString &, QObject *object)
{
    if (auto *view = dynamic_cast<TextView *>(object))
        return new AccessibleTextView(view);
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QAccessible::installFactory(factory);
    const QStringList args = app.arguments();
    int x = 0;
    int y = 0;
    if (const auto at = args.indexOf(QStringLiteral("--at")); at >= 0 && at + 2 < args.size()) {
        x = args[at + 1].toInt();
        y = args[at + 2].toInt();
    }
    const Behaviour behaviour =
        args.contains(QStringLiteral("--minus-one")) ? Behaviour::minusOne : Behaviour::offsetZero;

    QWidget window;
    window.setWindowTitle(QStringLiteral("Provider fixture"));
    auto *view = new TextView(behaviour);
    view->setParent(&window);
    view->move(20, 20);
    window.resize(view->width() + 40, view->height() + 40);
    window.move(x, y);
    window.show();
    QTimer::singleShot(600, [&] {
        view->printWords();
        std::printf("pid %d\n", int(getpid()));
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return app.exec();
}
