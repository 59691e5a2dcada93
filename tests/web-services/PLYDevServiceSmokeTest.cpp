#include "PLYWebServiceTestSupport.h"

#include "PLYLayout.pb.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServiceUser.h"

#include <QJsonDocument>
#include <QWebSocket>

#ifdef PELLORY_HAS_DEVSERVICE
#include "PLYDevService.h"

namespace {

using Request = PLYWebServiceModelObject::Request;
using Response = PLYWebServiceModelObject::Response;

class DevServiceSmokeTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYResetWebServiceState();
        PLYDevService::Options options;
        options.buildSeconds = 0.05;
        dev = std::make_unique<PLYDevService>(options);
        ASSERT_TRUE(dev->start(0));
        PLYUseLocalService(dev->port());
    }
    void TearDown() override { PLYWebServiceHost::resetForTesting(); }

    Response exchange(Request request) {
        std::optional<Response> result;
        EXPECT_TRUE(PLYWebServiceModelObject::send(request, [&](const Response& r) { result = r; }));
        EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return result.has_value(); }));
        return result.value_or(Response());
    }
    Request post(const QStringList& paths, const QVariantMap& body, bool me) {
        Request request;
        request.method = "POST";
        request.url = me ? PLYWebServiceHost::currentHost()->serviceMeURLWithPaths(paths)
                         : PLYWebServiceHost::currentHost()->serviceApiURLWithPaths(paths);
        request.jsonBody = body;
        request.authenticated = me;
        return request;
    }

    std::unique_ptr<PLYDevService> dev;
};

