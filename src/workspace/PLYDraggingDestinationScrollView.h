#pragma once

#include <QPointer>
#include <QScrollArea>

class PLYGalleryViewController;

// The gallery's scroll view. It tells the grid which part is visible as it scrolls and resizes,
// and takes image files and folders dropped from the file manager: while such a drag is over it
// the grid shows at half opacity, and a drop adds every dropped path to the post.
class PLYDraggingDestinationScrollView : public QScrollArea {
    Q_OBJECT
public:
    explicit PLYDraggingDestinationScrollView(QWidget* parent = nullptr);

    PLYGalleryViewController* galleryViewController() const { return m_controller; }
    void setGalleryViewController(PLYGalleryViewController* controller) { m_controller = controller; }
    // 1.0, or 0.5 while files are dragged over the view.
    double contentAlpha() const { return m_alpha; }
    // The grid's part in view changed: tell the grid.
    void updateGridViewport();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;

private:
    void setContentAlpha(double alpha);

    QPointer<PLYGalleryViewController> m_controller;
    double m_alpha = 1.0;
};
