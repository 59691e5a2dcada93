#pragma once

#include "PLYLayout.pb.h"

#include <QString>

// One dropped block: an existing block of the layout that moves (held by its identifier), or
// a new block that the drop introduces.
struct PLYDropItem {
    QString movedBlockId;
    PLYBlock newBlock;

    static PLYDropItem moving(const QString& blockId) {
        PLYDropItem item;
        item.movedBlockId = blockId;
        return item;
    }
    static PLYDropItem introducing(PLYBlock block) {
        PLYDropItem item;
        item.newBlock = std::move(block);
        return item;
    }
    bool isMove() const { return !movedBlockId.isEmpty(); }
};
