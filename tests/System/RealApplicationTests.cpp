// The word lookup against applications Debian ships, as a user meets them: gedit (GTK 3, its text
// view deep inside a notebook without tabs) and FocusWriter (Qt 6, its text edit under a later
// sibling of a full-window container), each opened on a known text of over 32,768 UTF-16 units
// with emoji. Every word of the known sentences on screen is read at its left edge, centre and
// right edge, through accessibility alone; every one must come back right.

#include "Services/Detection/AccessibilityTextService.h"
#include "Support/RealApplication.h"
#include "Support/TestSupport.h"
#include "Support/WorkerThread.h"

#include <QThread>

#include <gtest/gtest.h>

using namespace Lumivox;
namespace ATS = Lumivox::AccessibilityTextService;

namespace {

constexpr double screenHeight = 800;

Testing::WorkerThread &worker()
{
    static Testing::WorkerThread w;
    return w;
}

void onWorker(const std::function<void()> &job)
{
    worker().run([&] {
        job();
        return true;
    });
}

QString describe(const ATS::LookupResult &r)
{
    if (const auto *hit = r.hitResult())
        return QStringLiteral("'%1' in '%2' at %3")
            .arg(hit->word, hit->fullText, hit->wordOffset ? QString::number(*hit->wordOffset) : QStringLiteral("-"));
    if (const auto *miss = r.missResult())
        return QStringLiteral("miss (role %1, %2)")
            .arg(miss->role.value_or(QStringLiteral("-")), miss->reason.value_or(QStringLiteral("no reason")));
    return r.isOwnProcess() ? QStringLiteral("own process") : QStringLiteral("suppressed");
}

// An application that did not answer in time is left alone for a second; on a loaded machine a
// reading that missed for that reason is taken again once, as a user would hover again. A wrong
// word is never retried. The pause is waited out: it runs on the lookup's own clock and nothing
// tells when it is over, and a reading taken within it would not even ask the application.
template<class Lookup>
ATS::LookupResult read(Lookup lookup)
{
    const auto result = worker().run(lookup);
    if (!result.missResult())
        return result;
    QThread::msleep(1100);
    return worker().run(lookup);
}

// Reads every word at three points across it; returns the readings that were not right.
QStringList wrongReadings(const Testing::RealApplication &app)
{
    QStringList wrong;
    for (const auto &word : app.words()) {
        // The middles of the first and the last character, and the word's centre.
        const QRect &box = word.box;
        const double y = box.y() + box.height() / 2.0;
        const double half = box.width() / (2.0 * double(word.text.size()));
        for (const double x : {box.x() + half, box.x() + box.width() / 2.0, box.x() + box.width() - half}) {
            const QPointF at(x, y);
            const auto result = read([at] { return ATS::lookupWord(at, screenHeight); });
            const auto *hit = result.hitResult();
            const bool right =
                hit && hit->word == word.text && hit->fullText == word.sentence && hit->wordOffset == word.offset;
            if (!right)
                wrong << QStringLiteral("%1 at (%2, %3): %4").arg(word.text).arg(x).arg(y).arg(describe(result));
        }
    }
    return wrong;
}

// The application's tree walked from its application element, without the toolkit's hit test.
QStringList wrongWalks(const Testing::RealApplication &app)
{
    QStringList wrong;
    const auto pid = std::int32_t(app.pid());
    for (const auto &word : app.words()) {
        const QPointF at = QRectF(word.box).center();
        // A walk gives up once its time budget is spent, which a loaded machine running the sanitizers
        // can make it do: a miss is tried again, a wrong word never is.
        auto result = read([pid, at] { return ATS::lookupWordInProcess(pid, at, screenHeight, false); });
        for (int retry = 0; retry < 2 && !result.hitResult(); ++retry)
            result = read([pid, at] { return ATS::lookupWordInProcess(pid, at, screenHeight, false); });
        if (!result.hitResult() || result.hitResult()->word != word.text)
            wrong << word.text + QStringLiteral(": ") + describe(result);
    }
    return wrong;
}

} // namespace

TEST(RealApplications, GeditReadsEveryWordThroughAccessibility)
{
    Testing::RealApplication gedit;
    ASSERT_TRUE(gedit.start(QStringLiteral("gedit"), {QStringLiteral("--standalone"), QStringLiteral("--new-window")},
                            false, onWorker))
        << qPrintable(gedit.error());
    ASSERT_GE(gedit.words().size(), 20u);
    const QStringList wrong = wrongReadings(gedit);
    EXPECT_TRUE(wrong.isEmpty()) << qPrintable(wrong.join(QLatin1Char('\n')));
    const QStringList walked = wrongWalks(gedit);
    EXPECT_TRUE(walked.isEmpty()) << qPrintable(walked.join(QLatin1Char('\n')));
}

TEST(RealApplications, FocusWriterReadsEveryWordThroughAccessibility)
{
    Testing::RealApplication writer;
    ASSERT_TRUE(writer.start(QStringLiteral("focuswriter"), {}, true, onWorker)) << qPrintable(writer.error());
    ASSERT_GE(writer.words().size(), 20u);
    const QStringList wrong = wrongReadings(writer);
    EXPECT_TRUE(wrong.isEmpty()) << qPrintable(wrong.join(QLatin1Char('\n')));
    const QStringList walked = wrongWalks(writer);
    EXPECT_TRUE(walked.isEmpty()) << qPrintable(walked.join(QLatin1Char('\n')));
}
