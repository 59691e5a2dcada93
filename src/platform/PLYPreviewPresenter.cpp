#include "PLYPreviewPresenter.h"

#include "PLYQtPreviewPresenter.h"
#include "PLYReplaceableInstance.h"

using Instance = PLYReplaceableInstance<PLYPreviewPresenter, PLYQtPreviewPresenter>;
std::shared_ptr<PLYPreviewPresenter> PLYPreviewPresenter::shared() { return Instance::get(); }
void PLYPreviewPresenter::setShared(std::shared_ptr<PLYPreviewPresenter> presenter) { Instance::set(std::move(presenter)); }

void PLYPreviewPresenter::setController(PLYPreviewPanelController* controller) {
    if (controller == m_controller) return;
    PLYPreviewPanelController* previous = m_controller;
    m_controller = controller;
    if (previous) previous->endPreviewPanelControl();
    if (m_controller) m_controller->beginPreviewPanelControl();
    if (isPanelVisible()) reloadData();
}

void PLYPreviewPresenter::removeController(PLYPreviewPanelController* controller) {
    if (controller && controller == m_controller) setController(nullptr);
}

void PLYPreviewPresenter::toggle() {
    if (isPanelVisible())
        hidePanel();
    else
        showPanel();
}
