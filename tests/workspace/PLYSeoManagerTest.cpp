// The checklist of real posts: made by the post manager through the registered maker, kept
// current by the post's fields and by this post's layout edits only, announcing each regrade on
// the main queue; the relevance rules and the keyword store.
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYSeoManager.h"
#include "PLYSeoManagerFactory.h"
#include "PLYTestEnvironment.h"
#include "PLYTestLayouts.h"
#include "PLYUserDefaults.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

class SeoManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYSeoManager::install();
        PLYUserDefaults::standardUserDefaults().removeObjectForKey(QLatin1String(PLYSeoManager::FocusKeywordsKey));
        m_observers.add(QString::fromLatin1(PLYSeoManager::OverallSummaryNotification), nullptr,
                        [this](const PLYNotification& n) { announced << n.object; });
    }
    void TearDown() override { PLYSeoManager::uninstall(); }

    std::shared_ptr<PLYPostManager> makePost(const PLYLayout& layout = {}) {
        auto post = PLYPersistantPost::create(QStringLiteral("Post"), PLYTestEnvironment::makeTempDirectory(), {});
        *post->layout() = layout;
        return PLYPostManager::create(post);
    }
    static void drain() { QCoreApplication::processEvents(); }

    QList<void*> announced;
    PLYObserverBag m_observers;
};

PLYLayout imageLayout() {
    using namespace PLYTestLayouts;
    return PLYTestLayouts::layout(0, {section("s", {image("a", "img-1"), text("t", "Art of the party")})});
}

}  // namespace

TEST_F(SeoManagerTest, PostManagerMakesItOnceThroughTheRegisteredMaker) {
    auto manager = makePost();
    auto seo = manager->seoManager();
    ASSERT_TRUE(seo);
    EXPECT_EQ(manager->seoManager(), seo);
    EXPECT_EQ(seo->postManager(), manager);
    EXPECT_FALSE(PLYPostManager::create(nullptr)->seoManager()) << "a post still to be made has none";

    PLYSeoManager::uninstall();
    EXPECT_FALSE(PLYSeoManagerFactory::hasMaker());
    EXPECT_FALSE(makePost()->seoManager()) << "without the workspace's maker there is none";
    EXPECT_EQ(manager->seoManager(), seo) << "one already made stays";
}

TEST_F(SeoManagerTest, PostWithoutKeywordsGradesBadEverywhereAndRelevanceFollowsThePost) {
    auto manager = makePost(PLYTestLayouts::layout(0, {PLYTestLayouts::section("s", {})}));
    auto seo = manager->seoManager();
    auto post = manager->representedPost();
    for (PLYSeoMetric* metric : {seo->titleMetric(), seo->metaMetric(), seo->textMetric()}) {
        ASSERT_EQ(metric->subMetrics().size(), 2);
        EXPECT_EQ(metric->subMetrics()[1].level, PLYSeoLevelBad);
    }
    EXPECT_EQ(seo->keywordsMetric()->summaryLevel(), PLYSeoLevelBad);
    EXPECT_EQ(seo->imageKeywordMetrics()->summaryLevel(), PLYSeoLevelBad);
    EXPECT_FALSE(seo->isMetaRelevant());
    EXPECT_FALSE(seo->isKeywordRelevant());
    EXPECT_FALSE(seo->isTextRelevant());

    // A good title alone: the title's keyword grade still counts, the other metrics are not relevant.
    post->setSeoTitle(QStringLiteral("A title of a good length here"));
    EXPECT_EQ(seo->overallSummaryLevel(), PLYSeoLevelBad);
    post->setFocusKeywords(QStringList{QStringLiteral("good"), QStringLiteral("title"), QStringLiteral("length")});
    EXPECT_TRUE(seo->isKeywordRelevant());
    EXPECT_EQ(seo->titleMetric()->summaryLevel(), PLYSeoLevelGood);
    EXPECT_EQ(seo->imageKeywordMetrics()->summaryLevel(), PLYSeoLevelBad);
    EXPECT_EQ(seo->overallSummaryLevel(), PLYSeoLevelBad) << "image keywords count once keywords exist";

    post->setMetaDescription(QStringLiteral("short"));
    EXPECT_TRUE(seo->isMetaRelevant());
    EXPECT_EQ(seo->metaMetric()->primaryMetricReason().left(32), QStringLiteral("The meta description has 5 chara"));

    // A text block two containers deep makes the body text relevant.
    using namespace PLYTestLayouts;
    manager->layoutManager()->addBlock(container("c", true, {container("d", false, {text("t", "x")})}), nullptr,
                                       post->layout()->mutable_sections(0));
    EXPECT_TRUE(seo->isTextRelevant());
}

