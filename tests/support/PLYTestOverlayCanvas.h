#pragma once

// The editing overlay over the real views of a layout in an offscreen scroll view, built as the
// layout tab builds them, for tests and benchmarks that drive the overlay and the views
// directly. Pictures "landscape" (3000 x 2000) and "portrait" (2000 x 3000) are at hand.
#include "PLYLayoutInteractionView.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutScrollView.h"
#include "PLYLayoutViewProxy.h"
#include "PLYTestImageSource.h"
#include "PLYTestLayoutOwner.h"

#include <memory>

class PLYTestOverlayCanvas {
public:
    explicit PLYTestOverlayCanvas(PLYLayout layout);
    ~PLYTestOverlayCanvas();
    PLYTestOverlayCanvas(const PLYTestOverlayCanvas&) = delete;
    PLYTestOverlayCanvas& operator=(const PLYTestOverlayCanvas&) = delete;

    std::shared_ptr<PLYTestImageSource> images = std::make_shared<PLYTestImageSource>();
    std::shared_ptr<PLYTestLayoutOwner> owner;
    std::shared_ptr<PLYLayoutManager> manager;
    std::unique_ptr<PLYLayoutViewProxy> proxy;
    PLYLayoutScrollView view;
    PLYLayoutInteractionView* overlay = nullptr;
};
