#include "AppDelegate.h"
#include "PLYLog.h"
#include "PelloryServices.h"
#include "PLYDecodedImageCache.h"

#include "PLYAccountScenes.h"
#include "PLYBaseViewController.h"
#include "PLYHomeViewController.h"
#include "PLYLaunchClock.h"
#include "PLYQtModalRunner.h"
#include "PLYWebServiceSessionPresenter_Windows.h"
#include "PLYBaseWindowController.h"
#include "PLYCoreManager.h"
#include "PLYDefaults.h"
#include "PLYDesktopServices.h"
#include "PLYExportManager.h"
#include "PLYExportPresenter_Dialogs.h"
#include "PLYAlertPresenter.h"
#include "PLYFileDialogs.h"
#include "PLYImageManager.h"
#include "PLYImageMetaReader.h"
#include "PLYLibraryLock.h"
#include "PLYInterfaceNames.h"
#include "PLYKeyCodes.h"
#include "PLYMigrator.h"
#include "PLYUndoManager.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantStore.h"
#include "PLYLayoutInteraction.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPostWindowFactory.h"
#include "PLYPreviewPanel.h"
#include "PLYRichTextEditor.h"
#include "PLYLayoutManager.h"
#include "PLYSourceImage.h"
#include "PLYRelaunch.h"
#include "PLYSeoManager.h"
#include "PLYStoryboard.h"
#include "PLYUserNotifier.h"
#include "PLYVisualStateHandler.h"
#include "PLYWebServiceManager.h"
#include "PLYWebServicePostPublisherManagerServices.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The self-pipe between the signal handler and the main loop: the handler may only write.
int g_signalFds[2] = {-1, -1};
// SIGHUP too: when the terminal that started Pellory closes, the work is saved before it goes.
const int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction g_previousActions[std::size(kTerminationSignals)];

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalFds[0], &byte, 1);
}

const char* const kDatabaseFiles[] = {"Pellory.sqlite", "Pellory.sqlite-shm", "Pellory.sqlite-wal"};

}  // namespace

AppDelegate::Options AppDelegate::defaultOptions() {
    Options options;
    options.log.systemLog = true;
    options.log.terminal = true;
    options.log.fileDirectory = QDir(PLYDefaults::applicationSupportDirectory()).filePath(QStringLiteral("logs"));
    options.handleTerminationSignals = true;
    options.installWebService = [] {
        PLYWebServiceManager::install();
        PLYWebServicePostPublisherManagerServices::install();
        PLYWebServiceManager::setRelaunchHandler([](double delay) { PLYRelaunch::relaunchAfterDelay(delay); });
        // The session's sign-in prompt, e-mail verification and account-details windows.
        PLYWebServiceSessionPresenter::setShared(std::make_shared<PLYWebServiceSessionPresenter_Windows>());
    };
    options.shutdownWebService = [] {
        PLYWebServiceSessionPresenter::setShared(nullptr);
        PLYWebServiceManager::shutdown();
    };
    return options;
}

AppDelegate::AppDelegate(Options options, QObject* parent) : QObject(parent), m_options(std::move(options)) {
    PLYLaunchClock::start();
    if (!m_options.quit) m_options.quit = [] { QCoreApplication::quit(); };
    if (!m_options.currentModifierFlags)
        m_options.currentModifierFlags = [] {
            return PLYKeyCodes::modifierFlagsFromQt(QGuiApplication::queryKeyboardModifiers());
        };

    m_autosaveTimer.setSingleShot(true);
    m_autosaveTimer.setInterval(m_options.autosaveIntervalMs);
    connect(&m_autosaveTimer, &QTimer::timeout, this, [this] { performSave(SaveReasonAutosave); });

    m_menuTimer.setInterval(MenuUpdateIntervalMs);
    connect(&m_menuTimer, &QTimer::timeout, this, &AppDelegate::updateMenu);

    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);

    registerLayerServices();
}

void AppDelegate::registerLayerServices() {
    PLYLayoutManager::install();
    PLYExportManager::install();
    PLYSeoManager::install();
    // The layout's views make the editor's interaction handlers (the blocks' and the stacked
    // section's, which offers drop zones and applies drops) through the factory.
    PLYLayoutInteraction::registerInteractionHandlers();
}

