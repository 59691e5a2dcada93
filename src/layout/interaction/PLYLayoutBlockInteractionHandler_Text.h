#pragma once

#include "PLYLayoutBlockInteractionHandlerBase.h"

#include <QObject>
#include <QPointer>

class PLYRichTextEditor;
class PLYRichTextEditorDelegate;

// The handler of a text block. In edit mode an editable twin of the block's view lies over the
// block, as a child of the overlay (so it scales with the zoom), while the block's own view is
// hidden; the twin's key-ups are watched by the overlay, which acts on Escape only. The words
// typed reach the block at the editor's commit points and, at the latest, when edit mode ends.
// It takes no drops.
//
// The block property inspector drives the twin through setTextViewDelegate() and the three
// toggles. The delegate is kept by the handler: given before the twin exists (the inspector may
// hear of the edit block before the overlay makes the twin) it is applied when the twin is
// made, and again to every later twin of this block.
class PLYLayoutBlockInteractionHandler_Text : public PLYLayoutBlockInteractionHandlerBase {
public:
    using PLYLayoutBlockInteractionHandlerBase::PLYLayoutBlockInteractionHandlerBase;
    ~PLYLayoutBlockInteractionHandler_Text() override;

    bool shouldBlockAcceptEdit() const override { return true; }
    void drawEditContents(QPainter*, PLYLayoutInteractionView*, bool) override {}
    // Makes the twin once; a second call keeps the first. The twin takes the keyboard, with the
    // cursor where the edit began (placed by the first ensureEditFrames).
    void ensureEditViews(PLYLayoutInteractionView* overlay) override;
    // Writes what was typed into the block, removes the twin and shows the block again.
    void teardownEditViews() override;
    void ensureEditFrames(PLYLayoutInteractionView* overlay) override;
    // YES inside the block; the text cursor is the editor's own.
    bool updateCursorForPoint(const QPointF& point, PLYLayoutInteractionView* overlay) override;
    void handleEditMouseDownEvent(QGraphicsSceneMouseEvent*, PLYLayoutInteractionView*) override {}
    void handleEditMouseDragEvent(QGraphicsSceneMouseEvent*, PLYLayoutInteractionView*) override {}
    void handleEditMouseUpEvent(QGraphicsSceneMouseEvent*, PLYLayoutInteractionView*) override {}
    bool shouldBlockAcceptDropOperation(const QMimeData*, const QPointF&) override { return false; }

    // The twin's rich-text editor reports its selection and changes to `delegate` (nothing to
    // stop). Not owning; a delegate that is a QObject is forgotten when it is destroyed, any
    // other must clear itself before it goes.
    void setTextViewDelegate(PLYRichTextEditorDelegate* delegate);
    PLYRichTextEditorDelegate* textViewDelegate() const;
    // Bold, italic and link on the twin's selection; nothing without a twin.
    void toggleCurrentSelectionBold();
    void toggleCurrentSelectionItalic();
    void toggleCurrentSelectionLink();

    // The editable twin and its editor while in edit mode.
    PLYBlockView* editBlockView() const;
    PLYRichTextEditor* editTextView() const;

private:
    QPointer<PLYBlockView> m_twin;
    PLYRichTextEditorDelegate* m_delegate = nullptr;
    QPointer<QObject> m_delegateObject;
    bool m_delegateIsObject = false;
    bool m_placeCursor = false;
    QPointF m_editStartPoint;
};
