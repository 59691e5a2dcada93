#include "PLYAppTestSupport.h"
#include "PLYUndoManager.h"
#include "PLYMainWindowTestSupport.h"

#include "PLYAlertPresenter.h"
#include "PLYColourWell.h"
#include "PLYDefaults.h"
#include "PLYExportManager.h"
#include "PLYExportPresenter.h"
#include "PLYFileDialogs.h"
#include "PLYInstantAnimator.h"
#include "PLYInterfaceNames.h"
#include "PLYKeyCodes.h"
#include "PLYPrepViewController.h"
#include "PLYPreviewPanel.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedDesktopServices.h"
#include "PLYScriptedFileDialogs.h"
#include "PLYStoryboard.h"
#include "PLYWebServiceManager.h"

#include <QApplication>
#include <QColorDialog>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using PLYTestEnvironment::waitUntil;

namespace {

// Records what the visual-state handler tells its delegates.
class ZoomRecorder : public PLYVisualStateHandlerDelegate {
public:
    void visualStateHandlerSetLayoutZoomFactor(PLYVisualStateHandler*, double factor) override { zooms.append(factor); }
    void visualStateHandlerSetGalleryVisible(PLYVisualStateHandler*, bool visible) override { gallery.append(visible); }
    void visualStateHandlerSetInspectorVisible(PLYVisualStateHandler*, bool visible) override { inspector.append(visible); }
    std::optional<double> layoutZoomFactorToFitForVisualStateHandler(PLYVisualStateHandler*) override { return 0.37; }
    QList<double> zooms;
    QList<bool> gallery;
    QList<bool> inspector;
};

class RefusalRecorder : public PLYExportPresenter {
public:
    std::optional<int> chooseExportWidth(int) override { return std::nullopt; }
    QString chooseExportFolder() override { return {}; }
    void exportRefused(const QString& message) override { refusals << message; }
    QStringList refusals;
};

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class AppMenuTest : public AppDelegateFixture {
protected:
    void SetUp() override {
        AppDelegateFixture::SetUp();
        PLYDesktopServices::setShared(desktop);
        PLYFileDialogs::setShared(dialogs);
        make().applicationWillFinishLaunching({QStringLiteral("pellory")});
    }
    void TearDown() override {
        PLYDesktopServices::setShared(nullptr);
        PLYFileDialogs::setShared(nullptr);
        AppDelegateFixture::TearDown();
    }
    // The application started up to its main window, with the window's scenes.
    PLYBaseWindowController* launchToMainWindow() {
        PLYRegisterMainWindowScenes();
        delegate->applicationDidFinishLaunching();
        EXPECT_TRUE(waitUntil([&] { return delegate->baseWindowController() != nullptr; }));
        return qobject_cast<PLYBaseWindowController*>(delegate->baseWindowController());
    }
    void trigger(const char* name) {
        QAction* action = delegate->menuAction(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }
    std::shared_ptr<PLYScriptedDesktopServices> desktop = std::make_shared<PLYScriptedDesktopServices>();
    std::shared_ptr<PLYScriptedFileDialogs> dialogs = std::make_shared<PLYScriptedFileDialogs>();
};

TEST_F(AppMenuTest, ZoomAndExportItemsActOnlyOnTheEditorOnScreen) {
    PLYRegisterMainWindowScenes();
    PLYAnimator::setShared(std::make_shared<PLYInstantAnimator>());
    delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(waitUntil([&] { return delegate->baseWindowController() != nullptr; }));
    ZoomRecorder recorder;
    PLYVisualStateHandler* handler = PLYVisualStateHandler::globalHandler();
    handler->addVisualDelegate(&recorder);
    auto presenter = std::make_shared<RefusalRecorder>();
    PLYExportManager::resetSharedManager();
    PLYCoreManager::exportManager()->setPresenter(presenter);

    // At home there is no layout: the items are off and do nothing when triggered anyway.
    for (const char* name : {"zoomIn", "zoomOut", "zoomFitWidth", "zoom100", "exportLayout", "exportSelectedImages"}) {
        EXPECT_FALSE(delegate->menuAction(QString::fromLatin1(name))->isEnabled()) << name;
        trigger(name);
    }
    EXPECT_DOUBLE_EQ(handler->layoutZoomFactor(), 1.0);
    EXPECT_TRUE(recorder.zooms.isEmpty());
    EXPECT_TRUE(presenter->refusals.isEmpty());

    // With a post in the editor they step, fit and reset the shared zoom, and reach the export.
    const auto account = PLYCoreManager::persistantStore()->signInUser(QStringLiteral("ada@example.org"));
    const auto post = account->createNewPost(QStringLiteral("Lofoten"));
    PLYCoreManager* core = PLYCoreManager::globalManager();
    core->setCurrentPostManager(core->postManagerForPostID(post->identifier()));
    EXPECT_TRUE(delegate->isEditorShown());
    EXPECT_TRUE(delegate->menuAction(QStringLiteral("zoomIn"))->isEnabled());
    // The editor's entrance fits the layout (the fit reaches the handler's delegates); the steps
    // start from actual size.
    ASSERT_TRUE(waitUntil([&] { return !recorder.zooms.isEmpty(); })) << "the entrance fits the layout";
    trigger("zoom100");
    recorder.zooms.clear();
    trigger("zoomIn");
    EXPECT_DOUBLE_EQ(handler->layoutZoomFactor(), 1.1);
    trigger("zoomOut");
    trigger("zoomOut");
    EXPECT_NEAR(handler->layoutZoomFactor(), 0.9, 1e-9);
    trigger("zoomFitWidth");
    EXPECT_DOUBLE_EQ(handler->layoutZoomFactor(), 0.37);
    trigger("zoom100");
    EXPECT_DOUBLE_EQ(handler->layoutZoomFactor(), 1.0);
    ASSERT_EQ(recorder.zooms.size(), 5);
    for (int i = 0; i < 50; ++i) trigger("zoomIn");
    EXPECT_NEAR(handler->layoutZoomFactor(), PLYVisualStateHandler::MaximumSteppedZoom, 1e-9);
    trigger("exportLayout");
    trigger("exportSelectedImages");
    EXPECT_EQ(presenter->refusals.size(), 2);

    // Home again: off again.
    trigger("goHome");
    EXPECT_FALSE(delegate->menuAction(QStringLiteral("zoomIn"))->isEnabled());
    handler->removeVisualDelegate(&recorder);
    PLYExportManager::resetSharedManager();
    PLYAnimator::setShared(nullptr);
}

TEST_F(AppMenuTest, NewBlogStartsAPostUnlessNobodyCanMakeOne) {
    PLYRegisterMainWindowScenes();
    PLYAnimator::setShared(std::make_shared<PLYInstantAnimator>());
    trigger("newBlog");  // not started yet
    delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(waitUntil([&] { return delegate->baseWindowController() != nullptr; }));
    PLYCoreManager* core = PLYCoreManager::globalManager();
    const auto alerts = std::make_shared<PLYScriptedAlertPresenter>();
    PLYAlertPresenter::setShared(alerts);
    trigger("newBlog");  // nobody signed in: refused, and the user hears why
    EXPECT_EQ(core->currentPostManager(), nullptr);
    ASSERT_EQ(alerts->presented().size(), 1);
    EXPECT_EQ(alerts->presented().first().messageText, PLYHomeViewController::newPostWithoutAccountAlert().messageText);
    PLYAlertPresenter::setShared(nullptr);
    PLYCoreManager::persistantStore()->signInUser(QStringLiteral("ada@example.org"));
    trigger("newBlog");
    ASSERT_NE(core->currentPostManager(), nullptr);
    EXPECT_EQ(core->currentPostManager()->representedPost(), nullptr);
    EXPECT_TRUE(delegate->isEditorShown());
    PLYAnimator::setShared(nullptr);
}

TEST_F(AppMenuTest, PanelItemsToggleGalleryAndInspector) {
    ZoomRecorder recorder;
    PLYVisualStateHandler* handler = PLYVisualStateHandler::globalHandler();
    handler->addVisualDelegate(&recorder);
    const bool gallery = handler->galleryVisible();
    const bool inspector = handler->inspectorVisible();
    trigger("toggleGallery");
    trigger("toggleInspector");
    trigger("toggleInspector");
    EXPECT_EQ(handler->galleryVisible(), !gallery);
    EXPECT_EQ(handler->inspectorVisible(), inspector);
    EXPECT_EQ(recorder.gallery, QList<bool>{!gallery});
    EXPECT_EQ(recorder.inspector, (QList<bool>{!inspector, inspector}));
    handler->removeVisualDelegate(&recorder);
}

TEST_F(AppMenuTest, OptionShowsTheHostItemAtIndexFourOnlyWhileTheMenuIsOpen) {
    QMenu* menu = delegate->applicationMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QStringLiteral("Pellory"));
    QAction* host = delegate->hostOptionMenuItem();
    const int itemsWithout = menu->actions().size();
    EXPECT_FALSE(menu->actions().contains(host));

    // Closed menu: holding Option changes nothing.
    modifierFlags = PLYKeyCodes::Option;
    EXPECT_FALSE(delegate->menuTimer().isActive());
    QCoreApplication::processEvents();
    EXPECT_FALSE(menu->actions().contains(host));

    // Opened without Option: no item; Option pressed while open: the item appears at index 4.
    modifierFlags = 0;
    menu->popup(QPoint(10, 10));
    ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
    EXPECT_TRUE(delegate->menuTimer().isActive());
    EXPECT_FALSE(menu->actions().contains(host));
    modifierFlags = PLYKeyCodes::Option | PLYKeyCodes::Shift;
    ASSERT_TRUE(waitUntil([&] { return menu->actions().contains(host); }));
    EXPECT_EQ(menu->actions().indexOf(host), AppDelegate::HostOptionsMenuIndex);
    EXPECT_TRUE(host->isEnabled());
    EXPECT_EQ(menu->actions().size(), itemsWithout + 1);

    // Released: gone again, and only once.
    modifierFlags = PLYKeyCodes::Shift;
    ASSERT_TRUE(waitUntil([&] { return !menu->actions().contains(host); }));
    EXPECT_EQ(menu->actions().size(), itemsWithout);

    menu->hide();
    ASSERT_TRUE(waitUntil([&] { return !delegate->menuTimer().isActive(); }));
}

TEST_F(AppMenuTest, PressingAltWithTheMenuOpenKeepsItOpenAndShowsTheHostItem) {
    // On Linux a bare Alt press closes an open menu; the host item would never be reachable.
    QMenu* menu = delegate->applicationMenu();
    QAction* host = delegate->hostOptionMenuItem();
    menu->popup(QPoint(10, 10));
    ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));

    modifierFlags = PLYKeyCodes::Option;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(menu, &press);
    EXPECT_TRUE(menu->isVisible());
    // Shown at once, not only at the next tick.
    EXPECT_EQ(menu->actions().indexOf(host), AppDelegate::HostOptionsMenuIndex);

    modifierFlags = 0;
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(menu, &release);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_FALSE(menu->actions().contains(host));

    // Other keys still reach the menu: Escape closes it.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(menu, &escape);
    EXPECT_TRUE(waitUntil([&] { return !menu->isVisible(); }));
    EXPECT_FALSE(delegate->menuTimer().isActive());
}

