#include "PLYLayoutView.h"

#include "PLYLayoutGeometry.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutViewProxy.h"
#include "PLYSectionView.h"

#include <QPainter>

PLYLayoutView::PLYLayoutView(PLYLayoutViewProxy* proxy, QGraphicsItem* parent)
    : QGraphicsObject(parent), m_proxy(proxy) {}

PLYLayoutView::~PLYLayoutView() { clearSectionViews(); }

PLYLayoutViewProxy* PLYLayoutView::layoutViewProxy() const { return m_proxy; }

PLYSectionView* PLYLayoutView::sectionViewForId(const QString& sectionId) const {
    ensureSectionIndex();
    return m_sectionsById.value(sectionId);
}

QList<PLYSectionView*> PLYLayoutView::sectionViewsNear(const QPointF& point) const {
    ensureSectionIndex();
    QList<PLYSectionView*> views;
    // A point of margin covers the rounding of the caller's own mapping.
    for (int position : m_sectionFrames.candidatesAt(point, 1.0)) views << m_sectionViews.at(position);
    return views;
}

void PLYLayoutView::ensureSectionIndex() const {
    if (m_sectionIndexValid) return;
    m_sectionsById.clear();
    std::vector<QRectF> frames;
    for (PLYSectionView* view : m_sectionViews) {
        // The first of two views of one section wins, as in a walk of the list.
        if (!m_sectionsById.contains(view->sectionId())) m_sectionsById.insert(view->sectionId(), view);
        frames.push_back(view->mapRectToItem(this, view->boundingRect()));
    }
    m_sectionFrames = PLYRectIndex(std::move(frames));
    m_sectionIndexValid = true;
}

void PLYLayoutView::clearSectionViews() {
    const QList<PLYSectionView*> views = m_sectionViews;
    m_sectionViews.clear();
    m_sectionIndexValid = false;
    for (PLYSectionView* view : views) {
        view->teardownEditViews();
        delete view;
    }
}

void PLYLayoutView::teardownEditViews() {
    for (PLYSectionView* view : m_sectionViews)
        view->teardownEditViews();
}

void PLYLayoutView::reloadLayout() {
    clearSectionViews();
    const PLYLayout* layout = m_proxy ? m_proxy->layout() : nullptr;
    if (!layout) {
        setSize(QSizeF());
        return;
    }
    for (const PLYSection& section : layout->sections()) {
        m_sectionViews.append(new PLYSectionView(section, m_proxy, this));
        m_sectionIndexValid = false;
    }
    applyGeometry(m_proxy->geometry());
}

void PLYLayoutView::rebuildSection(const QString& sectionId) {
    if (PLYSectionView* view = sectionViewForId(sectionId)) {
        view->rebuildBlockViews();
        m_sectionIndexValid = false;  // the rebuild placed the section again
    }
}

bool PLYLayoutView::sectionsMatchModel() const {
    const PLYLayout* layout = m_proxy ? m_proxy->layout() : nullptr;
    if (!layout || layout->sections_size() != m_sectionViews.size())
        return false;
    for (int i = 0; i < m_sectionViews.size(); ++i)
        if (m_sectionViews.at(i)->sectionId() != QString::fromStdString(layout->sections(i).id()))
            return false;
    return true;
}

void PLYLayoutView::applyGeometry(const PLYLayoutGeometry& geometry) {
    if (!sectionsMatchModel()) {
        reloadLayout();
        return;
    }
    setSize(QSizeF(geometry.canvasWidth, geometry.totalHeight));
    m_sectionIndexValid = false;
    for (PLYSectionView* view : m_sectionViews) {
        if (!view->matchesModel())
            view->rebuildBlockViews();
        else
            view->applyGeometry(geometry);
    }
    update();
}

void PLYLayoutView::setSize(const QSizeF& size) {
    if (size == m_size) return;
    prepareGeometryChange();
    m_size = size;
    emit sizeChanged();
}

QRectF PLYLayoutView::boundingRect() const { return QRectF(QPointF(0, 0), m_size); }

void PLYLayoutView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    const PLYLayout* layout = m_proxy ? m_proxy->layout() : nullptr;
    if (!layout)
        return;
    painter->fillRect(boundingRect(), PLYLayoutManager::backgroundColourForLayout(*layout));
}
