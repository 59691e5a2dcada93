#include "PLYQtPreviewPresenter.h"

#include "PLYPreviewPanel.h"

bool PLYQtPreviewPresenter::isPanelVisible() const {
    return PLYPreviewPanel::sharedPreviewPanelExists() && PLYPreviewPanel::sharedPreviewPanel()->isVisible();
}

void PLYQtPreviewPresenter::showPanel() {
    PLYPreviewPanel* panel = PLYPreviewPanel::sharedPreviewPanel();
    panel->reloadItems();
    panel->show();
    panel->raise();
    panel->activateWindow();
}

void PLYQtPreviewPresenter::hidePanel() {
    if (PLYPreviewPanel::sharedPreviewPanelExists()) PLYPreviewPanel::sharedPreviewPanel()->hide();
}

void PLYQtPreviewPresenter::reloadData() {
    if (PLYPreviewPanel::sharedPreviewPanelExists()) PLYPreviewPanel::sharedPreviewPanel()->reloadItems();
}
