#include <benchmark/benchmark.h>

#include "PLYLayoutManager.h"

#include <QMap>

namespace {

class BenchOwner : public PLYLayoutOwner {
public:
    PLYLayout data;
    QMap<QString, qint64> counts;
    PLYLayout* layout() override { return &data; }
    qint64 inUseCountForImage(const QString& id) const override { return counts.value(id); }
    void incrementInUseCountForImage(const QString& id) override { ++counts[id]; }
    void decrementInUseCountForImage(const QString& id) override { --counts[id]; }
};

// 1,000 image blocks: rows of four side by side, every other row with a nested column.
std::shared_ptr<BenchOwner> bigLayout(QStringList& ids) {
    auto owner = std::make_shared<BenchOwner>();
    PLYSection* section = owner->data.add_sections();
    *section = PLYLayoutManager::newSection_Stacked();
    int n = 0;
    while (n < 1000) {
        PLYBlock* row = section->add_blocks();
        *row = PLYLayoutManager::newBlock_Container();
        row->mutable_container()->set_vert(false);
        for (int i = 0; i < 4 && n < 1000; ++i, ++n) {
            PLYBlock* leaf = row->mutable_container()->add_sub_blocks();
            *leaf = PLYLayoutManager::newBlock_ImageForIdentifier(QStringLiteral("img-%1").arg(n % 50));
            ids << QString::fromStdString(leaf->id());
        }
    }
    return owner;
}

}  // namespace

static void BM_BlockForRef(benchmark::State& state) {
    QStringList ids;
    auto manager = PLYLayoutManager::managerWithOwner(bigLayout(ids));
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(manager->blockForRef(ids[i]));
        i = (i + 97) % ids.size();
    }
}
BENCHMARK(BM_BlockForRef);

// Adding a block at the end of the section and removing it again.
static void BM_AddRemove(benchmark::State& state) {
    QStringList ids;
    auto manager = PLYLayoutManager::managerWithOwner(bigLayout(ids));
    PLYSection* section = manager->representedLayout()->mutable_sections(0);
    const PLYBlock block = PLYLayoutManager::newBlock_ImageForIdentifier(QStringLiteral("img-new"));
    for (auto _ : state) {
        PLYBlock* added = manager->addBlock(block, nullptr, section);
        manager->removeBlock(added, false);
    }
}
BENCHMARK(BM_AddRemove);

// Inserting into a row in the middle and removing it, which dissolves nothing.
static void BM_InsertRemoveNested(benchmark::State& state) {
    QStringList ids;
    auto manager = PLYLayoutManager::managerWithOwner(bigLayout(ids));
    PLYBlock* row = manager->parentBlockForBlock(manager->blockForRef(ids[500]), nullptr);
    const QString rowId = QString::fromStdString(row->id());
    const PLYBlock block = PLYLayoutManager::newBlock_Blank();
    for (auto _ : state) {
        const QList<PLYBlock*> added = manager->insertBlocks({block}, manager->blockForRef(rowId), nullptr, 1);
        manager->removeBlock(added.first(), false);
    }
}
BENCHMARK(BM_InsertRemoveNested);

BENCHMARK_MAIN();
