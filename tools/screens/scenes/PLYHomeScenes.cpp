// The main window at home with a library of posts (their previews rendered), home with no post
// yet, the main window with a post open, the add-block popover of the title bar, and the alert
// shown when the service no longer accepts this version. Each leaves the fixture's account and
// current post as it found them.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"

#include "AppDelegate.h"
#include "PLYAddBlockPopover.h"
#include "PLYBaseViewController.h"
#include "PLYBaseWindowController.h"
#include "PLYScreenAlpha.h"
#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYExportManager.h"
#include "PLYHomeCollectionView.h"
#include "PLYHomeViewController.h"
#include "PLYOnboardingPopover.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYQtAlertPresenter.h"
#include "PLYSaveOutcome.h"
#include "PLYTestLayouts.h"
#include "PLYVisualStateHandler.h"

#include <QMessageBox>
#include <QTimer>

namespace {

// Signs the fixture's account in again and makes `previous` current once `window` is wholly
// gone: its panes still listen to the library while it is being deleted.
void restoreLibraryAfter(QWidget* window, const QString& email, const std::shared_ptr<PLYPostManager>& previous) {
    QObject::connect(window, &QObject::destroyed, [email, previous] {
        QTimer::singleShot(0, [email, previous] {
            if (const auto store = PLYCoreManager::persistantStore()) store->signInUser(email);
            if (PLYCoreManager* core = PLYCoreManager::globalManager()) core->setCurrentPostManager(previous);
        });
    });
}

struct SamplePost {
    const char* name;
    bool published;
    int layout;
};

// Names of every length, some published, each with a layout of its own shape.
const SamplePost kPosts[] = {
    {"Autumn in the Highlands", true, 0},
    {"Harbour Mornings: a week of early light on the west coast", false, 1},
    {"Skye in the Rain", true, 2},
    {"Lofoten, Winter Light", false, 3},
    {"Three Days on the Camino Primitivo, from Oviedo to Lugo", true, 1},
    {"Kyoto Gardens", false, 0},
    {"Street Markets of Lisbon", false, 2},
    {"The Long Walk Home", true, 3},
};

PLYLayout sampleLayout(int shape, const QString& title, const QStringList& ids, int offset) {
    using namespace PLYTestLayouts;
    auto ref = [&](int i) { return ids.at((i + offset) % ids.size()).toStdString(); };
    const std::string heading = title.toStdString();
    switch (shape) {
    case 0:
        return layout(12, {section("s", {text("t", heading, PLYTextStyle_Title), image("a", ref(0)),
                                         container("r", false, {image("b", ref(1)), image("c", ref(2))}),
                                         text("p", "Notes from the road, written in the evenings.", PLYTextStyle_Body),
                                         image("d", ref(3))})},
                      250, 248, 244);
    case 1:
        return layout(8, {section("s", {image("a", ref(4)), text("t", heading, PLYTextStyle_Heading),
                                        container("r", false, {image("b", ref(5)), image("c", ref(6)), image("d", ref(7))}),
                                        image("e", ref(8))})});
    case 2:
        return layout(16, {section("s", {text("t", heading, PLYTextStyle_Title),
                                         container("r", false, {image("a", ref(9)), image("b", ref(10))}),
                                         text("q", "\u201cRain is just weather with an opinion.\u201d", PLYTextStyle_Quote),
                                         image("c", ref(11)), downloadButton("dl")})},
                      32, 36, 40);
    default:
        return layout(10, {section("s", {image("a", ref(2)), image("b", ref(5)),
                                         text("t", heading, PLYTextStyle_Heading), image("c", ref(7))})});
    }
}

// Home as the user sees it: another account of the same library, full of posts.
QWidget* homeWithPosts(PLYScreensFixture& fixture) {
    const auto store = PLYCoreManager::persistantStore();
    const QString fixtureEmail = fixture.account()->email();
    const auto previous = PLYCoreManager::globalManager()->currentPostManager();
    const auto account = store->signInUser(QStringLiteral("ada.lovelace@highlands-journal.com"));
    account->setFirstName(QStringLiteral("Ada"));
    account->setLastName(QStringLiteral("Lovelace"));
    if (account->currentPosts().isEmpty()) {
        int offset = 0;
        for (const SamplePost& sample : kPosts) {
            const auto post = account->createNewPost(QString::fromUtf8(sample.name));
            *post->layout() = sampleLayout(sample.layout, post->name(), fixture.imageIdentifiers(), offset++);
            if (sample.published) post->setRemoteIdentifier(QString::number(4100 + offset));
            post->save();
            PLYCoreManager::exportManager()->createPostPreview(post);
        }
        PLYCoreManager::exportManager()->waitForPreviews();
        PLYScreensFixture::settle(50);
    }
    PLYCoreManager::globalManager()->setCurrentPostManager(nullptr);
    PLYVisualStateHandler::globalHandler()->setPostHeaderVisible(false);

    auto* window = new PLYBaseWindowController;
    window->resize(1180, 820);
    window->show();
    PLYScreensFixture::settle(100);
    PLYDecodedImageCache::sharedCache()->waitForIdle();
    PLYScreensFixture::settle(50);
    PLYHomeViewController* home = window->baseViewController()->homeViewController();
    if (!home->postCollectionView()->posts().isEmpty())
        home->postCollectionView()->selectPost(home->postCollectionView()->posts().at(1)->identifier());
    restoreLibraryAfter(window, fixtureEmail, previous);
    return window;
}

const bool registered = [] {
    PLYScreens::add(QStringLiteral("home-with-posts"), homeWithPosts);

    PLYScreens::add(QStringLiteral("home-no-posts"), [](PLYScreensFixture& fixture) -> QWidget* {
        const auto store = PLYCoreManager::persistantStore();
        const QString fixtureEmail = fixture.account()->email();
        const auto previous = PLYCoreManager::globalManager()->currentPostManager();
        const auto account = store->signInUser(QStringLiteral("new.writer@example.com"));
        account->setFirstName(QStringLiteral("Noor"));
        account->setLastName(QStringLiteral("Haddad"));
        PLYCoreManager::globalManager()->setCurrentPostManager(nullptr);
        auto* window = new PLYBaseWindowController;
        window->resize(1000, 680);
        restoreLibraryAfter(window, fixtureEmail, previous);
        return window;
    });

    // The main window with a post open: the title bar's post controls over the post's editor.
    PLYScreens::add(QStringLiteral("main-window-editor"), [](PLYScreensFixture& fixture) -> QWidget* {
        AppDelegate::registerDefaultScenes();
        PLYCoreManager* core = PLYCoreManager::globalManager();
        const auto previous = core->currentPostManager();
        core->setCurrentPostManager(nullptr);
        auto* window = new PLYBaseWindowController;
        window->resize(1440, 900);
        window->show();
        PLYScreensFixture::settle(50);
        core->setCurrentPostManager(fixture.mainPostManager());
        // The slide up and the panes' entrance.
        PLYScreensFixture::settle(1200);
        PLYDecodedImageCache::sharedCache()->waitForIdle();
        QObject::connect(window, &QObject::destroyed, [previous] {
            if (PLYCoreManager* core = PLYCoreManager::globalManager()) core->setCurrentPostManager(previous);
        });
        return window;
    });

    PLYScreens::add(QStringLiteral("add-block-popover"), [](PLYScreensFixture&) -> QWidget* {
        // The button it belongs to; gone with the popover.
        auto* anchor = new QWidget;
        anchor->resize(32, 30);
        auto* popover = new PLYOnboardingPopover(PLYAddBlockPopover::makePopOverView(), anchor);
        QObject::connect(popover, &QObject::destroyed, anchor, &QObject::deleteLater);
        popover->showRelativeToRect(anchor->rect(), anchor, PLYOnboardingPopover::Edge::Below);
        return popover;
    });

    // Where no compositor runs: opaque, cut to the bubble's shape.
    PLYScreens::add(QStringLiteral("add-block-popover-no-alpha"), [](PLYScreensFixture&) -> QWidget* {
        PLYScreenAlpha::setOverride(false);
        auto* anchor = new QWidget;
        anchor->resize(32, 30);
        auto* popover = new PLYOnboardingPopover(PLYAddBlockPopover::makePopOverView(), anchor);
        QObject::connect(popover, &QObject::destroyed, anchor, &QObject::deleteLater);
        popover->showRelativeToRect(anchor->rect(), anchor, PLYOnboardingPopover::Edge::Below);
        PLYScreenAlpha::setOverride(std::nullopt);
        return popover;
    });

    PLYScreens::add(QStringLiteral("out-of-date-alert"), [](PLYScreensFixture&) -> QWidget* {
        return PLYQtAlertPresenter::makeMessageBox(PLYBaseViewController::outOfDateAlert());
    });

    // A save that failed on a read-only library, and the question before a quit would lose it.
    const auto failedSave = [] {
        PLYSaveOutcome::Failure failure;
        failure.what = QStringLiteral("Could not write /home/ann/.local/share/Pellory/Accounts/A1.plyuser/P1.plypost/layout.next");
        failure.folder = QStringLiteral("/home/ann/.local/share/Pellory");
        failure.why = QStringLiteral("Read-only file system");
        return failure;
    };
    PLYScreens::add(QStringLiteral("save-failed-alert"), [failedSave](PLYScreensFixture&) -> QWidget* {
        return PLYQtAlertPresenter::makeMessageBox(PLYSaveOutcome::failureAlert(failedSave()));
    });
    PLYScreens::add(QStringLiteral("quit-anyway-alert"), [failedSave](PLYScreensFixture&) -> QWidget* {
        return PLYQtAlertPresenter::makeMessageBox(PLYSaveOutcome::quitAnywayAlert(failedSave()));
    });
    return true;
}();

}  // namespace