TEST_F(AppMenuTest, PreferencesAndHostWindowsAppearOverTheMainWindow) {
    PLYRegisterMainWindowScenes();
    PLYAnimator::setShared(std::make_shared<PLYInstantAnimator>());
    delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(waitUntil([&] { return delegate->baseWindowController() != nullptr; }));
    QWidget* main = delegate->baseWindowController();
    main->setGeometry(140, 90, 520, 400);
    const QPoint centre = main->frameGeometry().center();
    const QString settings = QString::fromLatin1(PLYInterfaceNames::SettingsStoryboard);
    for (const char* scene : {PLYInterfaceNames::PreferencesWindowScene, PLYInterfaceNames::WebServiceHostWindowScene}) {
        PLYStoryboard::registerScene(settings, QString::fromLatin1(scene), [](QWidget* parent) {
            auto* window = new QLabel(QStringLiteral("settings"), parent);
            window->resize(240, 160);
            return window;
        });
    }
    trigger("showPrefs");
    delegate->presentHostOptionsWindow();
    for (QObject* shown : {delegate->settingsWindowController(), delegate->serviceHostWindowController()}) {
        auto* window = qobject_cast<QWidget*>(shown);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(window->isVisible());
        EXPECT_LE((window->frameGeometry().center() - centre).manhattanLength(), 2)
            << "over the main window, not at the screen's corner";
    }
    for (const char* scene : {PLYInterfaceNames::PreferencesWindowScene, PLYInterfaceNames::WebServiceHostWindowScene})
        PLYStoryboard::unregisterScene(settings, QString::fromLatin1(scene));
}

