#pragma once

// The real program in a system test: its own settings and data folders, its log, the events of its
// diagnostics file, and the windows it has on screen.

#include "Fakes/FakeWordBookEnvironment.h"
#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

#include <optional>
#include <vector>

typedef struct _XDisplay Display;

namespace Lumivox::Testing {

using namespace std::chrono_literals;

// The program over settings and data folders of its own: Spanish, hold key Alt, no Google key.
class RunningLumivox
{
public:
    RunningLumivox()
    {
        QDir().mkpath(config.path() + QStringLiteral("/Lumivox"));
        QFile prefs(config.path() + QStringLiteral("/Lumivox/app.lumivox.json"));
        prefs.open(QIODevice::WriteOnly);
        prefs.write(R"({"translateTarget": "es", "holdKey": "option", "hasCompletedOnboarding": true})");
        prefs.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("app.lumivox.*.debug=true"));
        process.setProcessEnvironment(environment);
        process.setProgram(qEnvironmentVariable("LUMIVOX_APP"));
        // Started as at login, which opens no window: the tests look at the tooltip alone.
        process.setArguments({QStringLiteral("--autostart")});
        process.start();
    }
    ~RunningLumivox()
    {
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished(5000);
    }
    bool waitUntilIdle()
    {
        return spinUntil(
            [&] {
                log += process.readAllStandardError();
                return log.contains("idle after");
            },
            30s);
    }
    // The newest hover event of diagnostics.json for the word (written 1.5 s after activity).
    std::optional<QJsonObject> event(const QString &word)
    {
        std::optional<QJsonObject> found;
        spinUntil(
            [&] {
                const QJsonObject root =
                    QJsonDocument::fromJson(WordBookEnvironment::contents(data.path() + "/Lumivox/diagnostics.json"))
                        .object();
                for (const QJsonValue &value : root.value(QStringLiteral("events")).toArray()) {
                    if (value.toObject().value(QStringLiteral("word")).toString() == word)
                        found = value.toObject();
                }
                return found.has_value();
            },
            10s);
        return found;
    }

    QTemporaryDir config;
    QTemporaryDir data;
    QProcess process;
    QByteArray log;
};

// Our viewable top-level windows, with their frames in root coordinates.
std::vector<QRect> windowsOf(Display *d, qint64 pid);

inline QRect wordBox(const FixtureProcess &fixture, const QByteArray &key)
{
    for (const QByteArray &line : fixture.lines()) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() >= 6 && parts[0] == "word" && parts[1] == key)
            return QRect(parts[2].toInt(), parts[3].toInt(), parts[4].toInt(), parts[5].toInt());
    }
    return {};
}

} // namespace Lumivox::Testing
