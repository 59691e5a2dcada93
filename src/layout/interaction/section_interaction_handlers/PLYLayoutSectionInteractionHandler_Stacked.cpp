#include "PLYLayoutSectionInteractionHandler_Stacked.h"

#include "PLYInteractionHandlerFactory.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutViewProxy.h"
#include "PLYLog.h"
#include "PLYSectionView.h"

PLYLayoutSectionInteractionHandler_Stacked::PLYLayoutSectionInteractionHandler_Stacked(PLYSectionView* sectionView)
    : PLYLayoutSectionInteractionHandler(sectionView) {}

std::unique_ptr<PLYLayoutSectionInteractionHandler>
PLYLayoutSectionInteractionHandler_Stacked::handlerWithSectionView(PLYSectionView* sectionView) {
    return std::make_unique<PLYLayoutSectionInteractionHandler_Stacked>(sectionView);
}

void PLYLayoutSectionInteractionHandler_Stacked::registerWithFactory() {
    PLYInteractionHandlerFactory::registerSectionHandlerMaker(&handlerWithSectionView);
}

void PLYLayoutSectionInteractionHandler_Stacked::refreshFrames() {
    PLYSectionView* view = sectionView();
    PLYLayoutViewProxy* proxy = view ? view->layoutViewProxy() : nullptr;
    if (!proxy) {
        if (m_haveFrames)
            m_zones.setFrames({});
        m_haveFrames = false;
        return;
    }
    if (m_haveFrames && m_framesGeneration == proxy->geometryGeneration())
        return;
    const PLYSection* section = view->representedSection();
    const PLYLayout* layout = proxy->layout();
    const double padding = layout ? qMax<double>(0.0, double(layout->padding())) : 0.0;
    m_zones.setFrames(section ? PLYInteractionFrames::fromSection(*section, proxy->geometry(), padding)
                              : PLYInteractionFrames());
    m_framesGeneration = proxy->geometryGeneration();
    m_haveFrames = true;
}

const PLYStackedDropZones& PLYLayoutSectionInteractionHandler_Stacked::zones() {
    refreshFrames();
    return m_zones;
}

QPointF PLYLayoutSectionInteractionHandler_Stacked::sectionOrigin() const {
    PLYSectionView* view = sectionView();
    PLYLayoutViewProxy* proxy = view ? view->layoutViewProxy() : nullptr;
    return proxy ? proxy->geometry().frameForSection(view->sectionId()).topLeft() : QPointF();
}

bool PLYLayoutSectionInteractionHandler_Stacked::shouldSectionAcceptDrop(const PLYPasteboard&, const QPointF&) {
    return sectionView() && sectionView()->subBlocks().isEmpty();
}

std::shared_ptr<PLYInteractionZone> PLYLayoutSectionInteractionHandler_Stacked::interactionZoneAtPoint(
    const QPointF& point, const QStringList& blockRefs) {
    PLYSectionView* view = sectionView();
    // A section without blocks offers no zone and keeps the one it had.
    if (!view || view->subBlocks().isEmpty())
        return nullptr;
    refreshFrames();
    PLYLayoutManager* manager = view->layoutViewProxy() ? view->layoutViewProxy()->layoutManager() : nullptr;
    const PLYDropRefs refs = PLYDropRefs::fromBlockRefs(blockRefs, [manager](const QString& id) {
        const PLYBlock* block = manager ? manager->blockForRef(id) : nullptr;
        return block && block->type_case() == PLYBlock::kText;
    });
    return m_zones.interactionZoneAtPoint(point - sectionOrigin(), refs);
}

bool PLYLayoutSectionInteractionHandler_Stacked::handleDropOnSection(const QList<PLYDropItem>& blocks,
                                                                     std::optional<bool> groupVertical,
                                                                     PLYLayoutEdit* edit) {
    PLYSectionView* view = sectionView();
    PLYLayoutManager* manager = view && view->layoutViewProxy() ? view->layoutViewProxy()->layoutManager() : nullptr;
    if (!manager)
        return false;
    PLYDropPlacement placement = PLYDropPlacement::insert(view->sectionId(), {}, PLYDropPlacement::End);
    placement.groupVertical = groupVertical;
    return manager->dropBlocks(blocks, placement, edit);
}

bool PLYLayoutSectionInteractionHandler_Stacked::handleDropOnZone(const PLYInteractionZone& zone,
                                                                  const QList<PLYDropItem>& blocks,
                                                                  std::optional<bool> groupVertical,
                                                                  PLYLayoutEdit* edit) {
    PLYSectionView* view = sectionView();
    PLYLayoutManager* manager = view && view->layoutViewProxy() ? view->layoutViewProxy()->layoutManager() : nullptr;
    const PLYInteractionRegionRef& region = zone.currentActiveRegion();
    if (!manager || !region || !region->canActivate())
        return false;
    std::optional<PLYDropPlacement> placement = m_zones.placementForRegion(*region);
    if (!placement) {
        PLY_LOG_WARN(QStringLiteral("drop refused: its region no longer matches the section"));
        return false;
    }
    placement->groupVertical = groupVertical;
    return manager->dropBlocks(blocks, *placement, edit);
}
