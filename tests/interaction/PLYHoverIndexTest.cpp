// The lookups a pointer move makes over a long layout go through indexes: blocks by identifier
// in the layout manager, block and section views by identifier and by frame in the views, drop
// zones by height. A seeded walk of edits through the real views checks after every step that
// each index answers what a linear search of the model and the view tree answers.
#include "PLYBlockView.h"
#include "PLYGeometry.h"
#include "PLYLayoutView.h"
#include "PLYSectionView.h"
#include "PLYTestOverlayCanvas.h"
#include "PLYUndoManager.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <set>

namespace {

PLYBlock* linearBlock(PLYLayout& layout, const std::string& id) {
    std::function<PLYBlock*(PLYBlock&)> find = [&](PLYBlock& b) -> PLYBlock* {
        if (b.id() == id) return &b;
        if (b.type_case() == PLYBlock::kContainer)
            for (PLYBlock& child : *b.mutable_container()->mutable_sub_blocks())
                if (PLYBlock* found = find(child)) return found;
        return nullptr;
    };
    for (PLYSection& section : *layout.mutable_sections())
        for (PLYBlock& block : *section.mutable_blocks())
            if (PLYBlock* found = find(block)) return found;
    return nullptr;
}

// Every block view of the tree, in tree order.
QList<PLYBlockView*> viewTree(PLYLayoutView* layoutView) {
    QList<PLYBlockView*> out;
    std::function<void(PLYBlockView*)> add = [&](PLYBlockView* v) {
        out << v;
        for (PLYBlockView* child : v->subBlocks()) add(child);
    };
    for (PLYSectionView* section : layoutView->sectionViews())
        for (PLYBlockView* v : section->subBlocks()) add(v);
    return out;
}

// The walk's random numbers, made before the canvas that is built from them.
struct Seeded {
    std::mt19937 rng;
};

class Canvas : private Seeded, public PLYTestOverlayCanvas {
public:
    explicit Canvas(unsigned seed) : Seeded{std::mt19937(seed)}, PLYTestOverlayCanvas(randomLayout()) {
        view.setMagnification(0.1);
        overlay->syncWithScrollView();
        noteIds();
    }

    std::string step() {
        const int roll = pick(0, 99);
        std::string what;
        if (roll < 25) what = dropNew();
        else if (roll < 45) what = move();
        else if (roll < 57) what = remove();
        else if (roll < 77) what = undoStep(roll < 70);
        else if (roll < 85) what = reload();
        else what = reshape();
        noteIds();
        return what;
    }

