#include "PLYWebServiceTestSupport.h"

#include "PLYJSONSerialization.h"
#include "PLYLog.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServicePublisher.h"
#include "PLYWebServiceUser.h"
#include "PelloryServices.h"

#include <QLocale>
#include <algorithm>
#include <limits>

namespace {

QVariantMap data(const QVariantMap& object) { return {{"data", object}}; }

class WebServiceModelTest : public PLYWebServiceTest {
protected:
    PLYFakeRequest onlyRequest() {
        EXPECT_EQ(service.httpRequests().size(), 1);
        return service.httpRequests().value(0);
    }
    void expectAuthenticated(const PLYFakeRequest& request) {
        EXPECT_EQ(request.header("authorization"), "Bearer tok-123");
        EXPECT_EQ(request.header("content-type"), "application/json");
    }
};

TEST_F(WebServiceModelTest, UserFetchReadsEveryFieldAndTreatsNullAsAbsent) {
    signIn();
    service.enqueueReply("GET", "/api/me", PLYFakeReply::json(200, data({
        {"id", 42}, {"f_name", "Ada"}, {"l_name", QVariant::fromValue(nullptr)}, {"email", "ada@example.org"},
        {"verified", true}, {"app_usage", QVariantMap{{"app_ver", "0.9"}}},
        {"created_at", "2020-01-02T03:04:05Z"}, {"updated_at", QVariant::fromValue(nullptr)}})));
    PLYCompletionRecord record;
    ASSERT_TRUE(PLYWebServiceUser::getObjectFromServerRequest(record.block()));
    ASSERT_TRUE(record.wait());
    ASSERT_TRUE(record.success);
    const auto user = PLYWebServiceModelObject::unwrap<PLYWebServiceUser>(record.object);
    ASSERT_TRUE(user);
    EXPECT_EQ(user->identifierString(), "42");
    EXPECT_EQ(user->firstName(), "Ada");
    EXPECT_TRUE(user->lastName().isNull());
    EXPECT_EQ(user->email(), "ada@example.org");
    EXPECT_TRUE(user->verified());
    EXPECT_EQ(user->usage().value("app_ver").toString(), "0.9");
    EXPECT_EQ(user->creationDate(), QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC));
    EXPECT_FALSE(user->updatedDate().isValid());

    const PLYFakeRequest request = onlyRequest();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/api/me");
    EXPECT_TRUE(request.query.isEmpty());
    expectAuthenticated(request);
}

TEST_F(WebServiceModelTest, UserUpdateSendsTheUsageReportAndTakesTheAnswerBack) {
    signIn();
    PLYWebServiceUser::setLocalPostCountProvider([] { return quint64(7); });
    auto user = std::make_shared<PLYWebServiceUser>();
    user->initFromJSON({{"id", 9}, {"f_name", "Old"}, {"verified", false}});
    service.enqueueReply("PUT", "/api/me", PLYFakeReply::json(200, data({
        {"id", 9}, {"f_name", "New"}, {"l_name", "Name"}, {"email", "n@example.org"}, {"verified", true},
        {"updated_at", "2021-06-01T12:00:00+0200"}})));
    PLYCompletionRecord record;
    ASSERT_TRUE(user->updateObjectWithDictionary({{"f_name", "New"}}, record.block()));
    ASSERT_TRUE(record.wait());
    PLYWebServiceUser::setLocalPostCountProvider(nullptr);
    ASSERT_TRUE(record.success);
    EXPECT_EQ(PLYWebServiceModelObject::unwrap<PLYWebServiceUser>(record.object), user);
    EXPECT_EQ(user->firstName(), "New");
    EXPECT_TRUE(user->verified());
    EXPECT_EQ(user->updatedDate(), QDateTime(QDate(2021, 6, 1), QTime(10, 0, 0), Qt::UTC));

    const PLYFakeRequest request = onlyRequest();
    EXPECT_EQ(request.method, "PUT");
    EXPECT_EQ(request.path, "/api/me");
    expectAuthenticated(request);
    EXPECT_TRUE(request.body.contains('\n')) << "user updates are pretty-printed";
    const QVariantMap sent = request.json().toMap().value("user").toMap();
    EXPECT_EQ(sent.value("id").toInt(), 9);
    EXPECT_EQ(sent.value("f_name").toString(), "New");
    const QVariantMap usage = sent.value("app_usage").toMap();
    EXPECT_EQ(usage.value("l_p_count").toInt(), 7);
    EXPECT_GE(usage.value("p_count").toInt(), 1);
    EXPECT_GT(usage.value("m_count").toLongLong(), 0);
    EXPECT_FALSE(usage.value("app_ver").toString().isEmpty());
    EXPECT_TRUE(usage.contains("os_ver"));
}

