#pragma once

#include "PLYLayout.pb.h"
#include "PLYLayoutOwner.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class PLYLayoutManager;
class PLYPostManager;

// Interaction proxies (the inspector, the editing overlay) hear of hover, selection and edit
// changes. Registration is not owning; a proxy removes itself before it is destroyed.
class PLYLayoutManagerInteractionProxy {
public:
    virtual ~PLYLayoutManagerInteractionProxy() = default;
    virtual void layoutManagerDidSetHoverSection(PLYLayoutManager*, PLYSection*) {}
    virtual void layoutManagerDidSetHoverBlock(PLYLayoutManager*, PLYBlock*) {}
    virtual void layoutManagerDidSelectSection(PLYLayoutManager*, PLYSection*) {}
    virtual void layoutManagerDidSelectBlocks(PLYLayoutManager*, const QList<PLYBlock*>&) {}
    virtual void layoutManagerDidSetEditBlock(PLYLayoutManager*, PLYBlock*) {}
};

// What the manager asks of a rendered layout view (implemented by PLYLayoutViewProxy).
// The manager mirrors every edit into each registered proxy; registration is not owning.
class PLYLayoutViewProxyBase {
public:
    virtual ~PLYLayoutViewProxyBase() = default;
    virtual bool isLive() const { return true; }
    // Blocks of this section were added, inserted, wrapped or removed: rebuild and relay
    // out that section's views.
    virtual void layoutManagerDidChangeSection(PLYLayoutManager*, PLYSection*) {}
    // Sections, padding or background changed: reload the whole layout view.
    virtual void layoutManagerDidChangeLayout(PLYLayoutManager*) {}
    // A block (and its subtree) is about to leave the layout: its edit views go first.
    virtual void layoutManagerWillRemoveBlock(PLYLayoutManager*, PLYBlock*) {}
    // The edit block is changing away from `block`: its handler tears down its edit views
    // and its view redraws.
    virtual void layoutManagerTeardownEditViews(PLYLayoutManager*, PLYBlock*) {}
};

// All edits of one post's layout, and the editor's hover, selection and edit-block state.
// Blocks passed in and out are messages inside the layout, valid until the next edit; hold a
// block across edits by its identifier and resolve it with blockForRef().
class PLYLayoutManager : public std::enable_shared_from_this<PLYLayoutManager> {
public:
    static constexpr const char* LayoutDidChangeNotification = "kPLY_NOTIFICATION_LAYOUT_DID_CHANGE";

    // `owner` gives the layout and the image use counts (the post); `postManager` is the
    // owning post manager, held weakly.
    static std::shared_ptr<PLYLayoutManager> managerWithOwner(std::shared_ptr<PLYLayoutOwner> owner,
                                                              std::weak_ptr<PLYPostManager> postManager = {});
    ~PLYLayoutManager();

    PLYLayout* representedLayout() const;
    std::shared_ptr<PLYPostManager> postManager() const;
    std::shared_ptr<PLYLayoutOwner> owner() const { return m_owner; }

    // New blocks in no layout yet, each with a fresh UUID identifier.
    static PLYBlock newBlock_Image();
    static PLYBlock newBlock_Text();
    static PLYBlock newBlock_Blank();
    static PLYBlock newBlock_DownloadButton();
    static PLYBlock newBlock_Container();
    static PLYSection newSection_Stacked();

    static QColor backgroundColourForLayout(const PLYLayout& layout);
    static double widthValueForTextWidth(qint64 preset);

    // Edits. Each mirrors into the views and posts the change notification.
    void addBlock(const PLYBlock& block, PLYBlock* inBlock, PLYSection* section);
    void addBlocks(const std::vector<PLYBlock>& blocks, PLYBlock* inBlock, PLYSection* section);
    void createAndAddBlocksForImages(const QStringList& imageIdentifiers);
    void insertBlocks(const std::vector<PLYBlock>& blocks, PLYBlock* inBlock, PLYSection* section, qint64 atIndex);
    void wrapBlock(PLYBlock* block, PLYBlock* inBlock, PLYSection* section, const std::vector<PLYBlock>& insertFollowing,
                   qint64 atIndex);
    void removeBlock(PLYBlock* block, bool preventPurge);
    void removeBlocks(const QList<PLYBlock*>& blocks);
    void validateLayoutModel();

    // Queries.
    PLYBlock* blockForRef(const QString& identifier) const;
    PLYSection* sectionForBlock(const PLYBlock* block) const;
    PLYBlock* parentBlockForBlock(const PLYBlock* block, PLYSection* section) const;
    QList<PLYBlock*> pathFromSectionToBlock(const PLYBlock* block) const;
    QList<PLYBlock*> allLeafsForBlock(PLYBlock* block) const;

    // Hover, selection and edit state, held by identifier and resolved on read.
    void setHoverSection(PLYSection* section);
    void setHoverBlock(PLYBlock* block);
    PLYSection* currentHoverSection() const;
    PLYBlock* currentHoverBlock() const;
    PLYBlock* currentEditBlock() const;
    QList<PLYBlock*> currentSelectedBlocks() const;

    void selectBlock(PLYBlock* block);
    void selectBlocks(const QList<PLYBlock*>& blocks);
    void addSelectedBlock(PLYBlock* block);
    void deSelectBlock(PLYBlock* block);
    void deSelectAllBlocks();

    void setEditBlock(PLYBlock* block);
    void editBlockDidChangeStructure();

    void addInteractionProxy(PLYLayoutManagerInteractionProxy* proxy);
    void removeInteractionProxy(PLYLayoutManagerInteractionProxy* proxy);
    void addLayoutViewProxy(PLYLayoutViewProxyBase* proxy);
    void removeLayoutViewProxy(PLYLayoutViewProxyBase* proxy);
    PLYLayoutViewProxyBase* liveLayoutViewProxy() const;
    QList<PLYLayoutViewProxyBase*> layoutViewProxies() const;

    // Posts "kPLY_NOTIFICATION_LAYOUT_DID_CHANGE" with this manager as object.
    void announceChange();

private:
    PLYLayoutManager(std::shared_ptr<PLYLayoutOwner> owner, std::weak_ptr<PLYPostManager> postManager);

    std::shared_ptr<PLYLayoutOwner> m_owner;
    std::weak_ptr<PLYPostManager> m_postManager;
    QString m_hoverSectionId;
    QString m_hoverBlockId;
    QString m_editBlockId;
    QStringList m_selectedBlockIds;
    QList<PLYLayoutManagerInteractionProxy*> m_interactionProxies;
    QList<PLYLayoutViewProxyBase*> m_viewProxies;
};
