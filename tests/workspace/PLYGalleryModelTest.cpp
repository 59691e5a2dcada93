// The gallery's decisions without views: sorting, filtering, sections and the row arrangement.
#include "PLYGalleryModel.h"
#include "PLYGalleryViewController.h"
#include "PLYGalleryViewLayout.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

PLYGalleryImageInfo info(const QString& name, qint64 time, qint16 stars = -1, qint64 label = 0, bool hidden = false,
                         qint64 uses = 0) {
    PLYGalleryImageInfo i;
    i.identifier = name;
    i.fileName = name;
    i.creationTime = time;
    i.modificationTime = time;
    i.starRating = stars;
    i.colourRating = label;
    i.hidden = hidden;
    i.useCount = uses;
    return i;
}

QStringList names(const PLYGalleryModel& model, int section = -1) {
    QStringList out;
    if (section < 0) {
        for (const auto& i : model.orderedImages()) out << i.fileName;
        return out;
    }
    for (int item = 0; item < model.numberOfItemsInSection(section); ++item)
        out << model.imageAtIndexPath({section, item})->fileName;
    return out;
}

TEST(GalleryModel, SortsCaseSensitivelyAndStablyWithAFileWithoutDatesFirst) {
    const QVector<PLYGalleryImageInfo> images = {info("b.jpg", 300), info("A.jpg", 100), info("gone.jpg", -1),
                                                 info("a.jpg", 100), info("c.jpg", 200)};
    PLYGalleryModel model;
    model.sortAndFilter(images);
    EXPECT_EQ(names(model), QStringList({"A.jpg", "a.jpg", "b.jpg", "c.jpg", "gone.jpg"}));
    model.sortOrder = PLYGallerySortDescending;
    model.sortAndFilter(images);
    EXPECT_EQ(names(model), QStringList({"gone.jpg", "c.jpg", "b.jpg", "a.jpg", "A.jpg"}));
    // Equal dates keep the locations' order; the file that has none goes first either way.
    model.sortType = PLYGallerySortCreationDate;
    model.sortOrder = PLYGallerySortAscending;
    model.sortAndFilter(images);
    EXPECT_EQ(names(model), QStringList({"gone.jpg", "A.jpg", "a.jpg", "c.jpg", "b.jpg"}));
    model.sortOrder = PLYGallerySortDescending;
    model.sortAndFilter(images);
    EXPECT_EQ(names(model), QStringList({"gone.jpg", "b.jpg", "c.jpg", "A.jpg", "a.jpg"}));
    EXPECT_EQ(model.orderedSourcePositions(), QVector<int>({2, 0, 4, 1, 3}));
}

// The order is kept from one rebuild to the next: a rebuild where no image moved sorts nothing,
// and whatever changed (dates, names, ratings, images coming and going, the sort, the filter) the
// order is the one a stable sort of the images as given makes. A random walk; the seed is printed.
TEST(GalleryModel, TheKeptOrderIsAlwaysTheStableSortAndUnchangedImagesAreNotSortedAgain) {
    const quint32 seed = QRandomGenerator::global()->generate();
    std::printf("random walk seed %u\n", seed);
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    QRandomGenerator random(seed);
    QVector<PLYGalleryImageInfo> images;
    int next = 0;
    // Short names, and long ones that share their first dozen characters and more.
    const auto name = [&] {
        return random.bounded(2) ? QStringLiteral("IMG_%1.jpg").arg(random.bounded(40))
                                 : QStringLiteral("Holiday_photo_%1.jpg").arg(random.bounded(40));
    };
    const auto make = [&] {
        PLYGalleryImageInfo i = info(name(), random.bounded(30) - 2,
                                     qint16(random.bounded(7) - 1), random.bounded(8));
        i.identifier = QStringLiteral("id%1").arg(next++);
        i.modificationTime = random.bounded(30) - 2;
        return i;
    };
    for (int i = 0; i < 60; ++i) images.append(make());
    PLYGalleryModel model;
    for (int step = 0; step < 400; ++step) {
        SCOPED_TRACE(testing::Message() << "step " << step);
        const int change = random.bounded(9);
        // The same images in the same places, whatever else changed, may say so.
        const bool sameImages = change >= 2 && change <= 7 && random.bounded(2) == 0;
        switch (change) {
        case 0: images.append(make()); break;
        case 1: if (!images.isEmpty()) images.remove(random.bounded(int(images.size()))); break;
        case 2: if (!images.isEmpty()) images[random.bounded(int(images.size()))].creationTime = random.bounded(30) - 2; break;
        case 3: if (!images.isEmpty()) images[random.bounded(int(images.size()))].fileName = name(); break;
        case 4: if (!images.isEmpty()) images[random.bounded(int(images.size()))].starRating = qint16(random.bounded(7) - 1); break;
        case 5: model.sortType = random.bounded(3); break;
        case 6: model.sortOrder = random.bounded(2); break;
        case 7: model.filter = random.bounded(3) ? PLYGalleryFilter{} : PLYGalleryFilter{random.bounded(6), random.bounded(3) - 1, random.bounded(128)}; break;
        default: {
            // Images move in the list the locations give.
            if (images.size() > 1) images.swapItemsAt(random.bounded(int(images.size())), random.bounded(int(images.size())));
        }
        }
        model.sortAndFilter(images, sameImages);
        QVector<int> expected;
        for (int i = 0; i < images.size(); ++i)
            if (model.filter.accepts(images.at(i))) expected.append(i);
        std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
            return PLYGalleryModel::compare(images.at(a), images.at(b), model.sortType, model.sortOrder) < 0;
        });
        ASSERT_EQ(model.orderedSourcePositions(), expected);
        for (int k = 0; k < expected.size(); ++k) {
            ASSERT_EQ(model.orderedImages().at(k).identifier, images.at(expected.at(k)).identifier);
            ASSERT_EQ(model.orderedIndexForIdentifier(images.at(expected.at(k)).identifier), k);
        }
        // Nothing changed since: the kept order stands without a sort.
        const int sorts = model.sortCount();
        model.sortAndFilter(images, true);
        ASSERT_EQ(model.sortCount(), sorts);
        ASSERT_EQ(model.orderedSourcePositions(), expected);
    }
}

