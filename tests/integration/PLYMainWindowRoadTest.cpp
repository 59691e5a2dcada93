// The main window on the roads a user takes, against the development service in this process:
// deleting and unpublishing posts from their tiles (with the failures the service can answer),
// and the whole road through the real windows: sign up, make a post from a folder of photos,
// add photos by double-click, publish it, see it published at home, quit and start again signed
// in with the post still there.

#include "../app/PLYAppTestSupport.h"
#include "../app/PLYMainWindowTestSupport.h"
#include "../web-services/PLYSessionTestSupport.h"
#include "PLYAccountWizardScript.h"
#include "../workspace/PLYGalleryEvents.h"

#include "PLYAccountInfoViewController.h"
#include "PLYAlertPresenter.h"
#include "PLYAuthViewController.h"
#include "PLYChooserImageView.h"
#include "PLYExportManager.h"
#include "PLYFileDialogs.h"
#include "PLYGalleryCollectionView.h"
#include "PLYInstantAnimator.h"
#include "PLYGalleryView.h"
#include "PLYGalleryViewController.h"
#include "PLYGalleryViewItem.h"
#include "PLYImageManager.h"
#include "PLYInspectorViewController.h"
#include "PLYLayoutManager.h"
#include "PLYMigrator.h"
#include "PLYModalRunner.h"
#include "PLYPrepViewController.h"
#include "PLYPublishButton.h"
#include "PLYPublishViewController.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedDesktopServices.h"
#include "PLYScriptedFileDialogs.h"
#include "PLYScriptedModalRunner.h"
#include "PLYSlidingButtonStack.h"
#include "PLYSourceDirectory.h"
#include "PLYTestImages.h"
#include "PLYTestLayouts.h"
#include "PLYTestWidgets.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServicePostPublisher.h"
#include "PLYWebServicePostPublisherServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#ifdef PELLORY_HAS_DEVSERVICE
#include "PLYServiceRoad.h"

using PLYTestEnvironment::waitUntil;
using Screen = PLYRootNavigation::Screen;

