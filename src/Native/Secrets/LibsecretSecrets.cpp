// Secrets over the freedesktop Secret Service (gnome-keyring, KWallet's bridge, KeePassXC …) through
// libsecret. libsecret's synchronous calls cannot be bounded in time, and a locked keyring on a
// desktop makes them wait for a password dialog, so each call here drives libsecret's asynchronous
// API in a GLib main context of our own and iterates it until the answer or the deadline; at the
// deadline the step is cancelled (which also dismisses a prompt) and the call reports `timedOut`.

// GLib first: Qt's `signals` keyword would otherwise clash with members of the GIO headers.
#include <libsecret/secret.h>

#include "Native/Secrets/Secrets.h"

#include <QLoggingCategory>

#include <mutex>
#include <optional>
#include <vector>

Q_LOGGING_CATEGORY(lcSecrets, "app.lumivox.Secrets")

namespace Lumivox::Native {

QString toString(Secrets::Status status)
{
    switch (status) {
    case Secrets::Status::success:
        return QStringLiteral("success");
    case Secrets::Status::notFound:
        return QStringLiteral("not found");
    case Secrets::Status::locked:
        return QStringLiteral("locked");
    case Secrets::Status::noService:
        return QStringLiteral("no secret service");
    case Secrets::Status::timedOut:
        return QStringLiteral("timed out");
    case Secrets::Status::failed:
        return QStringLiteral("failed");
    }
    return QStringLiteral("failed");
}

namespace {

using SteadyClock = std::chrono::steady_clock;

// Items are matched on these two attributes only (not on the schema name), so an item that another
// tool stored for the same service and account is found, updated and removed like our own.
const SecretSchema *genericPasswordSchema()
{
    static const SecretSchema schema = {
        "app.lumivox.GenericPassword",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
    };
    return &schema;
}

// The answer of one asynchronous step. It is shared with the callback, so a step abandoned after its
// cancellation went unanswered can still complete safely during a later call.
struct Completion
{
    GAsyncResult *result = nullptr;
    ~Completion()
    {
        if (result)
            g_object_unref(result);
    }
};

void onReady(GObject *, GAsyncResult *result, gpointer data)
{
    auto *holder = static_cast<std::shared_ptr<Completion> *>(data);
    (*holder)->result = G_ASYNC_RESULT(g_object_ref(result));
    delete holder;
}

struct Attributes
{
    GHashTable *table;
    QByteArray service;
    QByteArray account;
    Attributes(const QString &serviceName, const QString &accountName)
        : table(g_hash_table_new(g_str_hash, g_str_equal))
        , service(serviceName.toUtf8())
        , account(accountName.toUtf8())
    {
        g_hash_table_insert(table, const_cast<char *>("service"), service.data());
        g_hash_table_insert(table, const_cast<char *>("account"), account.data());
    }
    ~Attributes() { g_hash_table_unref(table); }
    Attributes(const Attributes &) = delete;
    Attributes &operator=(const Attributes &) = delete;
};

struct ItemList
{
    GList *items = nullptr;
    ~ItemList() { g_list_free_full(items, g_object_unref); }
    std::vector<SecretItem *> all() const
    {
        std::vector<SecretItem *> out;
        for (GList *l = items; l; l = l->next)
            out.push_back(SECRET_ITEM(l->data));
        return out;
    }
};

bool isMissingService(const GError *error)
{
    return g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN)
        || g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)
        || g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND)
        || g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SPAWN_EXEC_FAILED)
        || g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SPAWN_CHILD_EXITED);
}

Secrets::Outcome outcome(Secrets::Status status, int code, QString message)
{
    Secrets::Outcome o;
    o.status = status;
    o.code = code;
    o.message = std::move(message);
    return o;
}

class LibsecretSecrets final : public Secrets
{
public:
    LibsecretSecrets()
        : m_context(g_main_context_new())
    { }
    ~LibsecretSecrets() override { g_main_context_unref(m_context); }

