#include "PLYInteractionHandlerFactory.h"

#include "PLYLayoutBlockInteractionHandler.h"
#include "PLYLayoutSectionInteractionHandler.h"

#include <map>

namespace {
struct Registry {
    PLYInteractionHandlerFactory::SectionMaker section;
    std::map<int, PLYInteractionHandlerFactory::BlockMaker> blocks;
};
Registry& registry() {
    static Registry r;
    return r;
}
bool takesHandler(PLYBlock::TypeCase kind) {
    return kind == PLYBlock::kImage || kind == PLYBlock::kBlank || kind == PLYBlock::kText;
}
}  // namespace

void PLYInteractionHandlerFactory::registerSectionHandlerMaker(SectionMaker maker) {
    registry().section = std::move(maker);
}

void PLYInteractionHandlerFactory::registerBlockHandlerMaker(PLYBlock::TypeCase kind, BlockMaker maker) {
    if (takesHandler(kind))
        registry().blocks[kind] = std::move(maker);
}

void PLYInteractionHandlerFactory::unregisterAll() {
    registry().section = nullptr;
    registry().blocks.clear();
}

std::unique_ptr<PLYLayoutSectionInteractionHandler>
PLYInteractionHandlerFactory::handlerWithSectionView(PLYSectionView* view) {
    if (!registry().section)
        return nullptr;
    return registry().section(view);
}

std::unique_ptr<PLYLayoutBlockInteractionHandler> PLYInteractionHandlerFactory::handlerWithView(PLYBlock::TypeCase kind,
                                                                                               PLYBlockView* view) {
    if (!takesHandler(kind))
        return nullptr;
    const auto it = registry().blocks.find(kind);
    if (it == registry().blocks.end() || !it->second)
        return nullptr;
    return it->second(view);
}
