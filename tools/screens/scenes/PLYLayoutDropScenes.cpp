// Dragging into the layout: two gallery pictures held over the seam above a row of three, with the
// zone's bands (the slot beside the middle picture active) and the dragged pictures lined up under
// the pointer; the same with Command held; the overlay's context menus; the block palette's tiles.
#include "PLYScreens.h"
#include "PLYScreensFixture.h"
#include "PLYLayoutTabSceneSupport.h"

#include "PLYBlockView.h"
#include "PLYDragBlockImageView.h"
#include "PLYKeyCodes.h"
#include "PLYLayoutInteraction.h"
#include "PLYLayoutInteractionView.h"
#include "PLYLayoutScrollView.h"
#include "PLYLayoutViewController.h"
#include "PLYLayoutViewProxy.h"
#include "PLYPasteboard.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace {

QRectF frameOf(PLYLayoutViewController* tab, const char* blockId) { return layoutFrameOf(tab, blockId); }

// Two gallery pictures dragged to just below the seam above the row of three, over its middle
// picture: the slot beside that picture is the active one.
QWidget* dragScene(PLYScreensFixture& fixture, bool command) {
    PLYLayoutViewController* tab = makeLayoutTab(fixture, 0.5);
    const QRectF trio = frameOf(tab, "c-trio");
    const QRectF middle = frameOf(tab, "i-d");
    tab->scrollView()->centerOn(QPointF(trio.center().x(), trio.top() + 120));
    PLYScreensFixture::settle(20);
    const QStringList images = fixture.imageIdentifiers();
    PLYPasteboard board({PLYPasteboardItem("com.pellory.image.ref", images.value(10)),
                         PLYPasteboardItem("com.pellory.image.ref", images.value(11))},
                        PLYPasteboard::nextSequenceNumber());
    auto* data = new QMimeData;
    data->setParent(tab);
    board.writeTo(data);
    // The seam's line lies half the padding above the row; its first deeper row 8 to 24 below.
    const QPointF point(middle.center().x(), trio.top() - 6 + 16);
    const quint64 flags = command ? quint64(PLYKeyCodes::Command) : 0;
    tab->interactionView()->draggingEntered({data, point, flags});
    // The pictures' previews come from the background decoder by the next movement.
    PLYScreensFixture::settle(200);
    tab->interactionView()->draggingUpdated({data, point, flags});
    PLYScreensFixture::settle(20);
    return tab;
}

const bool dragZones = PLYScreens::add(QStringLiteral("layout-tab-drag-zones"),
                                       [](PLYScreensFixture& fixture) { return dragScene(fixture, false); });
const bool dragZonesCommand = PLYScreens::add(QStringLiteral("layout-tab-drag-zones-command"),
                                              [](PLYScreensFixture& fixture) { return dragScene(fixture, true); });

// The tab with the menu a right click opens drawn where it opens.
QWidget* menuScene(PLYScreensFixture& fixture, const char* overBlock) {
    PLYLayoutViewController* tab = makeLayoutTab(fixture, 0.5);
    PLYLayoutScrollView* view = tab->scrollView();
    view->centerOn(frameOf(tab, "c-row").center());
    PLYScreensFixture::settle(20);
    const QPointF target = overBlock ? frameOf(tab, overBlock).center() : frameOf(tab, "c-row").topLeft() - QPointF(120, 0);
    const QPoint local = view->mapFromScene(target);
    QMouseEvent move(QEvent::MouseMove, local, view->viewport()->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QContextMenuEvent event(QContextMenuEvent::Mouse, local, view->viewport()->mapToGlobal(local));
    QApplication::sendEvent(view->viewport(), &event);
    PLYScreensFixture::settle(50);
    PLYLayoutInteractionView* overlay = tab->interactionView();
    QMenu* menu = overlay->imageMenu()->isVisible() ? overlay->imageMenu() : overlay->generalMenu();
    menu->resize(menu->sizeHint());
    PLYScreensFixture::settle(20);
    const QPixmap menuPicture = menu->grab();
    menu->hide();
    QPixmap picture = tab->grab();
    {
        QPainter painter(&picture);
        painter.drawPixmap(view->viewport()->mapTo(tab, local), menuPicture);
    }
    auto* label = new QLabel;
    label->setPixmap(picture);
    label->resize(picture.deviceIndependentSize().toSize());
    tab->setParent(label);
    tab->hide();
    return label;
}

const bool blockMenu = PLYScreens::add(QStringLiteral("layout-tab-context-menu"),
                                       [](PLYScreensFixture& fixture) { return menuScene(fixture, "i-b"); });
const bool canvasMenu = PLYScreens::add(QStringLiteral("layout-tab-context-menu-canvas"),
                                        [](PLYScreensFixture& fixture) { return menuScene(fixture, nullptr); });

// The three tiles of the block palette as its popover shows them.
const bool paletteTiles = PLYScreens::add(QStringLiteral("block-palette-tiles"), [](PLYScreensFixture&) -> QWidget* {
    auto* panel = new QWidget;
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(12);
    row->addWidget(PLYDragBlockImageView::textTile());
    row->addWidget(PLYDragBlockImageView::blankTile());
    row->addWidget(PLYDragBlockImageView::downloadTile());
    panel->adjustSize();
    return panel;
});

}  // namespace
