#include "PLYStackedDropZones.h"

#include "PLYInteractionEdge.h"
#include "PLYGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

using Edge = PLYInteractionEdge;

void PLYStackedDropZones::setFrames(PLYInteractionFrames frames) {
    m_frames = std::move(frames);
    m_currentZone.reset();
    m_walkBandsValid = false;
}

const PLYRectIndex& PLYStackedDropZones::walkBands() const {
    if (m_walkBandsValid) return m_walkBands;
    const std::vector<int>& blocks = m_frames.topLevel();
    // A block's own band: its subtree's frames, grown by the deepest strip of any of them (strips
    // lie inside their frames, so this is generous).
    std::vector<std::pair<double, double>> own;
    own.reserve(blocks.size());
    for (int top : blocks) {
        double low = std::numeric_limits<double>::infinity();
        double high = -std::numeric_limits<double>::infinity();
        double reach = 0.0;
        std::vector<int> pending{top};
        while (!pending.empty()) {
            const int b = pending.back();
            pending.pop_back();
            const QRectF f = m_frames.node(b).frame.normalized();
            low = std::min(low, f.top());
            high = std::max(high, f.bottom());
            for (qint64 edge : {Edge::Left, Edge::Right, Edge::Top, Edge::Bottom})
                reach = std::max(reach, std::abs(m_frames.activationDimension(edge, b)));
            for (int child : m_frames.node(b).children) pending.push_back(child);
        }
        own.emplace_back(low - reach, high + reach);
    }
    std::vector<QRectF> bands;
    bands.reserve(own.size());
    for (size_t i = 0; i < own.size(); ++i) {
        // The seam zone above a block reaches into the block before it.
        const double low = i > 0 ? std::min(own[i].first, own[i - 1].first) : own[i].first;
        const double high = i > 0 ? std::max(own[i].second, own[i - 1].second) : own[i].second;
        bands.emplace_back(0.0, low, 1.0, high - low);
    }
    m_walkBands = PLYRectIndex(std::move(bands));
    m_walkBandsValid = true;
    return m_walkBands;
}

bool PLYStackedDropZones::isDragged(int block, const PLYDropRefs& refs) const {
    if (refs.named.isEmpty())
        return false;
    for (int b = block; b >= 0; b = m_frames.node(b).parent)
        if (refs.names(m_frames.node(b).blockId))
            return true;
    return false;
}

QRectF PLYStackedDropZones::topStrip(int block) const {
    const QRectF& f = m_frames.node(block).frame;
    return QRectF(f.x(), f.y(), f.width(), m_frames.activationDimension(Edge::Top, block));
}

QRectF PLYStackedDropZones::bottomStrip(int block) const {
    const QRectF& f = m_frames.node(block).frame;
    const double d = m_frames.activationDimension(Edge::Bottom, block);
    return QRectF(f.x(), f.y() + f.height() - d, f.width(), d);
}

void PLYStackedDropZones::finishZone(PLYInteractionZone& zone, const QPointF& point) const {
    zone.buildInteractionRows();
    zone.ensureActiveState(point);
}

PLYInteractionZoneRef PLYStackedDropZones::interactionZoneAtPoint(const QPointF& point, const PLYDropRefs& refs) {
    if (m_frames.topLevel().empty())
        return nullptr;
    if (m_currentZone && PLYGeometry::pointInRect(point, m_currentZone->activationRect())) {
        m_currentZone->ensureActiveState(point);
        return m_currentZone;
    }
    m_currentZone = zoneAtPoint(point, refs);
    return m_currentZone;
}

PLYInteractionZoneRef PLYStackedDropZones::zoneAtPoint(const QPointF& p, const PLYDropRefs& refs) const {
    // The walk in block order, over only the blocks that can offer a zone at this height: every
    // other block would find none.
    for (int i : walkBands().candidatesAtHeight(p.y()))
        if (PLYInteractionZoneRef zone = zoneForTopLevelBlock(i, p, refs)) return zone;
    return nullptr;
}

