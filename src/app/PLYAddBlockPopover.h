#pragma once

class QWidget;

// The add-block popover's content ("popOverView"): the block palette, whose tiles are dragged
// onto the layout to add a text block, a blank spacer or a download button.
namespace PLYAddBlockPopover {

QWidget* makePopOverView(QWidget* parent = nullptr);

}  // namespace PLYAddBlockPopover
