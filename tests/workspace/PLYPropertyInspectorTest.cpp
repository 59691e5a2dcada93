// The Properties tab: the page decisions without widgets; then the tab inside the real
// inspector, over a post of real images, driven by clicks on its pop-ups, segments, buttons and
// fields: pages for one and several blocks, aspect ratios set and reverted with undo and redo,
// edits that keep to their own kind of block, and the formatting of words edited in the layout.
#include "PLYColourWell.h"
#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYImageManager.h"
#include "PLYImageStackView.h"
#include "PLYInspectorViewController.h"
#include "PLYInstantAnimator.h"
#include "PLYKeywordTokenField.h"
#include "PLYLayoutBlockInteractionHandler_Text.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutViewController.h"
#include "PLYLayoutViewProxy.h"
#include "PLYBlockView.h"
#include "PLYRichTextEditor.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPopUpButton.h"
#include "PLYPostManager.h"
#include "PLYPropertyPages.h"
#include "PLYPropertyViewController.h"
#include "PLYSegmentedControl.h"
#include "PLYSeoManager.h"
#include "PLYSeoMetric.h"
#include "PLYSourceDirectory.h"
#include "PLYSourceImage.h"
#include "PLYTestEnvironment.h"
#include "PLYTestImages.h"
#include "PLYTestLayouts.h"
#include "PLYUndoManager.h"
#include "PLYUserDefaults.h"
#include "PLYWindowUndoManager.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using PLYPropertyPages::Page;
using PLYTestEnvironment::waitUntil;

TEST(PropertyPages, PageRatioMenuAndSegmentDecisions) {
    using namespace PLYTestLayouts;
    const PLYBlock img = image("i", "a"), txt = text("t", "x"), gap = blank("b"), button = downloadButton("d");
    const PLYBlock box = container("c", true, {image("i2", "a"), image("i3", "b")});
    const auto choose = [](std::initializer_list<const PLYBlock*> blocks) { return PLYPropertyPages::choose(blocks); };
    EXPECT_EQ(choose({}).message, "No Block Selected");
    EXPECT_EQ(choose({&img, &img}).page, Page::Image);
    EXPECT_EQ(choose({&txt}).page, Page::Text);
    EXPECT_EQ(choose({&gap}).page, Page::Blank);
    EXPECT_EQ(choose({&button}).page, Page::DownloadButton);
    for (const auto& mixed : {choose({&txt, &img}), choose({&box}), choose({&gap, &button})}) {
        EXPECT_EQ(mixed.page, Page::Empty);
        EXPECT_EQ(mixed.message, "Multiple Blocks Selected");
    }

    // A block's own ratio wins; without one an image shows its picture's, a blank 3:2.
    const auto square = PLYAspectRatio::ratioWithBlockRatio(0);
    EXPECT_EQ(PLYPropertyPages::shownRatio(image("i", "a", 1.78f), square)->preset(), 7);
    EXPECT_EQ(PLYPropertyPages::shownRatio(img, square)->preset(), 0);
    EXPECT_FALSE(PLYPropertyPages::shownRatio(img, std::nullopt));
    EXPECT_EQ(PLYPropertyPages::shownRatio(gap, std::nullopt)->preset(), PLYAspectRatio::BlankDefaultPreset);

    const auto raw = [](double f) { return PLYAspectRatio::ratioWithRawRatio(f); };
    const auto same = PLYPropertyPages::ratioMenu({raw(1.5), raw(1.505)});
    EXPECT_EQ(same.title, "3:2");
    EXPECT_EQ(same.commonPreset, 5);
    const auto mixed = PLYPropertyPages::ratioMenu({raw(1.5), raw(1.0), raw(2.37)});
    EXPECT_EQ(mixed.title, "multiple");
    EXPECT_EQ(mixed.checkedPresets, (QSet<int>{0, 5}));
    EXPECT_FALSE(mixed.commonPreset);
    EXPECT_EQ(PLYPropertyPages::ratioMenu({raw(2.37), raw(0.42)}).title, "Custom") << "customs are one kind";
    EXPECT_TRUE(PLYPropertyPages::ratioMenu({raw(2.37)}).checkedPresets.isEmpty());

    // Widths are stored as floats: 0.3 and 0.7 must find their segments.
    EXPECT_EQ(PLYPropertyPages::widthSegment(float(0.3)), 0);
    EXPECT_EQ(PLYPropertyPages::widthSegment(float(0.5)), 1);
    EXPECT_EQ(PLYPropertyPages::widthSegment(float(0.7)), 2);
    EXPECT_EQ(PLYPropertyPages::widthSegment(1.0f), 3);
    EXPECT_EQ(PLYPropertyPages::widthSegment(0.0f), 3) << "unset is the full width";
    EXPECT_EQ(PLYPropertyPages::widthSegment(-1.0f), 3);
    EXPECT_FALSE(PLYPropertyPages::widthSegment(0.42f));
    EXPECT_FALSE(PLYPropertyPages::alignmentSegment(7));
}

