#include "PLYAspectRatio.h"

#include <cmath>

namespace {
struct Preset {
    int w;
    int h;
};
constexpr Preset kPresets[PLYAspectRatio::PresetCount] = {
    {1, 1}, {5, 4}, {4, 5}, {4, 3}, {3, 4}, {3, 2}, {2, 3}, {16, 9}, {9, 16}, {2, 1}, {1, 2},
};
}  // namespace

double PLYAspectRatio::factorForPreset(int preset) {
    if (preset < 0 || preset >= PresetCount) return 1.0;
    return double(kPresets[preset].w) / double(kPresets[preset].h);
}

QString PLYAspectRatio::titleForPreset(int preset) {
    if (preset == Custom) return QStringLiteral("Custom");
    if (preset == Composite) return QStringLiteral("multiple");
    if (preset < 0 || preset >= PresetCount) return {};
    return QStringLiteral("%1:%2").arg(kPresets[preset].w).arg(kPresets[preset].h);
}

PLYAspectRatio PLYAspectRatio::ratioWithBlockRatio(int preset) {
    if (preset < 0 || preset >= PresetCount) return PLYAspectRatio(1.0, Custom);
    return PLYAspectRatio(factorForPreset(preset), preset);
}

PLYAspectRatio PLYAspectRatio::ratioWithRawRatio(double factor) {
    // The slack absorbs binary rounding, so that a ratio exactly 0.015 away still matches
    // (1.5 + 0.015 is not exactly 1.515 in doubles, and block ratios come from floats).
    constexpr double slack = 1e-6;
    for (int i = 0; i < PresetCount; ++i) {
        if (std::fabs(factorForPreset(i) - factor) <= MatchTolerance + slack) return PLYAspectRatio(factorForPreset(i), i);
    }
    return PLYAspectRatio(factor, Custom);
}

PLYAspectRatio PLYAspectRatio::compositeRatio() { return PLYAspectRatio(1.0, Composite); }

QString PLYAspectRatio::title() const { return titleForPreset(m_preset); }
