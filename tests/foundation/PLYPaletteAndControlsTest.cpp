#include <gtest/gtest.h>

#include "InspectorBGView.h"
#include "PLYAnimator.h"
#include "PLYColor.h"
#include "PLYCustom.h"
#include "PLYErrorBox.h"
#include "PLYInstantAnimator.h"
#include "PLYSlidingButtonStack.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>

TEST(Palette, HexStringsAndNamedColours) {
    EXPECT_EQ(PLYColor::colorWithHexColorString("219DFF"), QColor(0x21, 0x9D, 0xFF));
    EXPECT_EQ(PLYColor::colorWithHexColorString("#0a0B0c"), QColor(10, 11, 12));
    EXPECT_FALSE(PLYColor::colorWithHexColorString("12345").isValid());
    EXPECT_FALSE(PLYColor::colorWithHexColorString("GG0000").isValid());
    // Six characters that a number parser would take, but not six hexadecimal digits.
    EXPECT_FALSE(PLYColor::colorWithHexColorString("+FFFFF").isValid());
    EXPECT_FALSE(PLYColor::colorWithHexColorString("0xFFFF").isValid());
    EXPECT_EQ(PLYColor::kro_blueColour(), PLYColor::colorWithHexColorString("219DFF"));
    EXPECT_EQ(PLYColor::kro_layoutBackground(), PLYColor::colorWithHexColorString("F4F4F4"));
    EXPECT_EQ(PLYColor::kro_homeBackground(), PLYColor::colorWithHexColorString("E5E5E5"));
    EXPECT_EQ(PLYColor::kro_inspectorDetailGrey(), PLYColor::colorWithHexColorString("FAFAFA"));
    for (const QColor& c : {PLYColor::kro_blueColour(), PLYColor::kro_snapColour(), PLYColor::kro_errorRedColour()})
        EXPECT_EQ(c.alpha(), 255);
}

TEST(Cursors, MadeOnceWithTheirDiagonals) {
    EXPECT_EQ(&PLYCustom::resizeLeftDiagonalCursor(), &PLYCustom::resizeLeftDiagonalCursor());
    EXPECT_EQ(PLYCustom::resizeLeftDiagonalCursor().shape(), Qt::SizeFDiagCursor);
    EXPECT_EQ(PLYCustom::resizeRightDiagonalCursor().shape(), Qt::SizeBDiagCursor);
}

TEST(ErrorBox, ErrorStateTurnsBorderRedAndShowsLabel) {
    PLYErrorBox box;
    box.resize(200, 60);
    box.show();
    box.errorLabel()->setText("Please enter an e-mail address.");
    EXPECT_FALSE(box.errorLabel()->isVisible());
    EXPECT_EQ(box.borderColour(), PLYErrorBox::defaultBorderColour());
    box.setErrorState(true);
    EXPECT_TRUE(box.errorLabel()->isVisible());
    EXPECT_EQ(box.grab().toImage().pixelColor(100, 0), PLYColor::kro_errorRedColour());
    box.setErrorState(false);
    EXPECT_FALSE(box.errorLabel()->isVisible());
    EXPECT_EQ(box.grab().toImage().pixelColor(100, 0), PLYErrorBox::defaultBorderColour());
}

TEST(InspectorBackground, LineAtBottomOrTop) {
    InspectorBGView view;
    view.resize(40, 20);
    view.setBgColour(QColor(10, 200, 10));
    QImage img = view.grab().toImage();
    EXPECT_EQ(img.pixelColor(20, 19), InspectorBGView::lineColour());
    EXPECT_EQ(img.pixelColor(20, 0), QColor(10, 200, 10));
    view.setLineOnTop(true);
    img = view.grab().toImage();
    EXPECT_EQ(img.pixelColor(20, 0), InspectorBGView::lineColour());
    EXPECT_EQ(img.pixelColor(20, 19), QColor(10, 200, 10));
}

namespace {
struct Recorder : PLYSlidingButtonStackDelegate {
    QList<int> picks;
    void buttonStackDidSelectIndex(PLYSlidingButtonStack* stack, int index) override {
        EXPECT_EQ(stack->selectedIndex(), index);
        picks << index;
    }
};
}  // namespace

TEST(SlidingButtonStack, UserPicksReachTheRetainedDelegate) {
    auto animator = std::make_shared<PLYInstantAnimator>();
    PLYAnimator::setShared(animator);
    PLYSlidingButtonStack stack;
    stack.setTitles({"Layout", "Document", "SEO"});
    stack.resize(300, 30);
    stack.show();
    auto recorder = std::make_shared<Recorder>();
    std::weak_ptr<Recorder> weak = recorder;
    stack.setSlidingDelegate(recorder);
    recorder.reset();
    ASSERT_FALSE(weak.expired());  // retained by the stack

    stack.buttonAt(2)->click();
    EXPECT_EQ(stack.selectedIndex(), 2);
    EXPECT_EQ(weak.lock()->picks, QList<int>{2});
    EXPECT_EQ(stack.highlightGeometry(), stack.buttonAt(2)->geometry());
    EXPECT_GE(animator->count(), 1);
    EXPECT_TRUE(stack.buttonAt(2)->isChecked());
    EXPECT_FALSE(stack.buttonAt(0)->isChecked());

    stack.setSelectedIndex(1);  // programmatic: not reported
    stack.setSelectedIndex(7);  // out of range: ignored
    EXPECT_EQ(stack.selectedIndex(), 1);
    EXPECT_EQ(weak.lock()->picks, QList<int>{2});
    PLYAnimator::setShared(nullptr);
}
