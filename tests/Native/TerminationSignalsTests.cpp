// SIGTERM, SIGINT and SIGHUP reach the main loop as ordinary events, and the default actions come back when
// the program lets go of them.

#include "Native/Session/TerminationSignals.h"
#include "Support/TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace Lumivox;

TEST(TerminationSignals, SignalsArriveThroughTheEventLoopUntilReleased)
{
    auto terminationSignals = Native::TerminationSignals::install();
    ASSERT_TRUE(terminationSignals);
    EXPECT_FALSE(Native::TerminationSignals::install()) << "one owner per process";

    QSignalSpy received(terminationSignals.get(), &Native::TerminationSignals::received);
    ::kill(::getpid(), SIGTERM);
    ::kill(::getpid(), SIGINT);
    ::kill(::getpid(), SIGHUP);
    ASSERT_TRUE(Testing::spinUntil([&] { return received.count() == 3; }));
    EXPECT_EQ(received.at(0).at(0).toInt(), SIGTERM);
    EXPECT_EQ(received.at(1).at(0).toInt(), SIGINT);
    EXPECT_EQ(received.at(2).at(0).toInt(), SIGHUP);
    EXPECT_EQ(received.at(0).at(1).toLongLong(), ::getpid());

    terminationSignals.reset();
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction now
        {
        };
        ::sigaction(signal, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_DFL);
    }
    EXPECT_TRUE(Native::TerminationSignals::install()) << "free to be taken again";
}
