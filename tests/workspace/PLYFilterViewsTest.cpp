// The star and colour filter controls, clicked and hovered as a user does.
#include "PLYColourFilterDelegate.h"
#include "PLYColourFilterView.h"
#include "PLYGalleryEvents.h"
#include "PLYStarFilterDelegate.h"
#include "PLYStarFilterView.h"

#include <gtest/gtest.h>

using namespace PLYGalleryEvents;

namespace {

struct Reports : PLYStarFilterDelegate, PLYColourFilterDelegate {
    QList<qint64> selections, comparators, masks;
    void starFilterSetFilterSelection(PLYStarFilterView*, qint64 s) override { selections << s; }
    void starFilterSetComparatorValue(PLYStarFilterView*, qint64 c) override { comparators << c; }
    void colourFilterSetFilterType(PLYColourFilterView*, qint64 m) override { masks << m; }
};

TEST(StarFilterView, StarsAndComparatorCycleAndReportEveryClick) {
    PLYStarFilterView view;
    view.resize(150, 24);
    Reports reports;
    view.setDelegate(&reports);
    EXPECT_EQ(view.rectForComparatorButton(), QRectF(21, 5.5, 13, 13));
    for (int n = 1; n <= 5; ++n) EXPECT_EQ(view.rectForStar(n).x(), 40 + 19 * (n - 1));

    click(&view, view.rectForStar(3).center());
    click(&view, view.rectForStar(3).center());  // the chosen star again clears
    click(&view, view.rectForStar(4).center());
    click(&view, QPointF(view.rectForStar(4).right() + 2, 12));  // between stars clears
    EXPECT_EQ(reports.selections, QList<qint64>({3, 0, 4, 0}));

    view.setCurrentComparator(0);
    for (int i = 0; i < 3; ++i) click(&view, view.rectForComparatorButton().center());
    EXPECT_EQ(reports.comparators, QList<qint64>({-1, 1, 0}));
    view.setCurrentComparator(5);
    click(&view, view.rectForComparatorButton().center());
    EXPECT_EQ(view.currentComparator(), 0) << "any other value steps to exactly";

    view.setCurrentFilterSelection(2);
    mouse(&view, QEvent::MouseMove, view.rectForStar(4).center());
    EXPECT_EQ(view.currentHighlight(), 4);
    mouse(&view, QEvent::MouseMove, QPointF(5, 5));
    EXPECT_EQ(view.currentHighlight(), 0);
    const int before = int(reports.selections.size());
    view.clearFilter();
    EXPECT_EQ(view.currentFilterSelection(), 0);
    EXPECT_EQ(view.currentComparator(), 0) << "the comparator stays";
    EXPECT_EQ(reports.selections.size(), before) << "clearing reports nothing";
}

TEST(ColourFilterView, DotsToggleTheirBitAndAMissReportsTheSameMask) {
    PLYColourFilterView view;
    view.resize(150, 24);
    Reports reports;
    view.setDelegate(&reports);
    EXPECT_EQ(view.centreOfType(1), QPointF(26, 12));
    EXPECT_EQ(view.centreOfType(64), QPointF(122, 12));
    EXPECT_EQ(view.typeUnderPoint(QPointF(58 + 3, 12 + 4)), 4) << "distance 5 is on the dot";
    EXPECT_EQ(view.typeUnderPoint(QPointF(58 + 4, 12 + 4)), 0);

    click(&view, view.centreOfType(4));   // green
    click(&view, view.centreOfType(32));  // white
    click(&view, QPointF(34, 12));        // between red and yellow
    click(&view, view.centreOfType(4));   // green again
    EXPECT_EQ(reports.masks, QList<qint64>({4, 36, 36, 32}));
    mouse(&view, QEvent::MouseMove, view.centreOfType(16));
    EXPECT_EQ(view.currentHoverType(), 16);
    view.clearFilter();
    EXPECT_EQ(view.currentFilterSelection(), 0);
    EXPECT_EQ(reports.masks.size(), 4);
}

}  // namespace