namespace {

class PropertyInspectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYAnimator::setShared(animator);
        PLYSeoManager::install();
        PLYUserDefaults::standardUserDefaults().removeObjectForKey(QLatin1String(PLYSeoManager::FocusKeywordsKey));
        PLYSourceDirectory::setDefaultLatencyMs(50);
        PLYDecodedImageCache::shutdownShared();
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("cache")));
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("core")));
        store = PLYCoreManager::persistantStore();
        store->setUp(false);
        store->signInUser(QStringLiteral("p@example.com"));
        const QString folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
        ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath("wide.jpg"), 60, 40));
        ASSERT_TRUE(PLYTestImages::writeJpeg(QDir(folder).filePath("square.jpg"), 40, 40));
        postManager = PLYCoreManager::globalManager()->postManagerEmpty();
        ASSERT_TRUE(postManager->createNewPostWithTtitle(QStringLiteral("Trip")));
        post = postManager->representedPost();
        postManager->setWatchLocation(QUrl::fromLocalFile(folder));
        ASSERT_TRUE(waitUntil([&] {
            for (const auto& image : post->images())
                if (image->width() == 0) return false;
            return post->images().size() == 2;
        }));
        for (const auto& image : post->images()) refs[QFileInfo(image->path()).baseName()] = image->identifier();

        using namespace PLYTestLayouts;
        PLYBlock cropped = image("i3", wide().toStdString(), 1.6f);
        cropped.mutable_image()->mutable_position()->set_x(0.2f);
        cropped.mutable_image()->mutable_position()->set_y(0.3f);
        cropped.mutable_image()->mutable_position()->set_width(1.5f);
        PLYBlock narrowText = text("t2", "Second", PLYTextStyle_Caption);
        narrowText.mutable_text()->mutable_position()->set_width(float(0.7));
        narrowText.mutable_text()->mutable_position()->set_alignment(PLYAlignment_Right);
        *post->layout() = PLYTestLayouts::layout(10, {section("s", {image("i1", wide().toStdString()), image("i2", square().toStdString()),
                                                    cropped, image("i4", square().toStdString(), 1.5f),
                                                    image("gone", "no-such-image"), text("t1", "Hello"), narrowText,
                                                    blank("b1"), downloadButton("d1")})});
        layout = postManager->layoutManager();
        bag.add(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification), layout.get(),
                [this](const PLYNotification&) { ++announced; });

        inspector = std::make_unique<PLYInspectorViewController>();
        inspector->resize(300, 900);
        inspector->setPostManager(postManager);
        inspector->show();
        pane = qobject_cast<PLYPropertyViewController*>(inspector->propertyViewController());
        ASSERT_TRUE(pane);
    }
    void TearDown() override {
        inspector.reset();
        layout.reset();
        post.reset();
        postManager.reset();
        store.reset();
        PLYCoreManager::resetGlobalManager();
        PLYDecodedImageCache::shutdownShared();
        PLYImageManager::resetSharedManager();
        PLYSeoManager::uninstall();
        PLYAnimator::setShared(nullptr);
    }

    QString wide() const { return refs.value("wide"); }
    QString square() const { return refs.value("square"); }
    PLYBlock* block(const char* id) const { return layout->blockForRef(QString::fromLatin1(id)); }
    void select(std::initializer_list<const char*> ids) {
        QList<PLYBlock*> blocks;
        for (const char* id : ids) blocks << block(id);
        layout->selectBlocks(blocks);
    }
    template <class T>
    T* child(const char* name) {
        T* found = pane->findChild<T*>(QLatin1String(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    QString message() { return child<QLabel>("otherInfoLabel")->text(); }
    PLYUndoManager* undo() { return PLYWindowUndoManager::undoManagerForWidget(pane); }
    // Lets the page follow announced changes: its refresh is a zero-time timer, due before this one.
    static void settle() { PLYTestEnvironment::waitForTimersDueWithin(1); }

    // Opens the pop-up with a click and clicks the item titled `title`.
    static void choose(PLYPopUpButton* popUp, const QString& title) {
        QTest::mouseClick(popUp, Qt::LeftButton);
        QMenu* menu = popUp->menu();
        ASSERT_TRUE(menu->isVisible());
        QAction* item = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == title) item = action;
        ASSERT_TRUE(item) << title.toStdString();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        EXPECT_FALSE(menu->isVisible());
    }
    static void type(QLineEdit* field, const QString& text) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    static QSet<int> checkedTags(PLYPopUpButton* popUp) {
        QSet<int> tags;
        for (QAction* item : popUp->items())
            if (item->isChecked()) tags.insert(item->data().toInt());
        return tags;
    }

    std::shared_ptr<PLYInstantAnimator> animator = std::make_shared<PLYInstantAnimator>();
    std::shared_ptr<PLYPersistantStore> store;
    std::shared_ptr<PLYPostManager> postManager;
    std::shared_ptr<PLYPersistantPost> post;
    std::shared_ptr<PLYLayoutManager> layout;
    QMap<QString, QString> refs;
    std::unique_ptr<PLYInspectorViewController> inspector;
    PLYPropertyViewController* pane = nullptr;
    PLYObserverBag bag;
    int announced = 0;
};

}  // namespace

