#include "PLYImageManager.h"
#include "PLYLayoutImageSource_Snapshot.h"
#include "PLYLayoutRenderer.h"
#include "PLYTestEnvironment.h"
#include "PLYTestLayouts.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// Background renders read the image cache's files through a snapshot taken on the main thread.
TEST(LayoutImageSnapshot, RendersFromTheCacheFilesAndShowsThePlaceholderForFailures) {
    const QDir dir(PLYTestEnvironment::makeTempDirectory(QStringLiteral("cache")));
    QImage picture(900, 600, QImage::Format_RGB32);
    picture.fill(QColor(30, 160, 40));
    ASSERT_TRUE(picture.save(dir.filePath("source.png")));
    ASSERT_TRUE(PLYImageManager::renderRenditions(dir.filePath("source.png"), dir.filePath("preview.jpg"),
                                                  dir.filePath("export.jpg")));

    PLYLayoutImageSource_Snapshot snapshot;
    PLYLayoutImageSource_Snapshot::Entry good;
    good.pixelSize = QSize(900, 600);
    good.previewPath = dir.filePath("preview.jpg");
    good.exportPath = dir.filePath("export.jpg");
    snapshot.addImage("good", good);
    PLYLayoutImageSource_Snapshot::Entry failed = good;
    failed.failed = true;
    snapshot.addImage("failed", failed);

    EXPECT_EQ(snapshot.previewImageForIdentifier("good").width(), PLYImageManager::PreviewWidth);
    EXPECT_FALSE(snapshot.exportImageForIdentifier("good").isNull());
    EXPECT_EQ(snapshot.exportImageForIdentifier("failed"), PLYImageManager::placeholderImage());
    EXPECT_TRUE(snapshot.imageFileDeleted("unknown"));
    EXPECT_FALSE(snapshot.imageFileDeleted("good"));

    const PLYLayout layout = PLYTestLayouts::layout(0, {PLYTestLayouts::section("s", {PLYTestLayouts::image("a", "good")})});
    const QImage rendered = PLYLayoutRenderer::renderBlock(layout, "a", 750, &snapshot);
    ASSERT_EQ(rendered.size(), QSize(750, 500));
    const QColor middle = rendered.pixelColor(375, 250);
    EXPECT_NEAR(middle.green(), 160, 30);
    EXPECT_LT(middle.red(), 70);
}

}  // namespace
