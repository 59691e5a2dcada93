#include "PLYLayoutBlockInteractionHandlerBase.h"

#include "PLYBlockEditGeometry.h"
#include "PLYBlockView.h"
#include "PLYCallStack.h"
#include "PLYColor.h"
#include "PLYGeometry.h"
#include "PLYLayoutInteractionView.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutViewProxy.h"
#include "PLYLog.h"

#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPainterPath>

PLYLayoutBlockInteractionHandlerBase::PLYLayoutBlockInteractionHandlerBase(PLYBlockView* view)
    : PLYLayoutBlockInteractionHandler(view) {}

PLYLayoutBlockInteractionHandlerBase::~PLYLayoutBlockInteractionHandlerBase() = default;

void PLYLayoutBlockInteractionHandlerBase::warnSubclassShouldImplement() {
    PLY_LOG_ERROR(QStringLiteral("WARN: subclass should implement: \n %1").arg(PLYCallStack::symbols().join('\n')));
}

bool PLYLayoutBlockInteractionHandlerBase::shouldBlockAcceptEdit() const {
    warnSubclassShouldImplement();
    return false;
}

void PLYLayoutBlockInteractionHandlerBase::drawEditContents(QPainter*, PLYLayoutInteractionView*, bool) {
    warnSubclassShouldImplement();
}

void PLYLayoutBlockInteractionHandlerBase::ensureEditViews(PLYLayoutInteractionView*) { warnSubclassShouldImplement(); }

void PLYLayoutBlockInteractionHandlerBase::teardownEditViews() { warnSubclassShouldImplement(); }

void PLYLayoutBlockInteractionHandlerBase::ensureEditFrames(PLYLayoutInteractionView*) { warnSubclassShouldImplement(); }

bool PLYLayoutBlockInteractionHandlerBase::updateCursorForPoint(const QPointF&, PLYLayoutInteractionView*) {
    warnSubclassShouldImplement();
    return false;
}

void PLYLayoutBlockInteractionHandlerBase::handleEditMouseDownEvent(QGraphicsSceneMouseEvent*, PLYLayoutInteractionView*) {
    warnSubclassShouldImplement();
}

void PLYLayoutBlockInteractionHandlerBase::handleEditMouseDragEvent(QGraphicsSceneMouseEvent*, PLYLayoutInteractionView*) {
    warnSubclassShouldImplement();
}

void PLYLayoutBlockInteractionHandlerBase::handleEditMouseUpEvent(QGraphicsSceneMouseEvent*, PLYLayoutInteractionView*) {
    warnSubclassShouldImplement();
}

bool PLYLayoutBlockInteractionHandlerBase::shouldBlockAcceptDropOperation(const QMimeData*, const QPointF& point) {
    if (!view()) return false;
    const QRectF b = view()->boundingRect();
    const QRectF middle = b.adjusted(b.width() / 3.0, b.height() / 3.0, -b.width() / 3.0, -b.height() / 3.0);
    return PLYGeometry::pointInRect(view()->mapFromScene(point), middle);
}

bool PLYLayoutBlockInteractionHandlerBase::handleDrop(const QMimeData*, QVariant*) {
    warnSubclassShouldImplement();
    return false;
}

void PLYLayoutBlockInteractionHandlerBase::handleUndoForDrop(const QVariant&) { warnSubclassShouldImplement(); }

const QList<std::shared_ptr<PLYGrabHandle>>& PLYLayoutBlockInteractionHandlerBase::editHandles() {
    if (m_editHandles.isEmpty())
        for (qint64 corner : {0, 1, 2, 3, 5, 7, 4, 6})
            m_editHandles << PLYGrabHandle::handleWithCorner(corner, QRectF(0, 0, kEditHandleSide, kEditHandleSide));
    return m_editHandles;
}

const QList<std::shared_ptr<PLYGrabHandle>>& PLYLayoutBlockInteractionHandlerBase::blockHandles() {
    if (m_blockHandles.isEmpty()) {
        if (blockSitsSideBySide()) {
            const QRectF frame(0, 0, kBlockHandleThickness, kBlockHandleLength);
            m_blockHandles << PLYGrabHandle::handleWithCorner(PLYGrabHandleCornerLeft, frame)
                           << PLYGrabHandle::handleWithCorner(PLYGrabHandleCornerRight, frame);
        } else {
            const QRectF frame(0, 0, kBlockHandleLength, kBlockHandleThickness);
            m_blockHandles << PLYGrabHandle::handleWithCorner(PLYGrabHandleCornerTop, frame)
                           << PLYGrabHandle::handleWithCorner(PLYGrabHandleCornerBottom, frame);
        }
    }
    return m_blockHandles;
}

