#pragma once

#include "PLYPreviewPresenter.h"

// Test double: a panel that is only a flag, counting what was asked of it.
class PLYScriptedPreviewPresenter : public PLYPreviewPresenter {
public:
    bool isPanelVisible() const override { return m_visible; }
    void showPanel() override {
        m_visible = true;
        ++m_shows;
    }
    void hidePanel() override { m_visible = false; }
    void reloadData() override { ++m_reloads; }
    int shows() const { return m_shows; }
    int reloads() const { return m_reloads; }

private:
    bool m_visible = false;
    int m_shows = 0;
    int m_reloads = 0;
};
