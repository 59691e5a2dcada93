#pragma once

#include "PLYLayout.pb.h"

#include <QGraphicsObject>
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

    QSizeF size() const { return m_size; }
    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    void clearBlockViews();

    QString m_sectionId;
    QPointer<PLYLayoutViewProxy> m_proxy;
    QSizeF m_size;
    QList<PLYBlockView*> m_subBlocks;
    std::unique_ptr<PLYLayoutSectionInteractionHandler> m_interactionHandler;
};
