#pragma once

#include <QString>
#include <limits>
#include <optional>

// Where dropped blocks land, named by identifiers and by indices into lists as they are before
// the drop, so that it stays valid while moved blocks are taken out of their old places.
struct PLYDropPlacement {
    enum class Kind {
        Insert,  // into a list of children: the section's own, or a container's
        Wrap,    // beside a block: a new container takes the block's place and holds both
    };
    static constexpr qint64 End = std::numeric_limits<qint64>::max();

    Kind kind = Kind::Insert;
    QString sectionId;
    // Insert: the container whose children take the blocks; empty for the section's list.
    QString containerId;
    // Insert: the slot in that list, counted before moved blocks leave it; past the end appends.
    qint64 index = End;
    // Wrap: the block wrapped together with the dropped blocks, and on which side they go.
    QString targetBlockId;
    bool after = true;
    // Two or more dropped blocks first go into a new container with this direction (true:
    // stacked); that container is what lands.
    std::optional<bool> groupVertical;

    static PLYDropPlacement insert(const QString& sectionId, const QString& containerId, qint64 index) {
        PLYDropPlacement p;
        p.sectionId = sectionId;
        p.containerId = containerId;
        p.index = index;
        return p;
    }
    static PLYDropPlacement wrap(const QString& sectionId, const QString& targetBlockId, bool after) {
        PLYDropPlacement p;
        p.kind = Kind::Wrap;
        p.sectionId = sectionId;
        p.targetBlockId = targetBlockId;
        p.after = after;
        return p;
    }
};