namespace {

using Manager = PLYWebServiceManager;
using Publisher = PLYWebServicePostPublisher;

using PLYTestWidgets::child;
using PLYTestWidgets::click;
using PLYTestWidgets::type;

TEST_F(ServiceRoad, PostsAreDeletedAndUnpublishedFromTheirTilesAndAFailureKeepsThem) {
    PLYBaseWindowController* main = launchApplication();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(sessionIn(Manager::StateNoAccount));
    ASSERT_TRUE(session()->createUserAccountWithFirstName("Ada", "Lovelace", "ada@dev.example.org", "secret1"));
    ASSERT_TRUE(sessionIn(Manager::StateIdle)) << session()->currentStateName().toStdString();
    ASSERT_TRUE(session()->updateAccount("blog.example.org"));
    ASSERT_TRUE(waitUntil([&] { return session()->remoteAccount()->host() == "blog.example.org"; }));
    // The login view goes as the forms would end it.
    if (PLYAuthViewController* login = main->authViewController()) login->finishCreation();
    ASSERT_TRUE(waitUntil([&] { return main->baseViewController()->screen() == Screen::Home; }));

    const auto account = PLYCoreManager::persistantStore()->currentAccount();
    const auto draft = account->createNewPost("Draft");
    const auto shared = account->createNewPost("Shared");
    ASSERT_TRUE(draft->save() && shared->save());
    const auto publish = [&] {
        const auto publisher = session()->publisherForPostAs<Publisher>(shared);
        ASSERT_TRUE(publisher);
        ASSERT_TRUE(waitUntil([&] { return publisher->currentStateName() == Publisher::StateNotPublished; }));
        ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
        ASSERT_TRUE(waitUntil([&] { return !shared->remoteIdentifier().isEmpty() && publisher->currentStateName() == Publisher::StateIdle; }))
            << publisher->currentStateName().toStdString();
        PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification));
    };
    publish();
    PLYHomeViewController* home = main->baseViewController()->homeViewController();
    ASSERT_EQ(home->postCollectionView()->posts().size(), 2);
    EXPECT_EQ(tileOf(main, shared)->publishedImageView()->toolTip(), "Published");

    // A local post: "No" keeps it; "Yes" deletes it and its folder.
    const QString draftFolder = draft->folderPath();
    alerts->scriptButtonIndex(1);
    tileOf(main, draft)->deleteMenuItem()->trigger();
    EXPECT_TRUE(account->postForIdentifier(draft->identifier()));
    alerts->scriptButtonIndex(0);
    tileOf(main, draft)->deleteMenuItem()->trigger();
    EXPECT_FALSE(account->postForIdentifier(draft->identifier()));
    EXPECT_FALSE(QDir(draftFolder).exists());
    EXPECT_EQ(home->postCollectionView()->posts().size(), 1);
    ASSERT_EQ(alerts->presented().size(), 2);
    EXPECT_EQ(alerts->presented().at(0).messageText, "Delete Blog?");
    EXPECT_EQ(alerts->presented().at(0).buttonTitles, (QStringList{"Yes, delete this blog", "No, don't delete"}));

    // Unpublishing while the service fails: said so, and still published.
    const QString firstRemote = shared->remoteIdentifier();
    dev->fakeService().enqueueReply("DELETE", "/api/me/posts/*", PLYErrorReply(500, 500, "The service is down."));
    alerts->scriptButtonIndex(0);
    tileOf(main, shared)->deletePublishedMenuItem()->trigger();
    ASSERT_TRUE(waitUntil([&] { return alerts->presented().size() == 4; }));
    EXPECT_EQ(alerts->presented().at(2).messageText, "Delete Published Blog?");
    EXPECT_EQ(alerts->presented().at(3).messageText, "The Blog Could Not Be Unpublished");
    EXPECT_EQ(alerts->presented().at(3).style, PLYAlertRequest::Style::Critical);
    EXPECT_EQ(shared->remoteIdentifier(), firstRemote);
    EXPECT_EQ(remoteStatus(firstRemote), 200);

    // Unpublished: gone from the service, kept here, listed with the unpublished posts.
    alerts->scriptButtonIndex(0);
    tileOf(main, shared)->deletePublishedMenuItem()->trigger();
    ASSERT_TRUE(waitUntil([&] { return shared->remoteIdentifier().isEmpty(); }));
    EXPECT_EQ(remoteStatus(firstRemote), 404);
    ASSERT_TRUE(waitUntil([&] { return tileOf(main, shared)->publishedImageView()->toolTip() == "Not published"; }));
    EXPECT_FALSE(tileOf(main, shared)->deletePublishedMenuItem()->isEnabled());
    EXPECT_TRUE(home->model().activePosts().isEmpty());
    EXPECT_EQ(home->model().nonActivePosts().size(), 1);

    // Published again, then deleted: a failing service keeps it; then it goes from both places.
    publish();
    const QString secondRemote = shared->remoteIdentifier();
    const int shown = int(alerts->presented().size());
    dev->fakeService().enqueueReply("DELETE", "/api/me/posts/*", PLYErrorReply(500, 500, "The service is down."));
    alerts->scriptButtonIndex(0);
    tileOf(main, shared)->deleteMenuItem()->trigger();
    ASSERT_TRUE(waitUntil([&] { return alerts->presented().size() == shown + 2; }));
    EXPECT_EQ(alerts->presented().last().messageText, "The Blog Could Not Be Deleted");
    EXPECT_TRUE(account->postForIdentifier(shared->identifier()));
    alerts->scriptButtonIndex(0);
    tileOf(main, shared)->deleteMenuItem()->trigger();
    ASSERT_TRUE(waitUntil([&] { return !account->postForIdentifier(shared->identifier()); }));
    EXPECT_EQ(remoteStatus(secondRemote), 404);
    EXPECT_TRUE(home->emptyPostsContainer()->isVisible());
}

