// The inspector pane offscreen: its tabs and header, the post handed to its children whichever
// comes first, the switch to Properties on a selection; the post switcher's home zone and menu;
// and the publish button's hold on its delegate.
#include "PLYCoreManager.h"
#include "PLYDocumentViewController.h"
#include "PLYInspectorViewController.h"
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYPostSelecorPopUpButton.h"
#include "PLYPublishButton.h"
#include "PLYPublishViewController.h"
#include "PLYSeoManager.h"
#include "PLYSeoViewController.h"
#include "PLYTestEnvironment.h"
#include "PLYTestLayouts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class InspectorContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYSeoManager::install();
        auto post = PLYPersistantPost::create(QStringLiteral("Post"), PLYTestEnvironment::makeTempDirectory(), {});
        *post->layout() = PLYTestLayouts::layout(
            10, {PLYTestLayouts::section("s", {PLYTestLayouts::blank("b1"), PLYTestLayouts::text("t1", "Hello")})});
        manager = PLYPostManager::create(post);
    }
    void TearDown() override { PLYSeoManager::uninstall(); }

    static QString headerOrder(PLYInspectorViewController& inspector) {
        auto* stack = inspector.findChild<QWidget*>("headerStackView")->layout();
        QStringList names;
        for (int i = 0; i < stack->count(); ++i)
            if (QWidget* w = stack->itemAt(i)->widget()) names << w->objectName();
        return names.join(",");
    }
    PLYBlock* block(const char* id) { return manager->layoutManager()->blockForRef(QString::fromLatin1(id)); }

    std::shared_ptr<PLYPostManager> manager;
};

// A page that records the layout managers it is handed.
struct PropertyPage {
    QWidget* page = new QWidget;
    QList<PLYLayoutManager*> received;
    PLYInspectorViewController::LayoutManagerHandOver handOver() {
        return [this](QWidget* p, const std::shared_ptr<PLYLayoutManager>& layout) {
            EXPECT_EQ(p, page);
            received << layout.get();
        };
    }
};

}  // namespace

TEST_F(InspectorContainerTest, TabsHeaderAndTheSwitchToPropertiesOnASelection) {
    PLYInspectorViewController inspector;
    inspector.resize(300, 700);
    inspector.show();
    auto* tabs = inspector.findChild<QStackedWidget*>("tabView");
    auto* label = inspector.findChild<QLabel*>("headerLabel");
    ASSERT_TRUE(tabs && label);
    EXPECT_EQ(inspector.currentTabIndex(), 0) << "opens on Document";
    EXPECT_EQ(label->text(), "Document");
    EXPECT_EQ(headerOrder(inspector), "headerDocumentButton,headerLabel,headerPropertyButton,headerSEOButton");

    QTest::mouseClick(inspector.findChild<QToolButton*>("headerSEOButton"), Qt::LeftButton);
    EXPECT_EQ(tabs->currentWidget()->objectName(), "seoTabViewItem");
    EXPECT_EQ(label->text(), "SEO");
    EXPECT_EQ(headerOrder(inspector), "headerDocumentButton,headerPropertyButton,headerSEOButton,headerLabel");
    EXPECT_TRUE(inspector.findChild<QToolButton*>("headerSEOButton")->isChecked());
    EXPECT_FALSE(inspector.findChild<QToolButton*>("headerDocumentButton")->isChecked());

    // The post's selection drives the tab; setting the post twice registers once.
    inspector.setPostManager(manager);
    inspector.setPostManager(manager);
    manager->layoutManager()->deSelectAllBlocks();
    EXPECT_EQ(inspector.currentTabIndex(), 2) << "an empty selection changes nothing";
    manager->layoutManager()->selectBlock(block("t1"));
    EXPECT_EQ(inspector.currentTabIndex(), 1);
    EXPECT_EQ(label->text(), "Properties");
    EXPECT_EQ(headerOrder(inspector), "headerDocumentButton,headerPropertyButton,headerLabel,headerSEOButton");
    QTest::mouseClick(inspector.findChild<QToolButton*>("headerDocumentButton"), Qt::LeftButton);
    manager->layoutManager()->deSelectAllBlocks();
    EXPECT_EQ(inspector.currentTabIndex(), 0) << "clearing the selection leaves the tab alone";

    // Another post: the old one's selection no longer reaches the pane, nor after it is gone.
    auto other = PLYPostManager::create(PLYPersistantPost::create("Other", PLYTestEnvironment::makeTempDirectory(), {}));
    inspector.setPostManager(other);
    manager->layoutManager()->selectBlock(block("b1"));
    EXPECT_EQ(inspector.currentTabIndex(), 0);
    {
        PLYInspectorViewController gone;
        gone.setPostManager(manager);
    }
    manager->layoutManager()->selectBlock(block("t1"));  // would call into a destroyed pane
    EXPECT_EQ(inspector.currentTabIndex(), 0);
}

