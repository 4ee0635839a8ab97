// Reading along a sentence with the real program: Alt held over the first word of a sentence read
// through accessibility translates it, and while the user rests there the next words are translated
// ahead, so that each of them, hovered next, shows at once from the glance cache without asking the
// translation engine again.

#include "Services/Learn/ReadAhead.h"
#include "Support/RunningLumivox.h"
#include "Support/XTestInjector.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

TEST(ReadAheadRoad, TheThreeWordsAfterTheFirstOfASentenceShowFromTheGlanceCache)
{
    XTestInjector pointer;
    ASSERT_TRUE(pointer.ok());
    RunningLumivox app;
    ASSERT_TRUE(app.waitUntilIdle()) << app.log.toStdString();

    // The notebook's text reports a box for each of its words.
    FixtureProcess gtk;
    ASSERT_TRUE(gtk.start(QStringLiteral("gtk_text_fixture"),
                          {QStringLiteral("--at"), "40", "40", QStringLiteral("--notebook")}));
    const QString sentence = QStringLiteral("Tabs stay hidden here.");
    // The words the program reads ahead, as it chooses them (words it would not translate are passed).
    const std::vector<ReadAhead::Word> ahead = ReadAhead::words(0, sentence, 3, true);
    ASSERT_EQ(ahead.size(), 3u);
    const auto boxOf = [&](const QString &word) { return wordBox(gtk, "view:" + word.toUtf8()); };
    const QRect first = boxOf(QStringLiteral("Tabs"));
    ASSERT_FALSE(first.isEmpty());

    ASSERT_TRUE(app.moveAndRest(pointer, first.center())) << app.logText();
    pointer.key(XK_Alt_L, true);
    const auto translated = app.event(QStringLiteral("Tabs"));
    ASSERT_TRUE(translated) << app.log.toStdString();
    EXPECT_EQ(translated->value("reason").toString().toStdString(), "shown");
    EXPECT_EQ(translated->value("source").toString().toStdString(), "accessibility");
    // Resting on the word with the key held: the pause before reading ahead, then one word after
    // another (slow under a sanitizer).
    ASSERT_TRUE(app.waitForLog("read ahead: 3 words", 60s)) << app.log.toStdString();

    // Reading on with the key still held.
    for (const ReadAhead::Word &word : ahead) {
        const QRect box = boxOf(word.text);
        ASSERT_FALSE(box.isEmpty()) << word.text.toStdString();
        pointer.moveTo(box.center().x(), box.center().y());
        const auto shown = app.event(word.text);
        ASSERT_TRUE(shown) << word.text.toStdString() << app.log.toStdString();
        EXPECT_EQ(shown->value("reason").toString().toStdString(), "shown") << word.text.toStdString();
        EXPECT_EQ(shown->value("source").toString().toStdString(), "accessibility read ahead")
            << word.text.toStdString();
        EXPECT_FALSE(shown->value("meaning").toString().isEmpty()) << word.text.toStdString();
    }
    pointer.key(XK_Alt_L, false);
}