bool PLYLayoutBlockInteractionHandlerBase::blockSitsSideBySide() const {
    PLYLayoutViewProxy* proxy = view() ? view()->layoutViewProxy() : nullptr;
    PLYLayoutManager* manager = proxy ? proxy->layoutManager() : nullptr;
    const PLYBlock* block = view() ? view()->representedBlock() : nullptr;
    if (!manager || !block) return false;
    const PLYBlock* parent = manager->parentBlockForBlock(block, nullptr);
    return parent && parent->type_case() == PLYBlock::kContainer && !parent->container().vert();
}

PLYLayoutManager* PLYLayoutBlockInteractionHandlerBase::layoutManager() const {
    PLYLayoutViewProxy* proxy = view() ? view()->layoutViewProxy() : nullptr;
    return proxy ? proxy->layoutManager() : nullptr;
}

void PLYLayoutBlockInteractionHandlerBase::resizeBlockForHandleDrag(const PLYGrabHandle& handle,
                                                                   const QRectF& originalBlockFrame,
                                                                   const QPointF& movement) {
    PLYLayoutManager* manager = layoutManager();
    if (!manager || !view()) return;
    const double ratio = PLYBlockEditGeometry::blockRatioForHandleDrag(handle.corner(), originalBlockFrame.size(), movement);
    manager->setAspectRatio(view()->blockId(), ratio, PLYLayoutManager::Notice::RelayoutOnly);
}

void PLYLayoutBlockInteractionHandlerBase::notePress(QGraphicsSceneMouseEvent* event) {
    m_pressScreenPos = event ? event->screenPos() : QPointF();
}

QPointF PLYLayoutBlockInteractionHandlerBase::pointerMovementSincePress(QGraphicsSceneMouseEvent* event,
                                                                        PLYLayoutInteractionView* overlay) const {
    if (!event) return {};
    const double layoutPointsPerScreenPoint = overlay ? overlay->boundsToFrameRatio() : 1.0;
    return (event->screenPos() - m_pressScreenPos) * layoutPointsPerScreenPoint;
}

void PLYLayoutBlockInteractionHandlerBase::setSizeForHandle(PLYGrabHandle& handle, double m, bool isBlockHandle) const {
    QRectF frame = handle.frame();
    if (!isBlockHandle)
        frame.setSize(QSizeF(kEditHandleSide * m, kEditHandleSide * m));
    else if (handle.isHorizontalEdge())
        frame.setSize(QSizeF(kBlockHandleThickness * m, kBlockHandleLength * m));
    else
        frame.setSize(QSizeF(kBlockHandleLength * m, kBlockHandleThickness * m));
    handle.setFrame(frame);
}

void PLYLayoutBlockInteractionHandlerBase::drawGrabHandle(QPainter* painter, const PLYGrabHandle& handle, double m) {
    painter->save();
    painter->setPen(QPen(Qt::black, 1.0 * m));
    painter->setBrush(Qt::white);
    painter->drawRect(handle.frame());
    painter->restore();
}

void PLYLayoutBlockInteractionHandlerBase::drawBlockHandle(QPainter* painter, const PLYGrabHandle& handle, bool active) {
    const QRectF f = handle.frame();
    const double radius = std::min(f.width(), f.height()) / 2.0;
    QColor colour = PLYColor::kro_blueColour();
    if (!active) colour.setAlphaF(0.7f);
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    painter->drawRoundedRect(f, radius, radius);
    painter->restore();
}

double PLYLayoutBlockInteractionHandlerBase::handleScaleForOverlay(const PLYLayoutInteractionView* overlay) {
    return overlay ? overlay->boundsToFrameRatio() : 1.0;
}

QRectF PLYLayoutBlockInteractionHandlerBase::blockFrame() const {
    return view() ? view()->mapRectToScene(view()->boundingRect()) : QRectF();
}

void PLYLayoutBlockInteractionHandlerBase::layoutBlockHandles(double m) {
    const QRectF b = blockFrame();
    for (const auto& handle : blockHandles()) {
        setSizeForHandle(*handle, m, true);
        handle->setFrameCentredOnPoint(PLYBlockEditGeometry::blockHandleCentre(handle->corner(), b, kBlockHandleInset * m));
    }
}

std::shared_ptr<PLYGrabHandle> PLYLayoutBlockInteractionHandlerBase::handleAtPoint(
    const QList<std::shared_ptr<PLYGrabHandle>>& handles, const QPointF& point) {
    for (const auto& handle : handles)
        if (PLYGeometry::pointInRect(point, handle->frame())) return handle;
    return nullptr;
}
