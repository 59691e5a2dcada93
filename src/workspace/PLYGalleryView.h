#pragma once

#include <QPointer>
#include <QWidget>

class PLYGalleryViewItem;
class QAction;
class QMenu;

// The view of one gallery item: the thumbnail in its frame, dimmed while the image is used in
// the layout, with its stars and colour label, and the selection border. Its context menu hides
// or unhides the image, adds it to the post and shows it in the file manager.
class PLYGalleryView : public QWidget {
    Q_OBJECT
public:
    explicit PLYGalleryView(QWidget* parent = nullptr);

    PLYGalleryViewItem* galleryViewItem() const { return m_item; }
    void setGalleryViewItem(PLYGalleryViewItem* item) { m_item = item; }
    bool selected() const { return m_selected; }
    void setSelected(bool selected);
    bool useDarkContrast() const { return m_useDarkContrast; }
    void setUseDarkContrast(bool dark) { m_useDarkContrast = dark; update(); }
    QAction* showHideMenuItem() const { return m_showHideMenuItem; }
    QMenu* contextMenu() const { return m_menu; }

    // The thumbnail's frame in a view of `size` for an image of `pixelSize` (either side 0 when
    // unknown), or the whole view when there is no picture to show.
    static QRectF thumbnailFrame(const QSizeF& size, const QSize& pixelSize, bool hasPicture);

    void imageChanged() { update(); }
    void showHideMenuAction();
    void addToPostAction();
    void showInFinderAction();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    PLYGalleryViewItem* m_item = nullptr;
    bool m_selected = false;
    bool m_useDarkContrast = false;
    QMenu* m_menu;
    QAction* m_showHideMenuItem;
};
