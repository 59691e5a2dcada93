#include "PLYTestOverlayCanvas.h"

#include "PLYInteractionHandlerFactory.h"
#include "PLYLayoutImageSource.h"
#include "PLYLayoutInteraction.h"

#include <QGraphicsScene>

PLYTestOverlayCanvas::PLYTestOverlayCanvas(PLYLayout layout) {
    images->addImage("landscape", QSize(3000, 2000), Qt::darkGreen);
    images->addImage("portrait", QSize(2000, 3000), Qt::darkBlue);
    PLYLayoutImageSource::setDefaultSource(images);
    PLYLayoutInteraction::registerInteractionHandlers();
    owner = std::make_shared<PLYTestLayoutOwner>(std::move(layout));
    manager = PLYLayoutManager::managerWithOwner(owner);
    proxy = std::make_unique<PLYLayoutViewProxy>(manager);
    view.resize(1250, 800);
    proxy->setContainingScrollView(&view);
    view.setDocumentView(proxy->layoutView());
    overlay = new PLYLayoutInteractionView;
    view.scene()->addItem(overlay);
    overlay->setLayoutProxy(proxy.get());
}

PLYTestOverlayCanvas::~PLYTestOverlayCanvas() {
    overlay->setLayoutProxy(nullptr);
    delete overlay;
    view.setDocumentView(nullptr);
    proxy.reset();
    PLYInteractionHandlerFactory::unregisterAll();
    PLYLayoutImageSource::setDefaultSource(nullptr);
}
