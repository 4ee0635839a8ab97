// Recognition of a captured 640 x 80 strip of text with the engine warm. Needs a display:
// scripts/run-session.sh build/dev/bench/text_recognition_bench
// Prints p50/p95 of the engine alone and of recognizeWord (engine, word choice and sentence), for
// 18 px text and for a terminal (xterm, its default 6 x 13 bitmap font) full of accented words; for
// the terminal also the engine on the pointer's line alone, and the text area's share of a hover.

#include "Native/Services.h"
#include "Native/TextRecognition/TextRecognition.h"
#include "Services/Detection/ScreenCaptureService.h"
#include "Services/Detection/TextArea.h"
#include "Services/Detection/TextRecognizer.h"

#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace Lumivox;

namespace {

void report(const char *name, int runs, const std::function<void()> &body)
{
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        body();
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1))]; };
    std::printf("%-44s runs %4d  p50 %8.3f ms  p95 %8.3f ms  max %8.3f ms\n", name, runs, at(0.5), at(0.95), ms.back());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Testing::FixtureProcess fixture;
    if (!fixture.start(QStringLiteral("ocr_fixture"),
                       {QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("700"), QStringLiteral("160")})) {
        std::fprintf(stderr, "text_recognition_bench: the fixture did not start (run it inside run-session.sh)\n");
        return 1;
    }

    // The pointer on the first line's "fox".
    QPointF pointer(200, 140);
    for (const QByteArray &line : fixture.lines()) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 5 && parts[0] == "word" && parts[1] == "fox")
            pointer = QPointF(parts[2].toDouble(), parts[3].toDouble());
    }
    ScreenCaptureService capture;
    const auto outcome = Testing::await(capture.captureRegion(pointer, std::nullopt, QSizeF(640, 80)));
    if (!outcome.result) {
        std::fprintf(stderr, "text_recognition_bench: the capture failed\n");
        return 1;
    }
    const auto &strip = *outcome.result;

    QElapsedTimer warm;
    warm.start();
    Testing::await(TextRecognizer::warmUp());
    std::printf("%-44s %8.3f ms\n", "warmUp (model load + first request)",
                static_cast<double>(warm.nsecsElapsed()) / 1e6);

    auto engine = Native::service<Native::TextRecognition>();
    report("engine recognize 640x80 strip, warm", 100,
           [&] { (void)engine->recognize(strip.image, QRectF(0, 0, 1, 1)); });
    std::optional<RecognizedHit> hit;
    report("recognizeWord 640x80 strip, warm", 100,
           [&] { hit = Testing::await(TextRecognizer::recognizeWord(strip.image, strip.cropRect, strip.mouse)); });
    std::printf("word read: %s\n", hit ? qPrintable(hit->text) : "(none)");
    fixture.stop();

    // Eight rows of accented words in the terminal's 6 x 13 cells, the pointer on the fourth row.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("words.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    for (int row = 0; row < 8; ++row)
        file.write("Les mots naïve crème brûlée façade über déjà vu, Don't señor rôle café piñata.\n");
    file.close();
    QProcess terminal;
    terminal.start(QStringLiteral("xterm"),
                   {QStringLiteral("-u8"), QStringLiteral("-geometry"), QStringLiteral("80x10+0+0"),
                    QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                    QStringLiteral("cat \"$0\"; sleep 600"), path});
    if (!terminal.waitForStarted(10000)) {
        std::fprintf(stderr, "text_recognition_bench: xterm did not start\n");
        return 1;
    }
    QThread::sleep(2);
    const QPointF onCreme(2 + 6 * 17.5, 2 + 13 * 3.5);
    const auto shot = Testing::await(capture.captureRegion(onCreme, std::nullopt, QSizeF(640, 80)));
    if (!shot.result) {
        std::fprintf(stderr, "text_recognition_bench: the terminal capture failed\n");
        return 1;
    }
    const auto &terminalStrip = *shot.result;
    report("engine recognize terminal strip, warm", 100,
           [&] { (void)engine->recognize(terminalStrip.image, QRectF(0, 0, 1, 1)); });
    // The pointer's line alone, as a hover reads it.
    const QPointF inStrip((onCreme.x() - terminalStrip.cropRect.left()) / terminalStrip.cropRect.width(),
                          1 - (onCreme.y() - terminalStrip.cropRect.top()) / terminalStrip.cropRect.height());
    report("engine recognize terminal strip, its line", 100,
           [&] { (void)engine->recognize(terminalStrip.image, QRectF(0, 0, 1, 1), inStrip.y()); });
    // Where the pointer's text area lies, what is painted out, and how its row meets the area's ends.
    const QImage &pixels = terminalStrip.image;
    const QPoint pointerPixel(int(inStrip.x() * pixels.width()), int((1 - inStrip.y()) * pixels.height()));
    report("text area of the terminal strip", 200, [&] {
        const TextArea::Area area = TextArea::find(pixels, pixels.rect(), std::nullopt, pointerPixel);
        const QImage painted = TextArea::paneOnly(pixels, pixels.rect(), area);
        (void)TextArea::rowEnds(painted, area, QRect(pointerPixel - QPoint(20, 5), QSize(40, 10)), 6, std::nullopt);
    });
    report("recognizeWord terminal strip, warm", 100, [&] {
        hit = Testing::await(
            TextRecognizer::recognizeWord(terminalStrip.image, terminalStrip.cropRect, terminalStrip.mouse));
    });
    std::printf("word read: %s\n", hit ? qPrintable(hit->text) : "(none)");
    terminal.kill();
    terminal.waitForFinished();
    return 0;
}
