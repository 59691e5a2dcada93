#pragma once

#include <QApplication>
#include <benchmark/benchmark.h>

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
