#pragma once

#include <cstdio>
#include <random>

// The numbers of a random walk, from a seed printed first so that a failing walk can be run again.
struct PLYTestRandom {
    explicit PLYTestRandom(unsigned seed) : engine(seed) { std::printf("seed %u\n", seed); }
    // A whole number from `lo` to `hi`, both included.
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine); }

    std::mt19937 engine;
};
