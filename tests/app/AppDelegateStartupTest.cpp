#include "PLYAppTestSupport.h"

#include "PLYInterfaceNames.h"
#include "PLYMigratorVersion.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPreviewPanel.h"
#include "PLYStoryboard.h"

#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>

#include <csignal>

using PLYTestEnvironment::waitUntil;

namespace {

// A migration step that finishes only when the test lets it.
class HeldStep : public PLYMigratorVersion {
public:
    explicit HeldStep(std::function<void(Completion)> hold) : m_hold(std::move(hold)) {}
    QString version() const override { return QStringLiteral("99.0"); }
    void migrate(const std::shared_ptr<PLYPersistantStore>&, Completion done) override { m_hold(std::move(done)); }

private:
    std::function<void(Completion)> m_hold;
};

struct WindowSighting {
    bool made = false;
    bool libraryStarted = false;
    bool autosaveArmed = true;
};

}  // namespace

class AppStartupTest : public AppDelegateFixture {
protected:
    void TearDown() override {
        PLYStoryboard::unregisterScene(QString::fromLatin1(PLYInterfaceNames::MainStoryboard),
                                       QString::fromLatin1(PLYInterfaceNames::BaseWindowScene));
        AppDelegateFixture::TearDown();
    }
    QString accountsFolder() const { return QDir(storeRoot).filePath(QStringLiteral("Accounts")); }
};

TEST_F(AppStartupTest, NothingStartsUntilTheMigrationCompletesThenLibraryWindowAndAutosaveInThatOrder) {
    PLYMigratorVersion::Completion held;
    PLYMigrator::registerStep([&] { return std::make_unique<HeldStep>([&](PLYMigratorVersion::Completion done) { held = std::move(done); }); });

    WindowSighting sighting;
    AppDelegate* seen = nullptr;
    PLYStoryboard::registerScene(QString::fromLatin1(PLYInterfaceNames::MainStoryboard),
                                 QString::fromLatin1(PLYInterfaceNames::BaseWindowScene), [&](QWidget* parent) {
                                     sighting.made = true;
                                     sighting.libraryStarted = QFileInfo::exists(accountsFolder());
                                     sighting.autosaveArmed = seen->autosaveTimer().isActive();
                                     return new QMainWindow(parent);
                                 });

    AppDelegate& d = make();
    seen = &d;
    int finished = 0;
    QObject::connect(&d, &AppDelegate::launchFinished, [&] { ++finished; });
    d.applicationWillFinishLaunching({QStringLiteral("pellory")});
    d.applicationDidFinishLaunching();

    ASSERT_TRUE(waitUntil([&] { return bool(held); }));
    // The migration holds the library: no core manager, no library set up, no window, no autosave.
    EXPECT_EQ(PLYCoreManager::globalManager(), nullptr);
    EXPECT_FALSE(QFileInfo::exists(accountsFolder()));
    EXPECT_FALSE(sighting.made);
    EXPECT_EQ(d.baseWindowController(), nullptr);
    EXPECT_FALSE(d.autosaveTimer().isActive());
    // A quit now saves nothing and announces nothing.
    d.applicationWillTerminate();
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(willSaves, 0);

    held(true, false);
    ASSERT_TRUE(waitUntil([&] { return finished == 1; }));
    ASSERT_NE(PLYCoreManager::globalManager(), nullptr);
    EXPECT_TRUE(sighting.made);
    EXPECT_TRUE(sighting.libraryStarted) << "the window came before the library was set up";
    EXPECT_FALSE(sighting.autosaveArmed) << "the autosave was armed before the window showed";
    ASSERT_NE(d.baseWindowController(), nullptr);
    EXPECT_TRUE(d.baseWindowController()->isVisible());
    EXPECT_TRUE(d.autosaveTimer().isActive());
    EXPECT_EQ(d.autosaveTimer().interval(), AppDelegate::AutosaveIntervalMs);
    // The menus live in the main window.
    EXPECT_EQ(static_cast<QMainWindow*>(d.baseWindowController())->menuBar(), d.menuBar());
}

TEST_F(AppStartupTest, WithoutAnotherSceneTheBaseWindowIsTheEmptyMainWindow) {
    AppDelegate& d = launch();
    ASSERT_NE(d.baseWindowController(), nullptr);
    EXPECT_NE(qobject_cast<QMainWindow*>(d.baseWindowController()), nullptr);
    EXPECT_TRUE(d.baseWindowController()->isVisible());
}