TEST(GalleryModel, StarComparatorsColourBitsAndBothTogether) {
    using F = PLYGalleryFilter;
    for (qint16 r : {-1, 0, 1, 2, 3}) EXPECT_TRUE(F::passesStars(r, 3, -1)) << r;
    EXPECT_FALSE(F::passesStars(4, 3, -1));
    EXPECT_TRUE(F::passesStars(3, 3, 0));
    EXPECT_FALSE(F::passesStars(4, 3, 0));
    EXPECT_TRUE(F::passesStars(5, 3, 1));
    EXPECT_FALSE(F::passesStars(-1, 3, 1));
    EXPECT_TRUE(F::passesStars(-1, 0, 1)) << "no star filter";
    EXPECT_TRUE(F::passesStars(0, 3, 7)) << "an unknown comparator passes everything";
    EXPECT_TRUE(F::passesColour(0, 0));
    EXPECT_FALSE(F::passesColour(0, 0b1111111)) << "a mask keeps no unlabelled image";
    EXPECT_TRUE(F::passesColour(3, 0b0000100));
    EXPECT_FALSE(F::passesColour(3, 0b1111011));
    EXPECT_TRUE(F::passesColour(7, 0b1000000));
    EXPECT_TRUE(F::passesColour(9, 0b0000001)) << "an unknown label passes";

    PLYGalleryModel model;
    model.filter = {4, 1, 0b0000001 | 0b0000100};  // at least 4 stars, red or green
    model.sortAndFilter({info("a", 1, 5, 1), info("b", 1, 4, 2), info("c", 1, 3, 3), info("d", 1, 4, 3), info("e", 1, -1, 1)});
    EXPECT_EQ(names(model), QStringList({"a", "d"}));
}

TEST(GalleryModel, HiddenWinsOverUsedAndCollapsedSectionsKeepTheirArrays) {
    const QVector<PLYGalleryImageInfo> images = {info("a", 1), info("b", 2, -1, 0, false, 2), info("c", 3, -1, 0, true, 1),
                                                 info("d", 4, -1, 0, true), info("e", 5)};
    PLYGalleryModel model;
    model.sortType = PLYGallerySortCreationDate;
    model.sortAndFilter(images);
    model.createIndexRanges();
    EXPECT_EQ(model.numberOfSections(), 1);
    EXPECT_EQ(names(model, 0), QStringList({"a", "b", "e"})) << "used images stay in order; hidden ones are not shown";

    model.showHiddenImages = true;
    model.createIndexRanges();
    ASSERT_EQ(model.numberOfSections(), 2);
    EXPECT_EQ(model.kindOfSection(1), PLYGalleryModel::HiddenSection);
    EXPECT_EQ(names(model, 1), QStringList({"c", "d"})) << "a used image that is hidden is in the hidden section";

    model.splitUsedImages = true;
    model.createIndexRanges();
    ASSERT_EQ(model.numberOfSections(), 3);
    EXPECT_EQ(names(model, 0), QStringList({"a", "e"}));
    EXPECT_EQ(names(model, 1), QStringList({"b"}));
    EXPECT_EQ(names(model, 2), QStringList({"c", "d"}));

    model.collapseHiddenSection = true;
    EXPECT_EQ(model.numberOfItemsInSection(2), 0);
    EXPECT_EQ(model.arrayForSection(2).size(), 2) << "the header still counts them";
    EXPECT_FALSE(model.indexPathForOrderedIndex(model.orderedIndexForIdentifier("d")));
    EXPECT_EQ(*model.indexPathForOrderedIndex(model.orderedIndexForIdentifier("e")), (PLYGalleryIndexPath{0, 1}));
    EXPECT_EQ(model.orderedIndexAt({2, 0}), -1);
}

