// The rendered layout of the fixture's richer post, as the canvas shows it at half size.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"

#include "PLYLayoutView.h"
#include "PLYLayoutViewProxy.h"
#include "PLYPostManager.h"

#include <QGraphicsScene>
#include <QGraphicsView>

static const bool registered = PLYScreens::add(QStringLiteral("layout-canvas"), [](PLYScreensFixture& fixture) {
    auto* view = new QGraphicsView;
    auto* scene = new QGraphicsScene(view);
    auto* proxy = new PLYLayoutViewProxy(fixture.mainPostManager()->layoutManager(), {}, {}, view);
    scene->addItem(proxy->layoutView());
    proxy->setContainingScrollView(view);
    proxy->relayout();
    view->setScene(scene);
    view->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    view->scale(0.5, 0.5);
    view->resize(800, 900);
    view->centerOn(750, 900);
    return view;
});
