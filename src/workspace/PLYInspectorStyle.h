#pragma once

#include <QString>

class QLabel;
class QWidget;

// The look shared by the inspector's tabs and panels.
namespace PLYInspectorStyle {
// The body text size of every inspector pane, in points.
inline constexpr int BodyPixelSize = 13;
// A small, spaced, upper-case heading over a group of controls.
QLabel* sectionHeading(const QString& text, QWidget* parent);
// The label beside or over a control.
QLabel* fieldLabel(const QString& text, QWidget* parent);
// A secondary line (hints, dates): the placeholder colour.
QLabel* detailLabel(const QString& text, QWidget* parent);
}  // namespace PLYInspectorStyle
