// Bounding text from outside: control characters left out, lengths cut without splitting a
// character, in UTF-16 units or in UTF-8 bytes.
#include "PLYTextLimits.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <iostream>

TEST(TextLimits, ControlCharactersAreLeftOutAndLineBreaksKeptOnlyWhenAsked) {
    const QString text = QStringLiteral("a") + QChar(0) + QStringLiteral("b\x01\x1f\x7f") + QChar(0x85) +
                         QStringLiteral("c\n\td\r");
    EXPECT_EQ(PLYTextLimits::withoutControlCharacters(text), QStringLiteral("abcd"));
    EXPECT_EQ(PLYTextLimits::withoutControlCharacters(text, true), QStringLiteral("abc\n\td\r"));
    EXPECT_EQ(PLYTextLimits::withoutControlCharacters(QStringLiteral("Pål ☃ 山")), QStringLiteral("Pål ☃ 山"));
}

TEST(TextLimits, ALengthCutNeverSplitsASurrogatePair) {
    const QString face = QString::fromUcs4(U"\U0001F600");
    const QString text = QStringLiteral("ab") + face + QStringLiteral("c");
    EXPECT_EQ(PLYTextLimits::truncatedToLength(text, 10), text);
    EXPECT_EQ(PLYTextLimits::truncatedToLength(text, 4), QStringLiteral("ab") + face);
    EXPECT_EQ(PLYTextLimits::truncatedToLength(text, 3), QStringLiteral("ab"));
    EXPECT_EQ(PLYTextLimits::truncatedToLength(text, 0), QString());
}

TEST(TextLimits, AByteCutKeepsWholeCharactersWithinTheLimitInARandomWalk) {
    const quint32 seed = QRandomGenerator::global()->generate();
    std::cout << "seed " << seed << std::endl;
    QRandomGenerator random(seed);
    const char32_t alphabet[] = {U'a', U'é', U'山', U'\U0001F600', U' '};
    for (int step = 0; step < 500; ++step) {
        QString text;
        const int length = random.bounded(60);
        for (int i = 0; i < length; ++i) {
            const char32_t c = alphabet[random.bounded(5)];
            text += QString::fromUcs4(&c, 1);
        }
        const int limit = random.bounded(120);
        const QString cut = PLYTextLimits::truncatedToUtf8Bytes(text, limit);
        ASSERT_LE(cut.toUtf8().size(), limit) << "step " << step;
        ASSERT_TRUE(text.startsWith(cut)) << "step " << step;
        ASSERT_FALSE(cut.toUtf8().contains("\xEF\xBF\xBD")) << "a character split at step " << step;
        if (cut.size() < text.size()) {
            // The next whole character would not have fitted.
            const qsizetype next = text.at(cut.size()).isHighSurrogate() ? 2 : 1;
            ASSERT_GT(text.left(cut.size() + next).toUtf8().size(), limit) << "step " << step;
        }
    }
    EXPECT_EQ(PLYTextLimits::truncatedToUtf8Bytes(QString(120, QChar(0x5C71)), 255).size(), 85);
}

TEST(TextLimits, ATextBlockHoldsUpToItsLimitAndNotOneUnitMore) {
    EXPECT_TRUE(PLYTextLimits::textBlockHolds(0));
    EXPECT_TRUE(PLYTextLimits::textBlockHolds(PLYTextLimits::TextBlockMaximumLength));
    EXPECT_FALSE(PLYTextLimits::textBlockHolds(PLYTextLimits::TextBlockMaximumLength + 1));
}
