#include "PLYBlockDrawHandler_Text.h"

#include "PLYBlockView.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutViewProxy.h"
#include "PLYRichTextDocument.h"
#include "PLYRichTextEditor.h"

#include <QPainter>

PLYBlockDrawHandler_Text::PLYBlockDrawHandler_Text(PLYBlockView* view) : PLYBlockDrawHandler(view) {
    m_textView = new PLYRichTextEditor(view);
    const QString blockId = view->blockId();
    QPointer<PLYLayoutViewProxy> proxy = view->layoutViewProxy();
    // Words committed after the views are gone (an editor torn down with words pending) still
    // reach the manager's layout; never a fixed layout's.
    std::weak_ptr<PLYLayoutManager> manager;
    if (proxy && proxy->layoutManager() && proxy->layout() == proxy->layoutManager()->representedLayout())
        manager = proxy->layoutManager()->weak_from_this();
    m_textView->bindToBlock(
        [proxy, blockId]() -> PLYBlock* { return proxy ? proxy->blockForId(blockId) : nullptr; },
        [proxy, manager, blockId](const PLYBlock_Text& text, const QString& actionName) {
            if (proxy)
                return proxy->commitTextOfBlock(blockId, text, actionName);
            const auto owner = manager.lock();
            return owner && owner->setTextContent(blockId, text);
        },
        PLYRichTextDocument::textRectInBlock(view->representedBlock() ? view->representedBlock()->text()
                                                                      : PLYBlock_Text(),
                                             view->boundingRect())
            .width());
    viewDidChange();
}

PLYBlockDrawHandler_Text::~PLYBlockDrawHandler_Text() = default;

PLYRichTextEditor* PLYBlockDrawHandler_Text::textView() const { return m_textView; }

void PLYBlockDrawHandler_Text::draw(QPainter* painter, const QRectF& rect, const PLYBlock_Text& text,
                                    const PLYBlockDrawContext& context) {
    painter->fillRect(rect, context.background);
    PLYRichTextDocument::draw(painter, text, rect);
}

void PLYBlockDrawHandler_Text::drawInView(QPainter* painter, const QRectF& bounds) {
    // The editor item draws the words; the view only lays the background under them.
    painter->fillRect(bounds, contextForView().background);
}

void PLYBlockDrawHandler_Text::viewDidChange() {
    PLYBlockView* view = blockView();
    const PLYBlock* block = view->representedBlock();
    if (!m_textView || !block || block->type_case() != PLYBlock::kText)
        return;
    const QRectF column = PLYRichTextDocument::textRectInBlock(block->text(), view->boundingRect());
    m_textView->setPos(column.topLeft());
    m_textView->syncWithBlock(column.width());
    if (m_textView->isEditable() != view->isEditable())
        m_textView->setEditable(view->isEditable());
}