TEST_F(AppStartupTest, AURLOnTheCommandLineIsParsedAndNothingElse) {
    EXPECT_EQ(AppDelegate::handleGetURLEvent(QStringLiteral("pellory://post/123")), QUrl(QStringLiteral("pellory://post/123")));
    EXPECT_TRUE(AppDelegate::handleGetURLEvent(QString()).isEmpty());
    EXPECT_TRUE(AppDelegate::handleGetURLEvent(QStringLiteral("not a url")).isEmpty());
    // Start-up goes on normally with one given.
    AppDelegate& d = make();
    d.applicationWillFinishLaunching({QStringLiteral("pellory"), QStringLiteral("pellory://x y"), QStringLiteral("%%%")});
    EXPECT_NE(d.menuBar(), nullptr);
}

class AppAutosaveTest : public AppStartupTest {
protected:
    std::shared_ptr<PLYPersistantPost> unsavedPost() {
        auto store = PLYCoreManager::persistantStore();
        auto account = store->signInUser(QStringLiteral("reader@example.com"));
        return account->createNewPost(QStringLiteral("Unsaved"));
    }
    static bool onDisk(const std::shared_ptr<PLYPersistantPost>& post) {
        return QFileInfo::exists(QDir(post->folderPath()).filePath(QStringLiteral("info.plist")));
    }
};

TEST_F(AppAutosaveTest, TheAutosaveSavesAndReArmsItselfWithoutAnnouncingAQuit) {
    AppDelegate::Options options = testOptions();
    options.autosaveIntervalMs = 20;
    AppDelegate& d = launch(options);
    auto post = unsavedPost();
    ASSERT_FALSE(onDisk(post));

    ASSERT_TRUE(waitUntil([&] { return saves >= 3; }));
    EXPECT_TRUE(onDisk(post));
    EXPECT_EQ(willSaves, 0);
    EXPECT_TRUE(d.autosaveTimer().isActive());
    EXPECT_TRUE(d.autosaveTimer().isSingleShot());
}

TEST_F(AppAutosaveTest, QuitWithAnAutosavePendingSavesOnceAfterAnnouncingIt) {
    AppDelegate& d = launch();
    auto post = unsavedPost();
    ASSERT_TRUE(d.autosaveTimer().isActive());
    EXPECT_EQ(saves, 0);

    d.applicationWillTerminate();
    EXPECT_EQ(willSaves, 1);
    EXPECT_EQ(savesAtWillSave, 0) << "the announcement must come before the save";
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(onDisk(post));
    // The pending autosave was replaced, not added to: one timer, freshly armed.
    EXPECT_TRUE(d.autosaveTimer().isActive());
}

TEST_F(AppAutosaveTest, TheSaveMenuItemSavesTheWayQuitDoes) {
    AppDelegate& d = launch();
    d.menuAction(QStringLiteral("saveApplication"))->trigger();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(willSaves, 1);
}

TEST_F(AppAutosaveTest, SIGTERMAsksTheApplicationToQuit) {
    AppDelegate::Options options = testOptions();
    options.handleTerminationSignals = true;
    AppDelegate& d = make(options);
    d.applicationWillFinishLaunching({QStringLiteral("pellory")});
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return quitRequests == 1; }));
    ::raise(SIGINT);
    ASSERT_TRUE(waitUntil([&] { return quitRequests == 2; }));
    // A closed terminal quits (and so saves) too.
    ::raise(SIGHUP);
    ASSERT_TRUE(waitUntil([&] { return quitRequests == 3; }));
    // Once the delegate goes, the previous handling is back.
    delegate.reset();
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        ::sigaction(signal, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << signal;
    }
}

TEST_F(AppAutosaveTest, ClosingTheMainWindowQuitsAndSavesWhateverOtherWindowIsOpen) {
    AppDelegate& d = launch();
    auto post = unsavedPost();
    d.showPrefs();
    d.togglePreviewPanel();
    bool lastWindowClosed = false;
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, &d, [&] { lastWindowClosed = true; });
    // The main loop ends either by the close or, failing that, by the watchdog.
    QTimer::singleShot(0, &d, [&] { d.baseWindowController()->close(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, qApp, &QCoreApplication::quit);
    watchdog.start(3000);
    QCoreApplication::exec();
    EXPECT_TRUE(watchdog.isActive()) << "closing the main window did not quit";
    EXPECT_TRUE(lastWindowClosed);
    EXPECT_EQ(willSaves, 1);
    EXPECT_TRUE(onDisk(post));
    PLYPreviewPanel::sharedPreviewPanel()->hide();
}
