#pragma once

// The real program in a system test: its own settings and data folders, its log, the events of its
// diagnostics file, and the windows it has on screen.

#include "Fakes/FakeWordBookEnvironment.h"
#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"
#include "Support/XTestInjector.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <vector>

#include <X11/keysym.h>

typedef struct _XDisplay Display;

namespace Lumivox::Testing {

using namespace std::chrono_literals;

// The program over settings and data folders of its own: by default Spanish, hold key Alt, no
// Google key, onboarding done and the keep-words question answered. Empty preferences are a first run: no settings file
// at all.
class RunningLumivox
{
public:
    static constexpr const char *everydayPreferences =
        R"({"translateTarget": "es", "holdKey": "option", "hasCompletedOnboarding": true,
            "wordsAskedAboutHistory": true})";

    /// The everyday preferences with another hold key ("always", "command" …).
    static QByteArray preferencesWithHoldKey(const char *holdKey)
    {
        return QByteArray(everydayPreferences)
            .replace("\"holdKey\": \"option\"", QByteArray("\"holdKey\": \"") + holdKey + '"');
    }

    /// `prepare` may put files in the data home before the program starts.
    explicit RunningLumivox(const std::function<void(const QString &dataHome)> &prepare = {})
        : RunningLumivox(QByteArray(everydayPreferences), prepare)
    { }
    /// Empty `preferences`: a first run.
    explicit RunningLumivox(const QByteArray &preferences,
                            const std::function<void(const QString &dataHome)> &prepare = {})
        : RunningLumivox(preferences, {QStringLiteral("--autostart")}, prepare)
    { }
    /// Started with `arguments`: none for a start by the user, "--autostart" for one at login.
    RunningLumivox(const QByteArray &preferences, const QStringList &arguments,
                   const std::function<void(const QString &dataHome)> &prepare = {})
    {
        QDir().mkpath(config.path() + QStringLiteral("/Lumivox"));
        if (!preferences.isEmpty()) {
            QFile prefs(preferencesPath());
            prefs.open(QIODevice::WriteOnly);
            prefs.write(preferences);
            prefs.close();
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("app.lumivox.*.debug=true"));
        process.setProcessEnvironment(environment);
        if (prepare)
            prepare(data.path());
        process.setProgram(qEnvironmentVariable("LUMIVOX_APP"));
        // Most tests start it as at login, which opens no window: they look at the tooltip alone.
        process.setArguments(arguments);
        process.start();
    }
    ~RunningLumivox()
    {
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished(5000);
    }
    QString preferencesPath() const { return config.path() + QStringLiteral("/Lumivox/app.lumivox.json"); }
    /// The saved words, in whichever folder of the data home the program keeps its word book.
    QByteArray savedWords() const
    {
        for (const QString &folder : QDir(data.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString file = data.path() + u'/' + folder + QStringLiteral("/Words.json");
            if (QFileInfo::exists(file))
                return WordBookEnvironment::contents(file);
        }
        return {};
    }
    bool waitUntilIdle() { return waitForLog("idle after", 30s); }
    /// Everything the program has logged so far, for a failure's message.
    std::string logText()
    {
        log += process.readAllStandardError();
        return log.toStdString();
    }
    /// Waits for a line of the program's debug log that has not been seen before; each wait starts
    /// where the last one that succeeded ended.
    bool waitForLog(const QByteArray &text, std::chrono::milliseconds timeout)
    {
        return spinUntil(
            [&] {
                log += process.readAllStandardError();
                const qsizetype at = log.indexOf(text, logSeen);
                if (at < 0)
                    return false;
                logSeen = at + text.size();
                return true;
            },
            timeout);
    }
    /// Moves the pointer to `pixel` and waits until the program has seen it come to rest there: a key
    /// pressed next then meets a program that has taken in the whole move, and no late motion of it
    /// can interrupt what the key starts. A pointer already there makes no move, and the program has
    /// had it there since before.
    bool moveAndRest(XTestInjector &input, QPoint pixel)
    {
        if (input.pointer() == pixel)
            return true;
        // Only a rest after this move counts: what was logged before it is passed over.
        QCoreApplication::processEvents();
        log += process.readAllStandardError();
        logSeen = log.size();
        input.moveTo(pixel.x(), pixel.y());
        return waitForLog("pointer rests at", 10s);
    }
    /// Points at `box`, holds Alt until the tooltip's keys are armed, saves the word shown with Alt+S
    /// and lets go. False when a step did not come (the log says which).
    bool saveWordAt(XTestInjector &keys, const QRect &box)
    {
        if (!moveAndRest(keys, box.center()))
            return false;
        keys.key(XK_Alt_L, true);
        bool saved = waitForLog("tooltip keys armed", 30s);
        if (saved) {
            keys.tap(XK_s);
            saved = waitForLog("the word shown was saved", 10s);
        }
        keys.key(XK_Alt_L, false);
        return saved;
    }
    /// Holds Alt over `pixel` until the hover there has an outcome, lets go and waits until the tooltip
    /// is gone; nothing when the program never saw the pointer rest there or gave no outcome. Resting
    /// without the key, letting go of it and a rest while the hover is still being read ("busy") are
    /// outcomes of their own, passed over.
    std::optional<QJsonObject> altHoverOutcome(XTestInjector &input, Display *display, QPoint pixel);
    /// The word a hover's outcome read: the one its tooltip showed, or the one it meant to translate
    /// (a word that fails to translate on this computer would show with a Google key); nothing for
    /// an outcome that read no word.
    static std::optional<QString> wordRead(const QJsonObject &outcome);

    /// The hover events of diagnostics.json as written so far (1.5 s after activity), oldest first.
    QJsonArray events() const
    {
        return QJsonDocument::fromJson(WordBookEnvironment::contents(data.path() + "/Lumivox/diagnostics.json"))
            .object()
            .value(QStringLiteral("events"))
            .toArray();
    }
    // The newest hover event of diagnostics.json for the word.
    std::optional<QJsonObject> event(const QString &word)
    {
        return eventWhere([&](const QJsonObject &e) { return e.value(QStringLiteral("word")).toString() == word; });
    }
    // The newest hover event of diagnostics.json that `matches`.
    std::optional<QJsonObject> eventWhere(const std::function<bool(const QJsonObject &)> &matches)
    {
        std::optional<QJsonObject> found;
        spinUntil(
            [&] {
                for (const QJsonValue &value : events()) {
                    if (matches(value.toObject()))
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
    qsizetype logSeen = 0;
};

// Our viewable top-level windows: their X ids, their frames in root coordinates, the one with a title.
std::vector<unsigned long> windowIDsOf(Display *d, qint64 pid);
std::vector<QRect> windowsOf(Display *d, qint64 pid);
unsigned long windowTitled(Display *d, qint64 pid, const char *title);
// Whether another client holds a passive grab of the key (a keysym) with these modifiers
// (AnyModifier: with any).
bool keyIsTaken(Display *d, unsigned long keysym, unsigned int modifiers);
// Whether another client holds the keyboard (an active grab, as a pop-up takes it).
bool keyboardIsHeld(Display *d);
// Whether another client holds the pointer.
bool pointerIsHeld(Display *d);

// A viewable window of the process anywhere in the tree (a tray icon sits inside the tray's window).
struct TreeWindow
{
    unsigned long window = 0;
    QRect frame;
    QByteArray title;
};
std::vector<TreeWindow> windowsInTree(Display *d, qint64 pid);

// Starts trayer as a panel at the top right (`looks` sets its colours) and waits until it holds the
// tray; false when trayer is missing or takes no tray.
bool startTrayPanel(Display *d, QProcess &trayer,
                    const QStringList &looks = {QStringLiteral("--transparent"), QStringLiteral("false")});
// The program's icon as the panel embedded it, waited for; empty when it never shows.
QRect trayIconOf(Display *d, qint64 pid);
// Presses and releases the key of a keysym name ("Down", "Return", "space").
void tapKey(Display *d, const char *key);
// Opens the tray menu with a click on the icon and waits until it shows; false when it does not.
bool openTrayMenu(Display *d, const QRect &icon, qint64 pid);
// Opens the tray menu with a click on the icon and chooses the item `nth` presses of Down reach (a
// negative `nth`: presses of Up, from the bottom; -1 is Quit); false when the menu does not open.
bool chooseInTrayMenu(Display *d, const QRect &icon, qint64 pid, int nth);

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
