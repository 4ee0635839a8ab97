// A Qt window with known text for the accessibility system tests: a menu bar, a label, a line edit,
// a rich text edit and a button. Once laid out it prints where its words are on screen
//   word <key> <x> <y> <width> <height>      (X11 pixels, root coordinates)
// then "ready". Options: --at X Y places the window. Start it with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
// (or with the accessibility bus enabled) so that it registers with the bus.
//   --filler  the window is taken by two full-window containers, as writing programs lay out their
//             distraction-free view: the first holds only a status line, the later one (drawn above
//             it) holds a text edit; Qt's own hit test stops at the first.
//   --long    the text edit holds some 40,000 UTF-16 units with an emoji in every sentence and is
//             scrolled to its last sentence.
// With either, every word of the last sentence is printed as "edit:<word>".

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
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
const QString closingSentence = QStringLiteral("The ferryman rows past the harbour lights before dawn.");

QString longText()
{
    QString text;
    while (text.size() < 40000)
        text += QStringLiteral("Filler \U0001F41D words drift along the shore. ");
    return text + closingSentence;
}

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

// The box of the first (or the last) occurrence of a word in a text edit.
QRect editWord(QTextEdit *edit, const QString &word, bool last = false)
{
    const QString text = edit->toPlainText();
    const int start = int(last ? text.lastIndexOf(word) : text.indexOf(word));
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

// Two containers over the whole window; Qt's hit test answers with the first, which holds only a
// status line at its foot, while the later one, drawn above it, holds the text.
QWidget *fillerLayout(QTextEdit *edit)
{
    auto *central = new QWidget;
    auto *statusHolder = new QWidget(central);
    auto *statusLayout = new QVBoxLayout(statusHolder);
    statusLayout->addStretch();
    statusLayout->addWidget(new QLabel(QStringLiteral("Words: 9")));
    auto *textHolder = new QWidget(central);
    auto *textLayout = new QVBoxLayout(textHolder);
    textLayout->setContentsMargins(60, 40, 60, 60);
    textLayout->addWidget(edit);
    // Child widgets do not follow a layout-less parent's size on their own.
    class Stretcher : public QObject
    {
    public:
        using QObject::QObject;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Resize) {
                for (QObject *child : watched->children()) {
                    if (auto *w = qobject_cast<QWidget *>(child))
                        w->setGeometry(QRect(QPoint(0, 0), static_cast<QWidget *>(watched)->size()));
                }
            }
            return false;
        }
    };
    central->installEventFilter(new Stretcher(central));
    return central;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int x = 0;
    int y = 0;
    const QStringList args = app.arguments();
    const bool filler = args.contains(QStringLiteral("--filler"));
    const bool longEdit = args.contains(QStringLiteral("--long"));
    if (const auto at = args.indexOf(QStringLiteral("--at")); at >= 0 && at + 2 < args.size()) {
        x = args[at + 1].toInt();
        y = args[at + 2].toInt();
    }

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Qt text fixture"));
    QMenu *fileMenu = window.menuBar()->addMenu(QStringLiteral("File"));
    fileMenu->addAction(QStringLiteral("Open"));

    auto *edit = new QTextEdit;
    edit->setPlainText(longEdit ? longText() : filler ? closingSentence : editText);
    QLabel *label = nullptr;
    LineEdit *line = nullptr;
    QPushButton *button = nullptr;
    if (filler) {
        window.setCentralWidget(fillerLayout(edit));
    } else {
        auto *central = new QWidget;
        auto *layout = new QVBoxLayout(central);
        label = new QLabel(labelText);
        line = new LineEdit(lineText);
        button = new QPushButton(QStringLiteral("Save"));
        button->setFixedWidth(80);
        edit->setFixedHeight(120);
        layout->addWidget(label);
        layout->addWidget(line);
        layout->addWidget(edit);
        layout->addWidget(button, 0, Qt::AlignLeft);
        layout->addStretch();
        window.setCentralWidget(central);
    }
    window.resize(560, 420);
    window.move(x, y);
    window.show();
    if (longEdit) {
        QTimer::singleShot(300, edit, [edit] {
            edit->moveCursor(QTextCursor::End);
            edit->ensureCursorVisible();
        });
    }

    QTimer::singleShot(600, [&] {
        if (filler || longEdit) {
            for (const QString &word :
                 closingSentence.split(QRegularExpression(QStringLiteral("\\W+")), Qt::SkipEmptyParts))
                print(qPrintable(QStringLiteral("edit:") + word), editWord(edit, word, true));
            print("window", window.geometry());
            std::printf("pid %d\n", int(getpid()));
            std::printf("ready\n");
            std::fflush(stdout);
            return;
        }
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