AppDelegate::~AppDelegate() {
    removeTerminationSignalHandlers();
    // The shutdown order, after the save at quit (which took the editors' words): windows,
    // the background workers, the session's network objects, and last the library's lock.
    delete m_settingsWindowController;
    delete m_serviceHostWindowController;
    delete m_baseWindowController;
    if (m_menuBar && !m_menuBar->parent()) delete m_menuBar;
    stopBackgroundWork();
    if (m_options.shutdownWebService) m_options.shutdownWebService();
    if (m_libraryLock) m_libraryLock->unlock();
}

void AppDelegate::stopBackgroundWork() {
    PLYExportManager::shutdownSharedManager();
    PLYImageManager::shutdownSharedManager();
    PLYImageMetaReader::shutdown();
}

void AppDelegate::releaseSharedServices() {
    PLYDecodedImageCache::shutdownShared();
    PelloryServices::shutdownSharedNetworkAccessManager();
    PLYLog::shutdown();
}

void AppDelegate::refuseToStart(PLYLibraryLock::Result lock) {
    const QString library = PLYCoreManager::libraryDirectory();
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Critical;
    if (lock == PLYLibraryLock::Result::HeldByAnother) {
        const QString holder = m_libraryLock->holderProcessId() > 0
                                   ? tr("Pellory (process %1)").arg(m_libraryLock->holderProcessId())
                                   : tr("Another Pellory");
        PLY_LOG_ERROR(QStringLiteral("Not starting: %1 is already working on the library in %2 (lock %3)")
                          .arg(holder, library, m_libraryLock->path()));
        alert.messageText = tr("Pellory Is Already Running");
        alert.informativeText = tr("%1 is already working on the library in \"%2\". Only one Pellory can use a "
                                   "library at a time, so this one will quit without changing anything.")
                                    .arg(holder, QDir::toNativeSeparators(library));
    } else {
        // Unguarded, a second Pellory could write the same files at once: better not to start.
        PLY_LOG_ERROR(QStringLiteral("Not starting: no lock can be had on the library in %1: %2").arg(library, m_libraryLock->problem()));
        alert.messageText = tr("Pellory Cannot Lock Its Library");
        alert.informativeText = tr("Pellory makes sure that it is the only one working on the library in \"%1\", "
                                   "but this time it cannot (%2). It will quit without changing anything.")
                                    .arg(QDir::toNativeSeparators(library), m_libraryLock->problem());
    }
    alert.buttonTitles = {tr("Quit")};
    if (const std::shared_ptr<PLYAlertPresenter> presenter = PLYAlertPresenter::shared()) presenter->runModal(alert);
    m_libraryLock.reset();
}

// ---- start-up ---------------------------------------------------------------------------------

void AppDelegate::applicationWillFinishLaunching(const QStringList& arguments) {
    // Before anything of the library is read or written (its log files included): one
    // Pellory per library.
    m_libraryLock = std::make_unique<PLYLibraryLock>(PLYCoreManager::libraryDirectory());
    const PLYLibraryLock::Result lock = m_libraryLock->tryLock();
    if (lock != PLYLibraryLock::Result::Locked) {
        m_refused = true;
        PLYLog::Options log = m_options.log;
        log.fileDirectory.clear();
        PLYLog::install(log);
        refuseToStart(lock);
        // Queued: the main loop may not run yet, and a quit before it starts is lost.
        QTimer::singleShot(0, this, [this] { m_options.quit(); });
        return;
    }

    // 1. Desktop notifications are shown even while Pellory is in front.
    PLYUserNotifier::shared();

    // 2. The system log, the terminal and the daily file.
    PLYLog::install(m_options.log);
    if (m_options.installWebService) m_options.installWebService();

    // 3. A URL handed over on the command line.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].startsWith(QLatin1Char('-'))) handleGetURLEvent(arguments[i]);
    }

    // 4. The menus, with the update timer running while the application menu is open.
    buildMenus();

    if (m_options.handleTerminationSignals) installTerminationSignalHandlers();
}

void AppDelegate::applicationDidFinishLaunching() {
    if (m_refused) return;
    registerDefaultScenes();
    QPointer<AppDelegate> self(this);
    PLYMigrator::runMigratorIfNeeded([self](bool success) {
        if (self) self->migrationFinished(success);
    });
}

