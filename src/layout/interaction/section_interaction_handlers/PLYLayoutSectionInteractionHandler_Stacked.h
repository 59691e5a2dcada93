#pragma once

#include "PLYLayoutSectionInteractionHandler.h"
#include "PLYStackedDropZones.h"

// The handler of a stacked section: its drop zones come from the section's block frames in the
// layout view proxy's geometry (refreshed whenever that geometry is recomputed), and a drop
// becomes one drop edit of the layout manager.
class PLYLayoutSectionInteractionHandler_Stacked : public PLYLayoutSectionInteractionHandler {
public:
    explicit PLYLayoutSectionInteractionHandler_Stacked(PLYSectionView* sectionView);
    static std::unique_ptr<PLYLayoutSectionInteractionHandler> handlerWithSectionView(PLYSectionView* sectionView);
    // Makes every section view get this handler (done once at start-up).
    static void registerWithFactory();

    // Yes exactly when the section has no blocks.
    bool shouldSectionAcceptDrop(const PLYPasteboard& pasteboard, const QPointF& point) override;
    std::shared_ptr<PLYInteractionZone> interactionZoneAtPoint(const QPointF& point, const QStringList& blockRefs) override;
    std::shared_ptr<PLYInteractionZone> currentZone() const override { return m_zones.currentZone(); }
    void resetZones() override { m_zones.resetZones(); }
    // Appends the blocks to the section (moved blocks leave their old places first).
    bool handleDropOnSection(const QList<PLYDropItem>& blocks, std::optional<bool> groupVertical,
                             PLYLayoutEdit* edit = nullptr) override;
    // Refused when the zone has no active region or it cannot activate.
    bool handleDropOnZone(const PLYInteractionZone& zone, const QList<PLYDropItem>& blocks,
                          std::optional<bool> groupVertical, PLYLayoutEdit* edit = nullptr) override;

    // The zones over the current frames (for drawing and tests).
    const PLYStackedDropZones& zones();

private:
    void refreshFrames();
    QPointF sectionOrigin() const;

    PLYStackedDropZones m_zones;
    quint64 m_framesGeneration = 0;
    bool m_haveFrames = false;
};
