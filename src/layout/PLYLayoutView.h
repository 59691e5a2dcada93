#pragma once

#include "PLYRectIndex.h"

#include <QGraphicsObject>
#include <QHash>
#include <QPointer>

class PLYLayoutViewProxy;
class PLYSectionView;
struct PLYLayoutGeometry;

// The view of a whole layout: the canvas (its width by the layout's height) in the layout's
// background colour, holding one section view per section, in section order.
class PLYLayoutView : public QGraphicsObject {
    Q_OBJECT
public:
    explicit PLYLayoutView(PLYLayoutViewProxy* proxy, QGraphicsItem* parent = nullptr);
    ~PLYLayoutView() override;

    PLYLayoutViewProxy* layoutViewProxy() const;
    const QList<PLYSectionView*>& sectionViews() const { return m_sectionViews; }
    PLYSectionView* sectionViewForId(const QString& sectionId) const;
    // The section views whose frames may hold `point`, in this view's coordinates, in section
    // order: a short list for the caller's exact test.
    QList<PLYSectionView*> sectionViewsNear(const QPointF& point) const;

    // Removes every section view (edit views first) and builds them again from the layout.
    void reloadLayout();
    // Rebuilds the block views of one section.
    void rebuildSection(const QString& sectionId);
    // Places every view at its frame; sections whose views no longer mirror the model are
    // rebuilt, and a changed list of sections reloads the whole view.
    void applyGeometry(const PLYLayoutGeometry& geometry);
    void teardownEditViews();

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

signals:
    // The canvas grew or shrank (the scroll view showing it follows).
    void sizeChanged();

private:
    void setSize(const QSizeF& size);
    void clearSectionViews();
    bool sectionsMatchModel() const;

    QPointer<PLYLayoutViewProxy> m_proxy;
    QList<PLYSectionView*> m_sectionViews;
    // By identifier, and by frame: made on first use after the sections were rebuilt or moved.
    void ensureSectionIndex() const;
    mutable QHash<QString, PLYSectionView*> m_sectionsById;
    mutable PLYRectIndex m_sectionFrames;
    mutable bool m_sectionIndexValid = false;
    QSizeF m_size;
};
