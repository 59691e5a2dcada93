// The grades as plain functions: every threshold at its boundary with its exact reason, the
// keyword sub-grade, the word count and the walks over a layout.
#include "PLYPaddingInput.h"
#include "PLYSeoGrading.h"
#include "PLYSeoManager.h"
#include "PLYTestLayouts.h"

#include <gtest/gtest.h>

using namespace PLYSeoGrading;

namespace {
struct Row {
    qint64 value;
    qint64 level;
    const char* reason;
};

QString repeated(qint64 n) { return QString(n, QLatin1Char('x')); }
QStringList words(qint64 n) { return {QStringList(n, QStringLiteral("word")).join(QLatin1Char(' '))}; }
const QStringList kArt = {QStringLiteral("art")};
}  // namespace

TEST(SeoGrading, TitleLengthAtEveryBoundary) {
    const Row rows[] = {
        {0, 3, "No title set. Please add a title to receive SEO feedback."},
        {1, 2, "The title has 1 characters, this is less than the minimum recommendation of 25 characters, try to make it more descriptive."},
        {24, 2, "The title has 24 characters, this is less than the minimum recommendation of 25 characters, try to make it more descriptive."},
        {25, 1, "The title is a good length, nice work!"},
        {45, 1, "The title is a good length, nice work!"},
        {46, 2, "The title has 46 characters, this is more than the maximum recommendation of 45 characters, try to shorten the title."},
        {60, 2, "The title has 60 characters, this is more than the maximum recommendation of 45 characters, try to shorten the title."},
        {61, 3, "The title has more than 60 characters, this is longer than the viewable limit for search results. Please shorten the title."},
    };
    for (const Row& row : rows) {
        const auto subs = gradeTitle(repeated(row.value), {});
        ASSERT_EQ(subs.size(), 2) << row.value;
        EXPECT_EQ(subs[0], (PLYSeoSubMetric{row.level, QString::fromUtf8(row.reason)})) << row.value;
    }
    // Characters, not UTF-16 units: 25 emoji are a good length.
    EXPECT_EQ(gradeTitle(QString::fromUtf8("\U0001F342").repeated(25), {})[0].level, PLYSeoLevelGood);
}

TEST(SeoGrading, MetaDescriptionLengthAtEveryBoundary) {
    const Row rows[] = {
        {0, 3, "No meta description set. Jump over to the document tab to add meta description."},
        {1, 2, "The meta description has 1 characters, this is less than the minimum recommendation of 125 characters. Perhaps add more detail."},
        {124, 2, "The meta description has 124 characters, this is less than the minimum recommendation of 125 characters. Perhaps add more detail."},
        {125, 1, "The meta description is a good length. You're nailing it."},
        {155, 1, "The meta description is a good length. You're nailing it."},
        {156, 2, "The meta description has 156 characters, this is more than the maximum recommendation of 155 characters. Consider making it more concise."},
    };
    for (const Row& row : rows)
        EXPECT_EQ(gradeMetaDescription(repeated(row.value), {})[0], (PLYSeoSubMetric{row.level, QString::fromUtf8(row.reason)}))
            << row.value;
}

TEST(SeoGrading, KeywordCountAtEveryBoundary) {
    const Row rows[] = {
        {0, 3, "No focus keywords have been set. We can't give feedback on SEO without any focus keywords. Head over to the document tab to get started."},
        {1, 2, "There are 1 focus keywords, this is less than the minimum recommendation of 3, consider adding some more."},
        {2, 2, "There are 2 focus keywords, this is less than the minimum recommendation of 3, consider adding some more."},
        {3, 1, "Focus keywords have been added. Great start!"},
        {5, 1, "Focus keywords have been added. Great start!"},
        {6, 2, "There are 6 focus keywords, this is more than the maximum recommendation of 5, consider removing some."},
    };
    for (const Row& row : rows)
        EXPECT_EQ(gradeKeywordCount(row.value), (QList<PLYSeoSubMetric>{{row.level, QString::fromUtf8(row.reason)}}))
            << row.value;
}