void AppDelegate::migrationFinished(bool success) {
    if (!success) PLY_LOG_ERROR(QStringLiteral("The library migration failed; starting with the library as it is"));
    PLYCoreManager* core = PLYCoreManager::globalManager();
    if (!core) {
        PLY_LOG_ERROR(QStringLiteral("The library is still held by a migration; not starting"));
        return;
    }
    connectEditingToLibrary();
    core->startManager();
    m_libraryStarted = true;
    showBaseWindow();
    // The autosave: one pending at a time, re-armed by every save.
    m_autosaveTimer.start();
    PLY_LOG_INFO(QStringLiteral("Started: the library is loaded and the main window is up"));
    emit launchFinished();
}

void AppDelegate::showBaseWindow() {
    QObject* scene = PLYStoryboard::instantiate(QString::fromLatin1(PLYInterfaceNames::MainStoryboard),
                                                QString::fromLatin1(PLYInterfaceNames::BaseWindowScene));
    m_baseWindowController = qobject_cast<QWidget*>(scene);
    if (!m_baseWindowController) {
        PLY_LOG_ERROR(QStringLiteral("The main window scene is not a window"));
        delete scene;
        return;
    }
    if (auto* main = qobject_cast<QMainWindow*>(m_baseWindowController.data()); main && m_menuBar)
        main->setMenuBar(m_menuBar);
    if (auto* window = qobject_cast<PLYBaseWindowController*>(m_baseWindowController.data())) {
        QPointer<AppDelegate> self(this);
        window->baseViewController()->setOutOfDateActions({}, [self] {
            if (self) self->requestQuit();
        });
        connect(window, &PLYBaseWindowController::screenChanged, this, &AppDelegate::updateEditorActions);
    }
    updateEditorActions();
    // Closing the main window quits: it asks first when the library cannot be saved.
    m_baseWindowController->installEventFilter(this);
    m_baseWindowController->show();
    m_baseWindowController->raise();
    m_baseWindowController->activateWindow();
    // Exports ask their questions over the main window.
    PLYExportManager* exports = PLYCoreManager::exportManager();
    if (!exports->presenter()) exports->setPresenter(std::make_shared<PLYExportPresenter_Dialogs>(m_baseWindowController));
}

void AppDelegate::connectEditingToLibrary() {
    // New image blocks record when their file last changed, as the store knows it.
    PLYLayoutManager::setImageModificationDateLookup([](const QString& identifier) -> std::optional<QDateTime> {
        const auto store = PLYCoreManager::persistantStore();
        const auto image = store ? store->imageForIdentifier(identifier) : nullptr;
        if (!image) return std::nullopt;
        const QDateTime modified = image->modifiedDate();
        return modified.isValid() ? std::optional<QDateTime>(modified) : std::nullopt;
    });
    QPointer<AppDelegate> self(this);
    PLYRichTextEditor::setLinkAddressPrompt([self](const QString& current) -> std::optional<QString> {
        bool ok = false;
        const QString address = QInputDialog::getText(self ? self->m_baseWindowController.data() : nullptr,
                                                       tr("Link"), tr("Address of the link:"), QLineEdit::Normal,
                                                       current, &ok);
        if (!ok) return std::nullopt;
        return address;
    });
}

void AppDelegate::renderPreviewsOfSavedPosts() {
    const auto store = PLYCoreManager::persistantStore();
    const auto account = store ? store->currentAccount() : nullptr;
    if (!account) return;
    // Rendered in the background; a post whose layout did not change since its preview is skipped.
    for (const auto& post : account->currentPosts()) PLYCoreManager::exportManager()->createPostPreview(post);
}

void AppDelegate::applicationWillTerminate() {
    m_terminating = true;
    saveApplication();
    stopBackgroundWork();
}

QUrl AppDelegate::handleGetURLEvent(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (text.trimmed().isEmpty() || !url.isValid() || url.scheme().isEmpty()) return {};
    PLY_LOG_DEBUG(QStringLiteral("Received URL %1").arg(url.toString()));
    return url;
}

