#include <gtest/gtest.h>

#include "PLYDefaults.h"
#include "PLYTestEnvironment.h"
#include "PLYUserDefaults.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Every test starts from an empty defaults file of its own.
class Defaults : public ::testing::Test {
protected:
    void SetUp() override {
        PLYUserDefaults::resetStandardUserDefaults(PLYTestEnvironment::makeTempDirectory("defaults") + "/defaults.ini");
    }
    void TearDown() override { PLYUserDefaults::resetStandardUserDefaults(PLYTestEnvironment::defaultsFile()); }
};

}  // namespace

TEST_F(Defaults, AbsentKeysGiveTheirDefaults) {
    EXPECT_DOUBLE_EQ(PLYDefaults::defaultPadding(), 10.0);
    EXPECT_EQ(PLYDefaults::defaultBackgroundColour(), QColor(Qt::white));
    EXPECT_FALSE(PLYDefaults::defaultIncludeSubfolders());
    EXPECT_FALSE(PLYDefaults::shouldSupressRPC());
    EXPECT_EQ(PLYDefaults::sortType(), 0);
    EXPECT_EQ(PLYDefaults::sortOrder(), 0);
    EXPECT_FALSE(PLYDefaults::shouldSplitUsedImages());
    EXPECT_FALSE(PLYDefaults::shouldShowHiddenImages());
    EXPECT_FALSE(PLYDefaults::shouldAutoAddNewImages());
    EXPECT_FALSE(PLYDefaults::shouldSupressImageItemDelete());
    EXPECT_EQ(PLYDefaults::homeSortType(), 1);
    EXPECT_EQ(PLYDefaults::homeSortOrder(), 0);
    EXPECT_EQ(PLYDefaults::onBoardPresentationState(), 0);
    EXPECT_EQ(PLYDefaults::defaultTextBlockEmptyText(), QStringLiteral("Write Something..."));
}

TEST_F(Defaults, ValuesRoundTripUnderTheirKeys) {
    PLYDefaults::setDefaultPadding(22.5);
    PLYDefaults::setDefaultColour(QColor(0x12, 0x34, 0x56));
    PLYDefaults::setDefaultIncludeSubfolders(true);
    PLYDefaults::setShouldSupressRPC(true);
    PLYDefaults::setSortType(2);
    PLYDefaults::setSortOrder(1);
    PLYDefaults::setStarFilterValue(4);
    PLYDefaults::setStarFilterComparator(2);
    PLYDefaults::setColourFilterValue(5);
    PLYDefaults::setShouldSplitusedImages(true);
    PLYDefaults::setShouldShowHiddenImages(true);
    PLYDefaults::setShouldAutoAddNewImages(true);
    PLYDefaults::setSupressImageDataDelete(true);
    PLYDefaults::setHomeSortType(0);
    PLYDefaults::setHomeSortOrder(1);
    PLYDefaults::setOnBoardPresentationState(2);
    PLYUserDefaults::standardUserDefaults().synchronize();

    // Re-open the file, as the next launch would.
    const QString file = PLYUserDefaults::standardUserDefaults().fileName();
    PLYUserDefaults::resetStandardUserDefaults(file);
    auto& ud = PLYUserDefaults::standardUserDefaults();
    EXPECT_DOUBLE_EQ(PLYDefaults::defaultPadding(), 22.5);
    EXPECT_EQ(PLYDefaults::defaultBackgroundColour(), QColor(0x12, 0x34, 0x56));
    EXPECT_TRUE(PLYDefaults::defaultIncludeSubfolders());
    EXPECT_TRUE(PLYDefaults::shouldSupressRPC());
    EXPECT_EQ(PLYDefaults::sortType(), 2);
    EXPECT_EQ(PLYDefaults::sortOrder(), 1);
    EXPECT_EQ(ud.integerForKey("gall_star_value"), 4);
    EXPECT_EQ(ud.integerForKey("gall_star_comp"), 2);
    EXPECT_EQ(ud.integerForKey("gall_colour_value"), 5);
    EXPECT_TRUE(PLYDefaults::shouldSplitUsedImages());
    EXPECT_TRUE(PLYDefaults::shouldShowHiddenImages());
    EXPECT_TRUE(PLYDefaults::shouldAutoAddNewImages());
    EXPECT_TRUE(PLYDefaults::shouldSupressImageItemDelete());
    EXPECT_EQ(PLYDefaults::homeSortType(), 0);
    EXPECT_EQ(PLYDefaults::homeSortOrder(), 1);
    EXPECT_EQ(PLYDefaults::onBoardPresentationState(), 2);
    for (const char* key : {"def_padding", "def_bg_col", "include_sub_folders", "sup_rpc", "gall_sort_type", "gall_sort_order",
                            "split_used_images", "show_hidden_images", "auto_add_images", "sup_img_del",
                            "gall_home_sort_type", "gall_home_sort_order", "presented_onboard"})
        EXPECT_TRUE(ud.contains(QString::fromLatin1(key))) << key;
}

