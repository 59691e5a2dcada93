#pragma once

#include "PLYLayout.pb.h"

#include <QtGlobal>
#include <initializer_list>
#include <string>

// Small builders of layout messages with readable, fixed identifiers for tests.
namespace PLYTestLayouts {
PLYBlock image(const std::string& id, const std::string& imageRef, float aspectRatio = 0.0f);
PLYBlock blank(const std::string& id, float aspectRatio = 0.0f);
PLYBlock text(const std::string& id, const std::string& value, PLYTextStyle style = PLYTextStyle_Body);
PLYBlock downloadButton(const std::string& id);
PLYBlock container(const std::string& id, bool vertical, std::initializer_list<PLYBlock> children);
PLYSection section(const std::string& id, std::initializer_list<PLYBlock> blocks);
PLYLayout layout(qint64 padding, std::initializer_list<PLYSection> sections, int r = 255, int g = 255, int b = 255);
}  // namespace PLYTestLayouts

#include <QString>

namespace PLYTestLayouts {
// "a,b,[c,(d,e)]" for a section's blocks: containers show as [..] when stacked and (..) when
// side by side.
QString shape(const PLYSection& section);
}  // namespace PLYTestLayouts

namespace PLYTestLayouts {
// How many image blocks the layout holds, inside containers too.
int imageBlockCount(const PLYLayout& layout);
// A layout of one section holding `count` blocks (containers included) in a repeating pattern:
// a single picture, a row of three (two pictures and a blank), a row holding a column; the
// pictures refer to "landscape" and "portrait".
PLYLayout picturesInRows(int count);
}  // namespace PLYTestLayouts
