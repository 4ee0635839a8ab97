// The real program's diagnostics file while hovers never stop: with the hold key "always", the pointer
// goes from word to word without a pause, and diagnostics.json must be on disk long before the
// stream ends, so that a crash or a kill in the middle of a busy session still leaves a record.

#include "Support/RunningLumivox.h"
#include "Support/XTestInjector.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

TEST(DiagnosticsFile, IsWrittenWhileHoversKeepComing)
{
    XTestInjector pointer;
    ASSERT_TRUE(pointer.ok());
    RunningLumivox app(RunningLumivox::preferencesWithHoldKey("always"));
    ASSERT_TRUE(app.waitUntilIdle()) << app.logText();

    FixtureProcess gtk;
    ASSERT_TRUE(gtk.start(QStringLiteral("gtk_text_fixture"),
                          {QStringLiteral("--at"), "40", "40", QStringLiteral("--text"),
                           QStringLiteral("The gardener plants yellow tulips beside the quiet river.")}));
    std::vector<QPoint> words;
    for (const char *key :
         {"view:gardener", "view:plants", "view:yellow", "view:tulips", "view:beside", "view:quiet", "view:river"}) {
        const QRect box = wordBox(gtk, key);
        ASSERT_FALSE(box.isEmpty()) << key;
        words.push_back(box.center());
    }

    const QString file = app.data.path() + QStringLiteral("/Lumivox/diagnostics.json");
    constexpr int hovers = 200;
    int hover = 0;
    for (; hover < hovers && !QFileInfo::exists(file); ++hover) {
        // Each hover is let end, so that it is an event of the log, and the next begins at once.
        ASSERT_TRUE(app.moveAndRest(pointer, words[std::size_t(hover) % words.size()])) << app.logText();
        ASSERT_TRUE(app.waitForLog("Outcome", 30s)) << app.logText();
    }
    ASSERT_LT(hover, hovers) << "no diagnostics.json after " << hovers << " hovers in a row";
    RecordProperty("hoversBeforeTheFile", hover);
    EXPECT_FALSE(app.events().isEmpty()) << "the file holds the hovers it was written for";
}
