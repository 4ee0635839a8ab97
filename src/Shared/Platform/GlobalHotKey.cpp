#include "Shared/Platform/GlobalHotKey.h"

#include "Native/Services.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QThread>

Q_LOGGING_CATEGORY(lcGlobalHotKey, "app.lumivox.HotKeys")

namespace Lumivox {

std::atomic<std::uint32_t> GlobalHotKey::s_nextID {1};

GlobalHotKey::GlobalHotKey(std::shared_ptr<Native::HotKeys> service, std::uint32_t keyCode, std::uint32_t modifiers,
                           Action action)
    : m_service(std::move(service))
    , m_keyCode(keyCode)
    , m_modifiers(modifiers)
    , m_id(s_nextID.fetch_add(1))
    , m_action(std::move(action))
{ }

std::unique_ptr<GlobalHotKey> GlobalHotKey::create(std::uint32_t keyCode, std::uint32_t modifiers, Action action)
{
    // The handler list and the key events live on the main thread; nothing else may touch them.
    const QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        qCWarning(lcGlobalHotKey) << "a global hot key can only be made on the main thread";
        return nullptr;
    }
    auto service = Native::service<Native::HotKeys>();
    if (!service)
        return nullptr;
    std::unique_ptr<GlobalHotKey> hotKey(new GlobalHotKey(std::move(service), keyCode, modifiers, std::move(action)));

    // Every handler sees every press of the program's hot keys; the object owns its handler and
    // removes it before it goes, so the raw pointer never outlives it.
    GlobalHotKey *self = hotKey.get();
    hotKey->m_handlerRef = hotKey->m_service->installHandler([self](Native::HotKeyID id) { return self->handle(id); });
    if (!hotKey->m_handlerRef) {
        qCWarning(lcGlobalHotKey) << "could not install the hot-key handler";
        return nullptr;
    }
    hotKey->m_hotKeyRef = hotKey->m_service->registerHotKey(keyCode, modifiers, {signature, hotKey->m_id});
    if (!hotKey->m_hotKeyRef) {
        hotKey->unregister();
        return nullptr;
    }
    return hotKey;
}

GlobalHotKey::~GlobalHotKey()
{
    unregister();
}

void GlobalHotKey::unregister()
{
    if (auto ref = std::exchange(m_hotKeyRef, std::nullopt))
        m_service->unregisterHotKey(*ref);
    if (auto ref = std::exchange(m_handlerRef, std::nullopt))
        m_service->removeHandler(*ref);
}

Native::HotKeyEventResult GlobalHotKey::handle(Native::HotKeyID hotKeyID)
{
    if (hotKeyID.signature != signature || hotKeyID.id != m_id)
        return Native::HotKeyEventResult::notHandled;
    // The action may destroy this object (a tooltip key that closes the tooltip releases its own
    // keys), so it runs from a copy and nothing of the object is touched afterwards.
    if (const Action action = m_action)
        action();
    return Native::HotKeyEventResult::handled;
}

} // namespace Lumivox
