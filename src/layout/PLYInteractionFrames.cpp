#include "PLYInteractionFrames.h"

#include "PLYInteractionEdge.h"
#include "PLYLayoutGeometry.h"

#include <algorithm>

namespace {
// Left, right, top, bottom. A seam between side-by-side blocks behaves as a right edge, one
// between stacked blocks as a bottom edge.
int slotForEdge(qint64 edge) {
    if (edge == PLYInteractionEdge::Left)
        return 0;
    if (PLYInteractionEdge::isVerticalLine(edge))
        return 1;
    if (edge == PLYInteractionEdge::Top)
        return 2;
    return 3;
}
}  // namespace

int PLYInteractionFrames::addBlock(int parent, const QString& blockId, PLYBlock::TypeCase kind, const QRectF& frame,
                                   bool vert) {
    Node node;
    node.blockId = blockId;
    node.kind = kind;
    node.vert = vert;
    node.frame = frame;
    node.parent = (parent >= 0 && parent < size()) ? parent : -1;
    const int index = size();
    if (node.parent >= 0) {
        node.indexInParent = int(m_nodes[size_t(node.parent)].children.size());
        m_nodes[size_t(node.parent)].children.push_back(index);
    } else {
        node.indexInParent = int(m_topLevel.size());
        m_topLevel.push_back(index);
    }
    m_nodes.push_back(std::move(node));
    m_byIdValid = false;
    m_dimsValid = false;
    return index;
}

int PLYInteractionFrames::indexOf(const QString& blockId) const {
    if (!m_byIdValid) {
        m_byId.clear();
        m_byId.reserve(qsizetype(m_nodes.size()));
        // The first block of an identifier wins, should a damaged layout repeat one.
        for (int i = size() - 1; i >= 0; --i)
            m_byId.insert(m_nodes[size_t(i)].blockId, i);
        m_byIdValid = true;
    }
    return m_byId.value(blockId, -1);
}

PLYInteractionFrames PLYInteractionFrames::fromSection(const PLYSection& section, const PLYLayoutGeometry& geometry,
                                                       double padding) {
    PLYInteractionFrames frames;
    frames.sectionId = QString::fromStdString(section.id());
    frames.padding = padding;
    const QPointF origin = geometry.frameForSection(frames.sectionId).topLeft();
    auto add = [&](auto& self, const PLYBlock& block, int parent) -> void {
        const QString id = QString::fromStdString(block.id());
        const bool container = block.type_case() == PLYBlock::kContainer;
        const auto frame = geometry.blocks.constFind(id);
        const QRectF rect = frame == geometry.blocks.constEnd() ? QRectF() : frame->frame.translated(-origin);
        const int index = frames.addBlock(parent, id, block.type_case(), rect, container ? block.container().vert() : true);
        if (container)
            for (const PLYBlock& child : block.container().sub_blocks())
                self(self, child, index);
    };
    for (const PLYBlock& block : section.blocks())
        add(add, block, -1);
    return frames;
}

void PLYInteractionFrames::computeDimensions() const {
    m_dims.assign(m_nodes.size(), {0.0, 0.0, 0.0, 0.0});
    // Children are numbered after their parents: walking backwards meets them first.
    for (int i = size() - 1; i >= 0; --i) {
        const Node& n = m_nodes[size_t(i)];
        std::array<double, 4>& d = m_dims[size_t(i)];
        if (!n.isContainer()) {
            d = {n.frame.width() / 3.0, n.frame.width() / 3.0, n.frame.height() / 3.0, n.frame.height() / 3.0};
            continue;
        }
        if (n.children.empty())
            continue;  // a zero-size strip
        const std::array<double, 4>& first = m_dims[size_t(n.children.front())];
        const std::array<double, 4>& last = m_dims[size_t(n.children.back())];
        auto smallest = [&](int slot) {
            double value = 999999999.0;
            for (int child : n.children)
                value = std::min(value, m_dims[size_t(child)][size_t(slot)]);
            return value;
        };
        if (n.vert)
            d = {smallest(0), smallest(1), first[2], last[3]};
        else
            d = {first[0], last[1], smallest(2), smallest(3)};
    }
    m_dimsValid = true;
}

double PLYInteractionFrames::activationDimension(qint64 edge, int index) const {
    if (index < 0 || index >= size())
        return 0.0;
    if (!m_dimsValid)
        computeDimensions();
    return m_dims[size_t(index)][size_t(slotForEdge(edge))];
}
