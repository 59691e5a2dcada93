#pragma once

class PLYBlockView;
class QGraphicsItem;

// The interaction handler of a block view (image, blank or text): edit mode, edit handles,
// drops onto the block. The rendering side only needs what is declared here; the editor
// registers the concrete kinds with PLYInteractionHandlerFactory and extends this interface.
class PLYLayoutBlockInteractionHandler {
public:
    explicit PLYLayoutBlockInteractionHandler(PLYBlockView* view) : m_view(view) {}
    virtual ~PLYLayoutBlockInteractionHandler() = default;

    PLYBlockView* view() const { return m_view; }

    virtual bool shouldBlockAcceptEdit() const { return false; }
    // Edit views live in the editing overlay; they are built when the block becomes the edit
    // block and must be gone before the block view is destroyed.
    virtual void ensureEditViews(QGraphicsItem* overlay) { (void)overlay; }
    virtual void ensureEditFrames(QGraphicsItem* overlay) { (void)overlay; }
    virtual void teardownEditViews() {}

private:
    PLYBlockView* m_view;
};