    Outcome read(const QString &service, const QString &account, std::chrono::milliseconds timeout) override
    {
        Call call(*this, timeout);
        SecretService *secretService = nullptr;
        if (auto failure = call.service(secretService))
            return *failure;
        Attributes attributes(service, account);
        ItemList found;
        if (auto failure = call.search(secretService, attributes, SECRET_SEARCH_LOAD_SECRETS, found))
            return *failure;

        const auto items = found.all();
        if (items.empty())
            return outcome(Status::notFound, 0, QStringLiteral("no such item"));
        SecretItem *unlocked = nullptr;
        for (SecretItem *item : items) {
            if (!secret_item_get_locked(item)) {
                unlocked = item;
                break;
            }
        }
        if (!unlocked)
            return outcome(Status::locked, SECRET_ERROR_IS_LOCKED, QStringLiteral("the keyring is locked"));
        SecretValue *value = secret_item_get_secret(unlocked);
        if (!value)
            return outcome(Status::failed, SECRET_ERROR_PROTOCOL, QStringLiteral("the secret was not delivered"));
        gsize length = 0;
        const gchar *bytes = secret_value_get(value, &length);
        Outcome result;
        result.data = QByteArray(bytes, static_cast<qsizetype>(length));
        secret_value_unref(value);
        return result;
    }

    Outcome write(const QString &service, const QString &account, const QString &label, const QByteArray &data,
                  std::chrono::milliseconds timeout) override
    {
        Call call(*this, timeout);
        SecretService *secretService = nullptr;
        if (auto failure = call.service(secretService))
            return *failure;
        Attributes attributes(service, account);
        ItemList found;
        if (auto failure = call.search(secretService, attributes, SECRET_SEARCH_ALL, found))
            return *failure;

        SecretValue *value = secret_value_new(data.constData(), data.size(), "text/plain");
        const auto items = found.all();
        std::optional<Outcome> failure;
        if (items.empty()) {
            const QByteArray labelBytes = label.toUtf8();
            failure = call.finishBool(
                [&](GCancellable *c, GAsyncReadyCallback cb, gpointer d) {
                    secret_service_store(secretService, genericPasswordSchema(), attributes.table,
                                         SECRET_COLLECTION_DEFAULT, labelBytes.constData(), value, c, cb, d);
                },
                [&](GAsyncResult *r, GError **e) { return secret_service_store_finish(secretService, r, e); });
        } else {
            // Overwrite in place: a second item for the pair would leave readers picking either one.
            SecretItem *item = items.front();
            for (SecretItem *candidate : items) {
                if (!secret_item_get_locked(candidate)) {
                    item = candidate;
                    break;
                }
            }
            if (secret_item_get_locked(item))
                failure = call.unlock(secretService, {item});
            if (!failure) {
                failure = call.finishBool(
                    [&](GCancellable *c, GAsyncReadyCallback cb, gpointer d) {
                        secret_item_set_secret(item, value, c, cb, d);
                    },
                    [&](GAsyncResult *r, GError **e) { return secret_item_set_secret_finish(item, r, e); });
            }
        }
        secret_value_unref(value);
        return failure ? *failure : Outcome {};
    }

