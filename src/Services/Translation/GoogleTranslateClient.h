#pragma once

// Translation through the Google Cloud Translation API, version 2, with the user's own key.
//
// One client is a small value built for each use: a target language, a key (by default the one in
// the keychain) and how to reach the service. Its calls run on the main thread between their awaits;
// the transfer is the network access manager's. The key travels only in the "X-Goog-Api-Key" header
// of the POST request: never in an address, a log line or a diagnostic detail.
//
// Failures are values: `translateExplained` returns a TranslationAttempt that says why (for the
// diagnostics), `translate` returns no text, `warmUp` reports nothing.

#include "Shared/Diagnostics/DiagnosticReason.h"

#include <QByteArray>
#include <QCoroTask>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>
#include <stop_token>

class QNetworkAccessManager;

namespace Lumivox {

/// How a client reaches the service.
struct GoogleTranslateConnection
{
    /// Null: the shared manager of the main thread.
    QNetworkAccessManager *session = nullptr;
    /// Scheme, host and port of the service; the request paths are fixed.
    QUrl serviceRoot = QUrl(QStringLiteral("https://translation.googleapis.com"));
    /// How long a transfer may go without any data before it fails.
    std::chrono::milliseconds timeout {6000};
    /// How long a request may take in all, however steadily its reply trickles in.
    std::chrono::milliseconds deadline {15000};
};

class GoogleTranslateClient
{
public:
    using Connection = GoogleTranslateConnection;
    /// A reply to one word or sentence is a few kilobytes; a body past this size is dropped unread.
    static constexpr qint64 maximumReplyBytes = 1 << 20;

    /// The key stored in the keychain (account "googleTranslateAPIKey", service "app.lumivox.license"),
    /// served from the keychain cache.
    static std::optional<QString> defaultAPIKey();
    static QNetworkAccessManager *sharedSession();

    explicit GoogleTranslateClient(QString target, std::optional<QString> apiKey = defaultAPIKey(),
                                   Connection connection = {});

    const QString &target() const { return m_target; }
    const std::optional<QString> &apiKey() const { return m_apiKey; }

    /// Translates the trimmed text as plain text. Blank text gives `translationEmpty` (no request); no
    /// key or a blank one gives `googleKeyMissing`; every other failure is `googleFailed` with a detail:
    /// "request <target>", "<target> <error detail>" for a failed transfer, "HTTP <status> <target>"
    /// for an unusable reply. Stopping the token cancels the transfer.
    QCoro::Task<TranslationAttempt> translateExplained(QString text, std::optional<QString> source,
                                                       std::stop_token stop = {}) const;

    /// Translates the text as passed, as plain text or as HTML. Entities are decoded only in plain
    /// text: HTML results keep theirs for the marked-text parser. Any failure gives none.
    QCoro::Task<std::optional<QString>> translate(QString text, std::optional<QString> source, bool html,
                                                  std::stop_token stop = {}) const;

    /// Opens the connection to the service ahead of the first translation (a HEAD request to the
    /// root). Its outcome is ignored.
    QCoro::Task<> warmUp() const;

    /// The usable translation in a reply: status 200, the current shape's first translation or else
    /// the flat legacy shape, entities decoded one level, trimmed, not empty. `httpStatus` is none
    /// when the response was not HTTP.
    static std::optional<QString> parse(const QByteArray &data, std::optional<int> httpStatus);

    struct Request
    {
        QNetworkRequest request;
        QByteArray body;
    };
    /// The translation request; none when no request can be formed (a bad service root, or a key
    /// with control characters that would break the header).
    static std::optional<Request> postRequest(const QString &text, const std::optional<QString> &source,
                                              const QString &target, bool html, const QString &apiKey,
                                              const Connection &connection = {});

private:
    QString m_target;
    std::optional<QString> m_apiKey;
    Connection m_connection;
};

} // namespace Lumivox
