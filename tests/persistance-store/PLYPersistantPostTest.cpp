#include "PLYImageManager.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"
#include "PLYTestPostLibrary.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using PLYTestEnvironment::waitUntil;

namespace {

class PostTest : public PLYPostLibraryTest {
protected:
    void SetUp() override {
        setUpLibrary(QStringLiteral("Post"));
    }
    void TearDown() override {
        store.reset();
        PLYImageManager::resetSharedManager();
    }
    std::shared_ptr<PLYSourceDirectory> watch(const QStringList& names) {
        for (const QString& n : names) EXPECT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath(n), 80, 60));
        auto location = store->startWatchingPath(folder, {});
        location->setFolderLocation(true);
        post->addSourceLocation(location->identifier());
        location->startWatching();
        EXPECT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Ready; }));
        return location;
    }
    QString idOf(const std::shared_ptr<PLYSourceDirectory>& location, const QString& name) {
        for (const auto& im : location->watchedImages())
            if (im->path().endsWith(QLatin1Char('/') + name)) return im->identifier();
        return {};
    }
    static void addImageBlock(PLYBlock* block, const QString& ref) {
        block->set_id(ref.toStdString() + "-block");
        block->mutable_image()->set_img_ref(ref.toStdString());
    }

};

}  // namespace

TEST_F(PostTest, UseCountsAnnounceTheImageAndNeverGoNegative) {
    auto location = watch({QStringLiteral("a.jpg")});
    const QString id = idOf(location, QStringLiteral("a.jpg"));
    QList<PLYSourceImage*> announced;
    PLYObserverBag bag;
    bag.add(QString::fromLatin1(PLYPersistantPost::ImageCountChangeNotification), nullptr,
            [&](const PLYNotification& n) { announced << n.objectAs<PLYSourceImage>(); });

    post->incrementInUseCountForImage(id);
    post->incrementInUseCountForImage(id);
    post->incrementInUseCountForImage(QStringLiteral("UNKNOWN"));
    EXPECT_EQ(post->inUseCountForImage(id), 2);
    EXPECT_EQ(post->numberOfImagesInUse(), 2);
    ASSERT_EQ(announced.size(), 2) << "only images the store knows are announced";
    EXPECT_EQ(announced.first(), store->imageForIdentifier(id).get());

    post->decrementInUseCountForImage(id);
    post->decrementInUseCountForImage(id);
    post->decrementInUseCountForImage(id);
    EXPECT_EQ(post->inUseCountForImage(id), 0);
    EXPECT_EQ(announced.size(), 4);
    EXPECT_EQ(post->numberOfImagesInUse(), 1);
}

TEST_F(PostTest, KeywordsAndHiddenImages) {
    EXPECT_TRUE(post->focusKeywordsForImage(QStringLiteral("X")).isEmpty());
    post->setFocusKeywordsForImage({QStringLiteral("k")}, QStringLiteral("X"));
    EXPECT_EQ(post->focusKeywordsForImage(QStringLiteral("X")), QStringList{QStringLiteral("k")});
    EXPECT_EQ(post->inUseCountForImage(QStringLiteral("X")), 0);
    EXPECT_EQ(post->numberOfImagesInUse(), 0);
    post->toggleImageHiddenForImage(QStringLiteral("X"));
    EXPECT_TRUE(post->isImageHidden(QStringLiteral("X")));
    post->toggleImageHiddenForImage(QStringLiteral("X"));
    EXPECT_FALSE(post->isImageHidden(QStringLiteral("X")));
}

TEST_F(PostTest, SeoFieldsAnnounceTheirChanges) {
    QStringList keys;
    const int token = post->addChangeObserver([&](const QString& key) { keys << key; });
    post->setSeoTitle(QStringLiteral("T"));
    post->setSeoTitle(QStringLiteral("T"));
    post->setMetaDescription(QStringLiteral("D"));
    post->setFocusKeywords(QStringList{QStringLiteral("k")});
    post->removeChangeObserver(token);
    post->setSeoTitle(QStringLiteral("U"));
    EXPECT_EQ(keys, (QStringList{QStringLiteral("seoTitle"), QStringLiteral("metaDescription"), QStringLiteral("focusKeywords")}));
}