TEST_F(AppMenuTest, PreferencesAndHostWindowsAreMadeOnceAndKept) {
    AppDelegate::registerDefaultScenes();
    int made = 0;
    const QString settings = QString::fromLatin1(PLYInterfaceNames::SettingsStoryboard);
    const QString prefs = QString::fromLatin1(PLYInterfaceNames::PreferencesWindowScene);
    PLYStoryboard::registerScene(settings, prefs, [&](QWidget* parent) {
        ++made;
        return new QLabel(QStringLiteral("prefs"), parent);
    });

    trigger("showPrefs");
    QObject* first = delegate->settingsWindowController();
    ASSERT_NE(first, nullptr);
    auto* window = qobject_cast<QWidget*>(first);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    window->hide();
    trigger("showPrefs");
    EXPECT_EQ(delegate->settingsWindowController(), first);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(made, 1);

    // The host window comes from its own placeholder scene, also kept.
    delegate->presentHostOptionsWindow();
    QObject* host = delegate->serviceHostWindowController();
    ASSERT_NE(host, nullptr);
    EXPECT_NE(host, first);
    delegate->presentHostOptionsWindow();
    EXPECT_EQ(delegate->serviceHostWindowController(), host);

    // Both go with the delegate.
    QPointer<QObject> watchFirst(first), watchHost(host);
    delegate.reset();
    EXPECT_TRUE(watchFirst.isNull());
    EXPECT_TRUE(watchHost.isNull());
    PLYStoryboard::unregisterScene(settings, prefs);
}

