#pragma once

#include <QList>
#include <QPointF>
#include <QStringList>
#include <memory>
#include <optional>

class PLYBlockView;
class PLYInteractionZone;
class PLYPasteboard;
class PLYSectionView;
struct PLYDropItem;
struct PLYLayoutEdit;

// The interaction handler of a section view: it works out drop zones and applies drops. The
// rendering side only creates, keeps and destroys it; its behaviour belongs to the editor,
// which registers the concrete kind with PLYInteractionHandlerFactory.
//
// Points are in the overlay's coordinates, which are layout coordinates; zones come back in the
// section's own coordinates (the layout's, less the section's origin). Every operation a kind
// must supply logs "WARN: subclass should implement" with the call stack here and answers no.
class PLYLayoutSectionInteractionHandler {
public:
    explicit PLYLayoutSectionInteractionHandler(PLYSectionView* sectionView) : m_sectionView(sectionView) {}
    virtual ~PLYLayoutSectionInteractionHandler() = default;

    PLYSectionView* sectionView() const { return m_sectionView; }

    // Whether the section takes the drop as a whole (no zone is asked for then).
    virtual bool shouldSectionAcceptDrop(const PLYPasteboard& pasteboard, const QPointF& point);
    // The zone under `point` for a drag of `blockRefs` (identifiers of dragged blocks, or the
    // new-text pasteboard type), kept as the current zone; none when there is none.
    virtual std::shared_ptr<PLYInteractionZone> interactionZoneAtPoint(const QPointF& point, const QStringList& blockRefs);
    virtual std::shared_ptr<PLYInteractionZone> currentZone() const { return nullptr; }
    virtual void resetZones() {}
    // Drops onto the whole section, or onto `zone`'s active region. `groupVertical` groups two
    // or more blocks in a new container of that direction first. One layout edit; its record
    // goes to `edit` when given. False, with nothing changed, when the drop is refused.
    virtual bool handleDropOnSection(const QList<PLYDropItem>& blocks, std::optional<bool> groupVertical,
                                     PLYLayoutEdit* edit = nullptr);
    virtual bool handleDropOnZone(const PLYInteractionZone& zone, const QList<PLYDropItem>& blocks,
                                  std::optional<bool> groupVertical, PLYLayoutEdit* edit = nullptr);

    // The thickness of the strip along `block`'s edge in which a zone is offered.
    double activationDimensionFromEdge(qint64 edge, const PLYBlockView* block) const;

protected:
    static void warnSubclassShouldImplement();

private:
    PLYSectionView* m_sectionView;
};
