#include "PLYLayoutSectionInteractionHandler.h"

#include "PLYBlockView.h"
#include "PLYCallStack.h"
#include "PLYDropItem.h"
#include "PLYInteractionFrames.h"
#include "PLYLayoutEdit.h"
#include "PLYLog.h"

void PLYLayoutSectionInteractionHandler::warnSubclassShouldImplement() {
    PLY_LOG_ERROR(QStringLiteral("WARN: subclass should implement: \n %1").arg(PLYCallStack::symbols().join('\n')));
}

bool PLYLayoutSectionInteractionHandler::shouldSectionAcceptDrop(const PLYPasteboard&, const QPointF&) {
    warnSubclassShouldImplement();
    return false;
}

std::shared_ptr<PLYInteractionZone> PLYLayoutSectionInteractionHandler::interactionZoneAtPoint(const QPointF&,
                                                                                              const QStringList&) {
    warnSubclassShouldImplement();
    return nullptr;
}

bool PLYLayoutSectionInteractionHandler::handleDropOnSection(const QList<PLYDropItem>&, std::optional<bool>,
                                                             PLYLayoutEdit*) {
    warnSubclassShouldImplement();
    return false;
}

bool PLYLayoutSectionInteractionHandler::handleDropOnZone(const PLYInteractionZone&, const QList<PLYDropItem>&,
                                                          std::optional<bool>, PLYLayoutEdit*) {
    warnSubclassShouldImplement();
    return false;
}

double PLYLayoutSectionInteractionHandler::activationDimensionFromEdge(qint64 edge, const PLYBlockView* block) const {
    if (!block)
        return 0.0;
    // The block's subtree with frames in the block's own coordinates.
    PLYInteractionFrames frames;
    auto add = [&](auto& self, const PLYBlockView* view, int parent, const QPointF& origin) -> void {
        const QRectF frame(origin, view->size());
        const PLYBlock* represented = view->representedBlock();
        const bool vert = represented && represented->type_case() == PLYBlock::kContainer ? represented->container().vert() : true;
        const int index = frames.addBlock(parent, view->blockId(), view->kind(), frame, vert);
        for (const PLYBlockView* child : view->subBlocks())
            self(self, child, index, origin + child->pos());
    };
    add(add, block, -1, QPointF());
    return frames.activationDimension(edge, 0);
}
