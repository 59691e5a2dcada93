// The SEO tab: the sentence of a metric, which rows show for a post, and the tab following the
// post's edits offscreen.
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYSeoManager.h"
#include "PLYSeoSummary.h"
#include "PLYSeoViewController.h"
#include "PLYTestEnvironment.h"
#include "PLYTestLayouts.h"

#include <QCoreApplication>
#include <QLabel>

#include <gtest/gtest.h>

namespace {
using Runs = QList<PLYSeoSentence::Run>;
const PLYSeoSubMetric kGood1{1, QStringLiteral("Good one.")};
const PLYSeoSubMetric kGood2{1, QStringLiteral("Good two.")};
const PLYSeoSubMetric kWarn{2, QStringLiteral("Warn <b>x</b>.")};
const PLYSeoSubMetric kBad{3, QStringLiteral("Bad.")};

std::shared_ptr<PLYPostManager> makePost(const PLYLayout& layout) {
    auto post = PLYPersistantPost::create(QStringLiteral("Post"), PLYTestEnvironment::makeTempDirectory(), {});
    *post->layout() = layout;
    return PLYPostManager::create(post);
}
}  // namespace

TEST(SeoSentence, GoodReasonsJoinWithItalicAndTheFirstBadOneEndsInBold) {
    const auto single = PLYSeoSentence::forSubMetrics({kWarn});
    EXPECT_TRUE(single.plain);
    EXPECT_EQ(single.toPlainText(), kWarn.reason);

    const auto allGood = PLYSeoSentence::forSubMetrics({kGood1, kGood2});
    EXPECT_FALSE(allGood.plain);
    EXPECT_EQ(allGood.runs, (Runs{{kGood1.reason, PLYSeoSentence::Regular},
                                        {QStringLiteral(" and "), PLYSeoSentence::Italic},
                                        {kGood2.reason, PLYSeoSentence::Regular}}));

    EXPECT_EQ(PLYSeoSentence::forSubMetrics({kGood1, kWarn, kGood2}).runs,
              (Runs{{kGood1.reason, PLYSeoSentence::Regular},
                          {QStringLiteral(" but \n"), PLYSeoSentence::Italic},
                          {kWarn.reason, PLYSeoSentence::Bold}}))
        << "nothing after the first reason that is not good";
    EXPECT_EQ(PLYSeoSentence::forSubMetrics({kBad, kGood1}).runs, (Runs{{kBad.reason, PLYSeoSentence::Bold}}))
        << "a bad first reason has no joiner";
    EXPECT_TRUE(PLYSeoSentence::forSubMetrics({}).runs.isEmpty());

    // Reasons quote the user's keywords: they show as typed, never as markup.
    EXPECT_EQ(PLYSeoSentence::forSubMetrics({kGood1, kWarn}).toHtml(),
              QStringLiteral("Good one.<i> but <br></i><b>Warn &lt;b&gt;x&lt;/b&gt;.</b>"));
}

TEST(SeoInspector, RowsFollowThePostThroughTheNotification) {
    PLYSeoManager::install();
    using namespace PLYTestLayouts;
    auto manager = makePost(PLYTestLayouts::layout(0, {section("s", {image("i", "img")})}));
    auto post = manager->representedPost();
    const int before = PLYNotificationCenter::defaultCenter().observerCount();
    auto* tab = new PLYSeoViewController;
    EXPECT_EQ(PLYNotificationCenter::defaultCenter().observerCount(), before + 1);
    tab->setPostManager(manager);
    tab->setPostManager(manager);
    EXPECT_EQ(PLYNotificationCenter::defaultCenter().observerCount(), before + 1 + 2) << "one registration, and the metrics'";
    tab->resize(300, 500);
    tab->show();

    auto view = [&](const char* name) { return tab->findChild<QWidget*>(QLatin1String(name)); };
    auto label = [&](const char* name) { return tab->findChild<QLabel*>(QLatin1String(name)); };
    // Without keywords: only the keyword row, red, with the count's reason as plain text.
    EXPECT_TRUE(view("seoKeywordsView")->isVisible());
    for (const char* hidden : {"seoTitleView", "seoMetaView", "seoImageKeywordsView", "seoTextContentView"})
        EXPECT_FALSE(view(hidden)->isVisible()) << hidden;
    EXPECT_EQ(label("seoKeywordsLabel")->text(),
              QStringLiteral("No focus keywords have been set. We can't give feedback on SEO without any focus keywords. "
                             "Head over to the document tab to get started."));
    EXPECT_EQ(label("seoKeywordsImageview")->accessibleName(), QStringLiteral("Needs attention"));
    EXPECT_FALSE(label("seoKeywordsImageview")->pixmap().isNull());

    // Keywords (one of them markup-like) and a good title: rows appear once the queued summary arrives.
    post->setFocusKeywords(QStringList{QStringLiteral("<b>x"), QStringLiteral("lake")});
    post->setSeoTitle(QStringLiteral("A morning by the lake, calm and grey"));
    EXPECT_FALSE(view("seoTitleView")->isVisible());
    QCoreApplication::processEvents();
    EXPECT_TRUE(view("seoTitleView")->isVisible());
    EXPECT_TRUE(view("seoMetaView")->isVisible()) << "shown without a meta description too";
    EXPECT_TRUE(view("seoImageKeywordsView")->isVisible());
    EXPECT_FALSE(view("seoTextContentView")->isVisible()) << "no text block";
    QLabel* title = label("seoTitleLabel");
    EXPECT_EQ(title->textFormat(), Qt::RichText);
    EXPECT_TRUE(title->text().endsWith(QStringLiteral("<b>these focus keywords: '&lt;b&gt;x' are missing from the title, "
                                                      "why not add them?</b>")))
        << title->text().toStdString();
    EXPECT_EQ(label("seoTitleImageview")->accessibleName(), QStringLiteral("Could be better"));

    // A text block: the body-text row follows the layout edit.
    manager->layoutManager()->addBlock(text("t", "lake"), nullptr, post->layout()->mutable_sections(0));
    QCoreApplication::processEvents();
    EXPECT_TRUE(view("seoTextContentView")->isVisible());

    delete tab;
    EXPECT_EQ(PLYNotificationCenter::defaultCenter().observerCount(), before + 2);
    post->setSeoTitle(QStringLiteral("After the tab"));
    QCoreApplication::processEvents();  // a summary with no tab left to hear it
    PLYSeoManager::uninstall();
}
