#include "PLYGrabHandle.h"

#include "PLYCustom.h"

void PLYGrabHandle::setFrameCentredOnPoint(const QPointF& p) {
    m_frame.moveTopLeft(QPointF(p.x() - m_frame.width() / 2.0, p.y() - m_frame.height() / 2.0));
}

QCursor PLYGrabHandle::hoverCursor() const {
    switch (m_corner) {
    case PLYGrabHandleCornerTopLeft:
    case PLYGrabHandleCornerBottomRight: return PLYCustom::resizeLeftDiagonalCursor();
    case PLYGrabHandleCornerTopRight:
    case PLYGrabHandleCornerBottomLeft: return PLYCustom::resizeRightDiagonalCursor();
    case PLYGrabHandleCornerLeft:
    case PLYGrabHandleCornerRight: return QCursor(Qt::SizeHorCursor);
    default: return QCursor(Qt::SizeVerCursor);
    }
}
