#pragma once

#include <QString>
#include <memory>

class PLYInteractionRegion;
using PLYInteractionRegionRef = std::shared_ptr<PLYInteractionRegion>;

// One drop target of a zone: a slot in the section's list of blocks (no associated block) or in
// the list of children of the associated container block, on one edge, with its extent along
// the zone's line. Coordinates are the section's (y down). The block is held by identifier.
class PLYInteractionRegion {
public:
    PLYInteractionRegion(QString blockId, qint64 index, qint64 edge, double minorStart, double minorEnd, qint64 depth)
        : m_blockId(std::move(blockId)), m_index(index), m_edge(edge), m_minorStart(minorStart), m_minorEnd(minorEnd),
          m_depth(depth) {}
    static PLYInteractionRegionRef regionWithBlock(const QString& blockId, qint64 index, qint64 edge, double minorStart,
                                                   double minorEnd, qint64 depth) {
        return std::make_shared<PLYInteractionRegion>(blockId, index, edge, minorStart, minorEnd, depth);
    }

    // The container whose children `index` counts; empty for a slot of the section itself.
    const QString& associatedBlockId() const { return m_blockId; }
    qint64 index() const { return m_index; }
    qint64 edge() const { return m_edge; }
    double minorAxisStart() const { return m_minorStart; }
    double minorAxisEnd() const { return m_minorEnd; }
    // 0 for a zone's own slot; 1 to 3 inside containers.
    qint64 depthIndex() const { return m_depth; }
    // Cleared where the drop would put dragged blocks next to themselves; such a region may
    // still be active, and a drop on it is refused.
    bool canActivate() const { return m_canActivate; }
    void setCanActivate(bool canActivate) { m_canActivate = canActivate; }

    QString description() const;

private:
    QString m_blockId;
    qint64 m_index;
    qint64 m_edge;
    double m_minorStart;
    double m_minorEnd;
    qint64 m_depth;
    bool m_canActivate = true;
};
