#include "PLYLayoutManager.h"
#include "PLYIdentifier.h"

#include "PLYAspectRatio.h"
#include "PLYLog.h"
#include "PLYNotificationCenter.h"
#include "PLYPostManager.h"
#include "PLYUndoManager.h"

#include <QCoreApplication>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

using BlockList = google::protobuf::RepeatedPtrField<PLYBlock>;

// Where a block sits: its section, its container (none at the top of a section) and its slot.
struct PLYLayoutManager::Place {
    PLYSection* section = nullptr;
    PLYBlock* parent = nullptr;
    google::protobuf::RepeatedPtrField<PLYBlock>* list = nullptr;
    int index = -1;
    PLYBlock* block() const { return list->Mutable(index); }
};

// Every public structural edit opens a scope; the outermost one starts a fresh record and, on
// leaving, stores the touched sections' bytes after the edit and makes the record lastEdit.
// Interaction proxies hear about the edit only then, once the model is consistent again.
struct PLYLayoutManager::EditScope {
    PLYLayoutManager* manager;
    PLYLayoutEdit* out;
    explicit EditScope(PLYLayoutManager* m, PLYLayoutEdit* o = nullptr) : manager(m), out(o) {
        if (manager->m_editDepth++ == 0) manager->m_record = PLYLayoutEdit();
        manager->m_indexStale = true;
    }
    ~EditScope() {
        manager->m_indexStale = true;
        if (--manager->m_editDepth > 0) return;
        for (PLYLayoutEdit::SectionState& state : manager->m_record.sections) {
            const PLYSection* section = manager->sectionForId(state.sectionId);
            state.after = section ? QByteArray::fromStdString(section->SerializeAsString()) : QByteArray();
        }
        manager->m_lastEdit = std::move(manager->m_record);
        manager->m_record = PLYLayoutEdit();
        if (out) *out = manager->m_lastEdit;
        manager->tellPendingInteractionCalls();
    }
    EditScope(const EditScope&) = delete;
    EditScope& operator=(const EditScope&) = delete;
};

namespace {

PLYLayoutManager::ImageModificationDateLookup& imageDateLookup() {
    static PLYLayoutManager::ImageModificationDateLookup lookup;
    return lookup;
}

QString idOf(const PLYBlock& block) { return QString::fromStdString(block.id()); }

bool isContainer(const PLYBlock& block) { return block.type_case() == PLYBlock::kContainer; }

QString describe(const PLYBlock& block) { return QString::fromStdString(block.ShortDebugString()); }

// Visits a block and everything under it, parents before children.
template <class Block, class Fn>
void visit(Block& block, Fn&& fn) {
    fn(block);
    if (isContainer(block))
        for (auto& child : *const_cast<BlockList*>(&block.container().sub_blocks())) visit(child, fn);
}

// Two block lists of one shape (each block's identifier and kind, containers with children of
// one shape) are shown by the same views.
bool sameShape(const BlockList& a, const BlockList& b) {
    if (a.size() != b.size()) return false;
    for (int i = 0; i < a.size(); ++i) {
        const PLYBlock& x = a.Get(i);
        const PLYBlock& y = b.Get(i);
        if (x.id() != y.id() || x.type_case() != y.type_case()) return false;
        if (isContainer(x) && !sameShape(x.container().sub_blocks(), y.container().sub_blocks())) return false;
    }
    return true;
}

void collectIds(const PLYBlock& block, QStringList& out) {
    visit(block, [&](const PLYBlock& b) { out << idOf(b); });
}

// Moves the element at `index` to the end and takes it out without destroying it, so that
// pointers to it (and into it) stay valid.
PLYBlock* takeAt(BlockList* list, int index) {
    for (int i = index; i < list->size() - 1; ++i) list->SwapElements(i, i + 1);
    return list->ReleaseLast();
}

PLYBlock* placeAt(BlockList* list, int index, PLYBlock* owned) {
    list->AddAllocated(owned);
    for (int i = list->size() - 1; i > index; --i) list->SwapElements(i, i - 1);
    return list->Mutable(index);
}

struct Found {
    PLYBlock* parent = nullptr;
    BlockList* list = nullptr;
    int index = -1;
};

// Depth-first search in layout order.
bool findIn(BlockList* list, PLYBlock* parent, const std::function<bool(const PLYBlock&)>& match, Found& out) {
    for (int i = 0; i < list->size(); ++i) {
        PLYBlock* b = list->Mutable(i);
        if (match(*b)) {
            out = {parent, list, i};
            return true;
        }
        if (isContainer(*b) && findIn(b->mutable_container()->mutable_sub_blocks(), b, match, out)) return true;
    }
    return false;
}

// The layout without its sections: its own properties (padding, background colour).
QByteArray layoutPropertiesBytes(const PLYLayout& layout) {
    PLYLayout properties;
    properties.set_id(layout.id());
    properties.set_padding(layout.padding());
    if (layout.has_background_colour()) *properties.mutable_background_colour() = layout.background_colour();
    return QByteArray::fromStdString(properties.SerializeAsString());
}

}  // namespace

std::shared_ptr<PLYLayoutManager> PLYLayoutManager::managerWithOwner(std::shared_ptr<PLYLayoutOwner> owner,
                                                                     std::weak_ptr<PLYPostManager> postManager) {
    auto manager = std::shared_ptr<PLYLayoutManager>(new PLYLayoutManager(std::move(owner), std::move(postManager)));
    manager->ensureIdentifiers();
    return manager;
}

void PLYLayoutManager::install() { PLYPostManager::setLayoutManagerMaker(&PLYLayoutManager::managerWithOwner); }

PLYLayoutManager::PLYLayoutManager(std::shared_ptr<PLYLayoutOwner> owner, std::weak_ptr<PLYPostManager> postManager)
    : m_owner(std::move(owner)), m_postManager(std::move(postManager)) {}

PLYLayoutManager::~PLYLayoutManager() = default;

PLYLayout* PLYLayoutManager::representedLayout() const { return m_owner ? m_owner->layout() : nullptr; }

std::shared_ptr<PLYPostManager> PLYLayoutManager::postManager() const { return m_postManager.lock(); }

// ---- Factories and class helpers ----

QString PLYLayoutManager::newIdentifier() { return PLYIdentifier::newIdentifier(); }

namespace {
PLYBlock blockWithNewIdentifier() {
    PLYBlock block;
    block.set_id(PLYLayoutManager::newIdentifier().toStdString());
    return block;
}
}  // namespace

PLYBlock PLYLayoutManager::newBlock_Image() {
    PLYBlock block = blockWithNewIdentifier();
    block.mutable_image();
    return block;
}

PLYBlock PLYLayoutManager::newBlock_Text() {
    PLYBlock block = blockWithNewIdentifier();
    block.mutable_text()->set_value(DefaultTextBlockText);
    return block;
}

PLYBlock PLYLayoutManager::newBlock_Blank() {
    PLYBlock block = blockWithNewIdentifier();
    block.mutable_blank();
    block.set_aspect_ratio(float(PLYAspectRatio::factorForPreset(PLYAspectRatio::BlankDefaultPreset)));
    return block;
}

PLYBlock PLYLayoutManager::newBlock_DownloadButton() {
    PLYBlock block = blockWithNewIdentifier();
    block.mutable_download_button()->set_title(DefaultDownloadButtonTitle);
    return block;
}

PLYBlock PLYLayoutManager::newBlock_Container() {
    PLYBlock block = blockWithNewIdentifier();
    block.mutable_container()->set_vert(true);
    return block;
}

PLYSection PLYLayoutManager::newSection_Stacked() {
    PLYSection section;
    section.set_id(newIdentifier().toStdString());
    section.mutable_stacked();
    return section;
}

PLYBlock PLYLayoutManager::newBlock_ImageForIdentifier(const QString& imageIdentifier) {
    PLYBlock block = newBlock_Image();
    block.mutable_image()->set_img_ref(imageIdentifier.toStdString());
    block.mutable_image()->set_source_last_updated(sourceLastUpdatedForImage(imageIdentifier).toStdString());
    return block;
}

void PLYLayoutManager::setImageModificationDateLookup(ImageModificationDateLookup lookup) {
    imageDateLookup() = std::move(lookup);
}

QString PLYLayoutManager::sourceLastUpdatedForImage(const QString& imageIdentifier) {
    const auto& lookup = imageDateLookup();
    std::optional<QDateTime> date = lookup ? lookup(imageIdentifier) : std::nullopt;
    if (!date || !date->isValid()) return QStringLiteral("0");
    // Whole seconds toward zero, then wrapped to 32 bits as the stored format has it.
    const qint64 seconds = date->toMSecsSinceEpoch() / 1000;
    return QString::number(static_cast<qint32>(static_cast<quint32>(seconds)));
}

QColor PLYLayoutManager::backgroundColourForLayout(const PLYLayout& layout) {
    // Clamped, and NaN read as 0: a damaged file must not give an out-of-range colour.
    auto channel = [](float v) { return std::isnan(v) ? 0.0 : std::clamp(double(v) / 255.0, 0.0, 1.0); };
    const PLYColour& c = layout.background_colour();
    return QColor::fromRgbF(float(channel(c.r())), float(channel(c.g())), float(channel(c.b())), 1.0f);
}