TEST_F(DevServiceSmokeTest, SignUpLogInAndPublishAPostThatBuildsAndIsAnnounced) {
    const QVariantMap signUp{{"user", QVariantMap{{"f_name", "Ada"}, {"l_name", "L"}, {"email", "ada@example.org"}, {"password_raw", "secret1"}}}};
    const Response created = exchange(post({"user"}, signUp, false));
    ASSERT_TRUE(created.isGood()) << created.status;
    EXPECT_FALSE(created.body.toMap().value("jwt").toString().isEmpty());
    EXPECT_EQ(exchange(post({"user"}, signUp, false)).status, 422) << "the e-mail is taken now";

    const Response refused = exchange(post({"log-in"}, {{"user", QVariantMap{{"email", "ada@example.org"}, {"password", "wrong"}}}}, false));
    EXPECT_EQ(refused.status, 401);
    const Response loggedIn = exchange(post({"log-in"}, {{"user", QVariantMap{{"email", "ada@example.org"}, {"password", "secret1"}}}}, false));
    ASSERT_TRUE(loggedIn.isGood());
    PLYWebServiceHost::currentHost()->setJWT(loggedIn.body.toMap().value("jwt").toString());

    PLYCompletionRecord user, account;
    ASSERT_TRUE(PLYWebServiceUser::getObjectFromServerRequest(user.block()));
    ASSERT_TRUE(PLYWebServiceAccount::getObjectFromServerRequest(account.block()));
    ASSERT_TRUE(user.wait() && account.wait());
    ASSERT_TRUE(user.success);
    EXPECT_EQ(PLYWebServiceModelObject::unwrap<PLYWebServiceUser>(user.object)->firstName(), "Ada");
    const auto remoteAccount = PLYWebServiceModelObject::unwrap<PLYWebServiceAccount>(account.object);
    ASSERT_TRUE(remoteAccount);
    EXPECT_FALSE(remoteAccount->locked());

    // Follow the account's channel as the application does.
    QWebSocket channel;
    QList<QVariantMap> frames;
    QObject::connect(&channel, &QWebSocket::textMessageReceived, [&](const QString& text) {
        frames << QJsonDocument::fromJson(text.toUtf8()).toVariant().toMap();
    });
    channel.open(PLYWebServiceHost::currentHost()->socketURL());
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return channel.state() == QAbstractSocket::ConnectedState; }));
    const QString topic = "account:" + remoteAccount->identifierString();
    channel.sendBinaryMessage(QJsonDocument::fromVariant(QVariantMap{{"topic", topic}, {"event", "phx_join"}, {"payload", QVariantMap()}, {"ref", 1}}).toJson());
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return !frames.isEmpty(); }));
    EXPECT_EQ(frames.first().value("event").toString(), "phx_reply");
    EXPECT_EQ(frames.first().value("payload").toMap().value("status").toString(), "ok");

    PLYLayout layout;
    PLYBlock* block = layout.add_sections()->add_blocks();
    block->mutable_container()->add_sub_blocks()->mutable_image()->set_img_ref("img-1");
    const QByteArray blob = QByteArray::fromStdString(layout.SerializeAsString()).toBase64();
    const Response postCreated = exchange(post({"posts"}, {{"name", "Trip"}, {"publish", false},
        {"post_revision", QVariantMap{{"blob", QString::fromLatin1(blob)}, {"keywords", QVariantList()}}}}, true));
    ASSERT_EQ(postCreated.status, 201);
    const QVariantMap revision = postCreated.body.toMap().value("post_revision").toMap();
    EXPECT_EQ(revision.value("pending").toStringList(), QStringList{"img-1"});
    EXPECT_EQ(revision.value("blob_hash").toString(), QString::fromLatin1(blob));

    // The service never builds while an image is pending.
    const QString createdId = postCreated.body.toMap().value("post").toMap().value("id").toString();
    PLYTestEnvironment::waitUntil([] { return false; }, 200);
    Request notYet;
    notYet.url = PLYWebServiceHost::currentHost()->serviceMeURLWithPaths({"posts", createdId, "live-revision"});
    EXPECT_EQ(exchange(notYet).status, 404);
    EXPECT_EQ(frames.size(), 1) << "no revision_active yet";

    const Response uploaded = exchange(post({"images"}, {{"image", QVariantMap{{"post_revision_id", revision.value("id")},
        {"ref_id", "img-1"}, {"name", "a.jpg"}, {"keywords", QVariantList()}, {"blob", QString::fromLatin1(QByteArray("jpeg").toBase64())}}}}, true));
    ASSERT_TRUE(uploaded.isGood());
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return frames.size() >= 2; }));
    EXPECT_EQ(frames.last().value("event").toString(), "revision_active");
    const QString postId = postCreated.body.toMap().value("post").toMap().value("id").toString();
    EXPECT_EQ(frames.last().value("payload").toMap().value("post").toString(), postId);

    Request live;
    live.url = PLYWebServiceHost::currentHost()->serviceMeURLWithPaths({"posts", postId, "live-revision"});
    EXPECT_TRUE(exchange(live).isGood());
    channel.close();

    // Post identifiers the account does not have answer "the post no longer exists" (301).
    for (const QString& unknown : {QStringLiteral("999999"), QStringLiteral("abc")}) {
        Request get;
        get.url = PLYWebServiceHost::currentHost()->serviceMeURLWithPaths({"posts", unknown});
        Request remove = get;
        remove.method = "DELETE";
        Request pending;
        pending.url = PLYWebServiceHost::currentHost()->serviceMeURLWithPaths({"posts", unknown, "pending-revision"});
        for (const Response& answer : {exchange(get), exchange(remove), exchange(pending),
                                       exchange(post({"posts", unknown, "clean"}, {{"ok", ""}}, true))}) {
            EXPECT_EQ(answer.status, 404);
            EXPECT_EQ(answer.body.toMap().value("code").toInt(), 301);
        }
    }
}

TEST(DevServiceLayoutRefs, FindsImagesInNestedContainersOnce) {
    PLYLayout layout;
    PLYSection* section = layout.add_sections();
    section->add_blocks()->mutable_image()->set_img_ref("a");
    PLYBlock_Container* row = section->add_blocks()->mutable_container();
    row->add_sub_blocks()->mutable_image()->set_img_ref("b");
    row->add_sub_blocks()->mutable_text()->set_value("not an image");
    row->add_sub_blocks()->mutable_image()->set_img_ref("a");
    layout.add_sections()->add_blocks()->mutable_image()->set_img_ref("c");
    EXPECT_EQ(PLYDevService::imageRefsInLayout(QByteArray::fromStdString(layout.SerializeAsString())), (QStringList{"a", "b", "c"}));
    EXPECT_TRUE(PLYDevService::imageRefsInLayout("\xff\xff garbage").isEmpty());
    // Field 4 whose length, 2^64 - 11, would lead back to the start of the buffer if read signed.
    const QByteArray backwards = QByteArray::fromHex("22f5ffffffffffffffff01");
    EXPECT_TRUE(PLYDevService::imageRefsInLayout(backwards).isEmpty());
}

}  // namespace
#endif
