#pragma once

#include <QWidget>

class QLabel;

// The shared preview panel, made on first use: the picture and title of the current item of
// the preview presenter's controller. With several items the arrow keys step through them; with
// one, they go to the controller (the gallery moves its selection).
class PLYPreviewPanel : public QWidget {
    Q_OBJECT
public:
    static bool sharedPreviewPanelExists();
    static PLYPreviewPanel* sharedPreviewPanel();

    // The shared presenter's toggle: hidden when visible, else shown with the current items.
    static void toggle();

    // Reads the controller's items again, keeping the current index when it is still valid.
    void reloadItems();
    int currentIndex() const { return m_index; }
    int itemCount() const { return m_count; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    PLYPreviewPanel();
    void showCurrent();

    QLabel* m_imageLabel = nullptr;
    QLabel* m_titleLabel = nullptr;
    QImage m_picture;
    int m_index = 0;
    int m_count = 0;
};
