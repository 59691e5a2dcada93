#pragma once

#include "PLYLibraryLock.h"
#include "PLYLog.h"
#include "PLYSaveOutcome.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>

class PLYUndoManager;
class QSocketNotifier;

// Owns start-up, the periodic autosave, the save at quit, the application's menus and the
// hidden host-options item of the application menu. Everything runs on the main thread.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr int AutosaveIntervalMs = 120000;
    static constexpr int MenuUpdateIntervalMs = 100;
    static constexpr int HostOptionsMenuIndex = 4;
    static constexpr double ZoomStep = 0.1;
    static constexpr const char* WillSaveNotification = "kPLY_NOTIFICATION_WILL_SAVE";
    static constexpr const char* ApplicationMenuTitle = "Pellory";
    static constexpr const char* DatabaseExportFolder = "pellory_db_export";

    enum SaveReason { SaveReasonAutosave = 0, SaveReasonQuit = 1 };

    struct Options {
        PLYLog::Options log;
        int autosaveIntervalMs = AutosaveIntervalMs;
        // SIGTERM, SIGINT and SIGHUP quit the way the Quit item does.
        bool handleTerminationSignals = true;
        // How the application is asked to quit (QCoreApplication::quit unless replaced).
        std::function<void()> quit;
        // The modifier flags held now, as PLYKeyCodes spells them (read from the keyboard
        // unless replaced).
        std::function<quint64()> currentModifierFlags;

        // Registers the web-service side with the core manager before the library starts.
        std::function<void()> installWebService;
        // Its counterpart, run as the delegate goes: the session's network objects must go
        // before the application object does.
        std::function<void()> shutdownWebService;
    };
    // The application's own: the three loggers with the file logger in "logs" under the
    // application-support folder, signal handling on.
    static Options defaultOptions();

    // What the upper layers hand down to the lower ones, which may not call up: the post library
    // gets the maker of layout managers and the export manager. Made by the constructor; test
    // mains call it too. Repeating it changes nothing. (The web service registers itself through
    // Options::installWebService; interaction handlers register with PLYInteractionHandlerFactory.)
    static void registerLayerServices();

    explicit AppDelegate(Options options = defaultOptions(), QObject* parent = nullptr);
    ~AppDelegate() override;

    // Set-up before the main loop runs: the library's lock, notifications, loggers, the URL
    // given on the command line, the menus and their update timer. When another Pellory holds
    // the library or no lock can be had on it, says so, asks to quit and starts nothing
    // (isRefused()).
    void applicationWillFinishLaunching(const QStringList& arguments);
    bool isRefused() const { return m_refused; }
    // Migration; in its completion the library starts, the main window shows and the autosave
    // is armed.
    void applicationDidFinishLaunching();
    // The save at quit, then the background work stops (see stopBackgroundWork).
    void applicationWillTerminate();
    // The shutdown order's second step, after the last save: the image cache, its metadata
    // reader and the export stop taking work, drop what is queued and finish what runs, while
    // the application object still exists. Repeating it changes nothing.
    static void stopBackgroundWork();
    // The last step, once the delegate is gone and the main loop has ended: what the process shares
    // (the decoding threads, the network manager's thread, the log's writer) goes while the
    // application object still exists, so that no thread of theirs outlives it.
    static void releaseSharedServices();

    // A URL handed to the application is parsed and nothing more; invalid input gives an empty URL.
    static QUrl handleGetURLEvent(const QString& text);

    // Saves the store; live text editors commit their words first and a quit (reason 1)
    // announces it. Re-arms the autosave, so at most one is pending. Nothing is saved while
    // the library is not loaded or a migration holds it. A failure is logged and shown (an
    // autosave's once, until a save succeeds again; File > Save's every time; none at quit),
    // and the edits stay in memory for the next autosave to try again. Answers whether the
    // library is saved.
    bool performSave(int reason);
    // What became of the saves so far.
    const PLYSaveOutcome& saveOutcome() const { return m_saveOutcome; }
    // Shows the host-options item while Option is held, hides it when released.
    void updateMenu();

    // Copies the database files that exist in `supportFolder` into "pellory_db_export" inside
    // `destination`, never over an existing file. Answers the names copied.
    static QStringList exportDatabase(const QString& supportFolder, const QString& destination);

    QMenuBar* menuBar() const { return m_menuBar; }
    QMenu* applicationMenu() const { return m_applicationMenu; }
    QAction* hostOptionMenuItem() const { return m_hostOptionMenuItem; }
    bool isHostOptionMenuItemShown() const { return m_hostOptionShown; }
    // The action of a menu item by its action name ("zoomIn", "exportDB", ...).
    QAction* menuAction(const QString& name) const;
    const QTimer& autosaveTimer() const { return m_autosaveTimer; }
    const QTimer& menuTimer() const { return m_menuTimer; }
    QWidget* baseWindowController() const { return m_baseWindowController; }
    // The main window shows an editor: zoom and export have a layout to act on.
    bool isEditorShown() const;
    QObject* settingsWindowController() const { return m_settingsWindowController; }
    QObject* serviceHostWindowController() const { return m_serviceHostWindowController; }

    // The scenes the application shows; a scene already registered is left as it is.
    static void registerDefaultScenes();

