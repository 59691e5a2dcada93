#pragma once

#include <optional>

// Whether a window may be partly transparent on this desktop. On X11 that takes a compositing
// manager: without one, the transparent pixels of a window show black.
namespace PLYScreenAlpha {

bool available();
// Tests decide the answer; nothing restores the desktop's own.
void setOverride(std::optional<bool> available);

}  // namespace PLYScreenAlpha
