#pragma once

#include "PLYLayout.pb.h"
#include "PLYLayoutOwner.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
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
    // A block (and its subtree) is about to leave the layout: its edit views go first. Also
    // sent for a container that a removal dissolves (its one remaining child moves up into its
    // place and stays in the layout); layoutManagerDidChangeSection follows.
    virtual void layoutManagerWillRemoveBlock(PLYLayoutManager*, PLYBlock*) {}
    // The edit block is changing away from `block`: its handler tears down its edit views
    // and its view redraws.
    virtual void layoutManagerTeardownEditViews(PLYLayoutManager*, PLYBlock*) {}
};

// All edits of one post's layout, and the editor's hover, selection and edit-block state.
// Blocks passed in and out are messages inside the layout, valid until the next edit; hold a
// block across edits by its identifier and resolve it with blockForRef(). Blocks given to the
// add, insert and wrap operations are copied into the layout; a copy whose identifier is empty
// or already used in the layout gets a fresh one. A block argument that is not inside the
// layout is looked up by its identifier.
//
// Removal rules: a container left with one child is replaced by that child, and a container
// left empty is removed (and its own parent checked the same way), unless preventPurge.
// Image use counts move by one for every image block of an added or removed subtree.
class PLYLayoutManager : public std::enable_shared_from_this<PLYLayoutManager> {
public:
    static constexpr const char* LayoutDidChangeNotification = "kPLY_NOTIFICATION_LAYOUT_DID_CHANGE";
    static constexpr const char* DefaultTextBlockText = "Double click to edit text";
    static constexpr const char* DefaultDownloadButtonTitle = "DOWNLOAD IMAGES";

    // `owner` gives the layout and the image use counts (the post); `postManager` is the
    // owning post manager, held weakly. Blocks and sections of the layout without an
    // identifier (or sharing one) get a fresh identifier, so that every one can be held.
    static std::shared_ptr<PLYLayoutManager> managerWithOwner(std::shared_ptr<PLYLayoutOwner> owner,
                                                              std::weak_ptr<PLYPostManager> postManager = {});
    // Makes post managers create their layout managers with managerWithOwner(); the application
    // calls it at start-up. Repeating it changes nothing.
    static void install();
    ~PLYLayoutManager();

    PLYLayout* representedLayout() const;
    std::shared_ptr<PLYPostManager> postManager() const;
    std::shared_ptr<PLYLayoutOwner> owner() const { return m_owner; }

    // A fresh UUID string without braces.
    static QString newIdentifier();

    // New blocks in no layout yet, each with a fresh UUID identifier.
    static PLYBlock newBlock_Image();
    static PLYBlock newBlock_Text();
    static PLYBlock newBlock_Blank();
    static PLYBlock newBlock_DownloadButton();
    static PLYBlock newBlock_Container();
    static PLYSection newSection_Stacked();
    // An image block referring to `imageIdentifier`, with its sourceLastUpdated filled in.
    static PLYBlock newBlock_ImageForIdentifier(const QString& imageIdentifier);

    // Where image blocks learn the modification date of their file (the post library plugs
    // in the store). Unset, or answering nothing, gives "0".
    using ImageModificationDateLookup = std::function<std::optional<QDateTime>(const QString& imageIdentifier)>;
    static void setImageModificationDateLookup(ImageModificationDateLookup lookup);
    // "%i" of the image file's modification time in whole seconds since 1970, as a 32-bit
    // integer; "0" when unknown.
    static QString sourceLastUpdatedForImage(const QString& imageIdentifier);

    static QColor backgroundColourForLayout(const PLYLayout& layout);
    static double widthValueForTextWidth(qint64 preset);
    // Every image reference of the layout, at any depth, once per image block, in order.
    static QStringList imageRefsInLayout(const PLYLayout& layout);

