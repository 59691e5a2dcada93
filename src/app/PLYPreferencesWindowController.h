#pragma once

#include <QMainWindow>

class PLYPreferencesViewController;
class QAction;
class QToolBar;

// The preferences window ("PreferencesWindowController" of "Settings"): a toolbar that picks
// the tab of its content controller.
class PLYPreferencesWindowController : public QMainWindow {
    Q_OBJECT
public:
    explicit PLYPreferencesWindowController(QWidget* parent = nullptr);

    PLYPreferencesViewController* contentViewController() const { return m_content; }
    QToolBar* toolBar() const { return m_toolBar; }
    // The toolbar item's action: its identifier (object name) names the tab.
    void changeTab(QAction* item);

private:
    QToolBar* m_toolBar = nullptr;
    PLYPreferencesViewController* m_content = nullptr;
};