double PLYLayoutManager::widthValueForTextWidth(qint64 preset) {
    switch (preset) {
    case 0: return 0.3;
    case 1: return 0.5;
    case 2: return 0.7;
    case 3: return 1.0;
    case 4: return -1.0;
    default: return 1.0;  // unknown presets, negative ones included, take the full width
    }
}

QStringList PLYLayoutManager::imageRefsInLayout(const PLYLayout& layout) {
    QStringList refs;
    for (const PLYSection& section : layout.sections())
        for (const PLYBlock& block : section.blocks())
            visit(block, [&](const PLYBlock& b) {
                if (b.type_case() == PLYBlock::kImage) refs << QString::fromStdString(b.image().img_ref());
            });
    return refs;
}

// ---- Layout properties ----

bool PLYLayoutManager::setPadding(qint64 padding) {
    PLYLayout* layout = representedLayout();
    if (!layout) return false;
    if (padding < MinimumPadding || padding > MaximumPadding) {
        PLY_LOG_ERROR(QStringLiteral("Refused a padding of %1: it must lie between %2 and %3")
                          .arg(padding).arg(MinimumPadding).arg(MaximumPadding));
        return false;
    }
    if (layout->padding() == padding) return true;
    layout->set_padding(padding);
    tellViewProxies([&](PLYLayoutViewProxyBase* p) { p->layoutManagerDidChangeLayout(this); });
    announceChange();
    return true;
}

bool PLYLayoutManager::setBackgroundColour(const PLYColour& colour) {
    PLYLayout* layout = representedLayout();
    if (!layout) return false;
    for (float v : {colour.r(), colour.g(), colour.b()}) {
        if (!std::isfinite(v) || v < 0.0f || v > 255.0f) {
            PLY_LOG_ERROR(QStringLiteral("Refused a background colour (%1, %2, %3): each component must lie on 0..255")
                              .arg(colour.r()).arg(colour.g()).arg(colour.b()));
            return false;
        }
    }
    const PLYColour& current = layout->background_colour();
    if (layout->has_background_colour() && current.r() == colour.r() && current.g() == colour.g() &&
        current.b() == colour.b())
        return true;
    *layout->mutable_background_colour() = colour;
    tellViewProxies([&](PLYLayoutViewProxyBase* p) { p->layoutManagerDidChangeLayout(this); });
    announceChange();
    return true;
}

// ---- Lookup ----

bool PLYLayoutManager::locate(const PLYBlock* block, Place& out) const {
    PLYLayout* layout = representedLayout();
    if (!layout || !block) return false;
    // Compares addresses only: a stale pointer is never dereferenced here.
    return search([block](const PLYBlock& b) { return &b == block; }, out);
}

bool PLYLayoutManager::search(const std::function<bool(const PLYBlock&)>& match, Place& out) const {
    PLYLayout* layout = representedLayout();
    if (!layout) return false;
    for (PLYSection& section : *layout->mutable_sections()) {
        Found found;
        if (findIn(section.mutable_blocks(), nullptr, match, found)) {
            out = {&section, found.parent, found.list, found.index};
            return true;
        }
    }
    return false;
}

bool PLYLayoutManager::locateById(const QString& identifier, Place& out) const {
    PLYLayout* layout = representedLayout();
    if (!layout || identifier.isEmpty()) return false;
    const std::string id = identifier.toStdString();
    // In the middle of an edit the model changes between lookups: search it as it stands.
    if (m_editDepth == 0) {
        if (m_indexStale) rebuildIndex();
        if (placeFromIndex(id, out)) return true;
        if (!m_indexStale) return false;
    }
    return search([&id](const PLYBlock& b) { return b.id() == id; }, out);
}

void PLYLayoutManager::rebuildIndex() const {
    m_index.clear();
    m_indexStale = false;
    PLYLayout* layout = representedLayout();
    if (!layout) return;
    std::vector<int> path;
    std::function<void(const BlockList&, int)> walk = [&](const BlockList& list, int section) {
        for (int i = 0; i < list.size(); ++i) {
            const PLYBlock& block = list.Get(i);
            path.push_back(i);
            // The first of two blocks sharing an identifier wins, as in a search in layout order.
            if (!block.id().empty()) m_index.try_emplace(block.id(), IndexEntry{section, path});
            if (isContainer(block)) walk(block.container().sub_blocks(), section);
            path.pop_back();
        }
    };
    for (int s = 0; s < layout->sections_size(); ++s) walk(layout->sections(s).blocks(), s);
}

bool PLYLayoutManager::placeFromIndex(const std::string& identifier, Place& out) const {
    const auto it = m_index.find(identifier);
    PLYLayout* layout = representedLayout();
    if (it == m_index.end() || !layout) return false;
    const IndexEntry& entry = it->second;
    if (entry.section < 0 || entry.section >= layout->sections_size() || entry.path.empty()) return false;
    Place place;
    place.section = layout->mutable_sections(entry.section);
    place.list = place.section->mutable_blocks();
    for (size_t depth = 0;; ++depth) {
        const int slot = entry.path[depth];
        if (slot < 0 || slot >= place.list->size()) break;
        if (depth + 1 == entry.path.size()) {
            place.index = slot;
            if (place.block()->id() != identifier) break;
            out = place;
            return true;
        }
        PLYBlock* container = place.list->Mutable(slot);
        if (!isContainer(*container)) break;
        place.parent = container;
        place.list = container->mutable_container()->mutable_sub_blocks();
    }
    // The layout changed under the index: it is built again on the next lookup.
    m_indexStale = true;
    return false;
}

bool PLYLayoutManager::resolve(const PLYBlock* block, Place& out) const {
    if (!block) return false;
    // Identifiers are unique in the layout: the block found by the given block's identifier is
    // that block when it is in the layout. A block outside it resolves to its namesake inside.
    return locateById(idOf(*block), out) || locate(block, out);
}

PLYSection* PLYLayoutManager::resolveSection(const PLYSection* section) const {
    PLYLayout* layout = representedLayout();
    if (!layout || !section) return nullptr;
    for (PLYSection& s : *layout->mutable_sections())
        if (&s == section) return &s;
    if (section->id().empty()) return nullptr;
    for (PLYSection& s : *layout->mutable_sections())
        if (s.id() == section->id()) return &s;
    return nullptr;
}

PLYBlock* PLYLayoutManager::blockForRef(const QString& identifier) const {
    Place place;
    return locateById(identifier, place) ? place.block() : nullptr;
}

PLYSection* PLYLayoutManager::sectionForBlock(const PLYBlock* block) const {
    Place place;
    return resolve(block, place) ? place.section : nullptr;
}

PLYBlock* PLYLayoutManager::parentBlockForBlock(const PLYBlock* block, PLYSection* section) const {
    Place place;
    if (!resolve(block, place)) return nullptr;
    if (section && place.section != resolveSection(section)) return nullptr;
    return place.parent;
}

QList<PLYBlock*> PLYLayoutManager::pathFromSectionToBlock(const PLYBlock* block) const {
    Place place;
    if (!resolve(block, place) || !place.parent) return {};
    QList<PLYBlock*> path{place.block()};
    for (PLYBlock* parent = place.parent; parent;) {
        path.prepend(parent);
        Place up;
        parent = locate(parent, up) ? up.parent : nullptr;
    }
    return path;
}

QList<PLYBlock*> PLYLayoutManager::allLeafsForBlock(PLYBlock* block) const {
    QList<PLYBlock*> leaves;
    if (!block) return leaves;
    visit(*block, [&](PLYBlock& b) {
        if (!isContainer(b)) leaves << &b;
    });
    return leaves;
}

// ---- Edits ----

void PLYLayoutManager::ensureIdentifiers() {
    PLYLayout* layout = representedLayout();
    if (!layout) return;
    QSet<std::string> seen;
    int fixed = 0;
    for (PLYSection& section : *layout->mutable_sections()) {
        if (section.id().empty() || seen.contains(section.id())) {
            section.set_id(newIdentifier().toStdString());
            ++fixed;
        }
        seen.insert(section.id());
        for (PLYBlock& top : *section.mutable_blocks())
            visit(top, [&](PLYBlock& b) {
                if (b.id().empty() || seen.contains(b.id())) {
                    b.set_id(newIdentifier().toStdString());
                    ++fixed;
                }
                seen.insert(b.id());
            });
    }
    if (fixed) PLY_LOG_WARN(QStringLiteral("gave %1 unidentified or duplicate layout items a fresh identifier").arg(fixed));
}

