#include "Fakes/FakeSecrets.h"
#include "Native/Services.h"
#include "Services/Translation/GoogleTranslateClient.h"
#include "Shared/Platform/KeychainStorage.h"
#include "Support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace Lumivox;
using namespace std::chrono_literals;

namespace {

// A minimal HTTP/1.1 server on the loopback interface: it records each request and answers as the
// test says, including the ways a real server misbehaves.
class LoopbackServer
{
public:
    struct Request
    {
        QByteArray method;
        QByteArray target;
        QMap<QByteArray, QByteArray> headers; // names lower-cased
        QByteArray body;
        QByteArray raw;
    };
    enum class Behaviour { respond, hang, truncate, redirect, trickle };
    struct Reply
    {
        int status = 200;
        QByteArray body;
        Behaviour behaviour = Behaviour::respond;
    };

    std::function<Reply(const Request &)> handler = [](const Request &) { return Reply {}; };
    QList<Request> requests;

    LoopbackServer()
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(&m_server);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { onData(socket); });
            }
        });
    }

    QUrl root() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort())); }
    void close() { m_server.close(); }

    static QByteArray translations(const QStringList &texts)
    {
        QJsonArray items;
        for (const QString &text : texts)
            items.append(QJsonObject {{QStringLiteral("translatedText"), text}});
        const QJsonObject data {{QStringLiteral("translations"), items}};
        return QJsonDocument(QJsonObject {{QStringLiteral("data"), data}}).toJson(QJsonDocument::Compact);
    }

private:
    void onData(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (buffer.size() < end + 4 + length)
            return;
        request.body = buffer.mid(end + 4, length);
        request.raw = buffer.left(end + 4 + length);
        buffer.clear();
        requests.append(request);
        respond(socket, handler(request));
    }

    static void respond(QTcpSocket *socket, const Reply &reply)
    {
        switch (reply.behaviour) {
        case Behaviour::hang:
            return;
        case Behaviour::truncate:
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 500\r\n\r\n");
            socket->write(reply.body);
            socket->disconnectFromHost();
            return;
        case Behaviour::redirect:
            socket->write(
                "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            return;
        case Behaviour::trickle: {
            // Headers at once, then one byte of the body every 50 ms: never silent for long.
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
                          + QByteArray::number(reply.body.size()) + "\r\n\r\n");
            auto *timer = new QTimer(socket);
            QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, body = reply.body, sent = 0]() mutable {
                socket->write(body.mid(sent++, 1));
                if (sent == body.size())
                    timer->stop();
            });
            timer->start(50);
            return;
        }
        case Behaviour::respond:
            break;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Status\r\n"
            + "Content-Type: application/json; charset=UTF-8\r\nConnection: close\r\nContent-Length: "
            + QByteArray::number(reply.body.size()) + "\r\n\r\n";
        socket->write(head);
        socket->write(reply.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

class GoogleClientTest : public ::testing::Test
{
protected:
    LoopbackServer server;
    QNetworkAccessManager session;

    GoogleTranslateClient client(std::optional<QString> key = QStringLiteral("secret-key"),
                                 std::chrono::milliseconds timeout = 6000ms,
                                 std::chrono::milliseconds deadline = 15000ms)
    {
        return GoogleTranslateClient(QStringLiteral("fr"), key, {&session, server.root(), timeout, deadline});
    }

    void answer(int status, QByteArray body)
    {
        server.handler = [status, body](const LoopbackServer::Request &) {
            return LoopbackServer::Reply {status, body, LoopbackServer::Behaviour::respond};
        };
    }

    TranslationAttempt explained(const GoogleTranslateClient &c, const QString &text,
                                 std::optional<QString> source = std::nullopt)
    {
        return Testing::await(c.translateExplained(text, std::move(source)));
    }
};

TranslationAttempt failure(DiagnosticReason reason, const QString &detail)
{
    return TranslationAttempt::failed(reason, detail);
}

} // namespace

TEST_F(GoogleClientTest, SendsThePostWithTheKeyOnlyInItsHeader)
{
    answer(200, LoopbackServer::translations({QStringLiteral("maison")}));
    EXPECT_EQ(explained(client(QStringLiteral("  secret-key \n")), QStringLiteral("  house\n")),
              TranslationAttempt::success(QStringLiteral("maison")));
    ASSERT_EQ(server.requests.size(), 1);
    const auto &request = server.requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/language/translate/v2");
    EXPECT_EQ(request.headers.value("x-goog-api-key"), "secret-key");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    EXPECT_EQ(request.raw.count("secret-key"), 1) << "the key appears outside its header";
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    EXPECT_EQ(body,
              (QJsonObject {{QStringLiteral("q"), QStringLiteral("house")},
                            {QStringLiteral("target"), QStringLiteral("fr")},
                            {QStringLiteral("format"), QStringLiteral("text")}}));

    explained(client(), QStringLiteral("house"), QStringLiteral("en"));
    ASSERT_EQ(server.requests.size(), 2);
    EXPECT_EQ(QJsonDocument::fromJson(server.requests[1].body).object().value(QStringLiteral("source")),
              QStringLiteral("en"));

    // A client without a session of its own goes through the shared one, made once.
    const GoogleTranslateClient shared(QStringLiteral("fr"), QStringLiteral("secret-key"), {nullptr, server.root()});
    EXPECT_EQ(explained(shared, QStringLiteral("house")), TranslationAttempt::success(QStringLiteral("maison")));
    EXPECT_EQ(server.requests.size(), 3);
    EXPECT_EQ(GoogleTranslateClient::sharedSession(), GoogleTranslateClient::sharedSession());
}