TEST_F(ServiceRoad, SignUpMakeAPostFromPhotosPublishItQuitAndComeBackSignedIn) {
    const QString photos = PLYTestEnvironment::makeTempDirectory("photos");
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(PLYTestImages::writePhotoJpeg(QDir(photos).filePath(QString("DSC_%1.jpg").arg(100 + i)), 640, 427, i + 1, 80));

    // Nobody signed in: the login view. Sign up there.
    PLYBaseWindowController* main = launchApplication();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(waitUntil([&] { return main->authViewController() != nullptr; }));
    PLYAuthViewController* login = main->authViewController();
    click(login, "switchToCreateButton");
    type(login, "firstNameTextField", "Ada");
    type(login, "lastNameTextField", "Lovelace");
    type(login, "emailTextField", "ada@dev.example.org");
    type(login, "createPasswordTextField", "correct horse");
    type(login, "confirmPasswordTextField", "correct horse");
    click(login, "termsAndConditionsButton");
    click(login, "createAccountButton");
    ASSERT_TRUE(waitUntil([&] { return child<QStackedWidget>(login, "tabView")->currentIndex() == PLYAuthViewController::CreatedTab; }));
    click(login, "finishCreationButton");
    ASSERT_TRUE(waitUntil([&] { return main->baseViewController()->screen() == Screen::Home; }));
    ASSERT_TRUE(sessionIn(Manager::StateIdle));
    PLYHomeViewController* home = main->baseViewController()->homeViewController();
    ASSERT_TRUE(waitUntil([&] { return child<QLabel>(home, "accountNameLabel")->text() == "Ada Lovelace"; }));
    ASSERT_TRUE(home->emptyPostsContainer()->isVisible());

    // A new post from the folder of photos, through the set-up sheet.
    click(home, "createFirstPostButton");
    PLYPostViewController* editor = main->baseViewController()->currentPostController();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(waitUntil([&] { return editor->prepViewController() && editor->prepViewController()->isVisible(); }));
    PLYPrepViewController* sheet = editor->prepViewController();
    dialogs->scriptFolder(photos);
    click(sheet, "chooseDirectoryButton");
    QTest::keyClicks(child<QLineEdit>(sheet, "titleTextField"), "Harbour Mornings");
    click(sheet, "doneButton");
    ASSERT_TRUE(waitUntil([&] { return editor->prepHasClosed(); }, 20000));
    const auto post = editor->postManager()->representedPost();
    ASSERT_TRUE(post);
    EXPECT_EQ(post->name(), "Harbour Mornings");
    ASSERT_TRUE(waitUntil([&] { return main->headerState() == 0 && main->currentPostButton()->text() == "Harbour Mornings"; }));

    // Three photos into the layout by double-click in the gallery.
    auto* gallery = editor->findChild<PLYGalleryViewController*>();
    ASSERT_NE(gallery, nullptr) << "the post window has no gallery pane";
    ASSERT_TRUE(waitUntil([&] { return gallery->galleryView()->itemAtIndexPath({0, 4}) != nullptr; }));
    for (int i = 0; i < 3; ++i) {
        PLYGalleryViewItem* cell = gallery->galleryView()->itemAtIndexPath({0, i});
        ASSERT_TRUE(cell && cell->view());
        PLYGalleryEvents::doubleClick(cell->view(), QPointF(30, 30));
    }
    ASSERT_EQ(PLYTestLayouts::imageBlockCount(post->constLayout()), 3);

    // Publish from the inspector. The blog's address is asked for first, in the account window.
    runner->setWhileRunning([&](QWidget* shown) { PLYCompleteAccountWizardWithWordpress(shown, "harbour.example.org"); });
    auto* inspector = editor->findChild<PLYInspectorViewController*>();
    ASSERT_NE(inspector, nullptr);
    PLYPublishViewController* panel = inspector->publishViewController();
    const auto publisher = panel->postPublisher();
    ASSERT_TRUE(publisher);
    ASSERT_TRUE(waitUntil([&] { return publisher->currentStateName() == Publisher::StateNotPublished; }));
    auto* publishButton = child<PLYPublishButton>(panel, "PLYPublishButton");
    ASSERT_TRUE(waitUntil([&] { return publishButton->isVisible(); }));
    QTest::mouseClick(publishButton, Qt::LeftButton, {}, publishButton->rect().center());
    ASSERT_TRUE(waitUntil([&] { return publisher->currentStateName() == Publisher::StateIdle && !post->remoteIdentifier().isEmpty(); }, 20000))
        << publisher->currentStateName().toStdString();
    ASSERT_TRUE(waitUntil([&] { return child(panel, "statusViewBlogButton")->isVisible(); }));

    // Home: the post's tile says it is published, with its layout's preview.
    PLYClickHomeZone(main);
    ASSERT_EQ(main->baseViewController()->screen(), Screen::Home);
    ASSERT_TRUE(waitUntil([&] { return tileOf(main, post) != nullptr; }));
    EXPECT_EQ(tileOf(main, post)->publishedImageView()->toolTip(), "Published");
    QTest::mouseClick(home->selectionStack()->buttonAt(1), Qt::LeftButton);
    EXPECT_EQ(home->postCollectionView()->posts().size(), 1);
    ASSERT_TRUE(waitUntil([&] { return !tileOf(main, post)->showsEmptyPostImage() &&
                                       !tileOf(main, post)->imageContainerView()->representedImage().isNull(); }));
    const QString postId = post->identifier();
    const QString remoteId = post->remoteIdentifier();

    // Quit, and start again: signed in without a word, on home, with the post still published.
    quitApplication();
    main = launchApplication();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(sessionIn(Manager::StateIdle));
    EXPECT_EQ(main->authViewController(), nullptr) << "the stored sign-in is used";
    EXPECT_EQ(main->baseViewController()->screen(), Screen::Home);
    const auto again = PLYCoreManager::persistantStore()->currentAccount()->postForIdentifier(postId);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->remoteIdentifier(), remoteId);
    EXPECT_EQ(PLYTestLayouts::imageBlockCount(again->constLayout()), 3);
    ASSERT_TRUE(waitUntil([&] { return tileOf(main, again) != nullptr; }));
    EXPECT_EQ(tileOf(main, again)->publishedImageView()->toolTip(), "Published");
    EXPECT_EQ(remoteStatus(remoteId), 200);
}

}  // namespace

#endif