void AppDelegate::registerDefaultScenes() {
    using namespace PLYInterfaceNames;
    const auto registerIfMissing = [](const char* storyboard, const char* identifier, PLYStoryboard::Factory factory) {
        if (!PLYStoryboard::hasScene(QString::fromLatin1(storyboard), QString::fromLatin1(identifier)))
            PLYStoryboard::registerScene(QString::fromLatin1(storyboard), QString::fromLatin1(identifier), std::move(factory));
    };
    registerIfMissing(MainStoryboard, BaseWindowScene, [](QWidget* parent) { return new PLYBaseWindowController(parent); });
    // The login view, the session's windows, preferences and the service host panel.
    PLYAccountScenes::registerMissingScenes();
    // The post editor with its gallery, layout and inspector, and the new-post sheet.
    PLYPostWindowFactory::registerMissingScenes();
}

// ---- autosave and quit ------------------------------------------------------------------------

bool AppDelegate::libraryLoaded() const {
    return m_libraryStarted && !PLYMigrator::isMigrating() && PLYCoreManager::globalManager();
}

bool AppDelegate::performSave(int reason) {
    m_autosaveTimer.stop();
    // Saving a library that was never loaded would write an empty one over the user's files.
    if (!libraryLoaded()) {
        PLY_LOG_INFO(QStringLiteral("Not saving: the library is not loaded"));
        return false;
    }
    // Words typed since the last pause are part of what is saved.
    PLYRichTextEditor::commitLiveEditors();
    if (reason == SaveReasonQuit) PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(WillSaveNotification));
    PLYError error;
    const bool saved = PLYCoreManager::persistantStore()->save(&error);
    // Re-armed first: while a failure is shown the next autosave still tries again.
    m_autosaveTimer.start();
    if (!saved) {
        const PLYSaveOutcome::Trigger trigger = m_terminating            ? PLYSaveOutcome::Trigger::Quit
                                                : reason == SaveReasonQuit ? PLYSaveOutcome::Trigger::User
                                                                           : PLYSaveOutcome::Trigger::Autosave;
        showSaveFailure(error, trigger);
        return false;
    }
    m_saveOutcome.recordSuccess();
    PLY_LOG_INFO(QStringLiteral("saving now"));
    if (reason != SaveReasonQuit) renderPreviewsOfSavedPosts();
    return true;
}

void AppDelegate::showSaveFailure(const PLYError& error, PLYSaveOutcome::Trigger trigger) {
    const PLYSaveOutcome::Failure failure = PLYSaveOutcome::failureFrom(error, PLYCoreManager::libraryDirectory());
    PLY_LOG_ERROR(QStringLiteral("Saving failed: %1 (library %2): %3. %4")
                      .arg(failure.what, failure.folder, failure.why,
                           m_terminating ? QStringLiteral("Pellory is quitting: the changes that could not be saved are lost")
                                         : QStringLiteral("The changes stay in memory; the next autosave tries again")));
    if (!m_saveOutcome.recordFailure(failure, trigger)) return;
    if (const std::shared_ptr<PLYAlertPresenter> presenter = PLYAlertPresenter::shared())
        presenter->runModal(PLYSaveOutcome::failureAlert(failure), m_baseWindowController);
}

bool AppDelegate::confirmQuit() {
    if (m_quitConfirmed || m_terminating) return true;
    if (!libraryLoaded()) return true;
    // The save at quit follows once the quit is under way; this one only finds out whether
    // anything would be lost, and says nothing when all is well.
    PLYRichTextEditor::commitLiveEditors();
    PLYError error;
    if (PLYCoreManager::persistantStore()->save(&error)) {
        m_saveOutcome.recordSuccess();
        return true;
    }
    showSaveFailure(error, PLYSaveOutcome::Trigger::Quit);
    const std::shared_ptr<PLYAlertPresenter> presenter = PLYAlertPresenter::shared();
    const qint64 answer = presenter ? presenter->runModal(PLYSaveOutcome::quitAnywayAlert(m_saveOutcome.lastFailure()),
                                                          m_baseWindowController)
                                    : PLYAlertPresenter::FirstButtonReturn;
    if (answer != PLYSaveOutcome::QuitAnywayReturn) {
        PLY_LOG_INFO(QStringLiteral("Not quitting: the library could not be saved and the user keeps Pellory running"));
        return false;
    }
    m_quitConfirmed = true;
    return true;
}

