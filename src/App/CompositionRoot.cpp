#include "App/CompositionRoot.h"

#include "Features/Design/Appearance.h"
#include "Native/Services.h"
#include "Services/Learn/GlanceTranslator.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Services/Words/WordBook.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Preferences/PreferenceStore.h"

#include <QCoreApplication>

namespace Lumivox {

CompositionRoot::CompositionRoot(Native::Services &platform)
    : platform(platform)
    , preferences(PreferenceStore::standard())
    , diagnosticLog(DiagnosticLog::shared())
    , appearance(Appearance::shared())
    , onDeviceTranslation(AppleTranslateService::shared())
    , glanceTranslator(GlanceTranslator::shared(onDeviceTranslation))
    , wordBook(WordBook::shared(preferences))
    , translationCache(preferences, translationCacheLimit, translationCacheSaveDelay)
{
    // The preference store, the diagnostic log and the translation cache write themselves out at
    // quit; the word book leaves that to its owner, and a word saved just before quitting must not
    // be lost. Tied to a member, so that the hook goes when the root does.
    if (QCoreApplication *app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, &translationCache, [this] { wordBook.flush(); });
}

CompositionRoot::~CompositionRoot() = default;

} // namespace Lumivox