TEST_F(AppMenuTest, HelpOpensTheHelpSite) {
    trigger("presentHelp");
    ASSERT_EQ(desktop->openedURLs().size(), 1);
    EXPECT_EQ(desktop->openedURLs().first(), QUrl(QStringLiteral("https://help.") + QStringLiteral(PELLORY_SERVICE_DOMAIN)));
}

TEST_F(AppMenuTest, GoHomeLeavesThePostEditor) {
    int changes = 0;
    auto token = PLYNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(PLYCoreManager::CurrentPostManagerChangedNotification), nullptr,
        [&](const PLYNotification&) { ++changes; });
    PLYCoreManager* core = PLYCoreManager::globalManager();
    core->setCurrentPostManager(core->postManagerEmpty());
    trigger("goHome");
    EXPECT_EQ(core->currentPostManager(), nullptr);
    EXPECT_EQ(changes, 2);
    PLYNotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(AppMenuTest, PreviewPanelTogglesBetweenShownAndHidden) {
    trigger("togglePreviewPanel");
    ASSERT_TRUE(PLYPreviewPanel::sharedPreviewPanelExists());
    PLYPreviewPanel* panel = PLYPreviewPanel::sharedPreviewPanel();
    EXPECT_TRUE(panel->isVisible());
    trigger("togglePreviewPanel");
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(PLYPreviewPanel::sharedPreviewPanel(), panel);
    trigger("togglePreviewPanel");
    EXPECT_TRUE(panel->isVisible());
    panel->hide();
}

TEST_F(AppMenuTest, DatabaseExportCopiesWhatExistsAndOverwritesNothing) {
    const QString support = PLYTestEnvironment::makeTempDirectory(QStringLiteral("support"));
    const QString chosen = PLYTestEnvironment::makeTempDirectory(QStringLiteral("chosen"));
    writeFile(QDir(support).filePath(QStringLiteral("Pellory.sqlite")), "main database");
    writeFile(QDir(support).filePath(QStringLiteral("Pellory.sqlite-wal")), "new wal");
    // "-shm" is missing; a "-wal" is already in an existing export folder.
    const QString exportFolder = QDir(chosen).filePath(QStringLiteral("pellory_db_export"));
    QDir().mkpath(exportFolder);
    writeFile(QDir(exportFolder).filePath(QStringLiteral("Pellory.sqlite-wal")), "earlier wal");

    const QStringList copied = AppDelegate::exportDatabase(support, chosen);
    EXPECT_EQ(copied, QStringList{QStringLiteral("Pellory.sqlite")});
    EXPECT_EQ(readFile(QDir(exportFolder).filePath(QStringLiteral("Pellory.sqlite"))), QByteArray("main database"));
    EXPECT_FALSE(QFile::exists(QDir(exportFolder).filePath(QStringLiteral("Pellory.sqlite-shm"))));
    EXPECT_EQ(readFile(QDir(exportFolder).filePath(QStringLiteral("Pellory.sqlite-wal"))), QByteArray("earlier wal"));
    // The originals are untouched.
    EXPECT_EQ(readFile(QDir(support).filePath(QStringLiteral("Pellory.sqlite-wal"))), QByteArray("new wal"));
}

