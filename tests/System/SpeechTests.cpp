// Reading a word aloud through the real speech-dispatcher in the private session: the daemon is
// started on first use by its client library, speaks with the espeak-ng voices into libao's null
// device (the session has no sound card), and without a reachable service nothing is spoken and
// nothing complains.

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

    Native::Speech::VoiceChoice recorder()
    {
        return [this](const std::vector<QLocale> &available) -> std::optional<QLocale> {
            std::lock_guard lock(mutex);
            locales = available;
            return QLocale(QLocale::English);
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
        write(config + QStringLiteral("/speechd.conf"), "AudioOutputMethod \"libao\"\nDefaultModule espeak-ng\n");
        write(QDir::homePath() + QStringLiteral("/.libao"), "default_driver=null\n");
    }

    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        file.write(bytes);
    }
};

} // namespace

TEST_F(SpeechTest, SpeaksThroughSpeechDispatcherWithItsVoices)
{
    auto speech = Native::Speech::makeDefault();
    Offered offered;
    speech->stop();
    speech->say(QStringLiteral("hello"), offered.recorder());
    // Starting the daemon and loading every espeak-ng voice takes seconds on a loaded machine.
    ASSERT_TRUE(Testing::spinUntil([&] { return offered.received(); }, 60s)) << "speech-dispatcher was not reached";
    std::lock_guard lock(offered.mutex);
    const auto &locales = *offered.locales;
    EXPECT_TRUE(
        std::any_of(locales.begin(), locales.end(), [](const QLocale &l) { return l.language() == QLocale::English; }));
    EXPECT_TRUE(
        std::any_of(locales.begin(), locales.end(), [](const QLocale &l) { return l.language() == QLocale::French; }));
}

TEST_F(SpeechTest, WithoutAServiceNothingIsSpokenAndNothingComplains)
{
    // An address of a socket nobody listens on: the client library neither connects nor starts a daemon.
    qputenv("SPEECHD_ADDRESS", QByteArrayLiteral("unix_socket:/nonexistent/lumivox-speech.sock"));
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordWarnings);
    Offered offered;
    {
        auto speech = Native::Speech::makeDefault();
        speech->say(QStringLiteral("hello"), offered.recorder());
        speech->stop();
        speech->say(QStringLiteral("again"), offered.recorder());
        // Leaving the scope waits for the speech thread to finish what it was asked.
    }
    qInstallMessageHandler(previous);
    qunsetenv("SPEECHD_ADDRESS");
    EXPECT_FALSE(offered.received());
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
}
