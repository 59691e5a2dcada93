#pragma once

#include "PLYLayoutGeometry.h"

// Lays out a stacked section: top-level blocks take the full width, one under the other,
// `padding` apart. A vertical container stacks its children at its own width; a side-by-side
// container gives all its children one height, chosen so that the row fills its width
// exactly with `padding` between neighbours. (Named after the section kind it lays out; the
// schema's own `PLYSection_Stacked` message names the kind in the document.)
class PLYSectionLayoutHandler_Stacked {
public:
    // Adds the section's frame and all its block frames to `out`; answers the section height.
    static double layoutSection(const PLYSection& section, int sectionIndex, double top, double width,
                                double padding, const PLYLayoutGeometry::ImageSizeFunction& imageSize,
                                PLYLayoutGeometry& out);

    // The width-over-height ratio a leaf block takes when it is `widthHint` wide: its own
    // `aspect_ratio` when above 0, else its kind's (picture ratio, 3:2 blank, text by its
    // laid-out height, download button by its fixed height).
    static double leafRatio(const PLYBlock& block, double widthHint,
                            const PLYLayoutGeometry::ImageSizeFunction& imageSize);

private:
    // Records the section's frame; answers its height.
    static double finishSection(const PLYSection& section, const QString& sectionId, double top, double width,
                                double height, PLYLayoutGeometry& out);
};
