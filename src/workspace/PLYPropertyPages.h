#pragma once

#include "PLYAspectRatio.h"
#include "PLYLayout.pb.h"

#include <QList>
#include <QSet>
#include <QString>
#include <optional>

// What the block property inspector shows for a set of blocks, decided without widgets: which
// page, what an aspect-ratio pop-up reads, which width and alignment segments are selected.
namespace PLYPropertyPages {

enum class Page { Empty, Image, Blank, Text, DownloadButton };

struct Choice {
    Page page = Page::Empty;
    // The empty page's message; empty for the other pages.
    QString message;
};

inline constexpr const char* NoBlockSelectedMessage = "No Block Selected";
inline constexpr const char* MultipleBlocksSelectedMessage = "Multiple Blocks Selected";
inline constexpr const char* ImageNotFoundMessage = "Image cannot be located";

// The page of the blocks' kind when they are all of one editable kind; the empty page with its
// message for no blocks, for a mix of kinds and for containers.
Choice choose(const QList<const PLYBlock*>& blocks);

// The ratio a block is shown with: its own when set, otherwise its kind's own — the source
// image's ratio for an image (nothing when the image is unknown), 3:2 for a blank.
std::optional<PLYAspectRatio> shownRatio(const PLYBlock& block, const std::optional<PLYAspectRatio>& sourceRatio);

// An aspect-ratio pop-up: the presets whose items are on, and the title. One preset titles the
// pop-up with its own title, one custom ratio with "Custom", several different ones "multiple".
struct RatioMenu {
    QSet<int> checkedPresets;
    QString title;
    // The preset shared by every block; nothing when custom or mixed.
    std::optional<int> commonPreset;
};
RatioMenu ratioMenu(const QList<PLYAspectRatio>& ratios);

// The width preset segment (0..3) of a content width. Widths are stored as 32-bit floats, so
// the presets are compared as floats; 0 and -1 (the full width) select the last segment.
// Nothing for a width that is no preset.
std::optional<int> widthSegment(float width);
// The alignment segment (0..3), nothing for an unknown alignment.
std::optional<int> alignmentSegment(int alignment);

}  // namespace PLYPropertyPages