TEST(SeoGrading, BodyTextWordsAtEveryBoundary) {
    const Row rows[] = {
        {0, 3, "Text is important for good SEO. Why not add some descriptive copy to your post to improve your SEO results.**"},
        {1, 2, "The body text contains 1 words, this is less than the recommendation of 300 words. Be a bit more descriptive!"},
        {299, 2, "The body text contains 299 words, this is less than the recommendation of 300 words. Be a bit more descriptive!"},
        {300, 1, "The body text contains 300 words. This is a great amount of words."},
    };
    for (const Row& row : rows)
        EXPECT_EQ(gradeBodyText(row.value ? words(row.value) : QStringList(), {})[0],
                  (PLYSeoSubMetric{row.level, QString::fromUtf8(row.reason)}))
            << row.value;
    // Text without a single letter or digit has no words.
    EXPECT_EQ(gradeBodyText({QStringLiteral(" -- ... ")}, {})[0].level, PLYSeoLevelBad);
}

TEST(SeoGrading, ImageKeywordsCountEveryPlacement) {
    EXPECT_EQ(gradeImageKeywords(0, 0)[0].level, PLYSeoLevelBad) << "no image blocks at all";
    EXPECT_EQ(gradeImageKeywords(3, 3)[0],
              (PLYSeoSubMetric{3, QStringLiteral("No images have keywords. Select an image to start adding keywords.")}));
    EXPECT_EQ(gradeImageKeywords(3, 1)[0],
              (PLYSeoSubMetric{2, QStringLiteral("2 of your 3 images have keywords. Add keywords to the remaining 1 for better SEO.")}));
    EXPECT_EQ(gradeImageKeywords(2, 0)[0], (PLYSeoSubMetric{1, QStringLiteral("All your images have keywords. Perfect!")}));

    using namespace PLYTestLayouts;
    // The same image twice, one of them two containers deep; text and blank blocks skipped.
    const PLYLayout layout = PLYTestLayouts::layout(
        0, {section("s", {image("a", "img-1"), text("t", "x"),
                          container("c", true, {blank("b"), container("d", false, {image("e", "img-1"), image("f", "img-2")})})}),
            section("s2", {image("g", "img-3")})});
    const auto count = countImageKeywords(layout, [](const QString& ref) { return ref == QLatin1String("img-1"); });
    EXPECT_EQ(count.images, 4);
    EXPECT_EQ(count.withoutKeywords, 2);
}

TEST(SeoGrading, KeywordSubGradesAllSomeNoneCaseInsensitiveSubstring) {
    const QStringList kw = {QStringLiteral("art"), QStringLiteral("Lake"), QStringLiteral("dawn")};
    // Substring inside a longer word, and any case.
    EXPECT_EQ(exceptionOccurances(kw, QStringLiteral("A PARTY by the LAKESIDE at dawn")), QStringList());
    EXPECT_EQ(exceptionOccurances(kw, QStringLiteral("lake")), (QStringList{QStringLiteral("art"), QStringLiteral("dawn")}));
    EXPECT_EQ(keywordArrayToString({QStringLiteral("art"), QStringLiteral("dawn")}), QStringLiteral("'art', 'dawn'"));
    EXPECT_EQ(keywordArrayToString({}), QString());

    const auto title = [&](const QString& t) { return gradeTitle(t, kw)[1]; };
    EXPECT_EQ(title(QStringLiteral("Party at the lake, dawn")),
              (PLYSeoSubMetric{1, QStringLiteral("all focus keywords are in the title. Good one!")}));
    EXPECT_EQ(title(QStringLiteral("LAKE")),
              (PLYSeoSubMetric{2, QStringLiteral("these focus keywords: 'art', 'dawn' are missing from the title, why not add them?")}));
    EXPECT_EQ(title(QStringLiteral("Nothing here")),
              (PLYSeoSubMetric{3, QStringLiteral("none of the focus keywords are in the title, please add them. The title is one of the most important factors for good SEO.")}));
    EXPECT_EQ(gradeTitle(QStringLiteral("Anything"), {})[1].level, PLYSeoLevelBad) << "no keywords grades as none present";

    EXPECT_EQ(gradeMetaDescription(QStringLiteral("art"), kw)[1],
              (PLYSeoSubMetric{2, QStringLiteral("these focus keywords 'Lake', 'dawn' are missing from the meta description. We suggest to add them.")}));
    EXPECT_EQ(gradeMetaDescription(QStringLiteral("-"), kw)[1].reason,
              QStringLiteral("none of the focus keywords are in the meta description. This meta description is important because search engines will display these under the title. Get on it!"));
    EXPECT_EQ(gradeMetaDescription(QStringLiteral("art lake dawn"), kw)[1].reason,
              QStringLiteral("all focus keywords are in the meta description. Great work!"));

    EXPECT_EQ(gradeBodyText({QStringLiteral("art")}, kw)[1],
              (PLYSeoSubMetric{2, QStringLiteral("some of the focus keywords are missing from the body text. We suggest adding them all for better SEO results.")}));
    EXPECT_EQ(gradeBodyText({QStringLiteral("x")}, kw)[1].reason,
              QStringLiteral("none of the focus keywords are in your body text. Try adding them to improve SEO results."));
    EXPECT_EQ(gradeBodyText({QStringLiteral("art"), QStringLiteral("lake dawn")}, kw)[1].reason,
              QStringLiteral("all focus keywords are in the body text. Doing well!"));
    // Blocks are not glued: a keyword never spans two blocks.
    EXPECT_EQ(gradeBodyText({QStringLiteral("sun"), QStringLiteral("rise")}, {QStringLiteral("sunrise")})[1].level,
              PLYSeoLevelBad);
}