TEST_F(PropertyInspectorTest, PagesForOneAndSeveralBlocksInTheApplicationsInspector) {
    EXPECT_EQ(pane->currentPage(), Page::Empty);
    EXPECT_EQ(message(), "No Block Selected");
    post->setFocusKeywordsForImage({"loch", "dawn"}, wide());
    auto* ratio = child<PLYPopUpButton>("aspectRatioPopUpButton");
    auto* stack = child<PLYImageStackView>("imageStackView");
    auto* keywords = child<PLYKeywordTokenField>("imageKeywordTokenField");

    // One image without a ratio of its own shows its picture's; the tab comes to the front.
    select({"i1"});
    EXPECT_EQ(inspector->currentTabIndex(), PLYInspectorViewController::PropertyTab);
    ASSERT_EQ(pane->currentPage(), Page::Image);
    EXPECT_EQ(child<QLabel>("imageNameTextField")->text(), "wide");
    EXPECT_EQ(ratio->title(), "3:2");
    EXPECT_EQ(checkedTags(ratio), QSet<int>{5});
    EXPECT_EQ(keywords->keywords(), (QStringList{"loch", "dawn"}));
    EXPECT_FALSE(stack->previewImageView()->pixmap().isNull());
    EXPECT_EQ(PLYImageStackView::alphaOf(stack->imageCountLabel()), 0.0);
    EXPECT_EQ(stack->rightInset(), PLYImageStackView::SingleInset);

    // Several: the stack with its count, the presets of all, no keywords.
    select({"i1", "i2"});
    EXPECT_EQ(child<QLabel>("imageNameTextField")->text(), "multiple images");
    EXPECT_EQ(stack->imageCountLabel()->text(), "2");
    EXPECT_EQ(PLYImageStackView::alphaOf(stack->imageCountLabel()), 1.0);
    EXPECT_DOUBLE_EQ(PLYImageStackView::alphaOf(stack->secondImageView()), 0.7);
    EXPECT_DOUBLE_EQ(PLYImageStackView::alphaOf(stack->thirdImageView()), 0.3);
    EXPECT_EQ(stack->bottomInset(), PLYImageStackView::StackInset);
    EXPECT_EQ(ratio->title(), "multiple");
    EXPECT_EQ(checkedTags(ratio), (QSet<int>{0, 5}));
    EXPECT_TRUE(keywords->text().isEmpty());
    const int animations = animator->count();
    select({"i2", "i1"});
    EXPECT_EQ(animator->count(), animations) << "staying stacked does not animate again";
    select({"i1", "i4"});  // one by its picture, one by its own ratio: both 3:2
    EXPECT_EQ(ratio->title(), "3:2");
    select({"i3"});
    EXPECT_EQ(ratio->title(), "Custom");
    EXPECT_TRUE(checkedTags(ratio).isEmpty());

    select({"gone"});
    EXPECT_EQ(pane->currentPage(), Page::Empty);
    EXPECT_EQ(message(), "Image cannot be located");
    select({"t1", "i1"});
    EXPECT_EQ(message(), "Multiple Blocks Selected");
    select({"b1"});
    EXPECT_EQ(pane->currentPage(), Page::Blank);
    EXPECT_EQ(child<PLYPopUpButton>("blankAspectRatioPopUpButton")->title(), "3:2");

    // Text: the stored 0.7 and right alignment select their segments; several differing texts
    // select none.
    select({"t2"});
    ASSERT_EQ(pane->currentPage(), Page::Text);
    EXPECT_EQ(child<PLYSegmentedControl>("textWidthSegmentControl")->selectedSegment(), 2);
    EXPECT_EQ(child<PLYSegmentedControl>("textAlignmentSegmentControl")->selectedSegment(), 2);
    EXPECT_EQ(child<PLYPopUpButton>("textStylePopUpButton")->title(), "Caption");
    EXPECT_FALSE(child<QToolButton>("textBoldButton")->isEnabled()) << "only while the words are edited";
    select({"t1", "t2"});
    EXPECT_EQ(child<PLYSegmentedControl>("textWidthSegmentControl")->selectedSegment(), -1);
    EXPECT_EQ(child<PLYPopUpButton>("textStylePopUpButton")->title(), "multiple");
    select({"d1"});
    EXPECT_EQ(child<QLineEdit>("downloadTitleTextField")->text(), PLYLayoutManager::DefaultDownloadButtonTitle);
    EXPECT_EQ(child<PLYSegmentedControl>("downloadSizeSegmentControl")->selectedSegment(), 3);

    // Edit mode shows the edit block; leaving it shows the selection again.
    layout->setEditBlock(block("i2"));
    EXPECT_EQ(child<QLabel>("imageNameTextField")->text(), "square");
    EXPECT_EQ(child<QPushButton>("imageEditButton")->text(), "Done Editing");
    QTest::mouseClick(child<QPushButton>("imageEditButton"), Qt::LeftButton);
    EXPECT_FALSE(layout->currentEditBlock());
    EXPECT_EQ(pane->currentPage(), Page::DownloadButton);

    // Without a manager, the old one's selection no longer reaches the tab.
    const auto first = layout;
    pane->setLayoutManager(nullptr);
    first->selectBlocks({block("i1")});
    EXPECT_EQ(message(), "No Block Selected");
}

