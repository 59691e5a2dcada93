#include "PLYLayoutInteraction.h"

#include "PLYInteractionHandlerFactory.h"
#include "PLYLayoutBlockInteractionHandler_Blank.h"
#include "PLYLayoutBlockInteractionHandler_Image.h"
#include "PLYLayoutBlockInteractionHandler_Text.h"
#include "PLYLayoutSectionInteractionHandler_Stacked.h"

void PLYLayoutInteraction::registerInteractionHandlers() {
    using Base = PLYLayoutBlockInteractionHandlerBase;
    PLYInteractionHandlerFactory::registerBlockHandlerMaker(
        PLYBlock::kImage, &Base::handlerWithView<PLYLayoutBlockInteractionHandler_Image>);
    PLYInteractionHandlerFactory::registerBlockHandlerMaker(
        PLYBlock::kBlank, &Base::handlerWithView<PLYLayoutBlockInteractionHandler_Blank>);
    PLYInteractionHandlerFactory::registerBlockHandlerMaker(
        PLYBlock::kText, &Base::handlerWithView<PLYLayoutBlockInteractionHandler_Text>);
    PLYLayoutSectionInteractionHandler_Stacked::registerWithFactory();
}
