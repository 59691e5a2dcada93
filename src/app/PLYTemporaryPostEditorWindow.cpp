#include "PLYTemporaryPostEditorWindow.h"

#include "PLYAlertPresenter.h"
#include "PLYCoreManager.h"
#include "PLYLayoutViewController.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYUndoManager.h"
#include "PLYWindowUndoManager.h"

#include <QInputDialog>
#include <QMenuBar>

PLYTemporaryPostEditorWindow::PLYTemporaryPostEditorWindow(std::shared_ptr<PLYPostManager> postManager, QWidget* parent)
    : QMainWindow(parent), m_postManager(std::move(postManager)) {
    setAttribute(Qt::WA_DeleteOnClose);
    // Only the main window keeps the application running.
    setAttribute(Qt::WA_QuitOnClose, false);
    const auto post = m_postManager ? m_postManager->representedPost() : nullptr;
    setWindowTitle(post ? post->name() : tr("Post"));
    resize(1100, 820);

    m_layoutTab = new PLYLayoutViewController(this);
    setCentralWidget(m_layoutTab);

    QMenu* edit = menuBar()->addMenu(tr("Edit"));
    m_undo = edit->addAction(tr("Undo"));
    m_undo->setShortcut(QKeySequence::Undo);
    m_redo = edit->addAction(tr("Redo"));
    m_redo->setShortcut(QKeySequence::Redo);
    PLYUndoManager* undo = PLYWindowUndoManager::undoManagerForWidget(this);
    connect(m_undo, &QAction::triggered, this, [undo] {
        if (undo->canUndo()) undo->undo();
    });
    connect(m_redo, &QAction::triggered, this, [undo] {
        if (undo->canRedo()) undo->redo();
    });
    QPointer<PLYTemporaryPostEditorWindow> self(this);
    undo->setChangeHandler([self] {
        if (self) self->updateUndoItems();
    });
    updateUndoItems();

    m_layoutTab->setPostManager(m_postManager);
    m_layoutTab->ensureEntrancePostion();
}

PLYTemporaryPostEditorWindow::~PLYTemporaryPostEditorWindow() {
    if (PLYUndoManager* undo = PLYWindowUndoManager::undoManagerForWidget(this)) undo->setChangeHandler({});
}

void PLYTemporaryPostEditorWindow::updateUndoItems() {
    PLYUndoManager* undo = PLYWindowUndoManager::undoManagerForWidget(this);
    if (!undo || !m_undo || !m_redo) return;
    m_undo->setEnabled(undo->canUndo());
    m_undo->setText(undo->canUndo() && !undo->undoActionName().isEmpty() ? undo->undoActionName() : tr("Undo"));
    m_redo->setEnabled(undo->canRedo());
}

PLYTemporaryPostEditorWindow* PLYTemporaryPostEditorWindow::chooseAndOpen(QWidget* parent) {
    PLYCoreManager* core = PLYCoreManager::globalManager();
    const auto store = core ? core->store() : nullptr;
    const auto account = store ? store->currentAccount() : nullptr;
    const QList<std::shared_ptr<PLYPersistantPost>> posts = account ? account->currentPosts() : QList<std::shared_ptr<PLYPersistantPost>>();
    if (posts.isEmpty()) {
        PLYAlertRequest alert;
        alert.style = PLYAlertRequest::Style::Informational;
        alert.messageText = tr("No Posts");
        alert.informativeText = tr("The signed-in account has no posts to open yet.");
        alert.buttonTitles = {tr("OK")};
        PLYAlertPresenter::shared()->runModal(alert, parent);
        return nullptr;
    }
    QStringList names;
    for (const auto& post : posts) names << post->name();
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(parent, tr("Open Post in Editor"), tr("Post:"), names, 0, false, &ok);
    const qsizetype index = names.indexOf(chosen);
    if (!ok || index < 0) return nullptr;
    auto manager = core->postManagerForPostID(posts.at(index)->identifier());
    if (!manager) return nullptr;
    // Exports and the other menu commands act on the post being edited.
    core->setCurrentPostManager(manager);
    auto* window = new PLYTemporaryPostEditorWindow(manager);
    window->show();
    window->raise();
    window->activateWindow();
    window->layoutViewController()->performEntrance();
    return window;
}
