#include "PLYBlockDrawHandler.h"

#include "PLYBlockDrawHandler_Blank.h"
#include "PLYBlockDrawHandler_DownloadButton.h"
#include "PLYBlockDrawHandler_Image.h"
#include "PLYBlockDrawHandler_Text.h"
#include "PLYBlockView.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutViewProxy.h"

#include <QPainter>

std::unique_ptr<PLYBlockDrawHandler> PLYBlockDrawHandler::handlerForView(PLYBlockView* view, PLYBlock::TypeCase kind) {
    switch (kind) {
    case PLYBlock::kImage:
        return std::make_unique<PLYBlockDrawHandler_Image>(view);
    case PLYBlock::kText:
        return std::make_unique<PLYBlockDrawHandler_Text>(view);
    case PLYBlock::kBlank:
        return std::make_unique<PLYBlockDrawHandler_Blank>(view);
    case PLYBlock::kDownloadButton:
        return std::make_unique<PLYBlockDrawHandler_DownloadButton>(view);
    default:
        return nullptr;
    }
}

void PLYBlockDrawHandler::drawBlock(QPainter* painter, const QRectF& rect, const PLYBlock& block,
                                    const PLYBlockDrawContext& context) {
    switch (block.type_case()) {
    case PLYBlock::kImage:
        PLYBlockDrawHandler_Image::draw(painter, rect, block.image(), context);
        break;
    case PLYBlock::kText:
        PLYBlockDrawHandler_Text::draw(painter, rect, block.text(), context);
        break;
    case PLYBlock::kDownloadButton:
        PLYBlockDrawHandler_DownloadButton::draw(painter, rect, block.download_button(), context);
        break;
    case PLYBlock::kBlank:
    default:
        // An empty container draws like a blank.
        PLYBlockDrawHandler_Blank::draw(painter, rect, context);
        break;
    }
}

PLYBlockDrawContext PLYBlockDrawHandler::contextForView() const {
    PLYBlockDrawContext context;
    context.editorDecorations = true;
    PLYLayoutViewProxy* proxy = m_view ? m_view->layoutViewProxy() : nullptr;
    if (!proxy)
        return context;
    context.images = proxy->imageSource().get();
    if (const PLYLayout* layout = proxy->layout())
        context.background = PLYLayoutManager::backgroundColourForLayout(*layout);
    return context;
}

void PLYBlockDrawHandler::drawInView(QPainter* painter, const QRectF& bounds) {
    PLYBlockView* view = m_view;
    const PLYBlock* block = view ? view->representedBlock() : nullptr;
    if (!block)
        return;
    drawBlock(painter, bounds, *block, contextForView());
}
