// Which kind of program the desktop opens mail links with, told from its desktop entry.

#include "Native/Session/MailHandOff.h"

#include <gtest/gtest.h>

using namespace Lumivox::Native;
using Handler = MailHandOff::Handler;

TEST(MailHandler, MailProgramsBrowsersAndNothingAreToldApart)
{
    const struct
    {
        const char *entry;
        Handler kind;
    } cases[] = {
        {"[Desktop Entry]\nName=Thunderbird\nCategories=Network;Email;\nMimeType=message/rfc822;x-scheme-handler/"
         "mailto;\n",
         Handler::mailProgram},
        {"[Desktop Entry]\nExec=evolution %U\nMimeType=x-scheme-handler/mailto;text/calendar;\n", Handler::mailProgram},
        {"[Desktop Entry]\nName=Firefox\nCategories=Network;WebBrowser;\nMimeType=text/html;x-scheme-handler/mailto;\n",
         Handler::webBrowser},
        // A browser that does not say so in its categories still opens web links.
        {"[Desktop Entry]\nMimeType=x-scheme-handler/https;x-scheme-handler/mailto\n", Handler::webBrowser},
        {"[Desktop Entry]\n  Categories = WebBrowser\n", Handler::webBrowser},
        // Only the main group counts: an action's keys describe something else.
        {"[Desktop Entry]\nCategories=Office;\n[Desktop Action web]\nCategories=WebBrowser;\n", Handler::mailProgram},
        {"[Desktop Entry]\nCategoriesX=WebBrowser\n", Handler::mailProgram},
        {"", Handler::none},
        {"  \n", Handler::none},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MailHandOff::handlerKind(QString::fromUtf8(c.entry)), c.kind) << c.entry;
}
