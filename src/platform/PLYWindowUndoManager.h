#pragma once

class PLYUndoManager;
class QWidget;

// Undo histories by place: a widget that holds a history of its own (a post's editor, so that
// each post keeps its own) serves every widget inside it; elsewhere the window's history serves,
// made on first request. A history is destroyed with the widget that holds it.
namespace PLYWindowUndoManager {
// The history of the nearest enclosing holder of `widget`, else of its window; nothing for a
// null widget.
PLYUndoManager* undoManagerForWidget(QWidget* widget);
// Makes `scope` hold a history of its own (once) and answers it.
PLYUndoManager* installUndoManager(QWidget* scope);
}  // namespace PLYWindowUndoManager