TEST_F(InspectorContainerTest, ThePostReachesEveryChildWhicheverArrivesFirst) {
    const auto layout = manager->layoutManager();
    // Children first, then the post.
    PLYInspectorViewController inspector;
    PropertyPage first;
    inspector.embedPropertyViewController(first.page, first.handOver());
    EXPECT_TRUE(first.received.isEmpty());
    inspector.setPostManager(manager);
    EXPECT_EQ(inspector.documentViewController()->layoutManager(), layout);
    EXPECT_EQ(inspector.seoViewController()->postManager(), manager);
    EXPECT_EQ(inspector.publishViewController()->postManager(), manager);
    EXPECT_EQ(first.received, QList<PLYLayoutManager*>{layout.get()});
    EXPECT_TRUE(inspector.findChild<QWidget*>("propertyTabViewItem")->isAncestorOf(first.page));

    // The post first, then children: each is served as it is embedded; the one it replaces goes.
    PropertyPage later;
    QPointer<QWidget> replaced = first.page;
    inspector.embedPropertyViewController(later.page, later.handOver());
    EXPECT_EQ(later.received, QList<PLYLayoutManager*>{layout.get()});
    EXPECT_TRUE(replaced.isNull());
    auto* document = new PLYDocumentViewController;
    auto* seo = new PLYSeoViewController;
    auto* publish = new PLYPublishViewController;
    inspector.embedDocumentViewController(document);
    inspector.embedSeoViewController(seo);
    inspector.embedPublishViewController(publish);
    EXPECT_EQ(document->layoutManager(), layout);
    EXPECT_EQ(seo->postManager(), manager);
    EXPECT_EQ(publish->postManager(), manager);
    EXPECT_EQ(inspector.findChildren<PLYPublishViewController*>().size(), 1);
}

TEST(PostSwitcher, MenuListsPublishedPostsThenUnpublishedAndMovesBetweenThem) {
    PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory("core"));
    auto store = PLYCoreManager::persistantStore();
    store->setUp(false);
    store->signInUser("ada@example.org");
    auto account = store->currentAccount();
    ASSERT_TRUE(account);
    const auto zebra = account->createNewPost("Zebra crossing");
    const auto apple = account->createNewPost("Apple orchard");
    const auto mango = account->createNewPost("Mango");
    const auto walk = account->createNewPost("Walk");
    zebra->setRemoteIdentifier("9");
    mango->setRemoteIdentifier("3");
    PLYCoreManager* core = PLYCoreManager::globalManager();
    core->setCurrentPostManager(core->postManagerForPostID(apple->identifier()));

    const auto sorted = account->currentPostsSortedByKeys({"name", "creationDate"}, true);
    const auto entries = PLYPostSelecorPopUpButton::menuEntries(sorted, apple->identifier());
    QStringList shown;
    for (const auto& entry : entries)
        shown << (entry.separator ? QStringLiteral("---") : entry.title + (entry.checked ? "*" : ""));
    EXPECT_EQ(shown, (QStringList{"Mango", "Zebra crossing", "---", "Apple orchard*", "Walk"}));
    for (const auto& entry : entries)
        if (!entry.separator) {
            EXPECT_EQ(sorted.value(entry.tag)->name(), entry.title);
        }
    // Only unpublished posts: the menu starts with the separator.
    EXPECT_TRUE(PLYPostSelecorPopUpButton::menuEntries({apple, walk}, {}).first().separator);

    PLYPostSelecorPopUpButton button;
    button.setText("Apple orchard");
    button.resize(200, 24);
    button.show();
    int changes = 0;
    PLYObserverBag bag;
    bag.add(QString::fromLatin1(PLYCoreManager::CurrentPostManagerChangedNotification), nullptr,
            [&](const PLYNotification&) { ++changes; });

    // A press just past the home zone opens the menu; choosing a post makes it current.
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(15, 12));
    ASSERT_TRUE(button.postMenu());
    EXPECT_TRUE(button.postMenu()->isVisible());
    EXPECT_FALSE(button.triggerHome());
    QList<QAction*> actions = button.postMenu()->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_TRUE(actions[2]->isSeparator());
    EXPECT_TRUE(actions[3]->isChecked());
    actions[1]->trigger();  // "Zebra crossing"
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(15, 12));
    ASSERT_TRUE(core->currentPostManager());
    EXPECT_EQ(core->currentPostManager()->representedPost(), zebra);
    EXPECT_EQ(changes, 1);
    button.postMenu()->close();
    // Choosing the post already shown keeps it as it is.
    button.showPostMenu();
    button.postMenu()->actions()[1]->trigger();
    EXPECT_EQ(changes, 1);
    button.postMenu()->close();

    // The home zone (up to 14 points in) goes home, and opens no menu.
    QPointer<QMenu> lastMenu = button.postMenu();
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(14, 12));
    EXPECT_TRUE(button.triggerHome());
    EXPECT_EQ(button.postMenu(), lastMenu.data());
    EXPECT_FALSE(button.postMenu()->isVisible());
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(14, 12));
    EXPECT_FALSE(core->currentPostManager());
    EXPECT_EQ(changes, 2);

    // Without a home action the zone is part of the pop-up.
    button.setHomeAction({});
    core->setCurrentPostManager(core->postManagerForPostID(walk->identifier()));
    const int before = changes;
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 12));
    EXPECT_NE(button.postMenu(), lastMenu.data());
    EXPECT_TRUE(button.postMenu()->isVisible());
    EXPECT_EQ(changes, before);
    EXPECT_TRUE(core->currentPostManager());
    button.postMenu()->close();
    store.reset();
    PLYCoreManager::resetGlobalManager();
}

TEST(PublishButton, TellsItsDelegateOnAClickInsideAndDoesNotKeepItAlive) {
    struct Delegate : QObject, PLYPublishButtonDelegate {
        int clicks = 0;
        void buttonWasClicked(PLYPublishButton*) override { ++clicks; }
    };
    PLYPublishButton button;
    button.resize(200, 34);
    button.show();
    auto* delegate = new Delegate;
    button.setDelegate(delegate);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(100, 17));
    EXPECT_EQ(delegate->clicks, 1);
    // Pressed inside, released outside: no click.
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(100, 17));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(300, 17));
    EXPECT_EQ(delegate->clicks, 1);
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(delegate->clicks, 2);
    delete delegate;
    EXPECT_EQ(button.delegate(), nullptr);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(100, 17));  // nobody to tell
}
