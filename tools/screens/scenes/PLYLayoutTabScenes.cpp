// The layout tab of the fixture's richer post: at full and half size, with hover, a selection,
// a rubber band in progress and edit mode. States come from pointer events sent to the real
// canvas, as a user would make them.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"

#include "PLYBlockView.h"
#include "PLYLayoutInteraction.h"
#include "PLYLayoutScrollView.h"
#include "PLYLayoutViewController.h"
#include "PLYLayoutViewProxy.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>

namespace {

PLYLayoutViewController* makeTab(PLYScreensFixture& fixture, double zoom) {
    PLYLayoutInteraction::registerInteractionHandlers();
    auto* tab = new PLYLayoutViewController;
    tab->resize(1280, 800);
    tab->setPostManager(fixture.mainPostManager());
    tab->show();
    PLYScreensFixture::settle(50);
    tab->setZoom(qint64(zoom * 100));
    return tab;
}

QPointF centreOf(PLYLayoutViewController* tab, const char* blockId) {
    PLYBlockView* view = tab->layoutViewProxy()->blockViewForId(QString::fromLatin1(blockId));
    return view ? view->mapRectToScene(view->boundingRect()).center() : QPointF();
}

// Sends a pointer event to the canvas at a point of the layout.
void send(PLYLayoutViewController* tab, QEvent::Type type, const QPointF& layoutPoint, Qt::MouseButton button,
          Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* viewport = tab->scrollView()->viewport();
    const QPointF local = tab->scrollView()->mapFromScene(layoutPoint);
    QMouseEvent event(type, local, viewport->mapToGlobal(local), button, buttons, modifiers);
    QApplication::sendEvent(viewport, &event);
}

void hover(PLYLayoutViewController* tab, const QPointF& p) {
    send(tab, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton);
}

void click(PLYLayoutViewController* tab, const QPointF& p, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    hover(tab, p);
    send(tab, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton, modifiers);
    send(tab, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton, modifiers);
}

void doubleClick(PLYLayoutViewController* tab, const QPointF& p) {
    click(tab, p);
    send(tab, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
    send(tab, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
}

// Scrolls the block into the middle of the view; at full size the canvas's left edge shows.
void centreOn(PLYLayoutViewController* tab, const char* blockId) {
    tab->scrollView()->centerOn(centreOf(tab, blockId));
    QScrollBar* across = tab->scrollView()->horizontalScrollBar();
    across->setValue(across->minimum());
    PLYScreensFixture::settle(20);
}

}  // namespace

static const bool fullSize = PLYScreens::add(QStringLiteral("layout-tab"), [](PLYScreensFixture& fixture) {
    PLYLayoutViewController* tab = makeTab(fixture, 1.0);
    centreOn(tab, "c-row");
    click(tab, centreOf(tab, "i-a"));
    hover(tab, centreOf(tab, "i-b"));
    return tab;
});

static const bool halfSize = PLYScreens::add(QStringLiteral("layout-tab-zoom-50"), [](PLYScreensFixture& fixture) {
    PLYLayoutViewController* tab = makeTab(fixture, 0.5);
    centreOn(tab, "t-head");
    click(tab, centreOf(tab, "i-c"));
    click(tab, centreOf(tab, "i-e"), Qt::ShiftModifier);
    hover(tab, centreOf(tab, "i-b"));
    return tab;
});

static const bool rubberBand = PLYScreens::add(QStringLiteral("layout-tab-rubber-band"), [](PLYScreensFixture& fixture) {
    PLYLayoutViewController* tab = makeTab(fixture, 0.5);
    centreOn(tab, "c-trio");
    // From the empty room beside the canvas across the corners of two pictures.
    const QPointF start = centreOf(tab, "c-row") + QPointF(-820, 0);
    const QPointF end = centreOf(tab, "i-d") + QPointF(-100, -60);
    hover(tab, start);
    send(tab, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    send(tab, QEvent::MouseMove, (start + end) / 2, Qt::NoButton, Qt::LeftButton);
    send(tab, QEvent::MouseMove, end, Qt::NoButton, Qt::LeftButton);
    return tab;
});

static const bool editImage = PLYScreens::add(QStringLiteral("layout-tab-edit-image"), [](PLYScreensFixture& fixture) {
    PLYLayoutViewController* tab = makeTab(fixture, 0.5);
    centreOn(tab, "c-row");
    doubleClick(tab, centreOf(tab, "i-a"));
    return tab;
});

static const bool editText = PLYScreens::add(QStringLiteral("layout-tab-edit-text"), [](PLYScreensFixture& fixture) {
    PLYLayoutViewController* tab = makeTab(fixture, 1.0);
    centreOn(tab, "t-intro");
    doubleClick(tab, centreOf(tab, "t-intro"));
    // A double click into the editable text selects a word there.
    doubleClick(tab, centreOf(tab, "t-intro") + QPointF(-430, 0));
    return tab;
});