    Outcome remove(const QString &service, const QString &account, std::chrono::milliseconds timeout) override
    {
        Call call(*this, timeout);
        SecretService *secretService = nullptr;
        if (auto failure = call.service(secretService))
            return *failure;
        Attributes attributes(service, account);
        ItemList found;
        if (auto failure = call.search(secretService, attributes, SECRET_SEARCH_ALL, found))
            return *failure;

        const auto items = found.all();
        std::vector<SecretItem *> locked;
        for (SecretItem *item : items) {
            if (secret_item_get_locked(item))
                locked.push_back(item);
        }
        if (!locked.empty()) {
            if (auto failure = call.unlock(secretService, locked))
                return *failure;
        }
        for (SecretItem *item : items) {
            auto failure = call.finishBool(
                [&](GCancellable *c, GAsyncReadyCallback cb, gpointer d) { secret_item_delete(item, c, cb, d); },
                [&](GAsyncResult *r, GError **e) { return secret_item_delete_finish(item, r, e); });
            if (failure)
                return *failure;
        }
        return {};
    }

private:
    // One public call: holds the backend's lock (one GLib context, iterated by one thread at a time),
    // makes that context the thread's default so libsecret's callbacks arrive there, and keeps the
    // deadline shared by every step of the call.
    class Call
    {
    public:
        Call(LibsecretSecrets &owner, std::chrono::milliseconds timeout)
            : m_lock(owner.m_mutex)
            , m_owner(owner)
            , m_context(owner.m_context)
            , m_deadline(SteadyClock::now() + timeout)
            , m_cancellable(g_cancellable_new())
        {
            g_main_context_push_thread_default(m_context);
        }
        ~Call()
        {
            m_last.reset();
            m_service.reset(nullptr);
            g_clear_object(&m_bus);
            g_object_unref(m_cancellable);
            g_main_context_pop_thread_default(m_context);
        }
        Call(const Call &) = delete;
        Call &operator=(const Call &) = delete;

        std::optional<Outcome> service(SecretService *&service)
        {
            // GLib's shared session connection raises SIGTERM in its own process when the bus goes
            // away; for us a lost bus is an error value, never the end of the program. The shared
            // connection lives only while someone holds it: held for the whole call, it is the one
            // libsecret is given, rather than a fresh one that would end the process again.
            m_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, m_cancellable, nullptr);
            if (m_bus)
                g_dbus_connection_set_exit_on_close(m_bus, FALSE);
            GAsyncResult *result = step([](GCancellable *c, GAsyncReadyCallback cb, gpointer d) {
                secret_service_get(SECRET_SERVICE_OPEN_SESSION, c, cb, d);
            });
            if (m_timedOut)
                return timedOutOutcome();
            GError *error = nullptr;
            service = secret_service_get_finish(result, &error);
            if (!service) {
                // Without a bus or a service there is nothing to talk to, whatever the error says.
                Outcome o = failureOutcome(error);
                o.status = Status::noService;
                return o;
            }
            m_service.reset(service);
            return std::nullopt;
        }

        std::optional<Outcome> search(SecretService *service, const Attributes &attributes, SecretSearchFlags flags,
                                      ItemList &found)
        {
            GAsyncResult *result = step([&](GCancellable *c, GAsyncReadyCallback cb, gpointer d) {
                secret_service_search(service, genericPasswordSchema(), attributes.table, flags, c, cb, d);
            });
            if (m_timedOut)
                return timedOutOutcome();
            GError *error = nullptr;
            found.items = secret_service_search_finish(service, result, &error);
            if (error)
                return failureOutcome(error);
            return std::nullopt;
        }

        // The one step that may show the desktop's password dialog.
        std::optional<Outcome> unlock(SecretService *service, const std::vector<SecretItem *> &items)
        {
            GList *objects = nullptr;
            for (SecretItem *item : items)
                objects = g_list_append(objects, item);
            GAsyncResult *result = step([&](GCancellable *c, GAsyncReadyCallback cb, gpointer d) {
                secret_service_unlock(service, objects, c, cb, d);
            });
            g_list_free(objects);
            if (m_timedOut)
                return timedOutOutcome();
            GError *error = nullptr;
            const gint unlocked = secret_service_unlock_finish(service, result, nullptr, &error);
            if (error)
                return failureOutcome(error);
            if (unlocked < static_cast<gint>(items.size()))
                return outcome(Status::locked, SECRET_ERROR_IS_LOCKED, QStringLiteral("the keyring stayed locked"));
            return std::nullopt;
        }

