#pragma once

// The coordinator's dependencies that every coordinator test sets alike: the environment's clock,
// preferences and login folder, the word book and translation cache, a fake picker and fake
// windows, in a test host. A test adds the fakes it drives (input, window list, sources …).

#include "Fakes/FakeCoordinatorViews.h"
#include "Fakes/FakeWordBookEnvironment.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Services/Translation/TranslationStore.h"

namespace Lumivox::Testing {

inline HoverTextController::Dependencies coordinatorDependencies(WordBookEnvironment &environment, WordBook &book,
                                                                 TranslationStore &cache)
{
    HoverTextController::Dependencies d;
    d.defaults = environment.defaults;
    d.wordBook = &book;
    d.translationCache = &cache;
    d.clock = environment.clock;
    d.loginItem = Native::LoginItem::autostartEntry(environment.path(QStringLiteral("autostart")),
                                                    QStringLiteral("/bin/true"), QStringLiteral("app.lumivox"));
    d.picker = std::make_shared<FakePicker>();
    d.windows = std::make_shared<FakeWindows>();
    d.hostingTests = true;
    return d;
}

} // namespace Lumivox::Testing