TEST_F(PropertyInspectorTest, AspectRatioSetAndRevertAnnounceAndUndoAndRedoWithoutLimit) {
    auto* ratio = child<PLYPopUpButton>("aspectRatioPopUpButton");
    select({"i1", "i3"});
    ASSERT_EQ(ratio->title(), "multiple");

    // One factor for all; undo gives each its own back.
    choose(ratio, "1:1");
    EXPECT_EQ(block("i1")->aspect_ratio(), 1.0f);
    EXPECT_EQ(block("i3")->aspect_ratio(), 1.0f);
    EXPECT_GE(announced, 1);
    EXPECT_EQ(ratio->title(), "1:1");
    EXPECT_EQ(undo()->undoActionName(), PLYPropertyViewController::AspectRatioUndoName);
    for (int round = 0; round < 2; ++round) {
        const int before = announced;
        undo()->undo();
        settle();
        EXPECT_EQ(block("i1")->aspect_ratio(), 0.0f);
        EXPECT_EQ(block("i3")->aspect_ratio(), 1.6f);
        EXPECT_TRUE(block("i3")->image().has_position()) << "a set leaves the crop alone";
        EXPECT_GT(announced, before);
        EXPECT_EQ(ratio->title(), "multiple") << "the page follows the undo";
        undo()->redo();
        settle();
        EXPECT_EQ(block("i3")->aspect_ratio(), 1.0f);
        EXPECT_EQ(ratio->title(), "1:1");
    }
    undo()->undo();

    // Revert: the kind's own ratio and the whole picture; undo brings the crop back and leaves
    // an absent one absent.
    int before = announced;
    QTest::mouseClick(child<QPushButton>("revertAspectRatioButton"), Qt::LeftButton);
    EXPECT_GT(announced, before);
    EXPECT_EQ(block("i3")->aspect_ratio(), 0.0f);
    EXPECT_FALSE(block("i3")->image().has_position());
    EXPECT_EQ(ratio->title(), "3:2") << "both show the wide picture's own ratio";
    for (int round = 0; round < 2; ++round) {
        undo()->undo();
        settle();
        EXPECT_EQ(block("i3")->aspect_ratio(), 1.6f);
        ASSERT_TRUE(block("i3")->image().has_position());
        EXPECT_EQ(block("i3")->image().position().x(), 0.2f);
        EXPECT_EQ(block("i3")->image().position().width(), 1.5f);
        EXPECT_FALSE(block("i1")->image().has_position());
        undo()->redo();
        settle();
        EXPECT_FALSE(block("i3")->image().has_position());
    }
    undo()->undo();

    // In edit mode only the edit block changes; a block gone from the layout drops out of undo.
    layout->setEditBlock(block("i1"));
    choose(ratio, "16:9");
    EXPECT_FLOAT_EQ(block("i1")->aspect_ratio(), 16.0f / 9.0f);
    EXPECT_EQ(block("i3")->aspect_ratio(), 1.6f);
    EXPECT_TRUE(waitUntil([&] { return layout->currentEditBlock() != nullptr; }));
    layout->setEditBlock(nullptr);
    layout->removeBlock(block("i1"), false);
    undo()->undo();
    EXPECT_FALSE(undo()->canRedo()) << "nothing left to redo";
    const int undos = undo()->undoCount();
    choose(ratio, "1:1");  // i3, still selected
    choose(ratio, "1:1");
    EXPECT_EQ(undo()->undoCount(), undos + 1) << "choosing the ratio a block has registers nothing";
}

