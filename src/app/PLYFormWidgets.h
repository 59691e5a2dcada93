#pragma once

#include <QString>

class PLYErrorBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The small pieces the account windows are built from, so that they look alike.
namespace PLYFormWidgets {

QLabel* heading(const QString& text, QWidget* parent);
// Wrapped secondary text.
QLabel* note(const QString& text, QWidget* parent);
// Secondary text on one line, for a row of its own.
QLabel* caption(const QString& text, QWidget* parent);
// A red message line, hidden until it has something to say.
QLabel* errorLine(const QString& objectName, QWidget* parent);
// A text field inside an error box; the box's own label takes `labelName` (empty: unnamed).
PLYErrorBox* fieldBox(QLineEdit* field, const QString& boxName, const QString& labelName, QWidget* parent);
QLineEdit* field(const QString& objectName, const QString& placeholder, QWidget* parent, bool secure = false);
// A flat button that reads like a link.
QPushButton* linkButton(const QString& text, const QString& objectName, QWidget* parent);
QPushButton* button(const QString& text, const QString& objectName, QWidget* parent, bool isDefault = false);
// A white card with a light border and rounded corners.
QWidget* card(QWidget* parent);

}  // namespace PLYFormWidgets