TEST_F(AppMenuTest, DatabaseExportItemAsksForAFolderAndACancelDoesNothing) {
    const QString support = PLYDefaults::applicationSupportDirectory();
    writeFile(QDir(support).filePath(QStringLiteral("Pellory.sqlite-shm")), "shared memory");
    const QString chosen = PLYTestEnvironment::makeTempDirectory(QStringLiteral("chosen"));

    trigger("exportDB");  // nothing scripted: the panel is cancelled
    EXPECT_EQ(dialogs->titles().size(), 1);
    EXPECT_TRUE(QDir(chosen).isEmpty());

    dialogs->scriptFolder(chosen);
    trigger("exportDB");
    EXPECT_EQ(readFile(QDir(chosen).filePath(QStringLiteral("pellory_db_export/Pellory.sqlite-shm"))),
              QByteArray("shared memory"));
    QFile::remove(QDir(support).filePath(QStringLiteral("Pellory.sqlite-shm")));
}

// The library keeps its posts in files, not in a database: the item says there is nothing to
// export, and why, rather than making an empty folder in silence.
TEST_F(AppMenuTest, DatabaseExportWithNoDatabaseSaysSoAndMakesNoFolder) {
    const QString support = PLYDefaults::applicationSupportDirectory();
    for (const char* name : {"Pellory.sqlite", "Pellory.sqlite-shm", "Pellory.sqlite-wal"})
        ASSERT_FALSE(QFile::exists(QDir(support).filePath(QString::fromLatin1(name)))) << name;
    const auto alerts = std::make_shared<PLYScriptedAlertPresenter>();
    PLYAlertPresenter::setShared(alerts);
    const QString chosen = PLYTestEnvironment::makeTempDirectory(QStringLiteral("chosen"));
    dialogs->scriptFolder(chosen);

    trigger("exportDB");
    PLYAlertPresenter::setShared(nullptr);
    ASSERT_EQ(alerts->presented().size(), 1);
    const PLYAlertRequest told = alerts->presented().first();
    EXPECT_EQ(told.messageText, "Nothing to Export");
    EXPECT_TRUE(told.informativeText.contains("no database")) << told.informativeText.toStdString();
    EXPECT_TRUE(told.informativeText.contains(QDir::toNativeSeparators(PLYCoreManager::libraryDirectory())))
        << told.informativeText.toStdString();
    EXPECT_TRUE(dialogs->titles().isEmpty()) << "no folder is asked for when there is nothing to put in it";
    EXPECT_TRUE(QDir(chosen).isEmpty());
}

// Exported by QtGui for key simulation: delivers a key press to the shortcut map the way the
// window system does.
bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                  const QString& text, bool autorep, ushort count);

class AppMenuShortcutTest : public AppDelegateFixture {
protected:
    static bool pressShortcut(QWidget* window, int key, Qt::KeyboardModifiers modifiers) {
        return qt_sendShortcutOverrideEvent(window, 0, key, modifiers, QString(), false, 1);
    }
};

TEST_F(AppMenuShortcutTest, MenuShortcutsWorkFromEveryWindowOfTheApplication) {
    AppDelegate& d = launch();
    // Quick Look takes the focus when it opens; its own shortcut must close it again.
    d.togglePreviewPanel();
    PLYPreviewPanel* panel = PLYPreviewPanel::sharedPreviewPanel();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == panel; }));
    EXPECT_TRUE(pressShortcut(panel, Qt::Key_Y, Qt::ControlModifier));
    EXPECT_FALSE(panel->isVisible());

    // Saving from the preferences window.
    d.showPrefs();
    auto* prefs = qobject_cast<QWidget*>(d.settingsWindowController());
    ASSERT_NE(prefs, nullptr);
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == prefs; }));
    EXPECT_TRUE(pressShortcut(prefs, Qt::Key_S, Qt::ControlModifier));
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(willSaves, 1);
}