// A copied block must be reachable by its identifier: an empty or already used one is replaced.
// `reserved` holds identifiers that are out of the layout for the moment but taken (blocks being
// moved, other copies of the same edit); the copy's identifiers are added to it.
void PLYLayoutManager::adoptCopy(PLYBlock* copy, QSet<std::string>* reserved) {
    // The copy is small and the layout may be large: look for the copy's identifiers in one
    // pass over the layout instead of indexing the whole layout.
    QSet<std::string> wanted;
    visit(*copy, [&](const PLYBlock& b) { wanted.insert(b.id()); });
    QSet<std::string> taken;
    for (const PLYSection& section : representedLayout()->sections())
        for (const PLYBlock& top : section.blocks())
            visit(top, [&](const PLYBlock& b) {
                if (wanted.contains(b.id())) taken.insert(b.id());
            });
    QSet<std::string> used;
    visit(*copy, [&](PLYBlock& b) {
        const bool clash = taken.contains(b.id()) || used.contains(b.id()) || (reserved && reserved->contains(b.id()));
        if (clash && !b.id().empty())
            PLY_LOG_WARN(QStringLiteral("block %1 is already in the layout; the copy gets a new identifier")
                             .arg(QString::fromStdString(b.id())));
        if (b.id().empty() || clash) b.set_id(newIdentifier().toStdString());
        used.insert(b.id());
    });
    if (reserved) reserved->unite(used);
}

void PLYLayoutManager::adjustUseCounts(const PLYBlock& subtree, int delta) {
    if (!m_owner) return;
    visit(subtree, [&](const PLYBlock& b) {
        if (b.type_case() != PLYBlock::kImage || b.image().img_ref().empty()) return;
        changeUseCount(QString::fromStdString(b.image().img_ref()), delta);
    });
}

void PLYLayoutManager::changeUseCount(const QString& imageRef, qint64 delta) {
    if (!m_owner || imageRef.isEmpty() || delta == 0) return;
    for (qint64 i = 0; i < qAbs(delta); ++i) {
        if (delta > 0)
            m_owner->incrementInUseCountForImage(imageRef);
        else
            m_owner->decrementInUseCountForImage(imageRef);
    }
    if (m_editDepth > 0) {
        qint64& recorded = m_record.useCountChanges[imageRef];
        recorded += delta;
        if (recorded == 0) m_record.useCountChanges.remove(imageRef);
    }
}

QList<PLYBlock*> PLYLayoutManager::insertCopies(const std::vector<PLYBlock>& blocks, PLYBlock* inBlock,
                                                PLYSection* section, qint64 atIndex) {
    EditScope scope(this);
    if (!representedLayout()) return {};
    BlockList* list = nullptr;
    PLYSection* target = nullptr;
    if (inBlock) {
        Place place;
        if (!resolve(inBlock, place)) {
            PLY_LOG_ERROR(QStringLiteral("cannot add blocks to a block that is not in the layout: \n%1").arg(describe(*inBlock)));
            return {};
        }
        PLYBlock* parent = place.block();
        if (!isContainer(*parent)) {
            PLY_LOG_ERROR(QStringLiteral("cannot add blocks to a blocck that is not a container: \n%1").arg(describe(*parent)));
            return {};
        }
        list = parent->mutable_container()->mutable_sub_blocks();
        target = place.section;
    } else {
        target = resolveSection(section);
        if (!target) {
            PLY_LOG_ERROR(QStringLiteral("cannot add blocks: the section is not part of the layout"));
            return {};
        }
        list = target->mutable_blocks();
    }
    if (blocks.empty()) return {};

    touchSection(target);
    int index = int(std::clamp<qint64>(atIndex, 0, list->size()));
    QList<PLYBlock*> added;
    for (const PLYBlock& block : blocks) {
        auto* copy = new PLYBlock(block);
        adoptCopy(copy);
        added << placeAt(list, index++, copy);
        adjustUseCounts(*copy, +1);
        m_record.inserted << idOf(*copy);
    }
    sectionDidChange(target);
    announceChange();
    return added;
}

PLYBlock* PLYLayoutManager::addBlock(const PLYBlock& block, PLYBlock* inBlock, PLYSection* section) {
    const QList<PLYBlock*> added = insertCopies({block}, inBlock, section, std::numeric_limits<qint64>::max());
    return added.isEmpty() ? nullptr : added.first();
}

QList<PLYBlock*> PLYLayoutManager::addBlocks(const std::vector<PLYBlock>& blocks, PLYBlock* inBlock, PLYSection* section) {
    return insertCopies(blocks, inBlock, section, std::numeric_limits<qint64>::max());
}

QList<PLYBlock*> PLYLayoutManager::insertBlocks(const std::vector<PLYBlock>& blocks, PLYBlock* inBlock,
                                                PLYSection* section, qint64 atIndex) {
    return insertCopies(blocks, inBlock, section, atIndex);
}

QList<PLYBlock*> PLYLayoutManager::createAndAddBlocksForImages(const QStringList& imageIdentifiers) {
    EditScope scope(this);
    PLYLayout* layout = representedLayout();
    if (!layout || layout->sections_size() == 0) {
        PLY_LOG_WARN(QStringLiteral("cannot add images: the layout has no section"));
        return {};
    }
    std::vector<PLYBlock> blocks;
    for (const QString& identifier : imageIdentifiers) blocks.push_back(newBlock_ImageForIdentifier(identifier));
    return addBlocks(blocks, nullptr, layout->mutable_sections(layout->sections_size() - 1));
}

PLYBlock* PLYLayoutManager::wrapBlock(PLYBlock* block, PLYBlock* inBlock, PLYSection* section,
                                      const std::vector<PLYBlock>& insertFollowing, qint64 atIndex) {
    EditScope scope(this);
    Place place;
    if (!resolve(block, place)) {
        PLY_LOG_ERROR(QStringLiteral("cannot wrap a block that is not in the layout"));
        return nullptr;
    }
    // The layout itself says where the block sits; the caller's parent and section are hints.
    if (inBlock && place.parent != inBlock && (!place.parent || place.parent->id() != inBlock->id()))
        PLY_LOG_WARN(QStringLiteral("wrapBlock: the given parent does not hold the block; using its real parent"));
    Q_UNUSED(section);

    touchSection(place.section);
    auto* container = new PLYBlock(newBlock_Container());
    m_record.createdContainers << idOf(*container);
    container->mutable_container()->set_vert(place.parent ? !place.parent->container().vert() : false);
    BlockList* children = container->mutable_container()->mutable_sub_blocks();
    const int slot = place.index;
    children->AddAllocated(takeAt(place.list, slot));
    PLYBlock* wrapper = placeAt(place.list, slot, container);

    int index = atIndex == 0 ? 0 : 1;
    for (const PLYBlock& b : insertFollowing) {
        auto* copy = new PLYBlock(b);
        adoptCopy(copy);
        placeAt(children, index++, copy);
        adjustUseCounts(*copy, +1);
        m_record.inserted << idOf(*copy);
    }
    sectionDidChange(place.section);
    announceChange();
    return wrapper;
}

void PLYLayoutManager::removeBlock(PLYBlock* block, bool preventPurge) {
    EditScope scope(this);
    if (removeWithoutAnnouncing(block, preventPurge)) announceChange();
}

void PLYLayoutManager::removeBlocks(const QList<PLYBlock*>& blocks) {
    EditScope scope(this);
    // Earlier removals may dissolve containers named later: hold everything by identifier.
    QStringList named;
    for (PLYBlock* b : blocks)
        if (b) named << idOf(*b);
    // A block inside another named block goes with it. Removed on its own first, it could
    // dissolve that container into a sibling, which would then outlive the removal.
    const QSet<QString> namedSet(named.begin(), named.end());
    QStringList ids;
    for (const QString& id : named) {
        const QList<PLYBlock*> path = pathFromSectionToBlock(blockForRef(id));
        const bool insideNamed = std::any_of(path.begin(), path.end() - (path.isEmpty() ? 0 : 1),
                                             [&](const PLYBlock* ancestor) { return namedSet.contains(idOf(*ancestor)); });
        if (!insideNamed) ids << id;
    }
    bool changed = false;
    for (const QString& id : ids)
        if (PLYBlock* b = blockForRef(id)) changed |= removeWithoutAnnouncing(b, false);
    if (changed) announceChange();
}