TEST_F(PropertyInspectorTest, EditsKeepToTheirKindAndKeywordsReachThePostAndTheMetric) {
    // Text: style, width and alignment from the controls, each announced.
    select({"t1"});
    choose(child<PLYPopUpButton>("textStylePopUpButton"), "Heading");
    EXPECT_EQ(block("t1")->text().style(), PLYTextStyle_Heading);
    auto* width = child<PLYSegmentedControl>("textWidthSegmentControl");
    int before = announced;
    QTest::mouseClick(width->segment(0), Qt::LeftButton);
    EXPECT_EQ(block("t1")->text().position().width(), float(0.3));
    settle();
    EXPECT_EQ(width->selectedSegment(), 0) << "the refilled page finds the stored 0.3";
    QTest::mouseClick(child<PLYSegmentedControl>("textAlignmentSegmentControl")->segment(3), Qt::LeftButton);
    EXPECT_EQ(block("t1")->text().position().alignment(), PLYAlignment_Justify);
    child<PLYColourWell>("textColourWell")->chooseColour(QColor(200, 30, 10));
    EXPECT_EQ(block("t1")->text().colour().r(), 200.0f);
    EXPECT_EQ(announced, before + 3);

    // With an image in edit mode, text and button edits touch nothing: no kind is switched.
    layout->setEditBlock(block("i1"));
    before = announced;
    pane->setTextStyle();
    pane->setTextWidth();
    pane->setTextColour();
    pane->setDownloadStyle();
    EXPECT_EQ(block("i1")->type_case(), PLYBlock::kImage);
    EXPECT_FALSE(block("i1")->image().has_position());
    EXPECT_EQ(announced, before);

    // Keywords while a text block is edited: nothing stored, nothing announced.
    layout->setEditBlock(block("t1"));
    pane->findChild<PLYKeywordTokenField*>("imageKeywordTokenField")->setText("ignored");
    pane->setImageKeywords();
    EXPECT_TRUE(post->focusKeywordsForImage(wide()).isEmpty());
    EXPECT_EQ(announced, before);
    layout->setEditBlock(nullptr);

    // Keywords for the selected images: stored per picture, the blocks re-dated, the keyword
    // store fed, one announcement, and the image-keyword metric regrades on it.
    select({"i1", "i2"});
    block("i1")->mutable_image()->set_source_last_updated("1");
    before = announced;
    const auto metricLevel = [&] { return postManager->seoManager()->imageKeywordMetrics()->summaryLevel(); };
    const auto levelBefore = metricLevel();
    type(child<PLYKeywordTokenField>("imageKeywordTokenField"), "glen  heather");
    EXPECT_EQ(post->focusKeywordsForImage(wide()), (QStringList{"glen", "heather"}));
    EXPECT_EQ(post->focusKeywordsForImage(square()), (QStringList{"glen", "heather"}));
    EXPECT_NE(block("i1")->image().source_last_updated(), "1");
    EXPECT_EQ(announced, before + 1);
    EXPECT_EQ(PLYSeoManager::keywordsMatchingPrefix("he"), QStringList{"heather"});
    EXPECT_NE(metricLevel(), levelBefore);

    // The download button: a refused title gives the field the stored one back.
    select({"d1"});
    auto* title = child<QLineEdit>("downloadTitleTextField");
    before = announced;
    type(title, "   ");
    EXPECT_EQ(block("d1")->download_button().title(), PLYLayoutManager::DefaultDownloadButtonTitle);
    EXPECT_EQ(title->text(), PLYLayoutManager::DefaultDownloadButtonTitle);
    type(title, "Get the photos");
    EXPECT_EQ(block("d1")->download_button().title(), "Get the photos");
    QTest::mouseClick(child<QCheckBox>("downloadPelloryStyleButton"), Qt::LeftButton);
    EXPECT_TRUE(block("d1")->download_button().use_pellory_styling());
    QTest::mouseClick(child<PLYSegmentedControl>("downloadSizeSegmentControl")->segment(2), Qt::LeftButton);
    EXPECT_EQ(block("d1")->download_button().position().width(), float(0.7));
    EXPECT_EQ(announced, before + 3);
}