// Each post has its own history: Undo and Redo act on the post in front, and are off at home,
// where the previous post's steps are not offered. The titles never double the word "Undo".
namespace {
// What opening the menu of `item` does: its titles are brought up to date.
void showMenuOf(QAction* item) {
    for (QObject* object : item->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(object)) QMetaObject::invokeMethod(menu, "aboutToShow");
}
}  // namespace

TEST_F(AppMenuTest, UndoAndRedoActOnTheHistoryOfThePostInFrontOnly) {
    PLYBaseWindowController* window = launchToMainWindow();
    ASSERT_NE(window, nullptr);
    QAction* undoItem = delegate->menuAction(QStringLiteral("undo"));
    QAction* redoItem = delegate->menuAction(QStringLiteral("redo"));
    ASSERT_TRUE(undoItem && redoItem);
    EXPECT_FALSE(undoItem->isEnabled()) << "nothing to undo at home";
    EXPECT_FALSE(redoItem->isEnabled());

    const auto account = PLYCoreManager::persistantStore()->signInUser(QStringLiteral("ada@example.org"));
    const auto postA = account->createNewPost(QStringLiteral("Lofoten"));
    const auto postB = account->createNewPost(QStringLiteral("Senja"));
    PLYCoreManager* core = PLYCoreManager::globalManager();
    core->setCurrentPostManager(core->postManagerForPostID(postA->identifier()));
    ASSERT_TRUE(waitUntil([&] { return window->baseViewController()->currentPostController() != nullptr; }));
    PLYPostViewController* editorA = window->baseViewController()->currentPostController();
    PLYUndoManager* historyA = editorA->undoManager();
    EXPECT_TRUE(undoItem->isEnabled());
    int a = 1;
    historyA->registerUndo([&] { a = 0; });
    historyA->setActionName(QStringLiteral("Undo Block Move"));
    showMenuOf(undoItem);
    EXPECT_EQ(undoItem->text(), "Undo Block Move");

    // Post B in front: A's step is not B's.
    core->setCurrentPostManager(core->postManagerForPostID(postB->identifier()));
    ASSERT_TRUE(waitUntil([&] { return window->baseViewController()->currentPostController() != editorA; }));
    PLYPostViewController* editorB = window->baseViewController()->currentPostController();
    ASSERT_NE(editorB, nullptr);
    EXPECT_NE(editorB->undoManager(), historyA);
    trigger("undo");
    EXPECT_EQ(a, 1) << "an undo in post B never reaches post A";
    int b = 1;
    editorB->undoManager()->registerUndo([&] { b = 0; });
    editorB->undoManager()->setActionName(QStringLiteral("Delete Blocks"));
    showMenuOf(undoItem);
    EXPECT_EQ(undoItem->text(), "Undo Delete Blocks");
    trigger("undo");
    EXPECT_EQ(b, 0);
    EXPECT_EQ(a, 1);

    // Home: off, and triggering does nothing. B's editor goes, and its history with it.
    editorB->undoManager()->registerUndo([&] { b = 2; });
    QPointer<PLYPostViewController> goneB(editorB);
    trigger("goHome");
    ASSERT_TRUE(waitUntil([&] { return !delegate->isEditorShown(); }));
    EXPECT_FALSE(undoItem->isEnabled());
    undoItem->trigger();
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    ASSERT_TRUE(waitUntil([&] { return goneB.isNull(); }));
    core->setCurrentPostManager(core->postManagerForPostID(postB->identifier()));
    ASSERT_TRUE(waitUntil([&] { return window->baseViewController()->currentPostController() != nullptr; }));
    EXPECT_FALSE(window->baseViewController()->currentPostController()->undoManager()->canUndo());
    trigger("undo");
    EXPECT_EQ(b, 0) << "a step of an editor that is gone is never run";
}

