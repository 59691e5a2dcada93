#pragma once

#include "PLYLayoutViewController.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

class PLYPostManager;

// A temporary way into the layout editor until the post window exists: one post's layout tab
// in a window of its own, with Undo and Redo for its edits. Opened from the File menu's
// "Open Post in Editor…". The post window replaces it.
class PLYTemporaryPostEditorWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit PLYTemporaryPostEditorWindow(std::shared_ptr<PLYPostManager> postManager, QWidget* parent = nullptr);
    ~PLYTemporaryPostEditorWindow() override;

    PLYLayoutViewController* layoutViewController() const { return m_layoutTab; }

    // Asks which post of the current account to open and shows it in a new window, which
    // deletes itself when closed; nothing when there is no post or the user cancels.
    static PLYTemporaryPostEditorWindow* chooseAndOpen(QWidget* parent);

private:
    void updateUndoItems();

    std::shared_ptr<PLYPostManager> m_postManager;
    QPointer<PLYLayoutViewController> m_layoutTab;
    QPointer<QAction> m_undo;
    QPointer<QAction> m_redo;
};
