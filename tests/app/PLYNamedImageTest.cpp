#include "PLYNamedImage.h"

#include "PLYInterfaceNames.h"

#include <gtest/gtest.h>

TEST(PLYNamedImageTest, EveryNamedImageIsThereAndDrawsSomething) {
    for (const QString& name : PLYNamedImage::knownImageNames()) {
        const QImage image = PLYNamedImage::image(name);
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        bool painted = false;
        for (int y = 0; y < image.height() && !painted; ++y)
            for (int x = 0; x < image.width() && !painted; ++x) painted = qAlpha(image.pixel(x, y)) > 0;
        EXPECT_TRUE(painted) << name.toStdString() << " is blank";
        EXPECT_FALSE(PLYNamedImage::icon(name).isNull()) << name.toStdString();
    }
    EXPECT_EQ(PLYNamedImage::image(QStringLiteral("star-selected"), QSize(40, 40)).size(), QSize(40, 40));
}

TEST(PLYNamedImageTest, UnknownNamesGiveNothing) {
    EXPECT_TRUE(PLYNamedImage::pathForImage(QStringLiteral("no-such-image")).isEmpty());
    EXPECT_TRUE(PLYNamedImage::image(QStringLiteral("no-such-image")).isNull());
    EXPECT_TRUE(PLYNamedImage::image(QString()).isNull());
}

TEST(PLYNamedImageTest, TheErrorMapIsABundleResource) {
    EXPECT_EQ(PLYNamedImage::pathForResource(QString::fromLatin1(PLYInterfaceNames::ErrorMapResource), QStringLiteral("json")),
              QStringLiteral(":/error_map.json"));
}

TEST(PLYNamedImageTest, TheMissingExampleVideoHasAStill) {
    const QString video = QString::fromLatin1(PLYInterfaceNames::WordPressRPCVideo);
    EXPECT_TRUE(PLYNamedImage::videoURL(video).isEmpty());
    EXPECT_FALSE(PLYNamedImage::stillForVideo(video).isNull());
}