// The Document tab's colour panel floats beside the post's window; while the user picks there,
// the post is still in front and its history answers Undo.
TEST_F(AppMenuTest, UndoReachesThePostWhileItsColourPanelIsActive) {
    PLYBaseWindowController* window = launchToMainWindow();
    ASSERT_NE(window, nullptr);
    const auto account = PLYCoreManager::persistantStore()->signInUser(QStringLiteral("ada@example.org"));
    const auto post = account->createNewPost(QStringLiteral("Lofoten"));
    PLYCoreManager* core = PLYCoreManager::globalManager();
    core->setCurrentPostManager(core->postManagerForPostID(post->identifier()));
    ASSERT_TRUE(waitUntil([&] { return window->baseViewController()->currentPostController() != nullptr; }));
    PLYPostViewController* editor = window->baseViewController()->currentPostController();
    int step = 1;
    editor->undoManager()->registerUndo([&] { step = 0; });

    auto* well = editor->findChild<PLYColourWell*>(QStringLiteral("backgroundColourWell"));
    ASSERT_NE(well, nullptr);
    well->activate();
    auto* panel = window->findChild<QColorDialog*>();
    ASSERT_NE(panel, nullptr);
    QApplication::setActiveWindow(panel);
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == panel; }));
    QAction* undoItem = delegate->menuAction(QStringLiteral("undo"));
    showMenuOf(undoItem);
    EXPECT_TRUE(undoItem->isEnabled());
    trigger("undo");
    EXPECT_EQ(step, 0);
    panel->close();
}

TEST(AppMenuTitles, UndoAndRedoTitlesNameTheStepOnce) {
    EXPECT_EQ(AppDelegate::undoMenuTitle(QStringLiteral("Undo Block Move")), "Undo Block Move");
    EXPECT_EQ(AppDelegate::redoMenuTitle(QStringLiteral("Undo Block Move")), "Redo Block Move");
    EXPECT_EQ(AppDelegate::undoMenuTitle(QStringLiteral("Delete Blocks")), "Undo Delete Blocks");
    EXPECT_EQ(AppDelegate::redoMenuTitle(QStringLiteral("Delete Blocks")), "Redo Delete Blocks");
    EXPECT_EQ(AppDelegate::undoMenuTitle(QString()), "Undo");
    EXPECT_EQ(AppDelegate::redoMenuTitle(QString()), "Redo");
}

// File ▸ New Blog from a post opens the set-up sheet over that post's editor. Cancel or Escape
// gives the editor back exactly as it was (title bar, zoom, history); a sign-in demand while the
// sheet is up ends at the login and then at home, whole, with no editor left drawn over it.
class AppMenuNewBlogFromPostTest : public AppMenuTest {
protected:
    void SetUp() override {
        AppMenuTest::SetUp();
        PLYRegisterMainWindowScenes();
        PLYAnimator::setShared(std::make_shared<PLYInstantAnimator>());
        delegate->applicationDidFinishLaunching();
        ASSERT_TRUE(waitUntil([&] { return delegate->baseWindowController() != nullptr; }));
        window = qobject_cast<PLYBaseWindowController*>(delegate->baseWindowController());
        ASSERT_NE(window, nullptr);
        account = PLYCoreManager::persistantStore()->signInUser(QStringLiteral("ada@example.org"));
        post = account->createNewPost(QStringLiteral("Lofoten"));
        PLYCoreManager* core = PLYCoreManager::globalManager();
        core->setCurrentPostManager(core->postManagerForPostID(post->identifier()));
        ASSERT_TRUE(waitUntil([&] { return root()->currentPostController() != nullptr; }));
        editor = root()->currentPostController();
        manager = core->currentPostManager();
        // The entrance fits the layout; then the user zooms and makes a step to undo.
        waitUntil([] { return false; }, 100);
        trigger("zoom100");
        trigger("zoomIn");
        zoom = PLYVisualStateHandler::globalHandler()->layoutZoomFactor();
        editor->undoManager()->registerUndo([this] { ++undone; });
        editor->undoManager()->setActionName(QStringLiteral("Delete Blocks"));
    }
    void TearDown() override {
        PLYAnimator::setShared(nullptr);
        AppMenuTest::TearDown();
    }
    PLYBaseViewController* root() const { return window->baseViewController(); }
    // File ▸ New Blog; answers the sheet once it is up.
    PLYPrepViewController* newBlog() {
        trigger("newBlog");
        PLYPostViewController* fresh = root()->currentPostController();
        if (!fresh || fresh == editor) return nullptr;
        waitUntil([&] { return fresh->prepViewController() && fresh->prepViewController()->isVisible(); });
        return fresh->prepViewController();
    }
    // The post's editor is on screen whole: the screen, the title bar, the menus and the history.
    void expectPostEditorBack(const char* road) {
        SCOPED_TRACE(road);
        PLYCoreManager* core = PLYCoreManager::globalManager();
        EXPECT_EQ(root()->screen(), PLYRootNavigation::Screen::Editor);
        EXPECT_EQ(root()->currentPostController(), editor.data());
        EXPECT_EQ(core->currentPostManager(), manager);
        ASSERT_TRUE(editor);
        EXPECT_TRUE(editor->isVisible());
        EXPECT_EQ(editor->pos(), QPoint(0, 0));
        EXPECT_FALSE(root()->homeViewController()->isVisible()) << "no home under the editor";
        EXPECT_EQ(window->headerState(), 0) << "the post's title bar";
        EXPECT_TRUE(PLYVisualStateHandler::globalHandler()->postHeaderVisible());
        EXPECT_DOUBLE_EQ(PLYVisualStateHandler::globalHandler()->layoutZoomFactor(), zoom);
        EXPECT_TRUE(delegate->menuAction(QStringLiteral("zoomIn"))->isEnabled());
        EXPECT_TRUE(delegate->menuAction(QStringLiteral("undo"))->isEnabled());
        for (PLYPostViewController* other : root()->postViewControllers()) {
            if (other != editor) {
                EXPECT_FALSE(other->isVisible()) << "no second editor on screen";
            }
        }
    }

