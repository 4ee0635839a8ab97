// A plain window that stays open until it is terminated; the catalogue tests find its process
// through the window list. Prints "ready" once the window is mapped.

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Catalog fixture"));
    window.resize(240, 80);
    window.show();
    QTimer::singleShot(0, &window, [] {
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return app.exec();
}
