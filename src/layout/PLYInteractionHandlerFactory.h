#pragma once

#include "PLYLayout.pb.h"

#include <functional>
#include <memory>

class PLYBlockView;
class PLYSectionView;
class PLYLayoutBlockInteractionHandler;
class PLYLayoutSectionInteractionHandler;

// Where the editor registers the makers of its interaction handlers at start-up, so that the
// views can create them without linking to the editor. With nothing registered, views have
// no handler.
class PLYInteractionHandlerFactory {
public:
    using SectionMaker = std::function<std::unique_ptr<PLYLayoutSectionInteractionHandler>(PLYSectionView*)>;
    using BlockMaker = std::function<std::unique_ptr<PLYLayoutBlockInteractionHandler>(PLYBlockView*)>;

    static void registerSectionHandlerMaker(SectionMaker maker);
    // Only image, blank and text blocks take a handler; other kinds are ignored.
    static void registerBlockHandlerMaker(PLYBlock::TypeCase kind, BlockMaker maker);
    static void unregisterAll();

    static std::unique_ptr<PLYLayoutSectionInteractionHandler> handlerWithSectionView(PLYSectionView* view);
    static std::unique_ptr<PLYLayoutBlockInteractionHandler> handlerWithView(PLYBlock::TypeCase kind,
                                                                             PLYBlockView* view);
};
