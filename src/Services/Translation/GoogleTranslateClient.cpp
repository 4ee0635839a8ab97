#include "Services/Translation/GoogleTranslateClient.h"

#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Shared/Text/TextUtils.h"

#include <QCoreApplication>
#include <QCoroNetworkReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace Lumivox {

namespace {

const QString translatePath = QStringLiteral("/language/translate/v2");

struct ReplyDeleter
{
    void operator()(QNetworkReply *reply) const { reply->deleteLater(); }
};
using ReplyPtr = std::unique_ptr<QNetworkReply, ReplyDeleter>;

// What came back from one transfer. A transfer error is one the platform would throw (no
// connection, time-out, cancellation, a body cut short); an HTTP error status is a response.
struct Transfer
{
    std::optional<ErrorInfo> error;
    std::optional<int> httpStatus;
    QByteArray body;
};

bool isUsableKey(const QString &key)
{
    for (const QChar c : key) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

bool isValidRoot(const QUrl &root)
{
    return root.isValid() && !root.scheme().isEmpty() && !root.host().isEmpty();
}

// Errors Qt raises for an HTTP status rather than for the transfer itself.
bool isStatusError(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::AuthenticationRequiredError:
    case QNetworkReply::ContentAccessDenied:
    case QNetworkReply::ContentNotFoundError:
    case QNetworkReply::ContentOperationNotPermittedError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::ContentConflictError:
    case QNetworkReply::ContentGoneError:
    case QNetworkReply::UnknownContentError:
    case QNetworkReply::InternalServerError:
    case QNetworkReply::OperationNotImplementedError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownServerError:
        return true;
    default:
        return false;
    }
}

ErrorInfo networkError(QNetworkReply::NetworkError code)
{
    return ErrorInfo {QStringLiteral("QNetworkReply"), static_cast<long long>(code)};
}

void applyCommonSettings(QNetworkRequest &request, std::chrono::milliseconds timeout)
{
    request.setTransferTimeout(int(timeout.count()));
    // A redirect would carry the key header to wherever it points; the service never redirects.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
}

QCoro::Task<Transfer> send(QNetworkAccessManager *session, QNetworkRequest request, QByteArray body, bool head,
                           std::chrono::milliseconds deadline, std::stop_token stop)
{
    ReplyPtr reply(head ? session->head(request) : session->post(request, body));
    QNetworkReply *raw = reply.get();

    // The transfer time-out only measures silence: a reply that trickles a byte a second would
    // otherwise hold the request for as long as the size cap allows. Ends as a time-out does.
    QTimer::singleShot(deadline, raw, [raw] { raw->abort(); });

    auto tooLarge = std::make_shared<bool>(false);
    QObject::connect(raw, &QNetworkReply::readyRead, raw, [raw, tooLarge] {
        if (raw->bytesAvailable() > GoogleTranslateClient::maximumReplyBytes && !*tooLarge) {
            *tooLarge = true;
            raw->abort();
        }
    });
    // Queued: the token may be stopped from any thread, and aborting emits `finished` at once.
    std::stop_callback onStop(stop, [raw] {
        QMetaObject::invokeMethod(
            raw, [raw] { raw->abort(); }, Qt::QueuedConnection);
    });

    if (!raw->isFinished()) {
        // Named awaitables throughout: GCC 12 destroys some temporaries of a co_await expression twice.
        auto finished = qCoro(raw).waitForFinished();
        co_await finished;
    }

    Transfer transfer;
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        transfer.httpStatus = status.toInt();
    const QNetworkReply::NetworkError error = raw->error();
    if (*tooLarge) {
        // Received, but not a body anyone could use: it reads as an unusable reply with its status.
        transfer.httpStatus = transfer.httpStatus.value_or(0);
        co_return transfer;
    }
    if (error != QNetworkReply::NoError && !(transfer.httpStatus && isStatusError(error))) {
        // Qt reports its own inactivity time-out, like our deadline, as a cancellation; only a stop
        // is one.
        const bool timedOut = error == QNetworkReply::OperationCanceledError && !stop.stop_requested();
        transfer.error = networkError(timedOut ? QNetworkReply::TimeoutError : error);
        transfer.httpStatus.reset();
        co_return transfer;
    }
    transfer.body = raw->readAll();
    co_return transfer;
}

std::optional<QString> cleaned(const QString &text, bool unescape)
{
    QString result = Text::trimmed(unescape ? Text::htmlUnescaped(text) : text);
    if (result.isEmpty())
        return std::nullopt;
    return result;
}

// {"data": {"translations": [{"translatedText": "…"}, …]}}; every element must have its text, as a
// strict decoder would require. Gives the texts, or none when the shape does not match.
std::optional<QStringList> currentShapeTexts(const QJsonObject &root)
{
    const QJsonValue data = root.value(QLatin1String("data"));
    if (!data.isObject())
        return std::nullopt;
    const QJsonValue translations = data.toObject().value(QLatin1String("translations"));
    if (!translations.isArray())
        return std::nullopt;
    QStringList texts;
    for (const QJsonValue &element : translations.toArray()) {
        if (!element.isObject())
            return std::nullopt;
        const QJsonValue text = element.toObject().value(QLatin1String("translatedText"));
        if (!text.isString())
            return std::nullopt;
        texts.append(text.toString());
    }
    return texts;
}

std::optional<QJsonObject> jsonObject(const QByteArray &data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QString statusDetail(std::optional<int> httpStatus, const QString &target)
{
    return QStringLiteral("HTTP %1 %2").arg(httpStatus.value_or(0)).arg(target);
}

QCoro::Task<TranslationAttempt> translateViaGoogle(QString text, std::optional<QString> source, QString apiKey,
                                                   QString target, GoogleTranslateConnection connection,
                                                   std::stop_token stop)
{
    auto request = GoogleTranslateClient::postRequest(text, source, target, false, apiKey, connection);
    if (!request)
        co_return TranslationAttempt::failed(DiagnosticReason::googleFailed, QStringLiteral("request ") + target);
    QNetworkAccessManager *session = connection.session ? connection.session : GoogleTranslateClient::sharedSession();
    auto sending = send(session, request->request, request->body, false, connection.deadline, stop);
    const Transfer transfer = co_await sending;
    if (transfer.error)
        co_return TranslationAttempt::failed(DiagnosticReason::googleFailed,
                                             target + QLatin1Char(' ') + DiagnosticLog::errorDetail(*transfer.error));
    if (auto translated = GoogleTranslateClient::parse(transfer.body, transfer.httpStatus))
        co_return TranslationAttempt::success(*translated);
    co_return TranslationAttempt::failed(DiagnosticReason::googleFailed, statusDetail(transfer.httpStatus, target));
}

QCoro::Task<std::optional<QString>> translateText(QString text, std::optional<QString> source, bool html,
                                                  std::optional<QString> apiKey, QString target,
                                                  GoogleTranslateConnection connection, std::stop_token stop)
{
    const QString key = apiKey ? Text::trimmed(*apiKey) : QString();
    if (key.isEmpty())
        co_return std::nullopt;
    auto request = GoogleTranslateClient::postRequest(text, source, target, html, key, connection);
    if (!request)
        co_return std::nullopt;
    QNetworkAccessManager *session = connection.session ? connection.session : GoogleTranslateClient::sharedSession();
    auto sending = send(session, request->request, request->body, false, connection.deadline, stop);
    const Transfer transfer = co_await sending;
    if (transfer.error || transfer.httpStatus != 200)
        co_return std::nullopt;
    const auto root = jsonObject(transfer.body);
    if (!root)
        co_return std::nullopt;
    const auto texts = currentShapeTexts(*root);
    if (!texts || texts->isEmpty())
        co_return std::nullopt;
    co_return cleaned(texts->first(), !html);
}

QCoro::Task<> warmUpConnection(GoogleTranslateConnection connection)
{
    if (!isValidRoot(connection.serviceRoot))
        co_return;
    QUrl url = connection.serviceRoot;
    url.setPath(QStringLiteral("/"));
    QNetworkRequest request(url);
    applyCommonSettings(request, connection.timeout);
    QNetworkAccessManager *session = connection.session ? connection.session : GoogleTranslateClient::sharedSession();
    auto sending = send(session, request, QByteArray(), true, connection.deadline, std::stop_token());
    co_await sending;
}

} // namespace

std::optional<QString> GoogleTranslateClient::defaultAPIKey()
{
    return KeychainStorage::get(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService);
}

QNetworkAccessManager *GoogleTranslateClient::sharedSession()
{
    // Main thread only, like every caller of this client; owned by the application object.
    static QPointer<QNetworkAccessManager> session;
    if (!session)
        session = new QNetworkAccessManager(QCoreApplication::instance());
    return session;
}

GoogleTranslateClient::GoogleTranslateClient(QString target, std::optional<QString> apiKey, Connection connection)
    : m_target(std::move(target))
    , m_apiKey(std::move(apiKey))
    , m_connection(connection)
{ }

QCoro::Task<TranslationAttempt> GoogleTranslateClient::translateExplained(QString text, std::optional<QString> source,
                                                                          std::stop_token stop) const
{
    // The coroutines take copies: a client is often a temporary that is gone before the reply arrives.
    const QString trimmedText = Text::trimmed(text);
    if (trimmedText.isEmpty())
        return []() -> QCoro::Task<TranslationAttempt> {
            co_return TranslationAttempt::failed(DiagnosticReason::translationEmpty, QString());
        }();
    const QString key = m_apiKey ? Text::trimmed(*m_apiKey) : QString();
    if (key.isEmpty())
        return [](QString target) -> QCoro::Task<TranslationAttempt> {
            co_return TranslationAttempt::failed(DiagnosticReason::googleKeyMissing, target);
        }(m_target);
    return translateViaGoogle(trimmedText, std::move(source), key, m_target, m_connection, std::move(stop));
}

QCoro::Task<std::optional<QString>> GoogleTranslateClient::translate(QString text, std::optional<QString> source,
                                                                     bool html, std::stop_token stop) const
{
    return translateText(std::move(text), std::move(source), html, m_apiKey, m_target, m_connection, std::move(stop));
}

QCoro::Task<> GoogleTranslateClient::warmUp() const
{
    return warmUpConnection(m_connection);
}

std::optional<QString> GoogleTranslateClient::parse(const QByteArray &data, std::optional<int> httpStatus)
{
    if (httpStatus != 200)
        return std::nullopt;
    const auto root = jsonObject(data);
    if (!root)
        return std::nullopt;
    if (const auto texts = currentShapeTexts(*root); texts && !texts->isEmpty())
        return cleaned(texts->first(), true);
    const QJsonValue legacy = root->value(QLatin1String("translatedText"));
    if (legacy.isString())
        return cleaned(legacy.toString(), true);
    return std::nullopt;
}

std::optional<GoogleTranslateClient::Request>
GoogleTranslateClient::postRequest(const QString &text, const std::optional<QString> &source, const QString &target,
                                   bool html, const QString &apiKey, const Connection &connection)
{
    if (!isValidRoot(connection.serviceRoot))
        return std::nullopt;
    const QString key = Text::trimmed(apiKey);
    // A control character would end the header early and smuggle the rest into the request.
    if (!isUsableKey(key))
        return std::nullopt;
    QUrl url = connection.serviceRoot;
    url.setPath(translatePath);
    if (!url.isValid())
        return std::nullopt;

    QNetworkRequest request(url);
    applyCommonSettings(request, connection.timeout);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setRawHeader("X-Goog-Api-Key", key.toUtf8());

    QJsonObject body {
        {QStringLiteral("q"), text},
        {QStringLiteral("target"), target},
        {QStringLiteral("format"), html ? QStringLiteral("html") : QStringLiteral("text")},
    };
    if (source)
        body.insert(QStringLiteral("source"), *source);
    return Request {request, QJsonDocument(body).toJson(QJsonDocument::Compact)};
}

} // namespace Lumivox
