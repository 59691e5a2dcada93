#pragma once

#include "PLYDropItem.h"
#include "PLYDropPlacement.h"
#include "PLYLayout.pb.h"
#include "PLYLayoutEdit.h"
#include "PLYLayoutOwner.h"
#include "PLYTextLimits.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class PLYLayoutManager;
class PLYPostManager;
class PLYUndoManager;

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
    // A block's properties changed and only the views were told (a live drag of edit mode):
    // the change is announced later, but what shows the block's values may follow now.
    virtual void layoutManagerDidRelayoutBlockProperties(PLYLayoutManager*) {}
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
    // A block property changed during a live drag, with no announcement yet: relay out now.
    virtual void layoutManagerDidChangeBlockProperties(PLYLayoutManager*) {}
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

    // ---- Structural edits for the editor: drops, moves, their records and their undo ----
    //
    // Every structural edit above and below leaves a record (lastEdit): what it took out and
    // from where, which containers it dissolved, what it put in, how use counts moved, and the
    // bytes of the sections it touched before and after. An edit that changed nothing leaves an
    // empty record, never the previous one.

    // Puts dropped blocks at `placement`, as one edit. Moved blocks keep their identifiers:
    // they are taken out with purge prevented, put in, and only then are their old containers
    // dissolved when left with one child (or removed when left empty). New blocks are copied
    // in and their images counted. A moved block inside another moved block travels with it;
    // moved identifiers the layout no longer holds are left out; moved blocks land in their
    // layout order, new ones in item order. The target is resolved by identifier before
    // anything moves, and an insert index counts each moved block that sat before it in the
    // same list, whatever the order of the items. Refused, changing nothing: an unknown
    // target, a target that is a moved block or lies inside one, a container target that is
    // not a container, nothing to drop. `edit`, when given, receives the record.
    bool dropBlocks(const QList<PLYDropItem>& items, const PLYDropPlacement& placement, PLYLayoutEdit* edit = nullptr);

    // The blocks that a drag of the selection carries, by identifier: the one block that holds
    // exactly the selected blocks as its leaves (every selected block inside it, nothing else
    // selected), else each selected block that is still in the layout, in selection order.
    QStringList dragBlockRefsForSelection(const QStringList& selectedIds) const;

    const PLYLayoutEdit& lastEdit() const { return m_lastEdit; }

    // Put the sections that `edit` touched, and the layout's properties when it changed them,
    // back as they were before it (revert) or after it (reapply). Image use counts follow the
    // references of the restored sections; the selection keeps the blocks still there. Where
    // only block properties differ the views relay out and hover and edit block stay; otherwise
    // they are cleared and the views reload. The change is announced.
    // False, changing nothing, when a section of the record is gone or no longer holds the bytes
    // the edit left (revert) or found (reapply), the same for the layout's properties, its bytes
    // do not parse, or restoring would give two blocks one identifier.
    bool revertEdit(const PLYLayoutEdit& edit);
    bool reapplyEdit(const PLYLayoutEdit& edit);

    // Registers the undo of `edit` under `actionName`; undoing it registers its redo, and so
    // on. The closures hold this manager weakly and the record by value: no block or view.
    void registerUndoForEdit(PLYUndoManager* undoManager, const PLYLayoutEdit& edit, const QString& actionName);
    // The same for a record its maker may still extend (the edit-mode session) while the step is
    // on top of the history.
    void registerUndoForEdit(PLYUndoManager* undoManager, std::shared_ptr<const PLYLayoutEdit> edit,
                             const QString& actionName);

    // Every layout change goes into the history as a step of its own, so that putting sections
    // back is always exact; a step whose sections no longer hold what it left (reverting) or
    // found (reapplying) refuses and the history is cleared (PLYUndoManager::refuse).
    // The bytes of every section and of the layout's own properties (padding, background colour)
    // now, as a record whose before and after are both the present.
    PLYLayoutEdit sectionSnapshot() const;
    // The same for the one section that holds block `blockId` (every section when no section
    // holds it): what a change of that block alone can touch.
    PLYLayoutEdit sectionSnapshotOfBlock(const QString& blockId) const;
    // The sections of `snapshot` that differ now, from their snapshot bytes to the present ones;
    // the same for the layout's properties when the snapshot holds them.
    PLYLayoutEdit editSince(const PLYLayoutEdit& snapshot) const;
    // The sections of `record`, and its layout properties, take their present bytes as their
    // `after`.
    void updateAfter(PLYLayoutEdit& record) const;
    // Runs `change` and, when it changed any section, registers its undo under `actionName`.
    // Answers what `change` answered. Given `blockId`, `change` touches only that block's section
    // and only that section is compared.
    bool recordUndoableChange(PLYUndoManager* undoManager, const QString& actionName, const std::function<bool()>& change,
                              const QString& blockId = QString());

    // A crop, pan or handle drag of edit mode held down holds back the changes that other roads
    // bring meanwhile (a picture added from a watched folder), so that the drag's step holds the
    // drag alone and nothing moves under the pointer. The hold lasts while the answered token is
    // kept. Such a road hands its change to afterLiveEdit, which runs it at once, or, while a
    // hold is kept, from the event loop once the last hold has ended (after the drag's step),
    // in the order they came.
    std::shared_ptr<void> holdForLiveEdit();
    void afterLiveEdit(std::function<void()> change);

    // The block named `blockId` takes back, from its serialised
    // bytes `before`, its image crop position (cleared when it had none) and its aspect ratio;
    // the change is announced (the views relayout). Answers the block's bytes as they were
    // just before, for a redo; empty when the block is gone or `before` does not parse.
    QByteArray restoreBlockProperties(const QString& blockId, const QByteArray& before);
    // ---- Block property edits (editor handles, inspectors, the text editor's commits) ----
    //
    // Each addresses its block by identifier and answers whether the block now holds the value.
    // A change is written and announced once (the views relayout on the announcement); asking
    // for the value the block already has changes and announces nothing and answers true.
    // Refused (false, logged, nothing changed or announced): an unknown block, a block of a
    // kind the property does not belong to (an edit never switches a block's kind), a value
    // that is not finite or lies outside its range. Undo is the caller's: read the block before.

    // How a change is made known. `Announce` posts the change notification, on which every view
    // relays out. `RelayoutOnly` serves the live drags of edit mode: the views relay out at once
    // and the announcement waits for the end of edit mode (the editor posts it then), so that
    // the publisher and the metrics do not follow every step of a drag.
    enum class Notice { Announce, RelayoutOnly };

    // Width over height. Finite values above 0 are kept within [MinimumAspectRatio,
    // MaximumAspectRatio]; 0 gives the block back its kind's own ratio; negative, NaN and
    // infinite values are refused. Image, blank, text and download-button blocks (a
    // container's shape comes from its children).
    static constexpr double MinimumAspectRatio = 0.05;
    static constexpr double MaximumAspectRatio = 100.0;
    bool setAspectRatio(const QString& blockId, double ratio, Notice notice = Notice::Announce);
    // The bounded ratio of a frame being resized: a zero or negative height gives the maximum,
    // a zero or negative width the minimum; NaN gives 0 (the kind's own).
    static double aspectRatioForSize(double width, double height);

    // The crop of an image block: the picture's centre (x, y) as fractions of the block's width
    // and height, and its width as a multiple of the block's width, in (0, MaximumCropScale];
    // the centre within MaximumCropScale of the block on every side. Clearing it fills the
    // block with the whole picture again.
    static constexpr double MaximumCropScale = 20.0;
    bool setCropPosition(const QString& blockId, double x, double y, double width, Notice notice = Notice::Announce);
    bool clearCropPosition(const QString& blockId);
    // The picture of an image block. The old image's use count goes down and the new one's up;
    // the block's sourceLastUpdated becomes `sourceLastUpdated`, or, without one, the new image's
    // own stamp (sourceLastUpdatedForImage). An empty reference leaves the block without a
    // picture, as a new image block is.
    bool setImageRef(const QString& blockId, const QString& imageRef,
                     const std::optional<QString>& sourceLastUpdated = std::nullopt);
    // Two image blocks exchange their pictures (reference and stamp together, so each block
    // still describes the file it shows); use counts stay. Refused: either block gone or not an
    // image block, or the same block twice.
    bool swapImages(const QString& blockId, const QString& otherBlockId);

    // Text blocks: the style is one of PLYTextStyle.
    bool setTextStyle(const QString& blockId, PLYTextStyle style);
    // Text and download-button blocks: the share of the block's width the content takes, in
    // [MinimumContentWidth, 1], or 0 or -1 for the full width (widthValueForTextWidth gives the
    // inspector's presets); the alignment is one of PLYAlignment.
    static constexpr double MinimumContentWidth = 0.1;
    bool setContentWidth(const QString& blockId, double width);
    bool setContentAlignment(const QString& blockId, PLYAlignment alignment);
    // Download-button blocks: the title, trimmed, not empty, at most MaximumButtonTitleLength
    // characters and without line breaks or other control characters.
    static constexpr int MaximumButtonTitleLength = 60;
    bool setDownloadButtonTitle(const QString& blockId, const QString& title);
    // Text blocks: the words and their styled runs from `text` (its other fields are ignored).
    // Runs must lie inside the words (UTF-16 units); the words are at most MaximumTextLength.
    static constexpr int MaximumTextLength = int(PLYTextLimits::TextBlockMaximumLength);
    bool setTextContent(const QString& blockId, const PLYBlock_Text& text);
    // Text blocks: the colour of the whole text, r, g and b finite and on 0..255.
    bool setTextColour(const QString& blockId, const PLYColour& colour);
    // Download-button blocks: whether the button is drawn in the Pellory style.
    bool setUsePelloryStyling(const QString& blockId, bool use);

