#pragma once

// An updater that checks nothing: tests set whether a check can start and count the checks asked for.

#include "Native/Updates/Updater.h"

namespace Lumivox::Testing {

class FakeUpdater final : public Native::Updater
{
public:
    bool canCheckForUpdates() const override { return canCheck; }
    void start() override { ++starts; }
    void checkForUpdates() override { ++checks; }
    bool automaticallyChecksForUpdates() const override { return automatic; }
    void setAutomaticallyChecksForUpdates(bool on) override { automatic = on; }

    void setCanCheck(bool can)
    {
        canCheck = can;
        emit canCheckForUpdatesChanged();
    }

    bool canCheck = true;
    bool automatic = true;
    int starts = 0;
    int checks = 0;
};

} // namespace Lumivox::Testing
