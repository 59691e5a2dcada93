#pragma once

#include <QString>

// A width-to-height ratio, matched against fixed presets.
//
// Preset indexes (stored in layouts and menus; never reorder):
//   0  1:1    1  5:4    2  4:5    3  4:3    4  3:4    5  3:2 (blank block default)
//   6  2:3    7  16:9   8  9:16   9  2:1   10  1:2
// -1 is a custom ratio, -2 a composite of several different ratios.
class PLYAspectRatio {
public:
    static constexpr int PresetCount = 11;
    static constexpr int Custom = -1;
    static constexpr int Composite = -2;
    static constexpr int BlankDefaultPreset = 5;
    // How close a raw ratio must be to a preset to count as that preset.
    static constexpr double MatchTolerance = 0.015;

    PLYAspectRatio() = default;

    // The ratio of a preset index; an index outside 0..10 gives a custom ratio of 1.0.
    static PLYAspectRatio ratioWithBlockRatio(int preset);
    // The first preset within the tolerance, else a custom ratio of exactly `factor`.
    static PLYAspectRatio ratioWithRawRatio(double factor);
    static PLYAspectRatio compositeRatio();

    static double factorForPreset(int preset);
    static QString titleForPreset(int preset);

    double factor() const { return m_factor; }
    int preset() const { return m_preset; }
    bool isCustom() const { return m_preset == Custom; }
    QString title() const;

private:
    PLYAspectRatio(double factor, int preset) : m_factor(factor), m_preset(preset) {}
    double m_factor = 1.0;
    int m_preset = Custom;
};
