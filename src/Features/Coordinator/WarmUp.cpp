// The warm-up: the first hover of a session should not pay for opening a connection, loading a
// tagger or a translation model. One task does the steps one after another (never two at once, so
// that the computer stays quiet while the user starts working) and ignores every failure: a step
// that cannot warm anything up only leaves the first hover as slow as it would have been.

#include "Features/Coordinator/HoverTextController.h"
#include "Shared/Platform/KeychainStorage.h"

namespace Lumivox {

void HoverTextController::warmUp()
{
    // Scheduled rather than slept inside the task: a coordinator that goes before the delay is over
    // then leaves no suspended task behind.
    m_deps.clock->schedule(warmUpDelay, this, [this] {
        [[maybe_unused]] auto task = warmUpTask(QPointer<HoverTextController>(this));
    });
}

QCoro::Task<> HoverTextController::warmUpTask(QPointer<HoverTextController> self)
{
    // The steps are copied: the coordinator may go while a step runs.
    const WarmUpSteps steps = self->m_deps.warmUp;
    const auto prepareSession = self->m_deps.prepareOnDeviceSession;

    // The target is read afresh at every step, so a change made meanwhile is what gets warmed up.
    (void)self->font(self->m_targetLanguage);

    if (self->currentLanguage().isAppleSupported()) {
        // Translated on this computer: Google is never asked, even with a key stored.
        if (prepareSession)
            prepareSession(QStringLiteral("en"), self->m_targetLanguage);
    } else if (steps.google
               && KeychainStorage::get(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService)) {
        co_await steps.google(self->m_targetLanguage);
        if (!self)
            co_return;
    }

    if (steps.tagger)
        co_await steps.tagger();
    if (!self)
        co_return;
    if (steps.onDevice)
        co_await steps.onDevice(self->m_targetLanguage);
    if (!self)
        co_return;
    // Without the permission no capture is ever recognised, so the model would only take memory.
    if (self->m_hasScreenRecordingPermission && steps.recognition)
        co_await steps.recognition();
}

} // namespace Lumivox
