#pragma once

#include "PLYKeyCodes.h"

#include <QString>
#include <QUrl>
#include <memory>

// One picture the preview panel shows: its file and its title.
struct PLYPreviewItem {
    QUrl url;
    QString title;
};

// Gives the preview panel its items: the pane in front (the gallery) while it controls the panel.
class PLYPreviewPanelController {
public:
    virtual ~PLYPreviewPanelController() = default;
    virtual void beginPreviewPanelControl() {}
    virtual void endPreviewPanelControl() {}
    virtual int numberOfPreviewItems() = 0;
    virtual PLYPreviewItem previewItemAtIndex(int index) = 0;
    // A key pressed while the panel is in front; true when the controller handled it.
    virtual bool previewPanelHandleKey(const PLYKeyCodes::KeyEvent& /*event*/) { return false; }
};

// The shared preview panel. A controller registers itself before it asks for the panel and
// removes itself before it goes; the panel then shows nothing. Main thread only.
class PLYPreviewPresenter {
public:
    virtual ~PLYPreviewPresenter() = default;

    // The previous controller is told its control ended, the new one that it begins. Not owning.
    void setController(PLYPreviewPanelController* controller);
    // Only when it is the current controller.
    void removeController(PLYPreviewPanelController* controller);
    PLYPreviewPanelController* controller() const { return m_controller; }

    // Hides the panel when it is shown; otherwise shows it with the controller's items.
    void toggle();
    virtual bool isPanelVisible() const = 0;
    virtual void showPanel() = 0;
    virtual void hidePanel() = 0;
    // The controller's items changed.
    virtual void reloadData() = 0;

    static std::shared_ptr<PLYPreviewPresenter> shared();
    static void setShared(std::shared_ptr<PLYPreviewPresenter> presenter);

private:
    PLYPreviewPanelController* m_controller = nullptr;
};
