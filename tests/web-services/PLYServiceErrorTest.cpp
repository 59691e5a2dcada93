#include "PLYWebServiceTestSupport.h"

#include "PLYJSONSerialization.h"
#include "PLYWebServiceUser.h"

#include <QFile>

namespace {

QVariant parse(const char* json) { return PLYJSONSerialization::JSONObjectWithData(QByteArray(json)); }

class ServiceErrorTest : public ::testing::Test {
protected:
    void TearDown() override { PLYServiceError::setErrorMapPathForTesting({}); }
};

TEST_F(ServiceErrorTest, MissingMessagesComeFromTheBundledMap) {
    const PLYServiceError notFound = PLYServiceError::serviceErrorWithDictionary(parse(R"({"code": 404})"));
    EXPECT_EQ(notFound.code(), 404);
    EXPECT_EQ(notFound.error(), PLYServiceError::errorMessageForCode(404));
    EXPECT_FALSE(notFound.error().isEmpty());

    const PLYServiceError own = PLYServiceError::serviceErrorWithDictionary(
        parse(R"({"code": 5, "error": "Own words", "errors": {"email": ["taken"]}, "info": {"status": 3}})"));
    EXPECT_EQ(own.code(), 5);
    EXPECT_EQ(own.error(), "Own words");
    EXPECT_EQ(own.changesetErrors().value("email").toList().value(0).toString(), "taken");
    EXPECT_EQ(own.info().value("status").toInt(), 3);
    EXPECT_TRUE(own.description().contains("code=5, error='Own words'"));

    // The sign-in window shows the messages of the sign-in codes too.
    for (qint64 code : {0, 1, 2, 100, 301, 501, 502, 10000})
        EXPECT_FALSE(PLYServiceError::errorMessageForCode(code).isEmpty()) << code;
    EXPECT_EQ(PLYServiceError::serviceErrorWithDictionary(parse(R"({"code": 1})")).error(), "Incorrect password.");
}

TEST_F(ServiceErrorTest, NullErrorAndEmptyBodyFallBackToCodeZero) {
    const PLYServiceError nullError = PLYServiceError::serviceErrorWithDictionary(parse(R"({"error": null, "info": null})"));
    EXPECT_EQ(nullError.code(), 0);
    EXPECT_EQ(nullError.error(), PLYServiceError::errorMessageForCode(0));
    EXPECT_TRUE(nullError.info().isEmpty());

    const PLYServiceError empty = PLYServiceError::serviceErrorWithDictionary(QVariant());
    EXPECT_EQ(empty.code(), 0);
    EXPECT_FALSE(empty.error().isEmpty());
    EXPECT_EQ(empty.error(), PLYServiceError::errorMessageForCode(0));
    EXPECT_TRUE(empty.changesetErrors().isEmpty());
    EXPECT_TRUE(empty.info().isEmpty());

    // A body that is JSON but not an object counts as no body.
    EXPECT_EQ(PLYServiceError::serviceErrorWithDictionary(QVariantList{1, 2}).code(), 0);
}

TEST_F(ServiceErrorTest, NegativeCodesLookUpTheirUnsignedValueAndUnknownCodesStayWithoutMessage) {
    const QString path = PLYTestEnvironment::makeTempDirectory("errmap") + "/map.json";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"18446744073709551615": "minus one", "005": "five", "000": "zero"})");
    file.close();
    PLYServiceError::setErrorMapPathForTesting(path);
    EXPECT_EQ(PLYServiceError::serviceErrorWithDictionary(parse(R"({"code": -1})")).error(), "minus one");
    EXPECT_EQ(PLYServiceError::errorMessageForCode(5), "five");
    EXPECT_TRUE(PLYServiceError::serviceErrorWithDictionary(parse(R"({"code": 77})")).error().isNull());

    PLYServiceError::setErrorMapPathForTesting(path + ".missing");
    EXPECT_TRUE(PLYServiceError::serviceErrorWithDictionary(parse(R"({"code": 404})")).error().isNull());
}

class ServiceErrorOverHttpTest : public PLYWebServiceTest {};

TEST_F(ServiceErrorOverHttpTest, AnHtmlErrorPageBecomesCodeZeroWithTheGeneralMessage) {
    signIn();
    service.enqueueReply("GET", "/api/me", PLYFakeReply::text(404, "<html><body>Not here</body></html>", "text/html"));
    PLYCompletionRecord record;
    ASSERT_TRUE(PLYWebServiceUser::getObjectFromServerRequest(record.block()));
    ASSERT_TRUE(record.wait());
    EXPECT_FALSE(record.success);
    EXPECT_FALSE(record.object.isValid());
    ASSERT_TRUE(record.serviceError.has_value());
    EXPECT_EQ(record.serviceError->code(), 0);
    EXPECT_EQ(record.serviceError->error(), PLYServiceError::errorMessageForCode(0));
    EXPECT_FALSE(record.transportError.has_value());
}

TEST_F(ServiceErrorOverHttpTest, TheWholeErrorBodyIsReadNotItsData) {
    signIn();
    service.enqueueReply("GET", "/api/me", PLYFakeReply::json(401, QVariantMap{{"code", 10000}, {"data", QVariantMap{{"code", 1}}}}));
    PLYCompletionRecord record;
    ASSERT_TRUE(PLYWebServiceUser::getObjectFromServerRequest(record.block()));
    ASSERT_TRUE(record.wait());
    ASSERT_TRUE(record.serviceError.has_value());
    EXPECT_EQ(record.serviceError->code(), PLYServiceError::CodeRefreshToken);
}

}  // namespace
