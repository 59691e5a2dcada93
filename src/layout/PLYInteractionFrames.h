#pragma once

#include "PLYLayout.pb.h"

#include <QHash>
#include <QRectF>
#include <QString>
#include <array>
#include <vector>

struct PLYLayoutGeometry;

// The block tree of one section with every block's frame in section coordinates (y down): all
// that drop zones are computed from. Built from the layout geometry, or by hand in tests.
// Blocks are numbered in the order they are added, a parent before its children.
class PLYInteractionFrames {
public:
    struct Node {
        QString blockId;
        PLYBlock::TypeCase kind = PLYBlock::TYPE_NOT_SET;
        bool vert = true;  // a container's children are stacked (else side by side)
        QRectF frame;
        int parent = -1;  // -1: directly in the section
        int indexInParent = 0;
        std::vector<int> children;
        bool isContainer() const { return kind == PLYBlock::kContainer; }
    };

    QString sectionId;
    double padding = 0.0;

    // Adds a block under `parent` (-1 for the section) and answers its number.
    int addBlock(int parent, const QString& blockId, PLYBlock::TypeCase kind, const QRectF& frame, bool vert = true);

    // The section's blocks with their frames from `geometry`, taken relative to the section.
    static PLYInteractionFrames fromSection(const PLYSection& section, const PLYLayoutGeometry& geometry, double padding);

    int size() const { return int(m_nodes.size()); }
    const Node& node(int index) const { return m_nodes[size_t(index)]; }
    const std::vector<int>& topLevel() const { return m_topLevel; }
    // -1 when the section has no such block.
    int indexOf(const QString& blockId) const;

    // The thickness of the strip along a block's edge in which a zone is offered: a third of
    // the width (edges that are vertical lines) or height of a plain block; for a container,
    // taken from its first or last child along its own axis and the smallest of its children
    // across it. A container without children has none.
    double activationDimension(qint64 edge, int index) const;

private:
    void computeDimensions() const;

    std::vector<Node> m_nodes;
    std::vector<int> m_topLevel;
    // Built on first use: the lookup by identifier is needed only when a drop is applied.
    mutable QHash<QString, int> m_byId;
    mutable bool m_byIdValid = false;
    // Per block, for the edges left, right, top, bottom (seams use right and bottom).
    mutable std::vector<std::array<double, 4>> m_dims;
    mutable bool m_dimsValid = false;
};