bool PLYLayoutManager::removeWithoutAnnouncing(PLYBlock* block, bool preventPurge) {
    Place place;
    if (!resolve(block, place)) {
        PLY_LOG_ERROR(QStringLiteral("cannot remove a block that is not in the layout"));
        return false;
    }
    PLYBlock* target = place.block();

    // What goes: the block's subtree, then the containers the removal leaves with one child
    // (dissolved into that child) or none (removed, and their parent checked in turn).
    QStringList goneIds;
    collectIds(*target, goneIds);
    QList<PLYBlock*> dissolved;
    if (!preventPurge) {
        PLYBlock* container = place.parent;
        int remaining = container ? container->container().sub_blocks_size() - 1 : -1;
        while (container) {
            if (remaining > 1) break;
            dissolved << container;
            goneIds << idOf(*container);
            if (remaining == 1) break;
            Place up;
            locate(container, up);
            container = up.parent;
            remaining = container ? container->container().sub_blocks_size() - 1 : -1;
        }
    }

    forgetBlocks(goneIds);
    tellViewProxies([&](PLYLayoutViewProxyBase* p) { p->layoutManagerWillRemoveBlock(this, target); });
    for (PLYBlock* c : dissolved)
        tellViewProxies([&](PLYLayoutViewProxyBase* p) { p->layoutManagerWillRemoveBlock(this, c); });

    // The callbacks may have edited the layout: find everything again by address.
    if (!locate(target, place)) return true;
    touchSection(place.section);
    m_record.removed << PLYLayoutEdit::Removal{idOf(*target), QString::fromStdString(place.section->id()),
                                               place.parent ? idOf(*place.parent) : QString(), place.index, false};
    adjustUseCounts(*target, -1);
    place.list->DeleteSubrange(place.index, 1);
    for (PLYBlock* c : dissolved) {
        Place cp;
        if (!locate(c, cp)) break;
        BlockList* children = c->mutable_container()->mutable_sub_blocks();
        PLYLayoutEdit::Dissolution record{idOf(*c), QString::fromStdString(cp.section->id()),
                                          cp.parent ? idOf(*cp.parent) : QString(), cp.index, QString()};
        if (children->size() == 1) {
            PLYBlock* child = takeAt(children, 0);
            record.replacedById = idOf(*child);
            cp.list->DeleteSubrange(cp.index, 1);
            placeAt(cp.list, cp.index, child);
        } else if (children->empty()) {
            cp.list->DeleteSubrange(cp.index, 1);
        }
        m_record.dissolved << record;
    }
    sectionDidChange(place.section);
    return true;
}

// Blocks leaving the layout leave edit mode, the selection and the hover first.
void PLYLayoutManager::forgetBlocks(const QStringList& identifiers) {
    const QSet<QString> gone(identifiers.begin(), identifiers.end());
    if (!m_editBlockId.isEmpty() && gone.contains(m_editBlockId)) setEditBlock(nullptr);
    const qsizetype before = m_selectedBlockIds.size();
    m_selectedBlockIds.removeIf([&](const QString& id) { return gone.contains(id); });
    if (m_selectedBlockIds.size() != before) interactionStateChanged(PendingSelection);
    if (!m_hoverBlockId.isEmpty() && gone.contains(m_hoverBlockId)) setHoverBlock(nullptr);
}

void PLYLayoutManager::validateLayoutModel() {
    EditScope scope(this);
    PLYLayout* layout = representedLayout();
    if (!layout) return;
    PLYSection* current = nullptr;
    // Children first, so that a container holding only empty containers goes too.
    std::function<bool(BlockList*, PLYBlock*)> prune = [&](BlockList* list, PLYBlock* parent) {
        bool changed = false;
        for (int i = list->size() - 1; i >= 0; --i) {
            PLYBlock* b = list->Mutable(i);
            if (!isContainer(*b)) continue;
            changed |= prune(b->mutable_container()->mutable_sub_blocks(), b);
            if (b->container().sub_blocks_size() == 0) {
                touchSection(current);
                m_record.dissolved << PLYLayoutEdit::Dissolution{idOf(*b), QString::fromStdString(current->id()),
                                                                 parent ? idOf(*parent) : QString(), i, QString()};
                forgetBlocks({idOf(*b)});
                tellViewProxies([&](PLYLayoutViewProxyBase* p) { p->layoutManagerWillRemoveBlock(this, b); });
                list->DeleteSubrange(i, 1);
                changed = true;
            }
        }
        return changed;
    };
    bool any = false;
    for (PLYSection& section : *layout->mutable_sections()) {
        current = &section;
        if (prune(section.mutable_blocks(), nullptr)) {
            sectionDidChange(&section);
            any = true;
        }
    }
    if (any) announceChange();
}

// ---- Hover, selection, edit block ----

void PLYLayoutManager::setHoverSection(PLYSection* section) {
    PLYSection* resolved = resolveSection(section);
    m_hoverSectionId = resolved ? QString::fromStdString(resolved->id()) : QString();
    interactionStateChanged(PendingHoverSection);
}

void PLYLayoutManager::setHoverBlock(PLYBlock* block) {
    Place place;
    m_hoverBlockId = resolve(block, place) ? idOf(*place.block()) : QString();
    interactionStateChanged(PendingHoverBlock);
}

PLYSection* PLYLayoutManager::currentHoverSection() const {
    PLYLayout* layout = representedLayout();
    if (!layout || m_hoverSectionId.isEmpty()) return nullptr;
    const std::string id = m_hoverSectionId.toStdString();
    for (PLYSection& s : *layout->mutable_sections())
        if (s.id() == id) return &s;
    return nullptr;
}

PLYBlock* PLYLayoutManager::currentHoverBlock() const { return blockForRef(m_hoverBlockId); }

PLYBlock* PLYLayoutManager::currentEditBlock() const { return blockForRef(m_editBlockId); }

QList<PLYBlock*> PLYLayoutManager::currentSelectedBlocks() const {
    QList<PLYBlock*> blocks;
    for (const QString& id : m_selectedBlockIds)
        if (PLYBlock* b = blockForRef(id)) blocks << b;
    return blocks;
}

void PLYLayoutManager::selectBlock(PLYBlock* block) { selectBlocks(block ? QList<PLYBlock*>{block} : QList<PLYBlock*>{}); }

void PLYLayoutManager::selectBlocks(const QList<PLYBlock*>& blocks) {
    m_selectedBlockIds.clear();
    for (PLYBlock* b : blocks) {
        Place place;
        if (!resolve(b, place)) continue;
        const QString id = idOf(*place.block());
        if (!m_selectedBlockIds.contains(id)) m_selectedBlockIds << id;
    }
    interactionStateChanged(PendingSelection);
}

void PLYLayoutManager::addSelectedBlock(PLYBlock* block) {
    Place place;
    if (resolve(block, place)) {
        const QString id = idOf(*place.block());
        if (!m_selectedBlockIds.contains(id)) m_selectedBlockIds << id;
    }
    interactionStateChanged(PendingSelection);
}

void PLYLayoutManager::deSelectBlock(PLYBlock* block) {
    if (block) m_selectedBlockIds.removeAll(idOf(*block));
    interactionStateChanged(PendingSelection);
}

void PLYLayoutManager::deSelectAllBlocks() { selectBlocks({}); }

void PLYLayoutManager::setEditBlock(PLYBlock* block) {
    // Read the new block's identifier first: the teardown may redraw views, never the model,
    // but the caller's pointer is only trusted until we call out.
    Place place;
    const QString newId = resolve(block, place) ? idOf(*place.block()) : QString();
    if (PLYBlock* previous = currentEditBlock())
        tellViewProxies([&](PLYLayoutViewProxyBase* p) { p->layoutManagerTeardownEditViews(this, previous); });
    m_editBlockId = newId;
    interactionStateChanged(PendingEditBlock);
}

void PLYLayoutManager::editBlockDidChangeStructure() { setEditBlock(currentEditBlock()); }

// ---- Proxies and announcements ----

void PLYLayoutManager::interactionStateChanged(PendingCall call) {
    m_pendingCalls |= call;
    if (m_editDepth == 0) tellPendingInteractionCalls();
}

void PLYLayoutManager::tellPendingInteractionCalls() {
    // Each call reads the state as it is when it is made; a proxy may change it meanwhile.
    while (m_pendingCalls) {
        const int calls = std::exchange(m_pendingCalls, 0);
        if (calls & PendingSelection) {
            const QList<PLYBlock*> selected = currentSelectedBlocks();
            tellInteractionProxies([&](PLYLayoutManagerInteractionProxy* p) { p->layoutManagerDidSelectBlocks(this, selected); });
        }
        if (calls & PendingHoverSection) {
            PLYSection* current = currentHoverSection();
            tellInteractionProxies([&](PLYLayoutManagerInteractionProxy* p) { p->layoutManagerDidSetHoverSection(this, current); });
        }
        if (calls & PendingHoverBlock) {
            PLYBlock* current = currentHoverBlock();
            tellInteractionProxies([&](PLYLayoutManagerInteractionProxy* p) { p->layoutManagerDidSetHoverBlock(this, current); });
        }
        if (calls & PendingEditBlock) {
            PLYBlock* current = currentEditBlock();
            tellInteractionProxies([&](PLYLayoutManagerInteractionProxy* p) { p->layoutManagerDidSetEditBlock(this, current); });
        }
    }
}

void PLYLayoutManager::addInteractionProxy(PLYLayoutManagerInteractionProxy* proxy) {
    if (proxy && !m_interactionProxies.contains(proxy)) m_interactionProxies << proxy;
}

void PLYLayoutManager::removeInteractionProxy(PLYLayoutManagerInteractionProxy* proxy) {
    m_interactionProxies.removeAll(proxy);
}

void PLYLayoutManager::addLayoutViewProxy(PLYLayoutViewProxyBase* proxy) {
    if (proxy && !m_viewProxies.contains(proxy)) m_viewProxies << proxy;
}

void PLYLayoutManager::removeLayoutViewProxy(PLYLayoutViewProxyBase* proxy) { m_viewProxies.removeAll(proxy); }