TEST_F(WebServiceModelTest, UpdateWithoutCompletionStillReachesTheReceiver) {
    signIn();
    auto user = std::make_shared<PLYWebServiceUser>();
    service.enqueueReply("PUT", "/api/me", PLYFakeReply::json(200, data({{"f_name", "Quiet"}})));
    ASSERT_TRUE(user->updateObjectWithDictionary(user->dictionary(), nullptr));
    EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return user->firstName() == "Quiet"; }));
}

TEST_F(WebServiceModelTest, AccountFetchAndUpdateUseExpandAndKeepTheGenericStatus) {
    signIn();
    service.enqueueReply("GET", "/api/me/account", PLYFakeReply::json(200, data({
        {"id", "acc-1"}, {"name", "Studio"}, {"active", true}, {"status", 33}, {"gen_status", 4}, {"host", QVariant::fromValue(nullptr)}})));
    PLYCompletionRecord fetched;
    ASSERT_TRUE(PLYWebServiceAccount::getObjectFromServerRequest(fetched.block()));
    ASSERT_TRUE(fetched.wait());
    const auto account = PLYWebServiceModelObject::unwrap<PLYWebServiceAccount>(fetched.object);
    ASSERT_TRUE(account);
    EXPECT_EQ(account->name(), "Studio");
    EXPECT_TRUE(account->locked());
    EXPECT_TRUE(account->deleted());
    EXPECT_EQ(account->genericStatus(), 4);
    EXPECT_TRUE(account->host().isNull());
    const PLYFakeRequest get = service.httpRequests().value(0);
    EXPECT_EQ(get.method, "GET");
    EXPECT_EQ(get.path, "/api/me/account");
    EXPECT_EQ(get.query, "expand=true");
    expectAuthenticated(get);

    service.enqueueReply("PUT", "/api/me/account", PLYFakeReply::json(200, data({
        {"name", "Studio"}, {"host", "blog.example.org"}, {"active", true}, {"status", 1}, {"gen_status", 99}})));
    PLYCompletionRecord updated;
    ASSERT_TRUE(account->updateObjectWithDictionary({{"host", "blog.example.org"}}, updated.block()));
    ASSERT_TRUE(updated.wait());
    ASSERT_TRUE(updated.success);
    EXPECT_EQ(account->host(), "blog.example.org");
    EXPECT_FALSE(account->locked());
    EXPECT_EQ(account->genericStatus(), 4);
    const PLYFakeRequest put = service.httpRequests().value(1);
    EXPECT_EQ(put.method, "PUT");
    EXPECT_EQ(put.path, "/api/me/account");
    EXPECT_EQ(put.query, "expand=true");
    EXPECT_EQ(put.json().toMap(), (QVariantMap{{"account", QVariantMap{{"host", "blog.example.org"}}}}));
    EXPECT_TRUE(put.body.contains('\n'));
}

TEST_F(WebServiceModelTest, AccountStatusTests) {
    PLYWebServiceAccount account;
    const std::vector<std::tuple<int, bool, bool>> cases = {{0, false, false}, {1, false, false}, {2, true, false}, {32, true, true}, {33, true, true}};
    for (const auto& [status, locked, deleted] : cases) {
        account.setStatus(status);
        EXPECT_EQ(account.locked(), locked) << status;
        EXPECT_EQ(account.deleted(), deleted) << status;
    }
}

