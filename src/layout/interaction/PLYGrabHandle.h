#pragma once

#include <QCursor>
#include <QRectF>
#include <memory>

// Where a handle sits on its rectangle.
enum PLYGrabHandleCorner : qint64 {
    PLYGrabHandleCornerTopLeft = 0,
    PLYGrabHandleCornerTopRight = 1,
    PLYGrabHandleCornerBottomLeft = 2,
    PLYGrabHandleCornerBottomRight = 3,
    PLYGrabHandleCornerLeft = 4,
    PLYGrabHandleCornerTop = 5,
    PLYGrabHandleCornerRight = 6,
    PLYGrabHandleCornerBottom = 7,
};

// One handle of a block in edit mode: its corner, its frame in overlay coordinates, and the
// cursor it shows while the pointer is over it.
class PLYGrabHandle {
public:
    PLYGrabHandle(qint64 corner, const QRectF& frame) : m_corner(corner), m_frame(frame) {}
    static std::shared_ptr<PLYGrabHandle> handleWithCorner(qint64 corner, const QRectF& frame) {
        return std::make_shared<PLYGrabHandle>(corner, frame);
    }

    qint64 corner() const { return m_corner; }
    QRectF frame() const { return m_frame; }
    void setFrame(const QRectF& frame) { m_frame = frame; }
    bool hovering() const { return m_hovering; }
    void setHovering(bool hovering) { m_hovering = hovering; }

    // Moves the frame so that its centre is `p`, keeping its size.
    void setFrameCentredOnPoint(const QPointF& p);
    // The resize cursor that matches the corner: diagonal for corners, straight for edges.
    QCursor hoverCursor() const;
    // Whether the corner sits on a left or right edge (a side-by-side handle).
    bool isHorizontalEdge() const { return m_corner == PLYGrabHandleCornerLeft || m_corner == PLYGrabHandleCornerRight; }

private:
    qint64 m_corner;
    QRectF m_frame;
    bool m_hovering = false;
};