PLYLayoutViewProxyBase* PLYLayoutManager::liveLayoutViewProxy() const {
    for (PLYLayoutViewProxyBase* p : m_viewProxies)
        if (p->isLive()) return p;
    return nullptr;
}

QList<PLYLayoutViewProxyBase*> PLYLayoutManager::layoutViewProxies() const { return m_viewProxies; }

// Calls go over a copy of the registry, and each proxy is checked again just before its call,
// so one that is removed meanwhile (even by another proxy's call) is skipped.
void PLYLayoutManager::tellInteractionProxies(const std::function<void(PLYLayoutManagerInteractionProxy*)>& call) {
    auto keepAlive = weak_from_this().lock();
    const auto proxies = m_interactionProxies;
    for (auto* p : proxies)
        if (m_interactionProxies.contains(p)) call(p);
}

void PLYLayoutManager::tellViewProxies(const std::function<void(PLYLayoutViewProxyBase*)>& call) {
    auto keepAlive = weak_from_this().lock();
    const auto proxies = m_viewProxies;
    for (auto* p : proxies)
        if (m_viewProxies.contains(p)) call(p);
}

void PLYLayoutManager::sectionDidChange(PLYSection* section) {
    if (!section) return;
    tellViewProxies([&](PLYLayoutViewProxyBase* p) { p->layoutManagerDidChangeSection(this, section); });
}

void PLYLayoutManager::announceChange() {
    auto keepAlive = weak_from_this().lock();
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(LayoutDidChangeNotification), this);
}

// ---- Structural edits for the editor: drops, moves, their records and their undo ----

PLYSection* PLYLayoutManager::sectionForId(const QString& sectionId) const {
    PLYLayout* layout = representedLayout();
    if (!layout || sectionId.isEmpty()) return nullptr;
    const std::string id = sectionId.toStdString();
    for (PLYSection& s : *layout->mutable_sections())
        if (s.id() == id) return &s;
    return nullptr;
}

// The first time an edit touches a section, its bytes before the edit are kept.
void PLYLayoutManager::touchSection(const PLYSection* section) {
    if (m_editDepth == 0 || !section) return;
    const QString id = QString::fromStdString(section->id());
    for (const PLYLayoutEdit::SectionState& state : std::as_const(m_record.sections))
        if (state.sectionId == id) return;
    m_record.sections << PLYLayoutEdit::SectionState{id, QByteArray::fromStdString(section->SerializeAsString()), {}};
}

// A container left with one child is replaced by that child; one left empty is removed and its
// own container checked in turn.
void PLYLayoutManager::dissolveIfDegenerate(QString containerId, QList<PLYSection*>& touched) {
    while (!containerId.isEmpty()) {
        Place place;
        if (!locateById(containerId, place) || !isContainer(*place.block())) return;
        const int count = place.block()->container().sub_blocks_size();
        if (count > 1) return;
        forgetBlocks({containerId});
        PLYBlock* container = place.block();
        tellViewProxies([&](PLYLayoutViewProxyBase* p) { p->layoutManagerWillRemoveBlock(this, container); });
        if (!locateById(containerId, place)) return;
        touchSection(place.section);
        if (!touched.contains(place.section)) touched << place.section;
        PLYLayoutEdit::Dissolution record{containerId, QString::fromStdString(place.section->id()),
                                          place.parent ? idOf(*place.parent) : QString(), place.index, QString()};
        BlockList* children = place.block()->mutable_container()->mutable_sub_blocks();
        if (!children->empty()) {
            PLYBlock* child = takeAt(children, 0);
            record.replacedById = idOf(*child);
            place.list->DeleteSubrange(place.index, 1);
            placeAt(place.list, place.index, child);
            m_record.dissolved << record;
            return;
        }
        place.list->DeleteSubrange(place.index, 1);
        m_record.dissolved << record;
        containerId = record.parentId;
    }
}

bool PLYLayoutManager::dropBlocks(const QList<PLYDropItem>& items, const PLYDropPlacement& placement, PLYLayoutEdit* edit) {
    EditScope scope(this, edit);
    if (!representedLayout()) return false;
    auto refuse = [](const QString& why) {
        PLY_LOG_WARN(QStringLiteral("drop refused: %1").arg(why));
        return false;
    };

    // Moved blocks by identifier, each once; unknown ones are left out.
    QStringList movedIds;
    for (const PLYDropItem& item : items) {
        if (!item.isMove() || movedIds.contains(item.movedBlockId)) continue;
        if (!blockForRef(item.movedBlockId)) {
            PLY_LOG_WARN(QStringLiteral("dropped block %1 is no longer in the layout").arg(item.movedBlockId));
            continue;
        }
        movedIds << item.movedBlockId;
    }
    const QSet<QString> movedSet(movedIds.begin(), movedIds.end());
    // Whether the block is a moved one or lies inside one.
    auto withinMoved = [&](const PLYBlock* block) {
        if (movedSet.contains(idOf(*block))) return true;
        const QList<PLYBlock*> path = pathFromSectionToBlock(block);
        return std::any_of(path.begin(), path.end(), [&](const PLYBlock* b) { return movedSet.contains(idOf(*b)); });
    };
    // A moved block inside another moved block travels inside it.
    QStringList carried;
    for (const QString& id : std::as_const(movedIds)) {
        const QList<PLYBlock*> path = pathFromSectionToBlock(blockForRef(id));
        const bool insideOther = std::any_of(path.begin(), path.end() - (path.isEmpty() ? 0 : 1),
                                             [&](const PLYBlock* b) { return movedSet.contains(idOf(*b)); });
        if (!insideOther) carried << id;
    }
    // Moved blocks land in the order they were dragged (the drag's items, in selection order),
    // as the drag's picture lines them up.
    bool anything = !carried.isEmpty();
    for (const PLYDropItem& item : items) anything |= !item.isMove();
    if (!anything) return refuse(QStringLiteral("nothing to drop"));

    // The target, resolved by identifier before anything moves.
    PLYSection* section = nullptr;
    BlockList* targetList = nullptr;
    qint64 insertIndex = 0;
    if (placement.kind == PLYDropPlacement::Kind::Insert) {
        if (placement.containerId.isEmpty()) {
            section = sectionForId(placement.sectionId);
            if (!section) return refuse(QStringLiteral("the section is not in the layout"));
            targetList = section->mutable_blocks();
        } else {
            Place target;
            if (!locateById(placement.containerId, target)) return refuse(QStringLiteral("the target container is gone"));
            if (!isContainer(*target.block())) return refuse(QStringLiteral("the target is not a container"));
            if (withinMoved(target.block())) return refuse(QStringLiteral("blocks cannot be dropped into themselves"));
            section = target.section;
            targetList = target.block()->mutable_container()->mutable_sub_blocks();
        }
        // Each moved block that sits before the slot in the same list shifts it by one.
        const qint64 slot = std::clamp<qint64>(placement.index, 0, targetList->size());
        insertIndex = slot;
        for (const QString& id : std::as_const(carried)) {
            Place p;
            if (locateById(id, p) && p.list == targetList && p.index < slot) --insertIndex;
        }
    } else {
        Place target;
        if (!locateById(placement.targetBlockId, target)) return refuse(QStringLiteral("the block to drop beside is gone"));
        if (withinMoved(target.block())) return refuse(QStringLiteral("blocks cannot be dropped beside themselves"));
        section = target.section;
    }

    QList<PLYSection*> touched;
    auto touch = [&](PLYSection* s) {
        touchSection(s);
        if (!touched.contains(s)) touched << s;
    };
    touch(section);
    if (PLYBlock* editing = currentEditBlock(); editing && withinMoved(editing)) setEditBlock(nullptr);

    // New blocks are copied in first, while the moved ones still hold their identifiers.
    QSet<std::string> reserved;
    for (const QString& id : std::as_const(carried)) visit(*blockForRef(id), [&](const PLYBlock& b) { reserved.insert(b.id()); });
    std::map<int, std::unique_ptr<PLYBlock>> copies;
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].isMove()) continue;
        auto copy = std::make_unique<PLYBlock>(items[i].newBlock);
        adoptCopy(copy.get(), &reserved);
        copies[i] = std::move(copy);
    }

    // Moved blocks leave their places with purge prevented: no container dissolves yet.
    std::map<QString, std::unique_ptr<PLYBlock>> taken;
    QStringList oldParents;
    for (const QString& id : std::as_const(carried)) {
        Place p;
        if (!locateById(id, p)) continue;
        PLYBlock* block = p.block();
        tellViewProxies([&](PLYLayoutViewProxyBase* proxy) { proxy->layoutManagerWillRemoveBlock(this, block); });
        if (!locateById(id, p)) continue;
        touch(p.section);
        const QString parentId = p.parent ? idOf(*p.parent) : QString();
        m_record.removed << PLYLayoutEdit::Removal{id, QString::fromStdString(p.section->id()), parentId, p.index, true};
        if (!parentId.isEmpty() && !oldParents.contains(parentId)) oldParents << parentId;
        taken[id].reset(takeAt(p.list, p.index));
    }

    // What lands: every block in item order; optionally grouped in a new container.
    std::vector<std::unique_ptr<PLYBlock>> payload;
    int nextMoved = 0;
    for (int i = 0; i < items.size(); ++i) {
        std::unique_ptr<PLYBlock> block;
        if (items[i].isMove()) {
            if (nextMoved >= carried.size()) continue;
            auto it = taken.find(carried[nextMoved++]);
            if (it == taken.end() || !it->second) continue;
            block = std::move(it->second);
        } else {
            block = std::move(copies[i]);
            adjustUseCounts(*block, +1);
        }
        m_record.inserted << idOf(*block);
        payload.push_back(std::move(block));
    }
    if (placement.groupVertical && payload.size() >= 2) {
        auto group = std::make_unique<PLYBlock>(newBlock_Container());
        group->mutable_container()->set_vert(*placement.groupVertical);
        adoptCopy(group.get(), &reserved);
        for (auto& b : payload) group->mutable_container()->mutable_sub_blocks()->AddAllocated(b.release());
        m_record.createdContainers << idOf(*group);
        payload.clear();
        payload.push_back(std::move(group));
    }

    if (placement.kind == PLYDropPlacement::Kind::Insert) {
        // The target list is still there: nothing was dissolved and it is not inside a moved block.
        if (!placement.containerId.isEmpty()) {
            Place target;
            locateById(placement.containerId, target);
            targetList = target.block()->mutable_container()->mutable_sub_blocks();
        }
        int at = int(std::clamp<qint64>(insertIndex, 0, targetList->size()));
        for (auto& b : payload) placeAt(targetList, at++, b.release());
    } else {
        Place target;
        locateById(placement.targetBlockId, target);
        auto* wrapper = new PLYBlock(newBlock_Container());
        adoptCopy(wrapper, &reserved);
        wrapper->mutable_container()->set_vert(target.parent ? !target.parent->container().vert() : false);
        m_record.createdContainers << idOf(*wrapper);
        BlockList* children = wrapper->mutable_container()->mutable_sub_blocks();
        const int slot = target.index;
        children->AddAllocated(takeAt(target.list, slot));
        int at = placement.after ? 1 : 0;
        for (auto& b : payload) placeAt(children, at++, b.release());
        placeAt(target.list, slot, wrapper);
    }

    for (const QString& parentId : std::as_const(oldParents)) dissolveIfDegenerate(parentId, touched);
    for (PLYSection* s : std::as_const(touched)) sectionDidChange(s);
    announceChange();
    return true;
}

