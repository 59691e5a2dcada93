#include "PLYExtendableUndoStep.h"

#include "PLYLayoutManager.h"
#include "PLYUndoManager.h"

namespace {
// While undoing or redoing the layout is being put back, not edited.
bool recording(const PLYUndoManager* undo) { return undo && !undo->isUndoing() && !undo->isRedoing(); }
}  // namespace

void PLYExtendableUndoStep::open(PLYUndoManager* undo, const PLYLayoutEdit& before) {
    close();
    if (!recording(undo)) return;
    m_opening = before;
    m_openingGeneration = undo->generation();
}

void PLYExtendableUndoStep::record(PLYLayoutManager& manager, PLYUndoManager* undo, const PLYLayoutEdit& before,
                                   const QString& actionName, bool join) {
    if (join && extend(manager, undo)) return;
    if (!recording(undo)) return;
    // The opening stands only while the history is as it was then: a step recorded since may
    // have changed the same sections.
    if (m_opening && undo->generation() != m_openingGeneration) m_opening.reset();
    const PLYLayoutEdit edit = manager.editSince(m_opening ? *m_opening : before);
    if (!edit.changed()) return;
    m_opening.reset();
    auto record = std::make_shared<PLYLayoutEdit>(edit);
    manager.registerUndoForEdit(undo, std::shared_ptr<const PLYLayoutEdit>(record), actionName);
    m_record = std::move(record);
    m_generation = undo->generation();
}

bool PLYExtendableUndoStep::extend(PLYLayoutManager& manager, PLYUndoManager* undo) {
    if (!recording(undo) || !m_record || undo->generation() != m_generation) return false;
    manager.updateAfter(*m_record);
    return true;
}
