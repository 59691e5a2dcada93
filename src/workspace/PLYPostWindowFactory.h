#pragma once

#include <QWidget>

class PLYPostViewController;

// Builds the post editor from its real panes: the gallery, the layout tab and the inspector
// (Document, Properties, SEO and the publish panel), plugged into a PLYPostViewController. The
// panes' undo entries all go to the undo manager of the window the editor ends up in.
class PLYPostWindowFactory {
public:
    static PLYPostViewController* makePostViewController(QWidget* parent = nullptr);

    // Registers "PLYPostViewController" and "PLYPrepViewController" of the "Main" storyboard,
    // each only when it is not registered yet (a test's own scene stays).
    static void registerMissingScenes();
};
