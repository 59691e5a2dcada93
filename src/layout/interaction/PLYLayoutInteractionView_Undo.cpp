// The undo of edit mode. Entering edit mode, by any road, records an "Undo Edit" step; what
// edit mode then changes (crops, pans, resizes) extends that step while it is still the newest
// entry of the history, and otherwise each crop, pan or resize records a step of its own. So every
// change of the layout is in the history and putting sections back is always exact.
#include "PLYLayoutInteractionView.h"

#include "PLYUndoManager.h"

void PLYLayoutInteractionView::editBlockChanged(const PLYBlock* block) {
    const QString id = block ? QString::fromStdString(block->id()) : QString();
    // The same block again: its edit views were rebuilt, edit mode goes on.
    if (!id.isEmpty() && id == m_editSessionBlockId) return;
    closeEditSession();
    if (!id.isEmpty()) beginEditSession(id);
}

void PLYLayoutInteractionView::beginEditSession(const QString& blockId) {
    auto manager = m_manager.lock();
    PLYUndoManager* undo = undoManager();
    if (!manager || !undo || undo->isUndoing() || undo->isRedoing()) return;
    // Edit mode changes its block only: the step holds that block's section.
    auto record = std::make_shared<PLYLayoutEdit>(manager->sectionSnapshotOfBlock(blockId));
    manager->registerUndoForEdit(undo, std::shared_ptr<const PLYLayoutEdit>(record), QString::fromLatin1(EditUndoName));
    m_editRecord = std::move(record);
    m_editGeneration = undo->generation();
    m_editSessionBlockId = blockId;
}

void PLYLayoutInteractionView::closeEditSession() {
    if (m_gestureBefore)
        endEditGesture();
    else
        extendEditSession();
    m_editRecord.reset();
    m_editSessionBlockId.clear();
}

bool PLYLayoutInteractionView::extendEditSession() {
    auto manager = m_manager.lock();
    PLYUndoManager* undo = undoManager();
    // While undoing or redoing the layout is being put back, not edited.
    if (!manager || !undo || undo->isUndoing() || undo->isRedoing()) return false;
    if (!m_editRecord || undo->generation() != m_editGeneration) return false;
    // Nothing was registered, undone or redone since: the session's step takes every change.
    manager->updateAfter(*m_editRecord);
    return true;
}

void PLYLayoutInteractionView::beginEditGesture() {
    auto manager = m_manager.lock();
    m_gestureBefore = manager ? std::optional<PLYLayoutEdit>(manager->sectionSnapshotOfBlock(m_editSessionBlockId))
                               : std::nullopt;
}

void PLYLayoutInteractionView::endEditGesture() {
    const std::optional<PLYLayoutEdit> before = std::exchange(m_gestureBefore, std::nullopt);
    if (extendEditSession()) return;
    auto manager = m_manager.lock();
    PLYUndoManager* undo = undoManager();
    if (!manager || !undo || !before || undo->isUndoing() || undo->isRedoing()) return;
    // Another step came after the session's: this change is a step of its own.
    const PLYLayoutEdit edit = manager->editSince(*before);
    if (!edit.changed()) return;
    auto record = std::make_shared<PLYLayoutEdit>(edit);
    manager->registerUndoForEdit(undo, std::shared_ptr<const PLYLayoutEdit>(record), QString::fromLatin1(EditUndoName));
    m_editRecord = std::move(record);
    m_editGeneration = undo->generation();
}
