#include "PLYWebServiceTestSupport.h"

#include "PLYWebServicePost.h"
#include "PLYWebServicePostRevision.h"
#include "PLYWebServicePublishRevision.h"

#include <QCoreApplication>

namespace {

QVariantMap data(const QVariantMap& object) { return {{"data", object}}; }

class WebServicePostTest : public PLYWebServiceTest {
protected:
    std::shared_ptr<PLYWebServicePost> postWithId(const QVariant& id) {
        auto post = std::make_shared<PLYWebServicePost>();
        post->initFromJSON({{"id", id}, {"name", QVariant::fromValue(nullptr)}, {"live", true}, {"status", 3}});
        return post;
    }
    std::shared_ptr<PLYWebServicePostRevision> fetchPending(const std::shared_ptr<PLYWebServicePost>& post,
                                                            const QVariantMap& json) {
        service.enqueueReply("GET", "/api/me/posts/*/pending-revision", PLYFakeReply::json(200, data(json)));
        PLYCompletionRecord record;
        EXPECT_TRUE(post->getPendingRevision(record.block()));
        EXPECT_TRUE(record.wait());
        EXPECT_TRUE(record.success);
        return PLYWebServiceModelObject::unwrap<PLYWebServicePostRevision>(record.object);
    }
};

TEST_F(WebServicePostTest, PostFetchReadsFieldsAndIsLogged) {
    signIn();
    service.enqueueReply("GET", "/api/me/posts/17", PLYFakeReply::json(200, data({
        {"id", 17}, {"name", "Trip"}, {"live", true}, {"status", 2}, {"created_at", "2021-01-01T00:00:00Z"}})));
    PLYCompletionRecord record;
    EXPECT_FALSE(PLYWebServicePost::getObjectFromServerRequest(record.block())) << "plain fetch is refused";
    ASSERT_TRUE(PLYWebServicePost::getObjectFromServerRequest(record.block(), "17"));
    ASSERT_TRUE(record.wait());
    const auto post = PLYWebServiceModelObject::unwrap<PLYWebServicePost>(record.object);
    ASSERT_TRUE(post);
    EXPECT_EQ(post->identifierString(), "17");
    EXPECT_EQ(post->name(), "Trip");
    EXPECT_TRUE(post->live());
    EXPECT_EQ(post->status(), 2);
    const auto fetches = service.requestsMatching("GET", "/api/me/posts/17");
    ASSERT_EQ(fetches.size(), 1);
    EXPECT_EQ(fetches[0].header("authorization"), "Bearer tok-123");
}

TEST_F(WebServicePostTest, NothingIsSentWithoutTokenOrIdentifier) {
    PLYCompletionRecord record;
    auto post = postWithId(5);
    EXPECT_FALSE(post->getPendingRevision(record.block())) << "no token";
    signIn();
    auto anonymous = std::make_shared<PLYWebServicePost>();
    EXPECT_FALSE(anonymous->getLiveRevision(record.block()));
    EXPECT_FALSE(anonymous->cleanUpPost(record.block()));
    EXPECT_FALSE(anonymous->getLinkStub(record.block()));
    EXPECT_FALSE(PLYWebServicePost::getObjectFromServerRequest(record.block(), QString()));
    auto revision = std::make_shared<PLYWebServicePostRevision>();
    revision->initFromJSON({{"id", 3}});
    EXPECT_FALSE(revision->getPublishRevision(record.block())) << "a revision without its post";
    QCoreApplication::processEvents();
    EXPECT_FALSE(record.called);
    EXPECT_TRUE(service.requestsMatching("", "/api/me/*").isEmpty());
}

TEST_F(WebServicePostTest, PendingImagesFallBackToRequiredReferencesOnlyWhenAbsent) {
    signIn();
    auto post = postWithId(5);
    auto revision = fetchPending(post, {{"id", 8}, {"blob_hash", "abc"}, {"required_ref_ids", QVariantMap{{"a", 1}, {"b", 1}}}});
    ASSERT_TRUE(revision);
    EXPECT_EQ(revision->pendingImages(), (QStringList{"a", "b"}));
    EXPECT_EQ(revision->blobHash(), "abc");
    EXPECT_EQ(revision->post(), post);
    EXPECT_EQ(post->pendingRevision(), revision);

    revision = fetchPending(post, {{"id", 9}, {"pending", QVariantList()}, {"required_ref_ids", QVariantMap{{"a", 1}}}});
    ASSERT_TRUE(revision);
    EXPECT_TRUE(revision->pendingImages().isEmpty());
    revision = fetchPending(post, {{"id", 10}, {"pending", QVariant::fromValue(nullptr)}, {"required_ref_ids", QVariantMap{{"c", 1}}}});
    EXPECT_EQ(revision->pendingImages(), QStringList{"c"});
    EXPECT_EQ(service.requestsMatching("GET", "/api/me/posts/*/pending-revision").size(), 3);
}

TEST_F(WebServicePostTest, PendingEntriesThatNameNoImageAreDropped) {
    signIn();
    auto post = postWithId(5);
    const auto revision = fetchPending(post, {{"id", 8}, {"pending", QVariantList{"a", QVariant::fromValue(nullptr),
        QVariantMap{{"x", 1}}, "", "a", 7}}});
    ASSERT_TRUE(revision);
    EXPECT_EQ(revision->pendingImages(), (QStringList{"a", "7"}));
}

TEST_F(WebServicePostTest, IdentifiersThatWouldAddressAnotherResourceAreNeverSent) {
    signIn();
    PLYCompletionRecord record;
    for (const QString& id : {QString("1/../../publisher"), QString(".."), QString("5?x=1"), QString("5#a"), QString("%2e%2e")}) {
        EXPECT_FALSE(PLYWebServicePost::getObjectFromServerRequest(record.block(), id)) << id.toStdString();
        EXPECT_FALSE(postWithId(id)->cleanUpPost(record.block())) << id.toStdString();
        EXPECT_FALSE(PLYWebServicePublishRevision::getObjectFromServerRequest(record.block(), "5", id)) << id.toStdString();
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(record.called);
    EXPECT_TRUE(service.httpRequests().isEmpty());
    EXPECT_TRUE(postWithId(5)->hasIdentifier());
    EXPECT_TRUE(postWithId("abc-12")->hasIdentifier());
}

TEST_F(WebServicePostTest, ServiceErrorForgetsTheStoredRevisionTransportErrorKeepsIt) {
    signIn();
    auto post = postWithId(5);
    ASSERT_TRUE(fetchPending(post, {{"id", 8}}));

    // The network layer resends once over a dropped kept-alive connection: drop every attempt.
    service.setHandler("GET", "/api/me/posts/*/pending-revision", [](const PLYFakeRequest&) { return PLYFakeReply::closeConnection(); });
    PLYCompletionRecord dropped;
    ASSERT_TRUE(post->getPendingRevision(dropped.block()));
    ASSERT_TRUE(dropped.wait());
    EXPECT_FALSE(dropped.success);
    EXPECT_TRUE(dropped.transportError.has_value());
    EXPECT_TRUE(post->pendingRevision()) << "a transport error keeps the revision";

    service.setHandler("GET", "/api/me/posts/*/pending-revision", [](const PLYFakeRequest&) {
        return PLYFakeReply::json(404, QVariantMap{{"code", 404}, {"error", "none"}});
    });
    PLYCompletionRecord missing;
    ASSERT_TRUE(post->getPendingRevision(missing.block()));
    ASSERT_TRUE(missing.wait());
    EXPECT_FALSE(missing.success);
    ASSERT_TRUE(missing.serviceError.has_value());
    EXPECT_EQ(missing.serviceError->code(), 404);
    EXPECT_FALSE(post->pendingRevision());
}

TEST_F(WebServicePostTest, CleanUpReadsDeepPurge) {
    signIn();
    auto post = postWithId(5);
    ASSERT_TRUE(fetchPending(post, {{"id", 8}}));
    service.enqueueReply("POST", "/api/me/posts/5/clean", PLYFakeReply::json(200, QVariantMap{{"deep_purge", false}}));
    PLYCompletionRecord kept;
    ASSERT_TRUE(post->cleanUpPost(kept.block()));
    ASSERT_TRUE(kept.wait());
    EXPECT_TRUE(kept.success);
    EXPECT_EQ(PLYWebServiceModelObject::unwrap<PLYWebServicePost>(kept.object), post);
    EXPECT_FALSE(post->pendingRevision());
    const PLYFakeRequest request = service.requestsMatching("POST", "/api/me/posts/5/clean").last();
    EXPECT_EQ(request.json().toMap(), (QVariantMap{{"ok", ""}}));
    EXPECT_TRUE(request.body.contains('\n'));

    service.enqueueReply("POST", "/api/me/posts/5/clean", PLYFakeReply::json(200, QVariantMap{{"deep_purge", true}}));
    PLYCompletionRecord purged;
    ASSERT_TRUE(post->cleanUpPost(purged.block()));
    ASSERT_TRUE(purged.wait());
    EXPECT_TRUE(purged.success);
    EXPECT_FALSE(purged.object.isValid());
}

TEST_F(WebServicePostTest, LinksAreTextAndDestination) {
    signIn();
    auto post = postWithId(5);
    service.enqueueReply("GET", "/api/me/posts/5/link-stub", PLYFakeReply::text(200, "<div>caf\xc3\xa9</div>"));
    service.enqueueReply("GET", "/api/me/posts/5/link-stub", PLYFakeReply::text(200, "\xff\xfe bad"));
    service.enqueueReply("GET", "/api/me/posts/5/link-destination", PLYFakeReply::json(200, QVariantMap{{"link", "https://b.org/?p=5"}}));
    PLYCompletionRecord stub, bad, destination;
    ASSERT_TRUE(post->getLinkStub(stub.block()));
    ASSERT_TRUE(stub.wait());
    EXPECT_EQ(stub.object.toString(), QString::fromUtf8("<div>caf\xc3\xa9</div>"));
    ASSERT_TRUE(post->getLinkStub(bad.block()));
    ASSERT_TRUE(bad.wait());
    EXPECT_TRUE(bad.success);
    EXPECT_FALSE(bad.object.isValid()) << "not UTF-8: no text";
    ASSERT_TRUE(post->getLinkDestination(destination.block()));
    ASSERT_TRUE(destination.wait());
    EXPECT_EQ(destination.object.toString(), "https://b.org/?p=5");
}

TEST_F(WebServicePostTest, PublishRevisionIsKeptOnSuccessAndClearedOnFailure) {
    signIn();
    auto post = postWithId(5);
    auto revision = fetchPending(post, {{"id", 8}});
    ASSERT_TRUE(revision);
    service.enqueueReply("GET", "/api/me/posts/5/postrevisions/8/publishrevision", PLYFakeReply::json(200, data({
        {"id", 2}, {"status", 0}, {"successful", true}, {"auto_publish", true}, {"category", "Travel"}, {"tags", QVariantList{"x"}}})));
    PLYCompletionRecord fetched;
    ASSERT_TRUE(revision->getPublishRevision(fetched.block()));
    ASSERT_TRUE(fetched.wait());
    const auto publish = revision->publishRevision();
    ASSERT_TRUE(publish);
    EXPECT_TRUE(publish->successful());
    EXPECT_TRUE(publish->autoPublish());
    EXPECT_EQ(publish->category(), "Travel");
    EXPECT_EQ(publish->postRevision(), revision);

    service.enqueueReply("GET", "/api/me/posts/5/postrevisions/8/publishrevision", PLYFakeReply::json(404, QVariantMap{{"code", 404}}));
    PLYCompletionRecord failed;
    ASSERT_TRUE(revision->getPublishRevision(failed.block()));
    ASSERT_TRUE(failed.wait());
    EXPECT_FALSE(failed.success);
    EXPECT_FALSE(revision->publishRevision());
}

}  // namespace
