// A plain top-level window at a known place, for the system tests of the window list and the
// pointer. Prints "ready <window id> <pid>" once the window is on screen, then runs until its
// standard input closes or it is terminated.
//
//   plain_window [--at X,Y,W,H] [--title TEXT] [--opacity A] [--popup] [--report] [--field TEXT]
//
// With --report the window takes the focus before it says "ready", and then prints
// "press X Y" (global position) for every mouse press, "key SEQUENCE" (such as "Alt+S") for every
// key press with a letter, "text HEX…" (the UTF-16 units) for every key press that types
// something, "bare Alt" when Alt was pressed and released with no other key pressed in between (as
// an application that opens its menu bar on a lone Alt reads it; every key press the X server
// delivers counts, also of keys Qt has no name for), and "inactive" when it loses the focus.
// With --field the window is a text field holding TEXT, all of it selected.

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdio>
#include <optional>
#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QRect geometry(200, 150, 400, 300);
    QString title = QStringLiteral("Plain window");
    double opacity = 1.0;
    bool popup = false;
    bool report = false;
    std::optional<QString> field;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--at") && i + 1 < args.size()) {
            const QStringList parts = args[++i].split(QLatin1Char(','));
            if (parts.size() == 4)
                geometry = QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
        } else if (args[i] == QLatin1String("--title") && i + 1 < args.size()) {
            title = args[++i];
        } else if (args[i] == QLatin1String("--opacity") && i + 1 < args.size()) {
            opacity = args[++i].toDouble();
        } else if (args[i] == QLatin1String("--popup")) {
            popup = true;
        } else if (args[i] == QLatin1String("--report")) {
            report = true;
        } else if (args[i] == QLatin1String("--field") && i + 1 < args.size()) {
            field = args[++i];
        }
    }

    const Qt::WindowFlags type = popup ? Qt::ToolTip : Qt::Window;
    QLabel label(QStringLiteral("The quick brown fox jumps over the lazy dog."), nullptr, type);
    label.setAlignment(Qt::AlignCenter);
    QLineEdit edit(field.value_or(QString()));
    edit.setWindowFlags(type);
    QWidget &window = field ? static_cast<QWidget &>(edit) : label;
    window.setWindowTitle(title);
    window.setGeometry(geometry);
    window.setWindowOpacity(opacity);
    window.show();
    if (field)
        edit.selectAll();

    // Every key press the server delivers, counted before Qt turns it into an event (or does not).
    struct KeyCounter : QAbstractNativeEventFilter
    {
        bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
        {
            if (type == "xcb_generic_event_t"
                && (static_cast<xcb_generic_event_t *>(message)->response_type & ~0x80) == XCB_KEY_PRESS)
                ++presses;
            return false;
        }
        long presses = 0;
    } counter;

    struct Reporter : QObject
    {
        explicit Reporter(const KeyCounter &keys)
            : counter(keys)
        { }
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::MouseButtonPress) {
                const QPointF at = static_cast<QMouseEvent *>(event)->globalPosition();
                std::printf("press %d %d\n", qRound(at.x()), qRound(at.y()));
                std::fflush(stdout);
            } else if (event->type() == QEvent::KeyPress) {
                const auto *key = static_cast<QKeyEvent *>(event);
                if (key->key() == Qt::Key_Alt && !key->isAutoRepeat())
                    altPressedAt = counter.presses;
                if (key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z) {
                    const QString sequence = QKeySequence(key->keyCombination()).toString();
                    std::printf("key %s\n", qPrintable(sequence));
                }
                if (!key->text().isEmpty()) {
                    std::printf("text");
                    for (const QChar c : key->text())
                        std::printf(" %04x", c.unicode());
                    std::printf("\n");
                }
                std::fflush(stdout);
            } else if (event->type() == QEvent::KeyRelease) {
                const auto *key = static_cast<QKeyEvent *>(event);
                if (key->key() == Qt::Key_Alt && !key->isAutoRepeat() && altPressedAt == counter.presses) {
                    std::printf("bare Alt\n");
                    std::fflush(stdout);
                }
            } else if (event->type() == QEvent::WindowDeactivate) {
                std::printf("inactive\n");
                std::fflush(stdout);
            }
            return false;
        }
        const KeyCounter &counter;
        long altPressedAt = -1;
    } reporter(counter);
    if (report)
        app.installNativeEventFilter(&counter);
    if (report)
        window.installEventFilter(&reporter);

    // Ready once the server has mapped the window and Qt has painted it.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.windowHandle() && window.windowHandle()->isExposed()) {
            if (report && !window.isActiveWindow()) {
                window.activateWindow();
                return;
            }
            poll.stop();
            // The platform window's own id: QWidget::winId() can name a native window Qt has since replaced.
            std::printf("ready %llu %lld\n", static_cast<unsigned long long>(window.windowHandle()->winId()),
                        static_cast<long long>(::getpid()));
            std::fflush(stdout);
        }
    });
    poll.start(10);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });
    return app.exec();
}