TEST_F(WebServiceModelTest, PublisherFetchAndCompactUpdateTakeOnlyTheirFields) {
    signIn();
    service.enqueueReply("GET", "/api/me/publisher", PLYFakeReply::json(200, data({
        {"id", 3}, {"type", 1}, {"username", "wpuser"}, {"auto_publish", true}, {"status", 0},
        {"tags", QVariantList{"a"}}, {"categories", QVariantList{"News", "Travel"}}, {"default_category", "News"}})));
    PLYCompletionRecord fetched;
    ASSERT_TRUE(PLYWebServicePublisher::getObjectFromServerRequest(fetched.block()));
    ASSERT_TRUE(fetched.wait());
    const auto publisher = PLYWebServiceModelObject::unwrap<PLYWebServicePublisher>(fetched.object);
    ASSERT_TRUE(publisher);
    EXPECT_EQ(publisher->typeName(), "Wordpress");
    EXPECT_EQ(publisher->categories(), (QVariantList{"News", "Travel"}));
    EXPECT_TRUE(publisher->autoPublish());
    EXPECT_EQ(service.httpRequests().value(0).path, "/api/me/publisher");

    service.enqueueReply("PUT", "/api/me/publisher", PLYFakeReply::json(200, data({
        {"type", 2}, {"tags", QVariantList()}, {"username", QVariant::fromValue(nullptr)}, {"status", 6},
        {"default_category", "Travel"}})));
    PLYCompletionRecord updated;
    ASSERT_TRUE(publisher->updateObjectWithDictionary({{"default_category", "Travel"}}, updated.block()));
    ASSERT_TRUE(updated.wait());
    ASSERT_TRUE(updated.success);
    EXPECT_TRUE(publisher->username().isNull());
    EXPECT_EQ(publisher->status(), 6);
    EXPECT_EQ(PLYWebServicePublisher::errorStringForStatus(publisher->status()), "Wordpress RPC is not available");
    EXPECT_EQ(publisher->type(), 1);
    EXPECT_EQ(publisher->tags(), QVariantList{"a"});
    EXPECT_FALSE(publisher->autoPublish());
    const PLYFakeRequest put = service.httpRequests().value(1);
    EXPECT_EQ(put.method, "PUT");
    expectAuthenticated(put);
    EXPECT_EQ(put.body, R"({"publisher":{"default_category":"Travel"}})");

    PLYWebServicePublisher other;
    other.setType(2);
    EXPECT_TRUE(other.typeName().isEmpty());
    EXPECT_TRUE(PLYWebServicePublisher::errorStringForStatus(0).isEmpty());
    EXPECT_TRUE(PLYWebServicePublisher::errorStringForStatus(7).isEmpty());
}

TEST_F(WebServiceModelTest, SuccessWithoutDataGivesAnEmptyObjectButLeavesAnUpdatedReceiverAlone) {
    signIn();
    service.enqueueReply("GET", "/api/me/publisher", PLYFakeReply::json(204, QVariant()));
    PLYCompletionRecord fetched;
    ASSERT_TRUE(PLYWebServicePublisher::getObjectFromServerRequest(fetched.block()));
    ASSERT_TRUE(fetched.wait());
    ASSERT_TRUE(fetched.success);
    const auto empty = PLYWebServiceModelObject::unwrap<PLYWebServicePublisher>(fetched.object);
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->hasIdentifier());
    EXPECT_EQ(empty->status(), 0);
    EXPECT_TRUE(empty->username().isNull());

    auto account = std::make_shared<PLYWebServiceAccount>();
    account->initFromJSON({{"id", 1}, {"host", "kept.example.org"}, {"status", 2}});
    service.enqueueReply("PUT", "/api/me/account", PLYFakeReply::json(200, QVariantMap{{"ok", true}}));
    PLYCompletionRecord updated;
    ASSERT_TRUE(account->updateObjectWithDictionary({{"host", "x"}}, updated.block()));
    ASSERT_TRUE(updated.wait());
    EXPECT_TRUE(updated.success);
    EXPECT_EQ(account->host(), "kept.example.org");
    EXPECT_EQ(account->status(), 2);
}

TEST_F(WebServiceModelTest, FailedUpdateLeavesTheReceiverAndReportsTheServiceError) {
    signIn();
    auto publisher = std::make_shared<PLYWebServicePublisher>();
    publisher->initFromJSON({{"username", "before"}});
    service.enqueueReply("PUT", "/api/me/publisher", PLYFakeReply::json(422, QVariantMap{{"code", 422}, {"error", "Bad"}, {"data", QVariantMap{{"username", "x"}}}}));
    PLYCompletionRecord record;
    ASSERT_TRUE(publisher->updateObjectWithDictionary({{"username", "after"}}, record.block()));
    ASSERT_TRUE(record.wait());
    EXPECT_FALSE(record.success);
    ASSERT_TRUE(record.serviceError.has_value());
    EXPECT_EQ(record.serviceError->error(), "Bad");
    EXPECT_EQ(publisher->username(), "before");
}