    PLYBaseWindowController* window = nullptr;
    std::shared_ptr<PLYPersistantAccount> account;
    std::shared_ptr<PLYPersistantPost> post;
    std::shared_ptr<PLYPostManager> manager;
    QPointer<PLYPostViewController> editor;
    double zoom = 0;
    int undone = 0;
};

TEST_F(AppMenuNewBlogFromPostTest, CancelOrEscapeOnTheSheetGivesThePostsEditorBack) {
    PLYPrepViewController* sheet = newBlog();
    ASSERT_NE(sheet, nullptr);
    sheet->findChild<QPushButton*>("cancelButton")->click();
    expectPostEditorBack("Cancel");

    sheet = newBlog();
    ASSERT_NE(sheet, nullptr);
    QWidget* focus = sheet->focusWidget() ? sheet->focusWidget() : sheet;
    QTest::keyClick(focus, Qt::Key_Escape);
    EXPECT_FALSE(sheet && sheet->isVisible());
    expectPostEditorBack("Escape");

    // The editor works as before: zoom, Home, and the history it kept.
    trigger("zoomIn");
    EXPECT_DOUBLE_EQ(PLYVisualStateHandler::globalHandler()->layoutZoomFactor(), zoom + 0.1);
    trigger("undo");
    EXPECT_EQ(undone, 1);
    EXPECT_EQ(account->currentPosts().size(), 1) << "nothing was made";
    trigger("goHome");
    EXPECT_EQ(root()->screen(), PLYRootNavigation::Screen::Home);
    EXPECT_TRUE(root()->homeViewController()->isVisible());
    EXPECT_EQ(window->headerState(), 1);
}

TEST_F(AppMenuNewBlogFromPostTest, ASignInDemandWhileTheSheetIsUpEndsAtHomeWhole) {
    PLYPrepViewController* sheet = newBlog();
    ASSERT_NE(sheet, nullptr);
    QPointer<PLYPrepViewController> watchSheet(sheet);
    root()->webServiceManagerStateChange(PLYWebServiceManager::StateNotAuthd);
    ASSERT_EQ(root()->screen(), PLYRootNavigation::Screen::Login);
    EXPECT_TRUE(watchSheet.isNull() || !watchSheet->isVisible()) << "the sheet does not stay over the login";
    QTest::qWait(1);
    ASSERT_TRUE(editor);
    EXPECT_FALSE(editor->isVisible()) << "the post's editor is not left drawn under the login";
    EXPECT_EQ(window->headerState(), 1);

    root()->authViewController()->finishCreation();
    ASSERT_TRUE(waitUntil([&] { return root()->screen() == PLYRootNavigation::Screen::Home; }));
    QTest::qWait(1);
    EXPECT_TRUE(root()->homeViewController()->isVisible());
    for (PLYPostViewController* other : root()->postViewControllers())
        EXPECT_FALSE(other->isVisible()) << "home shows whole";
    EXPECT_EQ(window->headerState(), 1);
    EXPECT_FALSE(delegate->menuAction(QStringLiteral("zoomIn"))->isEnabled());
}
