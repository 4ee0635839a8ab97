// The update glue over a fake updater: the notifier's state through a whole update session, which
// aborted sessions drop the waiting installation, and calls from a worker thread.

#include "Fakes/FakeUpdater.h"
#include "Features/Shell/AppDelegate.h"
#include "Features/Shell/UpdateNotifier.h"
#include "Features/Shell/UpdaterDelegate.h"
#include "Support/TestSupport.h"

#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

Native::UpdateItem item(const char *version)
{
    return {QString::fromUtf8(version), QString::fromUtf8(version), QUrl(QStringLiteral("https://lumivox.app/"))};
}

} // namespace

TEST(UpdateGlue, OnlyInstallationFailuresDropTheWaitingInstallation)
{
    const QString domain = Native::updaterErrorDomain;
    for (int code : {4000, 4005, 4999})
        EXPECT_TRUE(UpdateNotifier::shouldClearInstallOnQuit(domain, code)) << code;
    for (int code : {4007, 4008, 3999, 5000, 1001, 1, 2})
        EXPECT_FALSE(UpdateNotifier::shouldClearInstallOnQuit(domain, code)) << code;
    EXPECT_FALSE(UpdateNotifier::shouldClearInstallOnQuit(QStringLiteral("org.example.Other"), 4005));
}

TEST(UpdateGlue, ASessionFromOfferToInstallationAndItsEnd)
{
    UpdateNotifier notifier;
    FakeUpdater updater;
    updater.canCheck = false;
    notifier.track(updater);
    EXPECT_FALSE(notifier.canCheckForUpdates());
    updater.setCanCheck(true);
    EXPECT_TRUE(notifier.canCheckForUpdates());

    AppUpdaterDelegate glue(notifier);
    QSignalSpy versions(&notifier, &UpdateNotifier::availableVersionChanged);
    EXPECT_FALSE(glue.shouldHandleShowingScheduledUpdate(item("2.0"), false)) << "shown gently";
    EXPECT_TRUE(glue.shouldHandleShowingScheduledUpdate(item("2.0"), true));
    glue.willHandleShowingUpdate(false, item("2.0"));
    EXPECT_EQ(notifier.availableVersion(), QStringLiteral("2.0"));
    glue.willHandleShowingUpdate(true, item("3.0"));
    EXPECT_EQ(notifier.availableVersion(), QStringLiteral("2.0")) << "the updater shows that one itself";
    glue.didReceiveUserAttention(item("2.0"));
    EXPECT_EQ(notifier.availableVersion(), std::nullopt);
    EXPECT_EQ(versions.count(), 2);

    // Downloaded: ready to install on quit; clearing the offer keeps that, a new offer drops it.
    int installs = 0;
    glue.willInstallUpdateOnQuit(item("2.0"), [&installs] { ++installs; });
    EXPECT_TRUE(notifier.isReadyToInstall());
    ASSERT_TRUE(notifier.installNow());
    notifier.clear();
    EXPECT_FALSE(notifier.isReadyToInstall());
    ASSERT_TRUE(UpdateNotifier::installOnQuit());
    UpdateNotifier::installOnQuit()();
    EXPECT_EQ(installs, 1);
    notifier.show(QStringLiteral("2.1"));
    EXPECT_FALSE(UpdateNotifier::installOnQuit());

    // The installation flag: up when installing, down on abort, skip or the session's end; an abort
    // drops the waiting installation only for installation failures.
    glue.willInstallUpdateOnQuit(item("2.0"), [] {});
    glue.willInstallUpdate(item("2.0"));
    EXPECT_TRUE(AppDelegate::updateInstallInProgress);
    glue.didAbortWithError(Native::updaterErrorDomain, 4007);
    EXPECT_FALSE(AppDelegate::updateInstallInProgress);
    EXPECT_TRUE(UpdateNotifier::installOnQuit());
    glue.didAbortWithError(Native::updaterErrorDomain, 4005);
    EXPECT_FALSE(UpdateNotifier::installOnQuit());
    glue.willInstallUpdateOnQuit(item("2.0"), [] {});
    glue.userDidMakeChoice(Native::UpdateChoice::dismiss, item("2.0"));
    EXPECT_TRUE(UpdateNotifier::installOnQuit());
    glue.willInstallUpdate(item("2.0"));
    glue.userDidMakeChoice(Native::UpdateChoice::skip, item("2.0"));
    EXPECT_FALSE(UpdateNotifier::installOnQuit());
    EXPECT_FALSE(AppDelegate::updateInstallInProgress);
    glue.willInstallUpdate(item("2.0"));
    notifier.show(QStringLiteral("2.0"));
    glue.willFinishUpdateSession();
    EXPECT_FALSE(AppDelegate::updateInstallInProgress);
    EXPECT_EQ(notifier.availableVersion(), std::nullopt);

    // The updater's window: a check the user asks for ends the hidden state even right after Ctrl+Q.
    AppDelegate::dockIconSuppressed = true;
    UpdateWindows::checkForUpdates(updater);
    EXPECT_FALSE(AppDelegate::dockIconSuppressed);
    EXPECT_EQ(updater.checks, 1);
}

TEST(UpdateGlue, CallsFromAWorkerThreadLandOnTheMainThread)
{
    UpdateNotifier notifier;
    AppUpdaterDelegate glue(notifier);
    QThread *changedOn = nullptr;
    QObject::connect(
        &notifier, &UpdateNotifier::availableVersionChanged, &notifier, [&] { changedOn = QThread::currentThread(); },
        Qt::DirectConnection);
    std::unique_ptr<QThread> worker(QThread::create([&] { glue.willHandleShowingUpdate(false, item("2.0")); }));
    worker->start();
    worker->wait();
    EXPECT_EQ(notifier.availableVersion(), std::nullopt) << "not applied on the worker";
    ASSERT_TRUE(spinUntil([&] { return notifier.availableVersion().has_value(); }));
    EXPECT_EQ(changedOn, QThread::currentThread());
}
