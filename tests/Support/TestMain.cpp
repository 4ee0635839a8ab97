// The main of every test program: a QApplication (offscreen for unit tests, the private session's
// display for system tests) so that coroutines, timers and widgets have an event loop, and windows
// draw and lay out in the program's own style.

#include "Features/Design/FormStyle.h"
#include "Support/TestSupport.h"

#include <QApplication>

#include <gmock/gmock.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Lumivox::FormStyle::install();
    Lumivox::LanguageCatalog::setOnDevicePairs(Lumivox::Testing::installedPairs());
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
