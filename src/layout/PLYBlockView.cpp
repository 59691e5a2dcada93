#include "PLYBlockView.h"

#include "PLYBlockDrawHandler.h"
#include "PLYInteractionHandlerFactory.h"
#include "PLYLayoutBlockInteractionHandler.h"
#include "PLYLayoutGeometry.h"
#include "PLYLayoutImageSource.h"
#include "PLYLayoutRenderer.h"
#include "PLYLayoutViewProxy.h"
#include "PLYSectionView.h"

#include <QPainter>

PLYBlockView* PLYBlockView::viewWithBlock(const PLYBlock* block, PLYLayoutViewProxy* proxy,
                                          PLYSectionView* sectionView) {
    if (!block)
        return nullptr;
    auto* view = new PLYBlockView(*block, proxy, sectionView);
    if (proxy)
        proxy->addFreeBlockView(view);
    return view;
}

PLYBlockView* PLYBlockView::treeViewWithBlock(const PLYBlock& block, PLYLayoutViewProxy* proxy,
                                              PLYSectionView* sectionView) {
    return new PLYBlockView(block, proxy, sectionView);
}

PLYBlockView::PLYBlockView(const PLYBlock& block, PLYLayoutViewProxy* proxy, PLYSectionView* sectionView,
                           bool withChildren)
    : m_blockId(QString::fromStdString(block.id())),
      m_kind(block.type_case()),
      m_proxy(proxy),
      m_sectionView(sectionView) {
    if (proxy)
        m_size = proxy->geometry().frameForBlock(m_blockId).size();
    if (m_kind == PLYBlock::kContainer && withChildren) {
        for (const PLYBlock& child : block.container().sub_blocks()) {
            PLYBlockView* childView = new PLYBlockView(child, proxy, sectionView);
            childView->setParentItem(this);
            m_subBlocks.append(childView);
        }
    }
    m_drawHandler = PLYBlockDrawHandler::handlerForView(this, m_kind);
    m_interactionHandler = PLYInteractionHandlerFactory::handlerWithView(m_kind, this);
}

PLYBlockView::~PLYBlockView() {
    m_beingDestroyed = true;
    // Handlers may hold edit views elsewhere in the scene: they go while this view is whole.
    if (m_interactionHandler)
        m_interactionHandler->teardownEditViews();
    m_interactionHandler.reset();
    m_drawHandler.reset();
}

PLYBlock* PLYBlockView::representedBlock() const { return m_proxy ? m_proxy->blockForId(m_blockId) : nullptr; }

PLYSectionView* PLYBlockView::sectionView() const { return m_sectionView; }

PLYLayoutViewProxy* PLYBlockView::layoutViewProxy() const { return m_proxy; }

void PLYBlockView::setSubBlocks(const QList<PLYBlockView*>& children) {
    m_subBlocks = children;
    for (PLYBlockView* child : children) child->setParentItem(this);
}

QList<PLYBlockView*> PLYBlockView::takeSubBlocks() { return std::exchange(m_subBlocks, {}); }

void PLYBlockView::setEditable(bool editable) {
    if (m_editable == editable)
        return;
    m_editable = editable;
    if (m_drawHandler)
        m_drawHandler->viewDidChange();
    update();
}

void PLYBlockView::setSize(const QSizeF& size) {
    if (size == m_size)
        return;
    prepareGeometryChange();
    m_size = size;
    if (m_drawHandler)
        m_drawHandler->viewDidChange();
}

void PLYBlockView::applyGeometry(const PLYLayoutGeometry& geometry, bool placeSelf) {
    const auto it = geometry.blocks.constFind(m_blockId);
    if (it == geometry.blocks.constEnd())
        return;
    if (placeSelf)
        setPos(geometry.localFrameForBlock(m_blockId).topLeft());
    setSize(it->frame.size());
    if (m_drawHandler)
        m_drawHandler->viewDidChange();
    for (PLYBlockView* child : m_subBlocks)
        child->applyGeometry(geometry, true);
    update();
}

QImage PLYBlockView::exportImageForWidth(int pixelWidth) const {
    if (!m_proxy || !m_proxy->layout())
        return {};
    // An export must hold every picture, so it reads them through a snapshot rather than taking
    // what painting has decoded so far.
    const std::shared_ptr<PLYLayoutImageSource> source = m_proxy->imageSource();
    const std::shared_ptr<PLYLayoutImageSource> snapshot = source ? source->snapshotForLayout(*m_proxy->layout()) : nullptr;
    return PLYLayoutRenderer::renderBlock(*m_proxy->layout(), m_blockId, pixelWidth,
                                          snapshot ? snapshot.get() : source.get(), &m_proxy->geometry());
}

QByteArray PLYBlockView::exportImageDataForWidth(int pixelWidth, double compression) const {
    const QImage image = exportImageForWidth(pixelWidth);
    if (image.isNull())
        return {};
    return PLYLayoutRenderer::jpegData(image, compression);
}

void PLYBlockView::teardownEditViews() {
    for (PLYBlockView* child : m_subBlocks)
        child->teardownEditViews();
    if (m_interactionHandler)
        m_interactionHandler->teardownEditViews();
}

PLYBlockView* PLYBlockView::viewForBlockId(const QString& blockId) {
    if (m_blockId == blockId)
        return this;
    for (PLYBlockView* child : m_subBlocks)
        if (PLYBlockView* found = child->viewForBlockId(blockId))
            return found;
    return nullptr;
}

QRectF PLYBlockView::boundingRect() const { return QRectF(QPointF(0, 0), m_size); }

void PLYBlockView::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    if (m_drawHandler)
        m_drawHandler->drawInView(painter, boundingRect());
}