        template<class Start, class Finish>
        std::optional<Outcome> finishBool(Start start, Finish finish)
        {
            GAsyncResult *result = step(start);
            if (m_timedOut)
                return timedOutOutcome();
            GError *error = nullptr;
            if (!finish(result, &error)) {
                if (!error)
                    return outcome(Status::failed, SECRET_ERROR_PROTOCOL, QStringLiteral("the secret service refused"));
                return failureOutcome(error);
            }
            return std::nullopt;
        }

    private:
        struct ServiceRef
        {
            SecretService *service = nullptr;
            void reset(SecretService *s)
            {
                if (service)
                    g_object_unref(service);
                service = s;
            }
            ~ServiceRef() { reset(nullptr); }
        };

        // Starts one asynchronous step and waits for its answer until the deadline; past it the step
        // is cancelled and given a short grace to wind down (a prompt is dismissed on the way).
        template<class Start>
        GAsyncResult *step(Start start)
        {
            auto done = std::make_shared<Completion>();
            auto *holder = new std::shared_ptr<Completion>(done);
            start(m_cancellable, &onReady, holder);
            m_last = done;
            if (!waitFor(*done, m_deadline)) {
                m_timedOut = true;
                g_cancellable_cancel(m_cancellable);
                waitFor(*done, SteadyClock::now() + std::chrono::milliseconds(500));
                if (!done->result) {
                    // libsecret 0.20 never completes a prompt that was dismissed by a cancellation. The
                    // holder stays with the backend; a late answer, should one come, still finds it.
                    qCWarning(lcSecrets) << "secret service step abandoned after its cancellation went unanswered";
                    m_owner.m_abandoned.push_back(holder);
                }
            }
            return done->result;
        }

        bool waitFor(const Completion &done, SteadyClock::time_point until)
        {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - SteadyClock::now());
            if (left.count() <= 0) {
                while (!done.result && g_main_context_iteration(m_context, FALSE)) { }
                return done.result != nullptr;
            }
            bool expired = false;
            GSource *timer = g_timeout_source_new(static_cast<guint>(left.count()));
            g_source_set_callback(
                timer,
                [](gpointer flag) -> gboolean {
                    *static_cast<bool *>(flag) = true;
                    return G_SOURCE_REMOVE;
                },
                &expired, nullptr);
            g_source_attach(timer, m_context);
            while (!done.result && !expired)
                g_main_context_iteration(m_context, TRUE);
            g_source_destroy(timer);
            g_source_unref(timer);
            return done.result != nullptr;
        }

        static Outcome timedOutOutcome()
        {
            return outcome(Status::timedOut, G_IO_ERROR_TIMED_OUT,
                           QStringLiteral("the secret service did not answer in time"));
        }

        Outcome failureOutcome(GError *error) const
        {
            if (m_timedOut) {
                g_clear_error(&error);
                return timedOutOutcome();
            }
            if (!error)
                return outcome(Status::failed, 0, QStringLiteral("unknown error"));
            Status status = Status::failed;
            if (g_error_matches(error, SECRET_ERROR, SECRET_ERROR_IS_LOCKED))
                status = Status::locked;
            else if (isMissingService(error))
                status = Status::noService;
            g_dbus_error_strip_remote_error(error);
            Outcome o = outcome(status, error->code, QString::fromUtf8(error->message));
            g_error_free(error);
            return o;
        }

        std::unique_lock<std::mutex> m_lock;
        LibsecretSecrets &m_owner;
        GMainContext *m_context;
        SteadyClock::time_point m_deadline;
        GCancellable *m_cancellable;
        bool m_timedOut = false;
        std::shared_ptr<Completion> m_last;
        ServiceRef m_service;
        GDBusConnection *m_bus = nullptr;
    };

    std::mutex m_mutex;
    GMainContext *m_context;
    // Only kept so that steps libsecret never finished are still accounted for; never dereferenced.
    std::vector<const void *> m_abandoned;
};

} // namespace

std::shared_ptr<Secrets> Secrets::makeDefault()
{
    return std::make_shared<LibsecretSecrets>();
}

} // namespace Lumivox::Native
