#pragma once

#include "PLYPasteboard.h"

#include <QPixmap>
#include <QWidget>
#include <functional>

class QMimeData;

// A tile of the block palette: a picture of a kind of block, dragged into the layout to add a
// new block of that kind. The drag carries one pasteboard item of the kind's "new" type; the
// overlay makes the block when it is dropped. A drag begins on the first move with the button
// held; there is no distance threshold.
class PLYDragBlockImageView : public QWidget {
    Q_OBJECT
public:
    // Block types of the palette: 2 blank, 3 download button; any other value is a text block.
    static constexpr qint64 BlockTypeText = 1;
    static constexpr qint64 BlockTypeBlank = 2;
    static constexpr qint64 BlockTypeDownload = 3;
    static constexpr double kImageWidth = 100.0;
    static constexpr double kImageHeight = 200.0 / 3.0;

    explicit PLYDragBlockImageView(qint64 blockType = BlockTypeText, QWidget* parent = nullptr);
    // The three tiles, named "textBlockTile", "blankBlockTile" and "downloadBlockTile".
    static PLYDragBlockImageView* textTile(QWidget* parent = nullptr);
    static PLYDragBlockImageView* blankTile(QWidget* parent = nullptr);
    static PLYDragBlockImageView* downloadTile(QWidget* parent = nullptr);

    qint64 blockType() const { return m_blockType; }
    void setBlockType(qint64 blockType);
    // The caption under the picture.
    static QString titleForBlockType(qint64 blockType);
    // What a drag of a tile of `blockType` carries.
    static PLYPasteboard pasteboardForBlockType(qint64 blockType);
    // The tile's picture, kImageWidth x kImageHeight points, also its drag image.
    static QPixmap tileImage(qint64 blockType, double devicePixelRatio = 2.0);
    static int sourceOperationMask() { return 16; }

    // Starts the platform's dragging session; set by tests to watch a drag without one.
    using DraggingSessionStarter = std::function<void(PLYDragBlockImageView* source, QMimeData* data, const QPixmap& image)>;
    void setDraggingSessionStarter(DraggingSessionStarter starter) { m_sessionStarter = std::move(starter); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void startDrag();

    qint64 m_blockType = BlockTypeText;
    bool m_pressed = false;
    DraggingSessionStarter m_sessionStarter;
};