PLYInteractionZoneRef PLYStackedDropZones::zoneForTopLevelBlock(int i, const QPointF& p, const PLYDropRefs& refs) const {
    const std::vector<int>& blocks = m_frames.topLevel();
    const int n = int(blocks.size());
    if (i < 0 || i >= n) return nullptr;
    const int c = blocks[size_t(i)];
    const bool last = i == n - 1;
    PLYInteractionZoneRef zone;
    if (i == 0) {
        const QRectF t = topStrip(c);
        if (PLYGeometry::pointInRect(p, t)) {
            zone = std::make_shared<PLYInteractionZone>();
            zone->setVertical(false);
            zone->setActivationRect(t);
            zone->setCentreValue(t.y());
            auto major = PLYInteractionRegion::regionWithBlock({}, 0, Edge::Top, t.x(), t.x() + t.width(), 0);
            major->setCanActivate(!refs.names(m_frames.node(c).blockId));
            zone->setMajorRegion(major);
            interactionRegionsForBlock(c, Edge::Top, 1, *zone, refs);
        } else {
            zone = sideZoneForBlock(c, p, refs);
        }
    }
    if (!zone && last) {
        const QRectF b = bottomStrip(c);
        if (PLYGeometry::pointInRect(p, b)) {
            zone = std::make_shared<PLYInteractionZone>();
            zone->setVertical(false);
            zone->setActivationRect(b);
            zone->setCentreValue(b.y() + b.height());
            zone->setMajorRegion(PLYInteractionRegion::regionWithBlock({}, n + 1, Edge::Bottom, b.x(),
                                                                       b.x() + b.width(), 0));
            interactionRegionsForBlock(c, Edge::Bottom, 1, *zone, refs);
        }
    }
    if (!zone && i > 0) {
        const int previous = blocks[size_t(i - 1)];
        const QRectF pb = bottomStrip(previous);
        const QRectF q = topStrip(c);
        const QRectF area(pb.x(), pb.y(), pb.width(), q.y() + q.height() - pb.y());
        if (PLYGeometry::pointInRect(p, area)) {
            zone = std::make_shared<PLYInteractionZone>();
            zone->setVertical(false);
            zone->setActivationRect(area);
            zone->setCentreValue(q.y() - m_frames.padding / 2.0);
            auto major = PLYInteractionRegion::regionWithBlock({}, i, Edge::SeamStacked, q.x(), q.x() + q.width(), 0);
            major->setCanActivate(!refs.names(m_frames.node(c).blockId) &&
                                  !refs.names(m_frames.node(previous).blockId));
            zone->setMajorRegion(major);
            interactionRegionsForBlock(c, Edge::Top, 1, *zone, refs);
            interactionRegionsForBlock(previous, Edge::Bottom, 1, *zone, refs);
        } else {
            zone = sideZoneForBlock(c, p, refs);
        }
    }
    if (!zone)
        zone = centreZoneForBlock(c, p, refs);
    if (zone)
        finishZone(*zone, p);
    return zone;
}

PLYInteractionZoneRef PLYStackedDropZones::sideZoneForBlock(int block, const QPointF& p, const PLYDropRefs& refs) const {
    const PLYInteractionFrames::Node& x = m_frames.node(block);
    if (refs.horizontalOnly || isDragged(block, refs))
        return nullptr;
    auto makeZone = [&](const QRectF& strip, qint64 edge) {
        auto zone = std::make_shared<PLYInteractionZone>();
        zone->setVertical(true);
        zone->setActivationRect(strip);
        zone->setCentreValue(edge == Edge::Left ? strip.x() : strip.x() + strip.width());
        zone->setMajorRegion(PLYInteractionRegion::regionWithBlock({}, x.indexInParent, edge, strip.y(),
                                                                   strip.y() + strip.height(), 0));
        interactionRegionsForBlock(block, edge, 1, *zone, refs);
        return zone;
    };
    if (!x.isContainer()) {
        const QRectF& f = x.frame;
        const QRectF left(f.x(), f.y(), m_frames.activationDimension(Edge::Left, block), f.height());
        if (PLYGeometry::pointInRect(p, left))
            return makeZone(left, Edge::Left);
        const double d = m_frames.activationDimension(Edge::Right, block);
        const QRectF right(f.x() + f.width() - d, f.y(), d, f.height());
        if (PLYGeometry::pointInRect(p, right))
            return makeZone(right, Edge::Right);
        return nullptr;
    }
    // A container without children has zero-size strips: nothing to offer.
    if (x.children.empty())
        return nullptr;
    const PLYInteractionFrames::Node& first = m_frames.node(x.children.front());
    const PLYInteractionFrames::Node& last = m_frames.node(x.children.back());
    if (!refs.names(first.blockId)) {
        const QRectF left(first.frame.x(), first.frame.y(), m_frames.activationDimension(Edge::Left, block),
                          first.frame.height());
        if (PLYGeometry::pointInRect(p, left))
            return makeZone(left, Edge::Left);
    }
    if (refs.names(last.blockId))
        return nullptr;
    const double d = m_frames.activationDimension(Edge::Right, block);
    const QRectF right(last.frame.x() + last.frame.width() - d, last.frame.y(), d, last.frame.height());
    if (PLYGeometry::pointInRect(p, right))
        return makeZone(right, Edge::Right);
    return nullptr;
}

