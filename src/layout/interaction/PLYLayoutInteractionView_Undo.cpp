// The undo of edit mode. The first change of an edit-mode session (a crop, pan or resize, at its
// release, or any change of its block found when the session ends) records an "Undo Edit" step
// from the session's entry while nothing else came into the history since; the session's later
// changes extend it while it is still the newest entry; otherwise each change records a step of
// its own. A session that changes nothing records nothing, so what could be redone stays. While a
// drag is held, changes from other roads wait for its release (PLYLayoutManager::holdForLiveEdit),
// so that the drag's step holds the drag alone.
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
    m_editStep.close();
    m_editSessionBlockId = blockId;
    // Edit mode changes its block only: the step holds that block's section.
    if (auto manager = m_manager.lock()) m_editStep.open(undoManager(), manager->sectionSnapshotOfBlock(blockId));
}

void PLYLayoutInteractionView::closeEditSession() {
    if (m_gestureBefore) {
        endEditGesture();
    } else if (auto manager = m_manager.lock()) {
        m_editStep.record(*manager, undoManager(), manager->sectionSnapshotOfBlock(m_editSessionBlockId),
                          QString::fromLatin1(EditUndoName));
    }
    m_editStep.close();
    m_editSessionBlockId.clear();
}

void PLYLayoutInteractionView::beginEditGesture() {
    auto manager = m_manager.lock();
    m_gestureBefore = manager ? std::optional<PLYLayoutEdit>(manager->sectionSnapshotOfBlock(m_editSessionBlockId))
                               : std::nullopt;
    m_liveEditHold = manager ? manager->holdForLiveEdit() : nullptr;
}

void PLYLayoutInteractionView::endEditGesture() {
    // Released on the way out, once the drag's step is in the history.
    const std::shared_ptr<void> hold = std::exchange(m_liveEditHold, nullptr);
    const std::optional<PLYLayoutEdit> before = std::exchange(m_gestureBefore, std::nullopt);
    auto manager = m_manager.lock();
    if (!manager || !before) return;
    m_editStep.record(*manager, undoManager(), *before, QString::fromLatin1(EditUndoName));
}
