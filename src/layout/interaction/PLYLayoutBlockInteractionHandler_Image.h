#pragma once

#include "PLYBlockEditGeometry.h"
#include "PLYLayoutBlockInteractionHandlerBase.h"

#include <QImage>
#include <QVariantMap>
#include <optional>

// The handler of an image block. In edit mode it shows the whole picture, dimmed where it
// runs past the block, with eight edit handles on the picture's frame and two block handles:
// dragging inside the block pans the picture, an edit handle scales it (its ratio kept, Option
// about its centre), edges and centre lines snap onto the block's within 5 points unless Shift
// is held, and a block handle changes the block's ratio. Outside edit mode it takes drops on
// the middle of the block: a gallery image replaces the picture, another image block of the
// layout swaps pictures with it.
class PLYLayoutBlockInteractionHandler_Image : public PLYLayoutBlockInteractionHandlerBase {
public:
    // Keys of the undo information a drop hands out.
    static constexpr const char* UndoImageRefKey = "imgRef";
    static constexpr const char* UndoSourceLastUpdatedKey = "sourceLastUpdated";
    static constexpr const char* UndoOriginBlockKey = "originBlock";
    // The block the drop went to, so that the undo needs no handler (views are rebuilt).
    static constexpr const char* UndoBlockKey = "block";

    using PLYLayoutBlockInteractionHandlerBase::PLYLayoutBlockInteractionHandlerBase;

    bool shouldBlockAcceptEdit() const override { return true; }
    void drawEditContents(QPainter* painter, PLYLayoutInteractionView* overlay, bool live) override;
    void ensureEditViews(PLYLayoutInteractionView* overlay) override;
    void teardownEditViews() override;
    void ensureEditFrames(PLYLayoutInteractionView* overlay) override;
    bool updateCursorForPoint(const QPointF& point, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseDownEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseDragEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseUpEvent(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay) override;

    // In the middle ninth, one pasteboard item: a gallery image, or an image block of the layout
    // other than this one.
    bool shouldBlockAcceptDropOperation(const QMimeData* pasteboard, const QPointF& point) override;
    // Replaces (use counts follow) or swaps the picture; `undoInfo` gets a QVariantMap.
    bool handleDrop(const QMimeData* pasteboard, QVariant* undoInfo) override;
    void handleUndoForDrop(const QVariant& undoInfo) override;
    // The undo of a drop on the block `blockId` (also named in the info), for callers whose
    // handler may be gone by then. A swap whose other block is gone changes nothing.
    static bool undoDrop(PLYLayoutManager& manager, const QString& blockId, const QVariantMap& undoInfo);

    // A block handle drag: the block's ratio follows the pointer.
    void handleBlockHandleDrag(QGraphicsSceneMouseEvent* event, PLYLayoutInteractionView* overlay);
    void drawSnapLines(QPainter* painter, const QRectF& blockFrame, const QRectF& imageFrame,
                       PLYLayoutInteractionView* overlay) const;
    static void drawSnapLine(QPainter* painter, const QPointF& from, const QPointF& to, double width = 1.0);

    // The picture's whole frame in overlay coordinates (it may extend past the block).
    QRectF imageFrame() const;
    // The source image's width over its height; nothing when the image or its size is unknown
    // (its picture then cannot be scaled and stays as it is).
    std::optional<double> pictureRatio() const;
    std::shared_ptr<PLYGrabHandle> currentHandle() const { return m_currentHandle; }
    bool isDragging() const { return m_dragging; }
    // The snapping of the last drag step (centre lines and SnapEdge bits).
    const PLYBlockEditGeometry::PictureDragResult& snaps() const { return m_snaps; }

private:
    bool isBlockHandle(const std::shared_ptr<PLYGrabHandle>& handle);
    QImage picture();

    std::shared_ptr<PLYGrabHandle> m_currentHandle;
    bool m_dragging = false;
    bool m_canDragFrame = false;
    QPointF m_mouseDownLoc;
    QRectF m_originalDragFrame;
    QRectF m_originalDragBlockFrame;
    PLYBlockEditGeometry::PictureDragResult m_snaps;
    // The large rendition, read once per edit session rather than at every paint.
    QImage m_picture;
    QString m_pictureRef;
};
