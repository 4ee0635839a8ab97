// Prints what the catalogues cost on this machine: the first font search for a script (one font
// built per installed family), a repeated one (kept for the run), and one scan of the installed
// applications (not kept). Run with QT_QPA_PLATFORM=offscreen or inside scripts/run-session.sh.

#include "Models/AppCatalog.h"
#include "Models/FontCatalog.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <cstdio>

using namespace Lumivox;

namespace {

template<class F>
double milliseconds(F &&work, int rounds = 1)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6 / rounds;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    for (const char *sample : {"Aa", "ع", "अ", "中"}) {
        const QString text = QString::fromUtf8(sample);
        qsizetype found = 0;
        const double cold = milliseconds([&] { found = FontCatalog::families(text).size(); });
        const double warm = milliseconds([&] { FontCatalog::families(text); }, 1000);
        std::printf("families(%s): first %.1f ms, kept %.4f ms, %lld families\n", sample, cold, warm,
                    static_cast<long long>(found));
    }
    std::size_t apps = 0;
    const double scan = milliseconds([&] { apps = AppCatalog::installed().size(); }, 10);
    std::printf("installed(): %.2f ms per scan, %zu applications\n", scan, apps);
    return 0;
}