TEST_F(WebServiceModelTest, WithoutATokenNothingIsSentAndNoCompletionRuns) {
    PLYCompletionRecord record;
    EXPECT_FALSE(PLYWebServiceUser::getObjectFromServerRequest(record.block()));
    EXPECT_FALSE(PLYWebServiceAccount::getObjectFromServerRequest(record.block()));
    EXPECT_FALSE(PLYWebServicePublisher::getObjectFromServerRequest(record.block()));
    auto publisher = std::make_shared<PLYWebServicePublisher>();
    EXPECT_FALSE(publisher->updateObjectWithDictionary({{"username", "u"}}, record.block()));
    PLYTestEnvironment::waitForQueuedCalls();  // after any completion these could have queued
    EXPECT_FALSE(record.called);
    EXPECT_TRUE(service.httpRequests().isEmpty());
}

TEST_F(WebServiceModelTest, EmailVerificationNeedsNoTokenAndSendsNoAuthorisation) {
    PLYWebServiceUser user;
    user.setEmail("v@example.org");
    service.enqueueReply("POST", "/api/request-email-verify", PLYFakeReply::json(200, QVariantMap()));
    PLYCompletionRecord record;
    EXPECT_TRUE(user.sendEmailVerifyMail(record.block()));
    ASSERT_TRUE(record.wait());
    EXPECT_TRUE(record.success);
    EXPECT_FALSE(record.object.isValid());
    const PLYFakeRequest request = onlyRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/api/request-email-verify");
    EXPECT_TRUE(request.header("authorization").isEmpty());
    EXPECT_EQ(request.header("content-type"), "application/json");
    EXPECT_EQ(request.body, R"({"email":"v@example.org"})");
}

TEST_F(WebServiceModelTest, TransportFailuresArriveAsTheFourthArgument) {
    signIn();
    // The access manager retries an idempotent request once on a dropped connection.
    service.setHandler("GET", "/api/me", [](const PLYFakeRequest&) { return PLYFakeReply::closeConnection(); });
    PLYCompletionRecord dropped;
    ASSERT_TRUE(PLYWebServiceUser::getObjectFromServerRequest(dropped.block()));
    ASSERT_TRUE(dropped.wait());
    EXPECT_FALSE(dropped.success);
    EXPECT_FALSE(dropped.serviceError.has_value());
    ASSERT_TRUE(dropped.transportError.has_value());
    EXPECT_EQ(dropped.transportError->domain, PelloryServices::URLErrorDomain);

    const quint16 port = service.port();
    service.stop();
    PLYWebServiceHost::setCustomPort(QString::number(port));
    PLYCompletionRecord refused;
    ASSERT_TRUE(PLYWebServiceAccount::getObjectFromServerRequest(refused.block()));
    ASSERT_TRUE(refused.wait());
    ASSERT_TRUE(refused.transportError.has_value());
    EXPECT_EQ(refused.transportError->code, PelloryServices::URLErrorCannotConnectToHost);
    EXPECT_TRUE(PelloryServices::isLossOfInternet(*refused.transportError));
}

TEST_F(WebServiceModelTest, FetchesAreLoggedWithSecretsRedacted) {
    signIn();
    QStringList lines;
    const int token = PLYLog::addObserver([&](PLYLog::Level, const QString& line) { lines << line; });
    service.enqueueReply("GET", "/api/me", PLYFakeReply::json(200, QVariantMap{
        {"data", QVariantMap{{"id", 1}, {"email", "e@example.org"}}}, {"jwt", "leaked-jwt-value"}, {"password", "pw-value"}}));
    PLYCompletionRecord record;
    ASSERT_TRUE(PLYWebServiceUser::getObjectFromServerRequest(record.block()));
    ASSERT_TRUE(record.wait());
    PLYLog::removeObserver(token);
    const QString all = lines.join('\n');
    EXPECT_TRUE(all.contains("Payload Reponse for:`PLYWebServiceUser::getObjectFromServerRequest`"));
    EXPECT_TRUE(all.contains("e@example.org"));
    EXPECT_FALSE(all.contains("leaked-jwt-value"));
    EXPECT_FALSE(all.contains("pw-value"));
    EXPECT_FALSE(all.contains("tok-123"));
}

