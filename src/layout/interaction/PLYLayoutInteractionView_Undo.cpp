// The undo actions of the editing overlay that the layout manager's edit records do not cover:
// the edit-mode session and a drop that a block's handler applied itself. Each puts the model
// back through the layout manager or the block's handler and offers its redo. The closures hold
// the manager weakly and identifiers: never a handler or a view, which edits replace.
#include "PLYLayoutInteractionView.h"

#include "PLYBlockView.h"
#include "PLYDropDecisions.h"
#include "PLYLayoutBlockInteractionHandler.h"
#include "PLYLayoutViewProxy.h"
#include "PLYLog.h"
#include "PLYUndoManager.h"

namespace {

// The handler of the first view of `blockId` among the manager's views.
PLYLayoutBlockInteractionHandler* handlerForBlock(const PLYLayoutManager& manager, const QString& blockId) {
    for (PLYLayoutViewProxyBase* base : manager.layoutViewProxies()) {
        auto* proxy = dynamic_cast<PLYLayoutViewProxy*>(base);
        PLYBlockView* view = proxy ? proxy->blockViewForId(blockId) : nullptr;
        if (view && view->interactionHandler()) return view->interactionHandler();
    }
    return nullptr;
}

}  // namespace

QList<PLYLayoutEdit::SectionState> PLYLayoutInteractionView::sectionStates(const PLYLayout* layout) {
    QList<PLYLayoutEdit::SectionState> states;
    if (!layout) return states;
    for (const PLYSection& section : layout->sections())
        states << PLYLayoutEdit::SectionState{QString::fromStdString(section.id()),
                                              QByteArray::fromStdString(section.SerializeAsString()), {}};
    return states;
}

PLYLayoutEdit PLYLayoutInteractionView::editSince(const QList<PLYLayoutEdit::SectionState>& before,
                                                 const PLYLayout* layout) {
    PLYLayoutEdit edit;
    if (!layout) return edit;
    for (const PLYLayoutEdit::SectionState& state : before)
        for (const PLYSection& section : layout->sections())
            if (QString::fromStdString(section.id()) == state.sectionId) {
                QByteArray now = QByteArray::fromStdString(section.SerializeAsString());
                if (now != state.before) edit.sections << PLYLayoutEdit::SectionState{state.sectionId, state.before, now};
                break;
            }
    return edit;
}

void PLYLayoutInteractionView::registerUndoBlockEdit(PLYUndoManager* undo, std::weak_ptr<PLYLayoutManager> manager,
                                                     const QString& blockId, const QByteArray& data) {
    if (!undo) return;
    undo->registerUndo(
        [undo, manager, blockId, data] {
            auto strong = manager.lock();
            if (!strong) return;
            const QByteArray replaced = strong->restoreBlockProperties(blockId, data);
            if (!replaced.isEmpty()) registerUndoBlockEdit(undo, manager, blockId, replaced);
        },
        manager.lock().get());
    // Named after the registration: named before, it would rename the entry beneath.
    undo->setActionName(QString::fromLatin1(EditUndoName));
}

void PLYLayoutInteractionView::registerUndoHandlerDrop(PLYUndoManager* undo, std::weak_ptr<PLYLayoutManager> manager,
                                                       const QString& blockId, const QVariant& undoInfo) {
    if (!undo) return;
    undo->registerUndo(
        [undo, manager, blockId, undoInfo] {
            auto strong = manager.lock();
            if (!strong) return;
            PLYLayoutBlockInteractionHandler* handler = handlerForBlock(*strong, blockId);
            if (!handler) {
                PLY_LOG_WARN(QStringLiteral("cannot undo the drop on block %1: it is no longer shown").arg(blockId));
                return;
            }
            const QList<PLYLayoutEdit::SectionState> before = sectionStates(strong->representedLayout());
            handler->handleUndoForDrop(undoInfo);
            // The redo puts the sections back as the drop left them.
            const PLYLayoutEdit edit = editSince(before, strong->representedLayout());
            if (edit.changed())
                strong->registerUndoForEdit(undo, edit, QString::fromLatin1(PLYDropDecisions::IntroducedUndoName));
        },
        manager.lock().get());
    undo->setActionName(QString::fromLatin1(PLYDropDecisions::IntroducedUndoName));
}
