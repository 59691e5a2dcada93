#pragma once

#include "PLYLayout.pb.h"

#include <QFont>
#include <QRectF>
#include <QTextCursor>
#include <QTextDocument>

// How a text block becomes a laid-out document and back. The views, the editor, the geometry
// and the export all go through here so that a text block measures and draws the same
// everywhere. Fonts are sized in layout points (pixel sizes), never in device points.
class PLYRichTextDocument {
public:
    static QFont fontForStyle(PLYTextStyle style);
    static QColor colourForText(const PLYBlock_Text& text);
    // Colour of links inside text.
    static QColor linkColour();

    // Fills `document` from the block's value and runs, at the given text width.
    static void populate(QTextDocument* document, const PLYBlock_Text& text, double textWidth);
    // Inserts the block's value at the cursor in the cursor's format, then applies its runs
    // (their locations taken relative to the insertion point).
    static void insertText(QTextCursor& cursor, const PLYBlock_Text& text);
    // Writes the document's plain text and styled runs back into the block.
    static void writeBack(const QTextDocument& document, PLYBlock_Text* text);

    // Takes the link off every run whose address is not a web or mail address (the run keeps
    // its other styles; a run left with none goes). Answers how many links went.
    static int dropLinksNotAllowed(PLYBlock_Text* text);
    // The same for every text block of the layout, inside containers too.
    static int dropLinksNotAllowed(PLYLayout* layout);

    // The fraction of the block's width given to the text: the position's width when it lies
    // in (0, 1], the full width otherwise (0 and -1 both mean full).
    static double widthFraction(const PLYBlock_Text& text);
    // The rectangle, inside `blockRect`, in which the text is laid out (aligned by the
    // position's alignment; height that of the block).
    static QRectF textRectInBlock(const PLYBlock_Text& text, const QRectF& blockRect);
    // Height of the laid-out text for a block `blockWidth` wide; never below one line.
    static double heightForWidth(const PLYBlock_Text& text, double blockWidth);

    // Draws the text into `blockRect`.
    static void draw(QPainter* painter, const PLYBlock_Text& text, const QRectF& blockRect);
};
