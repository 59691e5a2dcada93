#include "PLYPropertyPages.h"

#include "PLYLayoutManager.h"

namespace PLYPropertyPages {

Choice choose(const QList<const PLYBlock*>& blocks) {
    if (blocks.isEmpty()) return {Page::Empty, QString::fromLatin1(NoBlockSelectedMessage)};
    QSet<int> kinds;
    for (const PLYBlock* block : blocks) kinds.insert(block ? int(block->type_case()) : int(PLYBlock::TYPE_NOT_SET));
    if (kinds.size() == 1) {
        switch (PLYBlock::TypeCase(*kinds.begin())) {
        case PLYBlock::kImage: return {Page::Image, {}};
        case PLYBlock::kText: return {Page::Text, {}};
        case PLYBlock::kBlank: return {Page::Blank, {}};
        case PLYBlock::kDownloadButton: return {Page::DownloadButton, {}};
        case PLYBlock::kContainer:
        case PLYBlock::TYPE_NOT_SET: break;
        }
    }
    return {Page::Empty, QString::fromLatin1(MultipleBlocksSelectedMessage)};
}

std::optional<PLYAspectRatio> shownRatio(const PLYBlock& block, const std::optional<PLYAspectRatio>& sourceRatio) {
    if (block.aspect_ratio() > 0.0f) return PLYAspectRatio::ratioWithRawRatio(block.aspect_ratio());
    if (block.type_case() == PLYBlock::kBlank) return PLYAspectRatio::ratioWithBlockRatio(PLYAspectRatio::BlankDefaultPreset);
    return sourceRatio;
}

RatioMenu ratioMenu(const QList<PLYAspectRatio>& ratios) {
    RatioMenu menu;
    QSet<int> presets;
    for (const PLYAspectRatio& ratio : ratios) {
        presets.insert(ratio.preset());
        if (ratio.preset() >= 0 && ratio.preset() < PLYAspectRatio::PresetCount) menu.checkedPresets.insert(ratio.preset());
    }
    if (presets.size() > 1) {
        menu.title = PLYAspectRatio::titleForPreset(PLYAspectRatio::Composite);
    } else if (!menu.checkedPresets.isEmpty()) {
        menu.commonPreset = *menu.checkedPresets.begin();
        menu.title = PLYAspectRatio::titleForPreset(*menu.commonPreset);
    } else {
        menu.title = PLYAspectRatio::titleForPreset(PLYAspectRatio::Custom);
    }
    return menu;
}

std::optional<int> widthSegment(float width) {
    if (width == 0.0f || width == -1.0f) return 3;
    for (int segment = 0; segment < 4; ++segment)
        if (width == float(PLYLayoutManager::widthValueForTextWidth(segment))) return segment;
    return std::nullopt;
}

std::optional<int> alignmentSegment(int alignment) {
    if (alignment >= PLYAlignment_Left && alignment <= PLYAlignment_Justify) return alignment;
    return std::nullopt;
}

}  // namespace PLYPropertyPages