TEST_F(PostTest, RefreshRecountsFromTheLayoutAtAnyDepth) {
    auto location = watch({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    const QString a = idOf(location, QStringLiteral("a.jpg"));
    const QString b = idOf(location, QStringLiteral("b.jpg"));
    PLYSection* section = post->layout()->add_sections();
    section->mutable_stacked();
    addImageBlock(section->add_blocks(), a);
    PLYBlock* container = section->add_blocks();
    container->set_id("C");
    PLYBlock* inner = container->mutable_container()->add_sub_blocks();
    inner->set_id("C2");
    addImageBlock(inner->mutable_container()->add_sub_blocks(), b);
    addImageBlock(inner->mutable_container()->add_sub_blocks(), a);
    post->incrementInUseCountForImage(QStringLiteral("STALE"));

    post->refreshSourceLocations();
    EXPECT_EQ(post->inUseCountForImage(a), 2);
    EXPECT_EQ(post->inUseCountForImage(b), 1);
    EXPECT_EQ(post->inUseCountForImage(QStringLiteral("STALE")), 0);

    EXPECT_TRUE(post->doesLayoutHaveAllRequiredImagesToDraw());
    ASSERT_TRUE(QFile::remove(QDir(folder).filePath(QStringLiteral("b.jpg"))));
    ASSERT_TRUE(waitUntil([&] { return store->imageForIdentifier(b)->fileDeleted(); }));
    EXPECT_FALSE(post->doesLayoutHaveAllRequiredImagesToDraw()) << "a nested block's file is gone";
}

TEST_F(PostTest, UnknownImagesCountAsPresent) {
    PLYSection* section = post->layout()->add_sections();
    addImageBlock(section->add_blocks(), QStringLiteral("NOT-IN-STORE"));
    EXPECT_TRUE(post->doesLayoutHaveAllRequiredImagesToDraw());
}

TEST_F(PostTest, PendingCountsExcludeFailedAndMissingImages) {
    ASSERT_TRUE(PLYTestImages::writeCorruptJpeg(QDir(folder).filePath(QStringLiteral("bad.jpg"))));
    auto location = watch({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")});
    EXPECT_EQ(post->images().size(), 3);
    EXPECT_EQ(post->mainSourceDirectory(), location);
    ASSERT_TRUE(waitUntil([&] { return post->imagesCountWithCachePercent(false).first == 0; }));
    EXPECT_EQ(post->imagesCountWithCachePercent(false).second, 3);

    const QString away = folder + QStringLiteral("-away");
    ASSERT_TRUE(QDir().rename(folder, away));
    ASSERT_TRUE(waitUntil([&] { return location->state() == PLYSourceDirectory::Missing; }));
    EXPECT_EQ(post->imagesCountWithCachePercent(true), qMakePair(qint64(0), qint64(3)));
}

TEST_F(PostTest, PreviewIsWrittenAndAnnounced) {
    EXPECT_TRUE(post->layoutPreview().isNull());
    int announced = 0;
    PLYObserverBag bag;
    bag.add(QString::fromLatin1(PLYPersistantPost::PreviewCreatedNotification), post.get(),
            [&](const PLYNotification&) { ++announced; });
    QImage preview(120, 80, QImage::Format_RGB32);
    preview.fill(Qt::red);
    ASSERT_TRUE(post->setLayoutPreview(preview));
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(post->layoutPreview().size(), QSize(120, 80));
}

// A post whose every section was taken away still reads back: the save keeps an empty section,
// since a layout without sections is what a damaged file looks like.
TEST_F(PostTest, APostWithoutSectionsSavesInAFormItCanLoad) {
    post->layout()->clear_sections();
    ASSERT_TRUE(post->save());
    PLYError error;
    const auto loaded = PLYPersistantPost::load(post->folderPath(), store, &error);
    ASSERT_TRUE(loaded) << error.description.toStdString();
    EXPECT_EQ(loaded->constLayout().sections_size(), 1);
    EXPECT_EQ(loaded->constLayout().sections(0).blocks_size(), 0);
}

// A layout the load would refuse (over 64 MB) is not saved as if it were fine: the save fails
// with a message and the last good save stays on disk, readable.
TEST_F(PostTest, ALayoutOverTheLoadLimitIsRefusedAtSaveAndTheLastSaveKept) {
    ASSERT_TRUE(post->save());
    const QString layoutPath = QDir(post->folderPath()).filePath(QStringLiteral("layout"));
    QFile before(layoutPath);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray saved = before.readAll();
    before.close();

    PLYSection* section = post->layout()->mutable_sections(0);
    PLYBlock* block = section->add_blocks();
    block->set_id("huge");
    block->mutable_text()->set_value(std::string(65 * 1024 * 1024, 'a'));
    PLYError error;
    EXPECT_FALSE(post->save(&error));
    EXPECT_TRUE(error.description.contains(QStringLiteral("too large"))) << error.description.toStdString();
    EXPECT_TRUE(error.failureReason.contains(QStringLiteral("64 MB"))) << error.failureReason.toStdString();
    QFile after(layoutPath);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), saved);
    EXPECT_FALSE(QFile::exists(QDir(post->folderPath()).filePath(QStringLiteral("layout.next"))));
    PLYError loadError;
    EXPECT_TRUE(PLYPersistantPost::load(post->folderPath(), store, &loadError)) << loadError.description.toStdString();

    // Once the text is gone again the post saves.
    section->mutable_blocks()->RemoveLast();
    EXPECT_TRUE(post->save(&error)) << error.description.toStdString();
}

// A NUL (or another control character) typed or pasted into the name or an SEO field used to cut
// it at save; they are left out as they come in, so what is saved reads back whole.
TEST_F(PostTest, ControlCharactersAreLeftOutOfTheNameAndSeoFields) {
    post->setName(QStringLiteral("Isle") + QChar(0) + QStringLiteral(" of\x01 Skye"));
    post->setSeoTitle(QStringLiteral("Walks") + QChar(0) + QStringLiteral(" on\x1b Skye"));
    post->setMetaDescription(QStringLiteral("Ridges") + QChar(0) + QStringLiteral("\nand\tlochs\x7f"));
    post->setFocusKeywords(QStringList{QStringLiteral("sk") + QChar(0) + QStringLiteral("ye"), QStringLiteral("cuillin")});
    EXPECT_EQ(post->name(), QStringLiteral("Isle of Skye"));
    EXPECT_EQ(post->seoTitle(), QStringLiteral("Walks on Skye"));
    EXPECT_EQ(post->metaDescription(), QStringLiteral("Ridges\nand\tlochs")) << "line breaks and tabs stay";
    EXPECT_EQ(post->focusKeywords(), QStringList({QStringLiteral("skye"), QStringLiteral("cuillin")}));

    PLYError error;
    ASSERT_TRUE(post->save(&error)) << error.description.toStdString();
    const auto loaded = PLYPersistantPost::load(post->folderPath(), store, &error);
    ASSERT_TRUE(loaded) << error.description.toStdString();
    EXPECT_EQ(loaded->name(), QStringLiteral("Isle of Skye"));
    EXPECT_EQ(loaded->seoTitle(), QStringLiteral("Walks on Skye"));
    EXPECT_EQ(loaded->metaDescription(), QStringLiteral("Ridges\nand\tlochs"));
}

// Half of a surrogate pair, alone (a cut paste, a bad file name), has no UTF-8 form: saved, it came
// back as "?". It is left out as it comes in, as control characters are; whole pairs stay.
TEST_F(PostTest, LoneSurrogatesAreLeftOutOfTheNameAndSeoFields) {
    const QString pair = QString::fromUcs4(U"\U0001F3D4");
    const QChar high(char16_t(0xD83C)), low(char16_t(0xDFD4));
    post->setName(QStringLiteral("Isle") + high + QStringLiteral(" of Skye ") + pair);
    post->setSeoTitle(low + QStringLiteral("Walks on Skye"));
    post->setMetaDescription(QStringLiteral("Ridges\nand lochs") + high);
    post->setFocusKeywords(QStringList{QStringLiteral("sky") + low + high + QStringLiteral("e"), pair});
    EXPECT_EQ(post->name(), QStringLiteral("Isle of Skye ") + pair);
    EXPECT_EQ(post->seoTitle(), QStringLiteral("Walks on Skye"));
    EXPECT_EQ(post->metaDescription(), QStringLiteral("Ridges\nand lochs"));
    EXPECT_EQ(post->focusKeywords(), QStringList({QStringLiteral("skye"), pair}));

    PLYError error;
    ASSERT_TRUE(post->save(&error)) << error.description.toStdString();
    const auto loaded = PLYPersistantPost::load(post->folderPath(), store, &error);
    ASSERT_TRUE(loaded) << error.description.toStdString();
    EXPECT_EQ(loaded->name(), post->name());
    EXPECT_EQ(loaded->seoTitle(), post->seoTitle());
    EXPECT_EQ(loaded->metaDescription(), post->metaDescription());
    EXPECT_EQ(loaded->focusKeywords(), post->focusKeywords());
}
