#pragma once

#include "PLYLayoutGeometry.h"
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"

#include <QGraphicsView>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class PLYBlockView;
class PLYLayoutImageSource;
class PLYLayoutView;
class PLYSectionView;
class PLYUndoManager;

// The bridge between a layout manager and one rendered layout view. It registers with the
// manager, which mirrors every edit into it; it owns the layout view and its geometry. With a
// fixed layout it shows that layout instead of the manager's (and ignores the manager's edits).
class PLYLayoutViewProxy : public QObject, public PLYLayoutViewProxyBase {
    Q_OBJECT
public:
    PLYLayoutViewProxy(std::shared_ptr<PLYLayoutManager> layoutManager, std::shared_ptr<PLYLayout> fixedLayout = {},
                       std::shared_ptr<PLYLayoutImageSource> imageSource = {}, QObject* parent = nullptr);
    ~PLYLayoutViewProxy() override;

    PLYLayoutManager* layoutManager() const { return m_manager.get(); }
    PLYLayoutView* layoutView() const;
    PLYLayout* layout() const;
    std::shared_ptr<PLYLayoutImageSource> imageSource() const;

    QGraphicsView* containingScrollView() const { return m_scrollView; }
    void setContainingScrollView(QGraphicsView* view) { m_scrollView = view; }

    bool isLive() const override { return m_live; }
    void setLive(bool live) { m_live = live; }

    // The frames of the current layout, kept up to date with every change.
    const PLYLayoutGeometry& geometry() const { return m_geometry; }
    // Goes up every time the geometry is recomputed, so that what is derived from it (drop
    // zones) knows when to follow.
    quint64 geometryGeneration() const { return m_geometryGeneration; }
    // Recomputes the geometry and moves the views onto it (views that no longer mirror the
    // model are rebuilt). Cheap enough for live drags.
    void relayout();

    // Views made outside the tree (the editor's twins) are sized with the tree on every
    // relayout while they live.
    void addFreeBlockView(PLYBlockView* view);

    PLYBlock* blockForId(const QString& blockId) const;
    PLYSection* sectionForId(const QString& sectionId) const;

    // Views of the manager's state; nothing where there is none.
    PLYSectionView* currentHoverSectionView() const;
    PLYBlockView* currentHoverBlockView() const;
    PLYBlockView* currentEditBlockView() const;
    QList<PLYBlockView*> currentSelectedBlockViews() const;
    PLYBlockView* blockViewForBlock(const PLYBlock* block) const;
    PLYBlockView* blockViewForId(const QString& blockId) const;
    PLYSectionView* sectionViewForSection(const PLYSection* section) const;

    // A text editor commits the words of a block: through the manager's setTextContent (one
    // announcement; every view follows), with its undo registered as `actionName` in the undo
    // manager, when there is one. A fixed layout takes the words directly and relays out.
    bool commitTextOfBlock(const QString& blockId, const PLYBlock_Text& text, const QString& actionName);
    // Where text commits register their undo: the window's undo manager (asked at each commit,
    // so it may come and go). Unset, commits have no undo.
    void setUndoManagerProvider(std::function<PLYUndoManager*()> provider) { m_undoManagerProvider = std::move(provider); }

    // PLYLayoutViewProxyBase
    void layoutManagerDidChangeSection(PLYLayoutManager* manager, PLYSection* section) override;
    void layoutManagerDidChangeLayout(PLYLayoutManager* manager) override;
    void layoutManagerWillRemoveBlock(PLYLayoutManager* manager, PLYBlock* block) override;
    void layoutManagerTeardownEditViews(PLYLayoutManager* manager, PLYBlock* block) override;
    void layoutManagerDidChangeBlockProperties(PLYLayoutManager* manager) override;

    // Finds a block anywhere in `layout` (recursing into containers).
    static PLYBlock* findBlock(PLYLayout* layout, const QString& blockId);

private:
    void computeGeometry();
    bool followsManager(PLYLayoutManager* manager) const;

    std::shared_ptr<PLYLayoutManager> m_manager;
    std::shared_ptr<PLYLayout> m_fixedLayout;
    std::shared_ptr<PLYLayoutImageSource> m_imageSource;
    // The scene showing the layout view may delete it first.
    QPointer<PLYLayoutView> m_layoutView;
    QPointer<QGraphicsView> m_scrollView;
    PLYLayoutGeometry m_geometry;
    quint64 m_geometryGeneration = 0;
    bool m_live = false;
    PLYObserverBag m_observers;
    QList<QPointer<PLYBlockView>> m_freeViews;
    std::function<PLYUndoManager*()> m_undoManagerProvider;
};
