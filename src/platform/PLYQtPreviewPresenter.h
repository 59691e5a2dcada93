#pragma once

#include "PLYPreviewPresenter.h"

// The preview panel as a tool window (PLYPreviewPanel).
class PLYQtPreviewPresenter : public PLYPreviewPresenter {
public:
    bool isPanelVisible() const override;
    void showPanel() override;
    void hidePanel() override;
    void reloadData() override;
};
