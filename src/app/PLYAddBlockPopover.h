#pragma once

class QWidget;

// The add-block popover's content ("popOverView"): the block palette, whose tiles are dragged
// onto the layout to add a text block, a blank spacer or a download button.
namespace PLYAddBlockPopover {

// The content; a tile's drag, as it begins, calls `closePopover` so the layout under the
// popover is free to take the drop.
QWidget* makePopOverView(QWidget* parent = nullptr);

}  // namespace PLYAddBlockPopover
