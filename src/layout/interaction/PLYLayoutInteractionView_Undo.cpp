// The undo actions of the editing overlay. They put the model back and register no redo.
#include "PLYLayoutInteractionView.h"

#include "PLYBlockView.h"
#include "PLYLayoutViewProxy.h"
#include "PLYLog.h"

QList<QByteArray> PLYLayoutInteractionView::sectionSnapshot(const PLYSection& section) {
    QList<QByteArray> snapshot;
    for (const PLYBlock& block : section.blocks()) snapshot << QByteArray::fromStdString(block.SerializeAsString());
    return snapshot;
}

void PLYLayoutInteractionView::replaceSectionInUndo(const QString& sectionId, const QList<QByteArray>& snapshot) {
    if (PLYLayoutManager* manager = layoutManager()) restoreSection(*manager, sectionId, snapshot);
}

void PLYLayoutInteractionView::restoreSection(PLYLayoutManager& manager, const QString& sectionId,
                                              const QList<QByteArray>& snapshot) {
    std::vector<PLYBlock> blocks;
    for (const QByteArray& bytes : snapshot) {
        PLYBlock block;
        if (!block.ParseFromArray(bytes.constData(), int(bytes.size()))) {
            PLY_LOG_ERROR(QStringLiteral("cannot undo: a block of the section snapshot does not parse"));
            return;
        }
        blocks.push_back(std::move(block));
    }
    auto findSection = [&]() -> PLYSection* {
        PLYLayout* layout = manager.representedLayout();
        if (!layout) return nullptr;
        for (PLYSection& section : *layout->mutable_sections())
            if (QString::fromStdString(section.id()) == sectionId) return &section;
        return nullptr;
    };
    PLYSection* section = findSection();
    if (!section) {
        PLY_LOG_WARN(QStringLiteral("cannot undo: section %1 is no longer in the layout").arg(sectionId));
        return;
    }
    // Through the layout manager, so that image use counts, the selection and the views follow.
    // The blocks come back with their identifiers, which are free again once removed.
    QList<PLYBlock*> current;
    for (PLYBlock& block : *section->mutable_blocks()) current << &block;
    if (!current.isEmpty()) manager.removeBlocks(current);
    if (PLYSection* emptied = findSection()) manager.insertBlocks(blocks, nullptr, emptied, 0);
}

void PLYLayoutInteractionView::undoBlockEdit(const QString& blockId, const QByteArray& data) {
    PLYLayoutManager* manager = layoutManager();
    PLYBlock* block = manager ? manager->blockForRef(blockId) : nullptr;
    PLYBlock before;
    if (!block || !before.ParseFromArray(data.constData(), int(data.size()))) return;
    if (block->type_case() == PLYBlock::kImage) {
        if (before.image().has_position()) {
            PLYPosition* position = block->mutable_image()->mutable_position();
            position->set_x(before.image().position().x());
            position->set_y(before.image().position().y());
            position->set_width(before.image().position().width());
        } else {
            block->mutable_image()->clear_position();
        }
    }
    block->set_aspect_ratio(before.aspect_ratio());
    if (PLYBlockView* view = m_proxy ? m_proxy->blockViewForId(blockId) : nullptr) view->update();
    // The aspect ratio decides the block's height: the views relay out on the announcement.
    manager->announceChange();
}
