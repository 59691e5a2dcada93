#include "PLYLayoutViewProxy.h"

#include "PLYBlockDrawHandler.h"
#include "PLYBlockView.h"
#include "PLYDecodedImageCache.h"
#include "PLYLayoutImageSource.h"
#include "PLYLayoutView.h"
#include "PLYSectionView.h"
#include "PLYTextLimits.h"
#include "PLYUndoManager.h"

namespace {
PLYBlock* findInBlocks(google::protobuf::RepeatedPtrField<PLYBlock>* blocks, const std::string& id) {
    for (PLYBlock& block : *blocks) {
        if (block.id() == id)
            return &block;
        if (block.type_case() == PLYBlock::kContainer)
            if (PLYBlock* found = findInBlocks(block.mutable_container()->mutable_sub_blocks(), id))
                return found;
    }
    return nullptr;
}
}  // namespace

PLYLayoutViewProxy::PLYLayoutViewProxy(std::shared_ptr<PLYLayoutManager> layoutManager,
                                       std::shared_ptr<PLYLayout> fixedLayout,
                                       std::shared_ptr<PLYLayoutImageSource> imageSource, QObject* parent)
    : QObject(parent),
      m_manager(std::move(layoutManager)),
      m_fixedLayout(std::move(fixedLayout)),
      m_imageSource(std::move(imageSource)) {
    if (m_manager)
        m_manager->addLayoutViewProxy(this);
    computeGeometry();
    m_layoutView = new PLYLayoutView(this);
    m_layoutView->reloadLayout();
    m_live = true;
    // Edits that change sizes without changing structure (aspect ratios, text style) are only
    // announced; the views follow them here.
    if (m_manager)
        m_observers.add(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification), m_manager.get(),
                        [this](const PLYNotification&) { relayout(); });
    // A rendition written to the image cache may change a picture's size or content.
    m_observers.add(QStringLiteral("kPLY_NOTIFICATION_IMAGE_CACHE_CREATED"), nullptr, [this](const PLYNotification&) {
        QPointer<PLYLayoutViewProxy> self(this);
        // The cache may post from its own threads; views are touched on the main thread only.
        QMetaObject::invokeMethod(
            this, [self] { if (self) self->relayout(); }, Qt::QueuedConnection);
    });
    // A picture decoded for painting: the views show it on their next paint.
    m_observers.add(QString::fromLatin1(PLYDecodedImageCache::DecodedNotification), nullptr, [this](const PLYNotification&) {
        if (m_layoutView) m_layoutView->update();
        for (const QPointer<PLYBlockView>& view : std::as_const(m_freeViews))
            if (view) view->update();
    });
}

PLYLayoutViewProxy::~PLYLayoutViewProxy() {
    m_observers.clear();
    m_live = false;
    if (m_manager)
        m_manager->removeLayoutViewProxy(this);
    delete m_layoutView.data();
}

PLYLayoutView* PLYLayoutViewProxy::layoutView() const { return m_layoutView.data(); }

PLYLayout* PLYLayoutViewProxy::layout() const {
    if (m_fixedLayout)
        return m_fixedLayout.get();
    return m_manager ? m_manager->representedLayout() : nullptr;
}

std::shared_ptr<PLYLayoutImageSource> PLYLayoutViewProxy::imageSource() const {
    return m_imageSource ? m_imageSource : PLYLayoutImageSource::defaultSource();
}

void PLYLayoutViewProxy::computeGeometry() {
    ++m_geometryGeneration;
    const PLYLayout* current = layout();
    if (!current) {
        m_geometry = PLYLayoutGeometry();
        return;
    }
    const std::shared_ptr<PLYLayoutImageSource> source = imageSource();
    m_geometry = PLYLayoutGeometry::layoutGeometry(*current, source.get());
}

void PLYLayoutViewProxy::relayout() {
    computeGeometry();
    if (m_layoutView)
        m_layoutView->applyGeometry(m_geometry);
    m_freeViews.removeAll(nullptr);
    for (const QPointer<PLYBlockView>& view : std::as_const(m_freeViews))
        view->applyGeometry(m_geometry, false);
}

void PLYLayoutViewProxy::addFreeBlockView(PLYBlockView* view) {
    m_freeViews.removeAll(nullptr);
    if (view && !m_freeViews.contains(view))
        m_freeViews.append(view);
}

PLYBlock* PLYLayoutViewProxy::findBlock(PLYLayout* layout, const QString& blockId) {
    if (!layout || blockId.isEmpty())
        return nullptr;
    const std::string id = blockId.toStdString();
    for (PLYSection& section : *layout->mutable_sections())
        if (PLYBlock* found = findInBlocks(section.mutable_blocks(), id))
            return found;
    return nullptr;
}

