#pragma once

#include "PLYLayout.pb.h"
#include "PLYRectIndex.h"

#include <QGraphicsObject>
#include <QHash>
#include <QPointer>
#include <memory>

class PLYBlockView;
class PLYLayoutSectionInteractionHandler;
class PLYLayoutViewProxy;
struct PLYLayoutGeometry;

// The view of one section: its top-level block views in the order of the section's blocks.
// The section is held by identifier and resolved through the proxy.
class PLYSectionView : public QGraphicsObject {
    Q_OBJECT
public:
    PLYSectionView(const PLYSection& section, PLYLayoutViewProxy* proxy, QGraphicsItem* parent = nullptr);
    ~PLYSectionView() override;

    QString sectionId() const { return m_sectionId; }
    PLYSection* representedSection() const;
    PLYLayoutViewProxy* layoutViewProxy() const;
    const QList<PLYBlockView*>& subBlocks() const { return m_subBlocks; }
    PLYLayoutSectionInteractionHandler* interactionHandler() const { return m_interactionHandler.get(); }

    // Drops the block views and builds them again from the section's blocks.
    void rebuildBlockViews();
    void applyGeometry(const PLYLayoutGeometry& geometry);
    // Whether the views still mirror the section's block tree (identifiers and nesting).
    bool matchesModel() const;
    void teardownEditViews();
    PLYBlockView* viewForBlockId(const QString& blockId) const;
    // The views of plain (not container) blocks whose frames may hold `point`, in section
    // coordinates, in the order of the block tree: a short list for the caller's exact test.
    QList<PLYBlockView*> leafViewsNear(const QPointF& point) const;

    QSizeF size() const { return m_size; }
    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    void clearBlockViews();
    void indexBlockViews();


    QString m_sectionId;
    QPointer<PLYLayoutViewProxy> m_proxy;
    QSizeF m_size;
    QList<PLYBlockView*> m_subBlocks;
    // Every view of the tree by its block's identifier, made again with the tree.
    QHash<QString, PLYBlockView*> m_viewsById;
    // The plain blocks' views in tree order and their frames, made on the first hit-test after
    // the views were moved or rebuilt.
    mutable QList<PLYBlockView*> m_leafViews;
    mutable PLYRectIndex m_leafFrames;
    mutable bool m_leafFramesValid = false;
    std::unique_ptr<PLYLayoutSectionInteractionHandler> m_interactionHandler;
};
