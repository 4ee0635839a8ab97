// A plain top-level window at a known place, for the system tests of the window list and the
// pointer. Prints "ready <window id> <pid>" once the window is on screen, then runs until its
// standard input closes or it is terminated.
//
//   plain_window [--at X,Y,W,H] [--title TEXT] [--opacity A] [--popup] [--report]
//
// With --report the window takes the focus before it says "ready", and then prints
// "press X Y" (global position) for every mouse press, "key SEQUENCE" (such as "Alt+S") for every
// key press with a letter, and "inactive" when it loses the focus.

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QRect geometry(200, 150, 400, 300);
    QString title = QStringLiteral("Plain window");
    double opacity = 1.0;
    bool popup = false;
    bool report = false;
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
        }
    }

    QLabel window(QStringLiteral("The quick brown fox jumps over the lazy dog."), nullptr,
                  popup ? Qt::ToolTip : Qt::Window);
    window.setWindowTitle(title);
    window.setAlignment(Qt::AlignCenter);
    window.setGeometry(geometry);
    window.setWindowOpacity(opacity);
    window.show();

    struct Reporter : QObject
    {
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::MouseButtonPress) {
                const QPointF at = static_cast<QMouseEvent *>(event)->globalPosition();
                std::printf("press %d %d\n", qRound(at.x()), qRound(at.y()));
                std::fflush(stdout);
            } else if (event->type() == QEvent::KeyPress) {
                const auto *key = static_cast<QKeyEvent *>(event);
                if (key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z) {
                    const QString sequence = QKeySequence(key->keyCombination()).toString();
                    std::printf("key %s\n", qPrintable(sequence));
                    std::fflush(stdout);
                }
            } else if (event->type() == QEvent::WindowDeactivate) {
                std::printf("inactive\n");
                std::fflush(stdout);
            }
            return false;
        }
    } reporter;
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