PLYBlock* PLYLayoutViewProxy::blockForId(const QString& blockId) const {
    // The manager's layout is looked up through its index of identifiers.
    if (!m_fixedLayout && m_manager)
        return m_manager->blockForRef(blockId);
    return findBlock(layout(), blockId);
}

PLYSection* PLYLayoutViewProxy::sectionForId(const QString& sectionId) const {
    PLYLayout* current = layout();
    if (!current)
        return nullptr;
    const std::string id = sectionId.toStdString();
    for (PLYSection& section : *current->mutable_sections())
        if (section.id() == id)
            return &section;
    return nullptr;
}

PLYBlockView* PLYLayoutViewProxy::blockViewForId(const QString& blockId) const {
    if (!m_layoutView || blockId.isEmpty())
        return nullptr;
    // Each section finds its views by identifier; sections are few.
    for (PLYSectionView* section : m_layoutView->sectionViews())
        if (PLYBlockView* view = section->viewForBlockId(blockId))
            return view;
    return nullptr;
}

PLYBlockView* PLYLayoutViewProxy::blockViewForBlock(const PLYBlock* block) const {
    return block ? blockViewForId(QString::fromStdString(block->id())) : nullptr;
}

PLYSectionView* PLYLayoutViewProxy::sectionViewForSection(const PLYSection* section) const {
    if (!section || !m_layoutView)
        return nullptr;
    return m_layoutView->sectionViewForId(QString::fromStdString(section->id()));
}

PLYSectionView* PLYLayoutViewProxy::currentHoverSectionView() const {
    return m_manager ? sectionViewForSection(m_manager->currentHoverSection()) : nullptr;
}

PLYBlockView* PLYLayoutViewProxy::currentHoverBlockView() const {
    return m_manager ? blockViewForBlock(m_manager->currentHoverBlock()) : nullptr;
}

PLYBlockView* PLYLayoutViewProxy::currentEditBlockView() const {
    return m_manager ? blockViewForBlock(m_manager->currentEditBlock()) : nullptr;
}

QList<PLYBlockView*> PLYLayoutViewProxy::currentSelectedBlockViews() const {
    QList<PLYBlockView*> views;
    if (!m_manager)
        return views;
    for (const PLYBlock* block : m_manager->currentSelectedBlocks())
        if (PLYBlockView* view = blockViewForBlock(block))
            views.append(view);
    return views;
}

bool PLYLayoutViewProxy::followsManager(PLYLayoutManager* manager) const {
    return !m_fixedLayout && manager && manager == m_manager.get();
}

void PLYLayoutViewProxy::layoutManagerDidChangeSection(PLYLayoutManager* manager, PLYSection* section) {
    if (!followsManager(manager))
        return;
    computeGeometry();
    if (!m_layoutView)
        return;
    if (section)
        m_layoutView->rebuildSection(QString::fromStdString(section->id()));
    m_layoutView->applyGeometry(m_geometry);
}

void PLYLayoutViewProxy::layoutManagerDidChangeLayout(PLYLayoutManager* manager) {
    if (!followsManager(manager))
        return;
    computeGeometry();
    if (m_layoutView)
        m_layoutView->reloadLayout();
}

void PLYLayoutViewProxy::layoutManagerWillRemoveBlock(PLYLayoutManager* manager, PLYBlock* block) {
    if (!followsManager(manager))
        return;
    if (PLYBlockView* view = blockViewForBlock(block))
        view->teardownEditViews();
}

void PLYLayoutViewProxy::layoutManagerTeardownEditViews(PLYLayoutManager* manager, PLYBlock* block) {
    if (!followsManager(manager))
        return;
    if (PLYBlockView* view = blockViewForBlock(block)) {
        view->teardownEditViews();
        view->update();
    }
}

void PLYLayoutViewProxy::layoutManagerDidChangeBlockProperties(PLYLayoutManager* manager) {
    if (followsManager(manager))
        relayout();
}

bool PLYLayoutViewProxy::commitTextOfBlock(const QString& blockId, const PLYBlock_Text& text,
                                           const QString& actionName) {
    if (m_fixedLayout || !m_manager) {
        // Not the manager's layout: nobody else follows it, so it is written here.
        PLYBlock* block = blockForId(blockId);
        if (!block || block->type_case() != PLYBlock::kText ||
            !PLYTextLimits::textBlockHolds(QString::fromStdString(text.value()).size()))
            return false;
        block->mutable_text()->set_value(text.value());
        *block->mutable_text()->mutable_runs() = text.runs();
        relayout();
        return true;
    }
    const PLYBlock* block = m_manager->blockForRef(blockId);
    if (!block || block->type_case() != PLYBlock::kText)
        return false;
    // A step like every layout change: its undo puts the words back and offers their redo.
    PLYUndoManager* undo = m_undoManagerProvider ? m_undoManagerProvider() : nullptr;
    return m_manager->recordUndoableChange(
        undo, actionName, [&] { return m_manager->setTextContent(blockId, text); }, blockId);
}