TEST_F(GoogleClientTest, BlankTextOrKeyFailsWithoutARequest)
{
    EXPECT_EQ(explained(client(), QStringLiteral(" \n\t ")), failure(DiagnosticReason::translationEmpty, QString()));
    EXPECT_EQ(explained(client(QStringLiteral("  \n")), QStringLiteral("house")),
              failure(DiagnosticReason::googleKeyMissing, QStringLiteral("fr")));
    EXPECT_EQ(explained(client(std::nullopt), QStringLiteral("house")),
              failure(DiagnosticReason::googleKeyMissing, QStringLiteral("fr")));
    EXPECT_EQ(Testing::await(client(std::nullopt).translate(QStringLiteral("house"), std::nullopt, false)),
              std::nullopt);
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST_F(GoogleClientTest, AKeyThatWouldBreakItsHeaderIsNeverSent)
{
    EXPECT_EQ(explained(client(QStringLiteral("abc\r\nX-Injected: 1")), QStringLiteral("house")),
              failure(DiagnosticReason::googleFailed, QStringLiteral("request fr")));
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST_F(GoogleClientTest, UnusableRepliesGiveTheStatusAndTarget)
{
    const std::pair<int, QByteArray> cases[] = {
        {403, R"({"error":{"code":403,"message":"API key not valid"}})"},
        {500, LoopbackServer::translations({QStringLiteral("maison")})},
        {200, R"({"data":{"translations":[]}})"},
        {200, R"({"data":{"translations":[{"translatedText":"   "}]}})"},
        {200, R"({"data":{"translations":[{"translatedText":"maison"}, {"text":"x"}]}})"},
        {200, R"({"data":{"translations":"maison"}})"},
        {200, R"({"data":{"translations":[{"translatedText":"mai)"},
        {200, "[\"maison\"]"},
        {200, "<html>Service Unavailable</html>"},
        {200, ""},
    };
    for (const auto &[status, body] : cases) {
        answer(status, body);
        EXPECT_EQ(explained(client(), QStringLiteral("house")),
                  failure(DiagnosticReason::googleFailed, QStringLiteral("HTTP %1 fr").arg(status)))
            << body.constData();
        EXPECT_EQ(Testing::await(client().translate(QStringLiteral("house"), std::nullopt, false)), std::nullopt);
    }
}

TEST_F(GoogleClientTest, AReplyUpToItsCapIsReadAndALargerOneIsDroppedWithoutWaitingForAllOfIt)
{
    // White space after the document fills a reply up to the byte.
    QByteArray atTheCap = LoopbackServer::translations({QStringLiteral("maison")});
    atTheCap += QByteArray(GoogleTranslateClient::maximumReplyBytes - atTheCap.size(), ' ');
    const TranslationAttempt dropped = failure(DiagnosticReason::googleFailed, QStringLiteral("HTTP 200 fr"));
    for (const auto &[body, expected] :
         {std::pair {atTheCap, TranslationAttempt::success(QStringLiteral("maison"))},
          std::pair {atTheCap + ' ', dropped},
          std::pair {LoopbackServer::translations({QString(3 << 20, QLatin1Char('a'))}), dropped}}) {
        SCOPED_TRACE(body.size());
        answer(200, body);
        EXPECT_EQ(explained(client(), QStringLiteral("house")), expected);
    }
}

TEST_F(GoogleClientTest, DecodesEntitiesOneLevelInPlainTextOnly)
{
    answer(200, LoopbackServer::translations({QStringLiteral("  l&#39;homme &amp;quot;x&amp;quot; &lt;b&gt; \n")}));
    EXPECT_EQ(explained(client(), QStringLiteral("the man")),
              TranslationAttempt::success(QStringLiteral("l'homme &quot;x&quot; <b>")));
    EXPECT_EQ(Testing::await(client().translate(QStringLiteral("the man"), std::nullopt, false)),
              QStringLiteral("l'homme &quot;x&quot; <b>"));
    EXPECT_EQ(Testing::await(client().translate(QStringLiteral("the <b>man</b>"), std::nullopt, true)),
              QStringLiteral("l&#39;homme &amp;quot;x&amp;quot; &lt;b&gt;"));
    EXPECT_EQ(QJsonDocument::fromJson(server.requests.last().body).object().value(QStringLiteral("format")),
              QStringLiteral("html"));
}

TEST_F(GoogleClientTest, TheFlatLegacyShapeServesOnlyTheExplainedTranslation)
{
    answer(200, R"({"translatedText":" maison "})");
    EXPECT_EQ(explained(client(), QStringLiteral("house")), TranslationAttempt::success(QStringLiteral("maison")));
    EXPECT_EQ(Testing::await(client().translate(QStringLiteral("house"), std::nullopt, false)), std::nullopt);
    answer(200, R"({"data":{"translations":[]},"translatedText":"maison"})");
    EXPECT_EQ(explained(client(), QStringLiteral("house")), TranslationAttempt::success(QStringLiteral("maison")));
}

TEST_F(GoogleClientTest, TransferFailuresCarryTheTargetAndTheErrorDetail)
{
    server.handler = [](const LoopbackServer::Request &) {
        return LoopbackServer::Reply {200, {}, LoopbackServer::Behaviour::hang};
    };
    EXPECT_EQ(explained(client(QStringLiteral("k"), 300ms), QStringLiteral("house")),
              failure(DiagnosticReason::googleFailed, QStringLiteral("fr QNetworkReply 4")));

    server.handler = [](const LoopbackServer::Request &) {
        return LoopbackServer::Reply {200, R"({"data":{"transl)", LoopbackServer::Behaviour::truncate};
    };
    const auto truncated = explained(client(), QStringLiteral("house"));
    EXPECT_EQ(truncated.failure, DiagnosticReason::googleFailed);
    EXPECT_TRUE(truncated.detail.startsWith(QStringLiteral("fr QNetworkReply "))) << truncated.detail.toStdString();

    const QUrl root = server.root();
    server.close();
    const GoogleTranslateClient closed(QStringLiteral("fr"), QStringLiteral("k"), {&session, root, 6000ms});
    EXPECT_EQ(explained(closed, QStringLiteral("house")),
              failure(DiagnosticReason::googleFailed, QStringLiteral("fr QNetworkReply 1")));
}

TEST_F(GoogleClientTest, AReplyThatTricklesInEndsAtTheDeadlineAsATimeOut)
{
    // 60 bytes at one per 50 ms take three seconds, each gap far inside the transfer time-out.
    server.handler = [](const LoopbackServer::Request &) {
        return LoopbackServer::Reply {200, LoopbackServer::translations({QStringLiteral("maison").repeated(5)}),
                                      LoopbackServer::Behaviour::trickle};
    };
    EXPECT_EQ(explained(client(QStringLiteral("k"), 1000ms, 400ms), QStringLiteral("house")),
              failure(DiagnosticReason::googleFailed, QStringLiteral("fr QNetworkReply 4")));
}

TEST_F(GoogleClientTest, StoppingTheCallerCancelsTheTransfer)
{
    std::stop_source stop;
    server.handler = [&](const LoopbackServer::Request &) {
        stop.request_stop();
        return LoopbackServer::Reply {200, {}, LoopbackServer::Behaviour::hang};
    };
    const auto attempt =
        Testing::await(client().translateExplained(QStringLiteral("house"), std::nullopt, stop.get_token()));
    EXPECT_EQ(attempt, failure(DiagnosticReason::googleFailed, QStringLiteral("fr QNetworkReply 5")));
}

TEST_F(GoogleClientTest, RedirectsAreNotFollowedWithTheKey)
{
    server.handler = [](const LoopbackServer::Request &) {
        return LoopbackServer::Reply {302, {}, LoopbackServer::Behaviour::redirect};
    };
    EXPECT_EQ(explained(client(), QStringLiteral("house")),
              failure(DiagnosticReason::googleFailed, QStringLiteral("HTTP 302 fr")));
    EXPECT_EQ(server.requests.size(), 1);
}

TEST_F(GoogleClientTest, WarmUpSendsAHeadToTheRootWithoutTheKey)
{
    Testing::await(client().warmUp());
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_EQ(server.requests[0].method, "HEAD");
    EXPECT_EQ(server.requests[0].target, "/");
    EXPECT_FALSE(server.requests[0].headers.contains("x-goog-api-key"));
}

TEST_F(GoogleClientTest, TheDefaultKeyComesFromTheKeychain)
{
    auto secrets = std::make_shared<Testing::FakeSecrets>();
    secrets->put(KeychainStorage::licenseService, KeychainStorage::googleAPIKeyAccount, " stored-key\n");
    Native::ScopedOverride<Native::Secrets> fake(secrets);
    Testing::await(KeychainStorage::load(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService));

    EXPECT_EQ(GoogleTranslateClient(QStringLiteral("fr")).apiKey(), QStringLiteral(" stored-key\n"));

    answer(200, LoopbackServer::translations({QStringLiteral("maison")}));
    const GoogleTranslateClient withDefaultKey(QStringLiteral("fr"), GoogleTranslateClient::defaultAPIKey(),
                                               {&session, server.root(), 6000ms});
    EXPECT_EQ(explained(withDefaultKey, QStringLiteral("house")),
              TranslationAttempt::success(QStringLiteral("maison")));
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_EQ(server.requests[0].headers.value("x-goog-api-key"), "stored-key");
}
