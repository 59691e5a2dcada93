#include <gtest/gtest.h>

#include "PLYUserDefaults.h"
#include "PLYVisualStateHandler.h"

namespace {

class RecordingDelegate : public PLYVisualStateHandlerDelegate {
public:
    QStringList log;
    std::optional<double> fit;
    std::function<void()> onZoom;
    void visualStateHandlerSetPostHeaderVisible(PLYVisualStateHandler*, bool v) override { log << QString("header:%1").arg(v); }
    void visualStateHandlerSetGalleryVisible(PLYVisualStateHandler*, bool v) override { log << QString("gallery:%1").arg(v); }
    void visualStateHandlerSetInspectorVisible(PLYVisualStateHandler*, bool v) override { log << QString("inspector:%1").arg(v); }
    void visualStateHandlerSetLayoutZoomFactor(PLYVisualStateHandler*, double z) override {
        log << QString("zoom:%1").arg(z);
        if (onZoom) onZoom();
    }
    std::optional<double> layoutZoomFactorToFitForVisualStateHandler(PLYVisualStateHandler*) override { return fit; }
};

class VisualStateHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& d = PLYUserDefaults::standardUserDefaults();
        d.removeObjectForKey("present_gallery");
        d.removeObjectForKey("present_outline");
        PLYVisualStateHandler::resetGlobalHandler();
    }
    void TearDown() override { PLYVisualStateHandler::resetGlobalHandler(); }
};

}  // namespace

TEST_F(VisualStateHandlerTest, StartsHiddenAtZoomOneAndReadsPanelsFromDefaults) {
    auto* h = PLYVisualStateHandler::globalHandler();
    EXPECT_EQ(h, PLYVisualStateHandler::globalHandler());
    EXPECT_FALSE(h->postHeaderVisible());
    EXPECT_FALSE(h->galleryVisible());
    EXPECT_FALSE(h->inspectorVisible());
    EXPECT_DOUBLE_EQ(h->layoutZoomFactor(), 1.0);

    h->setGalleryVisible(true);
    h->toggleInspectorVisible();
    h->setPostHeaderVisible(true);
    EXPECT_TRUE(PLYUserDefaults::standardUserDefaults().boolForKey("present_gallery"));
    EXPECT_TRUE(PLYUserDefaults::standardUserDefaults().boolForKey("present_outline"));

    PLYVisualStateHandler::resetGlobalHandler();
    h = PLYVisualStateHandler::globalHandler();
    EXPECT_TRUE(h->galleryVisible());
    EXPECT_TRUE(h->inspectorVisible());
    EXPECT_FALSE(h->postHeaderVisible()) << "the post header is not remembered";
}

TEST_F(VisualStateHandlerTest, DelegatesHearEveryChangeUntilRemovedOrDestroyed) {
    auto* h = PLYVisualStateHandler::globalHandler();
    RecordingDelegate kept;
    h->addVisualDelegate(&kept);
    h->addVisualDelegate(&kept);
    {
        RecordingDelegate shortLived;
        h->addVisualDelegate(&shortLived);
        h->toggleGalleryVisible();
        EXPECT_EQ(shortLived.log, QStringList{"gallery:1"});
    }
    EXPECT_EQ(h->visualDelegates().size(), 1);
    h->toggleGalleryVisible();
    h->setPostHeaderVisible(true);
    h->setInspectorVisible(false);
    h->removeVisualDelegate(&kept);
    h->setLayoutZoomFactor(2.0);
    EXPECT_EQ(kept.log, (QStringList{"gallery:1", "gallery:0", "header:1", "inspector:0"}));
}

TEST_F(VisualStateHandlerTest, OnlySteppedZoomIsClamped) {
    auto* h = PLYVisualStateHandler::globalHandler();
    h->setLayoutZoomFactor(7.5);
    EXPECT_DOUBLE_EQ(h->layoutZoomFactor(), 7.5);
    h->incrementLayoutZoomFactorBy(0.1);
    EXPECT_DOUBLE_EQ(h->layoutZoomFactor(), 4.0);
    h->setLayoutZoomFactor(0.15);
    h->decrementLayoutZoomFactorBy(0.1);
    EXPECT_DOUBLE_EQ(h->layoutZoomFactor(), 0.1);
    h->setLayoutZoomFactor(0.02);
    EXPECT_DOUBLE_EQ(h->layoutZoomFactor(), 0.02);
    h->setLayoutZoomFactor(1.0);
    h->incrementLayoutZoomFactorBy(0.1);
    EXPECT_NEAR(h->layoutZoomFactor(), 1.1, 1e-12);
}

TEST_F(VisualStateHandlerTest, ZoomToFitTakesTheFirstDelegateThatAnswers) {
    auto* h = PLYVisualStateHandler::globalHandler();
    RecordingDelegate silent, fitter, other;
    fitter.fit = 0.37;
    other.fit = 2.0;
    h->addVisualDelegate(&silent);
    h->setLayoutZoomToFit();
    EXPECT_DOUBLE_EQ(h->layoutZoomFactor(), 1.0) << "nobody can tell: no change";
    EXPECT_TRUE(silent.log.isEmpty());

    h->addVisualDelegate(&fitter);
    h->addVisualDelegate(&other);
    h->setLayoutZoomToFit();
    EXPECT_DOUBLE_EQ(h->layoutZoomFactor(), 0.37);
    EXPECT_EQ(other.log, QStringList{"zoom:0.37"});
}

TEST_F(VisualStateHandlerTest, DelegateRemovedDuringACallIsSkipped) {
    auto* h = PLYVisualStateHandler::globalHandler();
    RecordingDelegate first, second;
    first.onZoom = [&] { h->removeVisualDelegate(&second); };
    h->addVisualDelegate(&first);
    h->addVisualDelegate(&second);
    h->setLayoutZoomFactor(1.5);
    EXPECT_EQ(first.log.size(), 1);
    EXPECT_TRUE(second.log.isEmpty());
}