TEST(SeoGrading, WordsAreCountedPerBlockAndTextIsCollectedDepthFirst) {
    EXPECT_EQ(wordCount({QStringLiteral("hello"), QStringLiteral("world")}), 2) << "blocks not glued word to word";
    EXPECT_EQ(wordCount({QStringLiteral("  one\ttwo\nthree  "), QStringLiteral("— 42 —"), QStringLiteral("\U0001F342 !")}), 4);

    using namespace PLYTestLayouts;
    const PLYLayout layout = PLYTestLayouts::layout(
        0, {section("s", {text("a", "Hello"), container("c", true, {image("i", "x"), container("d", false, {text("b", "World")})}),
                          text("e", "!")})});
    EXPECT_EQ(PLYSeoManager::textCharactersInAllBlocks(layout), QStringLiteral("HelloWorld!"));
    EXPECT_EQ(PLYSeoManager::textCharactersInAllBlocks(PLYLayout()), QString());
    const PLYBlock& nested = layout.sections(0).blocks(1);
    EXPECT_EQ(PLYSeoManager::textCharactersInAllBlocksFrom(nested), QStringLiteral("World"));
    EXPECT_TRUE(PLYSeoManager::foundTextBlockFromBlock(nested));
    EXPECT_FALSE(PLYSeoManager::foundTextBlockFromBlock(nested.container().sub_blocks(0)));
    EXPECT_FALSE(PLYSeoManager::foundTextBlockFromBlock(blank("z")));
}

TEST(PaddingInput, ParsesLikeATypedIntegerAndStaysInRange) {
    EXPECT_EQ(PLYPaddingInput::minimum(), 0);
    const struct {
        const char* text;
        qint64 value;
    } rows[] = {{"24", 24}, {"  7pt", 7}, {"+9", 9}, {"abc", 0}, {"", 0}, {"-5", 0},
                {"100", 100}, {"101", PLYPaddingInput::maximum()}, {"99999999999999999999999", PLYPaddingInput::maximum()},
                {"12.9", 12}};
    for (const auto& row : rows) EXPECT_EQ(PLYPaddingInput::parse(QString::fromUtf8(row.text)), row.value) << row.text;
    EXPECT_EQ(PLYPaddingInput::parseInteger(QStringLiteral("-5"), -10, 10), -5);
    EXPECT_EQ(PLYPaddingInput::parseInteger(QStringLiteral("-99999999999999999999"), -10, 10), -10);
}