TEST_F(Defaults, TranslucentColourKeepsItsAlphaAndInvalidColourResets) {
    PLYDefaults::setDefaultColour(QColor(10, 20, 30, 128));
    EXPECT_EQ(PLYDefaults::defaultBackgroundColour(), QColor(10, 20, 30, 128));
    PLYDefaults::setDefaultColour(QColor());
    EXPECT_EQ(PLYDefaults::defaultBackgroundColour(), QColor(Qt::white));
}

TEST_F(Defaults, SortTitles) {
    EXPECT_EQ(PLYDefaults::ascendingTitleForType(0), QStringLiteral("Alphabetical Order"));
    EXPECT_EQ(PLYDefaults::descendingTitleForType(0), QStringLiteral("Reverse Alphabetical Order"));
    EXPECT_EQ(PLYDefaults::ascendingTitleForType(1), QStringLiteral("Oldest to Newest"));
    EXPECT_EQ(PLYDefaults::descendingTitleForType(1), QStringLiteral("Newest to Oldest"));
    EXPECT_EQ(PLYDefaults::ascendingTitleForType(2), QStringLiteral("Least Recent to Most Recent"));
    EXPECT_EQ(PLYDefaults::descendingTitleForType(2), QStringLiteral("Most Recent to Least Recent"));
    EXPECT_TRUE(PLYDefaults::ascendingTitleForType(3).isNull());
    EXPECT_TRUE(PLYDefaults::descendingTitleForType(-1).isNull());
}

TEST_F(Defaults, SupportFolderAndHelpAddresses) {
    const QString dir = PLYDefaults::applicationSupportDirectory();
    EXPECT_TRUE(QFileInfo(dir).isDir());
    EXPECT_TRUE(dir.startsWith(PLYTestEnvironment::rootDirectory()));
    EXPECT_EQ(QFileInfo(dir).fileName(), QStringLiteral("Pellory"));
    const QUrl url = PLYDefaults::supportURLForPath(QStringLiteral("/getting-started"));
    EXPECT_EQ(url.toString(), QStringLiteral("https://help.%1/getting-started").arg(QStringLiteral(PELLORY_SERVICE_DOMAIN)));
    EXPECT_EQ(PLYDefaults::supportURLForPath(QStringLiteral("a/b")).path(), QStringLiteral("/a/b"));
    // A path component is all path: "?" and "#" start no query or fragment.
    const QUrl odd = PLYDefaults::supportURLForPath(QStringLiteral("faq?x=1#top 2"));
    EXPECT_TRUE(odd.isValid());
    EXPECT_EQ(odd.path(), QStringLiteral("/faq?x=1#top 2"));
    EXPECT_FALSE(odd.hasQuery());
    EXPECT_FALSE(odd.hasFragment());
    EXPECT_EQ(QUrl(odd.toString(QUrl::FullyEncoded)).path(), QStringLiteral("/faq?x=1#top 2"));
}
