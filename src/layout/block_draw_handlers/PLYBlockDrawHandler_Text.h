#pragma once

#include "PLYBlockDrawHandler.h"

#include <QPointer>

class PLYRichTextEditor;

// A text block. On the canvas the text is shown by a rich-text editor item, a child of the
// block view placed on the text's column; exports draw the same document directly.
class PLYBlockDrawHandler_Text : public PLYBlockDrawHandler {
public:
    explicit PLYBlockDrawHandler_Text(PLYBlockView* view);
    ~PLYBlockDrawHandler_Text() override;

    PLYRichTextEditor* textView() const;

    void drawInView(QPainter* painter, const QRectF& bounds) override;
    void viewDidChange() override;

    static void draw(QPainter* painter, const QRectF& rect, const PLYBlock_Text& text,
                     const PLYBlockDrawContext& context);

private:
    QPointer<PLYRichTextEditor> m_textView;
};
