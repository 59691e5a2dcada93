#pragma once

#include <QWidget>

// The shared preview panel, made on first use. It previews nothing yet: the gallery gives it
// the images to show.
class PLYPreviewPanel : public QWidget {
    Q_OBJECT
public:
    static bool sharedPreviewPanelExists();
    static PLYPreviewPanel* sharedPreviewPanel();

    // Hidden when it exists and is visible; otherwise made if needed, shown and raised.
    static void toggle();

private:
    PLYPreviewPanel();
};
