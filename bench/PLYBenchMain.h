#pragma once

#include "PLYCoreManager.h"
#include "PLYDecodedImageCache.h"
#include "PLYImageManager.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <memory>

// A benchmark main for code that paints or decodes images: an offscreen application first.
#define PLY_BENCHMARK_MAIN_WITH_APPLICATION()            \
    int main(int argc, char** argv) {                    \
        qputenv("QT_QPA_PLATFORM", "offscreen");         \
        QApplication app(argc, argv);                    \
        benchmark::Initialize(&argc, argv);              \
        benchmark::RunSpecifiedBenchmarks();             \
        benchmark::Shutdown();                           \
        return 0;                                        \
    }

// A fixture made on first use and shared by the benchmarks of one program; PLY_BENCHMARK_MAIN_
// WITH_LIBRARY deletes it, with its threads, before the application object goes.
template <typename Fixture>
std::unique_ptr<Fixture>& plyBenchFixtureSlot() {
    static std::unique_ptr<Fixture> slot;
    return slot;
}

template <typename Fixture>
Fixture& plyBenchFixture() {
    auto& slot = plyBenchFixtureSlot<Fixture>();
    if (!slot) slot = std::make_unique<Fixture>();
    return *slot;
}

// As above, for programs whose fixture is a library on disk: the fixture, the decoded-image
// cache, the core manager and the image cache go before the application object.
#define PLY_BENCHMARK_MAIN_WITH_LIBRARY(Fixture)          \
    int main(int argc, char** argv) {                    \
        qputenv("QT_QPA_PLATFORM", "offscreen");         \
        QApplication app(argc, argv);                    \
        benchmark::Initialize(&argc, argv);              \
        benchmark::RunSpecifiedBenchmarks();             \
        benchmark::Shutdown();                           \
        plyBenchFixtureSlot<Fixture>().reset();          \
        PLYDecodedImageCache::shutdownShared();          \
        PLYCoreManager::resetGlobalManager();            \
        PLYImageManager::resetSharedManager();           \
        return 0;                                        \
    }