public slots:
    // The Quit item, the main window's close and the out-of-date alert's quit: saves first and,
    // when the save fails, asks "Quit anyway?"; quits unless the answer keeps Pellory running.
    void requestQuit();
    // A new post, as home's "New Post" starts it (not while the login view is up).
    void newBlog();
    void saveApplication();
    void exportDB();
    void showPrefs();
    void presentHostOptionsWindow();
    void goHome();
    void toggleGallery();
    void toggleInspector();
    void zoomIn();
    void zoomOut();
    void zoomFitWidth();
    void zoom100();
    void presentHelp();
    void togglePreviewPanel();
    void exportLayout();
    void exportSelectedImages();
    // The undo history of the window in front (the main window when none is).
    void undo();
    void redo();
    // The titles of Edit > Undo and Redo for a step's action name.
    static QString undoMenuTitle(const QString& actionName);
    static QString redoMenuTitle(const QString& actionName);

signals:
    // The library has started and the main window is up.
    void launchFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    PLYUndoManager* frontUndoManager() const;
    void updateEditMenu();
    QAction* addMenuAction(QMenu* menu, const QString& title, const char* name, void (AppDelegate::*slot)(),
                           const QKeySequence& shortcut);
    void migrationFinished(bool success);
    void connectEditingToLibrary();
    void renderPreviewsOfSavedPosts();
    void showBaseWindow();
    // Zoom and export items are enabled only while an editor is the screen.
    void updateEditorActions();
    QObject* showSceneOnce(QPointer<QObject>& slot, const char* storyboard, const char* identifier);
    void installTerminationSignalHandlers();
    void removeTerminationSignalHandlers();
    void terminationSignalReceived();
    // Another Pellory holds the library, or no lock can be had on it: says so and why.
    void refuseToStart(PLYLibraryLock::Result lock);
    // Started, and not held by a migration: only then may the library be saved.
    bool libraryLoaded() const;
    // Before a quit the user asked for: true when the library is saved or the user accepts to
    // lose what could not be saved.
    bool confirmQuit();
    void showSaveFailure(const PLYError& error, PLYSaveOutcome::Trigger trigger);

    Options m_options;
    QPointer<QMenuBar> m_menuBar;
    QPointer<QMenu> m_applicationMenu;
    QPointer<QAction> m_hostOptionMenuItem;
    QPointer<QAction> m_undoMenuItem;
    QPointer<QAction> m_redoMenuItem;
    bool m_hostOptionShown = false;
    QTimer m_menuTimer;
    QTimer m_autosaveTimer;
    bool m_libraryStarted = false;
    QPointer<QWidget> m_baseWindowController;
    QPointer<QObject> m_settingsWindowController;
    QPointer<QObject> m_serviceHostWindowController;
    QSocketNotifier* m_signalNotifier = nullptr;
    std::unique_ptr<PLYLibraryLock> m_libraryLock;
    bool m_refused = false;
    PLYSaveOutcome m_saveOutcome;
    bool m_quitConfirmed = false;
    bool m_terminating = false;
};