PLYInteractionZoneRef PLYStackedDropZones::centreZoneForBlock(int block, const QPointF& p, const PLYDropRefs& refs) const {
    const PLYInteractionFrames::Node& x = m_frames.node(block);
    if (!x.isContainer() || refs.horizontalOnly || x.children.size() < 2 || isDragged(block, refs))
        return nullptr;
    for (size_t i = 1; i < x.children.size(); ++i) {
        const int pi = x.children[i - 1];
        const int ci = x.children[i];
        const PLYInteractionFrames::Node& prev = m_frames.node(pi);
        const PLYInteractionFrames::Node& cur = m_frames.node(ci);
        const bool flagP = refs.names(prev.blockId);
        const bool flagC = refs.names(cur.blockId);
        QRectF area;
        auto zone = std::make_shared<PLYInteractionZone>();
        if (!x.vert) {
            const double dp = m_frames.activationDimension(Edge::Right, pi);
            const QRectF pr(prev.frame.x() + prev.frame.width() - dp, prev.frame.y(), dp, prev.frame.height());
            const QRectF cl(cur.frame.x(), cur.frame.y(), m_frames.activationDimension(Edge::Left, ci), cur.frame.height());
            area = QRectF(pr.x(), pr.y(), cl.x() + cl.width() - pr.x(), pr.height());
            if (PLYGeometry::pointInRect(p, area)) {
                zone->setVertical(true);
                zone->setActivationRect(area);
                zone->setCentreValue(cl.x() - m_frames.padding / 2.0);
                zone->setMajorRegion(PLYInteractionRegion::regionWithBlock(x.blockId, qint64(i), Edge::SeamSideBySide,
                                                                           pr.y(), pr.y() + pr.height(), 0));
                if (!flagP)
                    interactionRegionsForBlock(pi, Edge::Right, 1, *zone, refs);
                if (!flagC)
                    interactionRegionsForBlock(ci, Edge::Left, 1, *zone, refs);
            }
        } else {
            const double db = m_frames.activationDimension(Edge::Bottom, block);
            const QRectF pb(prev.frame.x(), prev.frame.y() + prev.frame.height() - db, prev.frame.width(), db);
            const QRectF ct(cur.frame.x(), cur.frame.y(), cur.frame.width(), m_frames.activationDimension(Edge::Top, block));
            area = QRectF(pb.x(), pb.y(), pb.width(), ct.y() + ct.height() - pb.y());
            if (PLYGeometry::pointInRect(p, area)) {
                zone->setVertical(false);
                zone->setActivationRect(area);
                zone->setCentreValue(ct.y() - m_frames.padding / 2.0);
                zone->setMajorRegion(PLYInteractionRegion::regionWithBlock(x.blockId, qint64(i), Edge::SeamStacked,
                                                                           pb.x(), pb.x() + pb.width(), 0));
                if (!flagP)
                    interactionRegionsForBlock(pi, Edge::Bottom, 1, *zone, refs);
                if (!flagC)
                    interactionRegionsForBlock(ci, Edge::Top, 1, *zone, refs);
            }
        }
        if (zone->majorRegion()) {
            zone->majorRegion()->setCanActivate(!flagP && !flagC);
            if (!zone->leadingRegions().isEmpty() || !zone->trailingRegions().isEmpty() ||
                zone->majorRegion()->canActivate())
                return zone;
            continue;
        }
        if (!flagC)
            if (PLYInteractionZoneRef inner = centreZoneForBlock(ci, p, refs))
                return inner;
        if (!flagP)
            if (PLYInteractionZoneRef inner = centreZoneForBlock(pi, p, refs))
                return inner;
    }
    return nullptr;
}

