// A Qt window with known text for the accessibility system tests: a menu bar, a label, a line edit,
// a rich text edit and a button. Once laid out it prints where its words are on screen
//   word <key> <x> <y> <width> <height>      (X11 pixels, root coordinates)
// then "ready". Options: --at X Y places the window. Start it with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
// (or with the accessibility bus enabled) so that it registers with the bus.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <unistd.h>

// libxkbcommon, under Qt's xcb platform, hands strndup a buffer that is not NUL-terminated within
// the length it passes: legitimate, but it trips the strict string checks of the sanitizer build.
extern "C" const char *__asan_default_suppressions()
{
    return "interceptor_via_lib:libxkbcommon-x11.so\n";
}

namespace {

const QString labelText = QStringLiteral("Label words shown plainly");
const QString lineText = QStringLiteral("Single line entry with lantern inside");
const QString editText = QStringLiteral("Plain text first. Then \U0001F34D a quiet harbour appears. The end.");

// cursorRect() is protected; the fixture needs it to say where a character is drawn.
class LineEdit : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;
    QRect charRect(int position)
    {
        setCursorPosition(position);
        return cursorRect();
    }
};

void print(const char *key, const QRect &r)
{
    std::printf("word %s %d %d %d %d\n", key, r.x(), r.y(), r.width(), r.height());
}

QRect editWord(QTextEdit *edit, const QString &word)
{
    const int start = edit->toPlainText().indexOf(word);
    QTextCursor cursor(edit->document());
    cursor.setPosition(start);
    const QRect a = edit->cursorRect(cursor);
    cursor.setPosition(start + int(word.size()));
    const QRect b = edit->cursorRect(cursor);
    const QPoint topLeft = edit->viewport()->mapToGlobal(a.topLeft());
    const QPoint right = edit->viewport()->mapToGlobal(b.topLeft());
    return QRect(topLeft, QSize(right.x() - topLeft.x(), a.height()));
}

QRect lineWord(LineEdit *line, const QString &word)
{
    const int start = int(line->text().indexOf(word));
    const QRect a = line->charRect(start);
    const QRect b = line->charRect(start + int(word.size()));
    line->setCursorPosition(0);
    const QPoint topLeft = line->mapToGlobal(QPoint(a.center().x(), a.top()));
    const QPoint right = line->mapToGlobal(QPoint(b.center().x(), b.top()));
    return QRect(topLeft, QSize(right.x() - topLeft.x(), a.height()));
}

QRect labelWord(QLabel *label, const QString &word)
{
    const QFontMetrics metrics(label->font());
    const int start = int(label->text().indexOf(word));
    const QRect contents = label->contentsRect();
    const int x = contents.left() + metrics.horizontalAdvance(label->text().left(start));
    const int y = contents.top() + (contents.height() - metrics.height()) / 2;
    const QPoint topLeft = label->mapToGlobal(QPoint(x, y));
    return QRect(topLeft, QSize(metrics.horizontalAdvance(word), metrics.height()));
}

QRect globalRect(QWidget *widget)
{
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int x = 0;
    int y = 0;
    const QStringList args = app.arguments();
    if (const auto at = args.indexOf(QStringLiteral("--at")); at >= 0 && at + 2 < args.size()) {
        x = args[at + 1].toInt();
        y = args[at + 2].toInt();
    }

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Qt text fixture"));
    QMenu *fileMenu = window.menuBar()->addMenu(QStringLiteral("File"));
    fileMenu->addAction(QStringLiteral("Open"));

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    auto *label = new QLabel(labelText);
    auto *line = new LineEdit(lineText);
    auto *edit = new QTextEdit;
    edit->setPlainText(editText);
    edit->setFixedHeight(120);
    auto *button = new QPushButton(QStringLiteral("Save"));
    button->setFixedWidth(80);
    layout->addWidget(label);
    layout->addWidget(line);
    layout->addWidget(edit);
    layout->addWidget(button, 0, Qt::AlignLeft);
    layout->addStretch();
    window.setCentralWidget(central);
    window.resize(560, 420);
    window.move(x, y);
    window.show();

    QTimer::singleShot(600, [&] {
        print("label:shown", labelWord(label, QStringLiteral("shown")));
        print("line:lantern", lineWord(line, QStringLiteral("lantern")));
        print("edit:harbour", editWord(edit, QStringLiteral("harbour")));
        print("edit:Plain", editWord(edit, QStringLiteral("Plain")));
        print("button:Save", globalRect(button));
        const QRect menuItem = window.menuBar()->actionGeometry(fileMenu->menuAction());
        print("menu:File", QRect(window.menuBar()->mapToGlobal(menuItem.topLeft()), menuItem.size()));
        print("window", window.geometry());
        std::printf("pid %d\n", int(getpid()));
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return app.exec();
}
