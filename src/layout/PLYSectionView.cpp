#include "PLYSectionView.h"

#include "PLYBlockView.h"
#include "PLYInteractionHandlerFactory.h"
#include "PLYLayoutGeometry.h"
#include "PLYLayoutSectionInteractionHandler.h"
#include "PLYLayoutViewProxy.h"

#include <QHash>
#include <functional>

namespace {
bool viewMatches(const PLYBlockView* view, const PLYBlock& block) {
    if (view->blockId() != QString::fromStdString(block.id()) || view->kind() != block.type_case())
        return false;
    const int count = block.type_case() == PLYBlock::kContainer ? block.container().sub_blocks_size() : 0;
    if (view->subBlocks().size() != count)
        return false;
    for (int i = 0; i < count; ++i)
        if (!viewMatches(view->subBlocks().at(i), block.container().sub_blocks(i)))
            return false;
    return true;
}
}  // namespace

PLYSectionView::PLYSectionView(const PLYSection& section, PLYLayoutViewProxy* proxy, QGraphicsItem* parent)
    : QGraphicsObject(parent), m_sectionId(QString::fromStdString(section.id())), m_proxy(proxy) {
    m_interactionHandler = PLYInteractionHandlerFactory::handlerWithSectionView(this);
    rebuildBlockViews();
}

PLYSectionView::~PLYSectionView() {
    clearBlockViews();
    m_interactionHandler.reset();
}

PLYSection* PLYSectionView::representedSection() const {
    return m_proxy ? m_proxy->sectionForId(m_sectionId) : nullptr;
}

PLYLayoutViewProxy* PLYSectionView::layoutViewProxy() const { return m_proxy; }

void PLYSectionView::clearBlockViews() {
    const QList<PLYBlockView*> views = m_subBlocks;
    m_subBlocks.clear();
    indexBlockViews();
    for (PLYBlockView* view : views) {
        view->teardownEditViews();
        delete view;
    }
}

void PLYSectionView::rebuildBlockViews() {
    const PLYSection* section = representedSection();
    if (!section) {
        clearBlockViews();
        return;
    }
    // Views whose block is still in the section (same identifier, same kind) are kept and only
    // moved in the tree: their handlers, and the edit views these hold (a text block's live
    // editor), outlive an edit elsewhere in the section. Only views of new blocks are made.
    QHash<QString, PLYBlockView*> pool;
    std::function<void(PLYBlockView*)> collect = [&](PLYBlockView* view) {
        for (PLYBlockView* child : view->takeSubBlocks()) collect(child);
        pool.insert(view->blockId(), view);
    };
    for (PLYBlockView* view : std::exchange(m_subBlocks, {})) collect(view);
    indexBlockViews();

    QList<PLYBlockView*> unused;
    std::function<PLYBlockView*(const PLYBlock&)> build = [&](const PLYBlock& block) {
        PLYBlockView* view = pool.take(QString::fromStdString(block.id()));
        if (view && view->kind() != block.type_case()) {
            unused << view;
            view = nullptr;
        }
        if (!view) view = new PLYBlockView(block, m_proxy, this, false);
        if (block.type_case() == PLYBlock::kContainer) {
            QList<PLYBlockView*> children;
            for (const PLYBlock& child : block.container().sub_blocks()) children << build(child);
            view->setSubBlocks(children);
        }
        return view;
    };
    for (const PLYBlock& block : section->blocks()) {
        PLYBlockView* view = build(block);
        view->setParentItem(this);
        m_subBlocks.append(view);
    }

    indexBlockViews();

    // The rest go, each on its own (their child lists are already empty), edit views first.
    unused += pool.values();
    for (PLYBlockView* view : unused) {
        view->teardownEditViews();
        view->setParentItem(nullptr);
    }
    qDeleteAll(unused);
    if (m_proxy)
        applyGeometry(m_proxy->geometry());
}

bool PLYSectionView::matchesModel() const {
    const PLYSection* section = representedSection();
    if (!section || section->blocks_size() != m_subBlocks.size())
        return false;
    for (int i = 0; i < m_subBlocks.size(); ++i)
        if (!viewMatches(m_subBlocks.at(i), section->blocks(i)))
            return false;
    return true;
}

void PLYSectionView::applyGeometry(const PLYLayoutGeometry& geometry) {
    const QRectF frame = geometry.frameForSection(m_sectionId);
    setPos(frame.topLeft());
    if (frame.size() != m_size) {
        prepareGeometryChange();
        m_size = frame.size();
    }
    for (PLYBlockView* view : m_subBlocks)
        view->applyGeometry(geometry, true);
    m_leafFramesValid = false;
}

void PLYSectionView::indexBlockViews() {
    m_viewsById.clear();
    m_leafViews.clear();
    m_leafFrames = PLYRectIndex();
    m_leafFramesValid = false;
    std::function<void(PLYBlockView*)> add = [&](PLYBlockView* view) {
        // The first of two views of one block wins, as in a walk of the tree.
        if (!m_viewsById.contains(view->blockId())) m_viewsById.insert(view->blockId(), view);
        for (PLYBlockView* child : view->subBlocks()) add(child);
    };
    for (PLYBlockView* view : m_subBlocks) add(view);
}

QList<PLYBlockView*> PLYSectionView::leafViewsNear(const QPointF& point) const {
    if (!m_leafFramesValid) {
        m_leafViews.clear();
        std::vector<QRectF> frames;
        std::function<void(PLYBlockView*)> add = [&](PLYBlockView* view) {
            if (view->kind() == PLYBlock::kContainer) {
                for (PLYBlockView* child : view->subBlocks()) add(child);
                return;
            }
            m_leafViews << view;
            frames.push_back(view->mapRectToItem(this, view->boundingRect()));
        };
        for (PLYBlockView* view : m_subBlocks) add(view);
        m_leafFrames = PLYRectIndex(std::move(frames));
        m_leafFramesValid = true;
    }
    QList<PLYBlockView*> views;
    // A point of margin covers the rounding of the caller's own mapping.
    for (int position : m_leafFrames.candidatesAt(point, 1.0)) views << m_leafViews.at(position);
    return views;
}

void PLYSectionView::teardownEditViews() {
    for (PLYBlockView* view : m_subBlocks)
        view->teardownEditViews();
}

PLYBlockView* PLYSectionView::viewForBlockId(const QString& blockId) const { return m_viewsById.value(blockId); }

QRectF PLYSectionView::boundingRect() const { return QRectF(QPointF(0, 0), m_size); }

void PLYSectionView::paint(QPainter*, const QStyleOptionGraphicsItem*, QWidget*) {
    // Transparent: the layout view lays the background.
}
