#include "PLYLayoutBlockInteractionHandler_Blank.h"

#include "PLYLayoutInteractionView.h"

#include <QGraphicsSceneMouseEvent>

void PLYLayoutBlockInteractionHandler_Blank::drawEditContents(QPainter* painter, PLYLayoutInteractionView*, bool) {
    for (const auto& handle : blockHandles()) drawBlockHandle(painter, *handle, handle == m_currentHandle);
}

void PLYLayoutBlockInteractionHandler_Blank::teardownEditViews() {
    m_currentHandle.reset();
    m_dragging = false;
}

void PLYLayoutBlockInteractionHandler_Blank::ensureEditFrames(PLYLayoutInteractionView* overlay) {
    layoutBlockHandles(handleScaleForOverlay(overlay));
}

bool PLYLayoutBlockInteractionHandler_Blank::updateCursorForPoint(const QPointF& point, PLYLayoutInteractionView* overlay) {
    if (!overlay) return false;
    if (m_dragging && m_currentHandle) {
        overlay->setCursor(m_currentHandle->hoverCursor());
        return true;
    }
    m_currentHandle = handleAtPoint(blockHandles(), point);
    if (!m_currentHandle) return false;
    overlay->setCursor(m_currentHandle->hoverCursor());
    return true;
}

namespace {
QPointF pointInOverlay(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) {
    return overlay ? overlay->mapFromScene(event->scenePos()) : event->scenePos();
}
}  // namespace

void PLYLayoutBlockInteractionHandler_Blank::handleEditMouseDownEvent(QGraphicsSceneMouseEvent* event,
                                                                      PLYLayoutInteractionView* overlay) {
    const QPointF p = event ? pointInOverlay(event, overlay) : QPointF();
    m_currentHandle = event ? handleAtPoint(blockHandles(), p) : nullptr;
    m_mouseDownLoc = p;
    notePress(event);
    m_originalDragBlockFrame = blockFrame();
    m_dragging = true;
    if (!m_currentHandle && overlay) overlay->setCursor(Qt::ClosedHandCursor);
}

void PLYLayoutBlockInteractionHandler_Blank::handleEditMouseDragEvent(QGraphicsSceneMouseEvent* event,
                                                                      PLYLayoutInteractionView* overlay) {
    if (!m_dragging || !m_currentHandle || !event) return;
    resizeBlockForHandleDrag(*m_currentHandle, m_originalDragBlockFrame, pointerMovementSincePress(event, overlay));
    ensureEditFrames(overlay);
}

void PLYLayoutBlockInteractionHandler_Blank::handleEditMouseUpEvent(QGraphicsSceneMouseEvent* event,
                                                                    PLYLayoutInteractionView* overlay) {
    m_dragging = false;
    if (event) updateCursorForPoint(pointInOverlay(event, overlay), overlay);
}