void AppDelegate::requestQuit() {
    if (!confirmQuit()) return;
    // The quit closes the main window, whose close would otherwise ask again.
    m_quitConfirmed = true;
    m_options.quit();
}

void AppDelegate::installTerminationSignalHandlers() {
    if (m_signalNotifier) return;
    if (g_signalFds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) != 0) {
        PLY_LOG_ERROR(QStringLiteral("Could not set up termination signal handling"));
        return;
    }
    for (int fd : g_signalFds) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_signalNotifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, this);
    connect(m_signalNotifier, &QSocketNotifier::activated, this, &AppDelegate::terminationSignalReceived);

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kTerminationSignals); ++i)
        ::sigaction(kTerminationSignals[i], &action, &g_previousActions[i]);
}

void AppDelegate::removeTerminationSignalHandlers() {
    if (!m_signalNotifier) return;
    for (size_t i = 0; i < std::size(kTerminationSignals); ++i)
        ::sigaction(kTerminationSignals[i], &g_previousActions[i], nullptr);
    delete m_signalNotifier;
    m_signalNotifier = nullptr;
}

void AppDelegate::terminationSignalReceived() {
    char buffer[16];
    while (::read(g_signalFds[1], buffer, sizeof buffer) > 0) {
    }
    PLY_LOG_INFO(QStringLiteral("Termination requested; quitting"));
    // No question here: a signal comes from the system or a script, and nobody may be there to
    // answer. A failed save at quit is logged with what is lost.
    m_quitConfirmed = true;
    m_options.quit();
}

// ---- menus ------------------------------------------------------------------------------------

