#include <gtest/gtest.h>

#include "PLYJSONSerialization.h"
#include "PLYTestEnvironment.h"
#include "PelloryServices.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

TEST(PelloryServices, AuthenticatedRequestsCarryJsonAndBearerHeaders) {
    const QNetworkRequest request = PelloryServices::requestWithAuthentication("abc.def", QUrl("http://h:1/api/me"));
    EXPECT_EQ(request.url(), QUrl("http://h:1/api/me"));
    EXPECT_EQ(request.rawHeader("Content-Type"), "application/json");
    EXPECT_EQ(request.rawHeader("Authorization"), "Bearer abc.def");
}

TEST(PelloryServices, GoodCodesAreThe200s) {
    EXPECT_TRUE(PelloryServices::isCodeGood(200));
    EXPECT_TRUE(PelloryServices::isCodeGood(299));
    EXPECT_FALSE(PelloryServices::isCodeGood(199));
    EXPECT_FALSE(PelloryServices::isCodeGood(300));
    EXPECT_FALSE(PelloryServices::isCodeGood(0));
}

TEST(PelloryServices, LossOfInternetCoversConnectivityFailuresOnly) {
    for (auto error : {QNetworkReply::TimeoutError, QNetworkReply::HostNotFoundError, QNetworkReply::ConnectionRefusedError,
                       QNetworkReply::RemoteHostClosedError, QNetworkReply::TemporaryNetworkFailureError,
                       QNetworkReply::NetworkSessionFailedError})
        EXPECT_TRUE(PelloryServices::isLossOfInternet(error)) << int(error);
    for (auto error : {QNetworkReply::NoError, QNetworkReply::OperationCanceledError, QNetworkReply::SslHandshakeFailedError,
                       QNetworkReply::ContentNotFoundError, QNetworkReply::UnknownNetworkError})
        EXPECT_FALSE(PelloryServices::isLossOfInternet(error)) << int(error);
    for (qint64 code : {-1009, -1008, -1006, -1005, -1004, -1003, -1001})
        EXPECT_TRUE(PelloryServices::isLossOfInternet(PLYError(PelloryServices::URLErrorDomain, code)));
    EXPECT_FALSE(PelloryServices::isLossOfInternet(PLYError(PelloryServices::URLErrorDomain, -1002)));
    EXPECT_FALSE(PelloryServices::isLossOfInternet(PLYError("OtherDomain", -1009)));
}

TEST(PLYJSONSerialization, ReadsObjectsArraysAndFragmentsOnlyWhenAllowed) {
    EXPECT_FALSE(PLYJSONSerialization::JSONObjectWithData(QByteArray()).isValid());
    PLYError error;
    EXPECT_EQ(PLYJSONSerialization::JSONObjectWithData(R"({"a": 1})", 0, &error).toMap().value("a").toInt(), 1);
    EXPECT_EQ(PLYJSONSerialization::JSONObjectWithData("[1, 2]").toList().size(), 2);
    EXPECT_FALSE(PLYJSONSerialization::JSONObjectWithData("\"text\"", 0, &error).isValid());
    EXPECT_FALSE(error.isNull());
    EXPECT_EQ(PLYJSONSerialization::JSONObjectWithData("\"text\"", PLYJSONSerialization::ReadingAllowFragments).toString(), "text");
    EXPECT_TRUE(PLYJSONSerialization::isNull(PLYJSONSerialization::JSONObjectWithData("null", PLYJSONSerialization::ReadingAllowFragments)));
    EXPECT_FALSE(PLYJSONSerialization::JSONObjectWithData("{broken", PLYJSONSerialization::ReadingAllowFragments).isValid());
    EXPECT_TRUE(PLYJSONSerialization::isNull(PLYJSONSerialization::JSONObjectWithData(R"({"a": null})").toMap().value("a")));
}

TEST(PLYJSONSerialization, WritesCompactOrPretty) {
    const QVariantMap object{{"k", QVariantList{1, "x"}}};
    EXPECT_EQ(PLYJSONSerialization::dataWithJSONObject(object), R"({"k":[1,"x"]})");
    const QByteArray pretty = PLYJSONSerialization::dataWithJSONObject(object, PLYJSONSerialization::WritingPrettyPrinted);
    EXPECT_TRUE(pretty.contains('\n'));
    EXPECT_EQ(PLYJSONSerialization::JSONObjectWithData(pretty).toMap(), object);
    PLYError error;
    EXPECT_TRUE(PLYJSONSerialization::dataWithJSONObject(QVariant(5), 0, &error).isNull());
    EXPECT_FALSE(error.isNull());
}

TEST(PelloryServices, ARequestThatHearsNothingTimesOutAsALostConnection) {
    // A service that takes the connection and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QList<QPointer<QTcpSocket>> held;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = silent.nextPendingConnection()) held << socket;
    });
    const double timeout = PelloryServices::requestTimeout();
    PelloryServices::setRequestTimeout(0.1);
    QUrl url("http://127.0.0.1/core/supported");
    url.setPort(silent.serverPort());
    QNetworkReply* reply = PelloryServices::sharedNetworkAccessManager()->get(QNetworkRequest(url));
    PelloryServices::setRequestTimeout(timeout);
    const bool finished = PLYTestEnvironment::waitUntil([&] { return reply->isFinished(); });
    ASSERT_TRUE(finished) << "a silent service holds the request";
    const PLYError error = PelloryServices::transportErrorForReply(reply);
    EXPECT_EQ(error.code, PelloryServices::URLErrorTimedOut);
    EXPECT_TRUE(PelloryServices::isLossOfInternet(error));
    reply->deleteLater();
}

// The manager keeps a thread of its own once it has sent a request. Left to be deleted with the
// application object, that thread could still deliver an event to the half-destroyed application
// and crash the process at exit (seen about once in 3,000 runs under load): the manager goes, with
// its thread, while the application still exists.
TEST(PelloryServices, TheSharedManagerGoesWithItsThreadBeforeTheApplication) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QUrl url("http://127.0.0.1/core/supported");
    url.setPort(server.serverPort());
    QPointer<QNetworkAccessManager> manager = PelloryServices::sharedNetworkAccessManager();
    QPointer<QNetworkReply> reply = manager->get(QNetworkRequest(url));
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return server.hasPendingConnections(); }));

    PelloryServices::shutdownSharedNetworkAccessManager();
    EXPECT_TRUE(manager.isNull());
    EXPECT_TRUE(reply.isNull()) << "its requests go with it";
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    // Asked again, as a later request would, a fresh one serves.
    QNetworkAccessManager* fresh = PelloryServices::sharedNetworkAccessManager();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->thread(), QCoreApplication::instance()->thread());
}
