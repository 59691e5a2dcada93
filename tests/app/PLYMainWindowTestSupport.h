#pragma once

#include "AppDelegate.h"
#include "PLYAccountScenes.h"
#include "PLYAnimator.h"
#include "PLYBaseViewController.h"
#include "PLYBaseWindowController.h"
#include "PLYChooserImageView.h"
#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYHomeCollectionView.h"
#include "PLYHomeViewController.h"
#include "PLYInterfaceNames.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYPostSelecorPopUpButton.h"
#include "PLYPostViewController.h"
#include "PLYRecentCollectionViewItem.h"
#include "PLYStoryboard.h"
#include "PLYTestEnvironment.h"
#include "PLYVisualStateHandler.h"

#include <QImage>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QWindow>

#include <gtest/gtest.h>

// Animations that wait until the test lets them finish, so that a test sees the main window in
// the middle of a transition. A later animation of the same property takes over, as with the
// application's animator.
class PLYHeldAnimator : public PLYAnimator {
public:
    void animate(QObject* target, const QByteArray& property, const QVariant& endValue, int,
                 std::function<void()> completion = {}) override {
        m_pending.removeIf([&](const Pending& p) { return p.target == target && p.property == property; });
        m_pending.append({target, property, endValue, std::move(completion)});
    }
    int pendingCount() const { return int(m_pending.size()); }
    void finishAll() {
        while (!m_pending.isEmpty()) {
            Pending next = m_pending.takeFirst();
            if (!next.target) continue;
            next.target->setProperty(next.property.constData(), next.endValue);
            if (next.completion) next.completion();
        }
    }

private:
    struct Pending {
        QPointer<QObject> target;
        QByteArray property;
        QVariant endValue;
        std::function<void()> completion;
    };
    QList<Pending> m_pending;
};

// The application's scenes, and the post window as the bare window of panes where the build has
// not registered its assembled one.
inline void PLYRegisterMainWindowScenes() {
    AppDelegate::registerDefaultScenes();
    const QString main = QString::fromLatin1(PLYInterfaceNames::MainStoryboard);
    const QString post = QString::fromLatin1(PLYInterfaceNames::PostViewScene);
    if (!PLYStoryboard::hasScene(main, post))
        PLYStoryboard::registerScene(main, post, [](QWidget* parent) { return new PLYPostViewController(parent); });
}

// A click on the house at the left of the title bar's post switcher, which goes home.
inline void PLYClickHomeZone(PLYBaseWindowController* window) {
    PLYPostSelecorPopUpButton* switcher = window->currentPostButton();
    QTest::mouseClick(switcher, Qt::LeftButton, {}, QPoint(int(PLYPostSelecorPopUpButton::HomeZoneWidth) / 2, switcher->height() / 2));
}

// A signed-in library with a few posts and a main window over it, no web service.
class PLYMainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory("library"));
        PLYVisualStateHandler::resetGlobalHandler();
        PLYRegisterMainWindowScenes();
        store = PLYCoreManager::persistantStore();
        store->setUp(false);
        account = store->signInUser("ada@example.org");
        account->setFirstName("Ada");
        account->setLastName("Lovelace");
        PLYAnimator::setShared(animator);
    }
    void TearDown() override {
        window.reset();
        PLYAnimator::setShared(nullptr);
        PLYDecodedImageCache::shutdownShared();
        PLYCoreManager::resetGlobalManager();
        PLYVisualStateHandler::resetGlobalHandler();
    }

    std::shared_ptr<PLYPersistantPost> addPost(const QString& name, const QString& remoteIdentifier = {}) {
        const auto post = account->createNewPost(name);
        post->setRemoteIdentifier(remoteIdentifier);
        EXPECT_TRUE(post->save());
        // Creation dates a moment apart, so the order by date is the order made.
        QThread::msleep(3);
        return post;
    }

    PLYBaseWindowController& openWindow(QSize size = QSize(1100, 800)) {
        window = std::make_unique<PLYBaseWindowController>();
        window->resize(size);
        window->show();
        EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return window->windowHandle() && window->windowHandle()->isExposed(); }));
        PLYTestEnvironment::waitForQueuedCalls();
        return *window;
    }
    PLYBaseViewController* root() const { return window->baseViewController(); }
    PLYHomeViewController* home() const { return root()->homeViewController(); }
    PLYHomeCollectionView* grid() const { return home()->postCollectionView(); }
    PLYRecentCollectionViewItem* tileOf(const std::shared_ptr<PLYPersistantPost>& post) const {
        for (PLYRecentCollectionViewItem* item : grid()->visibleItems())
            if (item->representedPost() == post) return item;
        return nullptr;
    }
    // Gives the post a layout preview of one colour; answers whether it was written.
    static bool setPlainPreview(const std::shared_ptr<PLYPersistantPost>& post, QSize size, Qt::GlobalColor color) {
        QImage preview(size, QImage::Format_RGB32);
        preview.fill(color);
        return post->setLayoutPreview(preview);
    }
    // Whether the tile comes to show its post's preview, decoded (not the empty post's picture).
    static bool waitForPreview(PLYRecentCollectionViewItem* tile) {
        return PLYTestEnvironment::waitUntil(
            [tile] { return !tile->imageContainerView()->representedImage().isNull() && !tile->showsEmptyPostImage(); });
    }
    // Opens the post as the user does: a double-click on its tile.
    void doubleClick(const std::shared_ptr<PLYPersistantPost>& post) {
        PLYRecentCollectionViewItem* tile = tileOf(post);
        ASSERT_NE(tile, nullptr) << post->name().toStdString();
        QTest::mouseDClick(tile, Qt::LeftButton, {}, tile->rect().center());
    }
    QStringList tileTitles() const {
        QStringList titles;
        for (PLYRecentCollectionViewItem* item : grid()->visibleItems()) titles << item->representedPost()->name();
        return titles;
    }
    std::shared_ptr<PLYPersistantPost> shownPost() const {
        const auto manager = root()->currentPostManager();
        return manager ? manager->representedPost() : nullptr;
    }

    std::shared_ptr<PLYAnimator> animator = std::make_shared<PLYHeldAnimator>();
    PLYHeldAnimator& held() { return static_cast<PLYHeldAnimator&>(*animator); }
    std::shared_ptr<PLYPersistantStore> store;
    std::shared_ptr<PLYPersistantAccount> account;
    std::unique_ptr<PLYBaseWindowController> window;
};