TEST_F(PropertyInspectorTest, TheTextPageFormatsTheWordsBeingEditedInTheLayout) {
    PLYLayoutViewController tab;
    tab.resize(900, 700);
    tab.setPostManager(postManager);
    tab.show();
    auto* bold = child<QToolButton>("textBoldButton");
    auto* italic = child<QToolButton>("textItalicButton");
    auto* link = child<QToolButton>("textLinkButton");
    auto* handler = dynamic_cast<PLYLayoutBlockInteractionHandler_Text*>(
        tab.layoutViewProxy()->blockViewForId("t1")->interactionHandler());
    ASSERT_TRUE(handler);

    select({"t1"});
    EXPECT_EQ(handler->textViewDelegate(), pane);
    EXPECT_FALSE(bold->isEnabled());
    QTest::mouseClick(child<QPushButton>("textEditButton"), Qt::LeftButton);
    ASSERT_EQ(layout->currentEditBlock(), block("t1"));
    PLYRichTextEditor* editor = handler->editTextView();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->rteDelegate(), pane);
    EXPECT_EQ(child<QPushButton>("textEditButton")->text(), "Done Editing");

    // The buttons format the editor's selection, and show what it holds as it moves.
    ASSERT_TRUE(bold->isEnabled());
    editor->setSelection(0, 2);
    QTest::mouseClick(bold, Qt::LeftButton);
    QTest::mouseClick(italic, Qt::LeftButton);
    EXPECT_TRUE(bold->isChecked());
    EXPECT_TRUE(italic->isChecked());
    PLYRichTextEditor::setLinkAddressPrompt([](const QString&) { return std::optional(QStringLiteral("example.org")); });
    QTest::mouseClick(link, Qt::LeftButton);
    PLYRichTextEditor::setLinkAddressPrompt({});
    EXPECT_TRUE(link->isChecked());
    editor->setSelection(4, 0);
    EXPECT_FALSE(bold->isChecked()) << "past the formatted letters";
    EXPECT_FALSE(link->isChecked());
    ASSERT_TRUE(editor->commit());
    const PLYBlock_Text& words = block("t1")->text();
    ASSERT_EQ(words.runs_size(), 1);
    EXPECT_EQ(words.runs(0).length(), 2);
    EXPECT_EQ(words.runs(0).properties_size(), 3);
    EXPECT_EQ(words.runs(0).link(), "https://example.org");

    // Leaving edit mode from the tab disables them; the toggles then change nothing.
    QTest::mouseClick(child<QPushButton>("textEditButton"), Qt::LeftButton);
    EXPECT_FALSE(layout->currentEditBlock());
    EXPECT_FALSE(bold->isEnabled());
    pane->setTextBold();
    EXPECT_EQ(block("t1")->text().runs_size(), 1);
}
