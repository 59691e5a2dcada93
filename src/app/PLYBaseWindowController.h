#pragma once

#include <QMainWindow>

// The main window ("base" of storyboard "Main"). For now an empty window in the home colour;
// the root navigation puts its content here.
class PLYBaseWindowController : public QMainWindow {
    Q_OBJECT
public:
    explicit PLYBaseWindowController(QWidget* parent = nullptr);
};