QStringList PLYLayoutManager::dragBlockRefsForSelection(const QStringList& selectedIds) const {
    QStringList selected;
    for (const QString& id : selectedIds)
        if (!selected.contains(id) && blockForRef(id)) selected << id;
    if (selected.size() < 2) return selected;

    QList<QStringList> paths;
    for (const QString& id : std::as_const(selected)) {
        QStringList path;
        for (const PLYBlock* b : pathFromSectionToBlock(blockForRef(id))) path << idOf(*b);
        // A selected block directly in the section is carried on its own, so no common block
        // may stand for the whole selection.
        if (path.isEmpty()) return selected;
        paths << path;
    }
    const QStringList& first = paths.first();
    const QStringList ancestors = first.mid(0, first.size() - 1);
    QString common;
    const bool sameParent = std::all_of(paths.begin(), paths.end(), [&](const QStringList& p) {
        return p.size() == first.size() && p.mid(0, p.size() - 1) == ancestors;
    });
    if (sameParent && !ancestors.isEmpty())
        common = ancestors.last();
    else if (std::all_of(paths.begin(), paths.end(), [&](const QStringList& p) { return p.first() == first.first(); }))
        common = first.first();
    if (common.isEmpty()) return selected;

    QSet<QString> leaves;
    for (const PLYBlock* leaf : allLeafsForBlock(blockForRef(common))) leaves.insert(idOf(*leaf));
    return leaves == QSet<QString>(selected.begin(), selected.end()) ? QStringList{common} : selected;
}

bool PLYLayoutManager::revertEdit(const PLYLayoutEdit& edit) { return restoreSections(edit, true); }

bool PLYLayoutManager::reapplyEdit(const PLYLayoutEdit& edit) { return restoreSections(edit, false); }

bool PLYLayoutManager::restoreSections(const PLYLayoutEdit& edit, bool toBefore) {
    EditScope scope(this);
    // Everything is checked before anything changes.
    struct Restore {
        PLYSection* section;
        PLYSection content;
    };
    std::vector<Restore> restores;
    QSet<std::string> restoredIds;
    std::optional<PLYLayout> properties;
    if (edit.properties) {
        const QByteArray now = layoutPropertiesBytes(*representedLayout());
        if (now != (toBefore ? edit.properties->after : edit.properties->before)) {
            PLY_LOG_ERROR(QStringLiteral("cannot restore the layout's padding and background: they have changed since "
                                         "the step was recorded"));
            return false;
        }
        const QByteArray& bytes = toBefore ? edit.properties->before : edit.properties->after;
        if (now != bytes && !properties.emplace().ParseFromArray(bytes.constData(), int(bytes.size()))) {
            PLY_LOG_ERROR(QStringLiteral("cannot restore the layout's padding and background: the saved bytes do not parse"));
            return false;
        }
    }
    for (const PLYLayoutEdit::SectionState& state : edit.sections) {
        PLYSection* section = sectionForId(state.sectionId);
        const QByteArray& bytes = toBefore ? state.before : state.after;
        if (!section) {
            PLY_LOG_ERROR(QStringLiteral("cannot restore section %1: it is no longer in the layout").arg(state.sectionId));
            return false;
        }
        // Restoring over a section that has changed since would throw that change away.
        const QByteArray now = QByteArray::fromStdString(section->SerializeAsString());
        if (now != (toBefore ? state.after : state.before)) {
            PLY_LOG_ERROR(QStringLiteral("cannot restore section %1: it has changed since the step was recorded")
                              .arg(state.sectionId));
            return false;
        }
        if (now == bytes) continue;
        Restore restore{section, PLYSection()};
        if (!restore.content.ParseFromArray(bytes.constData(), int(bytes.size()))) {
            PLY_LOG_ERROR(QStringLiteral("cannot restore section %1: its saved bytes do not parse").arg(state.sectionId));
            return false;
        }
        for (const PLYBlock& top : restore.content.blocks())
            visit(top, [&](const PLYBlock& b) { restoredIds.insert(b.id()); });
        restores.push_back(std::move(restore));
    }
    if (restores.empty() && !properties) return true;
    // The restored sections must not bring back an identifier that another section now uses.
    for (const PLYSection& other : representedLayout()->sections()) {
        const bool replaced = std::any_of(restores.begin(), restores.end(), [&](const Restore& r) { return r.section == &other; });
        if (replaced) continue;
        bool clash = false;
        for (const PLYBlock& top : other.blocks())
            visit(top, [&](const PLYBlock& b) { clash |= restoredIds.contains(b.id()); });
        if (clash) {
            PLY_LOG_ERROR(QStringLiteral("cannot restore: a restored block's identifier is now used in section %1")
                              .arg(QString::fromStdString(other.id())));
            return false;
        }
    }

    if (properties) {
        PLYLayout* layout = representedLayout();
        layout->set_padding(properties->padding());
        if (properties->has_background_colour())
            *layout->mutable_background_colour() = properties->background_colour();
        else
            layout->clear_background_colour();
    }
    // Where only block properties differ the views stay and relay out, and edit mode and the
    // hover go on; otherwise the views are made again without them.
    const bool shapeKept = !properties && std::all_of(restores.begin(), restores.end(), [](const Restore& restore) {
        return sameShape(restore.section->blocks(), restore.content.blocks());
    });
    if (!shapeKept) {
        setEditBlock(nullptr);
        setHoverBlock(nullptr);
    }
    for (Restore& restore : restores) {
        touchSection(restore.section);
        // Use counts follow the references: only the net change per image is applied.
        QHash<QString, qint64> delta;
        for (const PLYBlock& top : restore.section->blocks())
            visit(top, [&](const PLYBlock& b) {
                if (b.type_case() == PLYBlock::kImage) --delta[QString::fromStdString(b.image().img_ref())];
            });
        for (const PLYBlock& top : restore.content.blocks())
            visit(top, [&](const PLYBlock& b) {
                if (b.type_case() == PLYBlock::kImage) ++delta[QString::fromStdString(b.image().img_ref())];
            });
        for (auto it = delta.cbegin(); it != delta.cend(); ++it) changeUseCount(it.key(), it.value());
        restore.section->Swap(&restore.content);
    }
    // The selection keeps the blocks that are still there (an undone property edit leaves the
    // inspector on its blocks); it is told again either way, since its blocks were replaced.
    m_selectedBlockIds.removeIf([&](const QString& id) { return !blockForRef(id); });
    interactionStateChanged(PendingSelection);
    if (shapeKept)
        tellViewProxies([&](PLYLayoutViewProxyBase* p) { p->layoutManagerDidChangeBlockProperties(this); });
    else
        tellViewProxies([&](PLYLayoutViewProxyBase* p) { p->layoutManagerDidChangeLayout(this); });
    announceChange();
    return true;
}

