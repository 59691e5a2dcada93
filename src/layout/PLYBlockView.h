#pragma once

#include "PLYLayout.pb.h"

#include <QGraphicsObject>
#include <QImage>
#include <QPointer>
#include <memory>

class PLYBlockDrawHandler;
class PLYLayoutBlockInteractionHandler;
struct PLYLayoutGeometry;
class PLYLayoutViewProxy;
class PLYSectionView;

// The view of one block: its frame from the layout geometry, painted by its draw handler; a
// container's view holds its children's views in order. The block is held by identifier and
// resolved through the proxy, since a block message does not survive an edit of the layout.
class PLYBlockView : public QGraphicsObject {
    Q_OBJECT
public:
    // A view of `block` and, for a container, of its whole subtree. The view has no parent
    // item; the caller places it.
    static PLYBlockView* viewWithBlock(const PLYBlock* block, PLYLayoutViewProxy* proxy, PLYSectionView* sectionView);
    // A view of the proxy's own tree (placed by its section view).
    static PLYBlockView* treeViewWithBlock(const PLYBlock& block, PLYLayoutViewProxy* proxy, PLYSectionView* sectionView);
    ~PLYBlockView() override;

    QString blockId() const { return m_blockId; }
    PLYBlock::TypeCase kind() const { return m_kind; }
    PLYBlock* representedBlock() const;
    PLYSectionView* sectionView() const;
    PLYLayoutViewProxy* layoutViewProxy() const;
    PLYBlockDrawHandler* drawHandler() const { return m_drawHandler.get(); }
    PLYLayoutBlockInteractionHandler* interactionHandler() const { return m_interactionHandler.get(); }
    const QList<PLYBlockView*>& subBlocks() const { return m_subBlocks; }

    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }

    // The view's size in layout points; its bounds are (0, 0, size).
    void setSize(const QSizeF& size);
    QSizeF size() const { return m_size; }
    // Takes this view's (and its children's) frames from `geometry`. A top-level view of the
    // tree is placed at its frame relative to its section; a free view (a twin) only sized.
    void applyGeometry(const PLYLayoutGeometry& geometry, bool placeSelf);

    // This view's block rendered `pixelWidth` pixels wide; null when the block is gone.
    QImage exportImageForWidth(int pixelWidth) const;
    // The same as JPEG of `compression` quality (0..1). Empty when the block is gone.
    QByteArray exportImageDataForWidth(int pixelWidth, double compression) const;

    // Hands the edit views of this view and its subtree back before the view goes.
    void teardownEditViews();
    // True while the view's destructor runs: its handler then tears down without writing to
    // the layout, whose views are being rebuilt.
    bool isBeingDestroyed() const { return m_beingDestroyed; }
    // This view or the first of its descendants showing `blockId`.
    PLYBlockView* viewForBlockId(const QString& blockId);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    friend class PLYSectionView;
    // Without `withChildren` a container's view starts empty: its section view gives it the
    // child views it keeps across an edit.
    PLYBlockView(const PLYBlock& block, PLYLayoutViewProxy* proxy, PLYSectionView* sectionView,
                 bool withChildren = true);
    void setSubBlocks(const QList<PLYBlockView*>& children);
    QList<PLYBlockView*> takeSubBlocks();

    QString m_blockId;
    PLYBlock::TypeCase m_kind;
    QPointer<PLYLayoutViewProxy> m_proxy;
    QPointer<PLYSectionView> m_sectionView;
    QSizeF m_size;
    bool m_editable = false;
    bool m_beingDestroyed = false;
    QList<PLYBlockView*> m_subBlocks;
    std::unique_ptr<PLYBlockDrawHandler> m_drawHandler;
    std::unique_ptr<PLYLayoutBlockInteractionHandler> m_interactionHandler;
};