TEST_F(SeoManagerTest, FieldEditsRegradeAtOnceAndAnnounceOnTheMainQueue) {
    auto manager = makePost(imageLayout());
    auto seo = manager->seoManager();
    auto post = manager->representedPost();
    drain();
    announced.clear();

    post->setSeoTitle(QStringLiteral("Art"));
    EXPECT_EQ(seo->titleMetric()->primaryMetricReason().left(22), QStringLiteral("The title has 3 charac"));
    EXPECT_TRUE(announced.isEmpty()) << "posted asynchronously, after the edit";
    drain();
    EXPECT_EQ(announced, QList<void*>{seo->titleMetric()});

    // Keywords regrade every metric that grades them, the body text included.
    announced.clear();
    post->setFocusKeywords(QStringList{QStringLiteral("party")});
    EXPECT_EQ(seo->textMetric()->subMetrics()[1].level, PLYSeoLevelGood);
    drain();
    EXPECT_EQ(announced.size(), 5);
    EXPECT_TRUE(announced.contains(seo->textMetric()));

    // A field that no metric watches regrades nothing.
    announced.clear();
    post->setName(QStringLiteral("Renamed"));
    drain();
    EXPECT_TRUE(announced.isEmpty());
}

TEST_F(SeoManagerTest, OnlyThisPostsLayoutEditsRegradeImagesAndText) {
    auto a = makePost(imageLayout());
    auto b = makePost(imageLayout());
    auto seoA = a->seoManager();
    auto seoB = b->seoManager();
    b->layoutManager();
    drain();
    announced.clear();

    // An image keyword is noticed at the next layout edit of its post, as the property inspector announces one.
    a->representedPost()->setFocusKeywordsForImage({QStringLiteral("lake")}, QStringLiteral("img-1"));
    EXPECT_EQ(seoA->imageKeywordMetrics()->summaryLevel(), PLYSeoLevelBad);
    a->layoutManager()->announceChange();
    EXPECT_EQ(seoA->imageKeywordMetrics()->summaryLevel(), PLYSeoLevelGood);

    using namespace PLYTestLayouts;
    a->layoutManager()->addBlock(image("n", "img-2"), nullptr, a->representedPost()->layout()->mutable_sections(0));
    EXPECT_EQ(seoA->imageKeywordMetrics()->primaryMetricReason(),
              QStringLiteral("1 of your 2 images have keywords. Add keywords to the remaining 1 for better SEO."));
    a->layoutManager()->addBlock(text("w", "two words"), nullptr, a->representedPost()->layout()->mutable_sections(0));
    EXPECT_EQ(seoA->textMetric()->primaryMetricReason().left(28), QStringLiteral("The body text contains 6 wor"));
    drain();
    for (void* metric : announced)
        EXPECT_TRUE(metric == seoA->imageKeywordMetrics() || metric == seoA->textMetric());
    EXPECT_EQ(announced.size(), 6);
    EXPECT_EQ(seoB->textMetric()->primaryMetricReason().left(28), QStringLiteral("The body text contains 4 wor"));
}

TEST_F(SeoManagerTest, AGoneManagerLeavesNoObserverAndPostsNoQueuedSummary) {
    auto manager = makePost(imageLayout());
    auto post = manager->representedPost();
    const int before = PLYNotificationCenter::defaultCenter().observerCount();
    manager->seoManager();
    EXPECT_EQ(PLYNotificationCenter::defaultCenter().observerCount(), before + 2) << "images and body text follow the layout";
    announced.clear();
    manager.reset();  // its SEO manager goes with it, with summaries still queued
    EXPECT_EQ(PLYNotificationCenter::defaultCenter().observerCount(), before);
    drain();
    EXPECT_TRUE(announced.isEmpty());
    post->setSeoTitle(QStringLiteral("Still editable"));
    post->setFocusKeywords(QStringList{QStringLiteral("x")});
    drain();
    EXPECT_TRUE(announced.isEmpty());
}

TEST_F(SeoManagerTest, KeywordStoreIsCaseSensitiveAndMatchesPrefixesInAnyCase) {
    EXPECT_EQ(PLYSeoManager::keywordsMatchingPrefix(QStringLiteral("a")), QStringList());
    for (const char* k : {"Art", "photo", "art", "Art", "", "Photography"})
        PLYSeoManager::addKeywordToStore(QString::fromUtf8(k));
    EXPECT_EQ(PLYUserDefaults::standardUserDefaults().stringArrayForKey(QLatin1String(PLYSeoManager::FocusKeywordsKey)),
              (QStringList{QStringLiteral("Art"), QStringLiteral("photo"), QStringLiteral("art"), QStringLiteral("Photography")}));
    EXPECT_EQ(PLYSeoManager::keywordsMatchingPrefix(QStringLiteral("PH")),
              (QStringList{QStringLiteral("photo"), QStringLiteral("Photography")}));
    EXPECT_EQ(PLYSeoManager::keywordsMatchingPrefix(QStringLiteral("photog")), QStringList{QStringLiteral("Photography")});
    EXPECT_EQ(PLYSeoManager::keywordsMatchingPrefix(QString()).size(), 4);
}