namespace {
void registerRestore(PLYUndoManager* undoManager, std::weak_ptr<PLYLayoutManager> manager,
                     std::shared_ptr<const PLYLayoutEdit> edit, bool toBefore, const QString& actionName) {
    const void* target = manager.lock().get();
    undoManager->registerUndo(
        [undoManager, manager, edit, toBefore, actionName] {
            auto strong = manager.lock();
            if (!strong) return;
            const bool restored = toBefore ? strong->revertEdit(*edit) : strong->reapplyEdit(*edit);
            // The opposite step is offered only when this one went through; one that cannot go
            // through ends the history, since every step beneath it was recorded on top of it.
            if (restored)
                registerRestore(undoManager, manager, edit, !toBefore, actionName);
            else
                undoManager->refuse(QCoreApplication::translate("PLYLayoutManager",
                                                                "“%1” could not be applied: the layout no longer matches it. "
                                                                "The post's undo history has been cleared; the layout is as it was.")
                                        .arg(actionName));
        },
        target);
    undoManager->setActionName(actionName);
}
}  // namespace

void PLYLayoutManager::registerUndoForEdit(PLYUndoManager* undoManager, const PLYLayoutEdit& edit,
                                           const QString& actionName) {
    registerUndoForEdit(undoManager, std::make_shared<const PLYLayoutEdit>(edit), actionName);
}

void PLYLayoutManager::registerUndoForEdit(PLYUndoManager* undoManager, std::shared_ptr<const PLYLayoutEdit> edit,
                                           const QString& actionName) {
    if (!undoManager || !edit) return;
    registerRestore(undoManager, weak_from_this(), std::move(edit), true, actionName);
}

namespace {

PLYLayoutEdit::SectionState stateOf(const PLYSection& section) {
    const QByteArray bytes = QByteArray::fromStdString(section.SerializeAsString());
    return PLYLayoutEdit::SectionState{QString::fromStdString(section.id()), bytes, bytes};
}

}  // namespace

PLYLayoutEdit PLYLayoutManager::sectionSnapshot() const {
    PLYLayoutEdit snapshot;
    const PLYLayout* layout = representedLayout();
    if (!layout) return snapshot;
    for (const PLYSection& section : layout->sections()) snapshot.sections << stateOf(section);
    const QByteArray properties = layoutPropertiesBytes(*layout);
    snapshot.properties = PLYLayoutEdit::PropertiesState{properties, properties};
    return snapshot;
}

PLYLayoutEdit PLYLayoutManager::sectionSnapshotOfBlock(const QString& blockId) const {
    Place place;
    if (!locateById(blockId, place)) return sectionSnapshot();
    PLYLayoutEdit snapshot;
    snapshot.sections << stateOf(*place.section);
    return snapshot;
}

PLYLayoutEdit PLYLayoutManager::editSince(const PLYLayoutEdit& snapshot) const {
    PLYLayoutEdit edit;
    for (const PLYLayoutEdit::SectionState& state : snapshot.sections)
        if (const PLYSection* section = sectionForId(state.sectionId)) {
            const QByteArray now = QByteArray::fromStdString(section->SerializeAsString());
            if (now != state.before) edit.sections << PLYLayoutEdit::SectionState{state.sectionId, state.before, now};
        }
    if (snapshot.properties && representedLayout()) {
        const QByteArray now = layoutPropertiesBytes(*representedLayout());
        if (now != snapshot.properties->before) edit.properties = PLYLayoutEdit::PropertiesState{snapshot.properties->before, now};
    }
    return edit;
}

void PLYLayoutManager::updateAfter(PLYLayoutEdit& record) const {
    for (PLYLayoutEdit::SectionState& state : record.sections)
        if (const PLYSection* section = sectionForId(state.sectionId))
            state.after = QByteArray::fromStdString(section->SerializeAsString());
    if (record.properties && representedLayout()) record.properties->after = layoutPropertiesBytes(*representedLayout());
}

bool PLYLayoutManager::recordUndoableChange(PLYUndoManager* undoManager, const QString& actionName,
                                            const std::function<bool()>& change, const QString& blockId) {
    const PLYLayoutEdit before = blockId.isEmpty() ? sectionSnapshot() : sectionSnapshotOfBlock(blockId);
    const bool result = change();
    const PLYLayoutEdit edit = editSince(before);
    if (edit.changed()) registerUndoForEdit(undoManager, edit, actionName);
    return result;
}

QByteArray PLYLayoutManager::restoreBlockProperties(const QString& blockId, const QByteArray& before) {
    EditScope scope(this);
    Place place;
    PLYBlock old;
    if (!locateById(blockId, place)) {
        PLY_LOG_WARN(QStringLiteral("cannot undo the edit of block %1: it is no longer in the layout").arg(blockId));
        return {};
    }
    if (!old.ParseFromArray(before.constData(), int(before.size()))) {
        PLY_LOG_ERROR(QStringLiteral("cannot undo the edit of block %1: its saved bytes do not parse").arg(blockId));
        return {};
    }
    PLYBlock* block = place.block();
    const QByteArray replaced = QByteArray::fromStdString(block->SerializeAsString());
    touchSection(place.section);
    if (block->type_case() == PLYBlock::kImage) {
        if (old.type_case() == PLYBlock::kImage && old.image().has_position()) {
            PLYPosition* position = block->mutable_image()->mutable_position();
            position->set_x(old.image().position().x());
            position->set_y(old.image().position().y());
            position->set_width(old.image().position().width());
        } else {
            block->mutable_image()->clear_position();
        }
    }
    block->set_aspect_ratio(old.aspect_ratio());
    announceChange();
    return replaced;
}

// ---- Block property edits ----

namespace {

const char* kindName(PLYBlock::TypeCase kind) {
    switch (kind) {
    case PLYBlock::kContainer: return "container";
    case PLYBlock::kImage: return "image";
    case PLYBlock::kText: return "text";
    case PLYBlock::kBlank: return "blank";
    case PLYBlock::kDownloadButton: return "download button";
    case PLYBlock::TYPE_NOT_SET: break;
    }
    return "empty";
}

bool isFinite(double v) { return std::isfinite(v); }

// The position of a text or download-button block, made when missing.
PLYPosition* contentPosition(PLYBlock* block) {
    return block->type_case() == PLYBlock::kText ? block->mutable_text()->mutable_position()
                                                 : block->mutable_download_button()->mutable_position();
}

const PLYPosition& contentPositionOf(const PLYBlock& block) {
    return block.type_case() == PLYBlock::kText ? block.text().position() : block.download_button().position();
}

}  // namespace

PLYBlock* PLYLayoutManager::blockForPropertyEdit(const QString& blockId,
                                                 std::initializer_list<PLYBlock::TypeCase> kinds,
                                                 const char* what) const {
    PLYBlock* block = blockForRef(blockId);
    if (!block) {
        PLY_LOG_WARN(QStringLiteral("Refused to set the %1 of block %2: it is not in the layout")
                         .arg(QLatin1String(what), blockId));
        return nullptr;
    }
    if (std::find(kinds.begin(), kinds.end(), block->type_case()) == kinds.end()) {
        PLY_LOG_WARN(QStringLiteral("Refused to set the %1 of block %2: a %3 block has none")
                         .arg(QLatin1String(what), blockId, QLatin1String(kindName(block->type_case()))));
        return nullptr;
    }
    return block;
}

double PLYLayoutManager::aspectRatioForSize(double width, double height) {
    if (std::isnan(width) || std::isnan(height)) return 0.0;
    if (width <= 0.0) return MinimumAspectRatio;
    if (height <= 0.0) return MaximumAspectRatio;
    return std::clamp(width / height, MinimumAspectRatio, MaximumAspectRatio);
}

void PLYLayoutManager::propertyDidChange(Notice notice) {
    if (notice == Notice::Announce) {
        announceChange();
        return;
    }
    tellViewProxies([&](PLYLayoutViewProxyBase* p) { p->layoutManagerDidChangeBlockProperties(this); });
    tellInteractionProxies([&](PLYLayoutManagerInteractionProxy* p) { p->layoutManagerDidRelayoutBlockProperties(this); });
}

bool PLYLayoutManager::setAspectRatio(const QString& blockId, double ratio, Notice notice) {
    if (!isFinite(ratio) || ratio < 0.0) {
        PLY_LOG_WARN(QStringLiteral("Refused the aspect ratio %1 for block %2").arg(ratio).arg(blockId));
        return false;
    }
    PLYBlock* block = blockForPropertyEdit(
        blockId, {PLYBlock::kImage, PLYBlock::kBlank, PLYBlock::kText, PLYBlock::kDownloadButton}, "aspect ratio");
    if (!block) return false;
    const float value = ratio == 0.0 ? 0.0f : float(std::clamp(ratio, MinimumAspectRatio, MaximumAspectRatio));
    if (block->aspect_ratio() == value) return true;
    block->set_aspect_ratio(value);
    propertyDidChange(notice);
    return true;
}