    // Layout properties. A change reloads the views and is announced once; a value equal to the
    // current one changes and announces nothing. A refused value (logged) changes nothing.
    // Padding between blocks in points, within [MinimumPadding, MaximumPadding].
    static constexpr qint64 MinimumPadding = 0;
    static constexpr qint64 MaximumPadding = 100;
    bool setPadding(qint64 padding);
    // r, g and b finite and on 0..255.
    bool setBackgroundColour(const PLYColour& colour);

    // Edits. Each mirrors into the views and posts the change notification once. The add and
    // insert operations answer the blocks now in the layout, the wrap the new container;
    // nothing when refused.
    PLYBlock* addBlock(const PLYBlock& block, PLYBlock* inBlock, PLYSection* section);
    QList<PLYBlock*> addBlocks(const std::vector<PLYBlock>& blocks, PLYBlock* inBlock, PLYSection* section);
    // New image blocks appended to the last section; nothing on a layout without sections.
    QList<PLYBlock*> createAndAddBlocksForImages(const QStringList& imageIdentifiers);
    // An index at or past the end appends; a negative one inserts at the front.
    QList<PLYBlock*> insertBlocks(const std::vector<PLYBlock>& blocks, PLYBlock* inBlock, PLYSection* section,
                                  qint64 atIndex);
    // `atIndex` 0 puts the given blocks before the wrapped block, any other value after it.
    PLYBlock* wrapBlock(PLYBlock* block, PLYBlock* inBlock, PLYSection* section,
                        const std::vector<PLYBlock>& insertFollowing, qint64 atIndex);
    void removeBlock(PLYBlock* block, bool preventPurge);
    // removeBlock(b, false) for each in order (blocks already gone are skipped); one
    // announcement for the batch.
    void removeBlocks(const QList<PLYBlock*>& blocks);
    // Removes empty containers throughout the layout.
    void validateLayoutModel();

    // Queries.
    PLYBlock* blockForRef(const QString& identifier) const;
    PLYSection* sectionForBlock(const PLYBlock* block) const;
    PLYBlock* parentBlockForBlock(const PLYBlock* block, PLYSection* section) const;
    QList<PLYBlock*> pathFromSectionToBlock(const PLYBlock* block) const;
    QList<PLYBlock*> allLeafsForBlock(PLYBlock* block) const;

    // Hover, selection and edit state, held by identifier and resolved on read. A block that
    // leaves the layout leaves the selection, the hover and edit mode with it.
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

    // Tears down the edit views of the current edit block in every view proxy, then stores
    // the new one and tells the interaction proxies.
    void setEditBlock(PLYBlock* block);
    void editBlockDidChangeStructure();

    // Registering twice is harmless; a removed proxy is never called again, even when it is
    // removed during a call to another one.
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
    struct Place;
    bool search(const std::function<bool(const PLYBlock&)>& match, Place& out) const;
    bool locate(const PLYBlock* block, Place& out) const;
    bool locateById(const QString& identifier, Place& out) const;
    bool resolve(const PLYBlock* block, Place& out) const;
    PLYSection* resolveSection(const PLYSection* section) const;
    QList<PLYBlock*> insertCopies(const std::vector<PLYBlock>& blocks, PLYBlock* inBlock, PLYSection* section,
                                  qint64 atIndex);
    void adoptCopy(PLYBlock* copy);
    void adjustUseCounts(const PLYBlock& subtree, int delta);
    bool removeWithoutAnnouncing(PLYBlock* block, bool preventPurge);
    void forgetBlocks(const QStringList& identifiers);
    void ensureIdentifiers();
    void tellInteractionProxies(const std::function<void(PLYLayoutManagerInteractionProxy*)>& call);
    void tellViewProxies(const std::function<void(PLYLayoutViewProxyBase*)>& call);
    void sectionDidChange(PLYSection* section);

    QString m_hoverSectionId;
    QString m_hoverBlockId;
    QString m_editBlockId;
    QStringList m_selectedBlockIds;
    QList<PLYLayoutManagerInteractionProxy*> m_interactionProxies;
    QList<PLYLayoutViewProxyBase*> m_viewProxies;
};