    void check(const std::string& what) {
        PLYLayout& layout = *owner->layout();
        const QList<PLYBlockView*> views = viewTree(proxy->layoutView());
        for (const std::string& id : everyId) {
            const QString qid = QString::fromStdString(id);
            ASSERT_EQ(manager->blockForRef(qid), linearBlock(layout, id)) << id << " after " << what;
            ASSERT_EQ(proxy->blockForId(qid), linearBlock(layout, id)) << id << " after " << what;
            PLYBlockView* expected = nullptr;
            for (PLYBlockView* v : views)
                if (v->blockId() == qid) {
                    expected = v;
                    break;
                }
            ASSERT_EQ(proxy->blockViewForId(qid), expected) << id << " after " << what;
        }
        for (const PLYSection& section : layout.sections()) {
            const QString sid = QString::fromStdString(section.id());
            PLYSectionView* expected = nullptr;
            for (PLYSectionView* v : proxy->layoutView()->sectionViews())
                if (v->sectionId() == sid) {
                    expected = v;
                    break;
                }
            ASSERT_EQ(proxy->layoutView()->sectionViewForId(sid), expected) << "after " << what;
        }
        // Hit-tests where blocks begin and end, inside them and anywhere on the canvas.
        std::vector<QPointF> points;
        PLYLayoutView* layoutView = proxy->layoutView();
        for (int k = 0; k < 40; ++k) {
            const QRectF canvas = layoutView->boundingRect();
            points.push_back(overlay->mapFromItem(layoutView, QPointF(pick(-20, int(canvas.width()) + 20),
                                                                      pick(-20, int(canvas.height()) + 20))));
        }
        for (int k = 0; k < 40 && !views.isEmpty(); ++k) {
            PLYBlockView* v = views[pick(0, int(views.size()) - 1)];
            const QRectF r = v->mapRectToItem(overlay, v->boundingRect());
            for (const QPointF& p : {r.topLeft(), r.center(), r.bottomRight(), r.bottomRight() - QPointF(1e-9, 1e-9),
                                     r.topLeft() - QPointF(0.5, 0.5), QPointF(r.right(), r.top()), QPointF(r.left(), r.bottom())})
                points.push_back(p);
        }
        for (const QPointF& p : points) {
            PLYSectionView* section = nullptr;
            for (PLYSectionView* s : layoutView->sectionViews())
                if (PLYGeometry::pointInRect(p, s->mapRectToItem(overlay, s->boundingRect()))) {
                    section = s;
                    break;
                }
            ASSERT_EQ(overlay->sectionViewUnderPoint(p), section) << "at " << p.x() << "," << p.y() << " after " << what;
            PLYBlockView* leaf = nullptr;
            for (PLYBlockView* v : views)
                if (section && v->sectionView() == section && v->kind() != PLYBlock::kContainer &&
                    PLYGeometry::pointInRect(p, v->mapRectToItem(overlay, v->boundingRect()))) {
                    leaf = v;
                    break;
                }
            ASSERT_EQ(overlay->blockViewUnderPoint(p), leaf) << "at " << p.x() << "," << p.y() << " after " << what;
            hits += leaf ? 1 : 0;
        }
    }

    int edits = 0, undos = 0, reloads = 0, hits = 0;

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    PLYLayout randomLayout() {
        PLYLayout layout;
        layout.set_padding(pick(0, 30));
        for (int s = pick(1, 3); s > 0; --s) {
            PLYSection* section = layout.add_sections();
            *section = PLYLayoutManager::newSection_Stacked();
            for (int b = pick(0, 25); b > 0; --b) *section->add_blocks() = randomBlock(0, false);
        }
        return layout;
    }
    PLYBlock randomLeaf() {
        const int kind = pick(0, 4);
        if (kind == 0) return PLYLayoutManager::newBlock_Blank();
        if (kind == 1) return PLYLayoutManager::newBlock_Text();
        return PLYLayoutManager::newBlock_ImageForIdentifier(kind == 2 ? "portrait" : "landscape");
    }
    PLYBlock randomBlock(int depth, bool vert) {
        if (depth >= 3 || pick(0, 2) > 0) return randomLeaf();
        PLYBlock container = PLYLayoutManager::newBlock_Container();
        container.mutable_container()->set_vert(vert);
        for (int i = pick(2, 3); i > 0; --i) *container.mutable_container()->add_sub_blocks() = randomBlock(depth + 1, !vert);
        return container;
    }

    void noteIds() {
        std::function<void(const PLYBlock&)> add = [&](const PLYBlock& b) {
            everyId.insert(b.id());
            if (b.type_case() == PLYBlock::kContainer)
                for (const PLYBlock& c : b.container().sub_blocks()) add(c);
        };
        for (const PLYSection& s : owner->layout()->sections())
            for (const PLYBlock& b : s.blocks()) add(b);
    }
    QStringList currentIds() {
        QStringList ids;
        for (const std::string& id : everyId)
            if (linearBlock(*owner->layout(), id)) ids << QString::fromStdString(id);
        return ids;
    }

