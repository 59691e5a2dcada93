// A JPEG cut short is told from a whole one, with or without what a camera appends after it.
#include "PLYImageCompleteness.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"

#include <QDir>

#include <gtest/gtest.h>

#include <random>

using PLYTestEnvironment::readBytes;
using PLYTestEnvironment::writeBytes;

TEST(ImageCompleteness, EveryCutOfAJpegIsIncompleteAndWhatFollowsAWholeOneIsLeftAlone) {
    const QDir folder(PLYTestEnvironment::makeTempDirectory(QStringLiteral("complete")));
    const QString path = folder.filePath(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(PLYTestImages::writePhotoJpeg(path, 320, 200, 5));
    const QByteArray whole = readBytes(path);
    EXPECT_EQ(PLYImageCompleteness::whyIncomplete(path), QString());
    // A movie appended after the picture, and zero padding.
    ASSERT_TRUE(writeBytes(path, whole + QByteArray("\x00\x00\x00\x18" "ftypmp42", 12) + QByteArray(5000, '\x7f')));
    EXPECT_EQ(PLYImageCompleteness::whyIncomplete(path), QString());
    ASSERT_TRUE(writeBytes(path, whole + QByteArray(300, '\0')));
    EXPECT_EQ(PLYImageCompleteness::whyIncomplete(path), QString());
    // Not a JPEG: not this check's business.
    ASSERT_TRUE(writeBytes(path, "just text"));
    EXPECT_EQ(PLYImageCompleteness::whyIncomplete(path), QString());

    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<qsizetype> cutAt(2, whole.size() - 2);
    for (int step = 0; step < 200; ++step) {
        const qsizetype cut = cutAt(random);
        ASSERT_TRUE(writeBytes(path, whole.left(cut)));
        EXPECT_FALSE(PLYImageCompleteness::whyIncomplete(path).isEmpty()) << "seed " << seed << ", cut at " << cut << " of " << whole.size();
    }
}