bool PLYLayoutManager::setCropPosition(const QString& blockId, double x, double y, double width, Notice notice) {
    const bool valid = isFinite(x) && isFinite(y) && isFinite(width) && width > 0.0 && width <= MaximumCropScale &&
                       x >= -MaximumCropScale && x <= 1.0 + MaximumCropScale && y >= -MaximumCropScale &&
                       y <= 1.0 + MaximumCropScale;
    if (!valid) {
        PLY_LOG_WARN(QStringLiteral("Refused the crop (%1, %2, width %3) for block %4").arg(x).arg(y).arg(width).arg(blockId));
        return false;
    }
    PLYBlock* block = blockForPropertyEdit(blockId, {PLYBlock::kImage}, "crop");
    if (!block) return false;
    const PLYBlock_Image& image = block->image();
    if (image.has_position() && image.position().x() == float(x) && image.position().y() == float(y) &&
        image.position().width() == float(width))
        return true;
    PLYPosition* position = block->mutable_image()->mutable_position();
    position->set_x(float(x));
    position->set_y(float(y));
    position->set_width(float(width));
    propertyDidChange(notice);
    return true;
}

bool PLYLayoutManager::clearCropPosition(const QString& blockId) {
    PLYBlock* block = blockForPropertyEdit(blockId, {PLYBlock::kImage}, "crop");
    if (!block) return false;
    if (!block->image().has_position()) return true;
    block->mutable_image()->clear_position();
    announceChange();
    return true;
}

bool PLYLayoutManager::setImageRef(const QString& blockId, const QString& imageRef,
                                   const std::optional<QString>& sourceLastUpdated) {
    PLYBlock* block = blockForPropertyEdit(blockId, {PLYBlock::kImage}, "image");
    if (!block) return false;
    const QString stamp = sourceLastUpdated ? *sourceLastUpdated : sourceLastUpdatedForImage(imageRef);
    const QString previous = QString::fromStdString(block->image().img_ref());
    if (previous == imageRef && QString::fromStdString(block->image().source_last_updated()) == stamp) return true;
    block->mutable_image()->set_img_ref(imageRef.toStdString());
    block->mutable_image()->set_source_last_updated(stamp.toStdString());
    if (previous != imageRef) {
        changeUseCount(previous, -1);
        changeUseCount(imageRef, +1);
    }
    announceChange();
    return true;
}

bool PLYLayoutManager::swapImages(const QString& blockId, const QString& otherBlockId) {
    if (blockId == otherBlockId) {
        PLY_LOG_WARN(QStringLiteral("Refused to swap the image of block %1 with itself").arg(blockId));
        return false;
    }
    PLYBlock* block = blockForPropertyEdit(blockId, {PLYBlock::kImage}, "image");
    PLYBlock* other = block ? blockForPropertyEdit(otherBlockId, {PLYBlock::kImage}, "image") : nullptr;
    if (!block || !other) return false;
    PLYBlock_Image* a = block->mutable_image();
    PLYBlock_Image* b = other->mutable_image();
    if (a->img_ref() == b->img_ref() && a->source_last_updated() == b->source_last_updated()) return true;
    a->mutable_img_ref()->swap(*b->mutable_img_ref());
    a->mutable_source_last_updated()->swap(*b->mutable_source_last_updated());
    announceChange();
    return true;
}

bool PLYLayoutManager::setTextStyle(const QString& blockId, PLYTextStyle style) {
    if (!PLYTextStyle_IsValid(style)) {
        PLY_LOG_WARN(QStringLiteral("Refused the unknown text style %1 for block %2").arg(int(style)).arg(blockId));
        return false;
    }
    PLYBlock* block = blockForPropertyEdit(blockId, {PLYBlock::kText}, "text style");
    if (!block) return false;
    if (block->text().style() == style) return true;
    block->mutable_text()->set_style(style);
    announceChange();
    return true;
}

bool PLYLayoutManager::setContentWidth(const QString& blockId, double width) {
    const bool full = width == 0.0 || width == -1.0;
    if (!isFinite(width) || (!full && (width < MinimumContentWidth || width > 1.0))) {
        PLY_LOG_WARN(QStringLiteral("Refused the content width %1 for block %2").arg(width).arg(blockId));
        return false;
    }
    PLYBlock* block = blockForPropertyEdit(blockId, {PLYBlock::kText, PLYBlock::kDownloadButton}, "width");
    if (!block) return false;
    if (contentPositionOf(*block).width() == float(width)) return true;
    contentPosition(block)->set_width(float(width));
    announceChange();
    return true;
}

bool PLYLayoutManager::setContentAlignment(const QString& blockId, PLYAlignment alignment) {
    if (!PLYAlignment_IsValid(alignment)) {
        PLY_LOG_WARN(QStringLiteral("Refused the unknown alignment %1 for block %2").arg(int(alignment)).arg(blockId));
        return false;
    }
    PLYBlock* block = blockForPropertyEdit(blockId, {PLYBlock::kText, PLYBlock::kDownloadButton}, "alignment");
    if (!block) return false;
    if (contentPositionOf(*block).alignment() == alignment) return true;
    contentPosition(block)->set_alignment(alignment);
    announceChange();
    return true;
}

bool PLYLayoutManager::setDownloadButtonTitle(const QString& blockId, const QString& title) {
    const QString trimmed = title.trimmed();
    const bool control = std::any_of(trimmed.begin(), trimmed.end(), [](QChar c) {
        return c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
    });
    if (trimmed.isEmpty() || trimmed.size() > MaximumButtonTitleLength || control) {
        PLY_LOG_WARN(QStringLiteral("Refused a button title of %1 characters for block %2: it must be 1 to %3 "
                                    "characters on one line")
                         .arg(trimmed.size())
                         .arg(blockId)
                         .arg(MaximumButtonTitleLength));
        return false;
    }
    PLYBlock* block = blockForPropertyEdit(blockId, {PLYBlock::kDownloadButton}, "title");
    if (!block) return false;
    const std::string value = trimmed.toStdString();
    if (block->download_button().title() == value) return true;
    block->mutable_download_button()->set_title(value);
    announceChange();
    return true;
}

bool PLYLayoutManager::setTextContent(const QString& blockId, const PLYBlock_Text& text) {
    const qsizetype length = QString::fromStdString(text.value()).size();
    if (!PLYTextLimits::textBlockHolds(length)) {
        PLY_LOG_WARN(QStringLiteral("Refused %1 characters of text for block %2 (at most %3)")
                         .arg(length)
                         .arg(blockId)
                         .arg(MaximumTextLength));
        return false;
    }
    for (const PLYTextRun& run : text.runs()) {
        if (run.location() < 0 || run.length() < 0 || qint64(run.location()) + run.length() > length) {
            PLY_LOG_WARN(QStringLiteral("Refused text for block %1: a styled run (%2, %3) lies outside its %4 characters")
                             .arg(blockId)
                             .arg(run.location())
                             .arg(run.length())
                             .arg(length));
            return false;
        }
    }
    PLYBlock* block = blockForPropertyEdit(blockId, {PLYBlock::kText}, "text");
    if (!block) return false;
    PLYBlock_Text* current = block->mutable_text();
    if (current->value() == text.value() && current->runs().size() == text.runs().size() &&
        std::equal(current->runs().begin(), current->runs().end(), text.runs().begin(),
                   [](const PLYTextRun& a, const PLYTextRun& b) { return a.SerializeAsString() == b.SerializeAsString(); }))
        return true;
    current->set_value(text.value());
    *current->mutable_runs() = text.runs();
    announceChange();
    return true;
}

bool PLYLayoutManager::setTextColour(const QString& blockId, const PLYColour& colour) {
    for (float v : {colour.r(), colour.g(), colour.b()}) {
        if (!std::isfinite(v) || v < 0.0f || v > 255.0f) {
            PLY_LOG_WARN(QStringLiteral("Refused the text colour (%1, %2, %3) for block %4: each component must lie on 0..255")
                             .arg(colour.r()).arg(colour.g()).arg(colour.b()).arg(blockId));
            return false;
        }
    }
    PLYBlock* block = blockForPropertyEdit(blockId, {PLYBlock::kText}, "text colour");
    if (!block) return false;
    const PLYBlock_Text& text = block->text();
    if (text.has_colour() && text.colour().r() == colour.r() && text.colour().g() == colour.g() &&
        text.colour().b() == colour.b())
        return true;
    *block->mutable_text()->mutable_colour() = colour;
    announceChange();
    return true;
}

bool PLYLayoutManager::setUsePelloryStyling(const QString& blockId, bool use) {
    PLYBlock* block = blockForPropertyEdit(blockId, {PLYBlock::kDownloadButton}, "button style");
    if (!block) return false;
    if (block->download_button().use_pellory_styling() == use) return true;
    block->mutable_download_button()->set_use_pellory_styling(use);
    announceChange();
    return true;
}
