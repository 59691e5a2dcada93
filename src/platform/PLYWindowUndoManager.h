#pragma once

class PLYUndoManager;
class QWidget;

// Each window has one undo manager, made on first request and destroyed with the window.
// The editor's undo entries and the window's Undo command go through it.
namespace PLYWindowUndoManager {
// The manager of `widget`'s window; nothing for a null widget.
PLYUndoManager* undoManagerForWidget(QWidget* widget);
}  // namespace PLYWindowUndoManager