private:
    // Announces a property change, or with RelayoutOnly has every view proxy relay out.
    void propertyDidChange(Notice notice);
    // The block named `blockId` when it is of `kind`; otherwise logs why `what` was refused.
    PLYBlock* blockForPropertyEdit(const QString& blockId, std::initializer_list<PLYBlock::TypeCase> kinds,
                                   const char* what) const;

    PLYLayoutManager(std::shared_ptr<PLYLayoutOwner> owner, std::weak_ptr<PLYPostManager> postManager);

    std::shared_ptr<PLYLayoutOwner> m_owner;
    std::weak_ptr<PLYPostManager> m_postManager;
    struct Place;
    bool search(const std::function<bool(const PLYBlock&)>& match, Place& out) const;
    bool locate(const PLYBlock* block, Place& out) const;
    bool locateById(const QString& identifier, Place& out) const;
    bool resolve(const PLYBlock* block, Place& out) const;
    // Where each block sits, by identifier, so that a lookup costs the depth of the block rather
    // than the size of the layout: its section's slot and the slots down to it. Every structural
    // edit opens an edit scope, which marks the index stale; it is built again on the first
    // lookup after the edit. A slot path is checked against the identifier found there before
    // it is trusted, so that an index behind the model never answers a wrong block.
    struct IndexEntry {
        int section = -1;
        std::vector<int> path;
    };
    void rebuildIndex() const;
    bool placeFromIndex(const std::string& identifier, Place& out) const;
    mutable std::unordered_map<std::string, IndexEntry> m_index;
    mutable bool m_indexStale = true;
    PLYSection* resolveSection(const PLYSection* section) const;
    QList<PLYBlock*> insertCopies(const std::vector<PLYBlock>& blocks, PLYBlock* inBlock, PLYSection* section,
                                  qint64 atIndex);
    void adoptCopy(PLYBlock* copy, QSet<std::string>* reserved = nullptr);
    void adjustUseCounts(const PLYBlock& subtree, int delta);
    bool removeWithoutAnnouncing(PLYBlock* block, bool preventPurge);
    void forgetBlocks(const QStringList& identifiers);
    void ensureIdentifiers();
    void tellInteractionProxies(const std::function<void(PLYLayoutManagerInteractionProxy*)>& call);
    // Hover, selection and edit-block changes reach the interaction proxies only once the
    // model is whole again: during an edit they are noted and told, with the state then
    // current, when the outermost edit ends.
    enum PendingCall { PendingSelection = 1, PendingHoverSection = 2, PendingHoverBlock = 4, PendingEditBlock = 8 };
    struct EditScope;
    void interactionStateChanged(PendingCall call);
    void tellPendingInteractionCalls();
    void tellViewProxies(const std::function<void(PLYLayoutViewProxyBase*)>& call);
    void sectionDidChange(PLYSection* section);

    // Edit records.
    void touchSection(const PLYSection* section);
    void changeUseCount(const QString& imageRef, qint64 delta);
    PLYSection* sectionForId(const QString& sectionId) const;
    bool restoreSections(const PLYLayoutEdit& edit, bool toBefore);
    void dissolveIfDegenerate(QString containerId, QList<PLYSection*>& touched);
    int m_editDepth = 0;
    int m_liveEditHolds = 0;
    std::vector<std::function<void()>> m_afterLiveEdit;
    void runAfterLiveEdit();
    PLYLayoutEdit m_record;
    PLYLayoutEdit m_lastEdit;

    QString m_hoverSectionId;
    QString m_hoverBlockId;
    QString m_editBlockId;
    QStringList m_selectedBlockIds;
    int m_pendingCalls = 0;
    QList<PLYLayoutManagerInteractionProxy*> m_interactionProxies;
    QList<PLYLayoutViewProxyBase*> m_viewProxies;
};