    // At the top of a random section or container, or beside a random block.
    PLYDropPlacement randomPlacement() {
        const PLYLayout& layout = *owner->layout();
        const QString section = QString::fromStdString(layout.sections(pick(0, layout.sections_size() - 1)).id());
        const QStringList ids = currentIds();
        PLYDropPlacement placement = PLYDropPlacement::insert(section, {}, pick(-1, 30));
        if (!ids.isEmpty() && pick(0, 1)) {
            const QString target = ids[pick(0, int(ids.size()) - 1)];
            const QString holder = QString::fromStdString(manager->sectionForBlock(manager->blockForRef(target))->id());
            const PLYBlock* block = manager->blockForRef(target);
            placement = block->type_case() == PLYBlock::kContainer && pick(0, 1)
                            ? PLYDropPlacement::insert(holder, target, pick(0, 3))
                            : PLYDropPlacement::wrap(holder, target, pick(0, 1));
        }
        placement.groupVertical = pick(0, 1);
        return placement;
    }
    std::string edited(bool done, const std::string& what) {
        if (!done) return what + " (refused)";
        manager->registerUndoForEdit(&undoManager, manager->lastEdit(), "Step");
        ++edits;
        return what;
    }
    std::string dropNew() {
        QList<PLYDropItem> items;
        for (int i = pick(1, 3); i > 0; --i) items << PLYDropItem::introducing(randomBlock(1, pick(0, 1)));
        return edited(manager->dropBlocks(items, randomPlacement()), "drop");
    }
    std::string move() {
        const QStringList ids = currentIds();
        if (ids.isEmpty()) return dropNew();
        QStringList selection;
        for (int i = pick(1, 2); i > 0; --i) selection << ids[pick(0, int(ids.size()) - 1)];
        QList<PLYDropItem> items;
        for (const QString& id : manager->dragBlockRefsForSelection(selection)) items << PLYDropItem::moving(id);
        return edited(manager->dropBlocks(items, randomPlacement()), "move");
    }
    std::string remove() {
        const QStringList ids = currentIds();
        if (ids.isEmpty()) return "nothing to delete";
        QList<PLYBlock*> blocks;
        for (int i = pick(1, 2); i > 0; --i) blocks << manager->blockForRef(ids[pick(0, int(ids.size()) - 1)]);
        manager->removeBlocks(blocks);
        return edited(true, "delete");
    }
    std::string undoStep(bool undo) {
        if (undo ? !undoManager.canUndo() : !undoManager.canRedo()) return "nothing to undo or redo";
        undo ? undoManager.undo() : undoManager.redo();
        ++undos;
        return undo ? "undo" : "redo";
    }
    std::string reload() {
        overlay->menuReloadAction();
        ++reloads;
        return "reload";
    }
    // A new shape moves every view below the block, without a structural edit.
    std::string reshape() {
        const QStringList ids = currentIds();
        if (ids.isEmpty()) return "nothing to reshape";
        const QString id = ids[pick(0, int(ids.size()) - 1)];
        manager->setAspectRatio(id, pick(1, 40) / 10.0);
        return "reshape";
    }

    PLYUndoManager undoManager;
    std::set<std::string> everyId;
};

}  // namespace

TEST(HoverIndex, EveryIndexAnswersWhatALinearSearchAnswersAfterEveryEdit) {
    int edits = 0, undos = 0, reloads = 0, hits = 0;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::printf("seed %u\n", seed);
        Canvas canvas(seed);
        canvas.check("start, seed " + std::to_string(seed));
        for (int i = 0; i < 120 && !::testing::Test::HasFailure(); ++i) {
            const std::string what = canvas.step();
            canvas.check("seed " + std::to_string(seed) + " step " + std::to_string(i) + ": " + what);
        }
        edits += canvas.edits;
        undos += canvas.undos;
        reloads += canvas.reloads;
        hits += canvas.hits;
    }
    EXPECT_GT(edits, 200);
    EXPECT_GT(undos, 60);
    EXPECT_GT(reloads, 30);
    EXPECT_GT(hits, 2000) << "the points hit blocks";
}