// A user name of megabytes froze the interface and swelled every save of the account: names and
// other texts shown from the service are cut (and cleaned of control characters), with a warning.
TEST_F(WebServiceModelTest, HugeNamesAndListsFromTheServiceAreCutAndLogged) {
    signIn();
    QStringList lines;
    const int token = PLYLog::addObserver([&](PLYLog::Level, const QString& line) { lines << line; });
    const QString huge(10 * 1024 * 1024, QLatin1Char('n'));
    service.enqueueReply("GET", "/api/me", PLYFakeReply::json(200, data({
        {"id", 7}, {"f_name", huge}, {"l_name", QStringLiteral("Love") + QChar(0) + QStringLiteral("lace")},
        {"email", "ada@example.org"}})));
    PLYCompletionRecord record;
    ASSERT_TRUE(PLYWebServiceUser::getObjectFromServerRequest(record.block()));
    ASSERT_TRUE(record.wait(30000));
    const auto user = PLYWebServiceModelObject::unwrap<PLYWebServiceUser>(record.object);
    ASSERT_TRUE(user);
    EXPECT_EQ(user->firstName().size(), PLYWebServiceModelObject::MaxDisplayFieldLength);
    EXPECT_EQ(user->lastName(), "Lovelace") << "a NUL from the service is left out too";
    EXPECT_EQ(user->email(), "ada@example.org");

    QVariantList manyCategories;
    for (int i = 0; i < 5000; ++i) manyCategories << QStringLiteral("c%1").arg(i);
    service.enqueueReply("GET", "/api/me/publisher", PLYFakeReply::json(200, data({
        {"id", 3}, {"username", huge}, {"categories", manyCategories}, {"tags", QVariantList{QString(5000, QLatin1Char('t'))}}})));
    PLYCompletionRecord fetched;
    ASSERT_TRUE(PLYWebServicePublisher::getObjectFromServerRequest(fetched.block()));
    ASSERT_TRUE(fetched.wait(30000));
    ASSERT_TRUE(fetched.success) << (fetched.transportError ? fetched.transportError->toString().toStdString() : "");
    const auto publisher = PLYWebServiceModelObject::unwrap<PLYWebServicePublisher>(fetched.object);
    ASSERT_TRUE(publisher);
    EXPECT_EQ(publisher->username().size(), PLYWebServiceModelObject::MaxDisplayFieldLength);
    EXPECT_EQ(publisher->categories().size(), PLYWebServiceModelObject::MaxDisplayListLength);
    EXPECT_EQ(publisher->categories().value(0).toString(), "c0");
    ASSERT_EQ(publisher->tags().size(), 1);
    EXPECT_EQ(publisher->tags().value(0).toString().size(), PLYWebServiceModelObject::MaxDisplayFieldLength);
    PLYLog::removeObserver(token);

    const auto mentions = [&](const QString& part) {
        return std::count_if(lines.cbegin(), lines.cend(), [&](const QString& l) { return l.contains(part); });
    };
    EXPECT_EQ(mentions(QStringLiteral("\"f_name\" of 10485760 characters")), 1);
    EXPECT_EQ(mentions(QStringLiteral("\"username\" of 10485760 characters")), 1);
    EXPECT_EQ(mentions(QStringLiteral("5000 entries in \"categories\"")), 1);
    for (const QString& line : std::as_const(lines)) EXPECT_LT(line.size(), 100000) << "no line carries the whole name";
}

TEST_F(WebServiceModelTest, TheManagerCanTakeOverThePayloadLog) {
    signIn();
    QStringList callers;
    PLYWebServiceModelObject::setPayloadLogger([&](const QString& caller, const QString&, const QVariant&) { callers << caller; });
    service.enqueueReply("GET", "/api/me/account", PLYFakeReply::json(200, data({{"id", 1}})));
    service.enqueueReply("PUT", "/api/me/account", PLYFakeReply::json(200, data({{"id", 1}})));
    PLYCompletionRecord fetched, updated;
    ASSERT_TRUE(PLYWebServiceAccount::getObjectFromServerRequest(fetched.block()));
    ASSERT_TRUE(fetched.wait());
    ASSERT_TRUE(PLYWebServiceModelObject::unwrap<PLYWebServiceAccount>(fetched.object)->updateObjectWithDictionary({}, updated.block()));
    ASSERT_TRUE(updated.wait());
    PLYWebServiceModelObject::setPayloadLogger(nullptr);
    EXPECT_EQ(callers, QStringList{"PLYWebServiceAccount::getObjectFromServerRequest"}) << "updates log nothing";
}

