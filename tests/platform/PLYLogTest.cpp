#include <gtest/gtest.h>

#include <QStringList>

#include "PLYLog.h"

TEST(LogRedaction, MasksSecretsInJsonQueriesAndDescriptions) {
    const QString json = QStringLiteral(R"({"email":"a@b.c","password":"hunter2","jwt":"eyJabc.def","data":{"token":"t0k"}})");
    const QString red = PLYLog::redact(json);
    EXPECT_FALSE(red.contains("hunter2"));
    EXPECT_FALSE(red.contains("eyJabc"));
    EXPECT_FALSE(red.contains("t0k"));
    EXPECT_TRUE(red.contains("a@b.c"));

    EXPECT_FALSE(PLYLog::redact("wss://h/socket/websocket?token=SECRET&vsn=2.0.0").contains("SECRET"));
    EXPECT_TRUE(PLYLog::redact("wss://h/socket/websocket?token=SECRET&vsn=2.0.0").contains("vsn=2.0.0"));
    EXPECT_FALSE(PLYLog::redact("{ password_raw = abc123; name = x }").contains("abc123"));
    EXPECT_FALSE(PLYLog::redact("Authorization: Bearer abc.def.ghi").contains("abc.def"));
}

TEST(LogRedaction, ObserversOnlySeeRedactedLines) {
    QStringList lines;
    const int token = PLYLog::addObserver([&](PLYLog::Level, const QString& line) { lines << line; });
    PLY_LOG_ERROR(QStringLiteral("login failed for {\"password\":\"pa55\"}"));
    PLYLog::removeObserver(token);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_FALSE(lines.first().contains("pa55"));
}
