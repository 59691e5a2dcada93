// The overlay's context menus: "Reload Layout" over empty canvas; "Edit" and "Delete" over a
// block. Each is built on first use and kept.
#include "PLYLayoutInteractionView.h"

#include "PLYBlockView.h"
#include "PLYLayoutView.h"
#include "PLYLayoutViewProxy.h"

#include <QGraphicsSceneContextMenuEvent>
#include <QMenu>
#include <utility>

QMenu* PLYLayoutInteractionView::makeMenu(const QList<std::pair<QString, void (PLYLayoutInteractionView::*)()>>& items) {
    auto* menu = new QMenu;
    for (const auto& [title, action] : items) {
        QAction* item = menu->addAction(title);
        item->setObjectName(title);
        connect(item, &QAction::triggered, this, action);
    }
    return menu;
}

QMenu* PLYLayoutInteractionView::generalMenu() {
    if (!m_generalMenu) {
        m_generalMenu = makeMenu({{tr("Reload Layout"), &PLYLayoutInteractionView::menuReloadAction}});
        m_generalMenu->setObjectName(QStringLiteral("generalMenu"));
    }
    return m_generalMenu;
}

QMenu* PLYLayoutInteractionView::imageMenu() {
    if (!m_imageMenu) {
        m_imageMenu = makeMenu({{tr("Edit"), &PLYLayoutInteractionView::menuEditAction},
                                {tr("Delete"), &PLYLayoutInteractionView::menuDeleteAction}});
        m_imageMenu->setObjectName(QStringLiteral("imageMenu"));
    }
    return m_imageMenu;
}

void PLYLayoutInteractionView::setGeneralMenu(QMenu* menu) {
    if (m_generalMenu != menu) delete m_generalMenu.data();
    m_generalMenu = menu;
}

void PLYLayoutInteractionView::setImageMenu(QMenu* menu) {
    if (m_imageMenu != menu) delete m_imageMenu.data();
    m_imageMenu = menu;
}

QMenu* PLYLayoutInteractionView::menu() {
    return m_proxy && m_proxy->currentHoverBlockView() ? imageMenu() : generalMenu();
}

void PLYLayoutInteractionView::contextMenuEvent(QGraphicsSceneContextMenuEvent* event) {
    if (!m_proxy) {
        event->ignore();
        return;
    }
    // The menu is for what lies under the pointer now. The open menu takes the pointer, and the
    // canvas loses its hover: the block is kept for the menu's actions.
    ensureHoverViews(event->pos());
    const PLYBlock* hover = layoutManager() ? layoutManager()->currentHoverBlock() : nullptr;
    m_menuBlockId = hover ? QString::fromStdString(hover->id()) : QString();
    menu()->popup(event->screenPos());
    event->accept();
}

void PLYLayoutInteractionView::menuReloadAction() {
    // Edit mode is left first: the rebuilt views would have no edit views.
    leaveEditMode();
    if (auto manager = m_manager.lock())
        manager->recordUndoableChange(undoManager(), QStringLiteral("Undo Reload Layout"), [&] {
            manager->validateLayoutModel();
            return true;
        });
    if (PLYLayoutView* layoutView = m_proxy ? m_proxy->layoutView() : nullptr) layoutView->reloadLayout();
    update();
}

PLYBlock* PLYLayoutInteractionView::menuBlock() {
    PLYLayoutManager* manager = layoutManager();
    if (!manager) return nullptr;
    // The block the menu was opened over, else the one under the pointer.
    const QString id = std::exchange(m_menuBlockId, QString());
    PLYBlock* block = id.isEmpty() ? manager->currentHoverBlock() : manager->blockForRef(id);
    if (block && manager->currentHoverBlock() != block) manager->setHoverBlock(block);
    return block;
}

void PLYLayoutInteractionView::menuEditAction() {
    if (menuBlock()) enterEditModeIfAvailable();
}

void PLYLayoutInteractionView::menuDeleteAction() {
    auto manager = m_manager.lock();
    PLYBlock* hover = menuBlock();
    if (!manager || !hover) return;
    // Removing a block is undoable however it was asked for.
    manager->removeBlock(hover, false);
    manager->registerUndoForEdit(undoManager(), manager->lastEdit(), QString::fromLatin1(DeleteUndoName));
}