QAction* AppDelegate::addMenuAction(QMenu* menu, const QString& title, const char* name, void (AppDelegate::*slot)(),
                                    const QKeySequence& shortcut) {
    QAction* action = menu->addAction(title);
    action->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    // The menus serve the whole application: their keys act from the preferences window and the
    // preview panel too (never past a modal dialog).
    action->setShortcutContext(Qt::ApplicationShortcut);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void AppDelegate::buildMenus() {
    if (m_menuBar) return;
    m_menuBar = new QMenuBar();

    // The application menu. Its fifth place is kept for the host-options item.
    m_applicationMenu = m_menuBar->addMenu(QString::fromLatin1(ApplicationMenuTitle));
    addMenuAction(m_applicationMenu, tr("Preferences…"), "showPrefs", &AppDelegate::showPrefs, QKeySequence::Preferences);
    m_applicationMenu->addSeparator();
    addMenuAction(m_applicationMenu, tr("Export Database…"), "exportDB", &AppDelegate::exportDB, {});
    m_applicationMenu->addSeparator();
    QAction* quit = m_applicationMenu->addAction(tr("Quit Pellory"));
    quit->setObjectName(QStringLiteral("quit"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setShortcutContext(Qt::ApplicationShortcut);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, &AppDelegate::requestQuit);

    m_hostOptionMenuItem = new QAction(tr("Service Host Options…"), this);
    m_hostOptionMenuItem->setObjectName(QStringLiteral("presentHostOptionsWindow"));
    connect(m_hostOptionMenuItem, &QAction::triggered, this, &AppDelegate::presentHostOptionsWindow);

    // A bare Alt press closes an open menu here, which would hide the host item as it appears.
    m_applicationMenu->installEventFilter(this);
    connect(m_applicationMenu, &QMenu::aboutToShow, this, [this] {
        updateMenu();
        m_menuTimer.start();
    });
    connect(m_applicationMenu, &QMenu::aboutToHide, &m_menuTimer, &QTimer::stop);

    QMenu* file = m_menuBar->addMenu(tr("File"));
    addMenuAction(file, tr("New Blog"), "newBlog", &AppDelegate::newBlog, QKeySequence::New);
    addMenuAction(file, tr("Save"), "saveApplication", &AppDelegate::saveApplication, QKeySequence::Save);
    file->addSeparator();
    addMenuAction(file, tr("Export Layout…"), "exportLayout", &AppDelegate::exportLayout, QKeySequence(tr("Ctrl+E")));
    addMenuAction(file, tr("Export Selected Images…"), "exportSelectedImages", &AppDelegate::exportSelectedImages,
                  QKeySequence(tr("Ctrl+Shift+E")));

    // Text fields keep their own undo: they take these keys before the menu does.
    QMenu* edit = m_menuBar->addMenu(tr("Edit"));
    m_undoMenuItem = addMenuAction(edit, tr("Undo"), "undo", &AppDelegate::undo, QKeySequence::Undo);
    m_redoMenuItem = addMenuAction(edit, tr("Redo"), "redo", &AppDelegate::redo,
                                   QKeySequence(tr("Ctrl+Shift+Z")));
    connect(edit, &QMenu::aboutToShow, this, &AppDelegate::updateEditMenu);

    QMenu* view = m_menuBar->addMenu(tr("View"));
    addMenuAction(view, tr("Home"), "goHome", &AppDelegate::goHome, QKeySequence(tr("Ctrl+Shift+H")));
    view->addSeparator();
    addMenuAction(view, tr("Show or Hide Gallery"), "toggleGallery", &AppDelegate::toggleGallery, QKeySequence(tr("Ctrl+Alt+1")));
    addMenuAction(view, tr("Show or Hide Inspector"), "toggleInspector", &AppDelegate::toggleInspector,
                  QKeySequence(tr("Ctrl+Alt+2")));
    view->addSeparator();
    addMenuAction(view, tr("Zoom In"), "zoomIn", &AppDelegate::zoomIn, QKeySequence::ZoomIn);
    addMenuAction(view, tr("Zoom Out"), "zoomOut", &AppDelegate::zoomOut, QKeySequence::ZoomOut);
    addMenuAction(view, tr("Zoom to Fit Width"), "zoomFitWidth", &AppDelegate::zoomFitWidth, QKeySequence(tr("Ctrl+9")));
    addMenuAction(view, tr("Actual Size"), "zoom100", &AppDelegate::zoom100, QKeySequence(tr("Ctrl+0")));
    view->addSeparator();
    addMenuAction(view, tr("Quick Look"), "togglePreviewPanel", &AppDelegate::togglePreviewPanel, QKeySequence(tr("Ctrl+Y")));

    QMenu* help = m_menuBar->addMenu(tr("Help"));
    addMenuAction(help, tr("Pellory Help"), "presentHelp", &AppDelegate::presentHelp, QKeySequence::HelpContents);
}

QAction* AppDelegate::menuAction(const QString& name) const {
    if (m_hostOptionMenuItem && m_hostOptionMenuItem->objectName() == name) return m_hostOptionMenuItem;
    return m_menuBar ? m_menuBar->findChild<QAction*>(name) : nullptr;
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_baseWindowController && event->type() == QEvent::Close && !confirmQuit()) {
        event->ignore();
        return true;
    }
    if (watched == m_applicationMenu && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt) {
        updateMenu();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::updateMenu() {
    if (!m_applicationMenu || !m_hostOptionMenuItem) return;
    const bool optionHeld = (m_options.currentModifierFlags() & PLYKeyCodes::Option) != 0;
    if (optionHeld && !m_hostOptionShown) {
        const QList<QAction*> actions = m_applicationMenu->actions();
        m_applicationMenu->insertAction(actions.value(HostOptionsMenuIndex, nullptr), m_hostOptionMenuItem);
        m_hostOptionMenuItem->setEnabled(true);
        m_hostOptionShown = true;
    } else if (!optionHeld && m_hostOptionShown) {
        m_applicationMenu->removeAction(m_hostOptionMenuItem);
        m_hostOptionShown = false;
    }
}

// ---- menu actions -----------------------------------------------------------------------------

// The history of the post in front: each post keeps its own, so an undo never reaches a post
// that is not on screen. Home, sign-in and the other windows have none; a panel that floats beside
// the main window (the colour panel of the Document tab) leaves the post in front.
PLYUndoManager* AppDelegate::frontUndoManager() const {
    const auto* window = qobject_cast<const PLYBaseWindowController*>(m_baseWindowController.data());
    if (!window || !window->isEditorShown()) return nullptr;
    QWidget* front = QApplication::activeWindow();
    const bool panelOfMain = front && !front->isModal() && front->parentWidget() &&
                             front->parentWidget()->window() == m_baseWindowController.data();
    if (front && front != m_baseWindowController.data() && !panelOfMain) return nullptr;
    PLYPostViewController* editor = window->baseViewController()->currentPostController();
    return editor ? editor->undoManager() : nullptr;
}

void AppDelegate::undo() {
    if (PLYUndoManager* manager = frontUndoManager(); manager && manager->canUndo()) manager->undo();
}

void AppDelegate::redo() {
    if (PLYUndoManager* manager = frontUndoManager(); manager && manager->canRedo()) manager->redo();
}

QString AppDelegate::undoMenuTitle(const QString& actionName) {
    // Some steps are named for their undo already ("Undo Block Move"): the word is not doubled.
    const QString undoWord = QStringLiteral("Undo ");
    if (actionName.isEmpty()) return tr("Undo");
    return actionName.startsWith(undoWord) ? actionName : tr("Undo %1").arg(actionName);
}

QString AppDelegate::redoMenuTitle(const QString& actionName) {
    const QString undoWord = QStringLiteral("Undo ");
    if (actionName.isEmpty()) return tr("Redo");
    return tr("Redo %1").arg(actionName.startsWith(undoWord) ? actionName.mid(undoWord.size()) : actionName);
}

// The items name what they undo. In an editor they stay enabled, so that their keys always reach
// the post's history; elsewhere there is nothing to undo.
void AppDelegate::updateEditMenu() {
    PLYUndoManager* manager = frontUndoManager();
    const QString undoName = manager && manager->canUndo() ? manager->undoActionName() : QString();
    const QString redoName = manager && manager->canRedo() ? manager->redoActionName() : QString();
    if (m_undoMenuItem) {
        m_undoMenuItem->setText(undoMenuTitle(undoName));
        m_undoMenuItem->setEnabled(manager != nullptr);
    }
    if (m_redoMenuItem) {
        m_redoMenuItem->setText(redoMenuTitle(redoName));
        m_redoMenuItem->setEnabled(manager != nullptr);
    }
}

void AppDelegate::newBlog() {
    auto* window = qobject_cast<PLYBaseWindowController*>(m_baseWindowController.data());
    if (!m_libraryStarted || !window || window->baseViewController()->screen() == PLYRootNavigation::Screen::Login) return;
    window->baseViewController()->homeViewController()->createNewBlog();
}

void AppDelegate::saveApplication() { performSave(SaveReasonQuit); }

QStringList AppDelegate::exportDatabase(const QString& supportFolder, const QString& destination) {
    const QDir target(QDir(destination).filePath(QString::fromLatin1(DatabaseExportFolder)));
    if (!QDir().mkpath(target.path())) PLY_LOG_WARN(QStringLiteral("Could not create %1").arg(target.path()));
    QStringList copied;
    for (const char* name : kDatabaseFiles) {
        const QString file = QString::fromLatin1(name);
        const QString from = QDir(supportFolder).filePath(file);
        // QFile::copy never replaces an existing file.
        if (QFile::copy(from, target.filePath(file)))
            copied << file;
        else
            PLY_LOG_INFO(QStringLiteral("Database export: %1 was not copied (missing, or already in the export folder)").arg(file));
    }
    return copied;
}

void AppDelegate::exportDB() {
    const QString support = PLYDefaults::applicationSupportDirectory();
    bool anyDatabaseFile = false;
    for (const char* name : kDatabaseFiles) anyDatabaseFile |= QFile::exists(QDir(support).filePath(QString::fromLatin1(name)));
    if (!anyDatabaseFile) {
        // The library keeps its posts in files of its own: an export would only be an empty folder.
        const QString library = QDir::toNativeSeparators(PLYCoreManager::libraryDirectory());
        PLY_LOG_INFO(QStringLiteral("Database export: there are no database files in %1; nothing to export").arg(support));
        PLYAlertRequest alert;
        alert.style = PLYAlertRequest::Style::Informational;
        alert.messageText = tr("Nothing to Export");
        alert.informativeText = tr("This library has no database: Pellory keeps your posts and settings as ordinary "
                                   "files in \"%1\". To keep a copy, copy that folder while Pellory is not running.")
                                    .arg(library);
        alert.buttonTitles = {tr("OK")};
        if (const std::shared_ptr<PLYAlertPresenter> presenter = PLYAlertPresenter::shared())
            presenter->runModal(alert, m_baseWindowController);
        return;
    }
    const QString folder = PLYFileDialogs::shared()->chooseFolder(m_baseWindowController, tr("Export Database"));
    if (folder.isEmpty()) return;
    exportDatabase(support, folder);
}

QObject* AppDelegate::showSceneOnce(QPointer<QObject>& slot, const char* storyboard, const char* identifier) {
    if (!slot) {
        slot = PLYStoryboard::instantiate(QString::fromLatin1(storyboard), QString::fromLatin1(identifier));
        // Only the main window keeps the application running: closing it quits, whatever else is open.
        if (auto* window = qobject_cast<QWidget*>(slot.data())) window->setAttribute(Qt::WA_QuitOnClose, false);
    }
    if (auto* window = qobject_cast<QWidget*>(slot.data())) {
        const bool appearing = !window->isVisible();
        window->show();
        // It appears over the main window, not at the screen's corner.
        if (appearing) PLYQtModalRunner::centreOverWindow(window, m_baseWindowController);
        window->raise();
        window->activateWindow();
    }
    return slot;
}

void AppDelegate::showPrefs() {
    showSceneOnce(m_settingsWindowController, PLYInterfaceNames::SettingsStoryboard, PLYInterfaceNames::PreferencesWindowScene);
}

void AppDelegate::presentHostOptionsWindow() {
    showSceneOnce(m_serviceHostWindowController, PLYInterfaceNames::SettingsStoryboard,
                  PLYInterfaceNames::WebServiceHostWindowScene);
}

void AppDelegate::goHome() {
    if (PLYCoreManager* core = PLYCoreManager::globalManager()) core->setCurrentPostManager(nullptr);
}

void AppDelegate::toggleGallery() { PLYVisualStateHandler::globalHandler()->toggleGalleryVisible(); }
void AppDelegate::toggleInspector() { PLYVisualStateHandler::globalHandler()->toggleInspectorVisible(); }
bool AppDelegate::isEditorShown() const {
    const auto* window = qobject_cast<const PLYBaseWindowController*>(m_baseWindowController.data());
    return window && window->isEditorShown();
}

void AppDelegate::updateEditorActions() {
    const bool editor = isEditorShown();
    for (const char* name : {"zoomIn", "zoomOut", "zoomFitWidth", "zoom100", "exportLayout", "exportSelectedImages"})
        if (QAction* action = menuAction(QString::fromLatin1(name))) action->setEnabled(editor);
    const auto* window = qobject_cast<const PLYBaseWindowController*>(m_baseWindowController.data());
    if (QAction* action = menuAction(QStringLiteral("newBlog")))
        action->setEnabled(window && window->baseViewController()->screen() != PLYRootNavigation::Screen::Login);
    updateEditMenu();
}

// Zoom and export act on the layout of the editor on screen, and on nothing else.
void AppDelegate::zoomIn() {
    if (isEditorShown()) PLYVisualStateHandler::globalHandler()->incrementLayoutZoomFactorBy(ZoomStep);
}
void AppDelegate::zoomOut() {
    if (isEditorShown()) PLYVisualStateHandler::globalHandler()->decrementLayoutZoomFactorBy(ZoomStep);
}
void AppDelegate::zoomFitWidth() {
    if (isEditorShown()) PLYVisualStateHandler::globalHandler()->setLayoutZoomToFit();
}
void AppDelegate::zoom100() {
    if (isEditorShown()) PLYVisualStateHandler::globalHandler()->setLayoutZoomFactor(1.0);
}

void AppDelegate::presentHelp() {
    PLYDesktopServices::shared()->openURL(
        QUrl(QStringLiteral("https://%1.%2").arg(QStringLiteral("help"), QStringLiteral(PELLORY_SERVICE_DOMAIN))));
}

void AppDelegate::togglePreviewPanel() { PLYPreviewPanel::toggle(); }

void AppDelegate::exportLayout() {
    if (isEditorShown()) PLYCoreManager::exportManager()->exportCurrentVisibleLayout();
}
void AppDelegate::exportSelectedImages() {
    if (isEditorShown()) PLYCoreManager::exportManager()->exportCurrentVisibleSelectedBlocks();
}
