#pragma once

// Fixture windows for the system tests: a plain top-level window of our own at a known place, and
// the window manager's state as the root window tells it.

#include "Support/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace Lumivox::Testing {

struct FixtureWindow
{
    std::unique_ptr<QProcess> process;
    std::uint32_t windowID = 0;
    std::int32_t pid = 0;

    ~FixtureWindow()
    {
        if (process && process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
            process->waitForFinished(3000);
        }
    }
};

// Starts the fixture window and waits until it is on screen. Fails the test when it does not come up.
inline std::unique_ptr<FixtureWindow> launch(const QStringList &args,
                                             const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    auto fixture = std::make_unique<FixtureWindow>();
    fixture->process = std::make_unique<QProcess>();
    fixture->process->setProcessEnvironment(env);
    fixture->process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    fixture->process->start(qEnvironmentVariable("LUMIVOX_FIXTURES_DIR") + QStringLiteral("/plain_window"), args);
    if (!fixture->process->waitForStarted(5000)) {
        ADD_FAILURE() << "the fixture window did not start";
        return nullptr;
    }
    QByteArray line;
    const bool ready = Testing::spinUntil(
        [&] {
            if (fixture->process->canReadLine())
                line = fixture->process->readLine();
            return line.startsWith("ready ");
        },
        std::chrono::seconds(10));
    if (!ready) {
        QProcess tree;
        tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
        tree.waitForFinished(5000);
        ADD_FAILURE() << "the fixture window did not report that it is on screen; windows:\n"
                      << tree.readAllStandardOutput().toStdString();
        return nullptr;
    }
    const QList<QByteArray> parts = line.trimmed().split(' ');
    fixture->windowID = parts.value(1).toUInt();
    fixture->pid = parts.value(2).toInt();
    return fixture;
}

inline QByteArray rootProperty(const char *name)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QString::fromLatin1(name)});
    xprop.waitForFinished(5000);
    return xprop.readAllStandardOutput();
}

inline bool windowManagerRunning()
{
    return rootProperty("_NET_SUPPORTING_WM_CHECK").contains("window id");
}

// openbox announces itself before it has finished starting, and a window mapped in between is
// sometimes never managed; its client list appears once it has.
inline bool windowManagerReady()
{
    return windowManagerRunning()
        && rootProperty("_NET_CLIENT_LIST_STACKING").startsWith("_NET_CLIENT_LIST_STACKING(WINDOW)");
}

} // namespace Lumivox::Testing