void PLYStackedDropZones::interactionRegionsForBlock(int block, qint64 edge, qint64 depth, PLYInteractionZone& zone,
                                                     const PLYDropRefs& refs) const {
    if (depth > 3 || refs.horizontalOnly || block < 0 || block >= m_frames.size())
        return;
    const PLYInteractionFrames::Node& x = m_frames.node(block);
    if (!x.isContainer() || x.children.empty() || isDragged(block, refs))
        return;
    if (x.children.size() == 2 &&
        (refs.names(m_frames.node(x.children[0]).blockId) || refs.names(m_frames.node(x.children[1]).blockId)))
        return;
    const bool horizontalEdge = edge == Edge::Top || edge == Edge::Bottom;
    // Along the container's own axis the edge belongs to its first or last child.
    if (x.vert == horizontalEdge) {
        const bool leadingEdge = edge == Edge::Top || edge == Edge::Left;
        interactionRegionsForBlock(leadingEdge ? x.children.front() : x.children.back(), edge, depth, zone, refs);
        return;
    }
    for (size_t k = 0; k < x.children.size(); ++k) {
        const int child = x.children[k];
        const PLYInteractionFrames::Node& node = m_frames.node(child);
        if (refs.names(node.blockId))
            continue;
        const QRectF& r = node.frame;
        const double start = horizontalEdge ? r.x() : r.y();
        const double end = horizontalEdge ? r.x() + r.width() : r.y() + r.height();
        auto region = PLYInteractionRegion::regionWithBlock(x.blockId, qint64(k), edge, start, end, depth);
        if (edge == Edge::Left || edge == Edge::Top)
            zone.addTrailingRegion(region);
        else
            zone.addLeadingRegion(region);
        interactionRegionsForBlock(child, edge, depth + 1, zone, refs);
    }
}

std::optional<PLYDropPlacement> PLYStackedDropZones::placementForRegion(const PLYInteractionRegion& region) const {
    const qint64 edge = region.edge();
    const qint64 k = region.index();
    const bool verticalLine = Edge::isVerticalLine(edge);
    const bool horizontalLine = Edge::isHorizontalLine(edge);
    const QString& sectionId = m_frames.sectionId;
    // Beside block `t`: into it when it is a container whose children run across the drop line
    // (its first or last slot is then at that line) or that has none; else wrapped with it.
    auto beside = [&](int t, bool before) {
        const PLYInteractionFrames::Node& target = m_frames.node(t);
        const bool into = target.isContainer() && (target.children.empty() || target.vert == horizontalLine);
        if (into)
            return PLYDropPlacement::insert(sectionId, target.blockId, before ? 0 : PLYDropPlacement::End);
        return PLYDropPlacement::wrap(sectionId, target.blockId, !before);
    };
    if (region.associatedBlockId().isEmpty()) {
        if (horizontalLine)
            return PLYDropPlacement::insert(sectionId, {}, std::max<qint64>(k, 0));
        const std::vector<int>& blocks = m_frames.topLevel();
        if (!verticalLine || k < 0 || k >= qint64(blocks.size()))
            return std::nullopt;
        return beside(blocks[size_t(k)], edge == Edge::Left);
    }
    const int x = m_frames.indexOf(region.associatedBlockId());
    if (x < 0 || !m_frames.node(x).isContainer())
        return std::nullopt;
    const PLYInteractionFrames::Node& container = m_frames.node(x);
    const bool along = container.vert ? horizontalLine : verticalLine;
    if (along)
        return PLYDropPlacement::insert(sectionId, container.blockId, std::max<qint64>(k, 0));
    if (k < 0 || k >= qint64(container.children.size()))
        return std::nullopt;
    return beside(container.children[size_t(k)], edge == Edge::Top || edge == Edge::Left);
}
