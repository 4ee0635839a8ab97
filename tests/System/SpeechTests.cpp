// Reading a word aloud through the real speech-dispatcher in the private session. The daemon is
// started on first use by its client library, with a generic output module whose two voices
// ("english" and "french") write what they are given to a file instead of a sound card the session
// does not have. Without a reachable service nothing is spoken and nothing complains.

#include "Native/Session/Speech.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

using namespace Lumivox;
using namespace std::chrono_literals;

namespace {

// What the backend offered the voice choice, from the speech thread.
struct Offered
{
    std::mutex mutex;
    std::optional<std::vector<QLocale>> locales;

    /// Records the offer and picks the first voice of the language.
    Native::Speech::VoiceChoice recorder(QLocale::Language language = QLocale::English)
    {
        return [this, language](const std::vector<QLocale> &available) -> std::optional<QLocale> {
            std::lock_guard lock(mutex);
            locales = available;
            for (const QLocale &locale : available) {
                if (locale.language() == language)
                    return locale;
            }
            return std::nullopt;
        };
    }
    bool received()
    {
        std::lock_guard lock(mutex);
        return locales.has_value();
    }
};

QStringList warnings;

void recordWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
        warnings << message;
}

class SpeechTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The session's home is thrown away afterwards; the user's own settings are never touched.
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("LUMIVOX_IN_SESSION")) << "run inside scripts/run-session.sh";
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/speech-dispatcher");
        ASSERT_TRUE(QDir().mkpath(config));
        ASSERT_TRUE(QDir().mkpath(config + QStringLiteral("/modules")));
        write(config + QStringLiteral("/speechd.conf"),
              "AudioOutputMethod \"libao\"\n"
              "AddModule \"recorder\" \"sd_generic\" \"recorder.conf\"\n"
              "DefaultModule recorder\n");
        write(config + QStringLiteral("/modules/recorder.conf"),
              "GenericExecuteSynth \"printf '%s|%s\\\\n' \\'$VOICE\\' \\'$DATA\\' >> " + spokenPath().toUtf8()
                  + "\"\n"
                    "AddVoice \"en\" \"MALE1\" \"english\"\n"
                    "AddVoice \"fr\" \"FEMALE1\" \"french\"\n");
        write(QDir::homePath() + QStringLiteral("/.libao"), "default_driver=null\n");
    }

    static QString spokenPath() { return QDir::homePath() + QStringLiteral("/spoken.txt"); }

    static QString spoken()
    {
        QFile file(spokenPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        file.write(bytes);
    }
};

} // namespace

TEST_F(SpeechTest, SpeaksThroughSpeechDispatcherInTheChosenVoice)
{
    auto speech = Native::Speech::makeDefault();
    Offered offered;
    speech->stop();
    speech->say(QStringLiteral("maison"), offered.recorder(QLocale::French));
    ASSERT_TRUE(Testing::spinUntil([&] { return offered.received(); }, 30s)) << "speech-dispatcher was not reached";
    {
        std::lock_guard lock(offered.mutex);
        const auto &locales = *offered.locales;
        EXPECT_TRUE(std::any_of(locales.begin(), locales.end(),
                                [](const QLocale &l) { return l.language() == QLocale::English; }));
        EXPECT_TRUE(std::any_of(locales.begin(), locales.end(),
                                [](const QLocale &l) { return l.language() == QLocale::French; }));
    }
    EXPECT_TRUE(Testing::spinUntil([] { return spoken().contains(QStringLiteral("french|maison")); }, 30s))
        << spoken().toStdString();

    // Without a choice the engine's default voice speaks (the session's C locale names none, so the
    // module speaks without one).
    speech->say(QStringLiteral("house"), {});
    EXPECT_TRUE(Testing::spinUntil([] { return spoken().contains(QStringLiteral("|house")); }, 30s))
        << spoken().toStdString();

    // With voices, the speaker button has something to say.
    std::atomic<int> available = -1;
    speech->checkAvailable([&](bool answer) { available = answer ? 1 : 0; });
    EXPECT_TRUE(Testing::spinUntil([&] { return available != -1; }, 30s));
    EXPECT_EQ(available, 1);
}

TEST_F(SpeechTest, WithoutAServiceNothingIsSpokenAndNothingComplains)
{
    // An address of a socket nobody listens on: the client library neither connects nor starts a daemon.
    qputenv("SPEECHD_ADDRESS", QByteArrayLiteral("unix_socket:/nonexistent/lumivox-speech.sock"));
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordWarnings);
    Offered offered;
    std::atomic<int> available = -1;
    {
        auto speech = Native::Speech::makeDefault();
        speech->say(QStringLiteral("hello"), offered.recorder());
        speech->stop();
        speech->say(QStringLiteral("again"), offered.recorder());
        // The window is told, so that it can grey its speaker out and say why.
        speech->checkAvailable([&](bool answer) { available = answer ? 1 : 0; });
        // Leaving the scope waits for the speech thread to finish what it was asked.
    }
    EXPECT_EQ(available, 0);
    qInstallMessageHandler(previous);
    qunsetenv("SPEECHD_ADDRESS");
    EXPECT_FALSE(offered.received());
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
}
