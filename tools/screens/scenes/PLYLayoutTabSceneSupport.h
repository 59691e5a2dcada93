#pragma once

// The layout tab of the fixture's richer post, as the editor's scenes show it.
#include "PLYScreensFixture.h"

#include "PLYBlockView.h"
#include "PLYLayoutInteraction.h"
#include "PLYLayoutViewController.h"
#include "PLYLayoutViewProxy.h"

inline PLYLayoutViewController* makeLayoutTab(PLYScreensFixture& fixture, double zoom) {
    PLYLayoutInteraction::registerInteractionHandlers();
    auto* tab = new PLYLayoutViewController;
    tab->resize(1280, 800);
    tab->setPostManager(fixture.mainPostManager());
    tab->show();
    PLYScreensFixture::settle(50);
    tab->setZoom(qint64(zoom * 100));
    return tab;
}

// A block's frame in layout points; empty when the block has no view.
inline QRectF layoutFrameOf(PLYLayoutViewController* tab, const char* blockId) {
    PLYBlockView* view = tab->layoutViewProxy()->blockViewForId(QString::fromLatin1(blockId));
    return view ? view->mapRectToScene(view->boundingRect()) : QRectF();
}
