#include "PLYLayoutBlockInteractionHandler_Text.h"

#include "PLYBlockDrawHandler_Text.h"
#include "PLYBlockView.h"
#include "PLYGeometry.h"
#include "PLYLayoutInteractionView.h"
#include "PLYLayoutManager.h"
#include "PLYRichTextEditor.h"

#include <QAbstractTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>

PLYLayoutBlockInteractionHandler_Text::~PLYLayoutBlockInteractionHandler_Text() { delete m_twin.data(); }

PLYBlockView* PLYLayoutBlockInteractionHandler_Text::editBlockView() const { return m_twin; }

PLYRichTextEditor* PLYLayoutBlockInteractionHandler_Text::editTextView() const {
    auto* draw = m_twin ? dynamic_cast<PLYBlockDrawHandler_Text*>(m_twin->drawHandler()) : nullptr;
    return draw ? draw->textView() : nullptr;
}

void PLYLayoutBlockInteractionHandler_Text::setTextViewDelegate(PLYRichTextEditorDelegate* delegate) {
    m_delegate = delegate;
    m_delegateObject = dynamic_cast<QObject*>(delegate);
    m_delegateIsObject = m_delegateObject != nullptr;
    if (PLYRichTextEditor* editor = editTextView()) editor->setRteDelegate(textViewDelegate());
}

PLYRichTextEditorDelegate* PLYLayoutBlockInteractionHandler_Text::textViewDelegate() const {
    // A QObject delegate that has gone is not called.
    if (m_delegateIsObject && !m_delegateObject) return nullptr;
    return m_delegate;
}

void PLYLayoutBlockInteractionHandler_Text::toggleCurrentSelectionBold() {
    if (PLYRichTextEditor* editor = editTextView()) editor->userSelectedBold();
}

void PLYLayoutBlockInteractionHandler_Text::toggleCurrentSelectionItalic() {
    if (PLYRichTextEditor* editor = editTextView()) editor->userSelectedItalic();
}

void PLYLayoutBlockInteractionHandler_Text::toggleCurrentSelectionLink() {
    if (PLYRichTextEditor* editor = editTextView()) editor->userSelectedLink();
}

void PLYLayoutBlockInteractionHandler_Text::ensureEditViews(PLYLayoutInteractionView* overlay) {
    if (m_twin || !overlay || !view()) return;
    PLYBlockView* twin = PLYBlockView::viewWithBlock(view()->representedBlock(), view()->layoutViewProxy(),
                                                     view()->sectionView());
    if (!twin) return;
    m_twin = twin;
    twin->setParentItem(overlay);
    twin->setEditable(true);
    if (PLYRichTextEditor* editor = editTextView()) {
        overlay->watchKeysOfEditView(editor);
        editor->setRteDelegate(textViewDelegate());
        m_placeCursor = true;
        m_editStartPoint = overlay->lastMouseDownPoint();
    }
    view()->setOpacity(0.0);
}

void PLYLayoutBlockInteractionHandler_Text::teardownEditViews() {
    if (PLYRichTextEditor* editor = editTextView()) {
        editor->setRteDelegate(nullptr);
        // The words are in the block before edit mode ends, so the announcement that ends it
        // carries them. A view being destroyed leaves that to the editor's own deferred write:
        // the layout's views are being rebuilt and must not relay out now.
        if (view() && !view()->isBeingDestroyed()) editor->commit();
    }
    PLYBlockView* twin = m_twin.data();
    m_twin = nullptr;
    m_placeCursor = false;
    delete twin;
    if (view()) view()->setOpacity(1.0);
}

void PLYLayoutBlockInteractionHandler_Text::ensureEditFrames(PLYLayoutInteractionView* overlay) {
    if (!m_twin || !overlay || !view()) return;
    m_twin->setPos(overlay->mapFromItem(view(), QPointF(0, 0)));
    PLYRichTextEditor* editor = editTextView();
    if (!m_placeCursor || !editor) return;
    m_placeCursor = false;
    // Typing goes on where the edit began (the double click), else at the end of the words;
    // the words a new block starts with are selected, to be typed over.
    QTextCursor cursor(editor->document());
    const PLYBlock* block = view()->representedBlock();
    const QPointF local = editor->mapFromItem(overlay, m_editStartPoint);
    if (block && block->text().value() == PLYLayoutManager::DefaultTextBlockText) {
        cursor.select(QTextCursor::Document);
    } else if (editor->boundingRect().contains(local)) {
        const int position = editor->document()->documentLayout()->hitTest(local, Qt::FuzzyHit);
        cursor.setPosition(position < 0 ? editor->document()->characterCount() - 1 : position);
    } else {
        cursor.movePosition(QTextCursor::End);
    }
    editor->setTextCursor(cursor);
    editor->setFocus(Qt::OtherFocusReason);
}

bool PLYLayoutBlockInteractionHandler_Text::updateCursorForPoint(const QPointF& point, PLYLayoutInteractionView*) {
    return PLYGeometry::pointInRect(point, blockFrame());
}
