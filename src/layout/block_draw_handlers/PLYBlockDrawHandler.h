#pragma once

#include "PLYLayout.pb.h"

#include <QColor>
#include <QRectF>
#include <memory>

class PLYBlockView;
class PLYLayoutImageSource;
class QPainter;

// What a painting function needs besides the block and its rectangle.
struct PLYBlockDrawContext {
    const PLYLayoutImageSource* images = nullptr;
    QColor background = Qt::white;
    // On the editing canvas: blanks show as a faint area; exports and previews show them as
    // plain background.
    bool editorDecorations = false;
};

// Draws one block. The static painting functions are shared by the views, the export and
// the background previews; a handler object is what a block view keeps, adding what the
// editor reads of the drawing (the image frame, the text view).
class PLYBlockDrawHandler {
public:
    explicit PLYBlockDrawHandler(PLYBlockView* view) : m_view(view) {}
    virtual ~PLYBlockDrawHandler() = default;

    PLYBlockView* blockView() const { return m_view; }

    // Paints the view's block into `bounds` (the view's own coordinates).
    virtual void drawInView(QPainter* painter, const QRectF& bounds);
    // The view's geometry or editability changed.
    virtual void viewDidChange() {}
    // The view is about to be drawn `deviceScale` device pixels to its point: what the drawing
    // will need (a picture to decode) is asked for now, without drawing.
    virtual void prepareToDraw(double deviceScale) { (void)deviceScale; }

    // The handler suited to the view's block kind (none for containers).
    static std::unique_ptr<PLYBlockDrawHandler> handlerForView(PLYBlockView* view, PLYBlock::TypeCase kind);

    // Paints one leaf block of any kind into `rect`.
    static void drawBlock(QPainter* painter, const QRectF& rect, const PLYBlock& block,
                          const PLYBlockDrawContext& context);

protected:
    PLYBlockDrawContext contextForView() const;

private:
    PLYBlockView* m_view;
};