TEST(GalleryModel, ShiftRangeRunsToThePivotOrFromIt) {
    EXPECT_EQ(PLYGalleryViewController::shiftSelectionRange(4, 1), QVector<int>({1, 2, 3}));
    EXPECT_EQ(PLYGalleryViewController::shiftSelectionRange(1, 4), QVector<int>({1, 2, 3, 4}));
    EXPECT_EQ(PLYGalleryViewController::shiftSelectionRange(2, 2), QVector<int>({2}));
}

TEST(GalleryLayout, RowsSpreadByTheFullestRowOfTheWholeGallery) {
    PLYGalleryViewLayout layout;  // 80-point items, spacing and insets 10, headers 28
    layout.prepareLayout({{false, 1}}, 250);
    EXPECT_EQ(layout.frameForItem({0, 0}), QRectF(0, 10, 80, 80)) << "a lone thumbnail sits at x 0";

    // 500 points hold 5 across; a section of 3 below starts at the fullest row's gap.
    layout.prepareLayout({{false, 5}, {true, 3}}, 500);
    const double gap = (500 - 5 * 80) / 6.0;
    EXPECT_DOUBLE_EQ(layout.gap(), gap);
    EXPECT_DOUBLE_EQ(layout.frameForItem({1, 0}).x(), gap);
    EXPECT_DOUBLE_EQ(layout.frameForItem({1, 2}).x(), gap + 2 * (80 + gap));
    EXPECT_EQ(layout.frameForHeader(1), QRectF(0, 100, 500, 28));
    EXPECT_DOUBLE_EQ(layout.frameForItem({1, 0}).y(), 100 + 28 + 10);
    EXPECT_DOUBLE_EQ(layout.collectionViewContentSize().height(), 100 + 28 + 100);

    // Rows of one item each are centred.
    layout.prepareLayout({{false, 3}}, 150);
    for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(layout.frameForItem({0, i}).x(), 35);
}

TEST(GalleryLayout, OneArrangementServesEveryRectHitTestAndPinnedHeader) {
    PLYGalleryViewLayout layout;
    layout.prepareLayout({{false, 7}, {true, 0}, {true, 40}}, 250);  // 2 across
    // The frame of an item is the same whatever rectangle asks for it: nothing jumps on scroll.
    QHash<PLYGalleryIndexPath, QRectF> seen;
    for (double top = 0; top < layout.collectionViewContentSize().height(); top += 37)
        for (const auto& a : layout.layoutAttributesForElementsInRect(QRectF(0, top, 250, 120))) {
            if (a.isHeader) continue;
            EXPECT_EQ(a.frame, layout.frameForItem(a.indexPath));
            if (seen.contains(a.indexPath)) {
                EXPECT_EQ(seen.value(a.indexPath), a.frame);
            }
            seen.insert(a.indexPath, a.frame);
        }
    EXPECT_EQ(seen.size(), 47);
    const QRectF f = layout.frameForItem({2, 5});
    EXPECT_EQ(*layout.indexPathForItemAtPoint(f.topLeft()), (PLYGalleryIndexPath{2, 5}));
    EXPECT_FALSE(layout.indexPathForItemAtPoint(QPointF(f.right(), f.center().y()))) << "half-open";
    EXPECT_FALSE(layout.indexPathForItemAtPoint(QPointF(f.x() - 1, f.y())));
    // A header stays at the top while its section scrolls under it, then is pushed away.
    const QRectF header = layout.frameForHeader(2);
    EXPECT_EQ(layout.displayFrameForHeader(2, QRectF(0, header.y() + 300, 250, 200)).y(), header.y() + 300);
    const double end = layout.frameForSection(2).bottom();
    EXPECT_EQ(layout.displayFrameForHeader(2, QRectF(0, end - 10, 250, 200)).y(), end - 28);
    EXPECT_EQ(layout.displayFrameForHeader(1, QRectF(0, 500, 250, 200)), layout.frameForHeader(1))
        << "an empty section has nothing to scroll under its header";
}

}  // namespace