TEST_F(WebServiceModelTest, WrongTypesAndHugeNumbersFromTheServiceAreReadSafely) {
    signIn();
    // Raw text: numbers beyond 64 bits, and values of the wrong JSON type.
    service.enqueueReply("GET", "/api/me/account", PLYFakeReply::text(200,
        R"({"data": {"id": {"nested": 1}, "name": ["a"], "status": 1e30, "gen_status": -1e300,
                     "host": 12, "active": "yes", "created_at": 5, "updated_at": "2020-13-01T00:00:00Z"}})",
        "application/json"));
    PLYCompletionRecord record;
    ASSERT_TRUE(PLYWebServiceAccount::getObjectFromServerRequest(record.block()));
    ASSERT_TRUE(record.wait());
    ASSERT_TRUE(record.success);
    const auto account = PLYWebServiceModelObject::unwrap<PLYWebServiceAccount>(record.object);
    ASSERT_TRUE(account);
    EXPECT_EQ(account->status(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(account->genericStatus(), std::numeric_limits<qint64>::min());
    EXPECT_TRUE(account->locked());
    EXPECT_FALSE(account->hasIdentifier()) << "an object is no identifier";
    EXPECT_EQ(account->host(), "12");
    EXPECT_FALSE(account->creationDate().isValid());
    EXPECT_FALSE(account->updatedDate().isValid());

    const PLYServiceError huge(PLYJSONSerialization::JSONObjectWithData(R"({"code": 1e40, "info": [1]})"));
    EXPECT_EQ(huge.code(), std::numeric_limits<qint64>::max());
    EXPECT_TRUE(huge.info().isEmpty());
}

TEST_F(WebServiceModelTest, ASilentServiceEndsTheRequestWithATransportError) {
    signIn();
    // Every request goes through the shared access manager, which ends silent ones.
    const double defaultTimeout = PelloryServices::requestTimeout();
    PelloryServices::setRequestTimeout(0.2);
    service.setHandler("GET", "/api/me/publisher", [](const PLYFakeRequest&) { return PLYFakeReply::json(200, data({{"id", 1}})); });
    service.holdReplies("GET", "/api/me/publisher");  // silent until the request has ended
    PLYCompletionRecord record;
    ASSERT_TRUE(PLYWebServicePublisher::getObjectFromServerRequest(record.block()));
    const bool ended = record.wait();
    PelloryServices::setRequestTimeout(defaultTimeout);
    service.releaseHeldReplies();
    ASSERT_TRUE(ended) << "the request would otherwise wait for ever";
    EXPECT_FALSE(record.success);
    ASSERT_TRUE(record.transportError.has_value());
    EXPECT_EQ(record.transportError->code, PelloryServices::URLErrorTimedOut);
}

TEST(WebServiceDates, TheServiceFormatIsReadTheSameInEveryLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    const QDateTime zulu = PLYWebServiceModelObject::dateFromJSON(QStringLiteral("2019-12-31T23:59:58Z"));
    QLocale::setDefault(previous);
    EXPECT_EQ(zulu, QDateTime(QDate(2019, 12, 31), QTime(23, 59, 58), Qt::UTC));
    EXPECT_EQ(PLYWebServiceModelObject::dateFromJSON(QStringLiteral("2019-12-31T23:59:58-0130")),
              QDateTime(QDate(2020, 1, 1), QTime(1, 29, 58), Qt::UTC));
    EXPECT_FALSE(PLYWebServiceModelObject::dateFromJSON(QStringLiteral("2019-12-31T23:59:58.123Z")).isValid());
    EXPECT_FALSE(PLYWebServiceModelObject::dateFromJSON(QStringLiteral("2019-02-30T00:00:00Z")).isValid());
    EXPECT_FALSE(PLYWebServiceModelObject::dateFromJSON(QStringLiteral("yesterday")).isValid());
    EXPECT_FALSE(PLYWebServiceModelObject::dateFromJSON(12).isValid());
}

}  // namespace
